#include "transceivers/NVU.h"

#include "base/AppIds.h"
#include "base/EchosounderError.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "engine/RawPower.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/NetworkAdapters.h"
#include "platform/Paths.h"
#include "sensors/AnalogMotionInput.h"
#include "sensors/ThermistorInput.h"
#include "transceivers/HardwareStatusSink.h"
#include "transceivers/NvuCorrelation.h"
#include "transceivers/NvuDiagnosticReport.h"
#include "transceivers/PingMotion.h"
#include "transceivers/QY42Telegrams.h"
#include "transceivers/Tftp.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverServices.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/UdpDatagramLink.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr double kClock = 2000000.0;  // the unit's front-end clock, Hz
constexpr UINT kEventAnnotation = app::cmd::EVENT_ANNOTATION;

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

int Trunc(double x)
{
    if (!std::isfinite(x))
        return 0;
    return static_cast<int>(std::clamp(x, -2147483648.0, 2147483647.0));
}

std::int16_t Hundredths(float volts)
{
    const double v = std::isfinite(volts) ? static_cast<double>(volts) * 100.0 : 0.0;
    return static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
}

// The frequency a folder or file name is written with: the unit samples a
// 500 kHz channel at a rate of its own.
int NameFrequency(double frequency, bool fm)
{
    const int f = Trunc(frequency);
    return f == 500000 ? (fm ? 482000 : 497000) : f;
}

}  // namespace

CNVU::CNVU(const InstalledTransceiverInfo& info, const std::vector<TransceiverChannelRecord>& channels, HKEY key,
           ITransceiverServices& services, const UnitTimings& timings, std::unique_ptr<IDatagramLink> link)
    : CTransceiver(services), m_info(info), m_services(services), m_timings(timings), m_link(std::move(link))
{
    if (info.type != TransceiverType::NVU)
        m_link.reset();  // a unit of another type is never spoken to
    if (!m_link)
        return;
    m_ring = std::make_unique<CSampleRingBuffer>(kMaxChannels, CSampleRingBuffer::kDefaultReaderMargin,
                                                 m_timings.ringSamples);
    m_ring->SetLostSamplesHandler([&services] { services.OnLostSamples(); });
    m_receiveThread = std::thread([this] { ReceiveThread(); });

    const std::uint32_t a = info.unitAddress;
    m_waitText = Format("%s %d.%d.%d.%d", "Wait for response from", static_cast<int>(a >> 24 & 0xFF),
                        static_cast<int>(a >> 16 & 0xFF), static_cast<int>(a >> 8 & 0xFF), static_cast<int>(a & 0xFF));
    if (!Send(nvu::VersionRequest(RandomToken())))
        return;
    if (!m_answered.load() && !WaitForUnit())
        return;
    if (m_refused.load())
        return;
    CreateChannels(key, channels);
    if (m_channels.empty())
        return;
    m_processThread = std::thread([this] { ProcessThread(); });
    m_running = true;
}

CNVU::~CNVU()
{
    // The diagnostic window first: it reads nothing of ours from here on.
    if (m_diagnosticLink)
        m_diagnosticLink->Detach();
    m_stop = true;
    if (m_link)
        m_link->Stop();
    m_tftp.CancelTransfers();
    m_waitCv.notify_all();
    if (m_processThread.joinable())
        m_processThread.join();
    if (m_receiveThread.joinable())
        m_receiveThread.join();
    // After the receive thread, the only one that starts an upgrade.
    if (m_upgradeThread.joinable())
        m_upgradeThread.join();
    if (m_link && m_configured.load() && !m_refused.load())
        m_link->Send(IDatagramLink::kParting, nvu::Halt().data(), nvu::Halt().size());
    m_link.reset();
    m_channels.clear();
    for (Block& b : m_blocks) {
        b.channel.reset();
        b.record.reset();
    }
}

std::unique_ptr<CTransceiver> CNVU::Create(const TransceiverConstruction& c)
{
    const auto info = c.UnitOfType(TransceiverType::NVU);
    if (!info)
        return nullptr;
    const SocketAddress unit(info->unitAddress, static_cast<std::uint16_t>(c.timings.unitPort));
    // No adapter kept: the system's routing picks the way to the unit.
    bool bindFailed = false;
    std::unique_ptr<IDatagramLink> link = CUdpDatagramLink::Open(unit, "NVU", info->localPcIp, &bindFailed);
    if (bindFailed) {
        // The adapter the unit was found on is gone: find the one it
        // answers on now, and keep that for the next start.
        std::vector<std::string> adapters;
        for (const NetworkAdapter& a : CNetworkAdapters::List())
            if (a.address != 0)
                adapters.push_back(a.AddressText());
        const std::string found = ReceiveReply(adapters, unit, c.timings.adapterWaitMs);
        if (!found.empty()) {
            link = CUdpDatagramLink::Open(unit, "NVU", found);
            if (link)
                c.installation.SetLocalPcIp(c.index, found);
        }
    }
    // Without a road the unit stays an idle transceiver that never pings.
    return std::make_unique<CNVU>(*info, c.Channels(std::min(info->channelCount, kMaxChannels)), c.key, c.services,
                                  c.timings, std::move(link));
}

std::string CNVU::ReceiveReply(const std::vector<std::string>& adapters, const SocketAddress& unit, int waitMs)
{
    std::string result;
    std::vector<BYTE> buffer(qy42::kMaxReceived + 1);
    for (const std::string& adapter : adapters) {
        SocketAddress local;
        if (!SocketAddress::ParseIp(adapter, local.ip))
            continue;
        CSocket socket;
        if (!socket.Create(CSocket::Udp)) {
            MessageBox(0, Format("NVU UDP/IP socket failed (%d)", socket.LastError()), "NVU", MB_OK | MB_ICONERROR);
            continue;
        }
        if (!socket.SetReceiveBufferSize(32000000)) {
            MessageBox(0, Format("NVU UDP/IP socket option setting failed (%d)", socket.LastError()), "NVU",
                       MB_OK | MB_ICONERROR);
            continue;
        }
        // An adapter that cannot be bound cannot reach the unit either.
        if (!socket.Bind(local))
            continue;
        const nvu::Bytes request = nvu::VersionRequest(RandomToken());
        if (socket.SendTo(request.data(), request.size(), unit) != static_cast<int>(request.size())) {
            MessageBox(0, std::strerror(socket.LastError()), "NVU", MB_OK | MB_ICONERROR);
            continue;
        }
        for (;;) {
            SocketAddress from;
            const int n = socket.ReceiveFrom(buffer.data(), buffer.size(), &from, waitMs);
            if (n == CSocket::kTimeout)
                break;
            if (n < 0)
                ECHOSOUNDER_FATAL_ERROR("recvfrom() failed");
            // Only the unit's own answer tells that it is reached this way.
            if (from.ip == unit.ip && qy42::CodeOf(buffer.data(), static_cast<std::size_t>(n)) == "VA") {
                result = adapter;
                break;
            }
        }
    }
    return result;
}

bool CNVU::Send(const nvu::Bytes& d)
{
    if (m_refused.load() || !m_link)
        return false;
    return m_link->Send(IDatagramLink::kCommand, d.data(), d.size());
}

bool CNVU::Pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_waitLock);
    return !m_waitCv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stop.load(); });
}

bool CNVU::WaitForUnit()
{
    auto done = [this] { return m_answered.load() || m_refused.load() || m_stop.load(); };
    m_waiting = true;
    std::optional<bool> answered = m_services.WaitForUnit(m_waitText, done);
    if (!answered) {
        std::unique_lock<std::mutex> lock(m_waitLock);
        answered = m_waitCv.wait_for(lock, std::chrono::milliseconds(m_timings.unitWaitMs), done);
    }
    m_waiting = false;
    return *answered && m_answered.load() && !m_stop.load();
}

double CNVU::SystemImpedance(double z)
{
    if (!(z > 0.0))
        z = kDefaultImpedance;
    const double share = 2.0 * 1000.0 / (1000.0 + z);
    return z * share * share;
}

std::int16_t CNVU::PowerToWord(double power)
{
    if (!(power > 0.0))
        return -20000;
    const double v = std::round(10.0 * std::log10(power) * 85.0413592);
    return static_cast<std::int16_t>(std::clamp(v, -32768.0, 32767.0));
}

std::string CNVU::UploadFile(const std::string& folder, double frequency, bool fm, int channel)
{
    const int f = NameFrequency(frequency, fm);
    const std::string sub = fm ? Format("filter/FM/NVU_%i/", f) : Format("filter/NVU_%i/", f);
    return (fs::path(folder) / sub / Format("rx%xfilter.txt", channel & 0xF)).string();
}

