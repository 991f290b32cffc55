// Alarms and status messages raised from many threads at once reach the
// status bar on its own thread, each id queued once.
#include "ShellTestSupport.h"
#include "base/Status.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace app;
using namespace shelltest;

namespace {

class NullOwner : public IStatusOwner
{
public:
    void ShowStatusText(const std::string&) override {}
    void ShowAlarmText(const std::string&) override {}
    void PanesChanged() override {}
};

TEST(StatusThreadsTest, RaisesFromWorkersAreQueuedOnceOnTheOwnersThread)
{
    ShellEnvironment env;
    NullOwner owner;
    CStatus status(SounderModel::QY310);  // its display timers run on this thread
    status.SetOwner(&owner);
    std::atomic<int> handled{0};
    const HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM w, LPARAM l) -> LRESULT {
        if (message == WM_ES_STATUSMESSAGE) {
            status.AddMessage(static_cast<unsigned>(w), static_cast<int>(l));
            ++handled;
        }
        return 0;
    });
    SetMainWindow(frame);
    constexpr int kThreads = 4;
    constexpr int kRaises = 50;
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t)
        workers.emplace_back([] {
            for (int i = 0; i < kRaises; ++i) {
                if (i % 2 == 0)
                    CStatus::PostAlarm(45066 + static_cast<unsigned>(i % 3));
                else
                    CStatus::PostStatusMessage(57685);
            }
        });
    ASSERT_TRUE(PumpUntil([&] { return handled.load() == kThreads * kRaises; }, std::chrono::seconds(10)));
    for (auto& w : workers)
        w.join();
    EXPECT_EQ(status.AlarmQueue().size(), 3u);
    EXPECT_EQ(status.StatusQueue().size(), 1u);
    EXPECT_EQ(status.CurrentAlarmText(), "Bottom lost");
    SetMainWindow(0);
    DestroyWindow(frame);
}

}  // namespace
