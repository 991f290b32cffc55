#include "transceivers/QY42.h"

#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "engine/RawPower.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/Paths.h"
#include "sensors/AnalogMotionInput.h"
#include "sensors/ThermistorInput.h"
#include "sensors/TrawlSource.h"
#include "transceivers/HardwareStatusSink.h"
#include "transceivers/PingMotion.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverServices.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/UdpDatagramLink.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string_view>

namespace {

constexpr double kClock = 2000000.0;  // the unit's sample clock, Hz

std::string Format(const char* format, auto... args)
{
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

DWORD RandomToken()
{
    static std::mt19937 gen(static_cast<std::uint32_t>(CFileTime::Now()));
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    return static_cast<DWORD>(gen());
}

// Halves away from zero.
int SaturatedInt(double x)
{
    if (std::isnan(x))
        return 0;
    return static_cast<int>(std::clamp(x, static_cast<double>(std::numeric_limits<int>::min()),
                                       static_cast<double>(std::numeric_limits<int>::max())));
}

long long RoundHalfAway(double x)
{
    return static_cast<long long>(std::llround(x));
}

}  // namespace

CQY42::CQY42(const InstalledTransceiverInfo& info, const std::optional<TransceiverChannelRecord>& channel, HKEY key,
             ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link)
    : CTransceiver(services),
      m_info(info),
      m_capability(channel),
      m_services(services),
      m_timings(timings),
      m_link(std::move(link))
{
    if (info.type != TransceiverType::QY42)
        m_link.reset();  // a unit of another type is never spoken to
    if (!m_link)
        return;
    m_ring = std::make_unique<CSampleRingBuffer>(1, CSampleRingBuffer::kDefaultReaderMargin, m_timings.ringSamples);
    m_ring->SetLostSamplesHandler([&services] { services.OnLostSamples(); });
    m_receiveThread = std::thread([this] { ReceiveSamples(); });

    const std::uint32_t a = info.unitAddress;
    m_waitText = Format("%s %d.%d.%d.%d", "Wait for response from", static_cast<int>(a >> 24 & 0xFF),
                        static_cast<int>(a >> 16 & 0xFF), static_cast<int>(a >> 8 & 0xFF), static_cast<int>(a & 0xFF));
    if (SendVersionRequest(RandomToken()) && !m_versionAnswered.load()) {
        if (!WaitForUnit())
            return;
    }
    if (m_refused.load())
        return;
    if (!CreateChannels(key))
        return;
    m_dataThread = std::thread([this] { DataThreadLoop(); });
    m_running = true;
}

CQY42::~CQY42()
{
    // Wake every wait first, then join, and only then let the link go: the
    // threads were waiting on it, and a close alone does not wake a wait.
    m_stop = true;
    if (m_link)
        m_link->Stop();
    m_waitCv.notify_all();
    if (m_dataThread.joinable())
        m_dataThread.join();
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    if (m_link && m_ready.load() && !m_refused.load())
        m_link->Send(IDatagramLink::kParting, qy42::Halt().data(), qy42::Halt().size());
    m_link.reset();
    m_channels.clear();
    m_channel.reset();
}

std::unique_ptr<CTransceiver> CQY42::Create(const TransceiverConstruction& c)
{
    const auto info = c.UnitOfType(TransceiverType::QY42);
    if (!info)
        return nullptr;
    return std::make_unique<CQY42>(*info, c.installation.GetTransceiverChannel(c.index, 0), c.key, c.services,
                                   c.timings,
                                   CUdpDatagramLink::Open(SocketAddress(info->unitAddress, qy42::kUnitPort), "QY42"));
}

bool CQY42::SendCommand(const qy42::Bytes& t)
{
    if (m_refused.load() || !m_link)
        return false;
    return m_link->Send(IDatagramLink::kCommand, t.data(), t.size());
}

bool CQY42::SendData(const qy42::Bytes& t)
{
    if (m_refused.load() || !m_link)
        return false;
    return m_link->Send(IDatagramLink::kData, t.data(), t.size());
}

bool CQY42::SendVersionRequest(DWORD token)
{
    return SendCommand(qy42::VersionRequest(token));
}

bool CQY42::Pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_waitLock);
    return !m_waitCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stop.load(); });
}

