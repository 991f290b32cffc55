// Screen layouts: the frame rectangles of each pattern, the choice of
// pattern, and Arrange with the frames it makes.
#include "ShellTestSupport.h"
#include "app/StandardESLayout.h"

#include <gtest/gtest.h>

using namespace app;
using namespace shelltest;

namespace {

struct GeometryCase
{
    const char* legend;
    int arrangement;
    int n, w, h;
    std::vector<LayoutRect> rects;
};

class LayoutGeometry : public ::testing::TestWithParam<GeometryCase>
{};

TEST_P(LayoutGeometry, FramesLandWhereTheyShould)
{
    const auto& c = GetParam();
    EXPECT_EQ(ComputeFrameRects(ChooseSplit(c.arrangement, c.n, c.w, c.h), c.n, c.w, c.h), c.rects) << c.legend;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LayoutGeometry,
    ::testing::Values(
        GeometryCase{"automatic 2 on 1000x800 stacks", 2, 2, 1000, 800, {{0, 0, 1000, 400}, {0, 400, 1000, 400}}},
        GeometryCase{"automatic 2 on 1300x800 side by side", 2, 2, 1300, 800, {{0, 0, 650, 800}, {650, 0, 650, 800}}},
        GeometryCase{"automatic 3 on 1000x800 one over two",
                     2,
                     3,
                     1000,
                     800,
                     {{0, 0, 1000, 400}, {0, 400, 500, 400}, {500, 400, 500, 400}}},
        GeometryCase{"automatic 4 on 1000x800 grid",
                     2,
                     4,
                     1000,
                     800,
                     {{0, 0, 500, 400}, {500, 0, 500, 400}, {0, 400, 500, 400}, {500, 400, 500, 400}}},
        GeometryCase{"automatic 4 on 700x1000 stacks",
                     2,
                     4,
                     700,
                     1000,
                     {{0, 0, 700, 250}, {0, 250, 700, 250}, {0, 500, 700, 250}, {0, 750, 700, 250}}},
        GeometryCase{
            "horizontal 3 on 1000x800", 0, 3, 1000, 800, {{0, 0, 1000, 266}, {0, 266, 1000, 266}, {0, 532, 1000, 266}}},
        GeometryCase{"vertical 2 on 1000x800", 1, 2, 1000, 800, {{0, 0, 500, 800}, {500, 0, 500, 800}}},
        GeometryCase{"automatic 1 stacks", 2, 1, 1000, 800, {{0, 0, 1000, 800}}},
        GeometryCase{"automatic 3 on a very wide area",
                     2,
                     3,
                     6000,
                     800,
                     {{0, 0, 2000, 800}, {2000, 0, 2000, 800}, {4000, 0, 2000, 800}}},
        GeometryCase{"zero height stacks", 1, 2, 1000, 0, {{0, 0, 1000, 0}, {0, 0, 1000, 0}}},
        GeometryCase{
            "automatic 5 in two columns",
            2,
            5,
            1000,
            900,
            {{0, 0, 500, 300}, {500, 0, 500, 300}, {0, 300, 500, 300}, {500, 300, 500, 300}, {0, 600, 1000, 300}}}));

class FakeLayoutFrame : public ILayoutFrame
{
public:
    explicit FakeLayoutFrame(std::vector<std::string>& log, int channel) : m_log(log), m_channel(channel) {}
    bool SaveSettings() override
    {
        m_log.push_back("save " + std::to_string(m_channel));
        return m_channel != 3;  // channel 3 fails to save
    }
    bool LoadSettings() override { return true; }
    void ArrangeViews() override {}
    void SetSharedMenu(unsigned) override {}

private:
    std::vector<std::string>& m_log;
    int m_channel;
};

class ScreenLayout : public ::testing::Test
{
protected:
    LayoutSource Source(std::initializer_list<int> shown, int arrangement)
    {
        LayoutSource s;
        for (int i = 0; i < 8; ++i)
            s.displays[static_cast<std::size_t>(i)] = {i < 5, false, "S" + std::to_string(i), "L" + std::to_string(i)};
        for (int i : shown)
            s.displays[static_cast<std::size_t>(i)].shown = true;
        s.arrangement = arrangement;
        s.echoSounderRuns = true;
        s.clientWidth = 1000;
        s.clientHeight = 800;
        return s;
    }
    FrameFactory Factory()
    {
        return [this](const FramePlacement& p) {
            placements.push_back(p);
            return std::make_unique<FakeLayoutFrame>(log, p.channelIndex);
        };
    }
    ShellEnvironment env;
    std::vector<FramePlacement> placements;
    std::vector<std::string> log;
};

TEST_F(ScreenLayout, ArrangesShownChannelsInOrderAndSavesThemWhenDeleted)
{
    CStandardESLayout layout(SounderModel::RM30, Source({4, 1, 3}, kArrangementHorizontal), Factory());
    int displayed = -1;
    layout.onDisplayedChannelCount = [&](int n) { displayed = n; };
    ASSERT_TRUE(layout.Arrange());
    ASSERT_EQ(placements.size(), 3u);
    EXPECT_EQ(placements[0].channelIndex, 1);
    EXPECT_EQ(placements[2].channelIndex, 4);
    EXPECT_EQ(placements[2].rect, (LayoutRect{0, 532, 1000, 266}));
    EXPECT_EQ(placements[0].menuId, IDR_MENU_RM30);
    EXPECT_EQ(displayed, 3);
    EXPECT_FALSE(layout.SaveFrames());  // every frame is tried, one failed
    EXPECT_EQ(log.size(), 3u);
    log.clear();
    layout.DeleteLayout();
    EXPECT_EQ(log.size(), 3u);
    EXPECT_EQ(layout.FrameCount(), 0u);
    EXPECT_EQ(displayed, 0);
}

TEST_F(ScreenLayout, NothingShownOrNoSounderBuildsNothing)
{
    CStandardESLayout none(SounderModel::QY310, Source({}, 2), Factory());
    EXPECT_FALSE(none.Arrange());
    auto source = Source({0}, 2);
    source.echoSounderRuns = false;
    CStandardESLayout stopped(SounderModel::QY310, source, Factory());
    EXPECT_FALSE(stopped.Arrange());
    EXPECT_TRUE(placements.empty());
}

TEST_F(ScreenLayout, StoredArrangementOutOfRangeUsesTheDefaultAndIsRecorded)
{
    CStandardESLayout layout(SounderModel::QY310, Source({0, 1}, 7), Factory());
    ASSERT_TRUE(layout.Arrange());
    EXPECT_TRUE(layout.ArrangementReplaced());
    EXPECT_EQ(layout.UsedArrangement(), kDefaultArrangement);
    EXPECT_EQ(placements[1].rect, (LayoutRect{0, 400, 1000, 400}));
    EXPECT_NE(env.EventLog().find("Illegal View Arrangement (7)"), std::string::npos);
}

TEST_F(ScreenLayout, MissingChannelIsFatal)
{
    auto source = Source({2}, 0);
    source.hasChannel = [](int) { return false; };
    CStandardESLayout layout(SounderModel::QY310, source, Factory());
    try {
        layout.Arrange();
        FAIL();
    } catch (const FatalReported& f) {
        EXPECT_NE(f.text.find("File: 'Skjerm'"), std::string::npos);
        EXPECT_NE(f.text.find("GetChannel(2) is NULL"), std::string::npos);
    }
}

TEST(ScreenLayoutKinds, FrameKindByModel)
{
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::QY310, 0), 1);
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::RM30, 1), 1);
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::RM30, 0), 2);
    EXPECT_EQ(CStandardESLayout::FrameKindFor(SounderModel::TQ30, 1), 2);
}

}  // namespace
