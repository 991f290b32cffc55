#include "display/EchogramPicture.h"

#include "base/EchosounderError.h"
#include "engine/ColorScaleSettings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

using namespace EchogramMapping;

namespace {
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
        column.scale = &scale;
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
}  // namespace

TEST(EchogramMapping, ScaleStripAndTopMarginAppearAboveTheirThresholds)
{
    EXPECT_EQ(ScaleMargin(58), 0);
    EXPECT_EQ(ScaleMargin(59), 54);
    EXPECT_EQ(TopMargin(24), 0);
    EXPECT_EQ(TopMargin(25), 20);
}

TEST(EchogramMapping, DepthRowIsStrictAtBothEdgesAndGuardsTheRange)
{
    struct Case
    {
        double depth, reference, range;
        int height, row;
    };
    const Case cases[] = {
        {50.0, 0.0, 100.0, 400, 200},  {0.0, 0.0, 100.0, 400, -1}, {100.0, 0.0, 100.0, 400, -1},
        {25.0, 20.0, 10.0, 100, 50},   {50.0, 0.0, 0.0, 400, -1},  {50.0, 0.0, -5.0, 400, -1},
        {99.99, 0.0, 100.0, 400, 399},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DepthRow(c.depth, c.reference, c.range, c.height), c.row)
            << c.depth << " in " << c.reference << "+" << c.range;
}

TEST(EchogramMapping, GapIsSixRowsAt400AndShrinksNearTheFoot)
{
    EXPECT_EQ(BottomGap(200, 400), 6);
    EXPECT_EQ(BottomGap(396, 400), 3);  // three rows above the foot: H - b - 1
    EXPECT_EQ(BottomGap(0, 400), 0);
    EXPECT_EQ(BottomGap(-1, 400), 0);
    EXPECT_EQ(SampleRow(199, 200, 6), 200);
    EXPECT_EQ(SampleRow(200, 200, 6), 207);
    EXPECT_EQ(SampleRow(250, 200, 0), 251);
}

