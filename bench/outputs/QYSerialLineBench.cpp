// The serial I/O hub on its line through the real serial component
// (registered into temporary hives), every depth telegram on for two
// channels: SendDepth per channel on a line that takes its bytes, and on a
// stuck line that takes none (flow control held, a peer not reading), where
// the longest call is what the ping-data thread may wait.
//
//   bench_outputs_qyserial_line [--benchmark_filter=...]
#include "outputs/QYSerial.h"

#include "platform/SerialBackendFake.h"
#include "platform/TempHives.h"
#include "serialcom/tests/TovrelixTestSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void SetPort(const std::string& settingId, const std::string& port)
{
    HKEY key = nullptr;
    const std::string section = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
    RegCreateKeyEx(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                  static_cast<DWORD>(port.size() + 1));
    RegCloseKey(key);
}

std::string LineName()
{
    static std::atomic<int> n{0};
    return "FAKE_BENCH_HUB" + std::to_string(++n);
}

// The hub on an in-memory line: open through the component, every depth
// telegram of two channels on.
struct SHubOnALine
{
    CTempHives hives;
    std::shared_ptr<CFakeSerialLine> line = CFakeSerialLine::Create(LineName());
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    std::unique_ptr<CQYSerial> hub;

    bool Open()
    {
        if (RunRegSvr(false) != 0)
            return false;
        SetPort(CQYSerial::kSettingId, line->Name());
        hub = std::make_unique<CQYSerial>(host, sources, nullptr);
        if (hub->OpenSerialComponent() != 0 || !hub->IsPortOpen())
            return false;
        CQYSerial::Settings s = hub->GetSettings();
        s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
        s.AtlasChannel = {1, 1, 0, 0};
        s.FZChannel = {1, 1, 0, 0};
        s.ZelvarChannel = {1, 1, 0, 0};
        s.AddFrequency = 1;
        hub->StoreSettings(s);
        return true;
    }
    ~SHubOnALine()
    {
        line->HoldWrites(false);
        if (hub)
            hub->Close();
        hub.reset();
        CoFreeUnusedLibraries();
    }
};

DepthReport Report(int channel)
{
    DepthReport r;
    r.SourceName = channel == 0 ? "T38 38 kHz" : "T200 200 kHz";
    r.ChannelId = channel;
    r.Depth = 42.5 + channel;
    r.DraughtAndOffset = 5.0;
    r.BottomLevel = -20.0;
    r.Frequency = channel == 0 ? 38000.0 : 200000.0;
    r.TransducerDepth = 4.5;
    r.FurtherValue = 1490.0;
    return r;
}

// The same hub with its line left out: what formatting alone costs, and
// how long the machine's own interruptions make a call of that size.
class CLinelessHub final : public CQYSerial
{
public:
    using CQYSerial::CQYSerial;
    std::size_t bytes = 0;

protected:
    void Transmit(const std::string& text) override { bytes += text.size(); }
};

// Per channel: both channels of a ping, each call timed: the longest, the
// 99.9th percentile and the calls over 100 us.
void SendPings(benchmark::State& state, CQYSerial& hub)
{
    DepthReport first = Report(0), second = Report(1);
    std::uint64_t time = 134'000'000'000'000'000ULL;
    std::vector<float> calls;
    calls.reserve(1 << 20);
    for (auto _ : state) {
        first.PingTime = second.PingTime = time += 500'000;
        for (const DepthReport* r : {&first, &second}) {
            const auto start = Clock::now();
            hub.SendDepth(*r);
            calls.push_back(std::chrono::duration<float, std::micro>(Clock::now() - start).count());
        }
    }
    if (calls.empty())
        return;
    std::sort(calls.begin(), calls.end());
    state.counters["longest_us"] = calls.back();
    state.counters["p999_us"] = calls[calls.size() * 999 / 1000];
    state.counters["over_100us"] =
        static_cast<double>(calls.end() - std::upper_bound(calls.begin(), calls.end(), 100.0f));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 2);  // channels
}

void BM_QYSerialSendDepthWithoutALine(benchmark::State& state)
{
    CTempHives hives;
    const CLiveSensorHost host;
    const CNoDepthTelegramSources sources;
    CLinelessHub hub(host, sources, nullptr);
    CQYSerial::Settings s;
    s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
    s.AtlasChannel = {1, 1, 0, 0};
    s.FZChannel = {1, 1, 0, 0};
    s.ZelvarChannel = {1, 1, 0, 0};
    s.AddFrequency = 1;
    hub.StoreSettings(s);
    SendPings(state, hub);
    benchmark::DoNotOptimize(hub.bytes);
}
BENCHMARK(BM_QYSerialSendDepthWithoutALine)->Unit(benchmark::kMicrosecond);

void BM_QYSerialSendDepthOnItsLine(benchmark::State& state)
{
    SHubOnALine on;
    if (!on.Open()) {
        state.SkipWithError("the hub's line did not open");
        return;
    }
    SendPings(state, *on.hub);
    state.counters["line_bytes"] = static_cast<double>(on.line->Written().size());
}
BENCHMARK(BM_QYSerialSendDepthOnItsLine)->Unit(benchmark::kMicrosecond);

void BM_QYSerialSendDepthOnAStuckLine(benchmark::State& state)
{
    SHubOnALine on;
    if (!on.Open()) {
        state.SkipWithError("the hub's line did not open");
        return;
    }
    on.line->HoldWrites(true);
    SendPings(state, *on.hub);
    state.counters["line_bytes"] = static_cast<double>(on.line->Written().size());
}
BENCHMARK(BM_QYSerialSendDepthOnAStuckLine)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
