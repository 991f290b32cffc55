// The running sounder: owns one transceiver object per installed transceiver
// (or one replay transceiver) and runs two workers. The trigger thread paces
// the pings and triggers the transceivers, by their own trigger operation or
// by one UDP datagram; the ping-data thread waits until every transceiver
// has delivered its ping and drives the per-ping work in a fixed order.
//
// Threads: every wait of either worker (ping-ready semaphore, single-step
// gate, pacing sleeps, waits on the transceivers) ends when the sounder
// stops; the destructor stops, keeps serving the calling thread's messages
// while the workers finish (a worker may be waiting for that thread), joins
// both and only then deletes the members they use. The rate mode, interval
// and next trigger time are atomics, since the user-interface thread changes
// them while the workers run; pacing uses the monotonic clock, so a clock
// set from a time telegram does not stall or rush the pings.
#pragma once

#include "base/CommandTarget.h"
#include "platform/Registry.h"
#include "platform/Socket.h"
#include "platform/WinTypes.h"
#include "sounder/CalibrationLink.h"
#include "sounder/EchoSounderHost.h"
#include "sounder/SurveyControl.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverRecords.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class CChannel;
class CTransceiver;
class CTransceiverInstallation;
class CTransceiverTypeTable;
class CReplayFileList;
class CSequenceControl;
class CMultiPulse;

// The documents that take every ping (the display's document list). The
// sounder owns it from Create to its own end and tells it after each ping;
// the program around the sounder makes it, since the display builds on the
// engine and not the other way round.
class IPingDocuments
{
public:
    virtual ~IPingDocuments() = default;
    // 1: run every document's update on the calling thread; 0: wake the
    // list's own worker. The result is what the list reports.
    virtual int Notify(int flag) = 0;
    // While held, a dispatch stops before its next document.
    virtual void SetHold(bool hold) = 0;
};

// The recorder of a running sounder. The program makes it (the recording
// builds on the engine, not the other way round) once the sounder has its
// channels and before the workers start; the sounder owns it and drops it
// after both workers are joined, so the per-ping calls never meet a recorder
// being made or going. Per-ping calls come on the ping-data thread, commands
// on the user-interface thread.
class IPingRecorder
{
public:
    virtual ~IPingRecorder() = default;
    virtual void WritePing() = 0;
    // Whether this ping is recorded (raw, extract or out).
    virtual bool IsRecordingPing() const = 0;
    // Whether the xtf product is on: its ping record follows the documents.
    virtual bool IsRecordingXtf() const = 0;
    virtual void WriteXtfPing() = 0;
    // The recorder's WM_COMMAND ids; false for any other command.
    virtual bool OnCommand(unsigned id) = 0;
    // Non-zero while it records.
    virtual int GetMode() const = 0;
};

// A counting semaphore whose waits a stop ends.
class CCancellableSemaphore
{
public:
    explicit CCancellableSemaphore(int maximum) : m_max(maximum) {}
    void Release(int n = 1);
    // False once cancelled.
    bool Acquire();
    void Cancel();
    int GetCount() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_cv;
    int m_count = 0;
    const int m_max;
    bool m_cancelled = false;
};

class CEchoSounder : public ITransceiverOwner
{
public:
    enum OperatingMode : int { kNormal = 0, kReplay = 1 };
    enum RateMode : int { kMaximumRate = 0, kSingleStep = 1, kInterval = 2, kMultiPulse = 3, kPinger = 4 };
    static constexpr DWORD kTriggerInternal = 0x2000;
    static constexpr DWORD kTriggerExternal = 0x2001;
    static constexpr WORD kTriggerPort = 12345;
    static constexpr int kPingReadyMaximum = 255;
    static constexpr std::int64_t kDefaultTriggerTimeout = 50000000;  // 5 s
    // Status message "Cannot meet ping interval requirement".
    static constexpr unsigned IDS_INTERVAL_NOT_MET = 57699;

    // What the sounder needs of the program around it.
    struct Context
    {
        CTransceiverInstallation* installation = nullptr;
        // The program's parts, participants and services; null: a sounder
        // that runs alone (CNoEchoSounderHost).
        IEchoSounderHost* host = nullptr;
        SounderModel model = SounderModel::QY310;
        // The types the model may use; null: the standard table.
        const CTransceiverTypeTable* transceiverTypes = nullptr;
        std::string adapterAddress;      // PC address of the selected adapter
        std::string triggerDestination;  // set: the trigger datagram goes here
        WORD triggerPort = kTriggerPort;
        bool simplePinger = false;
        double simplePingerInterval = 1.0;  // s
        int workerStartDelayMs = 1000;
        // Longest wait of the trigger thread between two looks at units that
        // still hold a ping; the ping-data thread taking a ping ends it early.
        std::int64_t transceiverPassTicks = 10000;  // 1 ms in 100-ns units
        // What the calibration component is told of the program: its product
        // version and the transceiver list's folder.
        std::string productVersion;
        std::string trListPath;
    };

