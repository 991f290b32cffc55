#include "engine/SequenceControl.h"
#include "engine/MultiPulse.h"

#include <gtest/gtest.h>

#include <limits>

TEST(SequenceControl, StepsOverEveryChannelUpToEight)
{
    CSequenceControl seq(1, 8);
    EXPECT_EQ(seq.IsRunning(), 1);
    for (int round = 0; round < 2; ++round) {
        for (int step = 1; step < 8; ++step) {
            EXPECT_EQ(seq.Next(), step);
            for (int n = 0; n < 8; ++n)
                EXPECT_EQ(seq.GetStep(n), n == step ? 0 : 1) << "step " << step << " flag " << n;
        }
        EXPECT_EQ(seq.Next(), 0);
        EXPECT_EQ(seq.GetStep(0), 0);
        EXPECT_EQ(seq.GetStep(7), 1);
    }
    EXPECT_EQ(seq.GetStep(8), 1);
    EXPECT_EQ(seq.GetStep(-1), 1);
}

TEST(SequenceControl, SingleStepAndFreshStates)
{
    CSequenceControl one(1, 1);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(one.Next(), 0);
        EXPECT_EQ(one.GetStep(0), 0);
    }
    EXPECT_EQ(one.GetStep(4), 1);

    CSequenceControl idle(0, 2);
    EXPECT_EQ(idle.IsRunning(), 0);
    for (int n = 0; n < 4; ++n)
        EXPECT_EQ(idle.GetStep(n), 1);
    idle.Next();
    idle.Reset();
    // Reset marks all but the first step done and leaves the first as it was.
    EXPECT_EQ(idle.GetStep(1), 1);
    EXPECT_EQ(idle.GetStep(0), 1);
    idle.Stop();
    EXPECT_EQ(idle.IsRunning(), 0);
}

TEST(MultiPulse, LocksOnAfterFiveHitsAndLetsGoAfterFiveMisses)
{
    CMultiPulse mp;
    const double values[] = {100, 110, 95, 105, 100};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(mp.GetState(), 0) << i;
        mp.Track(values[i]);
    }
    EXPECT_EQ(mp.GetState(), 1);
    EXPECT_NEAR(mp.GetSmoothedDepth(), 100.0, 5.0);
    // The period is the two-way travel time of the smoothed depth.
    EXPECT_DOUBLE_EQ(mp.GetDepth(), 2.0 * mp.GetSmoothedDepth() / 1500.0);
    EXPECT_DOUBLE_EQ(mp.GetScaledDepth(), mp.GetDepth() * 0.75 * 1500.0);
    mp.Track(100, 1480.0);
    EXPECT_DOUBLE_EQ(mp.GetDepth(), 2.0 * mp.GetSmoothedDepth() / 1480.0);
    mp.Track(100, std::numeric_limits<double>::quiet_NaN());
    EXPECT_DOUBLE_EQ(mp.GetDepth(), 2.0 * mp.GetSmoothedDepth() / 1500.0) << "no water has that velocity";

    // Four misses, a hit, four misses: still tracking.
    for (int i = 0; i < 4; ++i)
        mp.Track(300);
    mp.Track(mp.GetSmoothedDepth());
    for (int i = 0; i < 4; ++i)
        mp.Track(300);
    EXPECT_EQ(mp.GetState(), 1);
    mp.Track(300);
    EXPECT_EQ(mp.GetState(), 0);
    EXPECT_EQ(mp.GetSmoothedDepth(), 0.0);
    EXPECT_EQ(mp.GetDepth(), 0.0) << "no period while searching";
}

TEST(MultiPulse, LimitAndWindowEdges)
{
    CMultiPulse mp;
    for (int i = 0; i < 5; ++i)
        mp.Track(50);
    ASSERT_EQ(mp.GetState(), 1);
    mp.Track(400);  // at the limit: lost at once
    EXPECT_EQ(mp.GetState(), 0);

    CMultiPulse edge;
    edge.Track(100);
    // A difference of exactly the window (20) is a miss and resets the hits.
    for (int i = 0; i < 6; ++i)
        edge.Track(120);
    EXPECT_EQ(edge.GetState(), 0);
    edge.Track(399.0);
    EXPECT_EQ(edge.GetState(), 0);
}
