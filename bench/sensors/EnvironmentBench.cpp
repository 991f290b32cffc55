// Sound velocity and travel-time-to-depth queries on a 5,000-point profile,
// as every channel of every ping asks them.
#include "sensors/Environment.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int Points = 5000;
constexpr double Spacing = 1.0;  // m between points: a 5,000 m cast

// One environment with the profile applied, shared by every benchmark.
CEnvironment& Environment()
{
    static CEnvironment* s_env = [] {
        char pattern[] = "/tmp/envbenchXXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        fs::path dir = pattern;
        std::ofstream out(dir / "deep.asvp", std::ios::binary);
        out << "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE " << Points << " )\r\n";
        for (int i = 0; i < Points; ++i)
            out << i * Spacing << ".0 " << 1480.0 + 20.0 * ((i % 50) / 50.0) << "\r\n";
        out.close();
        auto* env = new CEnvironment;
        env->SetChannelDepthSource([] { return 100.0; });
        env->SetPendingProfile(TRUE, dir.string(), "deep.asvp");
        env->ApplyNewProfile();
        env->SetSvpType(CEnvironment::SvpTypeProfile);
        fs::remove_all(dir);
        if (!env->GetAppliedProfile() || env->GetAppliedProfile()->Count() != Points)
            std::abort();
        return env;
    }();
    return *s_env;
}

}  // namespace

// The deepest channel depth stays put: the mean is answered from the cache.
static void BM_GetSoundVelocity_SameDepth(benchmark::State& state)
{
    CEnvironment& env = Environment();
    for (auto _ : state)
        benchmark::DoNotOptimize(env.GetSoundVelocity());
}
BENCHMARK(BM_GetSoundVelocity_SameDepth);

// The bottom moves every ping: the mean is taken again down to it.
static void BM_GetSoundVelocity_NewDepth(benchmark::State& state)
{
    CEnvironment& env = Environment();
    const double depth = static_cast<double>(state.range(0));
    // The source is read on every query; two depths a hair apart force a
    // fresh mean each time.
    int flip = 0;
    env.SetChannelDepthSource([&] { return depth + ((++flip & 1) ? 0.01 : 0.02); });
    for (auto _ : state)
        benchmark::DoNotOptimize(env.GetSoundVelocity());
    env.SetChannelDepthSource([] { return 100.0; });
}
BENCHMARK(BM_GetSoundVelocity_NewDepth)->Arg(50)->Arg(1000)->Arg(4999)->Arg(6000);

// One-way travel time to a bottom at the given depth from a 5 m transducer.
static void BM_GetDepthFromTravelTime(benchmark::State& state)
{
    CEnvironment& env = Environment();
    const double t = static_cast<double>(state.range(0)) / 1490.0;
    for (auto _ : state)
        benchmark::DoNotOptimize(env.GetDepthFromTravelTime(t, 5.0));
}
BENCHMARK(BM_GetDepthFromTravelTime)->Arg(50)->Arg(1000)->Arg(4999)->Arg(6000);

BENCHMARK_MAIN();
