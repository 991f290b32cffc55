#include "engine/Channel.h"

#include "base/AppIds.h"
#include "base/Archive.h"
#include "engine/BottomDetector.h"
#include "engine/CalibrateRun.h"
#include "engine/ColorScaleDialogs.h"
#include "engine/EchogramColumn.h"
#include "engine/Noise.h"
#include "engine/RawPower.h"
#include "engine/Slope.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

using rawpower::kNoEcho;
using rawpower::Round;
using rawpower::Trunc;

namespace {

constexpr double kPi = 3.14159265;
constexpr double kWaveSpeed = 1470.6;

double SafeLog10(double x)
{
    // A record with a zero power, frequency or pulse must not turn every
    // constant into infinity; the smallest positive double keeps the
    // result finite and the 16-bit conversions saturate.
    return std::log10(std::max(x, 1e-300));
}

double WavelengthTerm(double frequency)
{
    return 20.0 * SafeLog10(kWaveSpeed / (4.0 * kPi * std::max(frequency, 1e-300)));
}

std::string StripReplay(const std::string& name)
{
    static const std::string tag = "Replay ";
    if (name.find("Replay") == std::string::npos)
        return name;
    std::string s = name;
    const auto pos = s.find(tag);
    if (pos != std::string::npos)
        s.erase(pos, tag.size());
    return s;
}

}  // namespace

CChannel::CChannel(const Construction& c)
    : m_transceiver(c.Transceiver),
      m_channelId(c.ChannelId),
      m_channelName(c.ChannelName),
      m_sourceName(c.SourceName),
      m_frequency(c.Frequency),
      m_beamTerm(c.BeamTerm),
      m_correction{c.Correction[0], c.Correction[1]},
      m_beamType(c.BeamType),
      m_beamWidthAlong(c.BeamWidthAlongship),
      m_beamWidthAthwart(c.BeamWidthAthwartship),
      m_beamAngle(c.BeamAngle),
      m_sensitivityAlong(c.AngleSensitivityAlongship),
      m_sensitivityAthwart(c.AngleSensitivityAthwartship),
      m_offsetAlong(c.AngleOffsetAlongship),
      m_offsetAthwart(c.AngleOffsetAthwartship),
      m_links(c.Links ? c.Links : &m_defaultLinks),
      m_params(c.Parameters),
      m_pending(c.Parameters),
      m_input(kMaxSamples),
      m_ping(kMaxSamples),
      m_colorScale(c.ChannelName),
      m_tsDetection(m_links->GetDetectionDialogs())
{
    for (auto& t : m_tvg)
        t.assign(kMaxSamples, 0);
    for (auto& e : m_echo)
        e.assign(kMaxSamples, kNoEcho);
    BuildTvgTables();
    BuildConstants();
    const double si = m_params.SampleInterval;
    m_soundVelocity.store(si > 0.0 ? 2.0 * m_params.SampleDistance / si : 1500.0);
    if (c.StandardParts)
        AttachStandardParts();
}

void CChannel::AttachStandardParts()
{
    CBottomDetector::Construction b;
    b.SourceName = m_sourceName;
    b.SampleDistance = m_params.SampleDistance;
    b.Model = Links().GetModel();
    IChannelLinks* links = m_links;
    b.ExternalDepth = [links](int index, std::string& name, double& depth) {
        return links->GetExternalDepthSource(index, name, depth);
    };
    b.Dialogs = links->GetDetectionDialogs();
    b.SettingsFolder = links->GetSettingsFolder();
    SetBottomDetector(std::make_unique<CBottomDetector>(b));
    SetNoiseEstimator(std::make_unique<CNoise>());
    SetSlopeTracker(std::make_unique<CSlope>(links->GetDetectionDialogs()));
}

bool CChannel::RunBottomDetectorDialog(bool& bottomLostWarning, bool& minAlarm, bool& maxAlarm, double& minAlarmDepth,
                                       double& maxAlarmDepth)
{
    IBottomDetector* detector;
    {
        Lock lock(m_lock);
        detector = m_detector.get();
    }
    // The channel may be deleted in the dialog's nested loop: nothing of it
    // is touched once the dialog returns.
    return detector != nullptr &&
           detector->RunDialog(bottomLostWarning, minAlarm, maxAlarm, minAlarmDepth, maxAlarmDepth);
}

void CChannel::GetBottomSamplesDb(double* out, int n, int first) const
{
    Lock lock(m_lock);
    if (m_detector) {
        m_detector->GetBottomSamplesDb(out, n, first);
        return;
    }
    for (int i = 0; i < n; ++i)
        out[i] = rawpower::kNoEchoDb;
}

void CChannel::GetBottomCandidates(SBottomCandidate (&out)[IBottomDetector::kMaxCandidates]) const
{
    Lock lock(m_lock);
    if (m_detector) {
        m_detector->GetCandidates(out);
        return;
    }
    for (SBottomCandidate& c : out)
        c = {};
}

IBottomDetector::Limits CChannel::GetBottomLimits() const
{
    Lock lock(m_lock);
    return m_detector ? m_detector->GetLimits() : IBottomDetector::Limits{};
}

CChannel::~CChannel() = default;

void CChannel::SetBottomDetector(std::unique_ptr<IBottomDetector> detector)
{
    Lock lock(m_lock);
    m_detector = std::move(detector);
}

void CChannel::SetNoiseEstimator(std::unique_ptr<INoiseEstimator> noise)
{
    Lock lock(m_lock);
    m_noiseEstimator = std::move(noise);
}

void CChannel::SetSlopeTracker(std::unique_ptr<ISlopeTracker> slope)
{
    Lock lock(m_lock);
    m_slope = std::move(slope);
}

void CChannel::SerializeBottomDetector(CArchive& ar)
{
    Lock lock(m_lock);
    if (m_detector) {
        m_detector->Serialize(ar);
        return;
    }
    if (ar.IsStoring()) {
        ar << m_bottomLayout[0] << m_bottomLayout[1] << m_bottomLayout[2];
        return;
    }
    double v[3];
    ar >> v[0] >> v[1] >> v[2];
    std::copy_n(v, 3, m_bottomLayout);
}

