// The depth document's alarm settings edited on the user-interface thread
// while pings check them on the ping-data thread.
#include "display/DepthDoc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(DepthDocThreads, AlarmSettingsChangeWhilePingsCheckThem)
{
    std::atomic<int> alarms{0};
    CDepthDoc::Environment env;
    env.alarm = [&alarms](unsigned) { alarms.fetch_add(1); };
    env.statusMessage = [](unsigned) {};
    env.updateViews = [](CDepthDoc*) {};
    CDepthDoc::SetEnvironment(env);

    CDepthDoc doc;
    CDepthDoc::ChannelAccess access;
    access.bottom = [](double& depth) {
        depth = 10.0;
        return true;
    };
    doc.SetChannelAccess(access);
    CDepthDoc::AlarmSettings first;
    first.minimumOn = true;
    first.minimum = 20.0;
    doc.SetAlarmSettings(first);

    std::atomic<bool> stop{false};
    std::atomic<int> pings{0};
    std::thread pingThread([&] {
        while (!stop.load()) {
            doc.OnSourceUpdate(1);
            pings.fetch_add(1);
        }
    });
    // Every setting raises the minimum alarm at 10 m, each in its own way.
    for (int i = 0; i < 2000 || pings.load() < 50; ++i) {
        CDepthDoc::AlarmSettings s;
        s.minimumOn = true;
        s.minimum = 20.0 + i % 7;
        s.maximumOn = i % 2 == 0;
        s.maximum = 50.0;
        s.bottomLost = i % 3 == 0;
        doc.SetAlarmSettings(s);
        EXPECT_TRUE(doc.GetAlarmSettings().minimumOn);
    }
    stop.store(true);
    pingThread.join();
    EXPECT_EQ(alarms.load(), pings.load()) << "one minimum alarm per ping, none else";
}

}  // namespace
