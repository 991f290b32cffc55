// The net sensors of a purse seine on a serial line: up to three sensors
// report their depths in proprietary sentences; the latest of each is kept
// with its time, shown in the dialog, marked in the echograms, and the
// sounder's depth goes back out on the same line as a depth telegram.
//
// Threads: the line arrives on the reader thread, the echograms and the
// dialog read the readings on the user-interface thread and the channels
// send their depths on the ping-data thread. The readings are one record
// under their own lock, the settings under another.
#pragma once

#include "sensors/DepthUser.h"
#include "sensors/NetSensors.h"
#include "sensors/SerialSensor.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class IDepthTelegramSources;

class CPurseSeine final : public CSerialSensor, public INetSensors, public IDepthUser
{
public:
    static constexpr const char* kSettingId = "PurseSeine";
    static constexpr std::size_t kMonitorCutAbove = 1000;
    static constexpr std::size_t kMonitorKeep = 333;
    // A reading younger than this is fresh.
    static constexpr std::uint64_t kFreshAge = 10ULL * 10'000'000ULL;
    static constexpr double kFathom = 1.8288;  // m

    struct Settings
    {
        DWORD DepthOutput = 0;
        DWORD DepthTelegram = 0;
        DWORD CheckSum = 0;
        std::string ChannelSource;

        bool operator==(const Settings&) const = default;
    };

    // Each sensor's latest depth (m) and its time (file time, 0: never).
    struct Readings
    {
        std::array<double, kSensors> depth{};
        std::array<std::uint64_t, kSensors> time{};
    };

    explicit CPurseSeine(const IDepthTelegramSources& sources);
    ~CPurseSeine() override;

    // The application's steps ---------------------------------------------
    // The checked set-up: 0 when the component is there.
    HRESULT OpenSerialComponent() { return OpenSerial(); }
    void ClosePort() { CloseSerial(); }
    // Keeps the key, reads the settings (writing back missing ones) and,
    // with the component there, puts the transmit protocol "ASCII".
    void OpenPort(HKEY key);
    void SetChannelList(const std::vector<std::string>& names);
    std::vector<std::string> GetChannelList() const;
    // Depth output off, every setting cleared, written at once.
    void ResetOutput();

    Settings GetSettings() const;
    // Takes the settings (the dialog's OK) and writes them; false without
    // a key.
    bool StoreSettings(const Settings& settings);

    // A received sentence with its reception time (0: now).
    void ParseTelegram(const std::string& text, std::uint64_t received);
    Readings GetReadings() const;
    void StampSensor(int states[kSensors], double depths[kSensors]) const override;
    // The same at a given time (tests, the dialog).
    void StampSensorAt(int states[kSensors], double depths[kSensors], std::uint64_t now) const;

    // Depth output, per channel and ping: 1 when the depth rules it out.
    int SendDepth(const std::string& channelName, int channelIndex, std::uint64_t pingTime, double depth,
                  double transducerDepth, double second, double heave);
    void TakeDepth(const DepthReport& report) override;

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    const IDepthTelegramSources& m_sources;
    mutable std::mutex m_settingsLock;
    Settings m_settings;
    std::vector<std::string> m_channels;
    mutable std::mutex m_readingsLock;
    Readings m_readings;
};
