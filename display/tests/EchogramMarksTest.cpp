#include "display/EchogramMarks.h"

#include "display/EchogramDoc.h"
#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace EchogramMarks;

namespace {
const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
}  // namespace

TEST(EchogramMarks, DashesDrawOnPingsOneTwoFiveSixAndSoOn)
{
    CDashes dashes;
    std::vector<bool> drawn;
    for (int ping = 1; ping <= 10; ++ping)
        drawn.push_back(dashes.Next());
    EXPECT_EQ(drawn, (std::vector<bool>{true, true, false, false, true, true, false, false, true, true}));
}

TEST(EchogramMarks, WindowOfEachReference)
{
    double top = -1.0;
    EXPECT_TRUE(WindowTop(CEchogramDoc::SURFACE, 5.0, false, 0.0, top));
    EXPECT_EQ(top, 5.0);
    EXPECT_TRUE(WindowTop(CEchogramDoc::TRAWL, 12.0, false, 0.0, top));
    EXPECT_EQ(top, 12.0);
    EXPECT_TRUE(WindowTop(CEchogramDoc::BOTTOM, 15.0, true, 60.0, top));
    EXPECT_EQ(top, 45.0);
    EXPECT_FALSE(WindowTop(CEchogramDoc::BOTTOM, 15.0, false, 0.0, top)) << "no depth, no bottom window";
    EXPECT_FALSE(WindowTop(CEchogramDoc::SLOPE, 5.0, true, 60.0, top));
    EXPECT_FALSE(WindowTop(CEchogramDoc::SIDESCAN, 0.0, true, 60.0, top));
}

TEST(EchogramMarks, RowsOfDepthsAndMarkersWithWindowsThatAreNoWindows)
{
    struct Case
    {
        double depth, top, range;
        int row, markerRow;
        const char* legend;
    };
    const Case cases[] = {
        {25.0, 0.0, 100.0, 100, 100, "a quarter down"},
        {25.5, 20.0, 10.0, 220, 220, "a window lower down"},
        {0.125, 0.0, 100.0, 0, 1, "the marker rounds half away from zero, a row truncates"},
        {-5.0, 0.0, 100.0, -1, -1, "above the window"},
        {100.0, 0.0, 100.0, 400, -1, "on the window's end: a row below, no marker"},
        {1e300, 0.0, 100.0, 400, -1, "far below: no row past the picture"},
        {25.0, 0.0, 0.0, -1, -1, "range 0"},
        {25.0, 0.0, -10.0, -1, -1, "negative range"},
        {25.0, 0.0, kNan, -1, -1, "range not a number"},
        {kNan, 0.0, 100.0, -1, -1, "depth not a number"},
        {kInf, 0.0, 100.0, -1, -1, "infinite depth"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MarkRow(c.depth, c.top, c.range, 400), c.row) << c.legend;
        EXPECT_EQ(MarkerRow(c.depth, c.top, c.range, 400), c.markerRow) << c.legend;
    }
    EXPECT_TRUE(InsideWindow(50.0, 0.0, 100.0));
    EXPECT_FALSE(InsideWindow(0.0, 0.0, 100.0)) << "strict at the top";
    EXPECT_FALSE(InsideWindow(50.0, 0.0, 0.0));
}

TEST(EchogramMarks, SlopeMarkerRowCountsDownFromTheTopAngle)
{
    EXPECT_EQ(SlopeMarkerRow(2.5, 5.0, 10.0, 100), 25);
    EXPECT_EQ(SlopeMarkerRow(5.0, 5.0, 10.0, 100), -1) << "on the top edge";
    EXPECT_EQ(SlopeMarkerRow(-5.0, 5.0, 10.0, 100), -1) << "on the foot edge";
    EXPECT_EQ(SlopeMarkerRow(0.0, 5.0, 0.0, 100), -1) << "no range";
}

TEST(EchogramMarks, MinuteTickAtTheMinutesChange)
{
    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 3;
    t.wDay = 5;
    t.wHour = 12;
    t.wMinute = 59;
    t.wSecond = 59;
    std::uint64_t time = 0;
    ASSERT_TRUE(CFileTime::FromSystemTime(t, time));
    EXPECT_EQ(MinuteOf(time), 59);
    EXPECT_EQ(MinuteOf(time + 10000000), 0) << "one second later";
    EXPECT_EQ(MinuteOf(0), -1) << "no ping time";

    struct Case
    {
        int remembered, minute;
        bool tick;
    };
    const Case cases[] = {{5, 6, true}, {59, 0, true}, {5, 0, true}, {5, 5, false}, {5, 7, false}, {0, 0, false}};
    for (const Case& c : cases)
        EXPECT_EQ(MinuteTickDue(c.remembered, c.minute), c.tick) << c.remembered << " to " << c.minute;
}

