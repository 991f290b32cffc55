// The echogram's per-ping cost without a window: one shift of the picture
// and one column (or, side-looking, one row) written, at the size of a wide
// pane; and the ping thread's wait while the user-interface thread takes the
// update message and draws.
#include "base/AppIds.h"
#include "display/EchogramPicture.h"
#include "platform/MessageDispatcher.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {
constexpr UINT kQuit = 0x7FFF;

struct Pane
{
    Pane(int w, int h) : bits(static_cast<std::size_t>(w) * h, 78), samples(2000)
    {
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>(-6000 + static_cast<int>(i % 400) * 10);
        picture.Attach(bits.data(), w, h, w);
        column.samples = samples.data();
        column.sampleCount = static_cast<int>(samples.size());
        // Twelve levels over 36 dB from -70 dB.
        for (int selector = 0; selector <= 4; ++selector)
            scale.SetValueBySelector(selector, -70.0);
        scale.SetInterval(3.0);
        column.scale = &scale;
        column.hasDepth = true;
        column.range = 100.0;
        column.depth = 60.0;
        column.bottomGap = true;
        column.bottomLine = true;
    }
    void Ping()
    {
        picture.Shift();
        picture.WriteColumn(column);
    }
    std::vector<BYTE> bits;
    std::vector<std::int16_t> samples;
    CColorScaleSettings scale;
    CEchogramPicture picture;
    CEchogramPicture::Column column;
};

void BM_PictureUpdatePerPing(benchmark::State& state)
{
    Pane pane(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        pane.Ping();
        benchmark::DoNotOptimize(pane.bits.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_PictureUpdatePerPing)->Args({1900, 500})->Args({950, 250})->Unit(benchmark::kMicrosecond);

// A side-looking pane: the picture moves one row down and the ping is
// written as a row across the whole width, both sides.
void BM_RowOrientationPerPing(benchmark::State& state)
{
    Pane pane(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    pane.picture.SetRowOrientation(true);
    std::vector<std::int16_t> other(pane.samples.rbegin(), pane.samples.rend());
    pane.column.left = 100.0;
    pane.column.right = 100.0;
    pane.column.secondSide = other.data();
    pane.column.secondSideCount = static_cast<int>(other.size());
    for (auto _ : state) {
        pane.picture.Shift();
        pane.picture.WriteRow(pane.column);
        benchmark::DoNotOptimize(pane.bits.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RowOrientationPerPing)->Args({1900, 500})->Args({950, 250})->Unit(benchmark::kMicrosecond);

// The ping thread sends the update message and waits; the user-interface
// thread (a thread of its own here) updates four panes of 1900 × 500, as
// four channels' documents would, one message each.
void BM_PingThreadWaitInHandOff(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    std::atomic<HWND> window{0};
    std::thread ui([&] {
        std::vector<std::unique_ptr<Pane>> panes;
        for (int i = 0; i < channels; ++i)
            panes.push_back(std::make_unique<Pane>(1900, 500));
        HWND hwnd = CreateMessageWindow([&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
            if (message == app::WM_ES_UPDATEALLVIEWS)
                panes[static_cast<std::size_t>(w)]->Ping();
            if (message == kQuit)
                PostQuitMessage(0);
            return 1;
        });
        window.store(hwnd);
        RunMessageLoop();
        DestroyWindow(hwnd);
    });
    while (!window.load())
        std::this_thread::yield();
    for (auto _ : state)
        for (int c = 0; c < channels; ++c)
            SendMessage(window.load(), app::WM_ES_UPDATEALLVIEWS, static_cast<WPARAM>(c), 0);
    PostMessage(window.load(), kQuit, 0, 0);
    ui.join();
    state.SetItemsProcessed(state.iterations());  // pings
}
BENCHMARK(BM_PingThreadWaitInHandOff)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond)->UseRealTime();
}  // namespace

BENCHMARK_MAIN();
