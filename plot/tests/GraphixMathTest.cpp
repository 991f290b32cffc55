#include "plot/GraphixMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using graphix::CPixel;

CPlotExtent Data(double minX, double maxX, double minY, double maxY)
{
    CPlotExtent e;
    e.minX = minX;
    e.maxX = maxX;
    e.minY = minY;
    e.maxY = maxY;
    return e;
}

// A 400 x 300 window over 0..400 and 0..300, y upwards: value = pixel on x,
// value = 300 - pixel on y.
const CAxisScale kX(0, 400, 0, 400);
const CAxisScale kY(300, 0, 0, 300);

TEST(GraphixMath, PickIsCloserThanFourPixels)
{
    CPointsCollection c(false, false);
    c.AddPoint(100, 200, true);  // pixel (100, 100)
    c.AddPoint(106, 200, true);  // pixel (106, 100)
    struct Row
    {
        int x, y, index;
        const char* legend;
    };
    const Row rows[] = {
        {100, 100, 0, "on the point"},
        {103, 100, 0, "3 pixels from both: the first"},
        {104, 100, 1, "nearer the second"},
        {96, 100, -1, "4 pixels: 16 is not below 16"},
        {100, 104, -1, "4 pixels down"},
        {102, 102, 0, "8"},
        {108, 101, 1, "5"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(graphix::NearestPoint(c, kX, kY, r.x, r.y), r.index) << r.legend;

    const CPointsCollection empty(false, false);
    EXPECT_EQ(graphix::NearestPoint(empty, kX, kY, 0, 0), -1);
}

TEST(GraphixMath, PixelsAreTruncatedAndSurviveDeepZooms)
{
    const CPixel p = graphix::ToPixel(kX, kY, 100.9, 200.5);
    EXPECT_EQ(p.x, 100);
    EXPECT_EQ(p.y, 99);
    const CAxisScale deep(0, 400, 1500, 1500.000000001);
    const CPixel far = graphix::ToPixel(deep, kY, 1600, 0);
    EXPECT_GT(far.x, 1e12);
    CPointsCollection c(false, false);
    c.AddPoint(1600, 0, true);
    c.AddPoint(1500, 300, true);
    EXPECT_EQ(graphix::NearestPoint(c, deep, kY, 0, 0), 1);
}

TEST(GraphixMath, AddIndexIsBeforeTheFirstPointBelow)
{
    CPointsCollection profile(false, false);
    for (double y : {0.0, -50.0, -100.0})
        profile.AddPoint(1500, y, true);
    EXPECT_EQ(graphix::AddIndex(profile, 10), 0);
    EXPECT_EQ(graphix::AddIndex(profile, -20), 1);
    EXPECT_EQ(graphix::AddIndex(profile, -50), 2);
    EXPECT_EQ(graphix::AddIndex(profile, -200), 3);
    EXPECT_EQ(graphix::AddIndex(CPointsCollection(false, false), 0), 0);
}

TEST(GraphixMath, PanMovesTheValueUnderTheMouse)
{
    const CPlotRanges r{0, 400, 0, 300};
    const CPlotRanges moved = graphix::Pan(r, kX, kY, 100, 100, 110, 95);
    EXPECT_EQ(moved, (CPlotRanges{-10, 390, -5, 295}));
}

TEST(GraphixMath, BandGivesTheSameRangesWhicheverWayItWasDrawn)
{
    const CPlotRanges expected{10, 50, 200, 280};
    EXPECT_EQ(graphix::RectToRanges(kX, kY, 10, 20, 50, 100), expected);
    EXPECT_EQ(graphix::RectToRanges(kX, kY, 50, 100, 10, 20), expected);
    EXPECT_EQ(graphix::RectToRanges(kX, kY, 50, 20, 10, 100), expected);
}

TEST(GraphixMath, FitToDataKeepsTheVelocityWindowAndWidensForTheData)
{
    struct Row
    {
        CPlotExtent data;
        CPlotRanges ranges;
        const char* legend;
    };
    const Row rows[] = {
        {Data(1480, 1520, -300, 0), {1400, 1700, -306, 6}, "inside the window"},
        {Data(1800, 1800, -300, 0), {1400, 1808, -306, 6}, "an 1800 m/s constant profile"},
        {Data(1300, 1500, -100, -100), {1292, 1700, -100, -100}, "below 1400, one depth"},
        {Data(1200, 2000, -10, 10), {1184, 2016, -10.4, 10.4}, "both ends"},
    };
    for (const Row& r : rows) {
        const CPlotRanges f = graphix::FitToData(r.data);
        EXPECT_DOUBLE_EQ(f.x1, r.ranges.x1) << r.legend;
        EXPECT_DOUBLE_EQ(f.x2, r.ranges.x2) << r.legend;
        EXPECT_DOUBLE_EQ(f.y1, r.ranges.y1) << r.legend;
        EXPECT_DOUBLE_EQ(f.y2, r.ranges.y2) << r.legend;
    }
}

TEST(GraphixMath, FitCommandsOnOneValueShowAroundIt)
{
    const CPlotRanges current{1, 2, 3, 4};
    EXPECT_EQ(graphix::FitAxes(Data(1480, 1520, -300, 0), current, true, false), (CPlotRanges{1480, 1520, 3, 4}));
    EXPECT_EQ(graphix::FitAxes(Data(1480, 1520, -300, 0), current, false, true), (CPlotRanges{1, 2, -300, 0}));
    const CPlotRanges one = graphix::FitAxes(Data(1500, 1500, -100, -100), current, true, true);
    EXPECT_DOUBLE_EQ(one.x1, 1350);
    EXPECT_DOUBLE_EQ(one.x2, 1650);
    EXPECT_DOUBLE_EQ(one.y1, -110);  // ascending, though 1.1 v is the lower one
    EXPECT_DOUBLE_EQ(one.y2, -90);
    EXPECT_EQ(graphix::FitAxes(Data(0, 0, 0, 0), current, true, true), (CPlotRanges{-1, 1, -1, 1}));
}

TEST(GraphixMath, SegmentsAreClippedToTheBox)
{
    struct Row
    {
        CPixel a, b;
        bool inside;
        CPixel ca, cb;
        const char* legend;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {{10, 10}, {20, 20}, true, {10, 10}, {20, 20}, "inside"},
        {{-100, 50}, {300, 50}, true, {0, 50}, {100, 50}, "through"},
        {{50, 50}, {50, -1e15}, true, {50, 50}, {50, 0}, "far above after a deep zoom"},
        {{-10, -10}, {-5, 200}, false, {}, {}, "left of it"},
        {{-50, 0}, {0, -50}, false, {}, {}, "past the corner"},
        {{50, 50}, {std::nan(""), 0}, false, {}, {}, "not a number"},
        {{50, 50}, {inf, 50}, false, {}, {}, "infinite"},
    };
    for (const Row& r : rows) {
        CPixel a = r.a;
        CPixel b = r.b;
        ASSERT_EQ(graphix::ClipSegment(a, b, 0, 0, 100, 100), r.inside) << r.legend;
        if (!r.inside)
            continue;
        EXPECT_NEAR(a.x, r.ca.x, 1e-9) << r.legend;
        EXPECT_NEAR(a.y, r.ca.y, 1e-9) << r.legend;
        EXPECT_NEAR(b.x, r.cb.x, 1e-9) << r.legend;
        EXPECT_NEAR(b.y, r.cb.y, 1e-9) << r.legend;
    }
}

}  // namespace
