#include "sensors/GeographicInfo.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr std::uint64_t kT0 = 134'000'000'000'000'000ULL;
constexpr std::uint64_t kSecond = 10'000'000;

TEST(GeographicInfo, OffUntilALengthIsAsked)
{
    CGeographicInfo geo;
    geo.AddPing(kT0);
    geo.ParseNavigationTelegram("$GPGGA,1,4807.038,N,01131.000,E", kT0);
    geo.ParseHeadingTelegram("$HEHDT,10.0,T", kT0);
    geo.ParseCourseTelegram("$GPVTG,10.0,T", kT0);
    EXPECT_EQ(geo.PingCount() + geo.PositionCount() + geo.HeadingCount() + geo.CourseCount(), 0u);
    geo.EnsureHistoryLength(5);
    geo.EnsureHistoryLength(2);  // never lowered
    EXPECT_EQ(geo.GetHistoryLength(), 5);
}

TEST(GeographicInfo, PingsAndPositionsArePrunedToTheHistory)
{
    CGeographicInfo geo;
    geo.EnsureHistoryLength(3);
    for (int i = 0; i < 5; ++i) {
        geo.ParseNavigationTelegram("$GPGGA,1,4807.038,N,01131.000,E", kT0 + i * kSecond - 1);
        geo.AddPing(kT0 + i * kSecond);
    }
    EXPECT_EQ(geo.PingCount(), 3u);
    geo.ParseNavigationTelegram("$GPGGA,1,4807.038,N,01131.000,E", kT0 + 5 * kSecond);
    // Positions older than the third-newest ping (kT0 + 2 s) are gone.
    EXPECT_EQ(geo.PositionCount(), 3u);
}

TEST(GeographicInfo, ListsStayBoundedWhenPingsStop)
{
    CGeographicInfo geo;
    geo.EnsureHistoryLength(3);
    for (std::size_t i = 0; i < CGeographicInfo::kMaxRecords + 10; ++i) {
        geo.ParseNavigationTelegram("$GPGLL,5957.1,N,01045.6,E", kT0 + i);
        geo.ParseHeadingTelegram("$HEHDT,10.0,T", kT0 + i);
    }
    EXPECT_EQ(geo.PositionCount(), CGeographicInfo::kMaxRecords);
    EXPECT_EQ(geo.HeadingCount(), CGeographicInfo::kMaxRecords);
}

TEST(GeographicInfo, HeadingInterpolationTakesTheShortWayRound)
{
    struct Case
    {
        double older, newer, expected;
    } cases[] = {{350, 10, 0}, {10, 350, 0}, {90, 110, 100}, {0, 180, 90}, {359, 359, 359}};
    for (const Case& c : cases) {
        CGeographicInfo geo;
        geo.EnsureHistoryLength(1);
        geo.ParseHeadingTelegram("$HEHDT," + std::to_string(c.older) + ",T", kT0);
        geo.ParseHeadingTelegram("$HEHDT," + std::to_string(c.newer) + ",T", kT0 + kSecond);
        const double h = geo.GetHeadingAtTime(kT0 + kSecond / 2);
        EXPECT_NEAR(std::fmod(h + 360.0, 360.0), c.expected, 1e-9) << c.older << " " << c.newer;
    }
}

TEST(GeographicInfo, QueriesBeforeTheFirstAfterTheLastAndAtEqualTimes)
{
    CGeographicInfo geo;
    geo.EnsureHistoryLength(1);
    EXPECT_EQ(geo.GetHeadingAtTime(kT0), CGeographicInfo::kNoHeading);
    geo.ParseHeadingTelegram("$HEHDT,20.0,T", kT0);
    // Within one millisecond of the older: both distances are 0 ms, which
    // must not divide by zero.
    geo.ParseHeadingTelegram("$HEHDT,40.0,T", kT0 + 5000);
    EXPECT_EQ(geo.GetHeadingAtTime(kT0 - 1), CGeographicInfo::kNoHeading);
    EXPECT_DOUBLE_EQ(geo.GetHeadingAtTime(kT0 + 1), 20.0);
    EXPECT_DOUBLE_EQ(geo.GetHeadingAtTime(kT0 + 100 * kSecond), 40.0);

    double a = -1, b = -1;
    EXPECT_FALSE(geo.GetPositionAtTime(kT0, a, b));
    EXPECT_EQ(a, -1);  // untouched
    geo.ParseNavigationTelegram("$GPGGA,1,5957.1234,N,01045.6789,E", kT0);
    geo.ParseNavigationTelegram("$GPGGA,1,5957.1234,N,01045.6789,E", kT0 + 5000);
    ASSERT_TRUE(geo.GetPositionAtTime(kT0 + 1, a, b));
    EXPECT_NEAR(a, 5957.1234, 1e-9);  // stored as received, not converted
    EXPECT_NEAR(b, 1045.6789, 1e-9);
}