int CNVU::DecimationFactor(double frequency, bool fm, const ReceiveChain& chain)
{
    // A ratio of chain values that is not a whole number of at least one
    // (a chain not given) leaves the factor as it is.
    auto ratio = [](double a, double b) { return b > 0.0 ? std::max(1, Trunc(a / b)) : 1; };
    const int f = Trunc(frequency);
    int k = 4;
    if (!fm && (f == 38000 || f == 15000))
        k = ratio(chain.value[2], chain.value[3]) * 4;
    if (fm)
        k *= ratio(chain.value[2], chain.value[1]);
    return k;
}

int CNVU::FrontEndDecimation(double frequency, bool fm, const ReceiveChain& chain)
{
    const int f = Trunc(frequency);
    return std::max(1, fm && (f == 38000 || f == 15000) ? chain.decimation2 : chain.decimation);
}

std::vector<int> CNVU::ParseSlaves(const std::string& text)
{
    std::vector<int> slaves;
    std::string word;
    auto take = [&] {
        if (word.size() == 1 && word[0] >= '1' && word[0] <= '4') {
            const int c = word[0] - '1';
            if (std::find(slaves.begin(), slaves.end(), c) == slaves.end())
                slaves.push_back(c);
        }
        word.clear();
    };
    for (char ch : text) {
        if (ch == ' ' || ch == ',' || ch == '\t' || ch == ';')
            take();
        else
            word += ch;
    }
    take();
    return slaves;
}

DWORD CNVU::PairingMask(const std::array<int, nvu::kMaxChannels>& masterOf)
{
    std::array<int, nvu::kMaxChannels> count{1, 1, 1, 1};
    for (int j = 0; j < nvu::kMaxChannels; ++j) {
        const int m = masterOf[static_cast<std::size_t>(j)];
        if (m >= 0 && m < nvu::kMaxChannels && m != j) {
            ++count[static_cast<std::size_t>(m)];
            ++count[static_cast<std::size_t>(j)];
        }
    }
    DWORD mask = 0;
    for (int i = 0; i < nvu::kMaxChannels; ++i)
        if (count[static_cast<std::size_t>(i)] == 2)
            mask |= 1u << i;
    return mask;
}

int CNVU::ProcessingType(int recordFilterType)
{
    return recordFilterType == 0 || recordFilterType == 1 ? 3 : recordFilterType;
}

void CNVU::CreateChannels(HKEY key, const std::vector<TransceiverChannelRecord>& channels)
{
    TakeSoundVelocity();
    const std::size_t count = std::min<std::size_t>(channels.size(), kMaxChannels);
    for (std::size_t i = 0; i < count; ++i) {
        const TransceiverChannelRecord& cap = channels[i];
        Block& b = m_blocks[i];
        auto r = MakeChannelRecord(cap, static_cast<int>(i) + 1, KiloHertzName(cap),
                                   EnvironmentAbsorption(cap.frequency).value_or(ChannelParameters{}.Absorption), key);
        // The installation keeps one front-end decimation word per channel
        // and the channel's sample-interval list as its receive chain.
        b.chain.decimation = b.chain.decimation2 = std::max(1, Trunc(cap.fpaDecimation));
        for (int v = 0; v < 4; ++v)
            b.chain.value[v] = cap.sampleInterval[v];
        b.fpaDecimation = b.chain.decimation;
        r->sampleIntervalCount = b.fpaDecimation;
        b.channel = MakeChannel(*r, static_cast<int>(i));
        b.impedance = SystemImpedance(cap.transducerImpedance);
        r->channel = b.channel.get();
        b.words.resize(kMaxPingSamples);
        b.power.resize(kMaxPingSamples);
        b.tracePower.resize(CChannel::kMaxSamples);
        b.traceAngle.assign(CChannel::kMaxSamples, 0.0f);
        b.traceTime.resize(CChannel::kMaxSamples);
        b.pingRecord = *r;
        b.filterType = ProcessingType(r->filterType);
        b.valid = true;
        b.master = static_cast<int>(i);
        m_channels.push_back(r.get());
        b.record = std::move(r);
    }
    // Unit channels that are not installed may receive through an installed
    // channel's transducer: the installed channel's "Slave" value names them.
    for (std::size_t i = 0; i < count; ++i)
        for (int j : ParseSlaves(channels[i].slave)) {
            Block& s = m_blocks[static_cast<std::size_t>(j)];
            if (s.valid || s.slave)
                continue;  // a channel of its own, or already another's
            s.slave = true;
            s.master = static_cast<int>(i);
            ++m_blocks[i].slaves;
        }
    ResolveSlaves();
}

void CNVU::ResolveSlaves()
{
    // A sharing channel takes its master's chain, transducer and processing.
    for (Block& s : m_blocks) {
        if (!s.slave)
            continue;
        const Block& m = m_blocks[static_cast<std::size_t>(s.master)];
        s.chain = m.chain;
        s.fpaDecimation = m.fpaDecimation;
        s.impedance = m.impedance;
    }
    FollowMasters();
}

void CNVU::FollowMasters()
{
    for (Block& s : m_blocks) {
        if (!s.slave)
            continue;
        const Block& m = m_blocks[static_cast<std::size_t>(s.master)];
        s.filterType = m.filterType.load();
        const auto lock = LockRecords();
        s.pingRecord = m.pingRecord;
    }
}

CTransceiver::StructChannelParameters CNVU::PingRecordOf(const Block& b) const
{
    const auto lock = LockRecords();
    return b.pingRecord;
}

int CNVU::GetMaster(int channel) const
{
    if (channel < 0 || channel >= kMaxChannels)
        return -1;
    return m_blocks[static_cast<std::size_t>(channel)].master;
}

CChannel* CNVU::GetUnitChannel(int index) const
{
    if (index < 0 || index >= kMaxChannels)
        return nullptr;
    return m_blocks[static_cast<std::size_t>(index)].channel.get();
}

void CNVU::ComputeDecimation()
{
    // Reference rate: the fastest front-end output of the present channels.
    double reference = 1.0;
    for (const Block& b : m_blocks)
        if (b.valid)
            reference = std::max(reference, static_cast<double>(static_cast<int>(kClock) / b.fpaDecimation));
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        Block& b = m_blocks[i];
        if (!b.valid && !b.slave)
            continue;
        const StructChannelParameters& r = b.pingRecord;
        const bool fm = r.fmPulse != 0;
        const int d = b.fpaDecimation;
        const double k = DecimationFactor(r.frequency, fm, b.chain);
        const double wanted = fm ? b.chain.value[0] : r.sampleInterval;
        b.total = Trunc(wanted * kClock / k);
        b.des1 = std::max(1, Trunc(wanted / k * reference));
        b.des2 = std::max(1, Trunc(reference / static_cast<double>(static_cast<int>(kClock) / d)));
        b.des3 = std::max(1, b.total / d);
        std::lock_guard<std::mutex> lock(m_textLock);
        m_decimationLines[i] = Format("Decimation  ch %i: Total %i Des1 %i Des2 %i Des3 %i Fpa %i",
                                      static_cast<int>(i) + 1, b.total, b.des1, b.des2, b.des3, d);
    }
}