bool CQY42::WaitForUnit()
{
    auto done = [this] { return m_versionAnswered.load() || m_refused.load() || m_stop.load(); };
    m_waiting = true;
    std::optional<bool> answered = m_services.WaitForUnit(m_waitText, done);
    if (!answered) {
        std::unique_lock<std::mutex> lock(m_waitLock);
        answered = m_waitCv.wait_for(lock, std::chrono::milliseconds(m_timings.unitWaitMs), done);
    }
    m_waiting = false;
    return *answered && m_versionAnswered.load() && !m_stop.load();
}

void CQY42::TakeEnvironment(StructChannelParameters& r)
{
    // A value the environment cannot give (none yet, or not a number) keeps
    // the last good one: a sample distance of 0 would stall the channel.
    TakeSoundVelocity();
    r.absorption = EnvironmentAbsorption(r.frequency).value_or(r.absorption);
}

bool CQY42::CreateChannels(HKEY key)
{
    if (!m_capability)
        return false;
    const TransceiverChannelRecord& cap = *m_capability;
    TakeSoundVelocity();
    auto r = MakeChannelRecord(cap, 1, KiloHertzName(cap),
                               EnvironmentAbsorption(cap.frequency).value_or(ChannelParameters{}.Absorption), key);
    r->sampleIntervalCount = static_cast<int>(RoundHalfAway(r->sampleInterval * kClock));
    m_channel = MakeChannel(*r, 0);
    m_sensitivityFactor =
        SensitivityFactor(cap.transducerImpedance > 0.0 ? cap.transducerImpedance : kDefaultLoad, kReferenceLoad);
    r->sensitivityFactor = m_sensitivityFactor;
    r->channel = m_channel.get();
    // Only a unit with a channel turns pings into power.
    m_powerWords.resize(kMaxPingSamples);
    m_power.resize(kMaxPingSamples);
    m_record = std::move(r);
    m_channels.push_back(m_record.get());
    m_pingRecord = *m_record;
    return true;
}

CQY42::Decimation CQY42::ComputeDecimation(double pulseLength, int ticks)
{
    Decimation d;
    d.ticks = ticks;
    // A clock count of 0 (a damaged record) would divide by zero: the unit's
    // own rate is then taken as one sample per clock period.
    const int perSecond = ticks > 0 ? static_cast<int>(kClock) / ticks : 0;
    d.factor = std::max(perSecond, 1);
    // Stored pulse lengths are checked when read; a value that still comes
    // here out of range (a unit's record) saturates instead of overflowing.
    d.total = SaturatedInt(pulseLength * 500000.0);
    d.des1 = std::max(SaturatedInt(0.25 * pulseLength * d.factor), 1);
    d.des2 = perSecond > 0 ? std::max(d.factor / perSecond, 1) : 1;
    d.des3 = ticks > 0 ? std::max(d.total / ticks, 1) : 1;
    return d;
}

void CQY42::LogDecimation()
{
    const int ticks = m_record ? m_pingRecord.sampleIntervalCount : 0;
    const Decimation d = ComputeDecimation(m_record ? m_pingRecord.pulseLength : 0.0, ticks);
    m_sampleRateFactor = m_record ? d.factor : 1;
    m_des1 = d.des1;
    m_des2 = d.des2;
    m_des3 = d.des3;
    std::lock_guard<std::mutex> lock(m_textLock);
    m_decimationLog =
        Format("Decimation  ch %i: Total %i Des1 %i Des2 %i Des3 %i Fpa %i", 1, d.total, d.des1, d.des2, d.des3, ticks);
}