TEST(GeographicInfo, PositionsInterpolateInDegreesWithTheirHemispheres)
{
    struct Case
    {
        const char* legend;
        const char* older;
        const char* newer;
        double first, second;
    } cases[] = {
        {"across a whole degree", "$GPGGA,1,5959.9000,N,01059.9000,E", "$GPGGA,1,6000.1000,N,01100.1000,E", 6000.0,
         1100.0},
        {"southern and western stay negative", "$GPGGA,1,3356.0000,S,15112.0000,W", "$GPGGA,1,3358.0000,S,15114.0000,W",
         -3357.0, -15113.0},
        {"across the equator", "$GPGLL,0001.0000,S,00010.0000,E", "$GPGLL,0003.0000,N,00010.0000,E", 1.0, 10.0},
        {"across the date line", "$GPGGA,1,0000.0,N,17959.0000,E", "$GPGGA,1,0000.0,N,17959.0000,W", 0.0, 18000.0},
        {"grid coordinates are plain numbers", "$PTNL,PJK,1,2,1000.0,N,2000.0,E", "$PTNL,PJK,1,2,1100.0,N,2200.0,E",
         1050.0, 2100.0},
    };
    for (const Case& c : cases) {
        CGeographicInfo geo;
        geo.EnsureHistoryLength(1);
        geo.ParseNavigationTelegram(c.older, kT0);
        geo.ParseNavigationTelegram(c.newer, kT0 + kSecond);
        double a = 0, b = 0;
        ASSERT_TRUE(geo.GetPositionAtTime(kT0 + kSecond / 2, a, b)) << c.legend;
        EXPECT_NEAR(a, c.first, 1e-6) << c.legend;
        EXPECT_NEAR(std::fabs(b), std::fabs(c.second), 1e-6) << c.legend;
        if (c.second != 18000.0) {
            EXPECT_NEAR(b, c.second, 1e-6) << c.legend;
        }
    }
}

TEST(GeographicInfo, CourseOnlyUntilAHeadingArrives)
{
    CGeographicInfo geo;
    geo.EnsureHistoryLength(1);
    geo.ParseCourseTelegram("$GPVTG,054.7,T,034.4,M,005.5,N", kT0);
    geo.ParseHeadingTelegram("$HEHDR,1.0,T", kT0);
    geo.ParseCourseTelegram("$GPVTG,055.7,T,034.4,M,005.5,N", kT0 + 1);
    EXPECT_EQ(geo.CourseCount(), 1u);
    geo.ParseHeadingTelegram("$GPGGA,1,2,3", kT0);  // not a heading
    EXPECT_EQ(geo.HeadingCount(), 1u);
}

TEST(GeographicInfo, PingPositionIsSentAsObjectInformation)
{
    CGeographicInfo geo;
    std::vector<std::pair<std::string, std::string>> sent;
    std::vector<std::string> status;
    geo.sendAnnotation = [&](const std::string& p, const std::string& t) { sent.emplace_back(p, t); };
    geo.postStatus = [&](const std::string& s) { status.push_back(s); };
    geo.EnsureHistoryLength(10);
    geo.AddPing(kT0 - kSecond);  // before any position: refused
    geo.ParseNavigationTelegram("$GPGGA,1,5900.0000,N,01000.0000,E", kT0);
    geo.ParseHeadingTelegram("$HEHDT,10.0,T", kT0);
    geo.ParseNavigationTelegram("$GPGGA,1,5902.0000,N,01002.0000,E", kT0 + 2 * kSecond);
    geo.ParseHeadingTelegram("$HEHDT,20.0,T", kT0 + 2 * kSecond);
    geo.AddPing(kT0 + kSecond);

    EXPECT_EQ(geo.FormatPingPosition(1, false, 5, 3, true, 7), 0);  // the early ping
    EXPECT_EQ(geo.FormatPingPosition(2, false, 5, 3, true, 7), 0);  // no such ping
    EXPECT_EQ(geo.FormatPingPosition(0, false, 5, 3, true, 7), 1);
    EXPECT_EQ(geo.FormatPingPosition(0, true, -5, 3, true, 7), 1);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].first, "VGR");
    EXPECT_EQ(sent[0].second, "5901.0000000,1001.0000000,4.00,7");
    EXPECT_EQ(sent[1].first, "SSG");
    EXPECT_EQ(sent[1].second, "5901.0000000,1001.0000000,HDT 15.00,-4.00,3.00");
    EXPECT_EQ(status.size(), 2u);
}

TEST(GeographicInfo, HorizontalDistance)
{
    EXPECT_EQ(CGeographicInfo::HorizontalDistance(3, 3), 0.0);
    EXPECT_EQ(CGeographicInfo::HorizontalDistance(-2, 3), 0.0);
    EXPECT_DOUBLE_EQ(CGeographicInfo::HorizontalDistance(5, 3), 4.0);
    EXPECT_DOUBLE_EQ(CGeographicInfo::HorizontalDistance(-5, 3), -4.0);
}

}  // namespace
