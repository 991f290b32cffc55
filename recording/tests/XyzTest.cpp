// XYZ lines from sentences and depths: each position sentence type read at
// its fields and converted, the lines placed between two positions, and the
// bad input that must give no line rather than a wrong position.
#include "recording/CreateXyz.h"
#include "recording/tests/ProductReaders.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zv::recording;
using namespace zv::recording::test;

namespace {

constexpr std::uint64_t kSecond = 10000000ULL;
// 2026-01-01 23:00:00 UTC: already 2 January in the test's zone.
constexpr std::uint64_t kT0 = (11644473600ULL + 1767225600ULL) * kSecond + 23ULL * 3600 * kSecond;

struct XyzTest : ::testing::Test
{
    SLocalZone zone;
    CCreateXyz xyz;

    std::vector<std::string> Lines()
    {
        std::vector<std::string> lines;
        for (std::string l = xyz.NextLine(); !l.empty(); l = xyz.NextLine())
            lines.push_back(l);
        return lines;
    }
    SXyzLine Only()
    {
        const auto lines = Lines();
        SXyzLine l;
        EXPECT_EQ(lines.size(), 1u);
        if (!lines.empty()) {
            EXPECT_TRUE(ParseXyzLine(lines[0], l)) << lines[0];
        }
        return l;
    }
    std::string Gga(const char* lat, const char* ns, const char* lon, const char* ew)
    {
        return std::string("$GPGGA,230000,") + lat + "," + ns + "," + lon + "," + ew + ",1,08,0.9,545.4,M,46.9,M,,";
    }
};

struct SSentenceRow
{
    const char* legend;
    std::string first, second;  // at kT0 and two seconds later
    bool line;                  // a depth in between gets a line
    double lat, lon, height;    // of the line, at the middle
    int decimals;               // of its first coordinate
};

// Two positions two seconds apart and a depth in the middle: what the line
// says, or that there is none.
TEST_F(XyzTest, EachPositionSentenceIsReadAtItsFields)
{
    const auto gga = [this](const char* lat, const char* ns, const char* lon, const char* ew) {
        return Gga(lat, ns, lon, ew);
    };
    const SSentenceRow rows[] = {
        {"GGA: degrees and minutes become degrees", gga("4807.038", "N", "01131.000", "E"),
         gga("4807.098", "N", "01131.060", "E"), true, 48 + 7.068 / 60, 11 + 31.03 / 60, 0.0, 7},
        {"GGA south and west: negative", gga("3356.120", "S", "15112.500", "W"), gga("3356.180", "S", "15112.560", "W"),
         true, -(33 + 56.15 / 60), -(151 + 12.53 / 60), 0.0, 7},
        {"GLL: fields 1 and 3", "$GPGLL,5957.1234,N,01045.6789,E,230000.00,A,A",
         "$GPGLL,5957.1334,N,01045.6889,E,230002.00,A,A", true, 59 + 57.1284 / 60, 10 + 45.6839 / 60, 0.0, 7},
        {"GGK: fields 3 and 5", "$GPGGK,230000.00,010126,6030.000,N,00515.000,E,3,08,1.0,EHT10.0,M",
         "$GPGGK,230002.00,010126,6030.060,N,00515.060,E,3,08,1.0,EHT10.0,M", true, 60.5 + 0.03 / 60, 5.25 + 0.03 / 60,
         0.0, 7},
        {"$PTNL: grid fields 4 and 6 as they stand", "$PTNL,PJK,230000.00,010126,6618643.000,N,500123.000,E,3,08",
         "$PTNL,PJK,230002.00,010126,6618645.000,N,500125.000,E,3,08", true, 6618644.0, 500124.0, 0.0, 7},
        {"LLQ: grid with height, grid format", "$GPLLQ,230000.00,010126,500123.000,M,6618643.000,M,3,08,0.012,45.10,M",
         "$GPLLQ,230002.00,010126,500125.000,M,6618645.000,M,3,08,0.012,45.30,M", true, 500124.0, 6618644.0, 45.2, 3},
        {"LLK: grid with height", "$GPLLK,230000.00,010126,500123.000,M,6618643.000,M,3,08,0.012,45.10,M",
         "$GPLLK,230002.00,010126,500125.000,M,6618645.000,M,3,08,0.012,45.30,M", true, 500124.0, 6618644.0, 45.2, 7},
        {"no fix (empty coordinates) breaks the track", gga("4807.038", "N", "01131.000", "E"),
         "$GPGGA,230002,,,,,0,00,,,M,,M,,", false, 0, 0, 0, 0},
        {"coordinates that are no number are no position", gga("4807.038", "N", "01131.000", "E"),
         gga("48x7.098", "N", "01131.060", "E"), false, 0, 0, 0, 0},
        {"an infinite coordinate is no position", gga("4807.038", "N", "01131.000", "E"),
         gga("inf", "N", "01131.060", "E"), false, 0, 0, 0, 0},
        {"minutes of 60 are no angle", gga("4807.038", "N", "01131.000", "E"), gga("4860.000", "N", "01131.060", "E"),
         false, 0, 0, 0, 0},
        {"a latitude beyond the pole is no angle", gga("4807.038", "N", "01131.000", "E"),
         gga("9107.000", "N", "01131.060", "E"), false, 0, 0, 0, 0},
        {"LLQ with a height that is no number", "$GPLLQ,230000.00,010126,500123.000,M,6618643.000,M,3,08,0.012,45.1,M",
         "$GPLLQ,230002.00,010126,500125.000,M,6618645.000,M,3,08,0.012,4x,M", false, 0, 0, 0, 0},
        {"under six characters there is no type", gga("4807.038", "N", "01131.000", "E"), "$GPGG", false, 0, 0, 0, 0},
        {"VTG carries no position", gga("4807.038", "N", "01131.000", "E"), "$GPVTG,054.7,T,034.4,M,005.5,N,010.2,K",
         false, 0, 0, 0, 0},
    };
    for (const SSentenceRow& row : rows) {
        SCOPED_TRACE(row.legend);
        xyz = CCreateXyz();
        xyz.ParseSentence(row.first, kT0);
        xyz.ParseSentence(row.second, kT0 + 2 * kSecond);
        xyz.AddDepth(12.345, 0.5, kT0 + kSecond);
        const auto lines = Lines();
        ASSERT_EQ(lines.size(), row.line ? 1u : 0u);
        if (!row.line)
            continue;
        SXyzLine l;
        ASSERT_TRUE(ParseXyzLine(lines[0], l)) << lines[0];
        const double precision = row.decimals == 7 ? 1e-7 : 1e-3;
        EXPECT_NEAR(l.first, row.lat, precision);
        EXPECT_NEAR(l.second, row.lon, precision);
        EXPECT_NEAR(l.height, row.height, 1e-9);
        EXPECT_EQ(l.firstDecimals, row.decimals);
    }
}

TEST_F(XyzTest, ALineHoldsTheDepthAndTheLocalDateAndTime)
{
    xyz.ParseSentence(Gga("4807.038", "N", "01131.000", "E"), kT0);
    xyz.ParseSentence(Gga("4807.098", "N", "01131.060", "E"), kT0 + 2 * kSecond);
    xyz.AddDepth(12.345678, 0.5, kT0 + kSecond + 1234567);  // 23:00:01.1234567 UTC
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].find(' ', lines[0].find(' ') + 1) + 1), "12.35 02012026 010001.12 0.00");
}

