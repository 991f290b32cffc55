#include "engine/TSDetection.h"

#include "base/Archive.h"
#include "engine/DetectionDialogs.h"
#include "engine/RawPower.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <utility>
#include <vector>

using rawpower::kDbPerUnit;
using rawpower::kUnitsPerDb;
using rawpower::Round;
using rawpower::Trunc;

namespace {

constexpr double kPhaseStep = 180.0 / 128.0;  // electrical degrees per phase unit
constexpr int kSplitLevels[] = {87, 172, 257, 342, 427};
constexpr int kHysteresis = 42;
constexpr int kOwnMaximumCut = 512;  // 6.02 dB

int ClampInt(std::int64_t v)
{
    return static_cast<int>(std::clamp<std::int64_t>(v, -(1 << 30), 1 << 30));
}

double Linear(int raw)
{
    return std::pow(10.0, raw * kDbPerUnit / 10.0);
}

struct AxisStats
{
    double Mean = 0.0;
    double Deviation = 0.0;
};

AxisStats Stats(const std::uint16_t* angles, int from, int to, int shift)
{
    const int n = to - from;
    AxisStats s;
    if (n <= 0)
        return s;
    double sum = 0.0, sumSq = 0.0;
    for (int i = from; i < to; ++i) {
        const double a = static_cast<std::int8_t>((angles[i] >> shift) & 0xFF);
        sum += a;
        sumSq += a * a;
    }
    s.Mean = sum / n;
    s.Deviation = n < 3 ? 0.0 : std::sqrt(std::fabs(sumSq - sum * sum / n) / n);
    return s;
}

}  // namespace

bool CTSDetection::IsValid(const Settings& s)
{
    auto in = [](double v, double lo, double hi) { return std::isfinite(v) && v >= lo && v <= hi; };
    return in(s.MinEchoLength, 0.0, 5.0) && in(s.MaxEchoLength, 0.0, 5.0) && in(s.MaxGainCompensation, 0.0, 6.0) &&
           in(s.MaxPhaseDeviation, 0.0, 10.0);
}

bool CTSDetection::SetSettings(const Settings& s)
{
    if (!IsValid(s))
        return false;
    std::lock_guard lock(m_lock);
    m_settings = s;
    return true;
}

CTSDetection::Settings CTSDetection::GetSettings() const
{
    std::lock_guard lock(m_lock);
    return m_settings;
}

bool CTSDetection::OnSettings()
{
    if (!m_dialogs)
        return false;
    Settings s = GetSettings();
    if (m_dialogs->RunTSDetection(s))
        SetSettings(s);
    return true;
}

void CTSDetection::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        const Settings s = GetSettings();
        ar << s.MinEchoLength << s.MaxEchoLength << s.MaxGainCompensation << s.MaxPhaseDeviation;
        return;
    }
    Settings s;
    ar >> s.MinEchoLength >> s.MaxEchoLength >> s.MaxGainCompensation >> s.MaxPhaseDeviation;
    // Values no dialog could have produced leave the detector as it was.
    SetSettings(s);
}

CTSDetection::EchoSizes CTSDetection::ComputeSizes(double pulseDuration, double d) const
{
    return ComputeSizes(GetSettings(), pulseDuration, d);
}

CTSDetection::EchoSizes CTSDetection::ComputeSizes(const Settings& settings, double pulseDuration, double d)
{
    EchoSizes e;
    if (!(d > 0.0) || !std::isfinite(pulseDuration))
        return e;
    e.Pulse = std::max(ClampInt(Round(1500.0 * pulseDuration / 2.0 / d)), 0);
    e.MinEcho = std::max(ClampInt(Round(settings.MinEchoLength * e.Pulse)), 2);
    e.MaxEcho = ClampInt(Round(settings.MaxEchoLength * e.Pulse));
    return e;
}

int CTSDetection::BeamCompensation(double along, double athwart, double alongWidth, double athwartWidth)
{
    if (!(alongWidth != 0.0) || !(athwartWidth != 0.0))
        return 0;
    const double x = along / (alongWidth / 2.0);
    const double y = athwart / (athwartWidth / 2.0);
    return ClampInt(Round(512.0 * (x * x + y * y - 0.18 * x * x * y * y)));
}

int CTSDetection::RefinePeak(const std::int16_t* w, int count, int peak)
{
    if (peak < 2 || peak + 2 >= count)
        return w[peak];
    const double p0 = Linear(w[peak]);
    const double m1 = Linear(w[peak - 1]);
    const double p1 = Linear(w[peak + 1]);
    const double m2 = Linear(w[peak - 2]);
    const double p2 = Linear(w[peak + 2]);
    const double d = 2.0 * p0 - m1 - p1;
    if (!(d > 0.01 * p0))
        return w[peak];
    const double c = (m1 - p1) * (m1 - p1) / (8.0 * d);
    if (p0 - m2 < 2.0 * c || p0 - p2 < 2.0 * c)
        return w[peak];
    return ClampInt(Trunc(10.0 * std::log10(p0 + c) * kUnitsPerDb));
}

bool CTSDetection::HasMultiplePeaks(const std::int16_t* w, int n, int peak)
{
    n = std::min(n, kMaxEchoWindow);
    for (const int level : kSplitLevels) {
        const int threshold = peak - level;
        bool above = false;
        int phase = 0;  // 0 before the first run, 1 in it, 2 in the gap after it
        for (int i = 0; i < n; ++i) {
            above = above ? (w[i] >= threshold - kHysteresis) : (w[i] >= threshold);
            if (above) {
                if (phase == 0)
                    phase = 1;
                else if (phase == 2)
                    return true;
            } else if (phase == 1) {
                phase = 2;
            }
        }
    }
    return false;
}

