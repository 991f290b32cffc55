// An HXU unit's intake: whole pings of four channels of 20,000 samples each,
// in the simulated unit's fragments, through the unit's receive thread into
// its channels, over an in-process road so that the figure is the program's
// own work. Items are pings; a ping that does not come whole fails the run.
#include "bench/UnitBenchSupport.h"
#include "engine/Channel.h"
#include "sim/hxu/HxuSimulator.h"
#include "transceivers/HXU.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <benchmark/benchmark.h>

namespace {

void BM_HxuIntake(benchmark::State& state)
{
    constexpr int kChannels = 4;
    constexpr std::uint32_t kSamples = 20000;
    CTestTransceiverServices services;
    UnitTimings timings;
    timings.hxuStartPauseMs = 0;
    InstalledTransceiverInfo info;
    info.transceiverId = "BENCH-H";
    const std::vector<TransceiverChannelRecord> channels = unitbench::Channels(kChannels);
    auto link = std::make_unique<unitbench::CRoad>([](unitbench::CRoad& road, const BYTE* data, std::size_t size) {
        if (size == 4 && data[0] == 'V' && data[1] == 'R')
            road.Push(CHxuSimulator::EncodeVersion("BENCH-H", "HXUSIM", false, ""));
    });
    unitbench::CRoad* road = link.get();
    CHXU unit(info, channels, nullptr, services, timings, std::move(link), 0, "");
    // The pinger's range asks each channel for its 20,000 samples.
    unitbench::COwner owner(kSamples * 0.0001);
    unit.SetEchoSounder(&owner);
    CHxuSimulator::Settings s;
    s.fragmentSamples = 700;
    CHxuSimulator sim(s);
    std::vector<std::vector<std::uint8_t>> ping;
    for (int c = 0; c < kChannels; ++c)
        for (auto& d : sim.EncodePing(c, kSamples, 0.0001))
            ping.push_back(std::move(d));
    for (auto _ : state) {
        const int before = owner.pings.load();
        std::int64_t duration = 0;
        unit.Start(duration);
        for (const auto& d : ping)
            road->Push(&d);
        owner.WaitPast(before);
        for (int slot = 0; slot < kChannels; ++slot)
            unit.GetSlotChannel(slot)->AddPing(1);
    }
    if (unit.GetPingsCompleted() != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("a ping did not come whole");
    state.SetItemsProcessed(state.iterations());
    state.counters["fragments/ping"] = static_cast<double>(ping.size());
}
BENCHMARK(BM_HxuIntake)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