qy42::TransmitSettings CQY42::ComputeTransmit(double frequency, double pulseLength, double fmPulseLength, bool fm,
                                              double power, bool passive, float& transmitFrequency)
{
    const long long n = frequency > 0.0 ? std::max(RoundHalfAway(4000000.0 / frequency), 1LL) : 1LL;
    double tf = 4000000.0 / static_cast<double>(n);
    if (tf == 500000.0)
        tf = fm ? 482000.0 : 497000.0;
    const double pulse = fm ? fmPulseLength : pulseLength;
    const double effective = static_cast<double>(RoundHalfAway(pulse * tf)) / tf;
    qy42::TransmitSettings s;
    s.amplitude = passive ? 0.0f : static_cast<float>(std::sqrt(std::max(power, 0.0) / 50.0));
    s.effectivePulseLength = static_cast<float>(effective);
    if (fm && pulse > 0.0 && effective > 0.0) {
        s.frequencyValue = static_cast<float>(tf - 0.5 / pulse);
        s.sweepValue = static_cast<float>((1.0 / pulse) / effective);
    } else {
        s.frequencyValue = static_cast<float>(tf);
        s.sweepValue = 0.0f;
    }
    transmitFrequency = static_cast<float>(tf);
    return s;
}

void CQY42::ConfigureTransmit()
{
    m_setupFlag = false;
    if (!m_record)
        return;
    const StructChannelParameters& r = m_pingRecord;
    float tf = 0.0f;
    qy42::TransmitSettings s = ComputeTransmit(r.frequency, r.pulseLength, r.fmPulseLength, r.fmPulse != 0, r.txPower,
                                               r.transceiverMode == kPassive, tf);
    s.channel = 0;
    SendData(qy42::TransmitParameters(s));
    Pause(m_timings.transmitDelayMs);
    SendData(qy42::PulseConfigure(static_cast<float>(r.gain), s.effectivePulseLength));
    m_ring->ModifyPingRecord(m_ring->GetWriteSlot(), [](CSampleRingBuffer::PingRecord& p) { p.firstBlockPending = 1; });
}

void CQY42::Start(std::int64_t& duration)
{
    const bool running = m_ready.load() && !m_stop.load() && m_ring;
    // The channel's values for this ping. Changed ones (a confirmed dialog,
    // a new sounder) ask for a new transmit set-up, as the unit's "HC" does;
    // a unit that cannot take it yet keeps the mark for a later ping.
    if (m_record && CopyRecordForPing(*m_record, m_pingRecord, running))
        m_setupFlag = true;
    if (m_setupFlag.load())
        LogDecimation();
    duration = 10000000;
    if (!running)
        return;
    double period = 1.0;
    DWORD requested = 100;
    m_ring->SetPingHeader(0, static_cast<DWORD>(m_des1.load()), static_cast<DWORD>(m_des2.load()),
                          static_cast<DWORD>(m_des3.load()));
    if (m_record && m_channel) {
        StructChannelParameters& r = m_pingRecord;
        TakeEnvironment(r);
        const int mode = m_pingMode.load();
        r.sampleInterval = (mode == 5 || mode == 8) ? r.sampleIntervalCount / kClock : SelectSampleInterval(r);
        r.sampleDistance = m_soundVelocity * r.sampleInterval * 0.5;
        // The channel takes the values of this ping with the ping.
        HandPingValues(*m_record, r, *m_channel);
        // The period starts at a second and comes down to the channel's
        // sample interval, never up.
        if (r.sampleInterval > 0.0 && period > r.sampleInterval)
            period = r.sampleInterval;
        const int count = m_channel->ComputeSampleCount(r.sampleDistance);
        requested = std::max<DWORD>(requested, static_cast<DWORD>(std::max(m_des2.load(), 1)) *
                                                   static_cast<DWORD>(std::max(count, 0)));
        requested = std::min<DWORD>(requested, kMaxPingSamples / 2);
        m_filterType = r.filterType;
    }
    m_samplePeriod = period;
    m_ring->ModifyPingRecord(m_ring->GetWriteSlot(), [&](CSampleRingBuffer::PingRecord& p) {
        p.requested = p.receiving = 0;
        p.blocksProcessed = p.samplesReceived = p.samplesProcessed = 0;
        p.startSeen = p.triggerStatusSeen = 0;
        p.samplesRequested = requested;
    });
    if (m_setupFlag.load())
        ConfigureTransmit();
    m_ring->ModifyPingRecord(m_ring->GetWriteSlot(), [](CSampleRingBuffer::PingRecord& p) { p.requested = 1; });
    ++m_pingsStarted;
    // The ping cannot end before its last sample has come back.
    duration = static_cast<std::int64_t>(static_cast<double>(requested) * period * 1e7);
}

