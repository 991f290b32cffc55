#include "transceivers/tests/TestTransceiver.h"

#include "engine/Channel.h"
#include "engine/RawPower.h"
#include "platform/FileTime.h"
#include "transceivers/TransceiverOwner.h"

#include <cmath>
#include <cstring>
#include <random>

void CCallLog::Add(const std::string& entry)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_entries.push_back(entry);
}

std::vector<std::string> CCallLog::Entries() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_entries;
}

std::size_t CCallLog::Size() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_entries.size();
}

void CCallLog::Clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_entries.clear();
}

namespace {

// The complex sample of the seeded scene: noise, and a strong echo at the
// bottom sample.
void SceneSample(std::uint32_t seed, int ping, int channel, int sample, int bottomSample, float& i, float& q)
{
    std::mt19937 gen(seed * 7919u + static_cast<std::uint32_t>(ping) * 104729u +
                     static_cast<std::uint32_t>(channel) * 1299709u + static_cast<std::uint32_t>(sample));
    std::uniform_real_distribution<float> noise(-1e-4f, 1e-4f);
    i = noise(gen);
    q = noise(gen);
    if (bottomSample > 0 && std::abs(sample - bottomSample) < 3) {
        i += 0.5f;
        q += 0.25f;
    }
}

void Put32(std::vector<BYTE>& d, std::size_t at, DWORD v)
{
    for (int k = 0; k < 4; ++k)
        d[at + static_cast<std::size_t>(k)] = static_cast<BYTE>(v >> (8 * k));
}

void PutFloat(std::vector<BYTE>& d, std::size_t at, float f)
{
    DWORD bits;
    std::memcpy(&bits, &f, 4);
    Put32(d, at, bits);
}

}  // namespace

std::int16_t CTestTransceiver::ExpectedPower(std::uint32_t seed, int ping, int channel, int sample, int bottomSample)
{
    float i, q;
    SceneSample(seed, ping, channel, sample, bottomSample, i, q);
    return rawpower::PowerToRaw(static_cast<double>(i) * i + static_cast<double>(q) * q);
}

CTestTransceiver::CTestTransceiver(const Options& options)
    : CTransceiver(options.services, options.services ? options.services->ChannelLinks() : options.links),
      m_options(options),
      m_ring(options.channels)
{
    for (int ch = 0; ch < options.channels; ++ch) {
        auto record = std::make_unique<StructChannelParameters>();
        record->channelNumber = ch + 1;
        record->channelName = options.name + " " + std::to_string(ch + 1);
        record->description = record->channelName;
        record->frequency = 38000.0 * (ch + 1);
        record->pulseLength = 0.001;
        record->txPower = 1000.0;
        record->sampleInterval = 0.1 / 750.0;
        record->sampleDistance = 0.1;
        CChannel::Construction c;
        c.Transceiver = this;
        c.ChannelId = ch;
        c.Frequency = record->frequency;
        c.ChannelName = record->channelName;
        c.SourceName = options.name + std::to_string(ch + 1);
        c.Links = ChannelLinks();
        m_channelObjects.push_back(std::make_unique<CChannel>(c));
        record->channel = m_channelObjects.back().get();
        m_channels.push_back(record.get());
        m_records.push_back(std::move(record));
    }
    if (options.sharedTrigger) {
        if (m_socket.Create(CSocket::Udp)) {
            m_socket.SetReuseAddress(true);
            if (!m_socket.Bind(SocketAddress(0, options.triggerPort)))
                m_socket.Close();
        }
    }
    m_thread = std::thread([this] { ReceiveThread(); });
}

CTestTransceiver::~CTestTransceiver()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
    }
    m_stopEvent->Set();
    m_cv.notify_all();
    m_thread.join();
    m_channels.clear();
}

void CTestTransceiver::Log(const std::string& entry)
{
    if (m_options.log)
        m_options.log->Add(m_options.name + "." + entry);
}

void CTestTransceiver::Start(std::int64_t& duration)
{
    Log("start");
    if (m_options.onStart)
        m_options.onStart();
    duration = m_options.minimumPeriod;
}

void CTestTransceiver::PrepareTrigger(int& useSharedTrigger, int* triggerValue)
{
    Log("prepare");
    useSharedTrigger = m_options.sharedTrigger ? 1 : 0;
}

int CTestTransceiver::Trigger(int kind)
{
    Log("trigger");
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_pendingTriggers;
    }
    m_cv.notify_all();
    return 0;
}

int CTestTransceiver::GetBufferedPings()
{
    return m_options.bufferedPings == -2 ? CTransceiver::GetBufferedPings() : m_options.bufferedPings;
}

void CTestTransceiver::SetPingRequest(int flag)
{
    Log("request");
}

void CTestTransceiver::ProcessPing(std::uint64_t pingTime)
{
    Log("process");
    for (auto& c : m_channelObjects)
        c->AddPing(pingTime);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_processed;
    }
    m_cv.notify_all();
}

