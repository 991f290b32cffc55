// The single-channel network transceiver of installed type 3, driven over a
// datagram link (UDP in the program). A receive thread stores the unit's
// sample datagrams in the sample ring buffer and handles its other datagrams;
// a data thread brings the unit through its set-up sequence and turns each
// completed ping into power words for the channel.
//
// Threads: the receive thread waits on the link, the data thread on a
// condition; both waits end when the object stops (the link is stopped with
// it), so the destructor wakes, joins and only then lets the link go. Flags
// shared between the threads are atomics. The wait for a unit that has not
// answered goes through the program's services (the search dialog); without
// an operator to ask, the object waits on its own for a bounded time, so a
// worker thread never opens a window.
#pragma once

#include "base/AppIds.h"
#include "transceivers/DatagramLink.h"
#include "transceivers/QY42Telegrams.h"
#include "transceivers/SampleRingBuffer.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverRecords.h"
#include "transceivers/UnitTimings.h"

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
struct TransceiverConstruction;

class CQY42 : public CTransceiver
{
public:
    static constexpr int kMaxPingSamples = 1000000;
    static constexpr int kMaxListedSamples = 60000;
    static constexpr int kMaxFilterLength = 10001;
    static constexpr int kPlaceholderSize = 8224;
    static constexpr int kSetupComplete = 255;

    // Coefficients of the receive filter (filter types 2 to 4).
    struct FilterRecord
    {
        int length = 0;
        int divisor = 1;
        std::vector<float> real = std::vector<float>(kMaxFilterLength);
        std::vector<float> imaginary = std::vector<float>(kMaxFilterLength);
    };

    // Posted when the unit's event input closes.
    static constexpr UINT ID_EVENT_ANNOTATION = app::cmd::EVENT_ANNOTATION;
    static constexpr double kDefaultLoad = 68.0;  // ohms, when the installation gives none
    static constexpr double kReferenceLoad = 1000.0;

    // link: the road to the unit; null (no road could be opened) leaves
    // the object without threads and channels, as does a unit of another
    // type.
    CQY42(const InstalledTransceiverInfo& info, const std::optional<TransceiverChannelRecord>& channel, HKEY key,
          ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link);
    ~CQY42() override;

    // The type table's maker: the object for an installed unit, over UDP to
    // the unit's address; null when the installation knows no such unit or
    // it is of another type.
    static std::unique_ptr<CTransceiver> Create(const TransceiverConstruction& construction);

    void Start(std::int64_t& duration) override;
    void PrepareTrigger(int& useSharedTrigger, int* triggerValue) override;
    int Trigger(int kind) override;
    void ProcessPing(std::uint64_t pingTime) override;
    int RequestStatus() override;
    // The multipulse tracker's depth: each channel's last bottom depth.
    int GetChannelDepths(double* depths, int trackerState) override;
    TransceiverType GetTypeCode() override { return TransceiverType::QY42; }
    int GetBufferedPings() override;
    // Ready for the next ping: set up, and the last ping triggered is all
    // in the ring. A new ping starts its write slot over, so one started
    // while samples of the last are still coming would lose that ping.
    bool IsReady() override { return m_ready.load() && !PingInFlight(); }
    // The engine asks for the next ping's samples once it has taken the
    // last completed ping from the channel.
    void SetPingRequest(int flag) override { m_dataPending = flag; }
    int SetPingMode(int mode) override
    {
        m_pingMode = mode;
        return mode;
    }
    bool HasPingData() override;
    int ConfigureInterface(int) override;

    // Filter coefficients; false (and nothing changed) when the length is
    // outside the coefficient tables.
    bool SetFilter(const FilterRecord& filter);

    // Decimation of the ping being set up, from the channel's sample clock.
    struct Decimation
    {
        int factor = 1;  // sample-rate factor
        int total = 0, des1 = 1, des2 = 1, des3 = 1, ticks = 0;
    };
    static Decimation ComputeDecimation(double pulseLength, int ticks);
    static qy42::TransmitSettings ComputeTransmit(double frequency, double pulseLength, double fmPulseLength, bool fm,
                                                  double power, bool passive, float& transmitFrequency);
    // Turns count samples of channel 0 from index on into power values and
    // power words by the filter type; offset is the position of the first of
    // them in the ping, which sets where a decimated output falls. Returns
    // the number of values written (at most count).
    static int ConvertSamples(const CSampleRingBuffer& ring, int index, int count, long long offset, int filterType,
                              int des2, const FilterRecord& filter, double* power, std::int16_t* words);

    // What the receive thread does with one result of the link's Receive:
    // a datagram of that length is handled by its code, a silent wait
    // counted; false once the link has ended. Called on the receive thread
    // only, or (the fuzz target's way in) on a unit whose link never
    // receives, so that the thread has ended.
    bool TakeReceived(int result, const BYTE* data);

