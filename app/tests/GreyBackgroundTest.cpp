#include "app/GreyBackground.h"

#include <gtest/gtest.h>

using namespace app;

namespace {

TEST(GreyBackgroundTest, BlackBackgroundStepsUpFromThree)
{
    const auto levels = ComputeGreyLevels(0, 70);  // step 10
    ASSERT_TRUE(levels);
    EXPECT_EQ((*levels)[0], 13);
    EXPECT_EQ((*levels)[11], 123);
}

TEST(GreyBackgroundTest, WrapsModulo256AndLightBackgroundsStartAt255)
{
    const auto wrapped = ComputeGreyLevels(0, 350);  // step 50: 12 x 50 + 3 = 603
    ASSERT_TRUE(wrapped);
    EXPECT_EQ((*wrapped)[11], 603 % 256);
    const auto light = ComputeGreyLevels(0x00FFFFFF, 0x00FFFFFF);  // step 0
    ASSERT_TRUE(light);
    for (auto level : *light)
        EXPECT_EQ(level, 255);
}

TEST(GreyBackgroundTest, MidRangeEntryIsRefused)
{
    EXPECT_FALSE(ComputeGreyLevels(1, 0));
    EXPECT_FALSE(ComputeGreyLevels(200, 0));
    EXPECT_TRUE(ComputeGreyLevels(201, 0));
}

}  // namespace
