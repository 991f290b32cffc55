// Single-thread behaviour of the dispatcher: order, payload ownership,
// registered messages, timers and the outside-loop interface.
#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::atomic<int> g_payloadsAlive{0};

struct Counted
{
    explicit Counted(int v) : value(v) { ++g_payloadsAlive; }
    Counted(const Counted&) = delete;
    ~Counted() { --g_payloadsAlive; }
    int value;
};

// A window that records what it gets and is destroyed with the fixture.
struct Recorder
{
    std::vector<std::pair<UINT, WPARAM>> got;
    HWND hwnd = CreateMessageWindow([this](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
        got.emplace_back(m, w);
        return static_cast<LRESULT>(w) * 2;
    });
    ~Recorder() { DestroyWindow(hwnd); }
};

TEST(MessageDispatcher, PostedMessagesArriveInOrderBeforeQuit)
{
    Recorder r;
    for (WPARAM i = 0; i < 500; ++i)
        ASSERT_TRUE(PostMessage(r.hwnd, WM_USER + 1, i, 0));
    // Quit waits for what is queued before it.
    PostQuitMessage(7);
    EXPECT_EQ(RunMessageLoop(), 7);
    ASSERT_EQ(r.got.size(), 500u);
    for (WPARAM i = 0; i < 500; ++i)
        EXPECT_EQ(r.got[i].second, i);
}

TEST(MessageDispatcher, SendOnOwningThreadIsADirectCall)
{
    Recorder r;
    bool ok = false;
    EXPECT_EQ(SendMessage(r.hwnd, WM_USER, 21, 0, nullptr, &ok), 42);
    EXPECT_TRUE(ok);
    ASSERT_EQ(r.got.size(), 1u);

    HWND gone = r.hwnd;
    DestroyWindow(gone);
    EXPECT_EQ(SendMessage(gone, WM_USER, 21, 0, nullptr, &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(PostMessage(gone, WM_USER, 1, 0));
    EXPECT_FALSE(IsWindow(gone));
}

TEST(MessageDispatcher, HandlesAreNeverReused)
{
    HWND a = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    DestroyWindow(a);
    HWND b = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    EXPECT_NE(a, b);
    EXPECT_NE(a, HWND_BROADCAST);
    EXPECT_FALSE(IsWindow(a));
    DestroyWindow(b);
}

TEST(MessageDispatcher, PayloadIsFreedWhetherHandledDroppedOrRefused)
{
    ASSERT_EQ(g_payloadsAlive, 0);
    int seen = 0;
    HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        if (auto* c = CurrentPayload<Counted>())
            seen = c->value;
        return 0;
    });

    // Handled: freed right after the handler.
    PostMessage(h, WM_USER, 0, 0, MakePayload<Counted>(5));
    EXPECT_EQ(g_payloadsAlive, 1);
    EXPECT_TRUE(PumpUntil([&] { return seen == 5; }, 5s));
    EXPECT_EQ(g_payloadsAlive, 0);

    // Queued for a window that is then destroyed.
    PostMessage(h, WM_USER, 0, 0, MakePayload<Counted>(6));
    PostMessage(h, WM_USER, 0, 0, MakePayload<Counted>(7));
    EXPECT_EQ(g_payloadsAlive, 2);
    DestroyWindow(h);
    EXPECT_EQ(g_payloadsAlive, 0);

    // Refused: no such window, or a broadcast (one payload, many windows).
    EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0, MakePayload<Counted>(8)));
    EXPECT_FALSE(PostMessage(HWND_BROADCAST, WM_USER, 0, 0, MakePayload<Counted>(9)));
    EXPECT_FALSE(SendMessage(h, WM_USER, 0, 0, MakePayload<Counted>(10)));
    EXPECT_EQ(g_payloadsAlive, 0);
}

TEST(MessageDispatcher, HandlerCanKeepThePayload)
{
    std::unique_ptr<MessagePayload> kept;
    HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        kept = TakeCurrentMessagePayload();
        EXPECT_EQ(CurrentMessagePayload(), nullptr);
        return 0;
    });
    SendMessage(h, WM_USER, 0, 0, MakePayload<Counted>(3));
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(g_payloadsAlive, 1);
    kept.reset();
    EXPECT_EQ(g_payloadsAlive, 0);
    DestroyWindow(h);
}

TEST(MessageDispatcher, RegisteredMessagesAreSharedByNameIgnoringCase)
{
    UINT exitId = RegisterWindowMessage("EXIT_ZELVAR_PELMARIS_NO_SHUTDOWN");
    UINT helpId = RegisterWindowMessage("HELP_REQUIRED_FROM_COM");
    EXPECT_GE(exitId, WM_REGISTERED_FIRST);
    EXPECT_GE(helpId, WM_REGISTERED_FIRST);
    EXPECT_NE(exitId, helpId);
    EXPECT_EQ(RegisterWindowMessage("exit_zelvar_pelmaris_no_shutdown"), exitId);
    EXPECT_EQ(RegisterWindowMessage(""), 0u);
}

TEST(MessageDispatcher, BroadcastReachesEveryWindow)
{
    Recorder a, b;
    EXPECT_TRUE(PostMessage(HWND_BROADCAST, WM_USER + 9, 131273, 0));
    EXPECT_TRUE(PumpUntil([&] { return !a.got.empty() && !b.got.empty(); }, 5s));
    EXPECT_EQ(a.got[0], (std::pair<UINT, WPARAM>(WM_USER + 9, 131273)));
    EXPECT_EQ(b.got[0], (std::pair<UINT, WPARAM>(WM_USER + 9, 131273)));
}