TEST(EchogramMarks, AcrossTrackColumnsStayInTheRowAndNeverDivideByZero)
{
    int x = -7;
    // 50 m each side over 100 columns: 30 m to port is column 20.
    ASSERT_TRUE(AcrossTrackColumn(-30.0, 50.0, 50.0, 100, x));
    EXPECT_EQ(x, 20);
    ASSERT_TRUE(AcrossTrackColumn(30.0, 50.0, 50.0, 100, x));
    EXPECT_EQ(x, 80);
    EXPECT_FALSE(AcrossTrackColumn(60.0, 50.0, 50.0, 100, x)) << "beyond the right edge";
    EXPECT_FALSE(AcrossTrackColumn(50.0, 50.0, 50.0, 100, x)) << "column 100 is past the row";
    EXPECT_FALSE(AcrossTrackColumn(kNan, 50.0, 50.0, 100, x));
    // No extent at all: moved apart by 0.1, and only a distance within it
    // has a column.
    EXPECT_FALSE(AcrossTrackColumn(30.0, 0.0, 0.0, 100, x));
    EXPECT_FALSE(AcrossTrackColumn(-30.0, 0.0, 0.0, 100, x));
    ASSERT_TRUE(AcrossTrackColumn(0.05, 0.0, 0.0, 100, x));
    EXPECT_EQ(x, 50);
}

TEST(EchogramMarks, DepthGridSteps)
{
    SDepthGrid g;
    // 10 m from 0 with 40 lines: quarter metres, whole metres thick.
    ASSERT_TRUE(SDepthGrid::Make(0.0, 10.0, 40, 200, g));
    EXPECT_TRUE(g.quarterStep);
    EXPECT_EQ(g.step, 0.25);
    EXPECT_EQ(g.lines, 40);
    EXPECT_EQ(g.LineRows(1.0), 2);
    EXPECT_EQ(g.LineRows(1.25), 1);
    EXPECT_EQ(g.Label(1.25), "  1.25");

    // 30 m from 0 with 5 lines: every 6 m, one row but at 30 m.
    ASSERT_TRUE(SDepthGrid::Make(0.0, 30.0, 5, 100, g));
    EXPECT_FALSE(g.quarterStep || g.halfStep);
    EXPECT_EQ(g.step, 6.0);
    EXPECT_EQ(g.lines, 5);
    for (double t : {6.0, 12.0, 18.0, 24.0})
        EXPECT_EQ(g.LineRows(t), 1) << t;
    EXPECT_EQ(g.LineRows(30.0), 2);
    EXPECT_EQ(g.Label(12.0), "  12.0") << "an end between 10 and 100 m";

    ASSERT_TRUE(SDepthGrid::Make(2.5, 3.0, 5, 100, g));
    EXPECT_TRUE(g.halfStep);
    EXPECT_EQ(g.LineRows(3.0), 2) << "whole metre";
    EXPECT_EQ(g.LineRows(3.5), 1);
    EXPECT_EQ(g.LineRows(7.5), 2) << "5 m from the start";

    ASSERT_TRUE(SDepthGrid::Make(0.0, 200.0, 10, 100, g));
    EXPECT_EQ(g.Label(40.0), "40");
    // A depth far beyond an int is written whole, not cast.
    ASSERT_TRUE(SDepthGrid::Make(0.0, 1e13, 10, 100, g));
    EXPECT_EQ(g.Label(g.Depth(1)), "1000000000000");
}

TEST(EchogramMarks, NoGridForAWindowWithoutRangeOrLines)
{
    SDepthGrid g;
    EXPECT_FALSE(SDepthGrid::Make(0.0, 0.0, 10, 100, g));
    EXPECT_FALSE(SDepthGrid::Make(0.0, -5.0, 10, 100, g));
    EXPECT_FALSE(SDepthGrid::Make(0.0, kNan, 10, 100, g));
    EXPECT_FALSE(SDepthGrid::Make(0.0, kInf, 10, 100, g));
    EXPECT_FALSE(SDepthGrid::Make(0.0, 10.0, 0, 100, g));
    // A damaged line count draws no more lines than the picture can tell apart.
    ASSERT_TRUE(SDepthGrid::Make(0.0, 1e6, 2000000000, 100, g));
    EXPECT_LE(g.lines, 4 * 100 + 16);
}

TEST(EchogramMarks, LabelTexts)
{
    EXPECT_EQ(FormatRangeLabel(24.6), "25");
    EXPECT_EQ(FormatSoundSpeed(1493.4), "1493m/s");
}
