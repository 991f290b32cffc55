// The ping-data thread's hand-off of a ping to the echogram views while the
// user-interface thread is busy with something else (a paint, a dialog)
// for 2 ms when the ping arrives: four 1900 × 500 echograms, one update
// each a ping. Side by side: Arg 0 sends each update and waits for the
// user-interface thread to draw it (the hand-off as it was), Arg 1 posts it
// as the program now does and goes on. The iteration time is the ping
// thread's time in the four hand-offs; p99_us its 99th percentile. Every
// ping reaches every view in both (checked).
#include "base/AppIds.h"
#include "bench/OffscreenApp.h"
#include "bench/display/RampChannels.h"
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/ui/EchogramView.h"
#include "engine/Channel.h"
#include "platform/MessageDispatcher.h"

#include <QResizeEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using bench::RampChannel;
using bench::RampViewChannel;

// The hand-off as it was: sent, the ping thread waits for the drawing.
struct SentViewUpdates : IViewUpdates
{
    void UpdateViews(CAbstractESDoc& document) override
    {
        SendMessage(GetMainWindow(), app::WM_ES_UPDATEALLVIEWS, 0, document.AsMessageParameter());
    }
};

struct Echogram
{
    explicit Echogram(const SDisplayContext& context) : doc(context)
    {
        CChannel::Construction cc;
        channel = std::make_unique<CChannel>(cc);
        doc.SetChannel(channel.get());
        doc.SetEchogramChannel(&samples);
        doc.m_range = 100.0;
        doc.m_rangeReference = CEchogramDoc::SURFACE;
        view = std::make_unique<CEchogramView>(&doc);
        view->SetChannelAccess(&levels);
        view->resize(1900, 500);
        QResizeEvent event(QSize(1900, 500), QSize());
        QApplication::sendEvent(view.get(), &event);
        view->OnInitialUpdate();
    }
    std::unique_ptr<CChannel> channel;
    RampChannel samples;
    RampViewChannel levels;
    CEchogramDoc doc;
    std::unique_ptr<CEchogramView> view;
};

// Counts the views' updates.
struct Counter : IDocumentView
{
    void OnUpdate() override { ++updates; }
    int RealizeViewPalette() override { return 0; }
    int updates = 0;
};

void Spin(std::chrono::microseconds time)
{
    const auto end = std::chrono::steady_clock::now() + time;
    while (std::chrono::steady_clock::now() < end) {
    }
}

void BM_PingHandOffWhileInterfaceBusy(benchmark::State& state)
{
    const bool posted = state.range(0) != 0;
    OffscreenApp();
    const HWND window = CreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM l) -> LRESULT {
        // What the main frame does with the message.
        if (message == app::WM_ES_UPDATEALLVIEWS && !CAbstractESDoc::RunUpdatePayload(CurrentMessagePayload()) && l)
            CAbstractESDoc::FromMessageParameter(l)->UpdateAllViews();
        return 1;
    });
    SetMainWindow(window);
    SentViewUpdates sent;
    SDisplayContext context;
    if (!posted)
        context.viewUpdates = &sent;
    std::vector<std::unique_ptr<Echogram>> echograms;
    std::vector<Counter> counters(4);
    for (int i = 0; i < 4; ++i) {
        echograms.push_back(std::make_unique<Echogram>(context));
        echograms.back()->doc.AddView(&counters[static_cast<std::size_t>(i)]);
    }

    std::atomic<bool> go{false}, started{false}, done{false}, quit{false};
    double wait = 0.0;
    std::thread pings([&] {
        while (true) {
            while (!go.load() && !quit.load())
                std::this_thread::yield();
            if (quit.load())
                return;
            go.store(false);
            started.store(true);
            const auto start = std::chrono::steady_clock::now();
            for (auto& e : echograms)
                e->doc.OnSourceUpdate(1);
            wait = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            done.store(true);
            PostMessage(window, WM_NULL, 0, 0);
        }
    });
    std::vector<double> waits;
    int pingsRun = 0;
    for (auto _ : state) {
        done.store(false);
        started.store(false);
        go.store(true);
        // Busy when the ping arrives; then the queue is served.
        while (!started.load())
            std::this_thread::yield();
        Spin(std::chrono::microseconds(2000));
        ++pingsRun;
        PumpUntil([&] { return done.load() && counters.back().updates == pingsRun; }, std::chrono::seconds(10));
        state.SetIterationTime(wait);
        waits.push_back(wait);
    }
    quit.store(true);
    pings.join();
    for (const Counter& c : counters)
        if (c.updates != pingsRun)
            state.SkipWithError("a ping did not reach every view");
    std::sort(waits.begin(), waits.end());
    if (!waits.empty())
        state.counters["p99_us"] = waits[std::min(waits.size() - 1, waits.size() * 99 / 100)] * 1e6;
    for (std::size_t i = 0; i < echograms.size(); ++i)
        echograms[i]->doc.RemoveView(&counters[i]);
    echograms.clear();
    SetMainWindow(0);
    DestroyWindow(window);
}
BENCHMARK(BM_PingHandOffWhileInterfaceBusy)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1000)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