// The numbers of a line are exactly what the line formats print, padding,
// signs and rounding included, in both formats: the position of two
// sentences of the same time is the first one's as it stands.
TEST_F(XyzTest, LineNumbersAreFormattedAsTheLineFormatsSay)
{
    struct Row
    {
        const char* legend;
        std::string sentence;
        double first, second, height;
        double depth;
        bool grid;
    };
    const auto llq = [](const char* x, const char* y, const char* h) {
        return std::string("$GPLLQ,230000.00,010126,") + x + ",M," + y + ",M,3,08,0.012," + h + ",M";
    };
    const Row rows[] = {
        {"south and west of zero", Gga("0000.0000", "S", "00000.0000", "W"), -0.0, -0.0, 0.0, 0.125, false},
        {"seven decimals rounded", Gga("4807.0000003", "N", "17959.9999999", "E"), 48 + 7.0000003 / 60,
         179 + 59.9999999 / 60, 0.0, 2.675, false},
        {"grid values narrower than their width", llq("1.5", "-2.25", "0.0005"), 1.5, -2.25, 0.0005, 1e6, true},
        {"grid values wider than their width", llq("6618643.1235", "-500123.4565", "-12.3456"), 6618643.1235,
         -500123.4565, -12.3456, 0.005, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        CCreateXyz own;
        own.ParseSentence(r.sentence, kT0);
        own.ParseSentence(r.sentence, kT0);
        own.AddDepth(r.depth, 0, kT0);
        char expected[512];
        std::snprintf(expected, sizeof expected,
                      r.grid ? "%6.3f %7.3f %.2f 02012026 010000.00 %.3f" : "%4.7f %5.7f %.2f 02012026 010000.00 %.2f",
                      r.first, r.second, r.depth, r.height);
        EXPECT_EQ(own.NextLine(), expected);
    }
}

// Grid values as large as a number goes, of opposite signs: their
// difference is no number, the place between them is one.
TEST_F(XyzTest, FarApartGridValuesStillGiveANumber)
{
    xyz.ParseSentence("$GPLLQ,230000.00,010126,1e308,M,-1e308,M,3,08,0.012,1e308,M", kT0);
    xyz.ParseSentence("$GPLLQ,230002.00,010126,-1e308,M,1e308,M,3,08,0.012,-1e308,M", kT0 + 2 * kSecond);
    xyz.AddDepth(1.0, 0, kT0 + kSecond / 2);
    const SXyzLine l = Only();
    EXPECT_TRUE(std::isfinite(l.first) && std::isfinite(l.second) && std::isfinite(l.height));
    EXPECT_NEAR(l.first, 0.5e308, 1e293);
}

TEST_F(XyzTest, DepthsWaitForTwoPositionsAndComeOutOldestFirst)
{
    xyz.AddDepth(1.0, 0, kT0 + kSecond);
    xyz.AddDepth(2.0, 0, kT0 + kSecond / 2);
    EXPECT_TRUE(Lines().empty());
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(xyz.WaitingDepthCount(), 2u);
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0 + 2 * kSecond);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    SXyzLine a, b;
    ASSERT_TRUE(ParseXyzLine(lines[0], a));
    ASSERT_TRUE(ParseXyzLine(lines[1], b));
    EXPECT_EQ(a.depth, 1.0);  // added first
    EXPECT_EQ(b.depth, 2.0);
}

