// Cost of pinger mode's pulse search over a ping of 30,000 samples with a
// pulse width of 100 samples: the acquiring search scans the whole ping, the
// tracking search only 20 m each side of the last pulse. Targets: acquiring
// under 150 us, tracking under 20 us.
#include "engine/PingerMode.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int kSamples = 30000;
constexpr int kWidth = 100;
constexpr double kInterval = 1e-4;  // s: a 10 ms pulse is 100 samples

struct CBenchHost : IPingerModeHost
{
    std::string GetSerializePath() override { return "/nonexistent/"; }
    bool IsReplaying() override { return false; }
    bool RunPingerDialog(SPingerDialogValues& v) override
    {
        v = {150.0, 400.0, 10.0, 1.0, false};
        return true;
    }
    void PostToFrame(unsigned, std::intptr_t, std::intptr_t) override {}
};

std::vector<std::int16_t> Ping()
{
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(-15000.0, 300.0);
    std::vector<std::int16_t> s(kSamples);
    for (auto& v : s)
        v = static_cast<std::int16_t>(noise(rng));
    for (int i = 12000; i < 12000 + kWidth; ++i)
        s[static_cast<std::size_t>(i)] = -3000;
    return s;
}

// A pinger set up with a pulse of 100 samples that has searched once.
void Prepare(CPingerMode& pinger, const std::vector<std::int16_t>& ping)
{
    pinger.Synchronise();
    std::vector<std::int16_t> copy = ping;
    pinger.ProcessPingerSamples(copy.data(), kSamples, kInterval, 130000000000000000ull);
}

void BM_PulseSearchAcquiring(benchmark::State& state)
{
    CBenchHost host;
    CPingerMode pinger(host);
    const auto ping = Ping();
    Prepare(pinger, ping);
    for (auto _ : state)
        benchmark::DoNotOptimize(pinger.FindPulse(ping.data(), kSamples));
    state.counters["width"] = pinger.GetPulseWidth();
}
BENCHMARK(BM_PulseSearchAcquiring)->Unit(benchmark::kMicrosecond);

void BM_PulseSearchTracking(benchmark::State& state)
{
    CBenchHost host;
    CPingerMode pinger(host);
    const auto ping = Ping();
    Prepare(pinger, ping);
    // Past the 50 searches the pinger tracks: the search keeps to the last
    // pulse's neighbourhood.
    std::vector<std::int16_t> copy;
    for (int i = 1; i <= CPingerMode::kSearchesBeforeReady; ++i) {
        copy = ping;
        pinger.ProcessPingerSamples(copy.data(), kSamples, kInterval, 130000000000000000ull + i * 10000000ull);
    }
    if (pinger.GetState() == CPingerMode::kAcquiring)
        state.SkipWithError("the pinger did not leave the acquiring state");
    for (auto _ : state)
        benchmark::DoNotOptimize(pinger.FindPulse(ping.data(), kSamples));
    state.counters["width"] = pinger.GetPulseWidth();
}
BENCHMARK(BM_PulseSearchTracking)->Unit(benchmark::kMicrosecond);

}  // namespace
BENCHMARK_MAIN();
