// A transmit protocol on a line that takes no bytes (the in-memory line
// holding every write): what one telegram handed over on the ping-data
// thread costs, the longest hand-over among them, and, once the line takes
// bytes again, how long until the newest telegram is on the line.
#include "seriallib/RAW.h"
#include "seriallib/Sercor32.h"

#include "platform/SerialBackendFake.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

std::string Name()
{
    static std::atomic<int> n{0};
    return "FAKE_BENCH_STUCK" + std::to_string(++n);
}

void BM_SendOnAStuckLine(benchmark::State& state)
{
    auto line = CFakeSerialLine::Create(Name());
    CSercor32 port;
    port.CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE);
    port.SetTxDelay(0);
    CRAW raw(&port, PROT_TRANSMIT, 0);
    line->HoldWrites(true);
    const std::string telegram = "$SDDPT,37.50,5.00*5C\r\n";
    double longest = 0.0;
    for (auto _ : state) {
        const auto start = Clock::now();
        raw.Send(telegram);
        longest = std::max(longest, std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    state.counters["longest_us"] = longest;
    state.counters["queued"] = static_cast<double>(raw.GetQueueCount());
    state.counters["dropped"] = static_cast<double>(raw.GetQueueDroppedFull() + raw.GetQueueDroppedStale());
    line->HoldWrites(false);
}
BENCHMARK(BM_SendOnAStuckLine);

// Pings at 20 a second for the given seconds on a held line, then the line
// freed: seconds until the last ping's telegram is written.
void BM_CurrentTelegramAfterTheLineFrees(benchmark::State& state)
{
    for (auto _ : state) {
        auto line = CFakeSerialLine::Create(Name());
        CSercor32 port;
        port.CreateEx(line->Name().c_str(), 115200, 8, NOPARITY, ONESTOPBIT, TRUE);
        port.SetTxDelay(0);
        CRAW raw(&port, PROT_TRANSMIT, 0);
        line->HoldWrites(true);
        const int pings = static_cast<int>(state.range(0)) * 20;
        for (int i = 0; i < pings; ++i) {
            raw.Send("PING " + std::to_string(i) + "\r\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const std::string last = "PING " + std::to_string(pings) + "\r\n";
        raw.Send(last);
        const auto freed = Clock::now();
        line->HoldWrites(false);
        const std::vector<BYTE> want(last.begin(), last.end());
        while (true) {
            const std::vector<BYTE> written = line->Written();
            if (std::search(written.begin(), written.end(), want.begin(), want.end()) != written.end())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        state.counters["seconds"] = std::chrono::duration<double>(Clock::now() - freed).count();
    }
}
BENCHMARK(BM_CurrentTelegramAfterTheLineFrees)->Arg(10)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
