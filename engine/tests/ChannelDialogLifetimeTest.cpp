// The channel's settings dialogs run a nested event loop in which the
// sounder, and with it the channel, its bottom detector and slope tracker,
// may be deleted. The scripted runners here delete the owner from inside the
// dialog as that loop would; under the address sanitizer any write-back into
// the deleted part fails the test.
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "engine/ChannelLinks.h"
#include "engine/Slope.h"
#include "engine/tests/TestDetectionDialogs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace {

namespace fs = std::filesystem;

// A dialog the part ends when it is destroyed while the dialog runs.
struct FakeDialog : CModalSession::IOpenDialog
{
    int ended = 0;
    int result = 0;
    void EndDialog(int r) override
    {
        ++ended;
        result = r;
    }
};

// How the owner goes while the dialog is open: the whole channel, or only
// the part, replaced by a new one.
enum class Teardown { Channel, Part };

class ChannelDialogs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "zvdlglifeXXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder = pattern;
        channel = MakeChannel();
    }
    void TearDown() override
    {
        channel.reset();
        std::error_code ec;
        fs::remove_all(folder, ec);
    }

    std::unique_ptr<CBottomDetector> MakeDetector()
    {
        CBottomDetector::Construction b;
        b.SourceName = "T38";
        b.SampleDistance = 0.1;
        b.SettingsFolder = folder.string() + "/";
        b.Dialogs = &dialogs;
        return std::make_unique<CBottomDetector>(b);
    }
    std::unique_ptr<CChannel> MakeChannel()
    {
        CChannel::Construction cc;
        cc.Parameters.SampleDistance = 0.1;
        cc.Parameters.SampleInterval = 0.2 / 1500.0;
        cc.Parameters.PulseLength = 0.001;
        cc.SourceName = "T38";
        cc.Links = &links;
        auto c = std::make_unique<CChannel>(cc);
        auto d = MakeDetector();
        detector = d.get();
        c->SetBottomDetector(std::move(d));
        c->SetSlopeTracker(std::make_unique<CSlope>(&dialogs));
        return c;
    }

    fs::path folder;
    CTestDetectionDialogs dialogs;
    const std::atomic<int>& notified = dialogs.bottomDetectorChanges;
    IChannelLinks links;
    std::unique_ptr<CChannel> channel;
    CBottomDetector* detector = nullptr;
};

class OwnerGoneWhileDialogRuns : public ChannelDialogs, public ::testing::WithParamInterface<Teardown>
{
protected:
    // What the nested loop would do to the dialog's owner.
    void TearDownOwner(bool bottomDetector)
    {
        detector = nullptr;
        if (GetParam() == Teardown::Channel)
            channel.reset();
        else if (bottomDetector)
            channel->SetBottomDetector(MakeDetector());
        else
            channel->SetSlopeTracker(std::make_unique<CSlope>(&dialogs));
    }
};

TEST_P(OwnerGoneWhileDialogRuns, BottomDetectorGoneWhileItsDialogRuns)
{
    FakeDialog dialog;
    dialogs.bottomDetector = [&](CBottomDetector::DialogValues& v, const auto& opened) {
        opened(&dialog);
        v.MaximumDepth = 321.0;
        v.BottomLostWarning = true;
        TearDownOwner(true);
        // Confirmed anyway: the harshest case for the launcher.
        return true;
    };
    CChannel* c = channel.get();
    bool lost = false, minAlarm = false, maxAlarm = false;
    double a = 1.0, b = 2.0;
    EXPECT_TRUE(c->RunBottomDetectorDialog(lost, minAlarm, maxAlarm, a, b));
    EXPECT_EQ(dialog.ended, 1);
    EXPECT_EQ(dialog.result, -1);
    EXPECT_EQ(notified, 0) << "no status update for a detector that is gone";
    EXPECT_FALSE(lost) << "a dialog ended by its owner hands nothing back";
}

TEST_P(OwnerGoneWhileDialogRuns, SlopeTrackerGoneWhileItsDialogRuns)
{
    FakeDialog dialog;
    dialogs.slope = [&](CSlope::DialogValues& v, const auto& opened) {
        opened(&dialog);
        v.HistoryOn = true;
        v.FilterSize = 40;
        TearDownOwner(false);
        return true;
    };
    CChannel* c = channel.get();
    EXPECT_TRUE(c->EditSlopeSettings());
    EXPECT_EQ(dialog.ended, 1);
    EXPECT_EQ(dialog.result, -1);
    if (channel) {
        EXPECT_FALSE(channel->IsSlopeEnabled());
        EXPECT_EQ(channel->GetSlopeHalfPointCount(), CSlope::kDefaultPoints / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(Teardowns, OwnerGoneWhileDialogRuns, ::testing::Values(Teardown::Channel, Teardown::Part),
                         [](const auto& info) { return info.param == Teardown::Channel ? "Channel" : "Part"; });

// A dialog that ran to its end is forgotten: its values are applied, and the
// owner destroyed later ends nothing.
TEST_F(ChannelDialogs, FinishedDialogsApplyAndAreForgotten)
{
    FakeDialog bottom, slope;
    dialogs.bottomDetector = [&](CBottomDetector::DialogValues& v, const auto& opened) {
        opened(&bottom);
        v.MaximumDepth = 321.0;
        v.BottomLostWarning = true;
        return true;
    };
    dialogs.slope = [&](CSlope::DialogValues& v, const auto& opened) {
        opened(&slope);
        v.HistoryOn = true;
        v.FilterSize = 40;
        return true;
    };
    bool lost = false, minAlarm = false, maxAlarm = false;
    double a = 1.0, b = 2.0;
    EXPECT_TRUE(channel->RunBottomDetectorDialog(lost, minAlarm, maxAlarm, a, b));
    EXPECT_TRUE(lost);
    EXPECT_EQ(detector->GetMaximumDepth(), 321.0);
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(channel->EditSlopeSettings());
    EXPECT_TRUE(channel->IsSlopeEnabled());
    EXPECT_EQ(channel->GetSlopeHalfPointCount(), 20);
    channel.reset();
    EXPECT_EQ(bottom.ended, 0);
    EXPECT_EQ(slope.ended, 0);
}

}  // namespace
