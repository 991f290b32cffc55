// Cost of a channel's per-ping work. The target: one core keeps up with 8
// channels of 30,000 samples at 20 pings a second (160 pings/s) in under a
// quarter of its time, i.e. under about 1.56 ms per ping.
#include "engine/Channel.h"
#include "engine/EchogramColumn.h"
#include "engine/RawPower.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int N = CChannel::kMaxSamples;

std::vector<std::int16_t> SyntheticPing()
{
    // Noise around -150 dB, a fish layer and a long bottom echo.
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(-150.0, 3.0);
    std::vector<std::int16_t> s(N);
    for (int i = 0; i < N; ++i)
        s[static_cast<std::size_t>(i)] = rawpower::DbToRaw(noise(rng));
    for (int i = 8000; i < 8400; i += 7)
        s[static_cast<std::size_t>(i)] = rawpower::DbToRaw(-90.0);
    for (int i = 20000; i < 20600; ++i)
        s[static_cast<std::size_t>(i)] = rawpower::DbToRaw(-40.0 - (i - 20000) * 0.05);
    return s;
}

ChannelParameters Params()
{
    ChannelParameters p;
    p.SampleDistance = 0.05;
    p.SampleInterval = 0.05 * 2.0 / 1500.0;
    return p;
}

// Arg: the log factor of the table (20 Sv/point, 30, 40 TS; 0 the bottom
// table, 20 log limited to 80 dB).
void BM_FilterRawSamples(benchmark::State& state)
{
    const int k = static_cast<int>(state.range(0));
    std::vector<std::int16_t> tvg(N), out(N);
    CChannel::BuildTvgTable(tvg.data(), N, k == 0 ? 20 : k, 0.01, 38000.0, 0.001, 0.05, k == 0 ? 80.0 : 300.0,
                            (N - 100) * 0.05);
    const auto in = SyntheticPing();
    const CChannel::FilterSwitches sw;
    for (auto _ : state) {
        CChannel::FilterRawSamples(out.data(), in.data(), N, tvg.data(), N, 0.05, -144.0, -10.77, N * 0.05, sw);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * N);
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(N), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FilterRawSamples)->Arg(0)->Arg(20)->Arg(30)->Arg(40);