void CChannel::SerializeSlope(CArchive& ar)
{
    Lock lock(m_lock);
    if (m_slope) {
        m_slope->Serialize(ar);
        return;
    }
    if (ar.IsStoring()) {
        ar << static_cast<LONG>(m_slopeLayout[0]) << static_cast<LONG>(m_slopeLayout[1]);
        return;
    }
    LONG v[2];
    ar >> v[0] >> v[1];
    m_slopeLayout[0] = v[0];
    m_slopeLayout[1] = v[1];
}

void CChannel::SerializeColorScale(CArchive& ar)
{
    Lock lock(m_lock);
    m_colorScale.Serialize(ar);
}

// ---- Sonar equation -------------------------------------------------------

double CChannel::ComputeTsConstant(double power, double gain, double frequency)
{
    return -(10.0 * SafeLog10(power) + 2.0 * gain + WavelengthTerm(frequency));
}

double CChannel::ComputeSvConstant(double power, double gain, double frequency, double psi, double pulse)
{
    return -(10.0 * SafeLog10(power) + 2.0 * gain + psi + 10.0 * SafeLog10(pulse * kWaveSpeed / 2.0) +
             WavelengthTerm(frequency));
}

double CChannel::ComputeTsConstantEx(double power, double gain, double frequency, double psi)
{
    return -(10.0 * SafeLog10(power) + 2.0 * gain + psi + WavelengthTerm(frequency));
}

void CChannel::BuildTvgTable(std::int16_t* table, int size, double k, double alpha, double frequency, double pulse,
                             double d, double limitDb, double range)
{
    // Every word is written: words the gain never reaches stay 0.
    std::fill_n(table, size, std::int16_t{0});
    if (!(d > 0.0))
        return;
    const double r0 = (frequency > 0.0 ? 12.6 / frequency * 1500.0 * 0.5 : 0.0) + 1500.0 * pulse * 0.25;
    const double rs = r0 > 1.0 ? r0 : 1.0;
    const std::int64_t n = std::min<std::int64_t>(Trunc(range / d + 1e-9), size);
    const std::int16_t limitWord = rawpower::Saturate16(Trunc(limitDb * rawpower::kUnitsPerDb));
    for (std::int64_t i = 0; i < n; ++i) {
        const double r = static_cast<double>(i + 1) * d;
        if (!(r > rs))
            continue;
        const double x = r - r0;
        const double g = k * std::log10(x) + 2.0 * alpha * x;
        if (g < 0.0)
            table[i] = 0;
        else if (g >= limitDb)
            table[i] = limitWord;
        else
            table[i] = rawpower::Saturate16(Trunc(g * rawpower::kUnitsPerDb));
    }
}

void CChannel::BuildConstants()
{
    const auto& p = m_params;
    m_tsConstant = ComputeTsConstant(p.TransmitPower, p.Gain, m_frequency);
    m_svConstant = ComputeSvConstant(p.TransmitPower, p.Gain, m_frequency, m_beamTerm, p.PulseLength);
    m_pointConstant = ComputeTsConstantEx(p.TransmitPower, p.Gain, m_frequency, m_beamTerm);
}

void CChannel::BuildTvgTables()
{
    const auto& p = m_params;
    const double d = p.SampleDistance;
    const double range = (kMaxSamples - 100) * d;
    const bool limit40 = Links().GetModel() == SounderModel::RM30 && m_colorScale.GetLimit40Log();
    BuildTvgTable(m_tvg[kTvg20].data(), kMaxSamples, 20.0, p.Absorption, m_frequency, p.PulseLength, d, 300.0, range);
    BuildTvgTable(m_tvg[kTvg30].data(), kMaxSamples, 30.0, p.Absorption, m_frequency, p.PulseLength, d, 300.0, range);
    BuildTvgTable(m_tvg[kTvgBottom].data(), kMaxSamples, 20.0, p.Absorption, m_frequency, p.PulseLength, d, 80.0,
                  range);
    BuildTvgTable(m_tvg[kTvg40].data(), kMaxSamples, 40.0, p.Absorption, m_frequency, p.PulseLength, d,
                  limit40 ? 100.0 : 300.0, range);
}

CChannel::TvgRecord CChannel::GetTvgRecord(int echogramType) const
{
    // As BuildTvgTables makes them: every table runs from the transducer to
    // its last sample, limited at 300 dB (the 40 log table of an RM30 with
    // its limit switch at 100 dB).
    Lock lk(m_lock);
    const double to = (kMaxSamples - 100) * m_params.SampleDistance;
    switch (echogramType) {
    case Sv:
    case Point20Log:
    case Point30Log:
        return {0.0, to, 300.0};
    case TS: {
        const bool limit40 = Links().GetModel() == SounderModel::RM30 && m_colorScale.GetLimit40Log();
        return {0.0, to, limit40 ? 100.0 : 300.0};
    }
    default:
        return {};
    }
}