void CNVU::Start(std::int64_t& duration)
{
    duration = 10000000;
    const bool running = m_configured.load() && m_processing.load() && !m_stop.load() && m_ring;
    for (Block& b : m_blocks)
        if (b.valid && CopyRecordForPing(*b.record, b.pingRecord, running))
            m_hardwareChanged = true;
    TakeSoundVelocity();
    if (!running)
        return;
    const bool changed = m_hardwareChanged.load();
    DWORD enables = 0xFFFFFFFFu;
    double wanted = 1.0;
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        Block& b = m_blocks[i];
        if (!b.valid)
            continue;
        // Worked on as a copy: the other threads read the block's record
        // under the records' lock, which HandPingValues takes itself.
        StructChannelParameters r = b.pingRecord;
        r.absorption = EnvironmentAbsorption(r.frequency).value_or(r.absorption);
        b.filterType = ProcessingType(r.filterType);
        const bool fm = r.fmPulse != 0;
        r.sampleInterval = (b.filterType == 5 || b.filterType == 8)
                               ? FrontEndDecimation(r.frequency, fm, b.chain) / kClock
                               : SelectSampleInterval(r);
        // 38 and 15 kHz CW and FM channels run a longer receive chain.
        const int f = Trunc(r.frequency);
        if (fm || f == 38000 || f == 15000)
            r.sampleInterval /= std::max(1, DecimationFactor(r.frequency, fm, b.chain) / 4);
        r.sampleDistance = m_soundVelocity * r.sampleInterval * 0.5;
        HandPingValues(*b.record, r, *b.channel);
        {
            const auto lock = LockRecords();
            b.pingRecord = r;
        }
        const double x = r.sampleInterval;
        if (x > 0.0 && x < wanted)
            wanted = x < 0.000064 ? x : 0.000128;
        if (r.transceiverMode == kPassive)
            enables &= ~(1u << i);
    }
    // The process thread may still work on the last ping: only what this
    // ping changes is written.
    FollowMasters();
    if (changed) {
        Send(nvu::ChannelEnables(enables));
        ComputeDecimation();
        // Fixed-parameter mode keeps the unit's own transmit set-up.
        if (!m_fixed.load())
            SendPingTiming(wanted);
        m_hardwareChanged = false;
        m_filtersDue = true;
    }
    m_wantedInterval = wanted;
    const auto writeSlot = static_cast<std::size_t>(m_ring->GetWriteSlot());
    DWORD requested = 100;
    // The ping lasts while the unit sends the samples asked of it, at its
    // own rate: a decimating chain makes one sample of the channel of Des1
    // of the unit's, while pulse compression of every sample (types 5 and
    // 8) takes them as they come.
    double unitInterval = 0.0;
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        Block& b = m_blocks[i];
        m_ring->SetPingHeader(static_cast<int>(i), static_cast<DWORD>(b.des1), static_cast<DWORD>(b.des2),
                              static_cast<DWORD>(b.des3));
        // Asked once: the count the ping is requested for is the count the
        // channel is handed.
        const int count = b.valid ? b.channel->ComputeSampleCount(b.pingRecord.sampleDistance) : 0;
        m_channelSamples[writeSlot][i] = count;
        if (!b.valid)
            continue;
        requested = std::max<DWORD>(requested, static_cast<DWORD>(std::max(count, 0)) * static_cast<DWORD>(b.des1));
        const bool decimating = b.filterType != 5 && b.filterType != 8;
        const double x = b.pingRecord.sampleInterval / (decimating ? std::max(b.des1, 1) : 1);
        if (x > 0.0 && (unitInterval == 0.0 || x < unitInterval))
            unitInterval = x;
    }
    if (unitInterval == 0.0)
        unitInterval = wanted;
    requested = std::min<DWORD>(requested, kMaxPingSamples / 2);
    m_lastRequested = requested;
    Send(nvu::RecordSamples(requested));
    m_ring->ModifyPingRecord(m_ring->GetWriteSlot(), [&](CSampleRingBuffer::PingRecord& p) {
        p.receiving = 0;
        p.blocksProcessed = p.samplesReceived = p.samplesProcessed = 0;
        p.startSeen = p.triggerStatusSeen = 0;
        p.samplesRequested = requested;
        p.requested = 1;
    });
    ++m_pingsStarted;
    duration = static_cast<std::int64_t>(static_cast<double>(requested) * unitInterval * 1e7);
}

nvu::TransmitPulse CNVU::TransmitPulseOf(const StructChannelParameters& r, int sharers, double presetFrequency,
                                         double* pulse)
{
    const bool fm = r.fmPulse != 0;
    const double frequency = presetFrequency > 0.0 ? presetFrequency : r.frequency;
    const double n = frequency > 0.0 ? std::max(std::round(4000000.0 / frequency), 1.0) : 1.0;
    double rate = 4000000.0 / n;
    if (rate == 500000.0)
        rate = fm ? 482000.0 : 497000.0;
    const double length = fm ? r.fmPulseLength : r.pulseLength;
    const double rounded = std::round(length * rate) / rate;
    if (pulse)
        *pulse = rounded;
    // Five samples of the rate: the record has no ramp of its own.
    const double ramp = std::round(5.0 / rate * rate) / rate;
    const double net = rounded - ramp;
    nvu::TransmitPulse p;
    // At 200 kHz the unit takes the whole pulse, the ramp included.
    p.duration = static_cast<float>((rate == 200000.0 ? rounded : net > 0.000016 ? net : 0.0) + 0.0000001);
    const double power = std::max(r.txPower, 0.0) / (1.0 + std::max(sharers, 0));
    p.amplitude = r.transceiverMode == kPassive ? 0.0f : static_cast<float>(std::sqrt(power / 1000.0));
    p.ramp = static_cast<float>(ramp);
    p.rampStep = static_cast<float>(5.0 / rate);
    // An FM pulse sweeps up through its band from half of it below the
    // rate, as the unit family's FM pulses do: 1/T wide over the rounded
    // length.
    if (fm && length > 0.0 && rounded > 0.0) {
        p.rate = static_cast<float>(rate - 0.5 / length);
        p.slope = static_cast<float>((1.0 / length) / rounded);
    } else {
        p.rate = static_cast<float>(rate);
        p.slope = 0.0f;
    }
    return p;
}

std::optional<std::array<DWORD, 6>> CNVU::PingTimingCounts(double longest, double wanted)
{
    if (!(wanted > 0.0) || !std::isfinite(wanted) || !std::isfinite(longest))
        return std::nullopt;
    const double d = wanted;
    std::array<DWORD, 6> t{};
    // Counts past the 32 bits the unit takes are no timing either.
    double at = (longest + 1.0 / 1500.0) / d + 45.0;
    const double steps[6] = {0.0, 0.0053333 / d, 0.0026667 / d, 0.0026667 / d, 0.0026667 / d, (1.0 / 1500.0) / d};
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i > 0)
            at = std::trunc(at) + steps[i];
        if (at >= 4294967295.0)
            return std::nullopt;
        t[i] = static_cast<DWORD>(std::trunc(at));
    }
    return t;
}

void CNVU::SendPingTiming(double wanted)
{
    // The longest pulse, rounded to its channel's transmit rate.
    double longest = 0.0;
    std::array<nvu::TransmitPulse, kMaxChannels> pulses{};
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        nvu::TransmitPulse& p = pulses[i];
        p.channel = static_cast<BYTE>(i);
        const Block& b = m_blocks[i];
        if (!b.valid && !b.slave)
            continue;
        // A sharing channel sends its master's pulse, the power divided
        // among all channels on the transducer.
        const Block& m = b.slave ? m_blocks[static_cast<std::size_t>(b.master)] : b;
        double pulse = 0.0;
        p = TransmitPulseOf(m.pingRecord, m.slaves, m_fixed.load() ? m_presets[2] : 0.0, &pulse);
        p.channel = static_cast<BYTE>(i);
        longest = std::max(longest, pulse);
    }
    // Without an interval there is nothing to count the events in: the unit
    // keeps the timing it has.
    const auto t = PingTimingCounts(longest, wanted);
    if (!t)
        return;
    Send(nvu::PingTiming(*t));
    for (std::size_t i = 0; i < m_blocks.size(); ++i)
        if (m_blocks[i].valid)
            Send(nvu::TransmitPulseTelegram(pulses[i]));
    for (std::size_t i = 0; i < m_blocks.size(); ++i)
        if (m_blocks[i].slave)
            Send(nvu::TransmitPulseTelegram(pulses[i]));
    for (std::size_t i = 0; i < m_blocks.size(); ++i)
        if (!m_blocks[i].valid && !m_blocks[i].slave) {
            nvu::TransmitPulse off;
            off.channel = static_cast<BYTE>(i);
            Send(nvu::TransmitPulseTelegram(off));
        }
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        nvu::TransmitPulse off;
        off.channel = static_cast<BYTE>(i);
        off.last = true;
        Send(nvu::TransmitPulseTelegram(off));
    }
}

int CNVU::Trigger(int kind)
{
    if (m_stop.load() || !m_configured.load() || !m_ring)
        return 0;
    const auto slot = m_ring->GetPingRecord(m_ring->GetWriteSlot());
    m_lastExternal = kind != 0;
    if (Send(nvu::Trigger(kind != 0, slot.samplesRequested)))
        return 1;
    AbandonPingInFlight();
    return 0;
}

int CNVU::GetBufferedPings()
{
    if (!m_ring)
        return 0;
    const int n = m_ring->GetWriteSlot() - m_ring->GetReadSlot();
    return n < 0 ? n + CSampleRingBuffer::kSlots : n;
}

bool CNVU::HasPingData()
{
    if (!m_ring)
        return false;
    const auto r = m_ring->GetPingRecord(m_ring->GetReadSlot());
    return r.requested != 0 || r.receiving != 0;
}

int CNVU::GetChannelDepths(double* depths, int)
{
    // The caller has a place for each channel the unit has.
    int at = 0;
    for (Block& b : m_blocks) {
        if (!b.valid)
            continue;
        double depth = 0.0;
        b.channel->ProcessPing(&depth);
        depths[at++] = depth;
    }
    return 1;
}

int CNVU::RequestStatus()
{
    // The version answer to this request is checked for newer firmware.
    m_configureRequest = true;
    if (!Send(nvu::StatusRequest()))
        return 1;
    return Send(nvu::VersionRequest(0)) ? 0 : 1;
}

int CNVU::ConfigureInterface(int argument)
{
    for (std::size_t i = 0; i < m_blocks.size(); ++i)
        if (!Send(nvu::FrontEndConfigure(static_cast<int>(i), m_blocks[i].valid, m_blocks[i].fpaDecimation, argument)))
            return 1;
    return 0;
}

void CNVU::EnterTestMode()
{
    m_presets[0] = kPresetInterval;
    m_presets[1] = kPresetInterval;
    m_presets[2] = kPresetFrequency;
    m_presets[3] = kPresetGain;
    m_presets[4] = kPresetMode;
    m_fixed = true;
}