void BM_FilterRawSamplesMedian(benchmark::State& state)
{
    std::vector<std::int16_t> tvg(N), out(N);
    CChannel::BuildTvgTable(tvg.data(), N, 20, 0.01, 38000.0, 0.001, 0.05, 300.0, (N - 100) * 0.05);
    const auto in = SyntheticPing();
    CChannel::FilterSwitches sw;
    sw.Median = true;
    sw.MedianWidth = 3;
    for (auto _ : state) {
        CChannel::FilterRawSamples(out.data(), in.data(), N, tvg.data(), N, 0.05, -200.0, -10.77, N * 0.05, sw);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(N), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FilterRawSamplesMedian);

// One ping of 30,000 samples: intake in blocks, AddPing, ProcessPing (bottom
// echogram; no detector is plugged in here) and two 800-pixel echogram
// columns, Sv and TS. The counter pings_per_core_s says how many such pings
// one core does in a second; 160 is the load of 8 channels at 20 Hz.
void BM_PingThroughChannel(benchmark::State& state)
{
    CChannel::Construction c;
    c.Parameters = Params();
    CChannel ch(c);
    ch.SetNoiseThresholdSwitch(false);
    const auto s = SyntheticPing();
    std::vector<std::int16_t> col(800);
    std::uint64_t t = 1;
    for (auto _ : state) {
        for (int b = 0; b < N; b += 1000)
            ch.AddPowerSamples(s.data() + b, 1000, b / 1000);
        ch.AddPing(t++);
        double depth = 0.0;
        ch.ProcessPing(&depth);
        ch.GetPingSamples(col.data(), 800, N * 0.05, 0.0, CChannel::Sv, CChannel::FromTransducer);
        ch.GetPingSamples(col.data(), 800, N * 0.05, 0.0, CChannel::TS, CChannel::FromTransducer);
        benchmark::DoNotOptimize(col.data());
    }
    state.counters["pings_per_core_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PingThroughChannel)->Unit(benchmark::kMicrosecond);

// Sv and TS of every sample: a ping of 10,000 samples through the channel
// and both columns drawn one pixel a sample, as a replay that keeps every
// value does.
void BM_SvTsOfEverySample(benchmark::State& state)
{
    constexpr int kCount = 10000;
    CChannel::Construction c;
    c.Parameters = Params();
    CChannel ch(c);
    ch.SetNoiseThresholdSwitch(false);
    const auto s = SyntheticPing();
    std::vector<std::int16_t> col(kCount);
    std::uint64_t t = 1;
    for (auto _ : state) {
        ch.AddPowerSamples(s.data(), kCount, 0);
        ch.AddPing(t++);
        double depth = 0.0;
        ch.ProcessPing(&depth);
        ch.GetPingSamples(col.data(), kCount, kCount * 0.05, 0.0, CChannel::Sv, CChannel::FromTransducer);
        ch.GetPingSamples(col.data(), kCount, kCount * 0.05, 0.0, CChannel::TS, CChannel::FromTransducer);
        benchmark::DoNotOptimize(col.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * kCount * 2);
}
BENCHMARK(BM_SvTsOfEverySample)->Unit(benchmark::kMicrosecond);

// The column resampling alone. Args: samples in the window, pixels.
void BM_ResampleColumn(benchmark::State& state)
{
    const auto s = SyntheticPing();
    const int samples = static_cast<int>(state.range(0));
    const int pixels = static_cast<int>(state.range(1));
    std::vector<std::int16_t> col(static_cast<std::size_t>(pixels));
    for (auto _ : state) {
        echogram::ResampleColumn(s.data(), N, 0.05, 0.0, samples * 0.05, col.data(), pixels);
        benchmark::DoNotOptimize(col.data());
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * samples);
}
BENCHMARK(BM_ResampleColumn)
    ->Args({10000, 10000})
    ->Args({10000, 15000})
    ->Args({1000, 800})
    ->Args({10000, 800})
    ->Unit(benchmark::kMicrosecond);

// The same with zoomed columns: 100 m windows drawn over 800 pixels, where
// each sample spans several pixels.
void BM_ZoomedColumns(benchmark::State& state)
{
    CChannel::Construction c;
    c.Parameters = Params();
    CChannel ch(c);
    const auto s = SyntheticPing();
    ch.AddPowerSamples(s.data(), N, 0);
    ch.AddPing(1);
    std::vector<std::int16_t> col(800);
    for (auto _ : state) {
        ch.GetPingSamples(col.data(), 800, 20.0, 990.0, CChannel::Sv, CChannel::FromTransducer);
        benchmark::DoNotOptimize(col.data());
    }
}
BENCHMARK(BM_ZoomedColumns)->Unit(benchmark::kMicrosecond);

// Single targets of a split-beam ping of 30,000 samples with more echoes
// than the record holds (it keeps 99): the first request of a ping prepares
// the TS samples and detects; a repeat request copies the record.
constexpr double kTargetD = 0.05;  // m per sample: a 0.27 ms pulse is 4 samples

std::unique_ptr<CChannel> SplitBeamChannel()
{
    CChannel::Construction c;
    c.Parameters.PulseLength = 0.000267;
    c.Parameters.TransmitPower = 1000.0;
    c.Parameters.Absorption = 0.01;
    c.Parameters.Gain = 26.0;
    c.Parameters.TwoWayBeamAngle = -20.6;
    c.Parameters.SampleDistance = kTargetD;
    c.Parameters.SampleInterval = kTargetD * 2.0 / 1500.0;
    c.Frequency = 38000.0;
    c.BeamType = 1;
    c.BeamWidthAlongship = 7.0;
    c.BeamWidthAthwartship = 7.0;
    c.AngleSensitivityAlongship = 21.0;
    c.AngleSensitivityAthwartship = 21.0;
    return std::make_unique<CChannel>(c);
}

// 120 echoes of -45 dB, one every 240 samples, over a quiet floor: raw
// power words that the channel's TS samples turn back into these.
void FeedTargets(CChannel& ch, std::uint64_t time)
{
    static const std::vector<std::int16_t> power = [] {
        std::vector<std::int16_t> tvg(N);
        CChannel::BuildTvgTable(tvg.data(), N, 40.0, 0.01, 38000.0, 0.000267, kTargetD, 300.0, (N - 100) * kTargetD);
        const int constant = rawpower::Saturate16(
            rawpower::Trunc(CChannel::ComputeTsConstant(1000.0, 26.0, 38000.0) * rawpower::kUnitsPerDb));
        std::vector<int> ts(N, rawpower::DbToRaw(-150.0));
        const int shape[5] = {-400, -100, 0, -100, -400};
        for (int e = 0; e < 120; ++e)
            for (int k = 0; k < 5; ++k)
                ts[static_cast<std::size_t>(300 + 240 * e + k)] = rawpower::DbToRaw(-45.0) + shape[k];
        std::vector<std::int16_t> p(N);
        for (std::size_t i = 0; i < p.size(); ++i)
            p[i] = rawpower::Saturate16(ts[i] - tvg[i] - constant);
        return p;
    }();
    static const std::vector<std::uint16_t> angles(N, 0x0A05);
    ch.AddPowerSamples(power.data(), N, 0);
    ch.AddAngleSamples(angles.data(), N, 0);
    ch.AddPing(time);
}

void BM_SingleTargetsFirstRequest(benchmark::State& state)
{
    const auto ch = SplitBeamChannel();
    std::uint64_t t = 1;
    SingleTargetRecord record;
    for (auto _ : state) {
        state.PauseTiming();
        FeedTargets(*ch, t++);
        state.ResumeTiming();
        benchmark::DoNotOptimize(ch->GetSingleTargets(record));
    }
    state.counters["targets"] = record.Count;
}
BENCHMARK(BM_SingleTargetsFirstRequest)->Unit(benchmark::kMicrosecond);

void BM_SingleTargetsRepeatRequest(benchmark::State& state)
{
    const auto ch = SplitBeamChannel();
    FeedTargets(*ch, 1);
    SingleTargetRecord record;
    ch->GetSingleTargets(record);
    for (auto _ : state)
        benchmark::DoNotOptimize(ch->GetSingleTargets(record));
    state.counters["targets"] = record.Count;
}
BENCHMARK(BM_SingleTargetsRepeatRequest)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