void CChannel::FilterRawSamples(std::int16_t* out, const std::int16_t* in, int size, const std::int16_t* tvg,
                                int tvgSize, double d, double thresholdDb, double constantDb, double range,
                                const FilterSwitches& sw, int tvgOffset)
{
    if (!(d > 0.0) || !out || !in || !tvg || tvgSize <= 0)
        return;
    const int n = static_cast<int>(std::min<std::int64_t>(Round(range / d), size));
    if (n <= 0)
        return;
    const int thr = rawpower::Saturate16(Trunc(thresholdDb * rawpower::kUnitsPerDb));
    const int c = rawpower::Saturate16(Trunc(constantDb * rawpower::kUnitsPerDb));
    const int lastTvg = tvgSize - 1;

    if (!sw.Median && !sw.Compression) {
        // The common case, kept free of branches so that it vectorises:
        // every echogram of every ping runs through here.
        const std::int64_t direct = std::clamp<std::int64_t>(std::int64_t{lastTvg} - tvgOffset + 1, 0, n);
        const int from = static_cast<int>(std::clamp<std::int64_t>(-std::int64_t{tvgOffset}, 0, direct));
        auto one = [&](int i, int t) {
            const int sum = std::clamp(tvg[t] + in[i] + c, -32768, 32767);
            out[i] = static_cast<std::int16_t>(in[i] > thr ? sum : kNoEcho);
        };
        for (int i = 0; i < from; ++i)
            one(i, 0);
        calibrate::CalibrateRun(out + from, in + from, tvg + (from + tvgOffset), static_cast<int>(direct) - from, thr,
                                c);
        for (int i = static_cast<int>(direct); i < n; ++i)
            one(i, lastTvg);
        return;
    }

    const int width = std::clamp(sw.MedianWidth, 1, 50);
    std::int16_t window[50];

    for (int i = 0; i < n; ++i) {
        const int raw = in[i];
        if (raw <= thr) {
            out[i] = kNoEcho;
            continue;
        }
        int v = raw;
        if (sw.Median) {
            const int lo = std::max(0, i - (width - 1) / 2);
            const int hi = std::min(n, lo + width);
            const int w = hi - lo;
            std::copy(in + lo, in + hi, window);
            const int mid = static_cast<int>(Trunc(w * 0.5 - 0.5));
            std::nth_element(window, window + mid, window + w);
            v = window[mid];
        }
        const std::int64_t t = std::min<std::int64_t>(std::max<std::int64_t>(std::int64_t{i} + tvgOffset, 0), lastTvg);
        std::int64_t sum = std::int64_t{tvg[t]} + v + c;
        if (sw.Compression) {
            double x =
                std::pow(10.0, rawpower::Saturate16(sum) * rawpower::kDbPerUnit / 10.0) * sw.CompressionScale * 1000.0;
            x = std::min(x, 20.0);
            sum += Trunc(x * rawpower::kUnitsPerDb);
        }
        out[i] = rawpower::Saturate16(sum);
    }
}

void CChannel::SetFilterSwitches(const FilterSwitches& sw)
{
    Lock lock(m_lock);
    m_switches = sw;
    m_computed.fill(false);
}

bool CChannel::WantsFilterValues() const
{
    Lock lock(m_lock);
    return !m_filterValuesTaken;
}

bool CChannel::TakeFilterValues(const std::array<int, kFilterValueCount>& values)
{
    Lock lock(m_lock);
    // Two documents of one channel may both see it wanting them; the first
    // one's values stand.
    if (m_filterValuesTaken)
        return false;
    for (std::size_t i = 0; i < values.size(); ++i)
        m_filterValues[i] = values[i];
    m_filterValuesTaken = true;
    return true;
}

void CChannel::RequestFilterValues()
{
    Lock lock(m_lock);
    m_filterValuesTaken = false;
}

CChannel::FilterValues CChannel::GetFilterValues() const
{
    Lock lock(m_lock);
    return m_filterValues;
}

// ---- Intake ---------------------------------------------------------------

const std::int16_t* CChannel::SetSampleBlock(std::uint32_t blockId, int stride, int count, const std::int16_t* words,
                                             int availableWords)
{
    return m_input.SetSampleBlock(blockId, stride, count, words, availableWords);
}

void CChannel::AddPowerSamples(const std::int16_t* words, int n, int blockNumber)
{
    if (m_previousRequested.load(std::memory_order_relaxed) < 0)
        return;
    m_input.AddPowerSamples(words, n, blockNumber);
}

void CChannel::AddFloatSamples(const float* first, const float* second, const std::uint32_t* third, float floatValue,
                               int n, double doubleValue)
{
    if (m_previousRequested.load(std::memory_order_relaxed) < 0)
        return;
    m_input.AddFloatSamples(first, second, third, floatValue, n, doubleValue);
}

void CChannel::AddAngleSamples(const std::uint16_t* words, int n, int blockNumber)
{
    if (m_previousRequested.load(std::memory_order_relaxed) < 0)
        return;
    m_input.AddAngleSamples(words, n, blockNumber);
}

void CChannel::ExchangePowerSamples(std::vector<std::int16_t>& words, int n, int blockNumber)
{
    if (m_previousRequested.load(std::memory_order_relaxed) < 0)
        return;
    m_input.ExchangePowerSamples(words, n, blockNumber);
}

void CChannel::ExchangeAngleSamples(std::vector<std::uint16_t>& words, int n, int blockNumber)
{
    if (m_previousRequested.load(std::memory_order_relaxed) < 0)
        return;
    m_input.ExchangeAngleSamples(words, n, blockNumber);
}

void CChannel::SetInputHeader(const std::uint32_t words[8])
{
    m_input.SetInputHeader(words);
}
void CChannel::SetInputParameters(const std::uint32_t words[12])
{
    m_input.SetInputParameters(words);
}
bool CChannel::SetDiagnostics(int adCount, const std::uint32_t* w)
{
    return m_input.SetDiagnostics(adCount, w);
}
bool CChannel::SetAdDiagnostics(int adCount, const std::uint32_t* w)
{
    return m_input.SetAdDiagnostics(adCount, w);
}

void CChannel::SetSecondLayer(bool on)
{
    Lock lock(m_lock);
    if (m_detector)
        m_detector->SetSecondLayerOn(on);
}

bool CChannel::IsSecondLayerOn() const
{
    Lock lock(m_lock);
    return m_detector && m_detector->IsSecondLayerOn();
}

void CChannel::MakeSimplePingerChannel()
{
    if (m_simplePinger.exchange(true))
        return;
    m_channelName += " Pinger";
}

void CChannel::SetChannelParameters(const ChannelParameters& params)
{
    Lock lock(m_lock);
    m_pending = params;
    m_pendingSet = true;
}