std::string CNVU::GetVersionText() const
{
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_versionText;
}

std::string CNVU::GetInformationLog() const
{
    std::lock_guard<std::mutex> lock(m_textLock);
    return m_informationLog;
}

std::string CNVU::GetDecimationLine(int channel) const
{
    std::lock_guard<std::mutex> lock(m_textLock);
    return channel >= 0 && channel < kMaxChannels ? m_decimationLines[static_cast<std::size_t>(channel)] : "";
}

// ---------------------------------------------------------------------------
// Connect sequence and filters (process thread)

bool CNVU::Connect()
{
    if (m_reprogramming.load()) {
        Pause(m_timings.stepDelayMs);
        return true;
    }
    // Never while new firmware goes to the unit.
    std::lock_guard<std::mutex> connecting(m_connectLock);
    if (m_reprogramming.load())
        return true;
    m_ring->Reset();
    m_answered = false;
    if (!Send(nvu::VersionRequest(RandomToken())) && !m_configuredBefore.load())
        return false;
    // The halt starts the unit's set-up afresh, and its messages with it.
    Send(nvu::Halt());
    m_configured = false;
    m_mask = 0;
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_informationLog.clear();
    }
    if (!Pause(m_timings.nvuHaltWaitMs))
        return false;
    if (!Send(nvu::HaltClear()) || !Pause(m_timings.nvuHardwareWaitMs))
        return false;
    if (!SendReceiveConfiguration() || !Pause(m_timings.nvuSynchroniseWaitMs))
        return false;
    if (!Send(nvu::Synchronise()))
        return false;
    DWORD enables = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < m_blocks.size(); ++i)
        if (m_blocks[i].valid && PingRecordOf(m_blocks[i]).transceiverMode == kPassive)
            enables &= ~(1u << i);
    std::array<int, kMaxChannels> masterOf{-1, -1, -1, -1};
    for (std::size_t i = 0; i < m_blocks.size(); ++i)
        if (m_blocks[i].slave)
            masterOf[i] = m_blocks[i].master;
    if (!Send(nvu::OperatingMode(PairingMask(masterOf))) || !Send(nvu::ChannelEnables(enables)))
        return false;
    // Nothing of a ping from before the connect will come any more.
    AbandonPingInFlight();
    m_hardwareChanged = true;
    m_configured = true;
    Pause(m_timings.nvuConfiguredWaitMs);
    return true;
}

bool CNVU::SendReceiveConfiguration()
{
    if (!Send(nvu::ReceiveConfigure()))
        return false;
    if (!Pause(m_timings.nvuReceiveConfigureWaitMs))
        return false;
    for (int c = 0; c < kMaxChannels; ++c) {
        if (!Upload(c)) {
            ++m_uploadFailures;
            // The connect is tried again every second: the operator hears of
            // it once, until an upload goes through again.
            if (!m_uploadReported.exchange(true))
                m_services.PostUnitStatus(app::ids::NVU_FILTER_UPLOAD_FAILED, false);
            return false;
        }
        if (!Pause(m_timings.nvuUploadWaitMs))
            return false;
    }
    m_uploadReported = false;
    return true;
}

bool CNVU::Upload(int channel)
{
    const std::string unit = SocketAddress::IpText(m_info.unitAddress);
    if (unit == "127.0.0.1")
        return true;
    // An absent channel takes the folder of the first present one.
    const Block* source = &m_blocks[static_cast<std::size_t>(channel)];
    if (source->slave)
        source = &m_blocks[static_cast<std::size_t>(source->master)];
    if (!source->valid)
        for (const Block& b : m_blocks)
            if (b.valid) {
                source = &b;
                break;
            }
    const StructChannelParameters record = PingRecordOf(*source);
    const bool fm = record.fmPulse != 0;
    const std::string path = UploadFile(m_services.GetUnitSoftwareFolder(), record.frequency, fm, channel);
    CTftp& tftp = m_tftp;
    const auto port = static_cast<std::uint16_t>(m_timings.tftpPort);
    if (fs::is_regular_file(path) && tftp.TftpPutFile(path, unit, 1, port))
        return true;
    // The folder's default goes out under the channel's name, from a copy of
    // its own: the channel's file is never overwritten.
    const fs::path fallback = fs::path(path).parent_path() / "rxfilter.txt";
    std::error_code error;
    const fs::path temp = fs::temp_directory_path(error) /
                          Format("zvnvu-%d-%p", static_cast<int>(getpid()), static_cast<const void*>(this));
    fs::create_directories(temp, error);
    const fs::path copy = temp / fs::path(path).filename();
    bool sent = false;
    if (fs::copy_file(fallback, copy, fs::copy_options::overwrite_existing, error))
        sent = tftp.TftpPutFile(copy.string(), unit, 1, port);
    fs::remove_all(temp, error);
    return sent;
}

bool CNVU::ReadFilter(const std::string& path, FilterRecord& f, std::string* why)
{
    auto fail = [why](const std::string& text) {
        if (why)
            *why = text;
        return false;
    };
    std::ifstream in(path);
    if (!in)
        return fail("Read filter file failed");
    std::string line;
    if (!std::getline(in, line))
        return fail("empty filter file");
    FilterRecord r;
    std::istringstream head(line);
    head.imbue(std::locale::classic());
    if (!(head >> r.length >> r.second >> r.divisor >> r.gain))
        return fail("bad first line");
    if (r.length < 0 || r.length > kMaxFilterLength)
        return fail("filter length out of range");
    r.inverse = r.divisor != 0 ? 1.0f / static_cast<float>(r.divisor) : 0.0f;
    while (static_cast<int>(r.real.size()) < kMaxFilterLength && std::getline(in, line)) {
        std::istringstream pair(line);
        pair.imbue(std::locale::classic());
        float re = 0.0f, im = 0.0f;
        if (!(pair >> re >> im))
            break;
        r.real.push_back(re);
        r.imaginary.push_back(im);
    }
    if (r.length > static_cast<int>(r.real.size()))
        return fail("fewer coefficients than the filter length");
    f = std::move(r);
    return true;
}

std::string CNVU::FilterFile(const std::string& folder, const StructChannelParameters& r, int des3, double chainFirst,
                             double wanted, double fixedFrequency)
{
    const bool fm = r.fmPulse != 0;
    const int f = NameFrequency(fixedFrequency > 0.0 && !fm ? fixedFrequency : r.frequency, fm);
    std::string name;
    if (fm) {
        name = Format("filter/FM/NVU_%i/NVU_%i_DecPC_%i_BT_%i.txt", f, f, des3,
                      Trunc(chainFirst / (wanted > 0.0 ? wanted : 1.0)));
    } else if ((Trunc(r.frequency) == 38000 || Trunc(r.frequency) == 15000) &&
               (r.filterType == 0 || r.filterType == 1)) {
        // The low frequencies have filters of their own for round and flat
        // transducers, by the channel's front-end filter length.
        const char* shape = r.filterType == 0 ? "ROUND" : "FLAT";
        name =
            Format("filter/NVU_%i/%s_%i_%i/%s_%i_PC_%i.txt", f, shape, f, r.capability.fpaFilterLength, shape, f, des3);
    } else {
        name = Format("filter/NVU_%i/NVU_%i_PC_%i.txt", f, f, des3);
    }
    return (fs::path(folder) / name).string();
}

void CNVU::LoadFilters()
{
    const std::string folder = m_services.GetUnitSoftwareFolder();
    for (std::size_t i = 0; i < m_blocks.size(); ++i) {
        Block& b = m_blocks[i];
        if (!b.valid)
            continue;
        b.filter = FilterRecord{};
        if (b.filterType != 2 && b.filterType != 3 && b.filterType != 8)
            continue;
        // A filter that cannot be read leaves the channel's plain power; the
        // operator is told once for each file, not at every connect.
        const std::string path = FilterFile(folder, PingRecordOf(b), b.des3, b.chain.value[0], m_wantedInterval.load(),
                                            m_fixed.load() ? m_presets[2] : 0.0);
        if (!ReadFilter(path, b.filter) && m_filtersReported.insert(path).second) {
            ++m_filterReadFailures;
            PostMessageBox(GetMainWindow(), "Read filter file failed", "Error", MB_OK | MB_ICONERROR);
        }
    }
    for (Block& s : m_blocks)
        if (s.slave)
            s.filter = m_blocks[static_cast<std::size_t>(s.master)].filter;
}

// ---------------------------------------------------------------------------
// Sample processing (process thread)