void CQY42::PrepareTrigger(int& useSharedTrigger, int* triggerValue)
{
    useSharedTrigger = 0;
}

int CQY42::Trigger(int kind)
{
    if (m_stop.load() || !m_ready.load() || !m_ring)
        return 0;
    const auto slot = m_ring->GetPingRecord(m_ring->GetWriteSlot());
    if (SendData(qy42::Trigger(kind != 0, slot.samplesRequested)))
        return 1;
    // The unit never heard of this ping: nothing of it will come.
    AbandonPingInFlight();
    return 0;
}

int CQY42::GetChannelDepths(double* depths, int)
{
    for (int i = 0; i < GetChannelCount(); ++i)
        depths[i] = GetChannelId(i) ? GetChannelId(i)->GetBottomDepth() : 0.0;
    return 1;
}

int CQY42::RequestStatus()
{
    m_statusRequested = true;
    if (!SendCommand(qy42::StatusRequest()))
        return 1;
    return SendVersionRequest(0) ? 0 : 1;
}

int CQY42::GetBufferedPings()
{
    if (!m_ring)
        return 0;
    int n = m_ring->GetWriteSlot() - m_ring->GetReadSlot();
    return n < 0 ? n + 10 : n;
}

bool CQY42::HasPingData()
{
    if (!m_ring)
        return false;
    const auto r = m_ring->GetPingRecord(m_ring->GetReadSlot());
    return r.requested != 0 || r.receiving != 0;
}

int CQY42::ConfigureInterface(int)
{
    return SendCommand(qy42::InterfaceConfigure(0)) ? 1 : 0;
}

bool CQY42::SetFilter(const FilterRecord& filter)
{
    if (filter.length < 0 || filter.length > kMaxFilterLength ||
        filter.real.size() < static_cast<std::size_t>(filter.length) ||
        filter.imaginary.size() < static_cast<std::size_t>(filter.length))
        return false;
    std::lock_guard<std::mutex> lock(m_filterLock);
    m_filter.length = filter.length;
    m_filter.divisor = filter.divisor == 0 ? 1 : filter.divisor;
    std::copy_n(filter.real.begin(), filter.length, m_filter.real.begin());
    std::copy_n(filter.imaginary.begin(), filter.length, m_filter.imaginary.begin());
    return true;
}

std::string CQY42::GetVersion() const
{
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_version;
}

std::string CQY42::GetDecimationLog() const
{
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_decimationLog;
}

std::string CQY42::GetInformationLog() const
{
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_informationLog;
}

// ---------------------------------------------------------------------------
// Data thread

void CQY42::DataThreadLoop()
{
    while (!m_stop.load()) {
        if (!m_ready.load())
            CheckLink();
        if (m_dataPending.load())
            CompletePing();
        Pause(1);
    }
}

void CQY42::CheckLink()
{
    if (m_programming.load()) {
        Pause(m_timings.stepDelayMs);
        return;
    }
    if (!m_ring || m_refused.load()) {
        Pause(m_timings.stepDelayMs);
        return;
    }
    m_ring->Reset();
    m_versionAnswered = false;
    m_syncSeen = false;
    m_receiveConfigured = false;
    if (!SendVersionRequest(RandomToken()) && !m_setupDone.load()) {
        Pause(m_timings.stepDelayMs);
        return;
    }
    if (m_setupDone.load() && !m_versionAnswered.load()) {
        if (!WaitForUnit()) {
            m_setupDone = false;
            return;
        }
    }
    SendCommand(qy42::Halt());
    if (!Pause(m_timings.stepDelayMs))
        return;
    if (!SendCommand(qy42::HaltClear()))
        return;
    if (!Pause(m_timings.stepDelayMs))
        return;
    if (!SendCommand(qy42::ReceiveConfigure()))
        return;
    if (!Pause(m_timings.setupDelayMs))
        return;
    SendCommand(qy42::SetupComplete());
    // Nothing of a ping from before the set-up will come any more.
    AbandonPingInFlight();
    m_ready = true;
}

