#include "transceivers/GEO.h"

#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "engine/RawPower.h"
#include "platform/FileTime.h"
#include "platform/Socket.h"
#include "transceivers/PingMotion.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverServices.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/UdpDatagramLink.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

std::string Format(const char* format, auto... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

}  // namespace

CGEO::CGEO(const InstalledTransceiverInfo& info, const std::vector<TransceiverChannelRecord>& channels, HKEY key,
           ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link)
    : CTransceiver(services), m_info(info), m_services(services), m_timings(timings), m_link(std::move(link))
{
    const std::uint32_t a = info.unitAddress;
    m_waitText = Format("%s %d.%d.%d.%d", "Wait for response from", static_cast<int>(a >> 24 & 0xFF),
                        static_cast<int>(a >> 16 & 0xFF), static_cast<int>(a >> 8 & 0xFF), static_cast<int>(a & 0xFF));
    if (info.type != TransceiverType::GEO)
        m_link.reset();  // a unit of another type is never spoken to
    if (!m_link || !CreateChannels(key, channels))
        return;
    m_socketThread = std::thread([this] { SocketThread(); });
    m_receiveThread = std::thread([this] { ReceiveThread(); });
    m_port.SendStart();
    m_running = true;
}

CGEO::~CGEO()
{
    m_stop = true;
    if (m_link)
        m_link->Stop();
    m_waitCv.notify_all();
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    if (m_socketThread.joinable())
        m_socketThread.join();
    m_link.reset();
    m_channels.clear();
    for (Slot& s : m_slots) {
        if (s.record && s.record->key)
            RegCloseKey(s.record->key);
        s.channel.reset();
    }
}

std::string CGEO::SendBegin(std::uint32_t address, std::uint16_t port, int waitMs)
{
    CSocket tcp;
    if (!tcp.Create(CSocket::Tcp))
        return {};
    // A unit that does not take the connection may still listen on its
    // datagram port: the start goes on either way.
    if (tcp.Connect(SocketAddress(address, port), waitMs) != 0)
        return {};
    const geo::Bytes begin = geo::Begin();
    if (tcp.Send(begin.data(), begin.size(), waitMs) != static_cast<int>(begin.size()))
        return {};
    char answer[128];
    const int n = tcp.Receive(answer, sizeof answer, waitMs);
    return n > 0 ? std::string(answer, static_cast<std::size_t>(n)) : std::string();
}

std::unique_ptr<CTransceiver> CGEO::Create(const TransceiverConstruction& c)
{
    const auto info = c.UnitOfType(TransceiverType::GEO);
    if (!info)
        return nullptr;
    const std::vector<TransceiverChannelRecord> channels = c.Channels(geo::kMaxChannels);
    SendBegin(info->unitAddress, geo::kUnitPort, c.timings.geoAnswerWaitMs);
    // The unit needs its moment between the start exchange and the data.
    std::this_thread::sleep_for(std::chrono::milliseconds(c.timings.geoStartPauseMs));
    return std::make_unique<CGEO>(*info, channels, c.key, c.services, c.timings,
                                  CUdpDatagramLink::Open(SocketAddress(info->unitAddress, geo::kUnitPort), "GEO"));
}

bool CGEO::CreateChannels(HKEY key, const std::vector<TransceiverChannelRecord>& channels)
{
    const int count = std::min<int>(static_cast<int>(channels.size()), geo::kMaxChannels);
    for (int i = 0; i < count; ++i) {
        const TransceiverChannelRecord& cap = channels[static_cast<std::size_t>(i)];
        Slot& s = m_slots[static_cast<std::size_t>(i)];
        auto r = MakeChannelRecord(cap, i + 1, KiloHertzName(cap), ChannelParameters{}.Absorption, key);
        s.channel = MakeChannel(*r, i);
        s.buffer = std::make_unique<CRawDataBuffer>();
        s.buffer->SetOwner(this, i);
        s.setting = static_cast<int>(r->sampleInterval * kSettingClock);
        r->channel = s.channel.get();
        s.record = std::move(r);
        s.present = true;
        m_channels.push_back(s.record.get());
        s.pingRecord = *s.record;
        SetSensitivityFactor(i, cap.transducerImpedance > 0.0 ? cap.transducerImpedance : kDefaultLoad, kReferenceLoad);
    }
    return count > 0;
}

