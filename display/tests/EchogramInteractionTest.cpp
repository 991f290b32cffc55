#include "display/EchogramInteraction.h"

#include "base/DepthUnit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
using I = CEchogramInteraction;
constexpr int kUp = 120, kDown = -120;

TEST(EchogramInputWheel, ThresholdStaysAboveMinus100AndAtOrBelowZero)
{
    struct Case
    {
        double level;
        int delta;
        double expected;
    } cases[] = {
        {-99.0, kDown, -99.0},                                                          // -100 is never set
        {-50.0, kDown, -51.0}, {-50.0, kUp, -49.0}, {-1.0, kUp, 0.0}, {0.0, kUp, 0.0},  // stays 0
        {-20.0, 0, -20.0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(I::WheelThreshold(c.level, c.delta), c.expected) << c.level << " " << c.delta;
}

TEST(EchogramInputWheel, IntervalStepsByMicrosecondsAndNeverReachesZero)
{
    double seconds = 0.5;
    EXPECT_TRUE(I::StepInterval(seconds, kUp));
    EXPECT_DOUBLE_EQ(seconds, 0.50012);
    seconds = 0.0001;
    EXPECT_FALSE(I::StepInterval(seconds, kDown));
    EXPECT_EQ(seconds, 0.0001) << "a refused step keeps the interval";
    seconds = 0.00012;
    EXPECT_FALSE(I::StepInterval(seconds, kDown)) << "an interval of 0 is no interval";
}

class EchogramInputStrip : public ::testing::Test
{
protected:
    void SetUp() override { CDepthUnit::SetUnit(CDepthUnit::kMeter); }
    static I::SWindow Surface(double range, double start, bool autoRange = false, bool autoStart = false)
    {
        I::SWindow w;
        w.reference = 0;
        w.range = w.surfaceRange = range;
        w.start = w.surfaceStart = start;
        w.autoRange = autoRange;
        w.autoStart = autoStart;
        return w;
    }
};

TEST_F(EchogramInputStrip, SurfaceMovesTheRangeOrWithAutomaticRangeOrShiftTheStart)
{
    struct Case
    {
        bool autoRange, autoStart, shift;
        int delta;
        double range, start;
    } cases[] = {
        {false, false, false, kDown, 150.0, 10.0},  // towards the user: next larger range
        {false, false, false, kUp, 75.0, 10.0},
        {true, false, false, kDown, 100.0, 15.0},  // automatic range: the start moves
        {false, false, true, kUp, 100.0, 7.0},     // Shift (or the left button): the start
        {false, true, true, kDown, 150.0, 10.0},   // automatic start: the range, Shift or not
    };
    for (const Case& c : cases) {
        I::SWindow w = Surface(100.0, 10.0, c.autoRange, c.autoStart);
        ASSERT_TRUE(I::StripWheel(w, c.delta, c.shift));
        EXPECT_EQ(w.range, c.range) << c.autoRange << c.autoStart << c.shift << c.delta;
        EXPECT_EQ(w.start, c.start) << c.autoRange << c.autoStart << c.shift << c.delta;
        EXPECT_EQ(w.surfaceRange, w.range);
        EXPECT_EQ(w.surfaceStart, w.start);
    }
    I::SWindow w = Surface(15000.0, 0.0);
    I::StripWheel(w, kDown, false);
    EXPECT_EQ(w.range, 15000.0) << "the largest preset is the last";
}

TEST_F(EchogramInputStrip, BottomTrawlAndSlopeSteps)
{
    I::SWindow bottom;
    bottom.reference = 1;
    bottom.range = 25.0;
    bottom.start = 15.0;  // 10 m of the window above the bottom
    ASSERT_TRUE(I::StripWheel(bottom, kDown, false));
    EXPECT_EQ(bottom.range, 25.0);
    EXPECT_EQ(bottom.start, 10.0) << "15 m above the bottom";
    EXPECT_EQ(bottom.bottomOffset, 10.0);

    bottom.start = 15.0;
    ASSERT_TRUE(I::StripWheel(bottom, kDown, true));
    EXPECT_EQ(bottom.range, 15.0) << "with Shift, towards the user is the smaller range";
    EXPECT_EQ(bottom.start, 5.0) << "old start - old range + new range";
    EXPECT_EQ(bottom.bottomRange, 15.0);
    EXPECT_EQ(bottom.bottomOffset, 5.0);

    I::SWindow trawl;
    trawl.reference = 2;
    trawl.trawlMargin = 1.0;
    trawl.trawlDepthValid = trawl.trawlOpeningValid = true;
    trawl.trawlDepth = 30.0;
    trawl.trawlOpening = 10.0;
    ASSERT_TRUE(I::StripWheel(trawl, kDown, false));
    EXPECT_DOUBLE_EQ(trawl.trawlMargin, 1.2) << "the fine steps";
    EXPECT_DOUBLE_EQ(trawl.range, 12.4);
    EXPECT_DOUBLE_EQ(trawl.start, 28.8);
    trawl.trawlDepthValid = trawl.trawlOpeningValid = false;
    ASSERT_TRUE(I::StripWheel(trawl, kUp, false));
    EXPECT_DOUBLE_EQ(trawl.range, 2.0);
    EXPECT_DOUBLE_EQ(trawl.start, -1.0);

    I::SWindow slope;
    slope.reference = 3;
    slope.range = 10.0;
    slope.start = 5.0;
    ASSERT_TRUE(I::StripWheel(slope, kDown, false));
    EXPECT_EQ(slope.range, 12.0);
    EXPECT_EQ(slope.start, 6.0);
    EXPECT_EQ(slope.slopeRange, 12.0);
    EXPECT_EQ(slope.slopeOffset, 6.0);
    slope.range = 2.0;
    EXPECT_FALSE(I::StripWheel(slope, kUp, false)) << "a slope window is never narrowed to nothing";
    EXPECT_EQ(slope.range, 2.0);

    I::SWindow side;
    side.reference = 4;
    EXPECT_FALSE(I::StripWheel(side, kDown, false));
}

TEST_F(EchogramInputStrip, AutomaticRangeFollowsTheDepth)
{
    EXPECT_EQ(I::AutoRange(10.0, 100.0), 5.0) << "top fifth: one preset below the one nearest the depth";
    EXPECT_EQ(I::AutoRange(90.0, 100.0), 200.0) << "below four fifths: two presets above";
    EXPECT_EQ(I::AutoRange(50.0, 100.0), 100.0);
    EXPECT_EQ(I::AutoRange(0.0, 100.0), 100.0);
    EXPECT_EQ(I::AutoRange(20000.0, 100.0), 100.0);
    EXPECT_EQ(I::AutoRange(std::numeric_limits<double>::quiet_NaN(), 100.0), 100.0);
    EXPECT_EQ(I::AutoRange(14000.0, 15000.0), 15000.0) << "kept within the presets";
}

TEST_F(EchogramInputStrip, AutomaticStartStepsByAFifthOfTheRange)
{
    struct Case
    {
        double depth, start, range, expected;
    } cases[] = {
        {0.0, 7.0, 30.0, 7.0},    // no depth: the start stays
        {28.0, 0.0, 30.0, 12.0},  // below four fifths: trunc(28 - 15) = 13, down to a multiple of 6
        {40.0, 12.0, 30.0, 24.0}, {20.0, 12.0, 30.0, 12.0},  // in the middle on a step: stays
        {20.0, 13.0, 30.0, 0.0},                             // in the middle off a step: trunc(20 - 15) = 5 -> 0
        {5.0, 12.0, 30.0, 0.0},                              // top fifth, half the range reaches the surface
        {50.0, 0.0, 4.0, 48.0},                              // a step of at least 1
        {20.0, -3.0, 30.0, 0.0},                             // a negative start counts as 0
    };
    for (const Case& c : cases) {
        double start = -1.0;
        EXPECT_TRUE(I::AutoStart(c.depth, c.start, c.range, start));
        EXPECT_EQ(start, c.expected) << c.depth << " " << c.start << " " << c.range;
    }
}

TEST_F(EchogramInputStrip, AutomaticStartKeepsTheStartForADamagedDepthOrRange)
{
    for (const auto& [depth, range] : {std::pair{20000.0, 30.0}, std::pair{-1.0, 30.0}, std::pair{20.0, 0.0},
                                       std::pair{20.0, -5.0}, std::pair{std::nan(""), 30.0}}) {
        double start = -1.0;
        EXPECT_FALSE(I::AutoStart(depth, 12.0, range, start)) << depth << " " << range;
        EXPECT_EQ(start, 12.0);
    }
}

class EchogramInputTooltip : public ::testing::Test
{
protected:
    void SetUp() override { CDepthUnit::SetUnit(CDepthUnit::kMeter); }
    static I::SPointerView View(int reference, double start, double range)
    {
        I::SPointerView v;
        v.reference = reference;
        v.start = start;
        v.range = range;
        v.width = 200;
        v.height = 100;
        v.margin = 54;
        v.rowBytes = 200;
        v.beamAngle = 7.0;
        v.hasDepth = true;
        v.depth = 50.0;
        v.threshold = -70.0;
        return v;
    }
};

TEST_F(EchogramInputTooltip, TextsByReference)
{
    I::SPointerView side = View(4, 0.0, 0.0);
    side.left = 100.0;
    side.right = 100.0;
    I::SPointerView rows = View(0, 0.0, 100.0);
    rows.rows = true;
    I::SPointerView noDepth = View(1, 5.0, 20.0);
    noDepth.hasDepth = false;
    struct Case
    {
        I::SPointerView view;
        int x, y;
        const char* text;
    } cases[] = {
        {View(0, 10.0, 100.0), 10, 25, "35.00 m   4.28 m  -70.0 dB"},  // depth, footprint, threshold
        {View(2, 10.0, 100.0), 10, 25, "35.00 m   4.28 m  -70.0 dB"},
        {View(1, 5.0, 20.0), 10, 50, " 5.00 m   6.73 m  -70.0 dB"},  // height above the bottom, footprint at 55 m
        {noDepth, 10, 50, " 5.00 m  -70.0 dB"},
        {View(3, 5.0, 10.0), 10, 25, " 2.50deg"},
        {side, 50, 40, "50.00 m"},
        {rows, 10, 25, "75.00 m   9.17 m  -70.0 dB"},  // rows count from the foot
        {View(9, 0.0, 100.0), 10, 25, "???.??  -70.0 dB"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(I::ToolTipText(c.view, c.x, c.y), c.text) << c.view.reference;
}

TEST_F(EchogramInputTooltip, HitTestHidesEveryTenthCallAndTheStrip)
{
    const I::SPointerView v = View(0, 0.0, 100.0);
    unsigned counter = 0;
    I::SToolHit tool;
    EXPECT_EQ(I::ToolHitTest(v, 10, 20, counter, nullptr), -2) << "no tool record";
    EXPECT_EQ(counter, 1u) << "counted all the same";
    for (int call = 2; call <= 9; ++call)
        EXPECT_EQ(I::ToolHitTest(v, 10, 20, counter, &tool), 10 + 10 * 20 + 1);
    EXPECT_EQ(I::ToolHitTest(v, 10, 20, counter, &tool), -1) << "the tenth call";
    EXPECT_EQ(I::ToolHitTest(v, 146, 20, counter, &tool), 146 + 201) << "up to the strip's edge";
    EXPECT_EQ(I::ToolHitTest(v, 147, 20, counter, &tool), -1) << "the scale strip";
    EXPECT_EQ(I::ToolHitTest(v, 2, 98, counter, &tool), 2 + 980 + 1);
    EXPECT_EQ(tool.left, 0);
    EXPECT_EQ(tool.top, 93);
    EXPECT_EQ(tool.right, 7);
    EXPECT_EQ(tool.bottom, 100) << "the tool's rectangle stays in the window";
    EXPECT_EQ(tool.text, I::ToolTipText(v, 2, 98));
}

TEST(EchogramInputMarker, ValuesLabelsAndMeasuringText)
{
    CDepthUnit::SetUnit(CDepthUnit::kMeter);
    EXPECT_EQ(I::MarkerValueAt(0, 10.0, 100.0, 100, false, 25), 35.0);
    EXPECT_EQ(I::MarkerValueAt(0, 10.0, 100.0, 100, true, 25), 65.0);
    EXPECT_EQ(I::MarkerValueAt(1, 5.0, 20.0, 100, false, 50), 5.0);
    EXPECT_EQ(I::MarkerValueAt(3, 5.0, 10.0, 100, false, 25), 2.5);
    EXPECT_EQ(I::MarkerLabel(0, 35.0), " 35.00 m");
    EXPECT_EQ(I::MarkerLabel(3, 2.5), "  2.50deg");
    EXPECT_EQ(I::MeasuringText(40.7, -3.25), "40m -3.2m -4.6deg");
    EXPECT_EQ(I::MeasuringText(0.0, 0.0), "0m 0.0m 0.0deg");
    EXPECT_EQ(I::MeasuringText(std::numeric_limits<double>::infinity(), 1.0), "0m 1.0m 0.0deg")
        << "a distance that is no number of metres writes 0";
}
}  // namespace
