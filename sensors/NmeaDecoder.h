// The one decoder of navigation-type text telegrams, whatever their road:
// the navigation serial line (source codes 1, 0, 1), network datagrams and
// the GEO unit's forwarded text (2, 1, 2), and recorded "NME0" datagrams in
// replay (3, 3, 3). It sets the PC clock from ZDA, feeds the navigation
// object, the geographic history, the external depth sources, the tide, the
// annotations and remote control, raises the position-quality messages,
// stores the text in the recording files and relays position, heading and
// depth sentences to the outputs.
//
// Everything it calls is reached through SNmeaDecoderLinks, which the
// program fills with its running objects; a link left empty is an absent
// object, whose steps are skipped. The PC clock is set only through the
// setComputerClock link, so tests never touch the real clock.
//
// Threads: called on the user-interface thread and, in replay, on the
// trigger thread. The decoder's own values are atomics or kept under its
// lock; the objects it feeds lock for themselves.
#pragma once

#include "platform/FileTime.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class CGeographicInfo;
class CExternalDepth;

// Source codes of a telegram's road.
struct SNmeaSource {
    int position, speed, clock;
};
inline constexpr SNmeaSource kNmeaFromSerial{1, 0, 1};
inline constexpr SNmeaSource kNmeaFromNetwork{2, 1, 2};
inline constexpr SNmeaSource kNmeaFromReplay{3, 3, 3};

// The navigation object's settings that the decoder reads.
struct SNavigationSettings {
    std::uint32_t PositionSource = 0;  // 0 off, 1 serial, 2 network
    std::uint32_t ClockSource = 0;     // 0 off, 1 serial, 2 network
    std::uint32_t SpeedType = 0;       // 0 serial, 1 network, 2 manual
    std::string FieldSeparator = ",";
    std::string StartSequence;
    std::uint32_t StartField = 0;
    std::uint32_t NoOfFields = 0;
    std::uint32_t UseAutoZda = 0;
    double Latency = 0.0;  // ms
    std::uint32_t GGA_QI = 0;
    std::uint32_t GGA_NoOfSat = 0;
    double GGA_HorDil = 0.0;
    double AntennaHeight = 0.0;  // m
};

struct SNmeaDecoderLinks {
    int model = 1;  // 0 QY210 1 QY310 2 RM30 3 TQ30 4 TOTAL 5 QYNVU
    std::function<bool()> hasMainWindow;
    // Navigation object: present when settings is set.
    std::function<SNavigationSettings()> navigationSettings;
    std::function<bool()> clockRequest;  // its "Force Update" flag
    std::function<void()> endForceUpdate;
    std::function<void(const SYSTEMTIME&, const std::string& clockText, const std::string& dateText)> setClockTime;
    std::function<void(double knots)> setMeasuredSpeed;
    // Sets the PC's UTC clock to the given file time.
    std::function<void(std::uint64_t utc)> setComputerClock;
    // Echo sounder: running when sounderRunning answers true.
    std::function<bool()> sounderRunning;
    std::function<bool()> clockRequestPending;
    std::function<void(std::uint64_t received, std::uint64_t telegram)> setPingRecord;
    std::function<bool()> annotationNavigation;
    std::function<std::uint32_t()> navigationInterval;
    // Recorder of the running sounder: present when hasRecorder answers true.
    std::function<bool()> hasRecorder;
    std::function<void(double antennaHeight)> setHeaderValue;
    std::function<void(const std::string&, std::uint64_t)> writeNmeaToFiles;
    std::function<void(const std::string&, std::uint64_t)> writeNmeaDatagram;
    CGeographicInfo* geographic = nullptr;
    CExternalDepth* externalDepth = nullptr;
    std::function<void(const std::string&, std::uint64_t)> addAnnotation;
    std::function<void(const std::string&, std::uint64_t)> remoteControl;
    // The position text went to the status pane (message 0x46F, 0xB006).
    std::function<void(const std::string&)> showPositionText;
    std::function<void(const std::string&, std::uint64_t)> printText;
    std::function<void(const std::string&)> lx750Forward;
    std::function<void(const std::string& telegram, const std::string& relay, std::uint64_t)> relayNetwork;
    std::function<void(const std::string& telegram, const std::string& relay, std::uint64_t)> relaySerial;
    std::function<void(const std::string&)> postStatusMessage;
};

class CNmeaDecoder
{
public:
    static constexpr const char* kWrongQuality = "Wrong Quality Indicator in the GGA tgm.";
    static constexpr const char* kFewSatellites = "The GGA tgm has to few satellites";
    static constexpr const char* kLargeDilution = "The GGA tgm horizontal dilution is too large";

    CNmeaDecoder() = default;
    explicit CNmeaDecoder(SNmeaDecoderLinks links) : m_links(std::move(links)) {}
    void SetLinks(SNmeaDecoderLinks links) { m_links = std::move(links); }

    void ParseNmeaTelegram(const std::string& telegram, std::uint64_t received, int positionSource,
                           int speedSource, int clockSource);
    void ParseNmeaTelegram(const std::string& telegram, std::uint64_t received, SNmeaSource source)
    {
        ParseNmeaTelegram(telegram, received, source.position, source.speed, source.clock);
    }

    std::string GetPositionText() const;
    std::uint64_t GetLastPositionTime() const { return m_lastPositionTime.load(); }
    std::uint64_t GetLastOtherPositionTime() const { return m_lastOtherPositionTime.load(); }
    double GetTide() const { return m_tide.load(); }
    std::int32_t GetNavigationAnnotationCount() const { return m_navigationAnnotationCount.load(); }

    // A ZDA time (fields 1..4) on top of the given UTC time; false when a
    // field is empty, not a number or out of range.
    static bool DecodeZdaTime(const std::string& telegram, std::uint64_t now, SYSTEMTIME& st);
    // True for a sentence that carries a checksum which does not match.
    static bool ChecksumFails(const std::string& telegram);
    // Head of the telegram against a start sequence ('?' matches any one).
    static bool MatchStartSequence(const std::string& head, const std::string& sequence);

private:
    bool Matches(std::uint32_t setting, int source) const { return source == 3 || static_cast<int>(setting) == source; }
    void Annotate(const std::string& text, std::uint64_t time);

    SNmeaDecoderLinks m_links;
    mutable std::mutex m_textLock;
    std::string m_positionText;
    std::atomic<std::uint64_t> m_lastPositionTime{0};
    std::atomic<std::uint64_t> m_lastOtherPositionTime{0};
    std::atomic<double> m_tide{0.0};
    std::atomic<std::int32_t> m_navigationAnnotationCount{0};
};
