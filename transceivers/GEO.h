// The four-channel GEO unit of installed type 4. A short TCP exchange wakes
// it; from then on it pings on the sounder's trigger broadcast and sends
// each channel's samples in datagrams, which a socket thread stores per
// channel (CQYNetPortGeo into CRawDataBuffer). The receive thread takes one
// ping of every present channel out of the buffers, turns it into power
// words for the channels and hands the ping to the sounder.
//
// Threads: the socket thread waits on the link, the receive thread on a
// condition; both waits end when the object stops, so the destructor wakes,
// joins and only then lets the link go.
#pragma once

#include "transceivers/DatagramLink.h"
#include "transceivers/QYNetPortGeo.h"
#include "transceivers/RawDataBuffer.h"
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

class CGEO : public CTransceiver, private IGeoPortOwner
{
public:
    static constexpr double kDefaultLoad = 68.0;  // ohms, when the installation gives none
    static constexpr double kReferenceLoad = 1000.0;
    // Sample setting of a channel before its first ping: its interval in
    // ticks of the unit's clock.
    static constexpr double kSettingClock = 3333000.0;
    static constexpr int kMinSamples = 100;
    // A float sample of the unit is this many times the power.
    static constexpr double kSampleScale = 2000000000.0;

    // link: the unit's datagram road; null (no road) leaves the object
    // without threads and channels, as does a unit of another type. The
    // capabilities are the installed channels, at most four.
    CGEO(const InstalledTransceiverInfo& info, const std::vector<TransceiverChannelRecord>& channels, HKEY key,
         ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link);
    ~CGEO() override;

    // The type table's maker: wakes the unit over TCP at its port and opens
    // the datagram road to it.
    static std::unique_ptr<CTransceiver> Create(const TransceiverConstruction& construction);
    // "BEGIN" to the unit's TCP port; its answer (read, not used), empty
    // when none came within the wait.
    static std::string SendBegin(std::uint32_t address, std::uint16_t port, int waitMs);

    void Start(std::int64_t& duration) override;
    void PrepareTrigger(int& useSharedTrigger, int* triggerValue) override;
    int Trigger(int kind) override;
    void ProcessPing(std::uint64_t pingTime) override;
    int GetChannelDepths(double* depths, int trackerState) override;
    int RequestStatus() override;
    void EnterTestMode() override;
    TransceiverType GetTypeCode() override { return TransceiverType::GEO; }
    int GetBufferedPings() override { return -1; }
    bool IsReady() override { return m_running; }
    void SetPingRequest(int flag) override;
    int SetPingMode(int mode) override;
    bool HasPingData() override { return m_pingStored.load(); }
    int ConfigureInterface(int) override { return 0; }
    // Brings the unit's window beside the program to the front.
    virtual void ActivateModelessDialog();

    // (2a / (a + b))^2 x b into the channel's slot and record.
    void SetSensitivityFactor(int channel, double a, double b);
    // Turns count bytes of float samples into the channel's power words,
    // hands them over and marks the channel's ping stored; once every
    // present channel holds the same ping, the sounder gets it.
    void StoreChannelData(const std::uint8_t* samples, std::uint32_t count, int channel, std::int32_t sequence,
                          std::uint64_t time);

    bool IsRunning() const { return m_running; }
    CChannel* GetSlotChannel(int slot) const;
    double GetSlotSensitivity(int slot) const;
    int GetChannelSetting(int channel) override;
    std::uint64_t GetPingsCompleted() const { return m_pingsCompleted.load(); }
    // Pings passed over because a channel missed its part of them.
    std::uint64_t GetPingsDropped() const { return m_pingsDropped.load(); }
    std::uint64_t GetDroppedDatagrams() const { return m_port.GetDropped(); }
    const std::string& GetWaitText() const { return m_waitText; }
    // The port, for the socket thread and tests that feed it.
    CQYNetPortGeo& Port() { return m_port; }

private:
    struct Slot
    {
        bool present = false;
        std::unique_ptr<StructChannelParameters> record;
        std::unique_ptr<CChannel> channel;
        StructChannelParameters pingRecord;
        std::unique_ptr<CRawDataBuffer> buffer;
        std::vector<std::int16_t> power;
        std::atomic<int> setting{kMinSamples};
        std::int32_t sequence = -1;
        std::uint64_t time = 0;
        bool stored = false;
        int block = 0;
        double sensitivity = 0.0;
        // The receive thread's copy of the datagram it read last.
        std::vector<std::uint8_t> bytes;
        std::int32_t readSequence = -1;
        std::uint64_t readTime = 0;
    };

    void SendToUnit(const geo::Bytes& datagram) override;
    void OnHeaderText(const std::string& text, std::uint64_t time) override;
    CRawDataBuffer* ChannelBuffer(int channel) override;
    bool TakeResendFlag() override { return m_resend.exchange(false); }

    bool CreateChannels(HKEY key, const std::vector<TransceiverChannelRecord>& channels);
    void SocketThread();
    void ReceiveThread();
    bool Pause(int ms);
    bool AllPresentHaveData() const;

    InstalledTransceiverInfo m_info;
    ITransceiverServices& m_services;
    const UnitTimings m_timings;
    std::unique_ptr<IDatagramLink> m_link;
    CQYNetPortGeo m_port{*this};
    std::array<Slot, geo::kMaxChannels> m_slots;
    std::string m_waitText;

    std::atomic<bool> m_stop{false};
    bool m_running = false;
    std::thread m_socketThread;
    std::thread m_receiveThread;
    std::mutex m_waitLock;
    std::condition_variable m_waitCv;

    std::atomic<int> m_pingRequest{1};
    std::atomic<bool> m_pingStored{false};
    std::atomic<bool> m_resend{false};
    std::atomic<bool> m_statusRequested{false};
    std::atomic<bool> m_testMode{false};
    std::atomic<int> m_triggerValue{0};
    std::atomic<std::uint64_t> m_pingsCompleted{0};
    std::atomic<std::uint64_t> m_pingsDropped{0};
};
