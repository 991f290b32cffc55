#include "plot/RulerText.h"

#include <gtest/gtest.h>

namespace {

TEST(RulerText, HorizontalLabelsAreTheSignedWholePart)
{
    const std::pair<double, const char*> rows[] = {
        {1499.9, "1499"},
        {-12.5, "-12"},
        {0.7, "0"},
        {-0.5, "0"},
        {1500, "1500"},
        // Beyond the int range the value is written, not wrapped.
        {3e9, "3000000000"},
        {-1e12 - 0.5, "-1000000000000"},
    };
    for (const auto& [value, text] : rows)
        EXPECT_EQ(ruler::HorizontalLabel(value), text) << value;
}

TEST(RulerText, VerticalLabelsCarryNoSign)
{
    struct Row
    {
        double value;
        int exponent;
        const char* text;
    };
    const Row rows[] = {
        {-12.5, 2, "12"},  {0.0, 2, "0.0"},         {-0.5, 0, "0.5"},  // axis 0 to -2
        {-0.5, -1, "5.0"},                                             // axis 0 to -0.5: in tenths
        {-250, 2, "250"},  {-5e9, 9, "5000000000"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(ruler::VerticalLabel(r.value, r.exponent), r.text) << r.value << " " << r.exponent;
}

TEST(RulerText, LabelsStayBetweenTheScaleStartAndTheCaption)
{
    // Ruler from 0 to 300, start offset 15, caption 30 wide, label half 10.
    EXPECT_FALSE(ruler::HorizontalLabelVisible(15, 0, 0, 15, 300, 30));  // a tick on the scale's start
    EXPECT_FALSE(ruler::HorizontalLabelVisible(25, 10, 0, 15, 300, 30));
    EXPECT_TRUE(ruler::HorizontalLabelVisible(26, 10, 0, 15, 300, 30));
    EXPECT_TRUE(ruler::HorizontalLabelVisible(259, 10, 0, 15, 300, 30));
    EXPECT_FALSE(ruler::HorizontalLabelVisible(260, 10, 0, 15, 300, 30));

    // Vertical ruler from 0 (top) to 300 (bottom).
    EXPECT_TRUE(ruler::VerticalLabelVisible(289, 10, 0, 15, 300, 30));
    EXPECT_FALSE(ruler::VerticalLabelVisible(290, 10, 0, 15, 300, 30));
    EXPECT_FALSE(ruler::VerticalLabelVisible(55, 10, 0, 15, 300, 30));
    EXPECT_TRUE(ruler::VerticalLabelVisible(56, 10, 0, 15, 300, 30));
}

TEST(RulerText, CapacityCountsAStartedLabel)
{
    EXPECT_EQ(ruler::LabelCapacity(400, 40), 10);
    EXPECT_EQ(ruler::LabelCapacity(401, 40), 11);
    EXPECT_EQ(ruler::LabelCapacity(1, 40), 1);
    EXPECT_EQ(ruler::LabelCapacity(0, 40), 0);
    EXPECT_EQ(ruler::LabelCapacity(-30, 40), 0);
    EXPECT_EQ(ruler::LabelCapacity(100, 0), 0);
}

TEST(RulerText, MinorTicksHalfAStepAside)
{
    EXPECT_NEAR(ruler::MinorTickValue(-250, 0.5, 2, -1), -275, 1e-9);
    EXPECT_NEAR(ruler::MinorTickValue(-250, 0.5, 2, 1), -225, 1e-9);
    EXPECT_NEAR(ruler::MinorTickValue(0.3, 1, -1, 1), 0.35, 1e-12);
}

}  // namespace