    CEchoSounder();
    ~CEchoSounder();
    CEchoSounder(const CEchoSounder&) = delete;
    CEchoSounder& operator=(const CEchoSounder&) = delete;

    // Builds the transceivers and, when there are channels, starts both
    // workers. False when the start was refused (a transceiver type that
    // cannot run here); no worker runs then. interval (100 ns units) paces
    // rate mode 2 from the first ping on, as SetMode would.
    bool Create(const Context& context, HKEY key, int mode, int rateMode, const CReplayFileList* files, DWORD trigger,
                int sequence, const std::string& sequenceFile, int hbx, std::int64_t interval = 0);

    int GetChannelCount() const;
    CChannel* GetChannel(int index) const;
    int GetTransceiverCount() const { return static_cast<int>(m_transceivers.size()); }
    CTransceiver* GetTransceiver(int index) const;
    bool AreThreadsRunning() const { return m_threadsRunning; }
    int GetMode() const { return m_mode; }

    std::uint64_t UpdatePingTime(std::uint64_t time) override;
    std::uint64_t GetPingTime() const;
    void SetPingRecord(std::uint64_t referenceTime, std::uint64_t telegramTime);
    bool IsPcClockRequestPending() const { return m_pcClockPending.load(); }
    void AddTimingCorrection(std::int16_t delta) { m_timingCorrection += delta; }
    void SetMode(int rateMode, DWORD trigger, int sequence, std::int64_t interval, int hbx);
    int GetRateMode() const override { return m_rateMode.load(); }
    std::int64_t GetInterval() const { return m_interval.load(); }
    DWORD GetTrigger() const { return m_trigger.load(); }
    int GetHbx() const { return m_hbx.load(); }
    // The sequence flag in force, the companion of the trigger code.
    int GetSequenceFlag() const { return m_sequenceFlag.load(); }
    bool IsMultiPulse() const { return m_multiPulseOn.load(); }
    bool IsPinger() const { return m_pingerOn.load(); }
    // Set at creation: the sounder paces its own pings, and the echogram
    // wheel may shift them (AddTimingCorrection).
    bool IsSimplePinger() const { return m_simplePinger; }
    void SetSkip() override { m_skip = true; }
    // A release of the ping-ready semaphore without a ping time.
    void UnlockSemaphore() override { m_pingReady.Release(); }
    // 0 (the channel pings) while no sequence runs.
    int GetStep(int index) const override;
    std::optional<double> GetMultiPulseScaledDepth() const override;
    // While pinger mode paces the pings: how long the units sample (s).
    std::optional<double> GetPingerScaledParameter() const override;
    // A transceiver's thread reports that its unit fell silent; the trigger
    // thread takes the report and raises the alarm. Reports that come before
    // it looks are one loss.
    void SetLinkLost() override { m_linkLost = true; }
    bool IsLinkLost() const { return m_linkLost.load(); }
    bool IsStopping() const override { return m_stop.load(); }
    void SendTestCommandToAll(int mode) override;

    void StopTransceivers();
    bool TransceiversReady();
    bool HasNamedChannel() const;
    // A transceiver mode (CTransceiver: 0 active, 1 passive, 2 test) for
    // every channel with a name. The trigger thread, which refreshes the
    // channel records before each trigger, applies it there, so the records
    // it copies for a ping never change under it.
    void SetChannelsState(int state);
    // Side-scan pairs: each of the first 8 channels whose echogram shows a
    // side and publishes it hands its pulse length, transmit power and
    // transceiver mode to the channel it names as partner, so that both
    // sides transmit alike. Trigger thread, before the units start.
    void RefreshChannelRecords();
    static constexpr int kPairedChannels = 8;
    // The "Step!" command: one ping in single-step mode.
    void OnStep();
    bool IsStepEnabled() const { return m_rateMode.load() == kSingleStep; }
    // Menu commands that reach the sounder after its recorder and the
    // annotations: each transceiver in array order, then the sounder's own.
    bool OnCommand(unsigned id);
    bool OnUpdateCommand(app::CCmdUI& ui);
    // "Print dB Ping to file": appends each channel's dB samples of the ping
    // in hand to the file, taken from the channel's locked copy since the
    // ping-data thread replaces its buffers meanwhile. False when the file
    // cannot be written.
    bool DebugPrintPing(const std::string& path) const;
    // "DEBUG_Print_dB_PING2.txt" in the data root, beside the settings.
    static std::string DebugPingFile();
    std::string GetPingRateText() const;
    CSequenceControl* GetSequenceControl() const { return m_sequence.get(); }
    CMultiPulse* GetMultiPulse() const { return m_multiPulse.get(); }
    // The document list; null when the context made none.
    IPingDocuments* GetDocuments() const { return m_documents.get(); }
    // The recorder; null when the context made none. Made before the workers
    // start and dropped after they end, so any thread may use it meanwhile.
    IPingRecorder* GetRecorder() const { return m_recorder.get(); }
    // "Calibration..." on one of the sounder's channels: starts the link to
    // the calibration component (nothing while a channel is linked). The
    // caller tells a failure to the user: the caption names the failed call.
    CCalibrationLink::SStartResult StartCalibrationLink(CChannel& channel);
    const std::string& GetTriggerDestination() const { return m_destinationText; }
    std::uint64_t GetTriggerCount() const { return m_triggerCount.load(); }
    std::uint64_t GetPingCount() const { return m_pingCount.load(); }

