// Per-ping cost of bottom detection (clean and spiky pings of 30,000
// samples), layer integration and single-target detection.
#include "engine/BottomDetector.h"
#include "engine/ChannelIntegrator.h"
#include "engine/RawPower.h"
#include "engine/TSDetection.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kSamples = 30000;
constexpr double kD = 0.02;

std::vector<std::int16_t> CleanPing()
{
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(-95.0, 3.0);
    std::vector<std::int16_t> p(kSamples);
    for (auto& w : p)
        w = rawpower::DbToRaw(noise(rng));
    for (int i = 25000; i < 25300; ++i)
        p[static_cast<std::size_t>(i)] = rawpower::DbToRaw(-20.0 - (i - 25000) * 0.05);
    return p;
}

std::vector<std::int16_t> SpikyPing()
{
    // A spike every 50 samples above the bottom (interference), each
    // stronger than the bottom echo.
    auto p = CleanPing();
    for (int i = 100; i < 24900; i += 50)
        p[static_cast<std::size_t>(i)] = rawpower::DbToRaw(-5.0 - (i % 11));
    return p;
}

void Detect(benchmark::State& state, const std::vector<std::int16_t>& ping)
{
    CBottomDetector::Construction c;
    c.SampleDistance = kD;
    c.UseSettingsFolder = false;
    CBottomDetector det(c);
    det.SetMaximumDepth(590.0);
    double depth, level, next;
    for (int i = 0; i < 3; ++i)
        det.DetectBottom(ping.data(), kSamples, 0.0, 0.001, kD, kSamples * kD, depth, level, next);
    for (auto _ : state) {
        // Each ping searches the whole range, as after a lost bottom.
        det.SetTrackedBottom(0.0, 0.0);
        benchmark::DoNotOptimize(
            det.DetectBottom(ping.data(), kSamples, 0.0, 0.001, kD, kSamples * kD, depth, level, next));
    }
    state.counters["depth"] = depth;
    state.counters["spikes"] = det.GetRejectedSpikeCount();
}

void BM_DetectBottomClean(benchmark::State& state)
{
    Detect(state, CleanPing());
}
void BM_DetectBottomSpiky(benchmark::State& state)
{
    Detect(state, SpikyPing());
}
BENCHMARK(BM_DetectBottomClean)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DetectBottomSpiky)->Unit(benchmark::kMicrosecond);

class BenchLayer final : public CLayer
{
public:
    BenchLayer(double a, double b) : a(a), b(b) {}
    int GetReferenceKind() const override { return 4; }
    int GetRangeLimits(double, double& s, double& e, double, double) override
    {
        s = a;
        e = b;
        return Inside;
    }
    double a, b;
};

void BM_IntegrateTenLayers(benchmark::State& state)
{
    const double d = 0.1;
    std::mt19937 rng(2);
    std::uniform_int_distribution<int> sv(-9000, -3000);
    std::vector<std::int16_t> ping(3000);
    for (auto& w : ping)
        w = static_cast<std::int16_t>(sv(rng));
    CChannelIntegrator integ;
    for (int k = 0; k < 10; ++k)
        integ.AddLayer(std::make_unique<BenchLayer>(k * 30.0, (k + 1) * 30.0));
    integ.StartIntegration();
    for (auto _ : state)
        integ.IntegrateLayers(ping.data(), 3000, 290.0, d, 0.0, 3.0);
    integ.ComputeLayerResults();
}
BENCHMARK(BM_IntegrateTenLayers)->Unit(benchmark::kMicrosecond);

void BM_DetectTargets(benchmark::State& state)
{
    const double d = 0.1875;
    std::vector<std::int16_t> ping(kSamples, rawpower::DbToRaw(-110.0));
    const int shape[5] = {-400, -100, 0, -100, -400};
    for (int t = 0; t < 99; ++t)
        for (int k = 0; k < 5; ++k)
            ping[static_cast<std::size_t>(100 + t * 300 + k)] =
                static_cast<std::int16_t>(rawpower::DbToRaw(-40.0 - t % 10) + shape[k]);
    TSPingParameters p;
    p.FirstRange = 0.0;
    p.WindowEnd = kSamples * d;
    p.SampleDistance = d;
    p.PulseDuration = 0.001;
    p.MinimumTS = -60.0;
    CTSDetection det;
    SingleTargetRecord table;
    for (auto _ : state)
        benchmark::DoNotOptimize(det.Detect(ping.data(), nullptr, kSamples, p, table));
    state.counters["targets"] = table.Count;
}
BENCHMARK(BM_DetectTargets)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