void CNVU::ProcessThread()
{
    std::uint64_t connected = 0;
    while (!m_stop.load()) {
        if (!m_configured.load()) {
            if (!Connect()) {
                // A connect that fails at once is tried again a second later.
                Pause(1000);
                continue;
            }
            connected = CFileTime::MonotonicMs();
        }
        // A unit that missed part of the sequence (it was silent while it
        // went out) never completes its acknowledgements: connect again.
        if (!m_processing.load() && !m_reprogramming.load() &&
            CFileTime::MonotonicMs() - connected > static_cast<std::uint64_t>(m_timings.unitWaitMs)) {
            m_configured = false;
            continue;
        }
        if (m_processing.load() && m_dataPending.load())
            ProcessSamples();
        Pause(1);
    }
}

void CNVU::ProcessSamples()
{
    const int slot = m_ring->GetReadSlot();
    const auto rec = m_ring->GetPingRecord(slot);
    const DWORD arrived = std::min(rec.samplesReceived, rec.samplesRequested);
    if (arrived < rec.samplesProcessed + 1)
        return;
    if (rec.receiving == 0) {
        m_ring->SetReadIndex(static_cast<int>(rec.startIndex));
        if (m_filtersDue.exchange(false))
            LoadFilters();
        for (std::size_t c = 0; c < m_blocks.size(); ++c) {
            Block& b = m_blocks[c];
            b.chainState = ChainState{};
            b.blockNumber = 0;
            b.pingDes1 = std::max<int>(1, static_cast<int>(m_ring->GetPingHeader1(static_cast<int>(c))));
            b.pingDes2 = std::max<int>(1, static_cast<int>(m_ring->GetPingHeader2(static_cast<int>(c))));
            b.handed = 0;
        }
        m_ring->ModifyPingRecord(slot, [](CSampleRingBuffer::PingRecord& p) {
            p.receiving = 1;
            p.requested = 0;
        });
        if (rec.startTime > m_lastStartTime) {
            m_lastStartTime = rec.startTime;
            m_pingStartTime = rec.startTime;
        }
    }
    const int count = static_cast<int>(std::min<DWORD>(arrived - rec.samplesProcessed, kMaxPingSamples));
    const int readIndex = m_ring->GetReadIndex();
    for (Block& b : m_blocks)
        if (b.valid) {
            std::fill_n(b.power.begin(), count, 0.0);
            b.produced = 0;
        }
    for (int c = 0; c < kMaxChannels; ++c)
        if (m_blocks[static_cast<std::size_t>(c)].valid || m_blocks[static_cast<std::size_t>(c)].slave)
            ProcessChannel(c, readIndex, count);
    for (std::size_t c = 0; c < m_blocks.size(); ++c) {
        Block& b = m_blocks[c];
        if (!b.valid)
            continue;
        const int asked = std::min(m_channelSamples[static_cast<std::size_t>(slot)][c].load(), CChannel::kMaxSamples);
        const int n = std::clamp(asked - b.handed, 0, b.produced);
        for (int k = 0; k < n; ++k) {
            const auto i = static_cast<std::size_t>(k);
            b.words[i] = PowerToWord(b.power[i]);
            b.tracePower[static_cast<std::size_t>(b.handed + k)] =
                static_cast<float>(b.words[i] * rawpower::kDbPerUnit);
        }
        b.channel->AddPowerSamples(b.words.data(), n, b.blockNumber++);
        b.handed += n;
    }
    m_ring->SetReadIndex(readIndex + count);
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
    const std::uint64_t start = m_pingStartTime.load() != 0 ? m_pingStartTime.load() : CFileTime::Now();
    HandTraces(start);
    if (m_dumpCount.load() > 0) {
        --m_dumpCount;
        DumpLastPing(m_ring->GetPingRecord(slot));
    }
    m_ring->SetReadSlot(slot + 1);
    m_dataPending = 0;
    ++m_pingsCompleted;
    // The ping's start time, handed over once the ping is whole.
    if (ITransceiverOwner* owner = GetEchoSounder())
        owner->UpdatePingTime(start);
}

void CNVU::HandTraces(std::uint64_t start)
{
    // The times run in microseconds, so that the channel's trace rate (the
    // time's rate over its growth from one ping's start to the next) is the
    // ping rate in Hz; 32 bits of them wrap, which the growth survives.
    constexpr float kTicksPerSecond = 1e6f;
    const auto startTime = static_cast<std::uint32_t>(start / 10);
    for (Block& b : m_blocks) {
        if (!b.valid)
            continue;
        const double interval = PingRecordOf(b).sampleInterval;
        for (int k = 0; k < b.handed; ++k)
            b.traceTime[static_cast<std::size_t>(k)] =
                startTime + static_cast<std::uint32_t>(std::llround(k * interval * 1e6));
        b.channel->AddFloatSamples(b.tracePower.data(), b.traceAngle.data(), b.traceTime.data(), kTicksPerSecond,
                                   b.handed, interval);
    }
}

void CNVU::ProcessChannel(int channel, int readIndex, int count)
{
    Block& b = m_blocks[static_cast<std::size_t>(channel)];
    // A sharing channel's power goes to its master's samples.
    Block& target = b.slave ? m_blocks[static_cast<std::size_t>(b.master)] : b;
    const int out =
        ConvertSamples(*m_ring, channel, readIndex, count, b.filterType, b.pingDes1, b.pingDes2, b.fpaDecimation,
                       b.filter, 2.0 * target.impedance, b.chainState, target.power.data());
    target.produced = std::max(target.produced, out);
}