namespace {

double PowerAt(const CSampleRingBuffer& ring, int filterType, long long at, int des2, const CQY42::FilterRecord& f)
{
    float i = 0.0f, q = 0.0f;
    if (filterType >= 2 && filterType <= 4 && f.length > 0) {
        // Complex multiply-accumulate, one coefficient per Des2 samples back.
        double sr = 0.0, si = 0.0;
        const double div = f.divisor != 0 ? f.divisor : 1;
        for (int c = 0; c < f.length; ++c) {
            ring.ReadSample(&q, &i, nullptr, ring.WrapIndex(at - static_cast<long long>(c) * des2), 0);
            const double cr = f.real[static_cast<std::size_t>(c)] / div;
            const double ci = f.imaginary[static_cast<std::size_t>(c)] / div;
            sr += i * cr - q * ci;
            si += i * ci + q * cr;
        }
        return sr * sr + si * si;
    }
    if (filterType == 5) {
        double sum = 0.0;
        for (int k = 0; k < des2; ++k) {
            ring.ReadSample(&q, &i, nullptr, ring.WrapIndex(at - k), 0);
            sum += static_cast<double>(i) * i + static_cast<double>(q) * q;
        }
        return sum;
    }
    ring.ReadSample(&q, &i, nullptr, ring.WrapIndex(at), 0);
    return (static_cast<double>(i) * i + static_cast<double>(q) * q) * 0.125;
}

}  // namespace

int CQY42::ConvertSamples(const CSampleRingBuffer& ring, int index, int count, long long offset, int filterType,
                          int des2, const FilterRecord& filter, double* power, std::int16_t* words)
{
    des2 = std::max(des2, 1);
    const int step = filterType >= 2 && filterType <= 5 ? des2 : 1;
    int out = 0;
    for (int k = 0; k < count; ++k) {
        if ((offset + k) % step != 0)
            continue;
        const double p = PowerAt(ring, filterType, static_cast<long long>(index) + k, des2, filter);
        power[out] = p;
        words[out] = rawpower::PowerToRaw(p);
        ++out;
    }
    return out;
}

void CQY42::CompletePing()
{
    if (!m_ring || !m_channel)
        return;
    const int slot = m_ring->GetReadSlot();
    auto r = m_ring->GetPingRecord(slot);
    const DWORD arrived = std::min(r.samplesReceived, r.samplesRequested);
    if (arrived < r.samplesProcessed + 1)
        return;
    if (r.receiving == 0) {
        m_ring->SetReadIndex(static_cast<int>(r.startIndex));
        m_listed = 0;
        m_blockNumber = 0;
        m_ring->ModifyPingRecord(slot, [](CSampleRingBuffer::PingRecord& p) {
            p.receiving = 1;
            p.requested = 0;
        });
        if (r.startTime > m_lastStartTime) {
            m_lastStartTime = r.startTime;
            m_pingStartTime = r.startTime;
        }
    }
    const int des2 = static_cast<int>(std::max<DWORD>(m_ring->GetPingHeader2(0), 1));
    const int filterType = m_filterType.load();
    const int count = static_cast<int>(std::min<DWORD>(arrived - r.samplesProcessed, kMaxPingSamples));
    const int readIndex = m_ring->GetReadIndex();
    int out = 0;
    for (int k = 0; k < count && m_listed < kMaxListedSamples; ++k) {
        float i = 0.0f, q = 0.0f;
        m_ring->ReadSample(&q, &i, nullptr, m_ring->WrapIndex(static_cast<long long>(readIndex) + k), 0);
        if (i != 0.0f && q != 0.0f)
            ++m_listed;
    }
    {
        std::lock_guard<std::mutex> lock(m_filterLock);
        out = ConvertSamples(*m_ring, readIndex, count, r.samplesProcessed, filterType, des2, m_filter, m_power.data(),
                             m_powerWords.data());
    }
    m_ring->SetReadIndex(readIndex + count);
    m_channel->AddPowerSamples(m_powerWords.data(), out, m_blockNumber++);
    bool complete = false;
    m_ring->ModifyPingRecord(slot, [&](CSampleRingBuffer::PingRecord& p) {
        ++p.blocksProcessed;
        p.samplesProcessed += static_cast<DWORD>(count);
        complete = p.samplesProcessed >= p.samplesRequested;
        if (complete)
            p.receiving = 0;
    });
    if (!complete)
        return;
    m_ring->SetReadSlot(slot + 1);
    m_dataPending = 0;
    ++m_pingsCompleted;
    if (ITransceiverOwner* owner = GetEchoSounder()) {
        const std::uint64_t start = m_pingStartTime.load();
        owner->UpdatePingTime(start != 0 ? start : CFileTime::Now());
    }
}

