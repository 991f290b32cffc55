// Pinger mode: in ping rate mode 4 the sounder listens to an outside pinger
// hanging on a cable. Each ping of the pinger's channel is searched for the
// pinger's pulse; after 50 searches the pinger is ready, optionally the
// pinger's period is measured over 300 periods, and from then on the
// pulse's distance is tracked and the channel's samples are made to start
// at the pinger.
//
// Threads: ProcessPing runs on the ping-data thread with the channel's lock
// held; Synchronise, SetActive and the readers run on the user-interface
// thread and the displays' threads. All state is under the object's own
// lock, which is never held while the host is called (a post, the set-up
// dialog, the data file's folder).
#pragma once

#include "base/Archive.h"
#include "engine/MedianFilter.h"
#include "engine/PingerLink.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// What the set-up dialog ("Pinger Mode") edits.
struct SPingerDialogValues
{
    double cableLength = 0.0;  // m, 0.1 to 300
    double depth = 0.0;        // m
    double pulseLength = 0.0;  // ms
    double period = 0.0;       // s, the "Ping Rate" field
    // Set by "Syncronize": measure the pinger's period before tracking.
    bool synchronise = false;
};

// What pinger mode needs of the program around it.
class IPingerModeHost
{
public:
    virtual ~IPingerModeHost() = default;
    // The settings folder, with its trailing separator.
    virtual std::string GetSerializePath() = 0;
    virtual bool IsReplaying() = 0;
    // The set-up dialog, on the user-interface thread; true on OK. The
    // dialog refuses values the pinger cannot run with.
    virtual bool RunPingerDialog(SPingerDialogValues& values) = 0;
    // A message for the main frame (0x481-0x484), from any thread.
    virtual void PostToFrame(unsigned message, std::intptr_t wParam, std::intptr_t lParam) = 0;
};

class CPingerMode : public IPingerLink
{
public:
    static constexpr const char* kDataFile = "Pinger.dta";
    static constexpr int kDataFileSize = 16;
    enum State : int { kAcquiring = 0, kSynchronisingState = 1, kTrackingState = 2 };
    enum Mode : int { kModeTracking = 0, kModeSynchronising = 1 };
    static constexpr int kSearchesBeforeReady = 50;
    static constexpr int kSynchronisePeriods = 300;
    static constexpr int kHistory = 7;
    // 100-ns units added to every pulse's time.
    static constexpr std::int64_t kTransmitDelay = 8000;
    // One-way metres per second of travel time (and per sample second, two
    // way: 750).
    static constexpr double kSoundSpeed = 1500.0;
    // A pulse this far from the last (m) is searched for no further, and
    // moves no further than the step per ping.
    static constexpr double kSearchWindow = 20.0;
    static constexpr double kStepLimit = 6.0;
    // Beyond this offset (whole metres) a pulse only starts a new reference.
    static constexpr int kOffsetLimit = 20;
    // A pinger nearer the bottom than this (m) is tracked.
    static constexpr double kTrackingDepthMargin = 450.0;

    explicit CPingerMode(IPingerModeHost& host);
    virtual ~CPingerMode();
    CPingerMode(const CPingerMode&) = delete;
    CPingerMode& operator=(const CPingerMode&) = delete;

    // The set-up dialog with the period and pulse length of "Pinger.dta";
    // OK starts acquiring and writes the file back. False (inactive) when
    // cancelled.
    bool Synchronise();
    // One ping of the pinger's channel (raw power words); the count of
    // samples the channel keeps, 0 when the ping is not used. The samples
    // may be moved so that they start at the pinger.
    int ProcessPing(std::int16_t* samples, int count, std::uint64_t pingTime);
    // The search itself, on the ping's samples: true when a pulse was
    // accepted (its position in GetPulsePosition).
    bool FindPulse(const std::int16_t* samples, int count);

    // The ping interval pinger mode asks for (s), and the same x 0.8, the
    // time a unit samples for.
    double GetParameter() const;
    double GetParameterScaled() const;
    // The pinger channel's sample interval (s).
    void SetParameter(double sampleInterval);
    // The mean of the distance history (m).
    double GetResult() const;
    bool IsTracking() const;
    bool IsSynchronising() const;
    bool IsActive() const;
    void SetActive(bool active) override;
    State GetState() const;
    int GetPulsePosition() const;
    int GetPulseWidth() const;
    double GetPeriod() const;
    double GetPulseLength() const;

    // "Pinger.dta": the period, then the pulse length. A missing or short
    // file, or values no pinger has (not finite, not positive), read as 0.0.
    bool ReadDataFile(double& period, double& pulseLength) const;
    bool WriteDataFile(double period, double pulseLength) const;
    std::string DataFilePath() const;
    // The settings archive: the pulse length, then the period. Values read
    // that no pinger has leave the ones in force.
    void Serialize(CArchive& ar);

    // IPingerLink.
    void OnPingTime(std::uint64_t) override {}
    bool IsPingTimingOn() const override { return false; }
    double GetPingTimingRange() const override { return 0.0; }
    bool IsPingerActive() const override { return IsActive(); }
    double GetPingerRange() const override { return GetResult(); }
    int ProcessPingerSamples(std::int16_t* samples, int count, double sampleInterval, std::uint64_t pingTime) override;
    bool GetPingInterval(double& seconds) override;
    bool GetPingerScaledInterval(double& seconds) override;
    bool GetPingerDepth(double& depth) const override;
    bool GetPulseLength(double& milliseconds) const override;

    // A period (s) or pulse length (ms) the pinger can run with: positive,
    // and no longer than the longest interval the sounder pings at, so that
    // it always has a place in the ping interval's 100-ns count.
    static bool IsUsable(double value);
    // A cable length or depth (m): positive.
    static bool IsDistance(double value);

private:
    struct Post
    {
        unsigned message = 0;
        std::intptr_t wParam = 0, lParam = 0;
    };
    bool FindPulseLocked(const std::int16_t* samples, int count);
    int ProcessPingLocked(std::int16_t* samples, int count, std::uint64_t pingTime, bool replaying,
                          std::vector<Post>& posts, bool& writeFile);
    void FillHistory(double distance);
    void ShiftHistory(double distance);

    IPingerModeHost& m_host;
    mutable std::mutex m_lock;
    // Set-up.
    double m_cableLength = 0.0;
    double m_period = 1.0;
    double m_depth = 0.0;
    double m_pulseLength = 0.0;
    bool m_synchroniseRequest = false;
    // Tracking state.
    int m_mode = kModeTracking;
    bool m_active = false;
    State m_state = kAcquiring;
    int m_pings = 0;
    int m_searches = 0;
    int m_syncStartPing = 0;
    int m_position = 0;
    int m_width = 0;
    double m_smoothedWidth = 0.0;
    double m_sampleInterval = 1.0;
    double m_level = 0.0;
    // The time value the sounder pings at (s).
    double m_time = 1.0;
    // The last pulse's time (100-ns units), the reference of the next.
    std::optional<std::int64_t> m_reference;
    std::array<double, kHistory> m_history{};
    double m_mean = 0.0;
    double m_offsetSum = 0.0;
    std::int64_t m_periodSum = 0;
    CMedianFilter m_median;
    std::vector<std::int16_t> m_work;
};