// ---- Ping -----------------------------------------------------------------

void CChannel::AddPing(std::uint64_t pingTime)
{
    Lock lock(m_lock);
    m_pingCount.fetch_add(1, std::memory_order_relaxed);
    m_hasPing = true;
    m_previousRequested.store(m_requested, std::memory_order_relaxed);
    m_previousRange = m_requested * m_params.SampleDistance;
    m_computed.fill(false);
    m_processed = false;
    m_requested = 0;
    m_recordTaken = false;
    m_recordStart = 0;
    m_firstType = 0;
    m_firstTypeSet = false;
    m_detected = false;

    const double sv = m_soundVelocity.load(std::memory_order_relaxed);
    if (sv > 1400.0 && sv < 2000.0)
        m_input.SetSoundVelocity(sv);

    IChannelLinks& links = Links();
    links.OnPingTime(pingTime);
    const bool timing = links.IsPingTimingOn();
    m_input.SetPingInfoRecording(timing);
    if (timing)
        m_input.AddPingInfo(pingTime, links.GetPingTimingRange());
    else
        m_input.AddPingInfo(pingTime, 0.0);

    // Pinger processing goes through the links; adapt it to the input's hook.
    // The pinger listens on the first channel of the first unit only; the
    // others keep their samples (and take the pinger's TVG offset).
    struct PingerAdapter final : IPingerSamples
    {
        IChannelLinks& l;
        double interval;
        std::uint64_t time;
        PingerAdapter(IChannelLinks& links, double sampleInterval, std::uint64_t pingTime)
            : l(links), interval(sampleInterval), time(pingTime)
        {}
        int ProcessSamples(std::int16_t* s, int n) override { return l.ProcessPingerSamples(s, n, interval, time); }
    } pinger(links, m_params.SampleInterval, pingTime);
    const bool pingerChannel = GetChannelId() == 0 && links.IsPingerActive();
    m_input.TakePing(m_ping, m_params.SampleInterval, pingerChannel ? &pinger : nullptr);
    if (m_ping.TraceCount > 0) {
        m_traceCounterBefore = m_traceCounterAtPing;
        m_tracedPings = std::min(m_tracedPings + 1, 2);
    }
    m_traceCounterAtPing = m_ping.Trace3.empty() ? 0u : m_ping.Trace3[0];

    if (timing)
        UpdateMotionLocked();

    if (m_pendingSet) {
        const ChannelParameters& o = m_params;
        const ChannelParameters& n = m_pending;
        const bool tvgChange =
            o.Absorption != n.Absorption || o.SampleDistance != n.SampleDistance || o.PulseLength != n.PulseLength;
        const bool constChange = o.PulseLength != n.PulseLength || o.TransmitPower != n.TransmitPower;
        const bool distanceChange = o.SampleDistance != n.SampleDistance;
        m_params = m_pending;
        if (distanceChange && m_params.SampleInterval > 0.0)
            m_soundVelocity.store(2.0 * m_params.SampleDistance / m_params.SampleInterval, std::memory_order_relaxed);
        if (m_colorScale.TakeChangeFlag() || tvgChange)
            BuildTvgTables();
        if (constChange)
            BuildConstants();
        m_pendingSet = false;
    } else if (m_colorScale.TakeChangeFlag()) {
        BuildTvgTables();
    }

    const double d = m_params.SampleDistance;
    if (m_noiseEstimator && m_ping.PowerCount > 0)
        m_noise = m_noiseEstimator->GetNoiseLevel(m_ping.Power.data(), m_ping.PowerCount, m_noise, d, 0.0,
                                                  m_ping.PowerCount * d);
    m_noiseThreshold = m_noiseSwitch ? m_noise + m_noiseMargin : -200.0;
}

void CChannel::UpdateMotionLocked()
{
    const std::uint64_t t = m_ping.PingTime;
    if (t == 0)
        return;
    const double sv = m_soundVelocity.load(std::memory_order_relaxed);
    const double travel = sv > 0.0 ? 2.0 * GetBottomDepth() / sv : 0.0;
    double atTx[4] = {};
    double atRx[4] = {};
    IChannelLinks& links = Links();
    if (!links.GetMotionAtTime(t, m_params, atTx))
        return;  // no motion sensor: the unit's own motion words stay
    const auto delay = static_cast<std::uint64_t>(std::clamp(travel * 1.0e7, 0.0, 1.0e12));
    if (!links.GetMotionAtTime(t + delay, m_params, atRx))
        std::copy_n(atTx, 4, atRx);
    m_ping.Motion[0] = (atTx[0] + atRx[0]) * 0.5;
    m_ping.Motion[1] = atTx[1];
    m_ping.Motion[2] = atTx[2];
    m_ping.Motion[3] = atRx[1];
    m_ping.Motion[4] = atRx[2];
    m_ping.Motion[5] = (atTx[3] + atRx[3]) * 0.5;
}

const std::int16_t* CChannel::EchogramLocked(int echogramType)
{
    int index;
    int tvg;
    double constant;
    switch (echogramType) {
    case 0x100:
        index = kBottom;
        tvg = kTvgBottom;
        constant = m_pointConstant;
        break;  // internal: bottom
    case Sv:
        index = kSv;
        tvg = kTvg20;
        constant = m_svConstant;
        break;
    // Target strength has no beam term: with the point constant's two-way
    // beam angle a -45 dB target would show some 20 dB too strong.
    case TS:
        index = kTs;
        tvg = kTvg40;
        constant = m_tsConstant;
        break;
    case Point20Log:
        index = kPoint20;
        tvg = kTvg20;
        constant = m_pointConstant;
        break;
    case Point30Log:
        index = kPoint30;
        tvg = kTvg30;
        constant = m_pointConstant;
        break;
    default:
        return m_ping.Power.data();
    }
    if (!m_computed[static_cast<std::size_t>(index)]) {
        IChannelLinks& links = Links();
        const double d = m_params.SampleDistance;
        int offset = 0;
        if (links.IsPingerActive() && d > 0.0)
            offset = rawpower::ClampToInt(Round(links.GetPingerRange() / d));
        FilterRawSamples(m_echo[static_cast<std::size_t>(index)].data(), m_ping.Power.data(), m_ping.PowerCount,
                         m_tvg[static_cast<std::size_t>(tvg)].data(), kMaxSamples, d, m_noiseThreshold, constant,
                         m_ping.PowerCount * d, m_switches, offset);
        m_computed[static_cast<std::size_t>(index)] = true;
    }
    return m_echo[static_cast<std::size_t>(index)].data();
}

