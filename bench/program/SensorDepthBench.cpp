// The depth users of one ping on the ping-data thread: four channels' depths
// through the program's links to the navigation and trawl inputs, each with
// its depth output on and its line open on a pseudo-terminal whose far end
// is drained (the serial component registered into temporary hives). Beside
// it the same ping with both links at their named nulls, as before the
// sensors were wired.
//
//   bench_program_sensor_depth [--benchmark_filter=...]
#include "platform/TempHives.h"
#include "program/AbsentRoles.h"
#include "program/Link.h"
#include "sensors/Navigation.h"
#include "sensors/Trawl.h"
#include "serialcom/device/DepthTelegram.h"
#include "serialcom/device/DepthTelegramSources.h"
#include "serialcom/tests/TovrelixTestSupport.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

void SetPort(const std::string& settingId, const std::string& port)
{
    HKEY key = nullptr;
    const std::string section = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
    RegCreateKeyEx(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                  static_cast<DWORD>(port.size() + 1));
    RegCloseKey(key);
}

// Reads the far end of a line until it goes.
class CDrain
{
public:
    explicit CDrain(CPtyPair& pty)
        : m_pty(pty), m_thread([this] {
              while (!m_stop.load())
                  m_bytes += m_pty.Read(4096, 20).size();
          })
    {}
    ~CDrain() { Stop(); }
    // The bytes the line carried.
    std::size_t Stop()
    {
        if (m_thread.joinable()) {
            m_stop = true;
            m_thread.join();
        }
        return m_bytes.load();
    }

private:
    CPtyPair& m_pty;
    std::atomic<bool> m_stop{false};
    std::atomic<std::size_t> m_bytes{0};
    std::thread m_thread;
};

// The links of the channels' depth users, as the program holds them.
struct SDepthLines
{
    app::CLinkList list;
    app::TSharedLink<IDepthUser, app::CAbsentDepthUser> navigation{list, "navigation"};
    app::TSharedLink<IDepthUser, app::CAbsentDepthUser> trawl{list, "trawl"};

    void Ping(std::uint64_t time)
    {
        static const char* const kNames[] = {"T38 38 kHz", "T120 120 kHz", "T200 200 kHz", "T70 70 kHz"};
        for (int channel = 0; channel < 4; ++channel) {
            DepthReport r;
            r.SourceName = kNames[channel];
            r.ChannelId = channel;
            r.PingTime = time;
            r.Depth = 40.0 + channel;
            r.BottomLevel = -20.0;
            navigation->TakeDepth(r);
            trawl->TakeDepth(r);
        }
    }
};

void DepthUsersAtTheirNulls(benchmark::State& state)
{
    SDepthLines lines;
    std::uint64_t time = 134'000'000'000'000'000ULL;
    for (auto _ : state)
        lines.Ping(time += 1'000'000);
}
BENCHMARK(DepthUsersAtTheirNulls)->Unit(benchmark::kMicrosecond);

void NavigationAndTrawlDepthOutputs(benchmark::State& state)
{
    CTempHives hives;
    if (RunRegSvr(false) != 0) {
        state.SkipWithError("the serial component could not be registered");
        return;
    }
    CPtyPair navigationLine, trawlLine;
    SetPort("Navigation", navigationLine.Name());
    SetPort("Trawl", trawlLine.Name());
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    auto navigation = std::make_shared<CNavigation>(host, sources);
    auto trawl = std::make_shared<CTrawl>(SounderModel::RM30, sources);
    if (navigation->OpenPort() != 0 || trawl->OpenSerialPort() != 0 || !navigation->IsPortOpen() ||
        !trawl->IsPortOpen()) {
        state.SkipWithError("the lines did not open");
        return;
    }
    CNavigation::Settings n = navigation->GetSettings();
    n.DepthOutput = 1;
    n.DepthTelegram = kDepthTelegramFixed;  // every channel's depth
    navigation->StoreSettings(n);
    CTrawl::Settings t = trawl->GetSettings();
    t.DepthOutput = 1;
    t.DepthTelegram = kDepthTelegramDBT;  // the chosen channel's
    t.ChannelSource = "T38 38 kHz";
    trawl->StoreSettings(t);
    CDrain drainNavigation(navigationLine), drainTrawl(trawlLine);

    SDepthLines lines;
    lines.navigation.Set(navigation);
    lines.trawl.Set(trawl);
    std::uint64_t time = 134'000'000'000'000'000ULL;
    for (auto _ : state)
        lines.Ping(time += 1'000'000);
    lines.navigation.Set(nullptr);
    lines.trawl.Set(nullptr);
    navigation->ClosePort();
    trawl->ClosePort();
    // What came out at the far ends: the outputs were on.
    const std::size_t bytes = drainNavigation.Stop() + drainTrawl.Stop();
    if (bytes == 0)
        state.SkipWithError("nothing went out on the lines");
    state.counters["line_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(NavigationAndTrawlDepthOutputs)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
