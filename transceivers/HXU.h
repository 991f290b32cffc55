// The general-purpose HXU unit of installed type 0: up to four channels of
// one unit, each sampled by the unit and sent in "P" fragments. Making it
// is the whole start-up talk on the user-interface thread: the version
// handshake (with the no-contact question), the unit's identity and market
// segment, the offer of newer software from "HXUProg.hex" and its download,
// the channels, and the receive thread. Each Start sends the mode set, on
// which the unit pings by itself; the receive thread fills the channels and
// hands the sounder one ping time per complete ping.
//
// Threads: the trigger thread runs Start, PrepareTrigger and SetUp; the
// receive thread writes the slots and the channels' input; the ping-data
// thread runs ProcessPing. The slots, the trigger time and the ping
// interval are kept under one lock; the receive thread's wait ends when the
// object stops, so the destructor wakes it, joins and only then lets the
// link go.
#pragma once

#include "transceivers/DatagramLink.h"
#include "transceivers/HxuTelegrams.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverRecords.h"
#include "transceivers/UnitTimings.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CChannel;
class CModalSession;
struct TransceiverConstruction;

class CHXU : public CTransceiver
{
public:
    static constexpr const char* kSoftwareFile = "HXUProg.hex";
    static constexpr std::int64_t kDefaultInterval = 10000000;  // 1 s in 100 ns units
    // A channel whose maximum power is above this pings at most every tenth
    // of its power-time product, below it every twentieth.
    static constexpr double kPowerThreshold = 3999.0;

    // How the start-up talk ended.
    enum class StartState { Running, NoLink, NoContact, Refused, WrongType, UnitFatal };

    // link: the road to the unit; null leaves the object without threads
    // and channels. softwareFile: the unit's software file; empty: none
    // offered. index: the unit's place among the installed ones.
    CHXU(const InstalledTransceiverInfo& info, const std::vector<TransceiverChannelRecord>& channels, HKEY key,
         ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link, int index,
         const std::string& softwareFile);
    ~CHXU() override;

    // The type table's maker: the road to the unit's port of its installed
    // address, and the software file from the units' software folder.
    static std::unique_ptr<CTransceiver> Create(const TransceiverConstruction& construction);

    void Start(std::int64_t& duration) override;
    // The set-up step: keeps the trigger time-out (100 ns units) as the
    // ping's time limit; the unit asks for the trigger broadcast while it
    // can ping.
    void PrepareTrigger(int& useSharedTrigger, int* triggerValue) override;
    // The trigger-time step: the ping's time limit counts from now.
    void SetUp(int timeout) override;
    // The unit pings by itself on the mode set: nothing is sent.
    int Trigger(int kind) override;
    bool IsReady() override { return !m_fatal.load(); }
    void ProcessPing(std::uint64_t pingTime) override;
    int GetChannelDepths(double* depths, int trackerState) override;
    TransceiverType GetTypeCode() override { return TransceiverType::HXU; }
    // "Debug HXU..." and the alarm commands.
    bool OnCommand(unsigned id) override;
    // "Debug HXU..." is offered while there is someone to show it to.
    bool OnUpdateCommand(app::CCmdUI& ui) override;

    // Sends the alarm datagram to the unit.
    void SendAlarm(bool on);
    // The box of a unit's fatal state with the unit's text; nobody waits
    // for it. Discovery shows it too when a unit answers in that state.
    static void ShowUnitError(const std::string& text);

    StartState GetStartState() const { return m_startState; }
    bool IsRunning() const { return m_startState == StartState::Running; }
    bool IsFatal() const { return m_fatal.load(); }
    const std::string& GetUnitVersion() const { return m_unitVersion; }
    // Whether new software was sent to the unit and taken whole.
    bool SoftwareDownloaded() const { return m_downloaded; }
    CChannel* GetSlotChannel(int slot) const;
    std::uint64_t GetPingsCompleted() const { return m_pingsCompleted.load(); }
    // Datagrams from the unit that were short or lied about their counts.
    std::uint64_t GetDroppedDatagrams() const { return m_dropped.load(); }
    // Datagrams the receive thread took from the unit.
    std::uint64_t GetReceivedDatagrams() const { return m_received.load(); }
    // The seven debug flags of the debug dialog.
    std::array<int, 7> GetDebugFlags() const;
    void SetDebugFlags(const std::array<int, 7>& flags);

    // The thermistor's resistance (ohms) of a fragment's word; 0 when the
    // word gives none.
    static double ThermistorOhms(std::uint16_t word);
    // A motion word in hundredths of a volt.
    static std::int16_t MotionHundredths(std::uint16_t word);

private:
    struct Slot
    {
        bool installed = false;
        std::unique_ptr<StructChannelParameters> record;
        std::unique_ptr<CChannel> channel;
        StructChannelParameters pingRecord;
        bool waiting = false;
        bool inProgress = false;
        std::uint32_t received = 0;
        std::uint32_t expected = 0;
        std::uint32_t nextExpected = hxu::kNoSample;
        std::uint32_t fragments = 0;
        int block = 0;
    };

    bool Handshake(bool offerSoftware);
    void OfferSoftware();
    bool Download(std::FILE* file);
    // One reply from the unit within the wait; empty on silence or stop.
    std::vector<BYTE> Await(int waitMs);
    void CreateChannels(HKEY key, const std::vector<TransceiverChannelRecord>& channels);
    bool SendConnect();
    void ReceiveThread();
    void OnDatagram(const BYTE* data, std::size_t size);
    void OnFragment(const hxu::Fragment& f);
    void OnUnitError(const std::string& text);
    // Clears every slot's ping; true when any was busy. Under m_lock.
    bool ClearSlots();
    bool PingAwaited() const;
    void Release();
    void RunDebugDialog();

    InstalledTransceiverInfo m_info;
    ITransceiverServices& m_services;
    const UnitTimings m_timings;
    std::unique_ptr<IDatagramLink> m_link;
    const int m_index;
    const std::string m_softwareFile;
    StartState m_startState = StartState::NoLink;
    std::string m_unitVersion;
    bool m_downloaded = false;

    std::array<Slot, hxu::kMaxChannels> m_slots;
    mutable std::mutex m_lock;
    std::uint64_t m_triggerTime = 0;
    std::int64_t m_pingLimit = kDefaultInterval;  // the copy the receive thread reads
    std::uint64_t m_pingStart = 0;
    std::array<int, 2> m_statusState{};  // 0 unknown, 1 clear, 2 set
    std::array<int, 7> m_debugFlags{};
    // The debug dialog while it runs, ended when the unit goes.
    CModalSession* m_debugDialog = nullptr;

    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_fatal{false};
    std::thread m_receiveThread;
    std::atomic<std::uint64_t> m_pingsCompleted{0};
    std::atomic<std::uint64_t> m_dropped{0};
    std::atomic<std::uint64_t> m_received{0};
};
