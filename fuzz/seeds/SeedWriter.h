// Writes the seed corpus of every fuzz target with the program's own
// writers and generators: recordings from the recording generator, the QY42
// simulator's datagrams, what each serial protocol puts on the line, saved
// layouts, bitmaps, detector records, profiles and hives, the wide-band
// unit's BOOTP requests and the BOOTP server's address table. Beside the seeds
// go the inputs of faults found before ("regress-..."), written here so
// that each says what it holds.
#pragma once

#include <string>
#include <string_view>

class CSeedWriter
{
public:
    // fuzz: the folder of the targets, each of which gets its seeds in its
    // corpus/; profiles: the folder of the profile files the sensor tests read.
    CSeedWriter(std::string fuzz, std::string profiles);

    // False when a writer failed; *error says which.
    bool WriteAll(std::string* error);

private:
    void Put(const std::string& target, const std::string& name, std::string_view bytes);
    std::string Profile(const std::string& name) const;

    void Nmea();
    void SensorLines();
    void HeavePurseSeine();
    void NetInput();
    void SerialHub();
    void Replay();
    void QY42();
    void QY42Unit();
    void ChannelSettings();
    void Geo();
    void Hxu();
    void Discovery();
    void Svp();
    void Bitmap();
    void TrList();
    void Bootp();
    void Archive();
    void Detector();
    void PingerFile();
    void Serial();
    void RegText();
    void Hive();
    void LocalServer();
    void Sinks();
    void Xyz();

    std::string m_fuzz;
    std::string m_profiles;
    std::string m_error;
};
