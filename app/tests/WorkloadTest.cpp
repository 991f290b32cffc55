// The workload meter on fed process times and a manual monotonic clock.
#include "app/Workload.h"

#include "platform/FileTime.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint64_t kSecond = 10'000'000;

class Workload : public ::testing::Test
{
protected:
    void SetUp() override { CFileTime::SetClock(&clock_); }
    void TearDown() override { CFileTime::SetClock(nullptr); }

    // Advances the clocks and the process times by the given amounts.
    void Step(std::uint64_t wall, std::uint64_t kernelBusy, std::uint64_t userBusy)
    {
        clock_.Advance(wall);
        kernel_ += kernelBusy;
        user_ += userBusy;
    }

    CManualClock clock_{CFileTime::kUnixEpoch, 1000 * kSecond};
    std::uint64_t kernel_ = 5 * kSecond, user_ = 7 * kSecond;
    bool readable_ = true;
    CWorkload meter_{[this](std::uint64_t& k, std::uint64_t& u) {
        if (!readable_)
            return false;
        k = kernel_;
        u = user_;
        return true;
    }};
};

TEST_F(Workload, HalfUntilTwoSamples)
{
    EXPECT_EQ(meter_.GetLoad(), 0.5);
    meter_.Sample();
    EXPECT_EQ(meter_.GetLoad(), 0.5);
    Step(2 * kSecond, kSecond / 2, kSecond / 2);
    meter_.Sample();
    EXPECT_DOUBLE_EQ(meter_.GetLoad(), 0.5);
    Step(2 * kSecond, 0, kSecond / 2);
    meter_.Sample();
    EXPECT_DOUBLE_EQ(meter_.GetLoad(), 0.25);
}

TEST_F(Workload, TwoBusyProcessorsGiveTwo)
{
    meter_.Sample();
    Step(2 * kSecond, kSecond, 3 * kSecond);
    meter_.Sample();
    EXPECT_DOUBLE_EQ(meter_.GetLoad(), 2.0);
}

TEST_F(Workload, SameTimeLeavesLoadUnchanged)
{
    meter_.Sample();
    Step(kSecond, 0, kSecond / 4);
    meter_.Sample();
    Step(0, 0, kSecond);
    meter_.Sample();
    EXPECT_DOUBLE_EQ(meter_.GetLoad(), 0.25);
}

TEST_F(Workload, WallClockChangeDoesNotMatter)
{
    meter_.Sample();
    clock_.SetFileTime(CFileTime::kUnixEpoch + 3600 * kSecond);  // someone sets the clock an hour on
    Step(kSecond, 0, kSecond / 2);
    meter_.Sample();
    EXPECT_DOUBLE_EQ(meter_.GetLoad(), 0.5);
}

TEST_F(Workload, UnreadableTimesKeepLoadAndInterval)
{
    meter_.Sample();
    Step(kSecond, 0, kSecond / 2);
    meter_.Sample();
    ASSERT_DOUBLE_EQ(meter_.GetLoad(), 0.5);
    readable_ = false;
    Step(kSecond, 0, kSecond);
    meter_.Sample();
    EXPECT_DOUBLE_EQ(meter_.GetLoad(), 0.5);
    // The next readable sample spans both intervals: 1.5 s busy in 2 s.
    readable_ = true;
    Step(kSecond, 0, kSecond / 2);
    meter_.Sample();
    EXPECT_DOUBLE_EQ(meter_.GetLoad(), 0.75);
}

TEST(WorkloadOwnProcess, ReadsGrowingTimes)
{
    std::uint64_t k0 = 0, u0 = 0, k1 = 0, u1 = 0;
    ASSERT_TRUE(CWorkload::ReadOwnProcessTimes(k0, u0));
    volatile std::uint64_t spin = 0;
    do {
        for (int i = 0; i < 100000; ++i)
            spin = spin + 1;
        ASSERT_TRUE(CWorkload::ReadOwnProcessTimes(k1, u1));
    } while (k1 + u1 == k0 + u0);
    EXPECT_GT(k1 + u1, k0 + u0);
}

}  // namespace
