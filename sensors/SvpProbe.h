// A sound velocity probe on a serial line. Two uses: the real-time velocity
// at the transducer, polled every half second and handed to the environment
// (its "real time" velocity type), and a cast recorded while the probe is
// lowered, thinned, and stored as a new profile that the environment offers.
//
// A probe line carries blank-separated fields; the second is the pressure P
// (dbar) and the fourth the velocity V (m/s):
//     "  12.345   27.20  1492.31"  ->  P 12.345, V 1492.31 (field 3 unused)
// A line with one value behind its first field holds only a velocity:
//     "SV 1492.31"                 ->  V 1492.31 at the surface
// Depth D = P / 1.008 m. Only 1400 < V < 1700 is taken.
//
// Threads: lines arrive on the serial reader thread, the poll runs on the
// probe's own worker, settings and the dialog's commands on the
// user-interface thread; the worker also sends what a line asks for, since
// the reader thread must not send. The recorded cast is guarded by the
// probe's lock; flags and counts are atomics. The log is the monitor's,
// which announces every change to the dialog by a posted message.
#pragma once

#include "sensors/SerialSensor.h"
#include "sensors/SvpProfile.h"
#include "sensors/SvpProfileStore.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class CEnvironment;

class CSvpProbe final : public CSerialSensor
{
public:
    static constexpr const char* kSettingId = "SvpProbe";
    static constexpr UINT IdsRealSvpMissing = 57693;
    static constexpr unsigned kCycleMs = 500;
    // Cycles without a reading (30 s) before the velocity is reported missing.
    static constexpr unsigned kMaxEmptyCycles = 60;
    static constexpr unsigned kTransmitDelayMs = 1000;
    static constexpr std::size_t kLogCutAbove = 1000;
    static constexpr std::size_t kLogKeep = 333;
    static constexpr double kPressureToDepth = 1.008;
    // A recorded point closer than this to the last one is not kept.
    static constexpr double kMinVelocityStep = 0.5;
    static constexpr double kMinDepthStep = 0.2;
    static constexpr double kMaxDepth = 15000.0;
    // A reading this far from the environment's velocity is handed over.
    static constexpr double kVelocityChange = 1.0;

    struct SReading
    {
        double depth;     // m
        double velocity;  // m/s
    };
    // A probe line's depth and velocity; none when it holds no velocity in
    // the window.
    static std::optional<SReading> ParseLine(const std::string& line);

    CSvpProbe(CEnvironment& environment, CSvpProfileStore& store, const ISensorHost& host, unsigned cycleMs = kCycleMs);
    ~CSvpProbe() override;

    // SvpEnabled and RealSvpEnabled under the given key (kept); missing ones
    // are written as 0.
    void LoadEnabled(HKEY key);
    bool SaveEnabled();
    // Starts the worker and opens the line; 1 when the component cannot be
    // made (the worker runs on and reports the missing velocity).
    HRESULT StartReader();
    // Wakes and joins the worker, then closes the line.
    void StopReader();

    bool IsRealTime() const { return m_realTime.load(); }
    // The dialog's check box: on polls at once.
    void SetRealTime(bool on);
    bool IsSvpEnabled() const { return m_svpEnabled.load(); }

    // "Start": the probe begins its cast.
    void StartCast();
    // "Record": an empty cast, recording from now on.
    void StartRecording();
    bool IsRecording() const { return m_recording.load(); }
    CSvpProfile RecordedCast() const;
    // "Store": the recorded cast as a new profile file; false when nothing
    // was stored. The file is offered by AnnounceStored.
    bool StoreCast();
    // The dialog's OK: a cast stored meanwhile is offered to the
    // environment as an ".asvp" file. Forgets it either way.
    void AnnounceStored();
    bool HasStoredCast() const;
    // A cast stored in a dialog that was cancelled is not offered later.
    void ForgetStored();

    // Poll cycles without a reading in a row (tests).
    unsigned EmptyCycles() const { return m_emptyCycles.load(); }

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    void Worker();
    void Poll();
    // Twelve carriage returns, from the worker.
    void WakeProbe();
    void Send(const char* text);

    CEnvironment& m_environment;
    CSvpProfileStore& m_store;
    const unsigned m_cycleMs;

    std::atomic<bool> m_svpEnabled{false};
    std::atomic<bool> m_realTime{false};
    std::atomic<bool> m_pollSent{false};
    std::atomic<bool> m_recording{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<unsigned> m_readings{0};
    std::atomic<unsigned> m_emptyCycles{0};
    std::atomic<bool> m_missingReported{false};

    mutable std::mutex m_castLock;
    CSvpProfile m_cast;
    std::optional<SReading> m_lastRecorded;
    std::optional<CSvpProfileStore::SStored> m_stored;

    std::mutex m_workerLock;
    std::condition_variable m_wake;
    bool m_stop = false;
    unsigned m_wakesAsked = 0;  // readings from a probe nobody polled
    std::thread m_worker;
    const std::atomic<bool> m_transmit{true};
};
