// Status messages and alarms: queues without duplicates, display times,
// event-log records, counters and the second bar.
#include "base/Status.h"
#include "ShellTestSupport.h"

#include <gtest/gtest.h>

#include <map>

using namespace app;
using namespace shelltest;

namespace {

// Timers that fire only when the test says so.
class ManualTimers : public IStatusTimers
{
public:
    std::uintptr_t Start(unsigned ms, std::function<void()> fire) override
    {
        const auto id = ++m_next;
        running[id] = {ms, std::move(fire)};
        return id;
    }
    void Stop(std::uintptr_t id) override { running.erase(id); }
    // Fires the one running timer of this period; false when none runs.
    bool Fire(unsigned ms)
    {
        for (auto it = running.begin(); it != running.end(); ++it) {
            if (it->second.first == ms) {
                auto fire = std::move(it->second.second);
                running.erase(it);
                fire();
                return true;
            }
        }
        return false;
    }
    std::map<std::uintptr_t, std::pair<unsigned, std::function<void()>>> running;

private:
    std::uintptr_t m_next = 0;
};

class RecordingOwner : public IStatusOwner
{
public:
    void ShowStatusText(const std::string& text) override { status.push_back(text); }
    void ShowAlarmText(const std::string& text) override { alarms.push_back(text); }
    void PanesChanged() override { ++changes; }
    std::vector<std::string> status, alarms;
    int changes = 0;
};

class StatusBar : public ::testing::Test
{
protected:
    StatusBar() : status(SounderModel::QY310, &timers) { status.SetOwner(&owner); }
    int Records(const std::string& text) const
    {
        const std::string log = env.EventLog();
        int n = 0;
        for (auto pos = log.find(text); pos != std::string::npos; pos = log.find(text, pos + 1))
            ++n;
        return n;
    }
    ShellEnvironment env;
    ManualTimers timers;
    RecordingOwner owner;
    CStatus status;
};

TEST_F(StatusBar, AlarmsShowInTurnForTenSecondsEachAndAreRecordedOncePerRaise)
{
    std::vector<std::string> forwarded;
    status.forwardText = [&](const std::string& t) { forwarded.push_back(t); };
    status.AddMessage(45066, MESSAGE_TYPE_ALARM);  // Bottom lost
    status.AddMessage(45066, MESSAGE_TYPE_ALARM);  // already queued: no second entry
    status.AddMessage(45067, MESSAGE_TYPE_ALARM);
    status.AddMessage(45068, MESSAGE_TYPE_ALARM);
    EXPECT_EQ(status.AlarmQueue().size(), 3u);
    EXPECT_EQ(owner.alarms, std::vector<std::string>{"Bottom lost"});
    EXPECT_EQ(Records("@File:Status @Line:269 @Text:Bottom lost"), 1);
    EXPECT_EQ(Records("Bottom minimum Depth"), 0);

    // A status message meanwhile shows at once, whatever the alarms do.
    status.AddMessage(57685, MESSAGE_TYPE_STATUS);
    EXPECT_EQ(owner.status, std::vector<std::string>{"No valid positions"});

    ASSERT_TRUE(timers.Fire(kAlarmShowMs));
    EXPECT_EQ(status.CurrentAlarmText(), "Bottom minimum Depth");
    ASSERT_TRUE(timers.Fire(kAlarmShowMs));
    EXPECT_EQ(status.CurrentAlarmText(), "Bottom maximum Depth");
    ASSERT_TRUE(timers.Fire(kAlarmShowMs));
    EXPECT_EQ(status.CurrentAlarmText(), "");
    EXPECT_TRUE(status.AlarmQueue().empty());
    EXPECT_EQ(Records("@Text:Bottom minimum Depth"), 1);
    EXPECT_EQ(Records("@Text:Bottom maximum Depth"), 1);
    // A second raise after it left the queue is a new announcement.
    status.AddMessage(45066, MESSAGE_TYPE_ALARM);
    EXPECT_EQ(Records("@Text:Bottom lost"), 2);
    EXPECT_EQ(std::count(forwarded.begin(), forwarded.end(), "Bottom lost"), 2);
}

TEST_F(StatusBar, StatusMessageShowsFiveSecondsThenHalfASecondEmpty)
{
    status.AddMessage(57685, MESSAGE_TYPE_STATUS);
    status.AddMessage(99999, MESSAGE_TYPE_STATUS);  // no text for it
    EXPECT_EQ(status.CurrentStatusText(), "No valid positions");
    EXPECT_FALSE(timers.Fire(kStatusGapMs));
    ASSERT_TRUE(timers.Fire(kStatusShowMs));
    EXPECT_EQ(owner.status.back(), "");
    EXPECT_EQ(status.StatusQueue().size(), 2u);  // the head leaves after the gap
    ASSERT_TRUE(timers.Fire(kStatusGapMs));
    EXPECT_EQ(status.CurrentStatusText(), "Unknown Status Message");
    ASSERT_TRUE(timers.Fire(kStatusShowMs));
    ASSERT_TRUE(timers.Fire(kStatusGapMs));
    EXPECT_TRUE(status.StatusQueue().empty());
    EXPECT_TRUE(timers.running.empty());
}

TEST_F(StatusBar, AlarmBeepDoesNotWaitAndUnknownTypeIsFatal)
{
    std::vector<std::pair<unsigned, unsigned>> beeps;
    status.beep = [&](unsigned hz, unsigned ms) { beeps.emplace_back(hz, ms); };
    status.SetBeepFlags(false, true);
    status.AddMessage(45066, MESSAGE_TYPE_ALARM);
    EXPECT_EQ(beeps, (std::vector<std::pair<unsigned, unsigned>>{{500, 1000}}));
    try {
        status.AddMessage(45066, 2);
        FAIL();
    } catch (const FatalReported& f) {
        EXPECT_NE(f.text.find("File: 'Status'  Line: 214"), std::string::npos);
        EXPECT_NE(f.text.find("Invalid MESSAGE_TYPE (2)"), std::string::npos);
    }
}

TEST_F(StatusBar, NoOwnerShowsNothingYet)
{
    CStatus bare(SounderModel::QY310, &timers);
    bare.AddMessage(45066, MESSAGE_TYPE_ALARM);
    EXPECT_EQ(bare.AlarmQueue().size(), 1u);
    EXPECT_TRUE(timers.running.empty());
    EXPECT_EQ(Records("Bottom lost"), 0);
}

TEST_F(StatusBar, CountersAndPaneTexts)
{
    status.SetLineCounter(7, true);
    EXPECT_EQ(status.FindPane(ids::LINE_COUNTER)->text, "L0007");
    EXPECT_TRUE(status.FindPane(ids::LINE_COUNTER)->style & SBPS_OWNERDRAW);
    status.SetLineCounter(12345, false);
    EXPECT_EQ(status.FindPane(ids::LINE_COUNTER)->text, "L12345");
    EXPECT_FALSE(status.FindPane(ids::LINE_COUNTER)->style & SBPS_OWNERDRAW);
    status.SetHCounter(3, true);
    EXPECT_EQ(status.FindPane(ids::H_COUNTER)->text, "H0003");

    const std::string ping = "17";
    status.SetPaneString(ids::PING_COUNTER, &ping);  // no such pane: skipped
    status.SetPaneString(ids::ES_STATUS_TEXT_PANE, &ping);
    EXPECT_EQ(status.FindPane(ids::ES_STATUS_TEXT_PANE)->text, " 17");  // its own string first
    status.SetPaneString(ids::ES_STATUS_TEXT_PANE, nullptr);
    EXPECT_EQ(status.FindPane(ids::ES_STATUS_TEXT_PANE)->text, "");
}

TEST_F(StatusBar, PaneSetsByModel)
{
    auto idsOf = [](SounderModel model) {
        CStatus s(model, nullptr);
        std::vector<unsigned> out;
        for (const auto& p : s.Panes())
            out.push_back(p.id);
        return out;
    };
    EXPECT_EQ(idsOf(SounderModel::QY310).size(), 10u);
    EXPECT_EQ(idsOf(SounderModel::RM30), (std::vector<unsigned>{0, 45065, 45141, 45084, 45085, 45062, 45064}));
    EXPECT_EQ(idsOf(SounderModel::TOTAL), (std::vector<unsigned>{0, 45065, 45141, 45155, 45084, 45085, 45062, 45064}));
}

TEST_F(StatusBar, NarrowFrameMovesSixPanesToTheSecondBar)
{
    auto moved = [&] {
        int n = 0;
        for (const auto& p : status.Panes())
            n += p.inSecondBar ? 1 : 0;
        return n;
    };
    status.OnBarWidth(800);
    EXPECT_EQ(moved(), 0);
    status.OnBarWidth(700);
    EXPECT_EQ(moved(), 6);
    EXPECT_TRUE(status.SecondBarInUse());
    status.OnBarWidth(720);
    EXPECT_EQ(moved(), 6);
    status.OnBarWidth(721);
    EXPECT_EQ(moved(), 0);
    EXPECT_FALSE(status.SecondBarInUse());
}

}  // namespace
