#include "plot/ui/FHRuler.h"
#include "plot/ui/FVRuler.h"

#include "plot/AxisScale.h"
#include "plot/ui/tests/PlotTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Pixels darker than the grey face and the white frame: text and ticks.
int Dark(const QImage& image, QRect area)
{
    int n = 0;
    area &= image.rect();
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            n += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
    }
    return n;
}

class RulerTest : public ::testing::Test
{
protected:
    void SetUp() override { plottest::QtApp(); }
};

TEST_F(RulerTest, UnderItsThicknessARulerShowsOnlyFaceAndFrame)
{
    FHRuler h;
    h.SetRange(0, 10, false);
    h.resize(300, 14);
    // Inside the frame: between its lines, above the bottom line.
    EXPECT_EQ(Dark(h.grab().toImage(), QRect(16, 1, 282, 12)), 0);
    h.resize(300, 15);
    EXPECT_GT(Dark(h.grab().toImage(), QRect(16, 1, 282, 13)), 0);

    FVRuler v;
    v.SetRange(0, 10, false);
    v.resize(14, 300);
    EXPECT_EQ(Dark(v.grab().toImage(), QRect(1, 16, 12, 282)), 0);
    v.resize(15, 300);
    EXPECT_GT(Dark(v.grab().toImage(), QRect(1, 16, 13, 282)), 0);
}

TEST_F(RulerTest, NoLabelAtTheScalesStartButItsTick)
{
    FHRuler h;
    h.resize(300, 30);
    h.SetRange(0, 10, false);
    const QImage image = h.grab().toImage();
    const int bottom = 28;                           // the last row above the frame line
    EXPECT_LT(qGray(image.pixel(15, bottom)), 128);  // the tick at 0
    EXPECT_EQ(Dark(image, QRect(8, 1, 15, bottom - 4)), 0);

    // The next tick is labelled.
    const int capacity = h.GetLabelCapacity();
    const CAxisScale scale(15, 298, 0, 10);
    const CTickLayout ticks = scale.Layout(capacity);
    ASSERT_GE(ticks.GetCount(), 2);
    const int x = static_cast<int>(ticks.positions[1]);
    EXPECT_GT(Dark(image, QRect(x - 8, 1, 17, bottom - 4)), 0);
}

TEST_F(RulerTest, CapacityFollowsTheUsableLength)
{
    FHRuler h;
    h.resize(400, 15);
    const int wide = h.GetLabelCapacity();
    h.resize(100, 15);
    const int narrow = h.GetLabelCapacity();
    EXPECT_GT(wide, narrow);
    EXPECT_GT(narrow, 0);
    h.resize(15, 15);
    EXPECT_EQ(h.GetLabelCapacity(), 0);  // all of it the corner
}

}  // namespace