int CTestTransceiver::GetChannelDepths(double* depths, int)
{
    for (int ch = 0; ch < GetChannelCount(); ++ch)
        depths[ch] = m_options.channelDepth ? m_options.channelDepth() : m_options.bottomSample * 0.1;
    return 1;
}

int CTestTransceiver::GetTriggers() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_triggers;
}

int CTestTransceiver::GetPingsDelivered() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_delivered;
}

std::vector<std::string> CTestTransceiver::GetTriggerDatagrams() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_datagrams;
}

void CTestTransceiver::ReceiveThread()
{
    if (m_socket.IsOpen())
        m_socket.SetStopEvent(m_stopEvent);
    for (int ping = 0;; ++ping) {
        if (m_socket.IsOpen()) {
            char buf[64];
            SocketAddress from;
            int n;
            do {
                n = m_socket.ReceiveFrom(buf, sizeof buf, &from, 1000);
            } while (n == CSocket::kTimeout);
            if (n < 0)
                return;
            std::lock_guard<std::mutex> lock(m_lock);
            m_datagrams.emplace_back(buf, static_cast<std::size_t>(n));
            ++m_triggers;
        } else {
            std::unique_lock<std::mutex> lock(m_lock);
            m_cv.wait(lock, [&] { return m_stop || m_pendingTriggers > 0; });
            if (m_stop)
                return;
            --m_pendingTriggers;
            ++m_triggers;
        }
        DeliverPing(ping);
        // The channels take the next ping only after this one was processed.
        std::unique_lock<std::mutex> lock(m_lock);
        m_cv.wait(lock, [&] { return m_stop || m_processed > ping; });
        if (m_stop)
            return;
    }
}

void CTestTransceiver::DeliverPing(int ping)
{
    const int channels = m_options.channels;
    const int total = m_options.samplesPerPing;
    const DWORD start = m_sampleNumber;
    const int slot = m_ring.GetWriteSlot();
    m_ring.ModifyPingRecord(slot, [&](CSampleRingBuffer::PingRecord& r) {
        r = CSampleRingBuffer::PingRecord{};
        r.requested = 1;
        r.samplesRequested = static_cast<DWORD>(total);
        r.triggerStatusSeen = 1;
    });
    // The unit's datagrams, as they arrive on the wire.
    int result = CSampleRingBuffer::kStored;
    for (int first = 0; first < total && result != CSampleRingBuffer::kPingComplete;) {
        const int n = std::min(m_options.samplesPerDatagram, total - first);
        std::vector<BYTE> d(CSampleRingBuffer::kHeaderSize + static_cast<std::size_t>(n) * channels * 8);
        Put32(d, 0, static_cast<DWORD>(d.size()));
        PutFloat(d, 12, 7500.0f);
        d[16] = static_cast<BYTE>(n & 0xFF);
        d[17] = static_cast<BYTE>(n >> 8);
        d[18] = static_cast<BYTE>(channels);
        d[19] = 1;
        Put32(d, 24, start);
        Put32(d, 28, start + static_cast<DWORD>(first));
        for (int i = 0; i < n; ++i)
            for (int ch = 0; ch < channels; ++ch) {
                float re, im;
                SceneSample(m_options.seed, ping, ch, first + i, m_options.bottomSample, re, im);
                const std::size_t at =
                    CSampleRingBuffer::kHeaderSize + (static_cast<std::size_t>(i) * channels + ch) * 8;
                PutFloat(d, at, re);
                PutFloat(d, at + 4, im);
            }
        result = m_ring.WriteSamples(d.data(), d.size());
        first += n;
    }
    m_sampleNumber += static_cast<DWORD>(total);

    // The unit's data side: take the ping out of the ring into the channels.
    const auto record = m_ring.GetPingRecord(m_ring.GetReadSlot());
    std::vector<std::int16_t> power(static_cast<std::size_t>(total));
    for (int ch = 0; ch < channels; ++ch) {
        for (int i = 0; i < total; ++i) {
            float re = 0, im = 0;
            m_ring.ReadSample(&im, &re, nullptr, static_cast<int>(record.startIndex) + i, ch);
            power[static_cast<std::size_t>(i)] =
                rawpower::PowerToRaw(static_cast<double>(re) * re + static_cast<double>(im) * im);
        }
        m_channelObjects[static_cast<std::size_t>(ch)]->AddPowerSamples(power.data(), total, 0);
    }
    m_ring.SetReadIndex(static_cast<int>(record.startIndex) + total);
    m_ring.SetReadSlot(m_ring.GetReadSlot() + 1);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_delivered;
    }
    if (m_options.onPingComplete)
        m_options.onPingComplete();
    if (ITransceiverOwner* owner = GetEchoSounder())
        owner->UpdatePingTime(CFileTime::Now());
}
