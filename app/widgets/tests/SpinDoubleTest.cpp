#include "app/widgets/SpinDouble.h"

#include <gtest/gtest.h>

using namespace app;

namespace {

TEST(SpinDoubleTest, StepGrowsWithTheHoldAndCoarseStepsRound)
{
    CSpinDoubleValue spin;
    spin.SetRange(2, 0.0, 100.0);
    EXPECT_EQ(spin.Step("12.34", 1), "12.35");  // one click
    EXPECT_EQ(spin.Step("12.34", 2), "12.4");   // 3 s held: step 0.1
    EXPECT_EQ(spin.Step("12.34", 4), "20");     // 9 s held: rounded to 10, then +10
    EXPECT_DOUBLE_EQ(spin.Value(), 20.0);
    EXPECT_EQ(spin.Step("12.34", -1), "12.33");
}

TEST(SpinDoubleTest, LimitsAndUnreadableText)
{
    CSpinDoubleValue spin;
    spin.SetRange(2, 0.0, 100.0);
    EXPECT_EQ(spin.Step("0.00", -1), "0.00");   // down from the minimum stays there
    EXPECT_EQ(spin.Step("99.99", 2), "100.0");  // up by 0.1 stops at the maximum
    EXPECT_EQ(spin.Step("abc", 1), "0.01");     // not a number reads as 0
}

TEST(SpinDoubleTest, PrecisionIsClampedAndTableFollowsIt)
{
    CSpinDoubleValue spin;
    spin.SetRange(8, 0.0, 1.0);
    EXPECT_EQ(spin.Precision(), 6);
    EXPECT_EQ(spin.AccelerationTable().size(), 12u);
    spin.SetRange(-5, 0.0, 10000.0);
    EXPECT_EQ(spin.Precision(), -3);
    const auto table = spin.AccelerationTable();
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[2].seconds, 6u);
    EXPECT_EQ(table[2].increment, 3u);
}

TEST(SpinDoubleTest, UninitialisedShowsQuestionMarksAndRangeClampsTheValue)
{
    CSpinDoubleValue spin;
    EXPECT_EQ(spin.Step("5", 1), "????");
    spin.SetValue(-3.0);
    spin.SetRange(1, 0.0, 10.0);
    EXPECT_DOUBLE_EQ(spin.Value(), 0.0);
    spin.SetValue(30.0);
    spin.SetRange(1, 0.0, 10.0);
    EXPECT_DOUBLE_EQ(spin.Value(), 10.0);
}

}  // namespace