void CQY42::ProcessPing(std::uint64_t pingTime)
{
    if (m_stop.load() || !m_channel)
        return;
    std::uint32_t header[8];
    GetTrawlHeader(header);
    TransducerOffsets transducer;
    if (m_record) {
        const auto lock = LockRecords();
        transducer = {m_record->transducerDepth, m_record->transducerX, m_record->transducerY};
    }
    // The motion at the ping and when its echo comes back, as far as the
    // channel's last bottom tells.
    std::uint32_t motion[12];
    GetPingMotion(m_services.Motion(), pingTime, m_channel->GetBottomDepth(), GetSoundVelocity(), transducer, motion);
    m_channel->SetInputHeader(header);
    m_channel->SetInputParameters(motion);
    m_channel->AddPing(pingTime);
}

// ---------------------------------------------------------------------------
// Receive thread

void CQY42::CountTimeout()
{
    // Silence counts only while a ping is on its way: a finished slot's
    // flags stay set until the next ping starts over, and an idle unit (in
    // single-step mode, say) has not lost anything.
    if (!PingInFlight())
        return;
    const auto slot = m_ring->GetPingRecord(m_ring->GetWriteSlot());
    ++m_timeouts;
    if (m_timeouts == 9) {
        // Stands in for the datagrams the unit never sent, so the ping ends.
        std::vector<BYTE> placeholder(kPlaceholderSize, 0);
        if (m_ring->WriteSamples(placeholder.data(), placeholder.size()) == CSampleRingBuffer::kPingComplete)
            ++m_pingsInRing;
        ++m_placeholders;
    }
    if (m_timeouts > 10) {
        if (!m_timings.timeoutLogPath.empty()) {
            if (FILE* f = std::fopen(CPaths::InDataRoot(m_timings.timeoutLogPath).c_str(), "a")) {
                std::fprintf(f, "Sample requsted %i recived %i\n", static_cast<int>(slot.samplesRequested),
                             static_cast<int>(slot.samplesReceived));
                std::fclose(f);
            }
        }
        m_ready = false;
        AbandonPingInFlight();
        ++m_linkLosses;
        // The owner's trigger thread raises the alarm; the data thread sets
        // the unit up again once it answers.
        if (ITransceiverOwner* owner = GetEchoSounder())
            owner->SetLinkLost();
        m_timeouts = 0;
    }
}

void CQY42::ReceiveSamples()
{
    std::vector<BYTE> buffer(qy42::kMaxReceived + 1);
    m_lastSampleTick = CFileTime::MonotonicMs();
    while (!m_stop.load() && !m_refused.load()) {
        if (m_waiting.load())
            SendVersionRequest(RandomToken());
        const int n = m_link->Receive(buffer.data(), buffer.size(), m_timings.receiveWaitMs);
        if (!TakeReceived(n, buffer.data()))
            break;
    }
}

