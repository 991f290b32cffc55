// Cost of handing a ping's single targets to the calibration component in
// its own process: one AddTargets call through the proxy a ping, with the
// most targets a record holds. The target: under 200 us a ping.
#include "engine/Channel.h"
#include "platform/ChildProcess.h"
#include "platform/TempHives.h"
#include "sounder/CalibrationLink.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void BM_AddTargetsThroughProxy(benchmark::State& state)
{
    CTempHives hives;
    if (CChildProcess::Run({ZVCALIBSIM_PATH, "--register", "--log", "/dev/null"}) != 0) {
        state.SkipWithError("the calibration simulator could not be registered");
        return;
    }
    CChannel::Construction c;
    c.Frequency = 38000.0;
    CChannel channel(c);
    CCalibrationLink link;
    if (link.Start(channel, {&channel}).outcome != CCalibrationLink::SStartResult::Started) {
        state.SkipWithError("the calibration simulator did not start");
        return;
    }
    SingleTargetRecord record;
    record.Count = SingleTargetRecord::kMaxTargets;
    for (int t = 0; t < record.Count; ++t)
        record.Targets[static_cast<std::size_t>(t)] = {10.0 + t, -40.0, -42.0, 1.5, -0.5, 2000.0};
    const SCalibrationChannelValues values;
    const std::uint64_t time = 134100000000000000ull;
    // The first hand-over takes the link out of its stream and sends the
    // parameter set.
    link.HandOver(channel, values, true, record, time);
    for (auto _ : state) {
        if (link.HandOver(channel, values, false, record, time).linkOff) {
            state.SkipWithError("the link went off");
            break;
        }
    }
}
BENCHMARK(BM_AddTargetsThroughProxy)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
