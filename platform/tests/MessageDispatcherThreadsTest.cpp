// Sends and posts across threads: a waiting sender is always released, by
// the handler, by the window's end, by the owner thread's end or by a stop.
#include "platform/MessageDispatcher.h"

#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Set by the owner's wake hook: something (here: a send) reached its queue.
class WakeSignal
{
public:
    WakeSignal()
    {
        SetWakeHook([this] {
            std::lock_guard lk(m_);
            ++count_;
        });
    }
    ~WakeSignal() { SetWakeHook(nullptr); }
    bool WaitFor(int n)
    {
        return zv::test::WaitUntil(
            [&] {
                std::lock_guard lk(m_);
                return count_ >= n;
            },
            10s);
    }

private:
    std::mutex m_;
    int count_ = 0;
};

std::atomic<int> g_alive{0};
struct Counted
{
    Counted() { ++g_alive; }
    Counted(const Counted&) = delete;
    ~Counted() { --g_alive; }
};

TEST(MessageDispatcherThreads, SendFromWorkerWaitsForTheOwner)
{
    std::atomic<bool> workerReturned{false};
    bool returnedBeforeHandler = true;
    DWORD handlerThread = 0;
    HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM w, LPARAM) -> LRESULT {
        returnedBeforeHandler = workerReturned;
        handlerThread = GetCurrentThreadId();
        return static_cast<LRESULT>(w) + 1;
    });
    bool ok = false;
    LRESULT result = 0;
    std::thread worker([&] {
        result = SendMessage(h, WM_USER, 41, 0, nullptr, &ok);
        workerReturned = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return workerReturned.load(); }, 10s));
    worker.join();
    EXPECT_FALSE(returnedBeforeHandler);
    EXPECT_EQ(handlerThread, GetCurrentThreadId());
    EXPECT_TRUE(ok);
    EXPECT_EQ(result, 42);
    DestroyWindow(h);
}

// The three ways a send is released without its handler.
enum class Release { DestroyWindow, StopDispatcher, OwnerThreadEnds };

class SendRelease : public ::testing::TestWithParam<Release>
{};

TEST_P(SendRelease, WaitingSenderGetsFailureAndPayloadIsFreed)
{
    std::atomic<int> handled{0};
    std::promise<HWND> created;
    std::promise<void> finishOwner;
    std::thread owner([&] {
        WakeSignal wake;
        HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++handled; });
        created.set_value(h);
        // The owner never runs its queue: it waits for the send to arrive.
        ASSERT_TRUE(wake.WaitFor(1));
        if (GetParam() == Release::DestroyWindow)
            DestroyWindow(h);
        else if (GetParam() == Release::StopDispatcher)
            StopMessageDispatcher();
        else
            return;  // the thread ends with the send queued
        finishOwner.get_future().wait();
    });
    HWND h = created.get_future().get();
    bool ok = true;
    LRESULT r = SendMessage(h, WM_USER, 0, 0, MakePayload<Counted>(), &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(handled, 0);
    EXPECT_EQ(g_alive, 0);
    if (GetParam() == Release::StopDispatcher) {
        // Nothing new is accepted until the dispatcher runs again.
        EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0));
        RestartMessageDispatcher();
    }
    finishOwner.set_value();
    owner.join();
    EXPECT_FALSE(IsWindow(h));
}

INSTANTIATE_TEST_SUITE_P(, SendRelease,
                         ::testing::Values(Release::DestroyWindow, Release::StopDispatcher, Release::OwnerThreadEnds));

TEST(MessageDispatcherThreads, QueuedPayloadsAreFreedWhenOwnerThreadEnds)
{
    std::promise<HWND> created;
    std::promise<void> posted;
    std::thread owner([&] {
        created.set_value(CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; }));
        posted.get_future().wait();
    });
    HWND h = created.get_future().get();
    ASSERT_TRUE(PostMessage(h, WM_USER, 0, 0, MakePayload<Counted>()));
    ASSERT_TRUE(PostMessage(h, WM_USER, 0, 0, MakePayload<Counted>()));
    EXPECT_EQ(g_alive, 2);
    posted.set_value();
    owner.join();
    EXPECT_EQ(g_alive, 0);
    EXPECT_FALSE(PostMessage(h, WM_USER, 0, 0, MakePayload<Counted>()));
    EXPECT_EQ(g_alive, 0);
}

