// A transceiver of the test suite: a stand-in unit that answers each trigger
// with one seeded ping, carried through the real sample ring buffer and the
// real channel intake, so that the engine runs end to end in tests and
// benchmarks. Not a product feature.
//
// In shared-trigger mode it waits for the trigger datagram on a UDP port, as
// a networked unit does, and keeps the datagrams it received.
#pragma once

#include "engine/ChannelLinks.h"
#include "platform/Socket.h"
#include "transceivers/SampleRingBuffer.h"
#include "transceivers/Transceiver.h"
#include "transceivers/TransceiverServices.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Calls in the order they happened, from every thread.
class CCallLog
{
public:
    void Add(const std::string& entry);
    std::vector<std::string> Entries() const;
    std::size_t Size() const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_entries;
};

class CTestTransceiver : public CTransceiver
{
public:
    struct Options
    {
        std::string name = "TEST";
        int channels = 1;
        std::uint32_t seed = 1;
        int samplesPerPing = 500;
        int samplesPerDatagram = 100;
        int bottomSample = 300;          // a strong echo here, 0 for none
        int bufferedPings = -2;          // -2: the base class's answer
        std::int64_t minimumPeriod = 0;  // answer of Start, 100-ns units
        bool sharedTrigger = false;      // wait for the UDP trigger datagram
        WORD triggerPort = 12345;
        CCallLog* log = nullptr;
        IChannelLinks* links = nullptr;  // given to every channel
        // A unit of a program: the model, pinger mode and the channels'
        // links (in place of links) come from these.
        ITransceiverServices* services = nullptr;
        std::function<void()> onStart;         // called by Start, on the trigger thread
        std::function<void()> onPingComplete;  // last sample stored, before the hand-off
        // The depth (m) each channel reports to the multipulse tracker;
        // empty: the bottom sample's.
        std::function<double()> channelDepth;
    };

    explicit CTestTransceiver(const Options& options);
    ~CTestTransceiver() override;

    void Start(std::int64_t& duration) override;
    void PrepareTrigger(int& useSharedTrigger, int* triggerValue) override;
    int Trigger(int kind) override;
    int GetBufferedPings() override;
    void SetPingRequest(int flag) override;
    void ProcessPing(std::uint64_t pingTime) override;
    int GetChannelDepths(double* depths, int trackerState) override;

    // What the unit answers to SupportsTestMode.
    int testMode = 0;
    int SupportsTestMode() override { return testMode; }
    // The record's copy for a ping and its changed mark, as a unit takes them.
    bool TakeForPing(StructChannelParameters& record, StructChannelParameters& copy, bool takeMark = true)
    {
        return CopyRecordForPing(record, copy, takeMark);
    }

    int GetTriggers() const;
    int GetPingsDelivered() const;
    // The trigger datagrams received in shared-trigger mode.
    std::vector<std::string> GetTriggerDatagrams() const;
    // Power word of sample i of ping p on channel ch, as delivered.
    static std::int16_t ExpectedPower(std::uint32_t seed, int ping, int channel, int sample, int bottomSample);
    bool IsListening() const { return m_socket.IsOpen(); }

private:
    void ReceiveThread();
    void Log(const std::string& entry);
    void DeliverPing(int ping);

    Options m_options;
    std::vector<std::unique_ptr<StructChannelParameters>> m_records;
    std::vector<std::unique_ptr<CChannel>> m_channelObjects;
    CSampleRingBuffer m_ring;
    CSocket m_socket;
    std::shared_ptr<CStopEvent> m_stopEvent = std::make_shared<CStopEvent>();

    mutable std::mutex m_lock;
    std::condition_variable m_cv;
    int m_pendingTriggers = 0;
    int m_triggers = 0;
    int m_delivered = 0;
    int m_processed = 0;
    bool m_stop = false;
    std::vector<std::string> m_datagrams;
    std::uint32_t m_sampleNumber = 1000;
    std::thread m_thread;
};