    // Directed broadcast of an address's class (A, B, C); 255.255.255.255 for
    // anything else. Used only when no adapter tells its own.
    static std::uint32_t ClassBroadcast(std::uint32_t hostOrderAddress);

private:
    void PingDataThread();
    void TriggerThread();
    bool WaitFor(std::int64_t ticks);
    void PaceInterval(std::int64_t interval);
    void PaceLoad(double& sleepMs, double& lastLoad, int& equalReadings);
    bool WaitForTransceivers();
    void NotePingTaken();
    void TakeLinkLost();
    void SendTrigger(bool external);
    void UpdateRate(std::uint64_t previous, std::uint64_t current);
    // Each trigger round of the wide-band model: the first channel's rate
    // into the ring.
    void UpdateTraceRate();
    // Under m_rateLock.
    void PushRate(double rate);
    void SetRateText();
    void ResolveDestination();
    void StopThreads();

    Context m_context;
    IEchoSounderHost* m_host = nullptr;  // never null once created
    HKEY m_key = nullptr;
    int m_mode = kNormal;
    std::atomic<DWORD> m_trigger{kTriggerInternal};
    std::atomic<int> m_sequenceFlag{0};
    std::atomic<int> m_rateMode{kMaximumRate};
    std::atomic<std::int64_t> m_interval{0};
    std::atomic<int> m_hbx{0};
    std::atomic<bool> m_multiPulseOn{false};
    std::atomic<bool> m_pingerOn{false};
    bool m_simplePinger = false;
    std::atomic<std::int32_t> m_timingCorrection{0};
    std::atomic<std::int64_t> m_nextTrigger{0};  // monotonic; 0 = start from now
    std::atomic<std::int64_t> m_triggerTimeout{kDefaultTriggerTimeout};
    std::atomic<bool> m_skip{false};
    std::atomic<int> m_pendingChannelState{-1};  // -1: none
    std::atomic<bool> m_linkLost{false};
    int m_saveData = 0;

    CCancellableSemaphore m_pingReady{kPingReadyMaximum};
    CCancellableSemaphore m_stepGate{1};
    mutable std::mutex m_pingTimeLock;
    std::uint64_t m_pingTime = 0;
    std::uint64_t m_firstPingTime = 0;
    std::uint64_t m_previousPingTime = 0;
    std::mutex m_clockLock;
    std::uint64_t m_referenceTime = 0, m_telegramTime = 0;
    std::atomic<bool> m_pcClockPending{false};

    std::vector<std::unique_ptr<CTransceiver>> m_transceivers;
    std::unique_ptr<CSequenceControl> m_sequence;
    std::unique_ptr<CMultiPulse> m_multiPulse;
    mutable std::mutex m_sequenceLock;
    std::unique_ptr<IPingDocuments> m_documents;
    std::unique_ptr<IPingRecorder> m_recorder;
    std::unique_ptr<ISurveyControl> m_surveyControl;
    // The channels' calibration component: given to every channel once they
    // exist, let go after every thread that requests single targets.
    CCalibrationLink m_calibration;

    CSocket m_socket;
    std::uint32_t m_destination = 0xFFFFFFFFu;  // host order
    std::string m_destinationText;

    std::atomic<bool> m_stop{false};
    std::mutex m_sleepLock;
    std::condition_variable m_sleepCv;
    // Counts the pings the ping-data thread has taken, under m_sleepLock, so
    // that the trigger thread's wait for the units ends when one is taken.
    std::uint64_t m_pingsTaken = 0;
    std::condition_variable m_pingTakenCv;
    std::thread m_pingThread;
    std::thread m_triggerThread;
    std::atomic<bool> m_pingThreadDone{false};
    std::atomic<bool> m_triggerThreadDone{false};
    bool m_threadsRunning = false;

    std::atomic<std::int64_t> m_largestMinimumPeriod{0};
    std::int64_t m_previousTrigger = 0;
    std::atomic<std::uint64_t> m_triggerCount{0};
    // The trigger thread's note of the units that ping on the broadcast.
    std::vector<int> m_sharedTrigger;
    std::atomic<std::uint64_t> m_pingCount{0};

    mutable std::mutex m_rateLock;
    std::array<double, 5> m_rateRing{};
    int m_rateIndex = 0;
    std::string m_rateText;
};
