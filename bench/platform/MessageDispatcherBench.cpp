// Cost of carrying work to a window's thread: a post delivered on the same
// thread, a send from a worker answered by the owner's loop (the road of
// every "update all views" per ping), and a timer tick.
#include "platform/MessageDispatcher.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <future>
#include <thread>

namespace {

void BM_PostAndDeliver(benchmark::State& state)
{
    const auto batch = static_cast<int>(state.range(0));
    int handled = 0;
    HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++handled; });
    for (auto _ : state) {
        for (int i = 0; i < batch; ++i)
            PostMessage(h, WM_USER, static_cast<WPARAM>(i), 0);
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
    }
    state.SetItemsProcessed(state.iterations() * batch);
    DestroyWindow(h);
}
BENCHMARK(BM_PostAndDeliver)->Arg(1)->Arg(64);

void BM_PostWithPayload(benchmark::State& state)
{
    HWND h = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    for (auto _ : state) {
        PostMessage(h, WM_USER, 0, 0, MakePayload<std::string>(64, 'x'));
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
    }
    state.SetItemsProcessed(state.iterations());
    DestroyWindow(h);
}
BENCHMARK(BM_PostWithPayload);

// Round trip of a send from a worker to a window whose thread runs its loop.
void BM_SendAcrossThreads(benchmark::State& state)
{
    std::promise<HWND> created;
    std::thread owner([&] {
        HWND h = CreateMessageWindow([](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
            if (m == WM_CLOSE)
                PostQuitMessage(0);
            return static_cast<LRESULT>(w);
        });
        created.set_value(h);
        RunMessageLoop();
        DestroyWindow(h);
    });
    HWND h = created.get_future().get();
    WPARAM i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(SendMessage(h, WM_USER, ++i, 0));
    state.SetItemsProcessed(state.iterations());
    PostMessage(h, WM_CLOSE, 0, 0);
    owner.join();
}
BENCHMARK(BM_SendAcrossThreads)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