int CTSDetection::Detect(const std::int16_t* power, const std::uint16_t* angles, int count,
                         const TSPingParameters& ping, SingleTargetRecord& table) const
{
    table.Count = 0;
    table.Targets.fill(TSTarget{});
    if (ping.BottomDepth != 0.0 && ping.BottomDepth < ping.SurfaceReference)
        return 0;
    const bool split = ping.SplitBeam;
    if (split && (ping.AlongSensitivity == 0.0 || ping.AthwartSensitivity == 0.0 || ping.AlongBeamWidth == 0.0 ||
                  ping.AthwartBeamWidth == 0.0 || angles == nullptr))
        return 0;
    const double d = ping.SampleDistance;
    if (power == nullptr || count <= 0 || !(d > 0.0))
        return 1;

    const Settings settings = GetSettings();
    const EchoSizes sizes = ComputeSizes(settings, ping.PulseDuration, d);
    const int p = sizes.Pulse;
    const int end = static_cast<int>(std::clamp<std::int64_t>(Round((ping.WindowEnd - ping.FirstRange) / d), 0, count));
    const int T = ClampInt(Trunc(ping.MinimumTS * kUnitsPerDb));
    const int G = ClampInt(Trunc(2.0 * settings.MaxGainCompensation * kUnitsPerDb));
    const int thresholds[3] = {T - G - 512, T - (G + 512) / 2, T};
    const int correction =
        ping.CorrectionRange > 0.0 ? ClampInt(Trunc(20.0 * std::log10(ping.CorrectionRange) * kUnitsPerDb)) : 0;

    std::vector<std::uint8_t> empty(static_cast<std::size_t>(end));
    std::vector<std::pair<int, int>> entered;
    auto isEmpty = [&](int q) { return q < 0 || q >= end || empty[static_cast<std::size_t>(q)] != 0; };

    for (const int threshold : thresholds) {
        for (int i = 0; i < end; ++i)
            empty[static_cast<std::size_t>(i)] = power[i] < threshold ? 1 : 0;
        for (const auto& [a, b] : entered)
            for (int q = std::max(a - p, 0); q < std::min(b + p, end); ++q)
                empty[static_cast<std::size_t>(q)] = 1;

        int i = 0;
        while (i < end) {
            if (isEmpty(i)) {
                ++i;
                continue;
            }
            const int rs = i;
            while (i < end && !isEmpty(i))
                ++i;
            const int re = i;
            const int len = re - rs;
            if (len < sizes.MinEcho || (len > 4 * p && len >= sizes.MaxEcho))
                continue;
            const int mx = *std::max_element(power + rs, power + re);
            for (int q = rs; q < re; ++q)
                if (power[q] < mx - kOwnMaximumCut)
                    empty[static_cast<std::size_t>(q)] = 1;

            int q = rs;
            while (q < re) {
                if (isEmpty(q)) {
                    ++q;
                    continue;
                }
                const int a = q;
                while (q < re && !isEmpty(q))
                    ++q;
                const int b = q;
                const int sl = b - a;
                if (sl < sizes.MinEcho || sl > sizes.MaxEcho)
                    continue;
                bool clear = true;
                for (int k = 1; k <= p && clear; ++k)
                    clear = isEmpty(a - k) && isEmpty(b - 1 + k);
                if (!clear)
                    continue;
                if (table.Count >= SingleTargetRecord::kMaxTargets)
                    return 1;

                const int pk = static_cast<int>(std::max_element(power + a, power + b) - power);
                const int peak = power[pk];
                const int wa = std::max(a - p, 0);
                const int wb = std::min({b + p, end, wa + kMaxEchoWindow});

                double along = 0.0, athwart = 0.0;
                int compensation = 0;
                if (split) {
                    const AxisStats al = Stats(angles, a, b, 8);
                    const AxisStats at = Stats(angles, a, b, 0);
                    if (al.Deviation > settings.MaxPhaseDeviation || at.Deviation > settings.MaxPhaseDeviation)
                        continue;
                    along = al.Mean * kPhaseStep / ping.AlongSensitivity - ping.AlongOffset;
                    athwart = at.Mean * kPhaseStep / ping.AthwartSensitivity - ping.AthwartOffset;
                    compensation = BeamCompensation(along, athwart, ping.AlongBeamWidth, ping.AthwartBeamWidth);
                    if (compensation >= G)
                        continue;
                }
                if (HasMultiplePeaks(power + wa, wb - wa, peak))
                    continue;
                const int ts = RefinePeak(power, count, pk) - correction + compensation;
                const double tsDb = ts * kDbPerUnit;
                if (!(tsDb > ping.MinimumTS))
                    continue;

                // Backscattering: the samples within 12 dB of the peak on
                // each side, at most a maximum echo length each way.
                const int cut = peak - ClampInt(Trunc(12.0 * kUnitsPerDb));
                double sum = 0.0;
                for (int k = pk, steps = 0; k >= 0 && power[k] > cut && steps < std::max(sizes.MaxEcho, 1);
                     --k, ++steps)
                    sum += Linear(power[k] - correction);
                for (int k = pk + 1, steps = 0; k < end && power[k] > cut && steps < sizes.MaxEcho; ++k, ++steps)
                    sum += Linear(power[k] - correction);

                TSTarget& t = table.Targets[static_cast<std::size_t>(table.Count)];
                t.Range = a * d + ping.FirstRange;
                t.TS = tsDb;
                t.TSUncompensated = (peak - correction) * kDbPerUnit;
                t.AlongAngle = split ? along : 0.0;
                t.AthwartAngle = split ? athwart : 0.0;
                t.Backscattering = rawpower::kFourPiNmiSquared * d * sum;
                ++table.Count;
                entered.emplace_back(a, b);
            }
        }
    }
    return 1;
}