bool CQY42::TakeReceived(int result, const BYTE* data)
{
    if (result == IDatagramLink::kTimeout) {
        CountTimeout();
        return true;
    }
    // Only the unit speaks on this road; an oversized datagram is cut
    // and therefore not what it claims to be.
    if (result == IDatagramLink::kForeign)
        return true;
    if (result < 0)
        return false;
    if (static_cast<std::size_t>(result) > qy42::kMaxReceived)
        return true;
    HandleDatagram(data, static_cast<std::size_t>(result));
    return true;
}

// The unit's datagrams by their code. Each handler reads its own fields and
// refuses a datagram too short for them.
struct CQY42::DatagramRow
{
    std::string_view code;
    // Sample data: proof that the unit is alive, which every other datagram
    // is checked against for a silence.
    bool samples;
    void (CQY42::*handle)(const BYTE* data, std::size_t size);
};

const CQY42::DatagramRow* CQY42::FindDatagram(const std::string& code)
{
    static constexpr std::array<DatagramRow, 6> kRows = {{
        {"RSD#", true, &CQY42::HandleSamples},         // sample data
        {"ACI", false, &CQY42::HandleAuxiliaryInput},  // analog and event inputs
        {"INFO", false, &CQY42::HandleInformation},    // information message
        {"DCSA", false, &CQY42::HandleStatus},         // status answer
        {"VA", false, &CQY42::HandleVersionAnswer},    // version answer
        {"TSS#", false, &CQY42::HandleTriggerStatus},  // trigger status
    }};
    const auto row = std::find_if(kRows.begin(), kRows.end(), [&](const DatagramRow& r) { return r.code == code; });
    return row == kRows.end() ? nullptr : &*row;
}

void CQY42::HandleDatagram(const BYTE* data, std::size_t size)
{
    const DatagramRow* row = FindDatagram(qy42::CodeOf(data, size));
    if (!row || !row->samples) {
        if (CFileTime::MonotonicMs() - m_lastSampleTick > 1000) {
            CountTimeout();
            m_lastSampleTick = CFileTime::MonotonicMs();
        }
    }
    if (row)
        (this->*row->handle)(data, size);
}

void CQY42::HandleSamples(const BYTE* data, std::size_t size)
{
    int result = m_ring->WriteSamples(data, size);
    for (int tries = 0; result == CSampleRingBuffer::kOverrun && tries < 11 && !m_stop.load(); ++tries) {
        Pause(m_timings.ringRetryMs);
        result = m_ring->WriteSamples(data, size);
    }
    if (result == CSampleRingBuffer::kPingComplete)
        ++m_pingsInRing;
    m_lastSampleTick = CFileTime::MonotonicMs();
    m_timeouts = 0;
}

void CQY42::HandleTriggerStatus(const BYTE*, std::size_t)
{
    m_ring->ModifyPingRecord(m_ring->GetWriteSlot(), [](CSampleRingBuffer::PingRecord& p) { p.triggerStatusSeen = 1; });
    m_ring->NextPing();
}

void CQY42::HandleStatus(const BYTE* data, std::size_t size)
{
    m_statusRequested = false;
    m_services.HardwareStatus().ShowStatus(data, size);
}

void CQY42::HandleVersionAnswer(const BYTE* data, std::size_t size)
{
    const auto a = qy42::ReadVersionAnswer(data, size);
    if (!a)
        return;
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_version = a->version;
    }
    if (a->refused) {
        // A unit that refuses is never used again: nothing more is sent to
        // it and the receive thread ends; the link closes after the join.
        // The beep comes first: whoever waits for the refusal may go on
        // as soon as it is marked.
        if (!m_refused.load())
            m_services.Beep(1000, 2000);
        m_refused = true;
        m_ready = false;
    } else {
        m_versionAnswered = true;
    }
    m_waitCv.notify_all();
    m_services.HardwareStatus().FormatStatus(data, size);
}

namespace {

// A motion voltage in hundredths of a volt, truncated; a value outside the
// 16 bits (or not a number) is cut to them.
std::int16_t Hundredths(float volts)
{
    const double v = std::isfinite(volts) ? static_cast<double>(volts) * 100.0 : 0.0;
    return static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
}

}  // namespace

