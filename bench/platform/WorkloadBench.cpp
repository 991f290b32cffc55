// The workload meter: cost of one sample, and the load it reads while two
// threads keep two processors busy (expected near 2.0 on a PC with at least
// two free processors).
#include "app/Workload.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

void BM_WorkloadSample(benchmark::State& state)
{
    CWorkload meter;
    for (auto _ : state)
        meter.Sample();
    benchmark::DoNotOptimize(meter.GetLoad());
}
BENCHMARK(BM_WorkloadSample);

void BM_WorkloadTwoBusyThreads(benchmark::State& state)
{
    std::atomic<bool> stop{false};
    std::vector<std::thread> spinners;
    for (int i = 0; i < 2; ++i)
        spinners.emplace_back([&] {
            volatile unsigned long n = 0;
            while (!stop.load(std::memory_order_relaxed))
                n = n + 1;
        });
    CWorkload meter;
    meter.Sample();
    for (auto _ : state) {
        // One interval of about 200 ms of busy spinning per iteration.
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
        while (std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        meter.Sample();
    }
    stop = true;
    for (auto& t : spinners)
        t.join();
    state.counters["load"] = meter.GetLoad();
}
BENCHMARK(BM_WorkloadTwoBusyThreads)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
