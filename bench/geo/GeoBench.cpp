// A GEO unit's intake: whole pings of four channels of 20,000 float samples
// each, in the simulated unit's headers and data datagrams, through the
// unit's socket thread into its channels' buffers and through its receive
// thread into the channels, over an in-process road so that the figure is
// the program's own work. Items are pings; a ping that does not come whole
// fails the run.
#include "bench/UnitBenchSupport.h"
#include "engine/Channel.h"
#include "sim/geo/GeoSimulator.h"
#include "transceivers/GEO.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <benchmark/benchmark.h>

namespace {

void BM_GeoIntake(benchmark::State& state)
{
    constexpr int kChannels = 4;
    constexpr int kSamples = 20000;
    CTestTransceiverServices services;
    UnitTimings timings;
    timings.geoStartPauseMs = 0;
    InstalledTransceiverInfo info;
    info.type = TransceiverType::GEO;
    info.transceiverId = "BENCH-G";
    const std::vector<TransceiverChannelRecord> channels = unitbench::Channels(kChannels);
    auto link = std::make_unique<unitbench::CRoad>();
    unitbench::CRoad* road = link.get();
    CGEO unit(info, channels, nullptr, services, timings, std::move(link));
    unitbench::COwner owner;
    unit.SetEchoSounder(&owner);
    CGeoSimulator::Settings s;
    s.samples = kSamples;
    CGeoSimulator sim(s);
    std::int32_t sequence = 0;
    std::vector<std::vector<std::uint8_t>> ping;
    std::size_t datagrams = 0;
    for (auto _ : state) {
        // Each ping carries a sequence of its own; making it is the unit's
        // work, not the program's.
        state.PauseTiming();
        ping = sim.EncodePing(++sequence);
        datagrams = ping.size();
        state.ResumeTiming();
        const int before = owner.pings.load();
        std::int64_t duration = 0;
        unit.Start(duration);
        unit.SetPingRequest(1);
        for (const auto& d : ping)
            road->Push(&d);
        owner.WaitPast(before);
        for (int slot = 0; slot < kChannels; ++slot)
            unit.GetSlotChannel(slot)->AddPing(1);
    }
    if (unit.GetPingsCompleted() != static_cast<std::uint64_t>(state.iterations()) || unit.GetPingsDropped() != 0)
        state.SkipWithError("a ping did not come whole");
    state.SetItemsProcessed(state.iterations());
    state.counters["datagrams/ping"] = static_cast<double>(datagrams);
}
BENCHMARK(BM_GeoIntake)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
