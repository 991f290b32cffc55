// Sonar-equation constants, TVG tables and the raw-sample filter, pinned to
// values worked out by hand from the formulas (38 kHz, 1 ms, 0.1 m, 0.01 dB/m).
#include "engine/Channel.h"
#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr int N = CChannel::kMaxSamples;

TEST(SonarEquation, ConstantsMatchWorkedValues)
{
    // 1000 W, 26 dB, 38 kHz: 30 + 52 + 20 log10(1470.6 / (4 pi 38000)).
    EXPECT_NEAR(CChannel::ComputeTsConstant(1000.0, 26.0, 38000.0), -31.770, 0.001);
    // With psi = -21 dB and tau = 1 ms.
    EXPECT_NEAR(CChannel::ComputeSvConstant(1000.0, 26.0, 38000.0, -21.0, 0.001), -9.4347, 0.0001);
    EXPECT_NEAR(CChannel::ComputeTsConstantEx(1000.0, 26.0, 38000.0, -21.0), -10.7700, 0.0001);
}

TEST(SonarEquation, ConstantsStayFiniteForEmptyRecord)
{
    // A zeroed record (power, frequency, pulse 0) must not give infinities
    // that later wrap the 16-bit conversions.
    EXPECT_TRUE(std::isfinite(CChannel::ComputeSvConstant(0.0, 0.0, 0.0, 0.0, 0.0)));
    EXPECT_TRUE(std::isfinite(CChannel::ComputeTsConstant(0.0, 0.0, 0.0)));
}

struct TvgCase
{
    const char* legend;
    double k;
    double limit;
    int index;
    int expected;
};

class TvgTable : public ::testing::TestWithParam<TvgCase>
{};

TEST_P(TvgTable, WordMatchesFormula)
{
    const TvgCase& c = GetParam();
    std::vector<std::int16_t> t(N, -1);
    CChannel::BuildTvgTable(t.data(), N, c.k, 0.01, 38000.0, 0.001, 0.1, c.limit, 29900 * 0.1);
    EXPECT_EQ(t[c.index], c.expected) << c.legend;
}

INSTANTIATE_TEST_SUITE_P(
    Worked, TvgTable,
    ::testing::Values(TvgCase{"inside the start range (1 m)", 20, 300, 9, 0},
                      TvgCase{"just beyond the start range, negative gain clipped to 0", 20, 300, 10, 0},
                      TvgCase{"20 log at 100 m", 20, 300, 999, 3566}, TvgCase{"30 log at 100 m", 30, 300, 999, 5264},
                      TvgCase{"40 log at 100 m", 40, 300, 999, 6963}, TvgCase{"20 log at 50 m", 20, 300, 499, 2964},
                      TvgCase{"bottom table saturates at its 80 dB limit", 20, 80, 29899, 6803},
                      TvgCase{"40 log with the 100 dB limit", 40, 100, 29899, 8504},
                      TvgCase{"last covered word", 20, 300, 29899, 10995},
                      TvgCase{"words past the covered range are written, as 0", 20, 300, 29900, 0},
                      TvgCase{"very last word", 40, 300, N - 1, 0}));

TEST(SonarEquation, TvgTableWithoutSampleDistanceIsAllZero)
{
    std::vector<std::int16_t> t(N, 7);
    CChannel::BuildTvgTable(t.data(), N, 20, 0.01, 38000.0, 0.001, 0.0, 300, 0.0);
    for (auto w : t)
        ASSERT_EQ(w, 0);
}

class FilterRaw : public ::testing::Test
{
protected:
    FilterRaw() : tvg(N), in(N, rawpower::kNoEcho), out(N, 1234)
    {
        CChannel::BuildTvgTable(tvg.data(), N, 20, 0.01, 38000.0, 0.001, 0.1, 300, 29900 * 0.1);
    }
    std::vector<std::int16_t> tvg, in, out;
    CChannel::FilterSwitches sw;
};

TEST_F(FilterRaw, AppliesTvgAndConstantAboveThresholdOnly)
{
    in[999] = -3000;   // echo at 100 m
    in[998] = -12300;  // just below a -144 dB threshold (-12245 raw)
    in[997] = -12245;  // exactly at it
    CChannel::FilterRawSamples(out.data(), in.data(), N, tvg.data(), N, 0.1, -144.0, -9.43466768957878, 1000 * 0.1, sw);
    EXPECT_EQ(out[999], 3566 - 3000 - 802);
    EXPECT_EQ(out[998], rawpower::kNoEcho);  // whatever its TVG
    EXPECT_EQ(out[997], rawpower::kNoEcho);
    EXPECT_EQ(out[1000], 1234) << "only round(range / d) words are written";
}

