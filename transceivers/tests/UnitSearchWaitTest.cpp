#include "transceivers/UnitSearchWait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The waiting transceiver as far as the wait sees it.
struct Unit
{
    std::atomic<bool> answered{false};
    std::atomic<bool> stopped{false};
    bool Done() { return answered.load() || stopped.load(); }
};

// A worker's wait, run on a thread of its own; the test thread plays the
// user-interface thread.
struct Worker
{
    std::atomic<bool> returned{false};
    std::atomic<bool> result{false};
    std::thread thread;
    Worker(CUnitSearchWait& wait, Unit& unit)
        : thread([this, w = &wait, u = &unit] {
              result = w->Wait("Wait for response from 127.0.0.2", [u] { return u->Done(); });
              returned = true;
          })
    {}
    ~Worker()
    {
        if (thread.joinable())
            thread.join();
    }
};

bool Pump(const std::function<bool()>& until)
{
    return PumpUntil(until, 10s);
}

TEST(UnitSearchWait, WorkerWaitShowsTheDialogOnTheUserInterfaceThread)
{
    struct Row
    {
        const char* legend;
        bool operatorCancels;
        bool expected;
    };
    const Row rows[] = {
        {"the unit answers: the dialog closes itself and the worker goes on", false, true},
        {"the operator cancels: the worker is told", true, false},
    };
    for (const auto& r : rows) {
        Unit unit;
        int shown = 0;
        DWORD shownOn = 0;
        std::string shownText;
        CUnitSearchWait wait([&](const std::string& text, const std::function<bool()>& done) {
            ++shown;
            shownOn = ::GetCurrentThreadId();
            shownText = text;
            if (r.operatorCancels)
                return false;
            unit.answered = true;
            return Pump(done);
        });
        Worker worker(wait, unit);
        ASSERT_TRUE(Pump([&] { return worker.returned.load(); })) << r.legend;
        EXPECT_EQ(worker.result.load(), r.expected) << r.legend;
        EXPECT_EQ(shown, 1) << r.legend;
        EXPECT_EQ(shownOn, ::GetCurrentThreadId()) << r.legend;
        EXPECT_EQ(shownText, "Wait for response from 127.0.0.2") << r.legend;
    }
}

TEST(UnitSearchWait, OnTheUserInterfaceThreadTheDialogRunsDirectly)
{
    Unit unit;
    int shown = 0;
    CUnitSearchWait wait([&](const std::string&, const std::function<bool()>&) { return ++shown == 1; });
    EXPECT_TRUE(wait.Wait("x", [&] { return unit.Done(); }));
    EXPECT_EQ(shown, 1) << "shown without a message round";
}

TEST(UnitSearchWait, StoppingTheTransceiverUnderTheDialogEndsTheWait)
{
    // The sounder is stopped on the user-interface thread while the dialog
    // of its data thread is up: the stop joins the data thread and frees the
    // transceiver, and the dialog, still open, must neither hold the worker
    // nor call into the freed transceiver.
    auto unit = std::make_unique<Unit>();
    std::unique_ptr<Worker> worker;
    bool dialogEnded = false;
    CUnitSearchWait wait([&](const std::string&, const std::function<bool()>& done) {
        unit->stopped = true;
        worker.reset();  // joins
        unit.reset();
        dialogEnded = Pump(done);
        return dialogEnded;
    });
    worker = std::make_unique<Worker>(wait, *unit);
    ASSERT_TRUE(Pump([&] { return dialogEnded; }));
    EXPECT_EQ(worker, nullptr);
}

TEST(UnitSearchWait, AWaitThatIsNeverShownReleasesTheWorker)
{
    Unit unit;
    std::mutex m;
    std::condition_variable cv;
    bool posted = false;
    int shown = 0;
    auto wait = std::make_unique<CUnitSearchWait>([&](const std::string&, const std::function<bool()>&) {
        ++shown;
        return true;
    });
    std::atomic<bool> result{true};
    std::thread worker([&] {
        result = wait->Wait("x", [&] {
            // The first look comes after the post.
            {
                std::lock_guard<std::mutex> lock(m);
                posted = true;
            }
            cv.notify_all();
            return false;
        });
    });
    {
        std::unique_lock<std::mutex> lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 10s, [&] { return posted; }));
    }
    wait.reset();  // the queued wait is dropped with the window
    worker.join();
    EXPECT_FALSE(result.load());
    EXPECT_EQ(shown, 0);
}

}  // namespace