TEST_F(XyzTest, TheTwentySixthPositionDropsTheOldestAndWhatOnlyItCouldPlace)
{
    for (int k = 0; k < 26; ++k)
        xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0 + std::uint64_t(k) * kSecond);
    EXPECT_EQ(xyz.PositionCount(), 25u);
    xyz.AddDepth(1.0, 0, kT0 + kSecond / 2);  // between the first two
    xyz.AddDepth(2.0, 0, kT0 + 3 * kSecond / 2);
    EXPECT_EQ(Only().depth, 2.0);
    EXPECT_EQ(xyz.WaitingDepthCount(), 0u);
}

TEST_F(XyzTest, AfterOneLlqEveryLineIsInGridFormat)
{
    const auto llq = [](int x) {
        return "$GPLLQ,230000.00,010126," + std::to_string(500000 + x) + ".000,M,6618643.000,M,3,08,0.012,45.10,M";
    };
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0);
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0 + kSecond);
    xyz.AddDepth(1.0, 0, kT0 + kSecond / 2);
    EXPECT_EQ(Only().firstDecimals, 7);
    EXPECT_FALSE(xyz.IsGrid());

    xyz.ParseSentence(llq(0), kT0 + 2 * kSecond);
    EXPECT_TRUE(xyz.IsGrid());
    xyz.ParseSentence(llq(2), kT0 + 4 * kSecond);
    // Degrees are not mixed into the grid track, nor placed in grid lines.
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0 + 6 * kSecond);
    xyz.AddDepth(2.0, 0, kT0 + 3 * kSecond);
    xyz.AddDepth(3.0, 0, kT0 + 5 * kSecond);
    const SXyzLine l = Only();
    EXPECT_EQ(l.firstDecimals, 3);
    EXPECT_EQ(l.first, 500001.0);
    EXPECT_EQ(xyz.WaitingDepthCount(), 1u);  // the depth after the last grid position
}