TEST(MessageDispatcher, ThreadMessagesGoToTheThreadHook)
{
    std::vector<WPARAM> got;
    int payloadValue = 0;
    SetThreadMessageHook([&](const MSG& m) {
        if (m.message == WM_USER + 3)
            got.push_back(m.wParam);
        if (auto* c = CurrentPayload<Counted>())
            payloadValue = c->value;
    });
    EXPECT_TRUE(PostThreadMessage(GetCurrentThreadId(), WM_USER + 3, 1, 0));
    EXPECT_TRUE(PostThreadMessage(GetCurrentThreadId(), WM_USER + 3, 2, 0, MakePayload<Counted>(4)));
    EXPECT_TRUE(PumpUntil([&] { return got.size() == 2; }, 5s));
    EXPECT_EQ(got, (std::vector<WPARAM>{1, 2}));
    EXPECT_EQ(payloadValue, 4);
    EXPECT_EQ(g_payloadsAlive, 0);
    SetThreadMessageHook(nullptr);
    EXPECT_FALSE(PostThreadMessage(0xFFFFFFF0u, WM_USER, 0, 0));
}

TEST(MessageDispatcher, WindowTimerTicksUntilKilledAndRestartTakesNewPeriod)
{
    int fast = 0, once = 0;
    HWND h = CreateMessageWindow([&](HWND hwnd, UINT m, WPARAM id, LPARAM) -> LRESULT {
        if (m != WM_TIMER)
            return 0;
        if (id == 1)
            ++fast;
        if (id == 2) {
            ++once;
            KillTimer(hwnd, 2);
        }
        return 0;
    });
    // Timer 1 first set to a period far beyond the test, then set again:
    // the second call replaces the first.
    EXPECT_EQ(SetTimer(h, 1, 3600 * 1000), 1u);
    EXPECT_EQ(SetTimer(h, 1, 10), 1u);
    EXPECT_EQ(SetTimer(h, 2, 10), 2u);
    EXPECT_TRUE(PumpUntil([&] { return fast >= 5; }, 10s));
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(KillTimer(h, 2));
    EXPECT_TRUE(KillTimer(h, 1));
    EXPECT_EQ(SetTimer(h, 0, 10), 0u);  // a window timer needs an id
    DestroyWindow(h);
    EXPECT_EQ(SetTimer(h, 1, 10), 0u);
}

TEST(MessageDispatcher, TickTakenBeforeKillIsNotDelivered)
{
    int ticks = 0;
    HWND h = CreateMessageWindow([&](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
        ticks += m == WM_TIMER;
        return 0;
    });
    SetTimer(h, 5, 10);
    MSG msg;
    ASSERT_EQ(GetMessage(&msg), TRUE);
    ASSERT_EQ(msg.message, WM_TIMER);
    KillTimer(h, 5);
    DispatchMessage(&msg);
    EXPECT_EQ(ticks, 0);
    DestroyWindow(h);
}

DWORD g_procThread = 0;
int g_procTicks = 0;
void CountTick(HWND, UINT, UINT_PTR, DWORD)
{
    g_procThread = GetCurrentThreadId();
    ++g_procTicks;
}

TEST(MessageDispatcher, ThreadTimerCallsItsProcedureOnTheSettingThread)
{
    UINT_PTR a = SetTimer(0, 0, 10, CountTick);
    UINT_PTR b = SetTimer(0, 0, 3600 * 1000, CountTick);
    ASSERT_NE(a, 0u);
    EXPECT_NE(a, b);
    // Setting an existing id again keeps the id.
    EXPECT_EQ(SetTimer(0, a, 10, CountTick), a);
    EXPECT_TRUE(PumpUntil([] { return g_procTicks >= 3; }, 10s));
    EXPECT_EQ(g_procThread, GetCurrentThreadId());
    EXPECT_TRUE(KillTimer(0, a));
    EXPECT_TRUE(KillTimer(0, b));
    EXPECT_FALSE(KillTimer(0, a));
}

TEST(MessageDispatcher, OutsideLoopIsWokenAndToldTheNextDeadline)
{
    int wakes = 0;
    SetWakeHook([&] { ++wakes; });
    Recorder r;
    PostMessage(r.hwnd, WM_USER, 1, 0);
    EXPECT_GE(wakes, 1);

    auto before = std::chrono::steady_clock::now();
    SetTimer(r.hwnd, 3, 60 * 1000);
    PendingResult p = ProcessPending();
    ASSERT_EQ(r.got.size(), 1u);
    EXPECT_FALSE(p.quit);
    ASSERT_TRUE(p.nextTimer.has_value());
    EXPECT_GE(*p.nextTimer, before + 59s);

    // A handler that keeps posting does not hold the outside loop.
    HWND again = CreateMessageWindow([](HWND h, UINT, WPARAM, LPARAM) -> LRESULT {
        PostMessage(h, WM_USER, 0, 0);
        return 0;
    });
    PostMessage(again, WM_USER, 0, 0);
    int before2 = wakes;
    ProcessPending();
    EXPECT_GT(wakes, before2);  // woken again for what is left
    DestroyWindow(again);

    PostQuitMessage(3);
    p = ProcessPending();
    EXPECT_TRUE(p.quit);
    EXPECT_EQ(p.exitCode, 3);
    KillTimer(r.hwnd, 3);
    SetWakeHook(nullptr);
}

TEST(MessageDispatcher, MainWindowIsForgottenWhenDestroyed)
{
    Recorder r;
    SetMainWindow(r.hwnd);
    EXPECT_EQ(GetMainWindow(), r.hwnd);
    DestroyWindow(r.hwnd);
    EXPECT_EQ(GetMainWindow(), 0u);
}

}  // namespace