namespace {

// Input samples converted at a time: what a conversion works in stays the
// size of one chunk and its filter's reach, however long the pass.
constexpr int kChunk = 4096;

// What the conversion works in, kept by each thread from one pass to the
// next: once the longest filter has sized it, a ping is converted without
// allocation.
struct ConversionWork
{
    std::vector<float> re, im;          // ring samples: the history, then the chunk
    std::vector<float> backRe, backIm;  // a stretch of history searched for present samples
    std::vector<float> pickRe, pickIm;  // group picks (type 2)
    std::vector<std::uint8_t> good;
    std::vector<double> xr, xi;  // what the taps read, oldest first
    std::vector<int> at;         // positions of present samples; next present sample
    std::vector<double> pr, pi;  // phase-split copies for outputs a stride apart
    std::vector<double> cr, ci;  // coefficients over N in the order of the taps
    std::vector<std::ptrdiff_t> rows;
    std::vector<int> outputs, lane, newest, taken;
    std::vector<double> vr, vi, yr, yi, y;
};

thread_local ConversionWork t_work;

// Room for n values and the lanes the correlation kernel rounds up to.
template <class T>
T* Room(std::vector<T>& v, std::size_t n)
{
    n += nvucorrelation::kLaneStep;
    if (v.size() < n)
        v.resize(n);
    return v.data();
}

bool Present(float re, float im)
{
    return re != 0.0f || im != 0.0f;
}

double Norm(float re, float im)
{
    return std::norm(std::complex<double>(std::complex<float>(re, im)));
}

// Where outputs `stride` samples apart read samples `stride` apart, the
// samples from..to are split into stride phases, each contiguous and
// `length` long: sample i goes to (i % stride) * length + i / stride, so
// that side-by-side outputs read side-by-side samples.
void SplitPhases(const double* x, int from, int to, int stride, std::ptrdiff_t length, double* split)
{
    for (int r = 0; r < stride; ++r) {
        const int first = from + ((r - from % stride) + stride) % stride;
        double* phase = split + r * length + first / stride;
        for (int i = first; i < to; i += stride)
            *phase++ = x[i];
    }
}

// The first lane's row of each tap, tap t reading sample first + t * step.
void Rows(std::ptrdiff_t* rows, int taps, std::ptrdiff_t first, int step, int stride, std::ptrdiff_t length)
{
    if (stride == 1) {
        for (int t = 0; t < taps; ++t)
            rows[t] = first + static_cast<std::ptrdiff_t>(t) * step;
        return;
    }
    // Phase and index within it, carried from tap to tap.
    const int down = step >= 0 ? step / stride : -((-step + stride - 1) / stride);
    const int over = step - down * stride;
    std::ptrdiff_t r = first % stride, q = first / stride;
    for (int t = 0; t < taps; ++t) {
        rows[t] = r * length + q;
        r += over;
        q += down;
        if (r >= stride) {
            r -= stride;
            ++q;
        }
    }
}

// The correlation of the samples ending at xr[newest - 1] with the first
// taps coefficients, summed the plain complex<double> way.
double PlainLast(const double* xr, const double* xi, int newest, int taps, const double* cr, const double* ci)
{
    std::complex<double> y;
    for (int t = 0; t < taps; ++t)
        y += std::complex<double>(xr[newest - 1 - t], xi[newest - 1 - t]) * std::complex<double>(cr[t], ci[t]);
    return std::norm(y);
}

// Types 3 and 8: at each output the power of the correlation of the last L
// present samples, newest with the first coefficient, looking back at most
// reach samples. Outputs are chunk positions in order, `stride` apart
// where no sample between them is missing.
void CorrelateLastPresent(ConversionWork& w, const CSampleRingBuffer& ring, int channel, int start, int n,
                          const float* re, const float* im, int outputCount, int stride, int L, long long reach)
{
    // The last L present samples before the chunk, newest at L - 1.
    const std::size_t size = static_cast<std::size_t>(L) + static_cast<std::size_t>(n);
    double* xr = Room(w.xr, size);
    double* xi = Room(w.xi, size);
    int* at = Room(w.at, size);
    int oldest = L;
    float* backRe = Room(w.backRe, kChunk);
    float* backIm = Room(w.backIm, kChunk);
    for (long long scanned = 0; oldest > 0 && scanned < reach - 1;) {
        const int stretch = static_cast<int>(std::min<long long>(kChunk, reach - 1 - scanned));
        ring.ReadSamples(backIm, backRe, ring.WrapIndex(start - scanned - stretch), stretch, channel);
        for (int i = stretch - 1; i >= 0 && oldest > 0; --i)
            if (Present(backRe[i], backIm[i])) {
                --oldest;
                xr[oldest] = backRe[i];
                xi[oldest] = backIm[i];
                at[oldest] = static_cast<int>(i - stretch - scanned);
            }
        scanned += stretch;
    }
    int top = L;
    for (int k = 0; k < n; ++k)
        if (Present(re[k], im[k])) {
            xr[top] = re[k];
            xi[top] = im[k];
            at[top++] = k;
        }

    // Outputs whose window holds L present samples and lies `stride` present
    // samples after the one before go side by side through the kernel.
    const double* px = xr;
    const double* py = xi;
    const std::ptrdiff_t length = (top + stride - 1) / stride;
    if (stride > 1) {
        double* sr = Room(w.pr, static_cast<std::size_t>(length) * stride);
        double* si = Room(w.pi, static_cast<std::size_t>(length) * stride);
        SplitPhases(xr, oldest, top, stride, length, sr);
        SplitPhases(xi, oldest, top, stride, length, si);
        px = sr;
        py = si;
    }
    const int* outputs = w.outputs.data();
    int* lane = Room(w.lane, static_cast<std::size_t>(outputCount));
    int* newest = Room(w.newest, static_cast<std::size_t>(outputCount));
    int* taken = Room(w.taken, static_cast<std::size_t>(outputCount));
    double* yr = Room(w.yr, static_cast<std::size_t>(outputCount));
    double* yi = Room(w.yi, static_cast<std::size_t>(outputCount));
    std::ptrdiff_t* rows = Room(w.rows, static_cast<std::size_t>(L));
    int lanes = 0, runFirst = 0, runNewest = 0, lastNewest = 0;
    auto flush = [&] {
        if (lanes > runFirst) {
            // From zero, over what the run before wrote in the lanes it rounded up to.
            std::fill_n(yr + runFirst, lanes - runFirst, 0.0);
            std::fill_n(yi + runFirst, lanes - runFirst, 0.0);
            Rows(rows, L, runNewest - 1, -1, stride, length);
            nvucorrelation::Correlate(px, py, rows, L, w.cr.data(), w.ci.data(), lanes - runFirst, yr + runFirst,
                                      yi + runFirst);
        }
        runFirst = lanes;
    };
    int e = L, s = oldest;
    for (int m = 0; m < outputCount; ++m) {
        const int k = outputs[m];
        while (e < top && at[e] <= k)
            ++e;
        while (s < e && at[s] <= k - reach)
            ++s;
        newest[m] = e;
        taken[m] = std::min(L, e - s);
        if (taken[m] < L) {
            lane[m] = -1;
            continue;
        }
        if (lanes > runFirst && e == lastNewest) {
            lane[m] = lanes - 1;  // the window of the output before
            continue;
        }
        if (lanes == runFirst || e != lastNewest + stride) {
            flush();
            runNewest = e;
        }
        lane[m] = lanes++;
        lastNewest = e;
    }
    flush();

    double* y = Room(w.y, static_cast<std::size_t>(outputCount));
    std::ptrdiff_t* back = Room(w.rows, static_cast<std::size_t>(L));
    for (int t = 0; t < L; ++t)
        back[t] = -1 - t;
    for (int m = 0; m < outputCount; ++m) {
        double r[nvucorrelation::kLaneStep] = {}, i[nvucorrelation::kLaneStep] = {};
        if (lane[m] >= 0) {
            r[0] = yr[lane[m]];
            i[0] = yi[lane[m]];
        } else {
            nvucorrelation::Correlate(xr + newest[m], xi + newest[m], back, taken[m], w.cr.data(), w.ci.data(), 1, r,
                                      i);
        }
        y[m] = std::norm(std::complex<double>(r[0], i[0]));
        if (std::isnan(y[m]))
            y[m] = PlainLast(xr, xi, newest[m], taken[m], w.cr.data(), w.ci.data());
    }
}

// Type 2: at each output the power of the correlation of the first present
// sample of each of `groups` groups of `size` samples, the oldest group with
// the last coefficient; a pick with a part beyond +-1000 takes the pick of
// the group before it when that one was good, else zero. The window holds
// h = groups * size - 1 samples of history, then the chunk's n; outputs are
// `stride` apart. The coefficients are in the order of the taps, oldest
// group first.
void CorrelateGroupPicks(ConversionWork& w, const float* re, const float* im, int h, int n, int outputCount, int stride,
                         int groups, int size)
{
    const int total = h + n;
    // next[i]: the first present sample at or after i (total when none).
    int* next = Room(w.at, static_cast<std::size_t>(total) + 1);
    next[total] = total;
    for (int i = total - 1; i >= 0; --i)
        next[i] = Present(re[i], im[i]) ? i : next[i + 1];
    // The pick of the group ending at i, and whether it is within +-1000.
    float* pickRe = Room(w.pickRe, static_cast<std::size_t>(total));
    float* pickIm = Room(w.pickIm, static_cast<std::size_t>(total));
    std::uint8_t* good = Room(w.good, static_cast<std::size_t>(total));
    for (int i = size - 1; i < total; ++i) {
        const int first = next[i - size + 1];
        pickRe[i] = first <= i ? re[first] : 0.0f;
        pickIm[i] = first <= i ? im[first] : 0.0f;
        good[i] = std::abs(pickRe[i]) <= 1000.0f && std::abs(pickIm[i]) <= 1000.0f;
    }
    // What the group ending at i gives when a group before it is in the
    // output's window.
    double* ur = Room(w.xr, static_cast<std::size_t>(total));
    double* ui = Room(w.xi, static_cast<std::size_t>(total));
    for (int i = 2 * size - 1; i < total; ++i) {
        const int from = good[i] ? i : i - size;
        const bool use = good[i] || good[i - size];
        ur[i] = use ? pickRe[from] : 0.0f;
        ui[i] = use ? pickIm[from] : 0.0f;
    }
    // The oldest group of each output, which has none before it.
    const int* outputs = w.outputs.data();
    double* vr = Room(w.vr, static_cast<std::size_t>(outputCount));
    double* vi = Room(w.vi, static_cast<std::size_t>(outputCount));
    for (int m = 0; m < outputCount; ++m) {
        const int i = h + outputs[m] - (groups - 1) * size;
        vr[m] = good[i] ? pickRe[i] : 0.0f;
        vi[m] = good[i] ? pickIm[i] : 0.0f;
    }

    double* yr = Room(w.yr, static_cast<std::size_t>(outputCount));
    double* yi = Room(w.yi, static_cast<std::size_t>(outputCount));
    std::fill_n(yr, outputCount, 0.0);
    std::fill_n(yi, outputCount, 0.0);
    const double* cr = w.cr.data();
    const double* ci = w.ci.data();
    const std::ptrdiff_t oldestRow = 0;
    nvucorrelation::Correlate(vr, vi, &oldestRow, 1, cr, ci, outputCount, yr, yi);
    if (groups > 1 && outputCount > 0) {
        const double* px = ur;
        const double* py = ui;
        const std::ptrdiff_t length = (total + stride - 1) / stride;
        if (stride > 1) {
            double* sr = Room(w.pr, static_cast<std::size_t>(length) * stride);
            double* si = Room(w.pi, static_cast<std::size_t>(length) * stride);
            SplitPhases(ur, 2 * size - 1, total, stride, length, sr);
            SplitPhases(ui, 2 * size - 1, total, stride, length, si);
            px = sr;
            py = si;
        }
        std::ptrdiff_t* rows = Room(w.rows, static_cast<std::size_t>(groups));
        Rows(rows, groups - 1, h + outputs[0] - (groups - 2) * size, size, stride, length);
        nvucorrelation::Correlate(px, py, rows, groups - 1, cr + 1, ci + 1, outputCount, yr, yi);
    }
    double* y = Room(w.y, static_cast<std::size_t>(outputCount));
    for (int m = 0; m < outputCount; ++m) {
        y[m] = std::norm(std::complex<double>(yr[m], yi[m]));
        if (!std::isnan(y[m]))
            continue;
        std::complex<double> plain;
        plain += std::complex<double>(vr[m], vi[m]) * std::complex<double>(cr[0], ci[0]);
        for (int t = 1; t < groups; ++t) {
            const int i = h + outputs[m] - (groups - 1 - t) * size;
            plain += std::complex<double>(ur[i], ui[i]) * std::complex<double>(cr[t], ci[t]);
        }
        y[m] = std::norm(plain);
    }
}

// The oldest present sample of the size samples ending at i; zero if none.
std::complex<float> FirstPresentAt(const float* re, const float* im, int i, int size)
{
    for (int k = i - size + 1; k <= i; ++k)
        if (Present(re[k], im[k]))
            return {re[k], im[k]};
    return {};
}

// One chunk of ConvertSamples: taps coefficients in w.cr and w.ci (type 2:
// its groups, the coefficients oldest group first); filters 3 and 8 look
// back at most reach samples.
int ConvertChunk(ConversionWork& w, const CSampleRingBuffer& ring, int channel, int start, int n, int type, int des1,
                 int des2, bool filtered, int taps, long long reach, double twoZ, CNVU::ChainState& state,
                 double* power)
{
    const int ringLength = ring.GetSampleCount();
    const int size = std::max(1, des2);
    const int groups = type == 2 && filtered ? taps : 0;
    int h = 0;
    if (groups > 0)
        h = groups * size - 1;
    else if (type != 1 && type != 2 && type != 3 && type != 5 && type != 8 && des2 > 1)
        h = std::min(des2, ringLength) - 1;
    float* re = Room(w.re, static_cast<std::size_t>(h + n));
    float* im = Room(w.im, static_cast<std::size_t>(h + n));
    ring.ReadSamples(im, re, ring.WrapIndex(static_cast<long long>(start) - h), h + n, channel);
    const float* xr = re + h;
    const float* xi = im + h;

    if (type == 5 || (type == 8 && !filtered)) {
        for (int k = 0; k < n; ++k)
            power[k] += Norm(xr[k], xi[k]) / twoZ;
        return n;
    }
    // The chunk's outputs: every input sample for type 8, else every Des1.
    int* outputs = Room(w.outputs, static_cast<std::size_t>(n));
    int outputCount = 0;
    if (type == 8) {
        for (int k = 0; k < n; ++k)
            outputs[outputCount++] = k;
    } else {
        for (int k = 0, counter = state.counter; k < n; ++k)
            if (++counter >= des1) {
                outputs[outputCount++] = k;
                counter = 0;
            }
    }
    const int stride = type == 8 ? 1 : std::max(1, des1);
    if ((type == 8 || type == 3) && filtered && taps > 0)
        CorrelateLastPresent(w, ring, channel, start, n, xr, xi, outputCount, stride, taps, reach);
    else if (groups > 0)
        CorrelateGroupPicks(w, re, im, h, n, outputCount, stride, groups, size);
    const double* y = w.y.data();
    if (type == 8) {
        for (int k = 0; k < n; ++k)
            power[k] += y[k] / twoZ;
        return n;
    }

    // Types 1 to 4: one output sample every Des1 input samples.
    const bool plain = (type == 2 || type == 3) && !filtered;
    int out = 0;
    for (int k = 0; k < n; ++k) {
        if (type == 1)
            state.accumulated += Norm(xr[k], xi[k]) * 0.125;
        else if (plain)
            state.accumulated += Norm(xr[k], xi[k]) / twoZ;
        if (++state.counter < des1)
            continue;
        double v = 0.0;
        if (type == 1 || plain)
            v = state.accumulated;
        else if (type == 2)
            v = (groups > 0 ? y[out] : 0.0) / twoZ;
        else if (type == 3)
            v = y[out] / twoZ;
        else
            v = std::norm(std::complex<double>(des2 > 0 ? FirstPresentAt(re, im, h + k, std::min(des2, ringLength))
                                                        : std::complex<float>())) /
                twoZ;
        power[out++] += v;
        state.accumulated = 0.0;
        state.counter = 0;
    }
    return out;
}

}  // namespace

