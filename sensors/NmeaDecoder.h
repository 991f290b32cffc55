// The one decoder of navigation-type text telegrams, whatever their road:
// the navigation serial line (source codes 1, 0, 1), network datagrams and
// the GEO unit's forwarded text (2, 1, 2), and recorded "NME0" datagrams in
// replay (3, 3, 3). It sets the PC clock from ZDA, feeds the navigation
// object, the geographic history, the external depth sources, the tide, the
// annotations and remote control, raises the position-quality messages,
// stores the text in the recording files and relays position, heading and
// depth sentences to the outputs.
//
// Everything it calls is reached through its host (INmeaDecoderHost), which
// the program implements with its running objects; an absent object's steps
// are skipped. The PC clock is set only through the host, so tests never
// touch the real clock.
//
// Threads: called on the user-interface thread and, in replay, on the
// trigger thread. The decoder's own values are atomics or kept under its
// lock; the objects it feeds lock for themselves.
#pragma once

#include "platform/FileTime.h"
#include "sensors/NmeaDecoderHost.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

// Source codes of a telegram's road.
struct SNmeaSource
{
    int position, speed, clock;
};
inline constexpr SNmeaSource kNmeaFromSerial{1, 0, 1};
inline constexpr SNmeaSource kNmeaFromNetwork{2, 1, 2};
inline constexpr SNmeaSource kNmeaFromReplay{3, 3, 3};

class CNmeaDecoder
{
public:
    // The GGA quality messages and the string ids the status bar shows them by.
    static constexpr const char* kWrongQuality = "Wrong Quality Indicator in the GGA tgm.";
    static constexpr const char* kFewSatellites = "The GGA tgm has to few satellites";
    static constexpr const char* kLargeDilution = "The GGA tgm horizontal dilution is too large";
    static constexpr unsigned IDS_WRONG_QUALITY = 57700;
    static constexpr unsigned IDS_FEW_SATELLITES = 57701;
    static constexpr unsigned IDS_LARGE_DILUTION = 57702;

    CNmeaDecoder() = default;
    explicit CNmeaDecoder(INmeaDecoderHost* host) : m_host(host) {}
    // The host outlives the decoder's use of it; null: nothing is decoded.
    void SetHost(INmeaDecoderHost* host) { m_host = host; }

    void ParseNmeaTelegram(const std::string& telegram, std::uint64_t received, int positionSource, int speedSource,
                           int clockSource);
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
    void Annotate(const std::string& text, std::uint64_t time);

    INmeaDecoderHost* m_host = nullptr;
    mutable std::mutex m_textLock;
    std::string m_positionText;
    std::atomic<std::uint64_t> m_lastPositionTime{0};
    std::atomic<std::uint64_t> m_lastOtherPositionTime{0};
    std::atomic<double> m_tide{0.0};
    std::atomic<std::int32_t> m_navigationAnnotationCount{0};
};