bool CChannel::ProcessPing(double* depth, double* levelDb)
{
    std::optional<DepthReport> report;
    bool found;
    double outDepth;
    double outLevel;
    {
        Lock lock(m_lock);
        found = ProcessPingLocked(report);
        outDepth = m_bottomDepth.load(std::memory_order_relaxed);
        outLevel = m_bottomLevel;
    }
    if (report)
        DeliverDepth(*report);
    if (depth)
        *depth = outDepth;
    if (levelDb)
        *levelDb = outLevel;
    return found;
}

bool CChannel::ProcessPingLocked(std::optional<DepthReport>& report)
{
    if (m_processed || !m_hasPing)
        return m_found;
    m_accumulateCalls = 0;
    const std::int16_t* w = EchogramLocked(0x100);
    m_processed = true;
    m_bottomProcessed = true;

    IChannelLinks& links = Links();
    const double d = m_params.SampleDistance;
    const double heave = m_ping.Motion[5];
    const double offset = m_params.Draught() + heave + links.GetDepthOffset();
    const double range = m_ping.PowerCount * d;

    double depth = 0.0;
    double level = -99.0;
    double next = m_nextRange;
    bool found = false;
    if (m_detector && m_ping.PowerCount > 0 && d > 0.0)
        found =
            m_detector->DetectBottom(w, m_ping.PowerCount, offset, m_params.PulseLength, d, range, depth, level, next);
    m_nextRange = next;

    m_realSvp = links.IsRealSvp();
    double corrected = depth;
    if (found && m_realSvp && m_detector) {
        const double oneWay = m_detector->GetBottomIndexPlusOne() * m_params.SampleInterval * 0.5;
        corrected = links.GetDepthFromTravelTime(oneWay, offset + m_detector->GetNegatedFraction());
        depth = corrected;
    }

    if (m_detector && m_detector->IsBottomSmoothingOn() && !m_detector->IsAlternativeDetectorOn()) {
        if (!found) {
            if (m_missCount < 4 && m_lastDepth != 0.0) {
                depth = m_lastDepth;
                level = m_lastLevel;
                corrected = m_lastCorrected;
                found = true;
            } else {
                depth = corrected = m_lastDepth = 0.0;
                level = m_lastLevel = -99.0;
            }
            m_detector->SetTrackedBottom(offset < depth ? depth - offset : depth, level);
            ++m_missCount;
        } else {
            m_missCount = 0;
            m_lastDepth = depth;
            m_lastLevel = level;
            m_lastCorrected = corrected;
        }
    }
    if (!found) {
        depth = 0.0;
        corrected = 0.0;
        level = -99.0;
    }

    m_found = found;
    m_bottomDepth.store(depth, std::memory_order_relaxed);
    m_bottomLevel = level;
    m_correctedDepth = corrected;

    if (m_slope) {
        double knots = 0.0;
        const double speed = links.GetSpeedKnots(knots) ? knots * 1852.0 / 3600.0 : 0.0;
        m_slope->AddPoint(depth, speed, m_ping.PingTime);
    }

    DepthReport r;
    r.SourceName = m_sourceName;
    r.ChannelId = GetChannelId();
    r.PingTime = m_ping.PingTime;
    r.Depth = found ? depth : 0.0;
    r.BottomLevel = found ? level : 0.0;
    r.DraughtAndOffset = m_params.Draught() + links.GetDepthOffset();
    r.Heave = heave;
    r.Frequency = m_frequency;
    r.TransducerDepth = m_params.TransducerDepth;
    r.FurtherValue = GetSoundVelocity();
    r.Excluded = m_params.IsExcludedFromDepthOutputs();
    report = std::move(r);
    return m_found;
}

void CChannel::DeliverDepth(const DepthReport& report)
{
    IChannelLinks& links = Links();
    if (!report.Excluded)
        links.OnBottomDepth(report);
    links.OnDepthOutputs(report);
}

bool CChannel::ProcessPingData()
{
    const std::string name = StripReplay(m_sourceName);
    ExternalDepthWindow window;
    if (!Links().FindExternalDepthWindow(name, window))
        return false;
    std::int16_t block[kMaxExternalSamples];
    const int n = std::clamp(window.SampleCount, 0, kMaxExternalSamples);
    if (n > 0 && GetPingSamples(block, n, window.Length, window.Start, window.EchogramType, External))
        Links().SetExternalDepthBlock(name, block, n);
    return true;
}

// ---- Single targets ---------------------------------------------------------

void CChannel::SetLinkFlag(bool on)
{
    Lock lock(m_lock);
    if (on)
        m_parametersPending = true;
    m_linkFlag.store(on);
}

void CChannel::SetCalibrationHandOver(ICalibrationHandOver* handOver)
{
    Lock lock(m_lock);
    m_handOver = handOver;
}

int CChannel::GetSingleTargets(SingleTargetRecord& out)
{
    std::optional<DepthReport> report;
    SCalibrationHandOverResult handOver;
    int result;
    {
        Lock lock(m_lock);
        if (!m_detected && m_hasPing)
            DetectSingleTargetsLocked(report, handOver);
        out = m_singleTargets;
        result = m_detectionResult;
    }
    if (report)
        DeliverDepth(*report);
    // A failure of the hand-over is told without stopping the pings: the box
    // is posted once the lock is free and nobody waits for it.
    if (!handOver.boxCaption.empty())
        PostMessageBox(0, handOver.boxText, handOver.boxCaption, MB_OK | MB_ICONSTOP);
    return result;
}