int CNVU::ConvertSamples(const CSampleRingBuffer& ring, int channel, int readIndex, int count, int type, int des1,
                         int des2, int fpaDecimation, const FilterRecord& f, double twoZ, ChainState& state,
                         double* power)
{
    ConversionWork& w = t_work;
    // Coefficients beyond those the record holds are never read.
    const int length =
        std::max(0, std::min({f.length, static_cast<int>(f.real.size()), static_cast<int>(f.imaginary.size())}));
    const bool filtered = length > 0;
    // No filter and no group reaches further back than the ring holds.
    const int ringLength = ring.GetSampleCount();
    const long long reach =
        std::min<long long>(static_cast<long long>(length) * std::max(1, fpaDecimation), ringLength);
    int taps = length;
    if (type == 2)
        taps = des2 > 0 ? static_cast<int>(std::min<long long>(length, ringLength / des2)) : 0;
    // Type 2 sums from the oldest group, whose coefficient is the last.
    double* cr = Room(w.cr, static_cast<std::size_t>(taps));
    double* ci = Room(w.ci, static_cast<std::size_t>(taps));
    for (int t = 0; t < taps; ++t) {
        const auto c = static_cast<std::size_t>(type == 2 ? taps - 1 - t : t);
        cr[t] = static_cast<double>(f.real[c] * f.inverse);
        ci[t] = static_cast<double>(f.imaginary[c] * f.inverse);
    }
    int out = 0;
    for (int done = 0; done < count;) {
        const int n = std::min(kChunk, count - done);
        out += ConvertChunk(w, ring, channel, ring.WrapIndex(static_cast<long long>(readIndex) + done), n, type, des1,
                            des2, filtered, taps, reach, twoZ, state, power + out);
        done += n;
    }
    return out;
}

