// Links of the assembled program that a replay does not reach: the
// side-looking partner's window and samples that travel through the external
// depth table, and the channels' depths between sounders.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "app/ui/tests/TestProgram.h"
#include "display/ui/EchogramView.h"
#include "sensors/ExternalDepth.h"

#include <gtest/gtest.h>

using namespace shelltest;

namespace {

class ProgramLinksTest : public ::testing::Test {
protected:
    ProgramLinksTest() { QtApp(); }
    void Start(const char* model)
    {
        program = MakeProgram(TestProgramOptions({model}));
        ASSERT_TRUE(program->Start());
    }

    ShellEnvironment env;
    std::unique_ptr<app::CProgram> program;
};

// The echogram of one side publishes the window it wants of its partner; the
// partner's channel fetches that window and hands the samples back, and the
// first side's view reads them from the table: in order, the rest no echo.
TEST_F(ProgramLinksTest, PartnerWindowAndSamplesTravelThroughTheExternalDepthTable)
{
    Start("QY310");
    app::CProgramChannelLinks& links = program->ChannelLinks();
    CExternalDepth& table = program->ExternalDepth();
    table.SetSourceName(3, "Replay 200 kHz");

    ExternalDepthWindow window;
    ASSERT_TRUE(links.FindExternalDepthWindow("200 kHz", window));
    EXPECT_EQ(window.SampleCount, 0);  // known, but nobody asked for samples yet
    EXPECT_FALSE(links.FindExternalDepthWindow("38 kHz", window));

    links.PublishPartnerWindow("Replay 200 kHz", 80.0, 3, 1, 2);
    ASSERT_TRUE(links.FindExternalDepthWindow("200 kHz", window));
    EXPECT_EQ(window.Start, 0.0);
    EXPECT_EQ(window.Length, 80.0);
    EXPECT_EQ(window.SampleCount, 3);
    EXPECT_EQ(window.EchogramType, 2);

    const std::int16_t samples[] = {-300, 7, -20001};
    links.SetExternalDepthBlock("200 kHz", samples, 3);
    std::vector<std::int16_t> read;
    ASSERT_TRUE(CEchogramView::TableSecondSide()("200 kHz", read));
    ASSERT_EQ(read.size(), 2u * CExternalDepth::kBlockWords);
    EXPECT_EQ(read[0], -300);
    EXPECT_EQ(read[1], 7);
    EXPECT_EQ(read[2], -20001);
    EXPECT_EQ(read[3], -20000);
    EXPECT_EQ(read.back(), -20000);
}

// What channels tell their links of each ping's depth: the external depth
// table by name, the deepest depth for the environment's profile mean, the
// table's source by channel; a new sounder starts without the last one's.
TEST_F(ProgramLinksTest, ChannelDepthsLastUntilTheNextSounder)
{
    Start("QY310");
    app::CProgramChannelLinks& links = program->ChannelLinks();
    CExternalDepth& table = program->ExternalDepth();
    table.SetSourceName(0, "38 kHz");
    table.SetSourceName(1, "120 kHz");

    DepthReport shallow;
    shallow.SourceName = "Replay 38 kHz";
    shallow.ChannelId = 0;
    shallow.Depth = 42.5;
    DepthReport deep = shallow;
    deep.SourceName = "120 kHz";
    deep.ChannelId = 1;
    deep.Depth = 61.0;
    deep.Excluded = true;  // out of the depth outputs, not out of the table
    links.OnDepthOutputs(shallow);
    links.OnDepthOutputs(deep);

    EXPECT_EQ(links.GetDeepestChannelDepth(), 61.0);
    std::string name;
    EXPECT_EQ(table.GetSource(0, name), 42.5);
    EXPECT_EQ(table.GetSource(1, name), 61.0);
    double depth = 0.0;
    ASSERT_TRUE(links.GetChannelDepth(1, depth));
    EXPECT_EQ(depth, 61.0);

    links.NewSounder();
    EXPECT_EQ(links.GetDeepestChannelDepth(), 0.0);
    EXPECT_FALSE(links.GetChannelDepth(1, depth));
    // The table keeps what it was given; a source of no channel is not refreshed.
    EXPECT_EQ(table.GetSourceDepth(1, name), 61.0);
}

}  // namespace