void CChannel::DetectSingleTargetsLocked(std::optional<DepthReport>& report, SCalibrationHandOverResult& handOver)
{
    // The targets' strength comes from the TS samples, whose 40 log R
    // already holds the range: the detection corrects no further.
    const std::int16_t* ts = EchogramLocked(TS);
    const bool found = ProcessPingLocked(report);
    IChannelLinks& links = Links();
    const double d = m_params.SampleDistance;
    const double surface = m_params.Draught() + m_ping.Motion[5] + links.GetDepthOffset() + links.GetTide();
    const bool split = m_beamType != 0;
    const int count = split ? std::min(m_ping.PowerCount, m_ping.AngleCount) : m_ping.PowerCount;

    TSPingParameters p;
    p.FirstRange = surface;
    p.WindowEnd = surface + count * d;
    p.SampleDistance = d;
    p.PulseDuration = m_params.PulseLength;
    p.MinimumTS = m_colorScale.GetValueBySelector(2);
    p.SurfaceReference = surface;
    p.BottomDepth = found ? m_bottomDepth.load(std::memory_order_relaxed) : 0.0;
    p.SplitBeam = split;
    p.AlongSensitivity = m_sensitivityAlong;
    p.AthwartSensitivity = m_sensitivityAthwart;
    p.AlongOffset = m_offsetAlong;
    p.AthwartOffset = m_offsetAthwart;
    p.AlongBeamWidth = m_beamWidthAlong;
    p.AthwartBeamWidth = m_beamWidthAthwart;
    m_detectionResult = m_tsDetection.Detect(ts, split ? m_ping.Angles.data() : nullptr, count, p, m_singleTargets);
    m_detected = true;

    const SounderModel model = links.GetModel();
    if (model != SounderModel::TQ30 && model != SounderModel::TOTAL)
        return;
    links.SendEchoTraceTelegram(GetChannelId(), m_ping.PingTime, m_singleTargets);
    if (!m_linkFlag.load() || !m_handOver)
        return;
    SCalibrationChannelValues v;
    v.Frequency = m_frequency;
    v.Power = m_params.TransmitPower;
    v.BeamWidthAlong = m_beamWidthAlong;
    v.BeamWidthAthwart = m_beamWidthAthwart;
    v.BeamType = m_beamType;
    v.Gain = m_params.Gain;
    v.TwoWayBeamAngle = m_params.TwoWayBeamAngle;
    v.SensitivityAlong = m_sensitivityAlong;
    v.SensitivityAthwart = m_sensitivityAthwart;
    v.OffsetAlong = m_offsetAlong;
    v.OffsetAthwart = m_offsetAthwart;
    v.PulseLength = m_params.PulseLength;
    v.SampleDistance = d;
    v.MinimumTS = p.MinimumTS;
    v.Detection = m_tsDetection.GetSettings();
    v.Absorption = m_params.Absorption;
    handOver = m_handOver->HandOver(*this, v, m_parametersPending, m_singleTargets, m_ping.PingTime);
    if (handOver.parametersSent)
        m_parametersPending = false;
    if (handOver.linkOff)
        m_linkFlag.store(false);
}

// ---- Ranges ---------------------------------------------------------------

int CChannel::RangeToSample(double range, double distance) const
{
    double d = distance;
    if (!(d > 0.0)) {
        Lock lock(m_lock);
        d = m_params.SampleDistance;
    }
    if (!(d > 0.0))
        return 0;
    return rawpower::ClampToInt(Round(range / d));
}

double CChannel::SampleToRange(int index, double distance) const
{
    double d = distance;
    if (!(d > 0.0)) {
        Lock lock(m_lock);
        d = m_params.SampleDistance;
    }
    return index * d;
}

void CChannel::RequestRange(double range)
{
    Lock lock(m_lock);
    RequestRangeLocked(range);
}

void CChannel::RequestRangeLocked(double range)
{
    double r = range;
    if (m_frequency <= 30000.0 && Links().GetModel() == SounderModel::QY210)
        r = std::min(range, 100.0);
    const double d = m_params.SampleDistance;
    if (!(d > 0.0))
        return;
    const std::int64_t s = std::clamp<std::int64_t>(Round(r / d), 0, kMaxSamples);
    m_requested = std::max(m_requested, static_cast<int>(s));
}

int CChannel::ComputeSampleCount(double distance, bool* recordTaken, int* recordStart)
{
    IChannelLinks& links = Links();
    double fixedTime = 0.0;
    const bool fixedRange = links.GetFixedRangeTime(fixedTime);
    const double soundVelocity = fixedRange ? links.GetSoundVelocity() : 0.0;

    Lock lock(m_lock);
    const double d = m_params.SampleDistance;
    const double given = distance > 0.0 ? distance : d;
    auto toSample = [](double r, double dist) -> std::int64_t { return dist > 0.0 ? Round(r / dist) : 0; };
    std::int64_t count = 0;
    if (fixedRange) {
        const double r = 1.9 * fixedTime * soundVelocity * 0.5;
        if (m_detector)
            m_detector->SetMaximumDepth(r);
        count = toSample(r, given);
    } else {
        // The units size the next ping on the trigger thread while the
        // ping-data thread handles this one: right after its AddPing its
        // readers have not asked yet and its bottom is not processed, and a
        // ping sized from that alone would end above the bottom. So the
        // range asked over this ping and the one before counts (a shorter
        // one takes a ping longer), and the last bottom processed.
        if (links.GetModel() != SounderModel::QYNVU) {
            const double range = std::max(m_requested * d, m_previousRange);
            count = (range > 0.0 && given > 0.0) ? Trunc(range / given + 0.5) : 0;
        } else {
            count = std::max(m_previousRequested.load(std::memory_order_relaxed), 0);
        }
        if (m_bottomProcessed && m_detector) {
            const double r = m_found ? m_nextRange : m_detector->GetMaximumDepth();
            count = std::max(count, toSample(r, d));
        }
    }
    if (m_frequency <= 30000.0 && links.GetModel() == SounderModel::QY210)
        count = std::min(count, toSample(100.0, d));
    const std::int64_t draughtSamples = toSample(m_params.Draught(), d);
    count -= draughtSamples;
    count = std::clamp<std::int64_t>(count, 0, kMaxSamples);
    if (recordTaken)
        *recordTaken = m_recordTaken;
    if (recordStart)
        *recordStart = static_cast<int>(std::max<std::int64_t>(m_recordStart - draughtSamples, 0));
    return static_cast<int>(count);
}

