// The tests' wait on a condition: it sees what another thread or the event
// loop makes true, and gives up with false when nothing does.
#include "testsupport/Wait.h"
#include "testsupport/ui/QtWait.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

using namespace std::chrono_literals;

TEST(Wait, SeesAConditionAnotherThreadMakesTrueAndGivesUpOnOneNothingMakesTrue)
{
    std::atomic<bool> done{false};
    std::thread worker([&] { done = true; });
    EXPECT_TRUE(zv::test::WaitUntil([&] { return done.load(); }));
    worker.join();

    int checks = 0;
    EXPECT_FALSE(zv::test::WaitUntil(
        [&] {
            ++checks;
            return false;
        },
        20ms));
    EXPECT_GT(checks, 1) << "checked again until the time-out";
}

TEST(QtWait, RunsTheEventLoopWhileItWaits)
{
    static int argc = 1;
    static char name[] = "wait-test";
    static char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    // Only the loop delivers the timer's call; no other thread helps.
    bool fired = false;
    QTimer::singleShot(10, [&] { fired = true; });
    EXPECT_TRUE(zv::test::QtWaitUntil([&] { return fired; }));
    EXPECT_FALSE(zv::test::QtWaitUntil([] { return false; }, 20ms));
}

}  // namespace
