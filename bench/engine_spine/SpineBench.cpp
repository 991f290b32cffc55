// The echo sounder's two hand-offs, measured with the test unit of the
// suite: how long a completed ping waits before the ping-data thread takes
// it, and how closely the trigger thread keeps to an interval schedule.
#include "base/ReplayFileList.h"
#include "platform/FileTime.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "transceivers/tests/TestTransceiver.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One unit, replayed through the sounder's own threads.
struct Rig
{
    std::mutex lock;
    std::condition_variable cv;
    std::vector<Clock::time_point> marks;
    std::vector<double> latencies;  // seconds
    Clock::time_point completed;
    CTestEchoSounderHost host;
    std::unique_ptr<CEchoSounder> sounder;

    void Start(int rateMode, std::int64_t interval, CTestTransceiver::Options options)
    {
        CEchoSounder::Context c;
        c.host = &host;
        c.workerStartDelayMs = 0;
        host.createReplay = [options](const CReplayFileList*, HKEY) {
            return std::unique_ptr<CTransceiver>(std::make_unique<CTestTransceiver>(options));
        };
        host.geographicAddPing = [this](std::uint64_t) {
            const auto now = Clock::now();
            {
                std::lock_guard<std::mutex> g(lock);
                latencies.push_back(std::chrono::duration<double>(now - completed).count());
            }
            cv.notify_all();
        };
        CReplayFileList files;
        files.AddTail("bench.raw");
        sounder = std::make_unique<CEchoSounder>();
        sounder->Create(c, nullptr, CEchoSounder::kReplay, rateMode, &files, CEchoSounder::kTriggerInternal, 0, "", 0);
        if (rateMode == CEchoSounder::kInterval)
            sounder->SetMode(CEchoSounder::kInterval, CEchoSounder::kTriggerInternal, 0, interval, 0);
    }
};

void BM_PingHandOffLatency(benchmark::State& state)
{
    Rig rig;
    CTestTransceiver::Options o;
    o.channels = static_cast<int>(state.range(0));
    o.samplesPerPing = 2000;
    o.onPingComplete = [&rig] {
        std::lock_guard<std::mutex> g(rig.lock);
        rig.completed = Clock::now();
    };
    // Interval mode without an interval: pings follow each other at once.
    rig.Start(CEchoSounder::kInterval, 0, o);
    std::size_t seen = 0;
    for (auto _ : state) {
        std::unique_lock<std::mutex> g(rig.lock);
        rig.cv.wait(g, [&] { return rig.latencies.size() > seen; });
        state.SetIterationTime(rig.latencies[seen]);
        ++seen;
    }
    rig.sounder.reset();
    std::vector<double> l = rig.latencies;
    std::sort(l.begin(), l.end());
    if (!l.empty()) {
        state.counters["median_us"] = l[l.size() / 2] * 1e6;
        state.counters["p99_us"] = l[std::min(l.size() - 1, l.size() * 99 / 100)] * 1e6;
        state.counters["max_us"] = l.back() * 1e6;
    }
}
BENCHMARK(BM_PingHandOffLatency)->Arg(1)->Arg(4)->UseManualTime()->Iterations(500)->Unit(benchmark::kMicrosecond);

// Pings a second through the real threads with no pacing at all (interval
// mode without an interval): what the hand-offs between the trigger thread,
// the unit and the ping-data thread cost a ping. Arg: channels.
void BM_PingsWithoutPacing(benchmark::State& state)
{
    Rig rig;
    CTestTransceiver::Options o;
    o.channels = static_cast<int>(state.range(0));
    // Few samples: the test unit makes each one from a seeded generator, a
    // cost of its own that must not hide the hand-offs.
    o.samplesPerPing = 20;
    rig.Start(CEchoSounder::kInterval, 0, o);
    {
        std::unique_lock<std::mutex> g(rig.lock);
        rig.cv.wait(g, [&] { return !rig.latencies.empty(); });
    }
    std::size_t seen = 0;
    {
        std::lock_guard<std::mutex> g(rig.lock);
        seen = rig.latencies.size();
    }
    for (auto _ : state) {
        std::unique_lock<std::mutex> g(rig.lock);
        rig.cv.wait(g, [&] { return rig.latencies.size() > seen; });
        ++seen;
    }
    rig.sounder.reset();
    state.counters["pings_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PingsWithoutPacing)->Arg(1)->Arg(4)->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_IntervalTriggerJitter(benchmark::State& state)
{
    const std::int64_t interval = state.range(0) * 10000;  // ms in 100-ns units
    Rig rig;
    CTestTransceiver::Options o;
    o.samplesPerPing = 200;
    o.onStart = [&rig] {
        {
            std::lock_guard<std::mutex> g(rig.lock);
            rig.marks.push_back(Clock::now());
        }
        rig.cv.notify_all();
    };
    rig.Start(CEchoSounder::kInterval, interval, o);
    std::size_t seen = 1;
    {
        // The schedule counts from the first paced trigger.
        std::unique_lock<std::mutex> g(rig.lock);
        rig.cv.wait(g, [&] { return rig.marks.size() >= 2; });
        seen = rig.marks.size();
    }
    std::vector<double> errors;
    for (auto _ : state) {
        std::unique_lock<std::mutex> g(rig.lock);
        rig.cv.wait(g, [&] { return rig.marks.size() > seen; });
        const double gap = std::chrono::duration<double>(rig.marks[seen] - rig.marks[seen - 1]).count();
        state.SetIterationTime(gap);
        errors.push_back(std::fabs(gap - interval / 1e7));
        ++seen;
    }
    rig.sounder.reset();
    std::sort(errors.begin(), errors.end());
    if (!errors.empty()) {
        state.counters["median_jitter_us"] = errors[errors.size() / 2] * 1e6;
        state.counters["p99_jitter_us"] = errors[std::min(errors.size() - 1, errors.size() * 99 / 100)] * 1e6;
        state.counters["max_jitter_us"] = errors.back() * 1e6;
    }
}
BENCHMARK(BM_IntervalTriggerJitter)->Arg(20)->Arg(100)->UseManualTime()->Iterations(100)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