void CQY42::HandleAuxiliaryInput(const BYTE* data, std::size_t size)
{
    // "ACI": 8 sample number, 12 flags (bit 1 the event input), 16/20/24
    // the motion sensor's voltages, 28 the thermistor's resistance (ohms).
    const auto a = qy42::ReadAuxiliaryInput(data, size);
    if (!a)
        return;
    // The sample number counts from the ping's transmit instant, so the
    // motion belongs to the ping start plus that offset.
    const double offset = static_cast<double>(a->sampleNumber) * m_samplePeriod.load() * 1e7;
    const int slot = m_ring->GetWriteSlot();
    std::uint64_t start = m_ring->GetPingRecord(slot).startTime;
    if (start == 0)  // between pings: the one that just ended
        start = m_ring->GetPingRecord(slot - 1).startTime;
    if (start != 0 && std::isfinite(offset) && offset >= 0.0) {
        const std::uint64_t time = start + static_cast<std::uint64_t>(offset);
        m_lastMotionTime = time;
        // Before the first ping there is no time to give the voltages.
        const AnalogMotionSample sample{time, Hundredths(a->motion[0]), Hundredths(a->motion[1]),
                                        Hundredths(a->motion[2])};
        m_services.AnalogMotion().AddAnalogSamples(m_info.transceiverId, &sample, 1);
    }
    m_services.Thermistor().SetResistance(m_info.transceiverId, a->thermistorOhms);
    // The operator's event key on the unit: one numbered event per press.
    const bool closed = (a->flags & 0x02) != 0;
    if (m_eventInput.exchange(closed) != closed && closed)
        ::PostMessage(::GetMainWindow(), WM_COMMAND, ID_EVENT_ANNOTATION, 0);
    ++m_auxiliaryInputs;
}

void CQY42::HandleInformation(const BYTE* data, std::size_t size)
{
    const auto read = qy42::ReadInformation(data, size);
    if (!read)
        return;
    const qy42::Information& info = *read;
    if (!m_ready.load() && (info.type == 3 || info.type == 4))
        m_timeouts = 0;
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_informationLog += Format("QY42 INFORMATION MESSAGES: \r\n\tLength: %i \r\n\tID: %s \r\n\tType: %u "
                                   "\r\n\tNumber: %u \r\n\tText: %s  \r\n\r\n",
                                   static_cast<int>(size), "INFO", info.type, info.number, info.text.c_str());
        // The log is for the operator; it must not grow without end.
        if (m_informationLog.size() > 65536)
            m_informationLog.erase(0, m_informationLog.size() - 65536);
    }
    const std::string& t = info.text;
    if (t == "Programming succeeded.")
        m_programming = false;
    if (t == "HC") {
        m_setupState = 1;
        m_setupFlag = true;
    } else if (t == "HD") {
        // A halt seen in the log.
        m_setupState = 0;
        {
            std::lock_guard<std::mutex> lock(m_textLock);
            m_informationLog.clear();
        }
        m_ready = false;
    } else if (t == "RC#" && info.type == 4) {
        if (m_setupState.load() == 1)
            m_setupState = 3;
        m_receiveConfigured = true;
    } else if (info.type == 3 && t.size() == 13 && t.compare(0, 2, "rx") == 0 && t.compare(3, 10, "filter.txt") == 0 &&
               t[2] >= '0' && t[2] <= '3') {
        m_setupState = m_setupState.load() | (4 << (t[2] - '0'));
    } else if (t == "SYNC" && info.type == 4) {
        m_syncSeen = true;
        if (m_setupState.load() == 63)
            m_setupState = 127;
    } else if (t == "TC" && info.type == 4) {
        if (m_setupState.load() == 127)
            m_setupState = kSetupComplete;
        if (m_setupState.load() == kSetupComplete) {
            // The data-pending flag is left alone: a set-up does not take a
            // completed ping from the channel, only the engine does.
            // Only a unit that becomes ready here has nothing on its way;
            // after CheckLink the answer may come when a ping has started.
            if (!m_ready.load())
                AbandonPingInFlight();
            m_ready = true;
            m_setupDone = true;
        }
    }
    m_waitCv.notify_all();
}
