// Timer objects on the dispatcher's thread timers: start, stop, stale ticks,
// and the end of an object whose callback runs on another thread.
#include "base/StdTimer.h"

#include "platform/MessageDispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

class CountingTimer : public CStdTimer
{
public:
    ~CountingTimer() override { Stop(); }
    void OnTimer() override
    {
        ++ticks;
        if (onTick)
            onTick(*this);
    }
    std::atomic<int> ticks{0};
    std::function<void(CountingTimer&)> onTick;
};

TEST(StdTimer, StartStopAndRunningFlag)
{
    CountingTimer t;
    EXPECT_FALSE(t.IsRunning());
    EXPECT_TRUE(t.Stop());  // not running: nothing to do
    ASSERT_TRUE(t.Start(10));
    EXPECT_TRUE(t.IsRunning());
    // A second start keeps the first, short period: ticks still come quickly.
    EXPECT_FALSE(t.Start(3600 * 1000));
    EXPECT_TRUE(PumpUntil([&] { return t.ticks >= 3; }, 10s));
    EXPECT_TRUE(t.Stop());
    EXPECT_FALSE(t.IsRunning());
}

TEST(StdTimer, TickAfterStopCallsNothing)
{
    CountingTimer t;
    UINT_PTR id = 0;
    t.onTick = [&](CountingTimer&) {};
    ASSERT_TRUE(t.Start(10));
    // Catch the id from a tick the dispatcher delivers.
    MSG msg;
    ASSERT_EQ(GetMessage(&msg), TRUE);
    ASSERT_EQ(msg.message, WM_TIMER);
    id = msg.wParam;
    DispatchMessage(&msg);
    ASSERT_EQ(t.ticks, 1);
    ASSERT_TRUE(t.Stop());
    CStdTimer::TimerProc(0, WM_TIMER, id, 0);  // a tick that was already on its way
    EXPECT_EQ(t.ticks, 1);
}

TEST(StdTimer, CallbackCanStopAndRestartItself)
{
    CountingTimer t;
    int restarts = 0;
    t.onTick = [&](CountingTimer& self) {
        EXPECT_TRUE(self.Stop());
        if (restarts++ < 2) {
            EXPECT_TRUE(self.Start(10));
        }
    };
    ASSERT_TRUE(t.Start(10));
    EXPECT_TRUE(PumpUntil([&] { return t.ticks == 3; }, 10s));
    EXPECT_FALSE(t.IsRunning());
}

TEST(StdTimer, CallbackCanDeleteItsOwnObject)
{
    class SelfDeleting : public CStdTimer
    {
    public:
        explicit SelfDeleting(std::atomic<bool>& deleted) : deleted_(deleted) {}
        void OnTimer() override
        {
            auto& deleted = deleted_;
            delete this;  // the stop inside must not wait for this very callback
            deleted = true;
        }

    private:
        std::atomic<bool>& deleted_;
    };
    std::atomic<bool> deleted{false};
    ASSERT_TRUE((new SelfDeleting(deleted))->Start(10));
    EXPECT_TRUE(PumpUntil([&] { return deleted.load(); }, 10s));
}

TEST(StdTimerThreads, DestroyWaitsForCallbackOnAnotherThread)
{
    // The timer runs on its own thread; the main thread destroys it while its
    // callback is in progress there.
    struct Shared
    {
        std::mutex m;
        std::condition_variable cv;
        bool entered = false;
        bool release = false;
        bool callbackFinished = false;
        bool finishedBeforeDestroyed = false;
    } s;
    class BlockingTimer : public CStdTimer
    {
    public:
        explicit BlockingTimer(Shared& s) : s_(s) {}
        ~BlockingTimer() override
        {
            Stop();
            std::lock_guard lk(s_.m);
            s_.finishedBeforeDestroyed = s_.callbackFinished;
        }
        void OnTimer() override
        {
            std::unique_lock lk(s_.m);
            if (s_.entered)
                return;
            s_.entered = true;
            s_.cv.notify_all();
            s_.cv.wait(lk, [&] { return s_.release; });
            ++touched_;  // the object must still be there
            s_.callbackFinished = true;
        }

    private:
        Shared& s_;
        int touched_ = 0;
    };

    std::promise<BlockingTimer*> started;
    std::atomic<bool> stopLoop{false};
    std::thread timerThread([&] {
        auto* t = new BlockingTimer(s);
        ASSERT_TRUE(t->Start(10));
        started.set_value(t);
        PumpUntil([&] { return stopLoop.load(); }, 30s);
    });
    BlockingTimer* t = started.get_future().get();
    {
        std::unique_lock lk(s.m);
        ASSERT_TRUE(s.cv.wait_for(lk, 10s, [&] { return s.entered; }));
    }
    std::thread destroyer([t] { delete t; });
    // Let the callback go only once the destroyer has taken the timer out of
    // the map, i.e. is waiting or (without the wait) already done.
    PumpUntil([&] { return !t->IsRunning(); }, 10s);
    {
        std::lock_guard lk(s.m);
        s.release = true;
        s.cv.notify_all();
    }
    destroyer.join();
    stopLoop = true;
    timerThread.join();
    EXPECT_TRUE(s.finishedBeforeDestroyed);
}

}  // namespace