    bool IsRunning() const { return m_running; }
    bool IsRefused() const { return m_refused.load(); }
    int GetSetupState() const { return m_setupState.load(); }
    std::string GetVersion() const;
    std::string GetDecimationLog() const;
    std::string GetInformationLog() const;
    std::uint64_t GetLinkLosses() const { return m_linkLosses.load(); }
    std::uint64_t GetPlaceholders() const { return m_placeholders.load(); }
    std::uint64_t GetPingsCompleted() const { return m_pingsCompleted.load(); }
    std::uint64_t GetGapEvents() const { return m_ring ? m_ring->GetLostSampleEvents() : 0; }
    std::uint64_t GetMotionTime() const { return m_lastMotionTime.load(); }
    CChannel* GetChannel() const { return m_channel.get(); }
    double GetSensitivityFactor() const { return m_sensitivityFactor; }
    std::uint64_t GetAuxiliaryInputs() const { return m_auxiliaryInputs.load(); }

private:
    struct DatagramRow;
    static const DatagramRow* FindDatagram(const std::string& code);

    bool SendCommand(const qy42::Bytes& telegram);
    bool SendData(const qy42::Bytes& telegram);
    bool SendVersionRequest(DWORD token);
    bool WaitForUnit();
    bool CreateChannels(HKEY key);
    void ConfigureTransmit();
    void LogDecimation();
    void CheckLink();
    void CompletePing();
    void ReceiveSamples();
    void DataThreadLoop();
    void HandleDatagram(const BYTE* data, std::size_t size);
    void HandleSamples(const BYTE* data, std::size_t size);
    void HandleAuxiliaryInput(const BYTE* data, std::size_t size);
    void HandleInformation(const BYTE* data, std::size_t size);
    void HandleStatus(const BYTE* data, std::size_t size);
    void HandleVersionAnswer(const BYTE* data, std::size_t size);
    void HandleTriggerStatus(const BYTE* data, std::size_t size);
    void CountTimeout();
    bool Pause(int ms);
    void TakeEnvironment(StructChannelParameters& record);

    InstalledTransceiverInfo m_info;
    std::optional<TransceiverChannelRecord> m_capability;
    ITransceiverServices& m_services;
    const UnitTimings m_timings;
    std::unique_ptr<IDatagramLink> m_link;
    std::unique_ptr<CSampleRingBuffer> m_ring;

    std::atomic<bool> m_stop{false};
    std::thread m_receiveThread;
    std::thread m_dataThread;
    bool m_running = false;
    std::mutex m_waitLock;
    std::condition_variable m_waitCv;

    std::atomic<bool> m_ready{false};
    // The channel's input is free for the next ping's samples; it is from
    // the start. Until the engine has taken a completed ping, later pings
    // wait in the ring, a re-link included: their samples would otherwise
    // join that ping and leave their own empty.
    std::atomic<int> m_dataPending{1};
    std::atomic<bool> m_setupDone{false};
    std::atomic<bool> m_setupFlag{false};  // "HC" seen: transmit set-up due
    std::atomic<bool> m_programming{false};
    std::atomic<bool> m_versionAnswered{false};
    std::atomic<bool> m_refused{false};
    std::atomic<bool> m_syncSeen{false};
    std::atomic<bool> m_receiveConfigured{false};
    std::atomic<bool> m_statusRequested{false};
    std::atomic<bool> m_waiting{false};  // the search wait is on
    std::atomic<int> m_setupState{0};
    std::atomic<int> m_pingMode{0};
    std::atomic<bool> m_eventInput{false};

    mutable std::mutex m_textLock;
    std::string m_informationLog;
    std::string m_decimationLog;
    std::string m_version;
    std::string m_waitText;

    // The channel slot.
    std::unique_ptr<StructChannelParameters> m_record;
    std::unique_ptr<CChannel> m_channel;
    std::atomic<int> m_des1{1}, m_des2{1}, m_des3{1};
    int m_sampleRateFactor = 1;
    double m_sensitivityFactor = 0.0;
    FilterRecord m_filter;
    std::mutex m_filterLock;
    StructChannelParameters m_pingRecord;  // copy taken by Start
    std::atomic<int> m_pingTicks{0};

    // Per-ping work (data thread only).
    std::vector<std::int16_t> m_powerWords;
    std::vector<double> m_power;
    int m_listed = 0;
    std::uint64_t m_lastStartTime = 0;
    std::uint64_t m_currentPingTime = 0;
    int m_blockNumber = 0;

    // Receive thread only.
    int m_timeouts = 0;
    std::uint64_t m_lastSampleTick = 0;

    std::atomic<std::uint64_t> m_pingStartTime{0};
    std::atomic<double> m_samplePeriod{1.0};
    std::atomic<int> m_filterType{1};
    std::atomic<std::uint64_t> m_lastMotionTime{0};
    std::atomic<std::uint64_t> m_linkLosses{0};
    std::atomic<std::uint64_t> m_placeholders{0};
    std::atomic<std::uint64_t> m_pingsCompleted{0};
    // Pings started by the trigger thread and pings whose samples are all in
    // the ring (or given up); they differ while a ping is on its way.
    std::atomic<std::uint64_t> m_pingsStarted{0};
    std::atomic<std::uint64_t> m_pingsInRing{0};
    bool PingInFlight() const { return m_pingsStarted.load() != m_pingsInRing.load(); }
    void AbandonPingInFlight() { m_pingsInRing.store(m_pingsStarted.load()); }
    std::atomic<std::uint64_t> m_auxiliaryInputs{0};
};
