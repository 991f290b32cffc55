// The slope tracker while the ping-data thread feeds it and the user-interface
// thread switches its history off and on through the settings dialog.
#include "engine/Slope.h"
#include "engine/tests/TestDetectionDialogs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(SlopeThreads, SettingsAppliedWhilePingsArriveKeepTheHistoryWhole)
{
    CTestDetectionDialogs dialogs;
    CSlope slope(&dialogs);
    slope.SetHistoryOn(true);
    slope.SetHistorySize(400);
    std::atomic<bool> historyOn{true};
    dialogs.slope = [&](CSlope::DialogValues& v, const auto&) {
        v.HistoryOn = historyOn.load();
        v.FilterSize = 20;
        return true;
    };
    std::atomic<bool> done{false};
    std::thread pings([&] {
        std::uint64_t time = 0;
        for (int i = 0; i < 20000; ++i) {
            time += 1000000;
            slope.AddPoint(50.0 + 0.01 * i, 5.0, time);
            // The echogram view sizes the history on every ping.
            slope.SetHistorySize(400);
            double value = 0.0;
            if (slope.GetHistoryValue(0, value)) {
                EXPECT_GT(value, 0.0);
            }
            slope.GetDistance(0, 10);
        }
        done = true;
    });
    // At least once, even when the pings are through before this thread
    // gets its turn.
    do {
        historyOn = !historyOn.load();
        slope.EditSettings();
    } while (!done.load());
    pings.join();
    EXPECT_EQ(slope.GetPointCapacity(), 20);
}

}  // namespace