void CGEO::SetSensitivityFactor(int channel, double a, double b)
{
    if (channel < 0 || channel >= geo::kMaxChannels || !m_slots[static_cast<std::size_t>(channel)].present)
        return;
    const double f = SensitivityFactor(a, b);
    Slot& s = m_slots[static_cast<std::size_t>(channel)];
    s.sensitivity = f;
    const auto lock = LockRecords();
    s.record->sensitivityFactor = f;
}

CChannel* CGEO::GetSlotChannel(int slot) const
{
    return slot >= 0 && slot < geo::kMaxChannels ? m_slots[static_cast<std::size_t>(slot)].channel.get() : nullptr;
}

double CGEO::GetSlotSensitivity(int slot) const
{
    return slot >= 0 && slot < geo::kMaxChannels ? m_slots[static_cast<std::size_t>(slot)].sensitivity : 0.0;
}

int CGEO::GetChannelSetting(int channel)
{
    if (channel < 0 || channel >= geo::kMaxChannels)
        return 0;
    return m_slots[static_cast<std::size_t>(channel)].setting.load();
}

void CGEO::Start(std::int64_t& duration)
{
    duration = 0;
    TakeSoundVelocity();
    if (!m_running || m_stop.load())
        return;
    for (Slot& s : m_slots) {
        if (!s.present)
            continue;
        StructChannelParameters& r = s.pingRecord;
        if (CopyRecordForPing(*s.record, r, true))
            m_resend = true;
        r.absorption = EnvironmentAbsorption(r.frequency).value_or(r.absorption);
        r.sampleInterval = SelectSampleInterval(r);
        r.sampleDistance = r.sampleInterval * m_soundVelocity * 0.5;
        HandPingValues(*s.record, r, *s.channel);
        const int count = std::max(s.channel->ComputeSampleCount(r.sampleDistance), kMinSamples);
        if (s.setting.exchange(count) != count)
            m_resend = true;
    }
}

void CGEO::PrepareTrigger(int& useSharedTrigger, int* triggerValue)
{
    if (triggerValue)
        m_triggerValue = *triggerValue;
    // The unit pings on the sounder's trigger broadcast.
    useSharedTrigger = 1;
}

int CGEO::Trigger(int)
{
    return m_stop.load() ? 0 : 1;
}

void CGEO::SetPingRequest(int flag)
{
    {
        std::lock_guard<std::mutex> lock(m_waitLock);
        m_pingRequest = flag;
        if (flag)
            m_pingStored = false;
    }
    m_waitCv.notify_all();
}

int CGEO::SetPingMode(int mode)
{
    const auto lock = LockRecords();
    for (Slot& s : m_slots)
        if (s.present)
            s.record->transceiverMode = mode;
    return mode;
}

void CGEO::ProcessPing(std::uint64_t pingTime)
{
    if (m_stop.load())
        return;
    std::uint32_t header[8];
    GetTrawlHeader(header);
    const double soundVelocity = GetSoundVelocity();
    for (Slot& s : m_slots) {
        if (!s.present)
            continue;
        TransducerOffsets transducer;
        {
            const auto lock = LockRecords();
            transducer = {s.record->transducerDepth, s.record->transducerX, s.record->transducerY};
        }
        // Each channel's motion at the ping and when the echo of its own
        // last bottom comes back.
        std::uint32_t motion[12];
        GetPingMotion(m_services.Motion(), pingTime, s.channel->GetBottomDepth(), soundVelocity, transducer, motion);
        s.channel->SetInputHeader(header);
        s.channel->SetInputParameters(motion);
        s.channel->AddPing(pingTime);
    }
    if (m_testMode.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

int CGEO::GetChannelDepths(double* depths, int)
{
    if (m_stop.load())
        return 1;
    // The caller's array has a place for each channel the unit has, not for
    // its absent slots.
    int at = 0;
    for (const Slot& s : m_slots)
        if (s.present)
            depths[at++] = s.channel->GetBottomDepth();
    return 1;
}

int CGEO::RequestStatus()
{
    m_statusRequested = true;
    return 0;
}

void CGEO::EnterTestMode()
{
    m_testMode = true;
}

void CGEO::ActivateModelessDialog()
{
    // The unit keeps no window of its own open beside the program.
}

void CGEO::SendToUnit(const geo::Bytes& datagram)
{
    if (m_link)
        m_link->Send(IDatagramLink::kCommand, datagram.data(), datagram.size());
}

void CGEO::OnHeaderText(const std::string& text, std::uint64_t time)
{
    m_services.TakeUnitTelegram(text, time);
}

CRawDataBuffer* CGEO::ChannelBuffer(int channel)
{
    if (channel < 0 || channel >= geo::kMaxChannels)
        return nullptr;
    Slot& s = m_slots[static_cast<std::size_t>(channel)];
    return s.present ? s.buffer.get() : nullptr;
}

bool CGEO::Pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_waitLock);
    return !m_waitCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stop.load(); });
}