void CNVU::ProcessPing(std::uint64_t pingTime)
{
    if (m_stop.load())
        return;
    std::uint32_t header[8];
    GetTrawlHeader(header);
    for (Block& b : m_blocks) {
        if (!b.valid)
            continue;
        TransducerOffsets transducer;
        {
            const auto lock = LockRecords();
            transducer = {b.record->transducerDepth, b.record->transducerX, b.record->transducerY};
        }
        std::uint32_t motion[12];
        GetPingMotion(m_services.Motion(), pingTime, b.channel->GetBottomDepth(), GetSoundVelocity(), transducer,
                      motion);
        b.channel->SetInputHeader(header);
        b.channel->SetInputParameters(motion);
        b.channel->AddPing(pingTime);
    }
    if (m_fixed.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

void CNVU::DumpLastPing(const CSampleRingBuffer::PingRecord& rec)
{
    const std::string path = CPaths::InDataRoot(m_timings.lastPingDumpPath);
    if (path.empty())
        return;
    std::string text;
    text += Format("WantedSampleInterval \t%g\nSamplesReceived \t%u\nSamplesRequested \t%u\n", m_wantedInterval.load(),
                   static_cast<unsigned>(rec.samplesReceived), static_cast<unsigned>(rec.samplesRequested));
    text += Format("SampleRate \t%f\nStartSample \t%u\n", static_cast<double>(rec.sampleRate),
                   static_cast<unsigned>(rec.startSampleNumber));
    for (std::size_t c = 0; c < m_blocks.size(); ++c) {
        const Block& b = m_blocks[c];
        if (!b.valid)
            continue;
        const StructChannelParameters r = PingRecordOf(b);
        text += Format("Channel %i\tPingLength \t%i\tFrequency \t%f\tTxPower \t%f\tiFpaDec \t%i\n",
                       static_cast<int>(c) + 1, b.produced, r.frequency, r.txPower, b.fpaDecimation);
    }
    for (int i = 0; i < 500; ++i) {
        const int at = m_ring->WrapIndex(static_cast<long long>(rec.startIndex) + 200 + i);
        float v[kMaxChannels][2] = {};
        DWORD number = 0;
        for (int c = 0; c < kMaxChannels; ++c)
            m_ring->ReadSample(&v[c][0], &v[c][1], &number, at, c);
        text +=
            Format("NVUTime \t%i\tImg_0   \t%f\tReal_0  \t%f\tImg_1   \t%f\tReal_1  \t%f\tImg_2   \t%f\tReal_2  "
                   "\t%f\tImg_3   \t%f\tReal_3  \t%f\n",
                   static_cast<int>(number), v[0][0], v[0][1], v[1][0], v[1][1], v[2][0], v[2][1], v[3][0], v[3][1]);
    }
    if (FILE* f = std::fopen(path.c_str(), "a")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

// ---------------------------------------------------------------------------
// Receive thread

void CNVU::ReceiveThread()
{
    std::vector<BYTE> buffer(qy42::kMaxReceived + 1);
    m_lastSampleTick = CFileTime::MonotonicMs();
    while (!m_stop.load() && !m_refused.load()) {
        if (m_waiting.load())
            Send(nvu::VersionRequest(RandomToken()));
        const int n = m_link->Receive(buffer.data(), buffer.size(), m_timings.receiveWaitMs);
        if (!TakeReceived(n, buffer.data()))
            break;
    }
}

bool CNVU::TakeReceived(int result, const BYTE* data)
{
    if (result == IDatagramLink::kTimeout) {
        CountSilence();
        return true;
    }
    if (result == IDatagramLink::kForeign)
        return true;
    if (result < 0)
        return false;
    if (static_cast<std::size_t>(result) > qy42::kMaxReceived || result < 4) {
        ++m_dropped;
        return true;
    }
    HandleDatagram(data, static_cast<std::size_t>(result));
    return true;
}

void CNVU::HandleDatagram(const BYTE* data, std::size_t size)
{
    const std::string code = qy42::CodeOf(data, size);
    if (code == "RSD#") {
        HandleSamples(data, size);
        return;
    }
    if (CFileTime::MonotonicMs() - m_lastSampleTick > 1000) {
        CountSilence(false);
        m_lastSampleTick = CFileTime::MonotonicMs();
    }
    if (code == "INFO")
        HandleInformation(data, size);
    else if (code == "VA")
        HandleVersionAnswer(data, size);
    else if (code == "ACI")
        HandleAnalogInputs(data, size);
    else if (code == "DCSA")
        m_services.HardwareStatus().ShowStatus(data, size);
    else if (code == "TSS#")
        HandleTransmitStarted();
    else
        ++m_dropped;
}

void CNVU::HandleSamples(const BYTE* data, std::size_t size)
{
    int result = m_ring->WriteSamples(data, size);
    for (int tries = 1; result == CSampleRingBuffer::kOverrun && tries < 11 && !m_stop.load(); ++tries) {
        Pause(m_timings.ringRetryMs);
        result = m_ring->WriteSamples(data, size);
    }
    if (result == CSampleRingBuffer::kPingComplete)
        ++m_pingsInRing;
    else if (result == CSampleRingBuffer::kMalformed)
        ++m_dropped;
    m_lastSampleTick = CFileTime::MonotonicMs();
    m_silence = 0;
}

void CNVU::HandleTransmitStarted()
{
    m_ring->ModifyPingRecord(m_ring->GetWriteSlot(), [](CSampleRingBuffer::PingRecord& p) { p.triggerStatusSeen = 1; });
    m_ring->NextPing();
}

void CNVU::CountSilence(bool timeout)
{
    // Silence counts only while a ping is on its way.
    if (!PingInFlight() || !m_ring)
        return;
    const auto slot = m_ring->GetPingRecord(m_ring->GetWriteSlot());
    ++m_silence;
    if (m_silence == 9) {
        // Stands in for what never came, so that a partly received ping ends.
        std::vector<BYTE> placeholder(kPlaceholderSize, 0);
        if (m_ring->WriteSamples(placeholder.data(), placeholder.size()) == CSampleRingBuffer::kPingComplete)
            ++m_pingsInRing;
        ++m_placeholders;
    }
    if (m_silence > 10) {
        if (timeout && !m_timings.timeoutLogPath.empty()) {
            if (FILE* f = std::fopen(CPaths::InDataRoot(m_timings.timeoutLogPath).c_str(), "a")) {
                std::fprintf(f, "Sample requsted %i recived %i\n", static_cast<int>(slot.samplesRequested),
                             static_cast<int>(slot.samplesReceived));
                std::fclose(f);
            }
        }
        WriteDiagnosticReport(timeout                     ? CNvuDiagnosticReport::kTimeout
                              : slot.samplesReceived == 0 ? CNvuDiagnosticReport::kRequestedNoneCame
                                                          : CNvuDiagnosticReport::kStoppedArriving);
        m_configured = false;
        m_processing = false;
        AbandonPingInFlight();
        ++m_linkLosses;
        if (ITransceiverOwner* owner = GetEchoSounder())
            owner->SetLinkLost();
        m_silence = 0;
    }
}

void CNVU::AppendLog(const std::string& text)
{
    std::lock_guard<std::mutex> lock(m_textLock);
    m_informationLog += text;
    // The log is for the operator; it must not grow without end.
    if (m_informationLog.size() > kMaxLog)
        m_informationLog.erase(0, m_informationLog.size() - kMaxLog);
}

void CNVU::HandleInformation(const BYTE* data, std::size_t size)
{
    const auto read = qy42::ReadInformation(data, size);
    if (!read) {
        ++m_dropped;
        return;
    }
    const qy42::Information& info = *read;
    if (!m_configured.load() && (info.type == 3 || info.type == 4))
        m_silence = 0;
    AppendLog(Format("NVU INFORMATION MESSAGES: \r\n\tLength: %i \r\n\tID: %s \r\n\tType: %u \r\n\tNumber: %u "
                     "\r\n\tText: %.300s  \r\n\r\n",
                     static_cast<int>(size), "INFO", info.type, info.number, info.text.c_str()));
    if (info.type == 1 && info.number == 2111)
        Send(nvu::Trigger(false, m_lastRequested.load()));
    const std::string& t = info.text;
    if (t == "Programming succeeded.") {
        // Under the wait's lock: the upgrade worker waits for this.
        std::lock_guard<std::mutex> lock(m_waitLock);
        m_reprogramming = false;
    }
    if (t == "HC") {
        m_hardwareChanged = true;
        m_mask = 1;
    } else if (t == "HD") {
        m_configured = false;
        m_processing = false;
        m_mask = 0;
        std::lock_guard<std::mutex> lock(m_textLock);
        m_informationLog.clear();
    } else if (t == "RC#" && info.type == 4) {
        if (m_mask.load() == 1)
            m_mask = 3;
    } else if (info.type == 3 && t.size() == 13 && t.compare(0, 2, "rx") == 0 && t.compare(3, 10, "filter.txt") == 0 &&
               t[2] >= '0' && t[2] <= '3') {
        m_mask = m_mask.load() | (4 << (t[2] - '0'));
    } else if (t == "SYNC" && info.type == 4) {
        if (m_mask.load() == 63)
            m_mask = 127;
    } else if (t == "TC" && info.type == 4) {
        if (m_mask.load() == 127)
            m_mask = kSetupComplete;
        if (m_mask.load() == kSetupComplete) {
            if (!m_configured.load())
                AbandonPingInFlight();
            m_processing = true;
            m_configured = true;
            m_configuredBefore = true;
        }
    }
    m_waitCv.notify_all();
}

void CNVU::HandleVersionAnswer(const BYTE* data, std::size_t size)
{
    const auto a = qy42::ReadVersionAnswer(data, size);
    if (!a) {
        ++m_dropped;
        return;
    }
    const std::string text = a->version.substr(0, 1000);
    {
        std::lock_guard<std::mutex> lock(m_textLock);
        m_versionText = text;
    }
    if (a->refused) {
        if (!m_refused.load())
            m_services.Beep(1000, 2000);
        m_refused = true;
        m_configured = false;
        m_waitCv.notify_all();
        return;
    }
    const std::size_t at = text.find("Serial no.");
    if (at != std::string::npos) {
        const std::string rest = text.substr(at + 10, text.find_first_of("\r\n", at) - (at + 10));
        m_serial = static_cast<std::uint32_t>(std::strtoul(rest.c_str(), nullptr, 10));
    }
    m_answered = true;
    m_waitCv.notify_all();
    m_services.HardwareStatus().FormatStatus(data, size);
    if (m_configureRequest.exchange(false))
        UpgradeFirmware(text);
}

void CNVU::HandleAnalogInputs(const BYTE* data, std::size_t size)
{
    const auto a = qy42::ReadAuxiliaryInput(data, size);
    if (!a) {
        ++m_dropped;
        return;
    }
    // The sample index counts from the ping's start at the wanted interval.
    const double offset = static_cast<double>(a->sampleNumber) * m_wantedInterval.load() * 1e7;
    const int slot = m_ring->GetWriteSlot();
    std::uint64_t start = m_ring->GetPingRecord(slot).startTime;
    if (start == 0)
        start = m_ring->GetPingRecord(slot - 1).startTime;
    if (start != 0 && std::isfinite(offset) && offset >= 0.0) {
        const AnalogMotionSample sample{start + static_cast<std::uint64_t>(offset), Hundredths(a->motion[2]),
                                        Hundredths(a->motion[1]), Hundredths(a->motion[0])};
        m_services.AnalogMotion().AddAnalogSamples(m_info.transceiverId, &sample, 1);
    }
    m_services.Thermistor().SetResistance(m_info.transceiverId, a->thermistorOhms);
    // The event key: the first datagram only tells its state; a press after
    // that posts one event.
    const bool closed = (a->flags & 0x02) != 0;
    const bool was = m_eventInput.exchange(closed);
    if (m_eventSeen && closed && !was)
        ::PostMessage(::GetMainWindow(), WM_COMMAND, kEventAnnotation, 0);
    m_eventSeen = true;
}
