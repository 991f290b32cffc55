#include "display/EchogramPicture.h"

#include "app/EchosounderError.h"
#include "engine/ColorScaleSettings.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

using namespace EchogramMapping;

namespace
{
// Raw values chosen so that their dB values sit exactly on the scale's steps.
constexpr std::int16_t kThresholdRaw = -5100;
constexpr std::int16_t kStepRaw = 255;
constexpr std::int16_t kWeak = -9000;

struct Picture
{
    Picture(int width, int height) : bits(static_cast<std::size_t>(width) * height, 1), samples(2000, kWeak)
    {
        scale.SetValueBySelector(3, RawToDb(kThresholdRaw));
        scale.SetInterval(RawToDb(kStepRaw));
        picture.Attach(bits.data(), width, height, width);
        column.samples = samples.data();
        column.sampleCount = static_cast<int>(samples.size());
        column.selector = 3;
        column.level = [this](double db, int selector) { return scale.GetColorIndex(db, selector); };
    }
    // Bottom at picture row `row` of a 0..H metre window.
    void SetBottomRow(int row)
    {
        column.hasDepth = true;
        column.range = picture.GetHeight();
        column.depth = row + 0.5;
    }
    int NewestAt(int row) const { return picture.At(picture.NewestColumn(), row); }

    std::vector<BYTE> bits;
    std::vector<std::int16_t> samples;
    CColorScaleSettings scale;
    CEchogramPicture picture;
    CEchogramPicture::Column column;
};
} // namespace

TEST(EchogramMapping, ScaleStripAndTopMarginAppearAboveTheirThresholds)
{
    EXPECT_EQ(ScaleMargin(58), 0);
    EXPECT_EQ(ScaleMargin(59), 54);
    EXPECT_EQ(TopMargin(24), 0);
    EXPECT_EQ(TopMargin(25), 20);
}

TEST(EchogramMapping, DepthRowIsStrictAtBothEdgesAndGuardsTheRange)
{
    struct Case { double depth, reference, range; int height, row; };
    const Case cases[] = {
        {50.0, 0.0, 100.0, 400, 200}, {0.0, 0.0, 100.0, 400, -1},  {100.0, 0.0, 100.0, 400, -1},
        {25.0, 20.0, 10.0, 100, 50},  {50.0, 0.0, 0.0, 400, -1},   {50.0, 0.0, -5.0, 400, -1},
        {99.99, 0.0, 100.0, 400, 399},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DepthRow(c.depth, c.reference, c.range, c.height), c.row) << c.depth << " in " << c.reference
                                                                            << "+" << c.range;
}

TEST(EchogramMapping, GapIsSixRowsAt400AndShrinksNearTheFoot)
{
    EXPECT_EQ(BottomGap(200, 400), 6);
    EXPECT_EQ(BottomGap(396, 400), 3); // three rows above the foot: H - b - 1
    EXPECT_EQ(BottomGap(0, 400), 0);
    EXPECT_EQ(BottomGap(-1, 400), 0);
    EXPECT_EQ(SampleRow(199, 200, 6), 200);
    EXPECT_EQ(SampleRow(200, 200, 6), 207);
    EXPECT_EQ(SampleRow(250, 200, 0), 251);
}

TEST(EchogramPicture, EachSampleLandsOneRowBelowItsIndexAndRowZeroIsKept)
{
    for (int index : {0, 1, 137, 398})
    {
        Picture p(100, 400);
        p.samples[static_cast<std::size_t>(index)] = kThresholdRaw;
        p.picture.WriteColumn(p.column);
        EXPECT_EQ(p.NewestAt(0), 1) << "row 0 belongs to the markers";
        for (int row = 1; row < 400; ++row)
            ASSERT_EQ(p.NewestAt(row), row == index + 1 ? 160 : 78) << "sample " << index << " row " << row;
    }
}

TEST(EchogramPicture, ColourLevelsFollowTheThresholdAndStep)
{
    struct Case { int raw; int colour; };
    const Case cases[] = {
        {kThresholdRaw - 1, 78},
        {kThresholdRaw, 160},
        {kThresholdRaw + kStepRaw + 2, 161},
        {kThresholdRaw + 11 * kStepRaw + 2, 171},
        {kThresholdRaw + 20 * kStepRaw, 171},
    };
    for (const Case& c : cases)
    {
        Picture p(100, 50);
        p.samples[10] = static_cast<std::int16_t>(c.raw);
        p.picture.WriteColumn(p.column);
        EXPECT_EQ(p.NewestAt(11), c.colour) << "raw " << c.raw;
    }
}