TEST(EchogramPicture, EachSampleLandsOneRowBelowItsIndexAndRowZeroIsKept)
{
    for (int index : {0, 1, 137, 398}) {
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
    struct Case
    {
        int raw;
        int colour;
    };
    const Case cases[] = {
        {kThresholdRaw - 1, 78},
        {kThresholdRaw, 160},
        {kThresholdRaw + kStepRaw + 2, 161},
        {kThresholdRaw + 11 * kStepRaw + 2, 171},
        {kThresholdRaw + 20 * kStepRaw, 171},
    };
    for (const Case& c : cases) {
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
    p.picture.WriteColumn(p.column);  // weak ping: memory becomes background
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

TEST(EchogramMapping, LevelTableGivesEveryRawValueTheScalesOwnLevel)
{
    struct Case
    {
        double start, interval;
        const char* legend;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {-70.0, 3.0, "the usual scale"},
        {-59.97, 2.998, "steps that fall between raw values"},
        {-10.0, 0.001, "steps finer than a raw unit"},
        {-300.0, 1000.0, "one step wider than every value"},
        {-50.0, 0.0, "no interval: the top colour from the start"},
        {-50.0, -3.0, "a negative interval"},
        {500.0, 3.0, "a start above every value"},
        {-500.0, 3.0, "a start below every value"},
        {nan, 3.0, "a start that is no number"},
        {-60.0, nan, "an interval that is no number"},
    };
    for (const Case& c : cases) {
        CColorScaleSettings scale;
        scale.SetValueBySelector(2, c.start);
        scale.SetInterval(c.interval);
        CLevelTable table;
        table.Take(&scale, c.start);
        for (int raw = -32768; raw <= 32767; ++raw)
            ASSERT_EQ(table.Level(static_cast<std::int16_t>(raw)),
                      scale.GetColorIndex(RawToDb(static_cast<std::int16_t>(raw)), 2))
                << c.legend << ", raw " << raw;
    }
    CLevelTable none;
    none.Take(nullptr, 0.0);
    EXPECT_EQ(none.Level(32767), 0) << "no scale, no level";
}

TEST(EchogramMapping, LevelsOutsideTheLadderHaveNoColour)
{
    // The picture stops the program on these ("Color out of range"); the
    // channel's scale never gives them.
    EXPECT_EQ(LevelColour(0), 78);
    EXPECT_EQ(LevelColour(1), 160);
    EXPECT_EQ(LevelColour(12), 171);
    EXPECT_EQ(LevelColour(13), -1);
    EXPECT_EQ(LevelColour(-1), -1);
}

// ---- Slope echogram ---------------------------------------------------------

namespace {
// A 100 x 40 picture: scale strip 54, newest column 45; angles from +5
// (top) to -5 degrees (foot), so the zero line is row 20.
constexpr double kSlopeStart = 5.0;
constexpr double kSlopeRange = 10.0;
}  // namespace

TEST(EchogramPicture, SlopeColumnHasZeroLineAndTwoAngleRowsQColumnsBack)
{
    struct Case
    {
        double angle;
        int firstAngleRow;
        int angleRows;
        const char* legend;
    };
    const Case cases[] = {
        {2.5, 10, 2, "inside the window"},
        {5.0, 0, 2, "at the top"},
        {-4.9, 39, 1, "at the foot: only the row that fits"},
        {6.0, -1, 0, "above the top"},
        {-5.0, -1, 0, "on the foot edge: below the picture"},
    };
    for (const Case& c : cases) {
        Picture p(100, 40);
        ASSERT_FALSE(p.picture.WriteSlopeColumn(3, kSlopeStart, kSlopeRange, c.angle) == false)
            << "first: strip cleared";
        const int x = 45 - 3;
        for (int row = 0; row < 40; ++row) {
            int expected = 78;
            if (row == 20)
                expected = 79;
            if (c.angleRows > 0 && row >= c.firstAngleRow && row < c.firstAngleRow + c.angleRows)
                expected = 193;
            ASSERT_EQ(p.picture.At(x, row), expected) << c.legend << ", row " << row;
        }
        EXPECT_EQ(p.picture.At(x - 1, 20), 1) << c.legend << ": older columns untouched";
    }
}

TEST(EchogramPicture, SlopeStripIsClearedWhenQChangesOrAnotherPingKindCameBetween)
{
    Picture p(100, 40);
    auto stripIs = [&p](int first, BYTE value) {
        for (int x = first; x <= 45; ++x)
            for (int row : {0, 17, 39})
                if (p.picture.At(x, row) != value)
                    return false;
        return true;
    };
    auto dirtyStrip = [&p] {
        for (int x = 40; x <= 45; ++x)
            p.picture.FillRect(7, x, 0, 1, 40);
    };
    EXPECT_TRUE(p.picture.WriteSlopeColumn(3, kSlopeStart, kSlopeRange, 0.0));
    EXPECT_TRUE(stripIs(43, 78));

    dirtyStrip();
    EXPECT_FALSE(p.picture.WriteSlopeColumn(3, kSlopeStart, kSlopeRange, 0.0));
    EXPECT_TRUE(stripIs(43, 7)) << "same Q: the strip is left alone";

    EXPECT_TRUE(p.picture.WriteSlopeColumn(4, kSlopeStart, kSlopeRange, 2.5));
    EXPECT_TRUE(stripIs(42, 78)) << "Q grew: the wider strip is cleared";
    EXPECT_EQ(p.picture.At(41, 20), 79) << "the slope column moved one further left";
    EXPECT_EQ(p.picture.At(41, 10), 193);

    dirtyStrip();
    p.picture.RequestSlopeStripClear();
    EXPECT_TRUE(p.picture.WriteSlopeColumn(4, kSlopeStart, kSlopeRange, 0.0));
    EXPECT_TRUE(stripIs(42, 78));
}

TEST(EchogramPicture, SlopeLagWiderThanThePictureOnlyClears)
{
    Picture p(100, 40);
    EXPECT_TRUE(p.picture.WriteSlopeColumn(500, kSlopeStart, kSlopeRange, 0.0));
    for (int x = 0; x <= 45; ++x)
        ASSERT_EQ(p.picture.At(x, 20), 78) << x;
    EXPECT_EQ(p.picture.At(46, 20), 1) << "the scale strip is not the slope strip";
    Picture q(100, 40);
    q.picture.WriteSlopeColumn(0, kSlopeStart, 0.0, 1.0);
    for (int row = 0; row < 40; ++row)
        ASSERT_EQ(q.picture.At(45, row), 78) << "no range: no lines, row " << row;
}

// ---- Row orientation --------------------------------------------------------

TEST(EchogramMapping, RowSplitFollowsTheExtentsAndNeverDividesByZero)
{
    struct Case
    {
        double left, right;
        int width, side, split;
        const char* legend;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {50.0, 50.0, 100, 0, 50, "equal sides meet in the middle"},
        {50.0, 50.0, 100, 1, 50, "mirrored"},
        {30.0, 70.0, 100, 0, 30, "port narrower"},
        {30.0, 70.0, 100, 1, 70, "starboard wider"},
        {30.9, 70.9, 100, 0, 30, "extents are truncated"},
        {0.0, 0.0, 100, 0, -100, "no extent: 0.1 apart, all the other side"},
        {0.0, 0.0, 100, 1, 0, "no extent, side 1"},
        {-20.0, 20.0, 100, 0, -101, "ends that meet: kept just outside the row"},
        {1e300, 0.0, 100, 0, 100, "a huge extent"},
        {nan, 50.0, 100, 0, 0, "no number"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RowSplit(c.left, c.right, c.width, c.side), c.split) << c.legend;
}

TEST(EchogramMapping, SampleBlockUnpacksLowHalfFirst)
{
    const std::uint32_t words[] = {0x8000FFFFu, 0x00020001u};
    std::vector<std::int16_t> samples;
    UnpackSampleBlock(words, 2, samples);
    EXPECT_EQ(samples, (std::vector<std::int16_t>{-1, -32768, 1, 2}));
    UnpackSampleBlock(nullptr, 5, samples);
    EXPECT_TRUE(samples.empty());
}

namespace {
// A row-oriented picture: W x 60, header T = 20, so the newest row is 20.
struct RowPicture : Picture
{
    RowPicture(int width, double left, double right, int side) : Picture(width, 60)
    {
        picture.SetRowOrientation(true);
        // Marked, so that what a row writes stands out.
        picture.FillRect(1, 0, 0, width, 60);
        column.left = left;
        column.right = right;
        column.side = side;
    }
    int RowAt(int x) const { return picture.At(x, 20); }
    std::vector<std::int16_t> other = std::vector<std::int16_t>(2000, kWeak);
};
}  // namespace

TEST(EchogramPicture, RowPlacesThisSideLeftOfTheSplitAndTheSecondSideRight)
{
    struct Case
    {
        int side;
        int sampleColumn;
        int secondColumn;
        const char* legend;
    };
    // Extents 30 and 70 over 100 columns: side 0 splits at 30, side 1 at 70.
    const Case cases[] = {
        {0, 30 - 10, 30 + 5, "side 0: samples leftwards from the split"},
        {1, 99 - (70 - 10), 99 - (70 + 5), "side 1: mirrored"},
    };
    for (const Case& c : cases) {
        RowPicture p(100, 30.0, 70.0, c.side);
        p.samples[10] = kThresholdRaw;
        p.other[5] = static_cast<std::int16_t>(kThresholdRaw + kStepRaw + 2);
        p.column.secondSide = p.other.data();
        p.column.secondSideCount = static_cast<int>(p.other.size());
        p.picture.WriteRow(p.column);
        for (int x = 0; x < 100; ++x) {
            const int expected = x == c.sampleColumn ? 160 : x == c.secondColumn ? 161 : 78;
            ASSERT_EQ(p.RowAt(x), expected) << c.legend << ", column " << x;
        }
        EXPECT_EQ(p.picture.At(c.sampleColumn, 19), 1) << c.legend << ": the header is not written";
        EXPECT_EQ(p.picture.At(c.sampleColumn, 21), 1) << c.legend << ": only the newest row";
    }
}

TEST(EchogramPicture, RowWithoutSecondSideOrExtentsDrawsBackgroundThere)
{
    // The missing side is -235.17968 dB, below any start level.
    RowPicture p(100, 30.0, 70.0, 0);
    std::fill(p.samples.begin(), p.samples.end(), static_cast<std::int16_t>(kThresholdRaw));
    p.picture.WriteRow(p.column);
    EXPECT_EQ(p.RowAt(30), 160);
    EXPECT_EQ(p.RowAt(0), 160);
    for (int x = 31; x < 100; ++x)
        ASSERT_EQ(p.RowAt(x), 78) << x;
    // A scale from -300 dB in steps of 10 shows the missing side at level
    // 7: -235.18 dB and no other value.
    p.scale.SetValueBySelector(3, -300.0);
    p.scale.SetInterval(10.0);
    p.picture.WriteRow(p.column);
    EXPECT_EQ(p.RowAt(99), 166) << "column 99 is the other side";

    // No extent at all: everything is the (missing) other side.
    RowPicture none(100, 0.0, 0.0, 0);
    std::fill(none.samples.begin(), none.samples.end(), static_cast<std::int16_t>(kThresholdRaw));
    none.picture.WriteRow(none.column);
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(none.RowAt(x), 78) << x;
}

TEST(EchogramPicture, RowsMoveDownBelowTheHeaderAndTheHeaderStays)
{
    RowPicture p(100, 50.0, 50.0, 0);
    p.samples[0] = kThresholdRaw;  // column 50
    p.picture.WriteRow(p.column);
    p.samples[0] = kWeak;
    p.picture.Shift();
    p.picture.WriteRow(p.column);
    EXPECT_EQ(p.picture.At(50, 20), 78) << "newest ping";
    EXPECT_EQ(p.picture.At(50, 21), 160) << "the ping before, one row down";
    for (int row = 0; row < 20; ++row)
        ASSERT_EQ(p.picture.At(50, row), 1) << "header row " << row;
    p.picture.PaintRowRun(193, 95, 100);
    p.picture.PaintRowRun(193, -1, 5);
    EXPECT_EQ(p.RowAt(95), 193);
    EXPECT_EQ(p.RowAt(99), 193);
    EXPECT_EQ(p.RowAt(94), 78);
    EXPECT_EQ(p.RowAt(0), 78);
    EXPECT_EQ(p.picture.At(99, 21), 78) << "runs stay on the newest row";
}

TEST(EchogramPicture, WidePaneRowKeepsItsRowMemoryForEveryColumn)
{
    // Wider than the 2000 samples a column holds: the row memory must reach
    // every column, and the columns without samples are background.
    RowPicture p(2600, 2600.0, 0.0, 0);
    std::fill(p.samples.begin(), p.samples.end(), static_cast<std::int16_t>(kThresholdRaw));
    p.column.keepBackground = true;
    p.picture.WriteRow(p.column);
    p.picture.Shift();
    p.picture.WriteRow(p.column);
    EXPECT_EQ(p.RowAt(2599), 160) << "sample 1";
    EXPECT_EQ(p.RowAt(601), 160) << "sample 1999";
    EXPECT_EQ(p.RowAt(600), 78) << "sample 2000 was not delivered";
    EXPECT_EQ(p.picture.RowMemory(2599), 160);
    EXPECT_EQ(p.picture.RowMemory(0), 78);

    // A second side shorter than the rest of the row ends in background.
    RowPicture q(2600, 600.0, 2000.0, 0);  // split at 600
    std::fill(q.other.begin(), q.other.end(), static_cast<std::int16_t>(kThresholdRaw));
    q.column.secondSide = q.other.data();
    q.column.secondSideCount = static_cast<int>(q.other.size());
    q.picture.WriteRow(q.column);
    EXPECT_EQ(q.RowAt(601), 160) << "second-side sample 1";
    EXPECT_EQ(q.RowAt(2599), 160) << "second-side sample 1999";
    RowPicture r(2600, 500.0, 2100.0, 0);  // split at 500: 2099 second-side positions
    std::fill(r.other.begin(), r.other.end(), static_cast<std::int16_t>(kThresholdRaw));
    r.column.secondSide = r.other.data();
    r.column.secondSideCount = static_cast<int>(r.other.size());
    r.picture.WriteRow(r.column);
    EXPECT_EQ(r.RowAt(2499), 160) << "second-side sample 1999";
    EXPECT_EQ(r.RowAt(2500), 78) << "past the 2000 samples there are";
}

TEST(EchogramPicture, TurningThePictureClearsItAndColumnsAreNotWrittenAsRows)
{
    Picture p(100, 60);
    p.samples[10] = kThresholdRaw;
    p.picture.WriteColumn(p.column);
    p.picture.SetRowOrientation(true);
    for (int x = 0; x < 100; ++x)
        ASSERT_EQ(p.picture.At(x, 11), 78) << "turned: nothing of the columns is left, column " << x;
    EXPECT_EQ(p.picture.WriteColumn(p.column), -1);
    EXPECT_FALSE(p.picture.WriteSlopeColumn(0, kSlopeStart, kSlopeRange, 0.0));
    EXPECT_EQ(p.picture.At(45, 30), 78);
}

// ---- The ring ---------------------------------------------------------------

namespace {
// The shift of the picture as it was done before the ring: the echogram
// area moved in memory, one block copy a ping. A picture that is never
// shifted itself lies as it shows, so this keeps it as the oracle of what
// every ping must show.
void OldShift(std::vector<BYTE>& bits, int width, int height, bool rows)
{
    if (rows) {
        const int top = TopMargin(height);
        const int moved = height - top - 1;
        if (moved > 0)
            std::memmove(bits.data() + static_cast<std::size_t>(top + 1) * width,
                         bits.data() + static_cast<std::size_t>(top) * width, static_cast<std::size_t>(moved) * width);
        return;
    }
    const int span = width - ScaleMargin(width) - 1;
    for (int row = 0; span > 0 && row < height; ++row) {
        BYTE* line = bits.data() + static_cast<std::size_t>(row) * width;
        std::memmove(line, line + 1, static_cast<std::size_t>(span));
    }
}

// Pings of every kind into a ring and into the oracle; false with the first
// pixel that differs.
struct RingAndOracle
{
    RingAndOracle(int width, int height, bool rows) : ring(width, height), oracle(width, height), rows(rows)
    {
        for (Picture* p : {&ring, &oracle}) {
            p->picture.SetRowOrientation(rows);
            // Distinct values everywhere, so that no column can pass for another.
            for (std::size_t i = 0; i < p->bits.size(); ++i)
                p->bits[i] = static_cast<BYTE>(i % 251);
            p->column.left = 40.0;
            p->column.right = 60.0;
            p->column.bottomGap = true;
            p->column.bottomLine = true;
        }
    }
    // Ping i: an echo and a bottom that move with i, then marks over the
    // newest line and a rectangle over older ones, across the seam by turns.
    void Ping(int i, bool slope)
    {
        const int h = ring.picture.GetHeight();
        OldShift(oracle.bits, oracle.picture.GetWidth(), h, rows);
        ring.picture.Shift();
        for (Picture* p : {&ring, &oracle}) {
            std::fill(p->samples.begin(), p->samples.end(), kWeak);
            p->samples[static_cast<std::size_t>(i % 37)] = kThresholdRaw;
            p->SetBottomRow(5 + i % 23);
            CEchogramPicture& pic = p->picture;
            if (i % 11 == 0)
                continue;  // a ping that writes nothing (a slope ping without an angle)
            if (rows) {
                pic.WriteRow(p->column);
                pic.PaintRowRun(193, i % 50, 7);
            } else if (slope) {
                pic.WriteSlopeColumn(3, kSlopeStart, kSlopeRange, (i % 9) - 4.0);
            } else {
                pic.RequestSlopeStripClear();
                pic.WriteColumn(p->column);
                pic.PaintColumnRun(194, i % h, 3);
            }
            pic.FillRect(static_cast<BYTE>(200 + i % 5), (i * 7) % 40, (i * 3) % h, 9, 4);
        }
    }
    ::testing::AssertionResult Same() const
    {
        const CEchogramPicture& a = ring.picture;
        for (int row = 0; row < a.GetHeight(); ++row)
            for (int x = 0; x < a.GetWidth(); ++x)
                if (a.At(x, row) != oracle.picture.At(x, row))
                    return ::testing::AssertionFailure() << "at " << x << "," << row << ": " << int(a.At(x, row))
                                                         << " shows, " << int(oracle.picture.At(x, row)) << " was due";
        return ::testing::AssertionSuccess();
    }
    Picture ring;
    Picture oracle;
    bool rows;
};
}  // namespace

TEST(EchogramPicture, RingShowsWhatMovingThePictureShowedAfterAnyNumberOfPings)
{
    struct Case
    {
        bool rows;
        bool slope;
        const char* legend;
    };
    const Case cases[] = {
        {false, false, "columns"},
        {false, true, "slope columns between sample columns"},
        {true, false, "rows"},
    };
    for (const Case& c : cases) {
        const int ring = RingAndOracle(100, 60, c.rows).ring.picture.RingSize();
        ASSERT_EQ(ring, c.rows ? 40 : 46) << c.legend;
        for (int pings : {1, ring - 1, ring, ring + 1, 3 * ring + 7}) {
            RingAndOracle p(100, 60, c.rows);
            for (int i = 1; i <= pings; ++i)
                p.Ping(i, c.slope && i % 4 != 0);
            ASSERT_TRUE(p.Same()) << c.legend << " after " << pings << " pings";
        }
    }
}

TEST(EchogramPicture, RectangleAcrossTheSeamLiesInTwoPartsAndShowsWhole)
{
    Picture p(100, 30);
    for (int i = 0; i < 10; ++i)
        p.picture.Shift();  // shown column 36 lies at column 0 in memory
    CEchogramPicture::Part parts[CEchogramPicture::kMaxParts];
    ASSERT_EQ(p.picture.Parts(30, 2, 30, 5, parts), 3) << "ring, wrapped ring and scale strip";
    EXPECT_EQ(parts[0].x, 40);
    EXPECT_EQ(parts[0].width, 6);
    EXPECT_EQ(parts[1].x, 0);
    EXPECT_EQ(parts[1].width, 10);
    EXPECT_EQ(parts[1].x - parts[1].dx, 36);
    EXPECT_EQ(parts[2].x, 46);
    EXPECT_EQ(parts[2].width, 14);
    EXPECT_EQ(p.picture.Parts(-5, -5, 2, 2, parts), 0) << "wholly outside";

    p.picture.FillRect(9, 30, 2, 20, 5);
    for (int x = 28; x <= 51; ++x)
        EXPECT_EQ(p.picture.At(x, 4), x >= 30 && x < 50 ? 9 : 1) << x;
    auto memory = [&p](int x) { return p.bits[static_cast<std::size_t>(4 * 100 + x)]; };
    EXPECT_EQ(memory(45), 9) << "shown 35";
    EXPECT_EQ(memory(0), 9) << "shown 36, the first after the seam";
    EXPECT_EQ(memory(9), 9) << "shown 45";
    EXPECT_EQ(memory(10), 1) << "shown 0";
    EXPECT_EQ(memory(39), 1) << "shown 29";
}
