// The motion look-ups of each live ping: one look-up on a full ring of 2000
// samples at the time that walks it furthest, and the look-ups of 4 channels
// a ping (at the ping time and at its echo) while the line brings a telegram
// every millisecond.
#include "sensors/Heave.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

constexpr std::uint64_t kStamp = 134'000'000'000'000'000ULL;
constexpr std::uint64_t kStep = 400'000;  // 40 ms: a sensor at 25 Hz

void Telegram(CHeave& heave, int n)
{
    const int v = n % 900;
    const BYTE t[10] = {0x90, 0x90, static_cast<BYTE>(v), 0, static_cast<BYTE>(v), 0, static_cast<BYTE>(v), 0, 0, 0};
    heave.ParseTelegram(t, sizeof t, kStamp + static_cast<std::uint64_t>(n) * kStep);
}

struct Sensor
{
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    CHeave heave{host, sources};
    Sensor()
    {
        heave.SetMode(CHeave::kModeSerial);
        heave.SetProtocol(CHeave::kProtocolZelvar);
        CHeave::Settings s = heave.GetSettings();
        s.CalcRemoteHeave = 1;
        s.SensorAlong = 2.0;
        heave.StoreSettings(s);
    }
};

void BM_MotionLongestWalk(benchmark::State& state)
{
    Sensor s;
    for (int n = 1; n <= 2000; ++n)
        Telegram(s.heave, n);
    // Just after the oldest kept sample: 1998 steps back from the newest.
    const std::uint64_t t = kStamp + kStep + kStep / 2;
    const TransducerOffsets transducer{4.0, -3.0, 1.0};
    double out[4];
    for (auto _ : state) {
        s.heave.GetMotionAtTime(t, transducer, out);
        benchmark::DoNotOptimize(out);
    }
}
BENCHMARK(BM_MotionLongestWalk);

void BM_FourChannelsDuringFlood(benchmark::State& state)
{
    Sensor s;
    for (int n = 1; n <= 2000; ++n)
        Telegram(s.heave, n);
    std::atomic<bool> stop{false};
    std::atomic<int> newest{2000};
    std::thread line([&] {
        for (int n = 2001; !stop.load(); ++n) {
            Telegram(s.heave, n);
            newest = n;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    const TransducerOffsets transducer{4.0, -3.0, 1.0};
    double out[4];
    for (auto _ : state) {
        // A ping a second back, its echo 40 ms later, for each channel.
        const std::uint64_t ping = kStamp + static_cast<std::uint64_t>(newest.load() - 25) * kStep;
        for (int channel = 0; channel < 4; ++channel) {
            s.heave.GetMotionAtTime(ping, transducer, out);
            s.heave.GetMotionAtTime(ping + 400'000, transducer, out);
            benchmark::DoNotOptimize(out);
        }
    }
    stop = true;
    line.join();
}
BENCHMARK(BM_FourChannelsDuringFlood)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
