// The depth document's alarm settings edited on the user-interface thread
// while pings check them on the ping-data thread.
#include "display/DepthDoc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(DepthDocThreads, AlarmSettingsChangeWhilePingsCheckThem)
{
    // Alarms counted on the ping-data thread, and a bottom at 10 m on every ping.
    struct Host : IDepthHost, IViewUpdates
    {
        std::atomic<int> alarms{0};
        void StatusMessage(unsigned) override {}
        void Alarm(unsigned) override { alarms.fetch_add(1); }
        void UpdateViews(CAbstractESDoc&) override {}
    } host;
    struct Channel : IDepthChannel
    {
        bool GetBottom(double& depth) override
        {
            depth = 10.0;
            return true;
        }
        bool GetCorrectedDepth(double&) override { return false; }
        bool IsDepthFilterOn() const override { return false; }
    } channel;
    SDisplayContext context;
    context.depthHost = &host;
    context.viewUpdates = &host;
    std::atomic<int>& alarms = host.alarms;

    CDepthDoc doc(context);
    doc.SetDepthChannel(&channel);
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