// ---- Outputs --------------------------------------------------------------

void CChannel::GetChannelParameters(ParameterCopy& out) const
{
    Lock lock(m_lock);
    out.Parameters = m_params;
    out.Frequency = m_frequency;
    std::copy_n(m_ping.Motion, 6, out.Motion);
    std::copy_n(m_ping.Header, 8, out.Header);
    out.Power.assign(m_ping.Power.begin(), m_ping.Power.begin() + m_ping.PowerCount);
    out.Angles.assign(m_ping.Angles.begin(), m_ping.Angles.begin() + m_ping.AngleCount);
}

void CChannel::GetPingMotion(double (&out)[6]) const
{
    Lock lock(m_lock);
    std::copy_n(m_ping.Motion, 6, out);
}

void CChannel::GetTraceBuffers(TraceCopy& out) const
{
    Lock lock(m_lock);
    const auto n = static_cast<std::size_t>(m_ping.TraceCount);
    out.First.assign(m_ping.Trace1.begin(), m_ping.Trace1.begin() + static_cast<std::ptrdiff_t>(n));
    out.Second.assign(m_ping.Trace2.begin(), m_ping.Trace2.begin() + static_cast<std::ptrdiff_t>(n));
    out.Third.assign(m_ping.Trace3.begin(), m_ping.Trace3.begin() + static_cast<std::ptrdiff_t>(n));
    out.Value = m_ping.TraceFloat;
    out.SampleDistance = m_ping.TraceDouble * m_soundVelocity.load(std::memory_order_relaxed) * 0.5;
}

void CChannel::SetBottomDetectorMode(int, const std::string&, int mode, const std::string& text)
{
    Lock lock(m_lock);
    m_displayMode = mode;
    m_displayText = text;
    if (m_detector)
        m_detector->SetDisplayMode(mode, text);
}

int CChannel::GetDisplayMode() const
{
    Lock lock(m_lock);
    return m_displayMode;
}

std::string CChannel::GetDisplayText() const
{
    Lock lock(m_lock);
    return m_displayText;
}

ChannelParameters CChannel::GetParameters() const
{
    Lock lock(m_lock);
    return m_params;
}

ChannelParameters CChannel::GetNextParameters() const
{
    Lock lock(m_lock);
    return m_pendingSet ? m_pending : m_params;
}

CChannel::StatusValues CChannel::GetStatusValues() const
{
    Lock lock(m_lock);
    StatusValues v;
    // The settings in force from the next ping: a change made in a dialog
    // shows as soon as it is told, not a ping later.
    const ChannelParameters& p = m_pendingSet ? m_pending : m_params;
    v.Draught = p.Draught();
    v.Power = p.TransmitPower;
    v.PulseLength = p.PulseLength;
    const IBottomDetector::Limits limits =
        m_detector ? m_detector->GetLimits()
                   : IBottomDetector::Limits{m_bottomLayout[1], m_bottomLayout[0], m_bottomLayout[2]};
    v.MinimumDepth = limits.minimumDepth;
    v.MaximumDepth = limits.maximumDepth;
    v.BackStep = limits.backstep;
    v.TvgType = m_statusTvgType;
    return v;
}

void CChannel::GetPingCounters(std::uint32_t& low, std::uint32_t& high) const
{
    Lock lock(m_lock);
    low = static_cast<std::uint32_t>(m_ping.PingTime);
    high = static_cast<std::uint32_t>(m_ping.PingTime >> 32);
}

std::uint64_t CChannel::GetPingTime() const
{
    Lock lock(m_lock);
    return m_ping.PingTime;
}

bool CChannel::GetCorrectedBottomDepth(double& depth) const
{
    Lock lock(m_lock);
    depth = m_correctedDepth;
    return m_realSvp;
}

double CChannel::GetBottomLevelValue() const
{
    Lock lock(m_lock);
    return m_found ? m_bottomLevel : 0.0;
}

double CChannel::GetLastPingValue() const
{
    Lock lock(m_lock);
    return m_ping.Motion[5];
}

void CChannel::GetStatusWords(std::uint32_t out[8]) const
{
    Lock lock(m_lock);
    std::copy_n(m_ping.Header, 8, out);
}

void CChannel::GetStatusWords12(std::uint32_t out[12]) const
{
    Lock lock(m_lock);
    std::memcpy(out, m_ping.Motion, sizeof m_ping.Motion);
}

void CChannel::GetStatusRecord17(AdDiagnostics& out) const
{
    Lock lock(m_lock);
    out = m_ping.Diagnostics;
}

void CChannel::GetStatusRecord9(AdValues& out) const
{
    Lock lock(m_lock);
    out = m_ping.Values;
}

double CChannel::GetNoiseLevel() const
{
    Lock lock(m_lock);
    return m_noise;
}

void CChannel::SetNoiseThresholdSwitch(bool on, double marginDb)
{
    Lock lock(m_lock);
    m_noiseSwitch = on;
    m_noiseMargin = marginDb;
}

int CChannel::GetSampleCount() const
{
    Lock lock(m_lock);
    return m_ping.PowerCount;
}