TEST(MessageDispatcherThreads, ThreadsSendingToEachOtherDoNotLockUp)
{
    // Main owns a; the worker owns b and runs its loop. Main sends to b, whose
    // handler sends back to a while main still waits.
    HWND a = CreateMessageWindow([](HWND, UINT, WPARAM w, LPARAM) -> LRESULT { return static_cast<LRESULT>(w) * 10; });
    std::promise<HWND> created;
    std::thread worker([&] {
        HWND b = CreateMessageWindow([&](HWND, UINT m, WPARAM w, LPARAM) -> LRESULT {
            if (m == WM_CLOSE) {
                PostQuitMessage(0);
                return 0;
            }
            return SendMessage(a, WM_USER, w + 1, 0) + 1;
        });
        created.set_value(b);
        RunMessageLoop();
        DestroyWindow(b);
    });
    HWND b = created.get_future().get();
    bool ok = false;
    EXPECT_EQ(SendMessage(b, WM_USER, 4, 0, nullptr, &ok), 51);
    EXPECT_TRUE(ok);
    PostMessage(b, WM_CLOSE, 0, 0);
    worker.join();
    DestroyWindow(a);
}

TEST(MessageDispatcherThreads, EachPostersOrderIsKept)
{
    constexpr int kPosters = 4;
    constexpr int kEach = 2000;
    std::vector<std::vector<LPARAM>> seen(kPosters);
    int total = 0;
    HWND h = CreateMessageWindow([&](HWND, UINT, WPARAM w, LPARAM l) -> LRESULT {
        seen[w].push_back(l);
        ++total;
        return 0;
    });
    std::vector<std::thread> posters;
    for (int p = 0; p < kPosters; ++p)
        posters.emplace_back([h, p] {
            for (int i = 0; i < kEach; ++i)
                PostMessage(h, WM_USER, static_cast<WPARAM>(p), i);
        });
    EXPECT_TRUE(PumpUntil([&] { return total == kPosters * kEach; }, 30s));
    for (auto& t : posters)
        t.join();
    for (int p = 0; p < kPosters; ++p) {
        ASSERT_EQ(seen[p].size(), static_cast<size_t>(kEach));
        for (int i = 0; i < kEach; ++i)
            ASSERT_EQ(seen[p][i], i);
    }
    DestroyWindow(h);
}

TEST(MessageDispatcherThreads, WindowTimerRunsOnTheOwnerNotTheSetter)
{
    DWORD tickThread = 0;
    std::atomic<int> ticks{0};
    HWND h = CreateMessageWindow([&](HWND hwnd, UINT m, WPARAM id, LPARAM) -> LRESULT {
        if (m == WM_TIMER) {
            tickThread = GetCurrentThreadId();
            ++ticks;
            KillTimer(hwnd, id);
        }
        return 0;
    });
    std::thread([h] { EXPECT_EQ(SetTimer(h, 9, 10), 9u); }).join();
    EXPECT_TRUE(PumpUntil([&] { return ticks == 1; }, 10s));
    EXPECT_EQ(tickThread, GetCurrentThreadId());
    DestroyWindow(h);
}

TEST(MessageDispatcherThreads, ClearedWakeHookIsNeverCalledAgain)
{
    // Other threads keep waking this one (by setting the same far timer of
    // its window again, which queues nothing) while the hook is replaced; a
    // hook call after the replacement returned would touch a dead capture.
    HWND h = CreateMessageWindow([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; });
    std::atomic<bool> stop{false};
    std::atomic<int> lateCalls{0};
    std::vector<std::thread> posters;
    for (int i = 0; i < 3; ++i)
        posters.emplace_back([&] {
            while (!stop)
                SetTimer(h, 1, 3600 * 1000);
        });
    for (int round = 0; round < 200; ++round) {
        auto retired = std::make_shared<std::atomic<bool>>(false);
        std::atomic<int> calls{0};
        SetWakeHook([retired, &calls, &lateCalls] {
            ++calls;
            if (*retired)
                ++lateCalls;
        });
        while (calls == 0)
            std::this_thread::yield();
        SetWakeHook(nullptr);
        *retired = true;
    }
    stop = true;
    for (auto& t : posters)
        t.join();
    EXPECT_EQ(lateCalls, 0);
    DestroyWindow(h);
}

TEST(MessageDispatcherThreads, RegisteredIdIsTheSameOnEveryThread)
{
    std::vector<UINT> ids(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < ids.size(); ++i)
        threads.emplace_back([&ids, i] { ids[i] = RegisterWindowMessage("ThreadsShareThisName"); });
    for (auto& t : threads)
        t.join();
    for (UINT id : ids)
        EXPECT_EQ(id, RegisterWindowMessage("THREADSSHARETHISNAME"));
}

}  // namespace