TEST(EchogramPicture, BottomGapIsBackgroundAndTheLineSitsOnTheBottomRow)
{
    Picture p(100, 400);
    std::fill(p.samples.begin(), p.samples.end(), static_cast<std::int16_t>(kThresholdRaw));
    p.SetBottomRow(200);
    p.column.bottomGap = true;
    p.column.bottomLine = true;
    EXPECT_EQ(p.picture.WriteColumn(p.column), 200);
    EXPECT_EQ(p.NewestAt(199), 160);
    EXPECT_EQ(p.NewestAt(200), 79);
    EXPECT_EQ(p.NewestAt(201), 79);
    for (int row = 202; row <= 206; ++row)
        EXPECT_EQ(p.NewestAt(row), 78) << row;
    EXPECT_EQ(p.NewestAt(207), 160) << "the bottom sample follows the gap";
    EXPECT_EQ(p.NewestAt(399), 160);
}

TEST(EchogramPicture, GapNearTheFootStopsAtTheLastRow)
{
    Picture p(100, 400);
    std::fill(p.samples.begin(), p.samples.end(), static_cast<std::int16_t>(kThresholdRaw));
    p.SetBottomRow(396);
    p.column.bottomGap = true;
    p.picture.WriteColumn(p.column);
    EXPECT_EQ(p.NewestAt(396), 78);
    for (int row = 397; row < 400; ++row)
        EXPECT_EQ(p.NewestAt(row), 78) << row;
    EXPECT_EQ(p.NewestAt(395), 160);
}

TEST(EchogramPicture, ShiftMovesTheEchogramLeftAndLeavesTheScaleStrip)
{
    Picture p(100, 20);
    for (int x = 0; x < 100; ++x)
        p.bits[static_cast<std::size_t>(5 * 100 + x)] = static_cast<BYTE>(x);
    p.picture.Shift();
    EXPECT_EQ(p.picture.At(0, 5), 1);
    EXPECT_EQ(p.picture.At(44, 5), 45);
    EXPECT_EQ(p.picture.At(45, 5), 45) << "newest column keeps its old content until written";
    for (int x = 46; x < 100; ++x)
        EXPECT_EQ(p.picture.At(x, 5), x) << "scale strip column " << x;
}

TEST(EchogramPicture, KeepBackgroundHoldsBackgroundOnePingWhileMemoryTakesTheEcho)
{
    Picture p(100, 50);
    p.column.keepBackground = true;
    p.picture.WriteColumn(p.column); // weak ping: memory becomes background
    p.samples[10] = kThresholdRaw;
    p.picture.WriteColumn(p.column);
    EXPECT_EQ(p.NewestAt(11), 78);
    EXPECT_EQ(p.picture.RowMemory(10), 160);
    p.picture.WriteColumn(p.column);
    EXPECT_EQ(p.NewestAt(11), 160);
}

TEST(EchogramPicture, AllBackgroundPaintsNothingButBackground)
{
    Picture p(100, 50);
    std::fill(p.samples.begin(), p.samples.end(), static_cast<std::int16_t>(kThresholdRaw));
    p.column.allBackground = true;
    p.picture.WriteColumn(p.column);
    for (int row = 1; row < 50; ++row)
        EXPECT_EQ(p.NewestAt(row), 78);
}

TEST(EchogramPicture, PaneTallerThanTheDeliveredColumnDrawsBackgroundBelowIt)
{
    Picture p(100, 2600);
    std::fill(p.samples.begin(), p.samples.end(), static_cast<std::int16_t>(kThresholdRaw));
    p.column.keepBackground = true;
    p.picture.WriteColumn(p.column);
    p.picture.WriteColumn(p.column);
    EXPECT_EQ(p.NewestAt(2000), 160);
    EXPECT_EQ(p.NewestAt(2001), 78);
    EXPECT_EQ(p.NewestAt(2599), 78);
    EXPECT_EQ(p.picture.RowMemory(2500), 78);
}

TEST(EchogramPicture, RunsAndRectanglesStayInsideThePicture)
{
    Picture p(100, 30);
    p.picture.PaintColumnRun(193, 25, 100);
    p.picture.PaintColumnRun(193, -1, 5);
    p.picture.FillRect(194, 95, 28, 20, 20);
    p.picture.FillRect(195, 0, 0, 0, 5);
    EXPECT_EQ(p.NewestAt(24), 1);
    EXPECT_EQ(p.NewestAt(29), 193);
    EXPECT_EQ(p.NewestAt(0), 1);
    EXPECT_EQ(p.picture.At(99, 29), 194);
    EXPECT_EQ(p.picture.At(0, 0), 1);
    p.picture.ClearEchogram();
    EXPECT_EQ(p.picture.At(45, 10), 78);
    EXPECT_EQ(p.picture.At(46, 10), 1) << "the scale strip is not cleared";
}

TEST(EchogramPicture, LevelOutsideTheLadderIsFatal)
{
    SetFatalErrorHandler([](const std::string& text) { throw std::runtime_error(text); });
    Picture p(100, 20);
    p.column.level = [](double, int) { return 13; };
    try
    {
        p.picture.WriteColumn(p.column);
        ADD_FAILURE() << "no fatal report";
    }
    catch (const std::runtime_error& e)
    {
        EXPECT_NE(std::string(e.what()).find("Color out of range:13"), std::string::npos) << e.what();
    }
    SetFatalErrorHandler({});
}
