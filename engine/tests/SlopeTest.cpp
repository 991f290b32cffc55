// Bottom slope from the last pings' depths, and its depth history.
#include "engine/Slope.h"

#include "base/Archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr std::uint64_t kSecond = 10000000;

// Least squares of y on x, worked out independently of the tracker's sums.
double Fit(const std::vector<double>& x, const std::vector<double>& y)
{
    double mx = 0.0, my = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        mx += x[i];
        my += y[i];
    }
    mx /= static_cast<double>(x.size());
    my /= static_cast<double>(x.size());
    double num = 0.0, den = 0.0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        num += (x[i] - mx) * (y[i] - my);
        den += (x[i] - mx) * (x[i] - mx);
    }
    return num / den;
}

TEST(Slope, KnownBottomLineMatchesTheLeastSquaresFit)
{
    // Irregular pings across a wrap of the low time word, changing speed,
    // a rising bottom with some roughness. Only the last 12 points count.
    CSlope slope;
    std::uint64_t t = (std::uint64_t{7} << 32) - 15 * kSecond;  // wraps near point 20
    std::vector<double> xs, ys;
    double x = 0.0;
    double lastSpeed = 0.0;
    for (int i = 0; i < 30; ++i) {
        const double speed = 4.0 + 0.1 * (i % 5);
        if (i > 0) {
            const std::uint64_t dt = kSecond / 2 + static_cast<std::uint64_t>(i % 3) * kSecond / 4;
            t += dt;
            x += static_cast<double>(dt) / kSecond * lastSpeed;
        }
        const double depth = 80.0 - 0.05 * x + ((i % 2) ? 0.02 : -0.02);
        slope.AddPoint(depth, speed, static_cast<std::uint32_t>(t), static_cast<std::uint32_t>(t >> 32));
        xs.push_back(x);
        ys.push_back(-depth);
        lastSpeed = speed;
        EXPECT_EQ(slope.IsFitValid(), i >= 11) << "point " << i;
    }
    const std::vector<double> lastX(xs.end() - 12, xs.end());
    const std::vector<double> lastY(ys.end() - 12, ys.end());
    const double expected = Fit(lastX, lastY);
    EXPECT_NEAR(slope.GetSlope(), expected, 1e-9);
    EXPECT_NEAR(expected, 0.05, 0.01) << "the fixture rises by 5 cm per metre";
    double angle = 0.0;
    ASSERT_TRUE(slope.GetSlopeAngle(angle));
    EXPECT_NEAR(angle, std::atan(expected) * 180.0 / 3.14, 1e-9);
}

TEST(Slope, FlatBottomAndDegenerateTimes)
{
    CSlope flat;
    for (int i = 0; i < 12; ++i)
        flat.AddPoint(50.0, 5.0, static_cast<std::uint64_t>(i) * kSecond);
    double angle = 1.0;
    EXPECT_TRUE(flat.GetSlopeAngle(angle));
    EXPECT_EQ(angle, 0.0);

    CSlope sameTime;
    for (int i = 0; i < 12; ++i)
        sameTime.AddPoint(50.0 + i, 5.0, kSecond);
    EXPECT_FALSE(sameTime.GetSlopeAngle(angle));
    EXPECT_EQ(angle, 0.0);

    // No bottom adds no point.
    CSlope gaps;
    for (int i = 0; i < 11; ++i)
        gaps.AddPoint(50.0, 5.0, static_cast<std::uint64_t>(i) * kSecond);
    gaps.AddPoint(0.0, 5.0, 20 * kSecond);
    EXPECT_EQ(gaps.GetPointCount(), 11);
    EXPECT_FALSE(gaps.IsFitValid());
}

TEST(Slope, CapacityNeverExceedsTheWindow)
{
    CSlope slope;
    slope.SetPointCapacity(500);
    EXPECT_EQ(slope.GetPointCapacity(), CSlope::kMaxPoints);
    for (int i = 0; i < 250; ++i)
        slope.AddPoint(30.0 + 0.01 * i, 2.0, static_cast<std::uint64_t>(i) * kSecond);
    EXPECT_EQ(slope.GetPointCount(), CSlope::kMaxPoints);
    EXPECT_TRUE(slope.IsFitValid());
    // Lowering the capacity keeps the newest points.
    slope.SetPointCapacity(10);
    slope.AddPoint(40.0, 2.0, 300 * kSecond);
    EXPECT_EQ(slope.GetPointCount(), 10);

    // A layout with an impossible capacity is cut to the window.
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar << static_cast<LONG>(1) << static_cast<LONG>(100000);
        ar.Close();
    }
    CArchive in(bytes.data(), bytes.size());
    CSlope loaded;
    loaded.Serialize(in);
    EXPECT_TRUE(loaded.IsHistoryOn());
    EXPECT_EQ(loaded.GetPointCapacity(), CSlope::kMaxPoints);
}

TEST(Slope, HistoryRingAndDistances)
{
    CSlope slope;
    slope.SetHistoryOn(true);
    slope.SetHistorySize(3);
    double v = 0.0;
    EXPECT_FALSE(slope.GetHistoryValue(0, v));
    slope.AddPoint(10.0, 2.0, 1 * kSecond);
    slope.AddPoint(0.0, 2.0, 2 * kSecond);  // no bottom is kept in the history
    ASSERT_TRUE(slope.GetHistoryValue(0, v));
    EXPECT_EQ(v, 0.0);
    ASSERT_TRUE(slope.GetHistoryValue(1, v));
    EXPECT_EQ(v, 10.0);
    EXPECT_FALSE(slope.GetHistoryValue(2, v)) << "only two entries filled";
    for (int i = 3; i <= 5; ++i)
        slope.AddPoint(10.0 * i, 2.0, static_cast<std::uint64_t>(i) * kSecond);
    ASSERT_TRUE(slope.GetHistoryValue(2, v));
    EXPECT_EQ(v, 30.0) << "the ring holds the last three";
    EXPECT_FALSE(slope.GetHistoryValue(3, v));
    EXPECT_DOUBLE_EQ(slope.GetDistance(0, 2), -2.0 * 2.0) << "two seconds back at 2 m/s";
    EXPECT_EQ(slope.GetDistance(0, 3), 0.0);

    slope.SetHistorySize(5);
    EXPECT_FALSE(slope.GetHistoryValue(0, v)) << "a new size starts empty";
}

TEST(Slope, ValidityHoldOff)
{
    CSlope slope;
    slope.UpdateValidity(true);
    EXPECT_TRUE(slope.GetValidityState());
    slope.UpdateValidity(false);
    EXPECT_TRUE(slope.GetValidityState());
    slope.UpdateValidity(false);
    EXPECT_FALSE(slope.GetValidityState());
}

}  // namespace