TEST_F(FilterRaw, SumSaturatesInsteadOfWrapping)
{
    std::vector<std::int16_t> hot(N, 20000);
    in[999] = 30000;
    CChannel::FilterRawSamples(out.data(), in.data(), N, hot.data(), N, 0.1, -200.0, 50.0, 100.0, sw);
    EXPECT_EQ(out[999], 32767);
    in[999] = -19000;
    std::vector<std::int16_t> none(N, 0);
    CChannel::FilterRawSamples(out.data(), in.data(), N, none.data(), N, 0.1, -250.0, -300.0, 100.0, sw);
    EXPECT_EQ(out[999], -32768);
}

TEST_F(FilterRaw, PingerOffsetIsClampedToTheTable)
{
    // With a pinger offset the TVG index runs past the table; it must stay
    // on the last word instead of reading beyond it.
    std::vector<std::int16_t> small(100, 0);
    small[99] = 500;
    in.assign(N, 0);
    CChannel::FilterRawSamples(out.data(), in.data(), N, small.data(), 100, 0.1, -200.0, 0.0, 200 * 0.1, sw, 150);
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[199], 500);

    // A negative offset (a pinger range below zero) holds at the first word.
    small[0] = 7;
    small[5] = 9;
    CChannel::FilterRawSamples(out.data(), in.data(), N, small.data(), 100, 0.1, -200.0, 0.0, 200 * 0.1, sw, -10);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[9], 7);
    EXPECT_EQ(out[15], 9);
    EXPECT_EQ(out[109], 500);
    EXPECT_EQ(out[150], 500);
}

TEST_F(FilterRaw, MedianUsesTheMiddleOfTheWindowButThresholdsTheRawSample)
{
    std::vector<std::int16_t> flat(N, 0);
    in.assign(N, rawpower::kNoEcho);
    in[10] = -1000;
    in[11] = -5000;  // spike down inside echo
    in[12] = -1200;
    sw.Median = true;
    sw.MedianWidth = 3;
    CChannel::FilterRawSamples(out.data(), in.data(), N, flat.data(), N, 0.1, -100.0, 0.0, 20 * 0.1, sw);
    EXPECT_EQ(out[11], -1200);             // median of -1000, -5000, -1200
    EXPECT_EQ(out[9], rawpower::kNoEcho);  // its own sample is below the threshold
    EXPECT_EQ(out[10], -5000);             // window -20000, -1000, -5000
}

TEST_F(FilterRaw, CompressionLiftsStrongEchoesByAtMost20Db)
{
    std::vector<std::int16_t> flat(N, 0);
    in[0] = 0;                          // 0 dB: x = 1000, limited to 20
    in[1] = rawpower::DbToRaw(-40.0);   // x = 1e-4 * 1000 = 0.1
    in[2] = rawpower::DbToRaw(-100.0);  // x = 1e-7: nothing added
    sw.Compression = true;
    CChannel::FilterRawSamples(out.data(), in.data(), N, flat.data(), N, 0.1, -200.0, 0.0, 3 * 0.1, sw);
    EXPECT_EQ(out[0], 1700);
    EXPECT_EQ(out[1], rawpower::DbToRaw(-40.0) + 8);
    EXPECT_EQ(out[2], rawpower::DbToRaw(-100.0));
}

TEST_F(FilterRaw, NothingForEmptyRangeOrDistance)
{
    CChannel::FilterRawSamples(out.data(), in.data(), N, tvg.data(), N, 0.0, -100.0, 0.0, 100.0, sw);
    CChannel::FilterRawSamples(out.data(), in.data(), N, tvg.data(), N, 0.1, -100.0, 0.0, -5.0, sw);
    EXPECT_EQ(out[0], 1234);
}

TEST(RawPower, RoundingRules)
{
    struct Row
    {
        double x;
        std::int64_t round;
        std::int64_t trunc;
    };
    for (const Row& r : {Row{2.5, 3, 2}, Row{-2.5, -3, -2}, Row{-0.5, -1, 0}, Row{0.49, 0, 0},
                         Row{1e30, 9000000000000000000, 9000000000000000000}}) {
        EXPECT_EQ(rawpower::Round(r.x), r.round) << r.x;
        EXPECT_EQ(rawpower::Trunc(r.x), r.trunc) << r.x;
    }
    EXPECT_EQ(rawpower::PowerToRaw(10.0), 850);
    EXPECT_EQ(rawpower::PowerToRaw(0.0), rawpower::kNoEcho);
}

}  // namespace