double CChannel::GetTsConstant() const
{
    Lock lock(m_lock);
    return m_tsConstant;
}

double CChannel::GetSvConstant() const
{
    Lock lock(m_lock);
    return m_svConstant;
}

double CChannel::GetPointConstant() const
{
    Lock lock(m_lock);
    return m_pointConstant;
}

// ---- Slope ----------------------------------------------------------------

bool CChannel::GetSlopeAngle(double& degrees) const
{
    Lock lock(m_lock);
    degrees = 0.0;
    return m_slope && m_slope->GetSlopeAngle(degrees);
}

bool CChannel::GetSlopeHistoryValue(int placesBack, double& value) const
{
    Lock lock(m_lock);
    return m_slope && m_slope->GetHistoryValue(placesBack, value);
}

double CChannel::GetSlopeDistance(int a, int b) const
{
    Lock lock(m_lock);
    return m_slope ? m_slope->GetDistance(a, b) : 0.0;
}

int CChannel::GetSlopeHalfPointCount() const
{
    Lock lock(m_lock);
    return m_slope ? m_slope->GetHalfPointCount() : 0;
}

void CChannel::UpdateSlopeValidity(bool valid)
{
    Lock lock(m_lock);
    if (m_slope)
        m_slope->UpdateValidity(valid);
}

bool CChannel::IsSlopeValid() const
{
    Lock lock(m_lock);
    return m_slope && m_slope->IsValid();
}

void CChannel::SetSlopeHistorySize(int columns)
{
    Lock lock(m_lock);
    if (m_slope)
        m_slope->SetHistorySize(columns);
}

bool CChannel::IsSlopeEnabled() const
{
    Lock lock(m_lock);
    return m_slope && m_slope->IsEnabled();
}

bool CChannel::EditSlopeSettings()
{
    // The dialog runs modally on the user-interface thread: not under the
    // channel lock, which the ping-data thread needs meanwhile; the tracker
    // applies the dialog's values under a lock of its own. The channel may be
    // deleted in the dialog's nested loop: nothing of it is touched after.
    ISlopeTracker* slope;
    {
        Lock lock(m_lock);
        slope = m_slope.get();
    }
    return slope && slope->EditSettings();
}

// ---- Colour scale and echogram document values ------------------------------

double CChannel::GetValueBySelector(int selector) const
{
    Lock lock(m_lock);
    return m_colorScale.GetValueBySelector(selector);
}

void CChannel::SetValueBySelector(int selector, double levelDb)
{
    Lock lock(m_lock);
    m_colorScale.SetValueBySelector(selector, levelDb);
}

int CChannel::GetColorIndex(double valueDb, int selector) const
{
    Lock lock(m_lock);
    return m_colorScale.GetColorIndex(valueDb, selector);
}

void CChannel::GetColorScale(CColorScaleSettings& scale) const
{
    Lock lock(m_lock);
    scale = m_colorScale;
}

void CChannel::SetLimit40Log(bool on)
{
    Lock lock(m_lock);
    m_colorScale.SetLimit40Log(on);
}

int CChannel::OnColorScale()
{
    IColorScaleDialogs* dialogs = Links().GetColorScaleDialogs();
    if (!dialogs)
        return 0;
    ColorScaleDialogValues v;
    {
        Lock lock(m_lock);
        v = m_colorScale.MakeDialogValues(ColorScaleDialogOf(Links().GetModel()));
    }
    // The pings go on while the dialog runs; its nested loop may delete the
    // sounder and this channel with it, whose record then ends the dialog.
    CModalSession session(m_colorScale.DialogSlot());
    const int result = dialogs->RunColorScale(v, session.Opened());
    if (session.OwnerGone() || result == -1)
        return 0;
    if (result == IDOK) {
        Lock lock(m_lock);
        m_colorScale.TakeDialogValues(v);
    }
    return 1;
}

void CChannel::SetEchogramInfo(bool sidescan, bool publish, const std::string& partner, bool slantCorrection)
{
    Lock lock(m_lock);
    m_sidescan = sidescan;
    m_publish = publish;
    m_partner = partner;
    m_slantCorrection = slantCorrection;
}

std::string CChannel::GetSecondName() const
{
    Lock lock(m_lock);
    return m_sidescan && m_publish ? m_partner : std::string();
}

void CChannel::SetEchogramValue(double v)
{
    Lock lock(m_lock);
    m_echogramValue = v;
}

double CChannel::GetEchogramValue() const
{
    Lock lock(m_lock);
    return m_echogramValue;
}

void CChannel::AccumulateFlag(int flag)
{
    Lock lock(m_lock);
    if (m_accumulateCalls++ == 0)
        m_accumulated = 0;
    m_accumulated |= flag;
}

int CChannel::GetAccumulatedFlag() const
{
    Lock lock(m_lock);
    return m_accumulated;
}

void CChannel::SetFirstEchogramType(int type)
{
    bool changed = false;
    {
        Lock lock(m_lock);
        if (m_firstTypeSet)
            return;
        m_firstType = type;
        m_firstTypeSet = true;
        changed = type != m_statusTvgType;
        m_statusTvgType = type;
    }
    // The status window shows it as the channel's TVG: it is told when the
    // first ping makes it known and when the echogram's type changes.
    if (changed)
        PostMessage(GetMainWindow(), app::WM_ES_UPDATECHANNELSTATUS, 0, 0);
}

int CChannel::GetFirstEchogramType() const
{
    Lock lock(m_lock);
    return m_firstType;
}

void CChannel::SetEchogramStartRange(double r)
{
    Lock lock(m_lock);
    m_echogramStart = r;
}

void CChannel::SetEchogramStopRange(double r)
{
    Lock lock(m_lock);
    m_echogramStop = r;
}

void CChannel::SetEchogramMode(int mode)
{
    Lock lock(m_lock);
    m_echogramMode = mode;
}

int CChannel::GetEchogramSide() const
{
    Lock lock(m_lock);
    return m_echogramMode;
}