TEST_F(XyzTest, TwoPositionsOfTheSameTimeGiveTheEarlierOne)
{
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0);
    xyz.ParseSentence(Gga("4808.000", "N", "01131.000", "E"), kT0);
    xyz.AddDepth(1.0, 0, kT0);
    EXPECT_NEAR(Only().first, 48 + 7.0 / 60, 1e-7);
}

TEST_F(XyzTest, TheHeightOffsetIsSubtractedFromTheInterpolatedHeight)
{
    xyz.SetHeightOffset(1.5);
    xyz.ParseSentence("$GPLLQ,230000.00,010126,500123.000,M,6618643.000,M,3,08,0.012,45.10,M", kT0);
    xyz.ParseSentence("$GPLLQ,230002.00,010126,500125.000,M,6618645.000,M,3,08,0.012,45.50,M", kT0 + 2 * kSecond);
    xyz.AddDepth(1.0, 0, kT0 + kSecond / 2);
    EXPECT_NEAR(Only().height, 45.2 - 1.5, 1e-9);
}

// A receiver loses its fix for a while: the depths of that time get no
// line, those after the fix came back do.
TEST_F(XyzTest, NoLineIsPlacedAcrossATimeWithoutFix)
{
    const std::string noFix = "$GPGGA,230003,,,,,0,00,,,M,,M,,";
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0);
    xyz.ParseSentence(Gga("4807.010", "N", "01131.000", "E"), kT0 + kSecond);
    xyz.AddDepth(1.0, 0, kT0 + kSecond / 2);
    xyz.AddDepth(2.0, 0, kT0 + 3 * kSecond / 2);  // after the last fix
    EXPECT_EQ(Only().depth, 1.0);
    for (int k = 2; k < 6; ++k) {
        xyz.ParseSentence(noFix, kT0 + std::uint64_t(k) * kSecond);
        xyz.AddDepth(10.0 + k, 0, kT0 + std::uint64_t(k) * kSecond + kSecond / 2);
        EXPECT_TRUE(Lines().empty());
    }
    xyz.ParseSentence(Gga("4807.060", "N", "01131.000", "E"), kT0 + 6 * kSecond);
    xyz.AddDepth(3.0, 0, kT0 + 13 * kSecond / 2);
    xyz.ParseSentence(Gga("4807.070", "N", "01131.000", "E"), kT0 + 7 * kSecond);
    EXPECT_EQ(Only().depth, 3.0);
    EXPECT_EQ(xyz.WaitingDepthCount(), 0u);
}

TEST_F(XyzTest, TheWaitingDepthsAreBoundedByDroppingTheOldest)
{
    for (int k = 0; k < 1500; ++k)
        xyz.AddDepth(k, 0, kT0 + std::uint64_t(k) * 10000);
    EXPECT_EQ(xyz.WaitingDepthCount(), CCreateXyz::kMaxDepths);
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0);
    xyz.ParseSentence(Gga("4807.000", "N", "01131.000", "E"), kT0 + 2 * kSecond);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), CCreateXyz::kMaxDepths);
    SXyzLine first;
    ASSERT_TRUE(ParseXyzLine(lines[0], first));
    EXPECT_EQ(first.depth, 500.0);
}

TEST_F(XyzTest, TheDateLineIsCrossedTheShortWay)
{
    xyz.ParseSentence(Gga("0100.000", "S", "17959.000", "E"), kT0);
    xyz.ParseSentence(Gga("0100.000", "S", "17959.000", "W"), kT0 + 2 * kSecond);
    xyz.AddDepth(1.0, 0, kT0 + kSecond / 2);
    EXPECT_NEAR(std::fabs(Only().second), 180.0 - 0.5 / 60, 1e-7);
}

}  // namespace