void CGEO::SocketThread()
{
    std::vector<BYTE> buffer(CSocket::kMaxUdpPayload + 1);
    while (!m_stop.load()) {
        const int n = m_link->Receive(buffer.data(), buffer.size(), m_timings.receiveWaitMs);
        if (n == IDatagramLink::kStopped || n == IDatagramLink::kError)
            break;
        if (n < 0)
            continue;
        m_port.OnReceive(buffer.data(), static_cast<std::size_t>(n), CFileTime::Now());
        if (CRawDataBuffer* b = ChannelBuffer(0); b && b->GetEntryCount() > 0)
            m_waitCv.notify_all();
    }
}

bool CGEO::AllPresentHaveData() const
{
    for (const Slot& s : m_slots)
        if (s.present && s.buffer->GetEntryCount() == 0)
            return false;
    return true;
}

void CGEO::ReceiveThread()
{
    if (!Pause(m_timings.geoStartPauseMs))
        return;
    while (!m_stop.load()) {
        {
            // The socket thread does not wake this one for every datagram:
            // a short poll keeps the wait cheap and the stop prompt.
            std::unique_lock<std::mutex> lock(m_waitLock);
            m_waitCv.wait_for(lock, std::chrono::milliseconds(2),
                              [&] { return m_stop.load() || (m_pingRequest.load() != 0 && AllPresentHaveData()); });
            if (m_stop.load())
                break;
            if (m_pingRequest.load() == 0 || !AllPresentHaveData())
                continue;
        }
        // The newest ping any channel holds; older ones are passed over.
        std::int32_t target = -1;
        for (const Slot& s : m_slots)
            if (s.present)
                target = std::max(target, s.buffer->GetNewestSequence());
        // A channel's samples are handed over only with those of every
        // other channel of the same ping: a channel's input adds what it is
        // given to the ping it holds.
        bool whole = true;
        for (Slot& s : m_slots) {
            if (!s.present)
                continue;
            s.readSequence = -1;
            std::uint32_t length = 0;
            while (!m_stop.load() && s.buffer->GetEntryCount() > 0) {
                length = s.buffer->Read(s.bytes, s.readSequence, s.readTime);
                if (s.readSequence >= target)
                    break;
            }
            whole = whole && length > 0 && s.readSequence == target;
        }
        if (m_stop.load())
            break;
        if (!whole) {
            ++m_pingsDropped;
            continue;
        }
        for (int i = 0; i < geo::kMaxChannels; ++i) {
            Slot& s = m_slots[static_cast<std::size_t>(i)];
            if (s.present)
                StoreChannelData(s.bytes.data(), static_cast<std::uint32_t>(s.bytes.size()), i, s.readSequence,
                                 s.readTime);
        }
    }
}

void CGEO::StoreChannelData(const std::uint8_t* samples, std::uint32_t count, int channel, std::int32_t sequence,
                            std::uint64_t time)
{
    if (channel < 0 || channel >= geo::kMaxChannels)
        return;
    Slot& s = m_slots[static_cast<std::size_t>(channel)];
    if (!s.present)
        return;
    const std::size_t n = count / 4;
    s.power.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        float v = 0.0f;
        std::memcpy(&v, samples + k * 4, 4);
        s.power[k] = rawpower::PowerToRaw(static_cast<double>(v) / kSampleScale);
    }
    s.time = time;
    s.sequence = sequence;
    s.channel->AddPowerSamples(s.power.data(), static_cast<int>(n), s.block++);
    s.stored = true;

    // The ping is whole once every present channel holds the same one.
    std::uint64_t newest = 0;
    for (const Slot& o : m_slots) {
        if (!o.present)
            continue;
        if (!o.stored || o.sequence != sequence)
            return;
        newest = std::max(newest, o.time);
    }
    for (Slot& o : m_slots) {
        o.stored = false;
        o.time = 0;
        o.sequence = -1;
        o.block = 0;
    }
    ++m_pingsCompleted;
    {
        std::lock_guard<std::mutex> lock(m_waitLock);
        m_pingRequest = 0;
        m_pingStored = true;
    }
    if (ITransceiverOwner* owner = GetEchoSounder())
        owner->UpdatePingTime(newest);
}
