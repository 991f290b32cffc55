#include "plot/AxisScale.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <future>
#include <limits>
#include <string>
#include <vector>

namespace {

// The tick layout in exact decimal: values are integers counting 10^-30.
using Big = __int128;
constexpr int kPlaces = 30;

Big Pow10(int n)
{
    Big p = 1;
    for (int i = 0; i < n; ++i)
        p *= 10;
    return p;
}

Big Parse(const std::string& text)
{
    bool negative = false;
    Big whole = 0;
    int decimals = -1;
    for (char c : text) {
        if (c == '-') {
            negative = true;
        } else if (c == '.') {
            decimals = 0;
        } else {
            whole = whole * 10 + (c - '0');
            if (decimals >= 0)
                ++decimals;
        }
    }
    const Big v = whole * Pow10(kPlaces - std::max(decimals, 0));
    return negative ? -v : v;
}

Big Abs(Big v)
{
    return v < 0 ? -v : v;
}

Big FloorDiv(Big a, Big b)
{
    Big q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// v times 10^n, exactly (the test values never lose digits).
Big Shift(Big v, int n)
{
    if (n >= 0)
        return v * Pow10(n);
    const Big d = Pow10(-n);
    EXPECT_EQ(v % d, 0) << "oracle lost digits";
    return v / d;
}

// The decimal exponent by its definition: the integer part of log10 |v| at
// 1 and above, else -(the integer part of |log10 |v|| + 1).
int Exponent(Big v)
{
    v = Abs(v);
    if (v == 0)
        return 0;
    const Big one = Pow10(kPlaces);
    int p = 0;
    if (v >= one) {
        while (v >= one * 10) {
            v /= 10;
            ++p;
        }
        return p;
    }
    while (v < one) {
        v *= 10;
        --p;
    }
    return v == one ? p - 1 : p;
}

std::vector<double> Oracle(const std::string& first, const std::string& last, int n)
{
    const Big f = Parse(first);
    const Big l = Parse(last);
    if (f == l)
        return std::vector<double>(static_cast<size_t>(n), std::stod(first));
    int e = Exponent(Abs(f) >= Abs(l) ? f : l);
    const Big fifth = Parse("0.2");
    const Big hundred = Parse("100");
    Big a = Shift(f, -e);
    Big b = Shift(l, -e);
    while (Abs(a - b) < fifth && a < hundred && b < hundred) {
        --e;
        a = Shift(f, -e);
        b = Shift(l, -e);
    }
    const Big span = Abs(a - b);
    // 0.1, then 0.2, 0.5, 1, 2, 5, 10 ... until n steps cover the span.
    Big step = Parse("0.1");
    for (Big decade = step; n > 0 && step * n < span; decade *= 10) {
        for (int m : {2, 5, 10}) {
            step = decade * m;
            if (step * n >= span)
                break;
        }
    }
    std::vector<double> values;
    if (step > span)
        return values;
    const Big lo = std::min(a, b);
    const Big hi = std::max(a, b);
    const Big jLow = -FloorDiv(-lo, step);
    const Big jHigh = FloorDiv(hi, step);
    for (Big j = jLow; j <= jHigh; ++j) {
        const Big v = Shift(j * step, e);
        values.push_back(static_cast<double>(v) / 1e30);
    }
    if (b < a)
        std::reverse(values.begin(), values.end());
    return values;
}

bool Near(const std::vector<double>& a, const std::vector<double>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::fabs(a[i] - b[i]) > 1e-6 * std::max(1.0, std::fabs(b[i])))
            return false;
    }
    return true;
}

std::string Text(const std::vector<double>& v)
{
    std::string s;
    for (double d : v)
        s += std::to_string(d) + " ";
    return s;
}

struct TickRow
{
    const char* first;
    const char* last;
    int capacity;
    // Empty: the ticks are the exact ones. Else the ticks the single-precision
    // 0.1 and 0.2 and the powers of ten by exp() give instead.
    std::vector<double> pinned;
    const char* legend;
};

const TickRow kTickRows[] = {
    {"-2", "3", 5, {}, "crossing zero, step 1"},
    {"-1", "1", 4, {}, "crossing zero, step 0.5"},
    {"2", "8", 6, {}, "units, step 1"},
    {"5", "-5", 10, {}, "descending: from the first value down"},
    {"1234", "5678", 4, {}, "thousands, step 2000"},
    {"1100000", "4900000", 4, {}, "millions, step 1000000"},
    {"-0.0123", "-0.0456", 6, {}, "hundredths, negative and descending"},
    {"0.00017", "0.00093", 8, {}, "ten-thousandths, step 0.0001"},
    {"0", "0.234", 0, {}, "capacity 0: step 0.1 in units of 10^-1"},
    {"1000", "1000.01", 10, {}, "scaling stops at 100: the step exceeds the span, no ticks"},
    {"5", "5", 4, {}, "equal ends: as many ticks as the capacity"},
    {"5", "5", 0, {}, "equal ends, capacity 0: none"},
    {"0", "1", 10, {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9}, "0.1f * 10 passes 1"},
    {"0", "10", 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, "0.1f * 10 passes 1, in tens"},
    {"0", "1", 0, {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9}, "capacity 0, 0.1f passes 1"},
    {"1400", "1700", 12, {1400, 1500, 1600}, "0.1f * 17 passes 1.7"},
    {"0", "-0.5", 10, {0, -0.1, -0.2, -0.3, -0.4, -0.5}, "exp(ln 10) scales -0.5 past -5: step 1, not 0.5"},
    {"-300", "0", 10, {-250, -200, -150, -100, -50, 0}, "exp(-2 ln 10) scales -300 to above -3"},
    {"0.04", "0.01", 4, {0.04, 0.03, 0.02}, "exp(2 ln 10) scales 0.01 to below 1"},
};

TEST(AxisScaleTicks, TableAgainstExactDecimal)
{
    for (const TickRow& row : kTickRows) {
        const CAxisScale scale(0, 100, std::stod(row.first), std::stod(row.last));
        const CTickLayout layout = scale.Layout(row.capacity);
        const std::vector<double> exact = Oracle(row.first, row.last, row.capacity);
        if (row.pinned.empty()) {
            EXPECT_TRUE(Near(layout.values, exact))
                << row.legend << ": " << Text(layout.values) << "instead of " << Text(exact);
        } else {
            EXPECT_TRUE(Near(layout.values, row.pinned)) << row.legend << ": " << Text(layout.values);
            EXPECT_FALSE(Near(row.pinned, exact)) << row.legend << ": the exact ticks agree, nothing to pin";
        }
        ASSERT_EQ(layout.positions.size(), layout.values.size());
        for (size_t i = 0; i < layout.values.size(); ++i)
            EXPECT_DOUBLE_EQ(layout.positions[i], scale.ValueToPixel(layout.values[i])) << row.legend;
    }
}

TEST(AxisScaleTicks, StepsExponentsAndPositions)
{
    const CTickLayout depths = CAxisScale(200, 0, -300, 0).Layout(10);
    EXPECT_EQ(depths.exponent, 2);
    EXPECT_DOUBLE_EQ(depths.step, 0.5);
    EXPECT_NEAR(depths.positions.front(), 200 - 50 * 200.0 / 300, 1e-9);  // -250, bottom-up

    const CTickLayout equal = CAxisScale(17, 300, 5, 5).Layout(3);
    EXPECT_EQ(equal.step, 0.0);
    EXPECT_EQ(equal.positions, (std::vector<double>{17, 17, 17}));

    EXPECT_EQ(CAxisScale(0, 100, 0, -0.5).Layout(10).exponent, -1);
    EXPECT_EQ(CAxisScale(0, 100, 0, -2).Layout(10).exponent, 0);
    // Scaled from 1000..1000.01 until a value reaches 100.
    EXPECT_EQ(CAxisScale(0, 100, 1000, 1000.01).Layout(10).exponent, 1);
}

TEST(AxisScaleTicks, FindTickStepSeries)
{
    const double tenth = static_cast<double>(0.1f);
    const double fifth = static_cast<double>(0.2f);
    struct Row
    {
        int n;
        double a, b, step;
    };
    const Row rows[] = {
        {0, 0, 1000, tenth}, {10, 0, 1, tenth}, {10, 1, 0, tenth}, {10, 0, 1.5, fifth},
        {10, 0, 2.01, 0.5},  {10, 0, 5, 0.5},   {10, 0, 5.01, 1},  {3, -4, 2, 2},
        {7, 0, 35, 5},       {7, 0, 35.1, 10},  {1, 0, 150, 200},  {2, 0, 1e9, 5e8},
    };
    for (const Row& r : rows)
        EXPECT_EQ(CAxisScale::FindTickStep(r.n, r.a, r.b), r.step) << r.n << " " << r.a << " " << r.b;
}

TEST(AxisScaleTicks, DecimalExponent)
{
    struct Row
    {
        double v;
        int e;
    };
    const Row rows[] = {{0, 0},    {1, 0},     {9.99, 0}, {10, 1},      {-1700, 3},
                        {0.5, -1}, {-0.5, -1}, {0.1, -2}, {0.0045, -3}, {1e300, 300}};
    for (const Row& r : rows)
        EXPECT_EQ(CAxisScale::DecimalExponent(r.v), r.e) << r.v;
}

// Runs fn on a thread of its own and fails the whole test program when it
// has not finished in time: an endless loop cannot be stopped from outside.
template <typename Fn>
auto Within(std::chrono::seconds limit, Fn fn)
{
    auto result = std::async(std::launch::async, fn);
    if (result.wait_for(limit) != std::future_status::ready) {
        ADD_FAILURE() << "did not finish in " << limit.count() << " s";
        std::_Exit(1);
    }
    return result.get();
}

TEST(AxisScaleTicks, NarrowNegativeRangesEndWithinTheirSpan)
{
    const double narrow[][2] = {
        {-1000, -1000.0000001},
        {-1000, std::nextafter(-1000.0, -2000.0)},
        {-1e15, std::nextafter(-1e15, 0.0)},
        {std::nextafter(-0.3, 0.0), -0.3},
    };
    for (const auto& r : narrow) {
        const CAxisScale scale(0, 1000, r[0], r[1]);
        const CTickLayout layout = Within(std::chrono::seconds(10), [&] { return scale.Layout(80); });
        const double lo = std::min(r[0], r[1]);
        const double hi = std::max(r[0], r[1]);
        const double factor = CAxisScale::PowerOfTen(-layout.exponent);
        const double span = std::fabs(r[0] * factor - r[1] * factor);
        EXPECT_LE(layout.GetCount(), std::floor(span / layout.step) + 1) << r[0] << " " << r[1];
        for (double v : layout.values) {
            EXPECT_GE(v, lo - (hi - lo)) << r[0];
            EXPECT_LE(v, hi + (hi - lo)) << r[0];
        }
    }
}

TEST(AxisScaleTicks, RangesThatAreNotNumbersGiveNoTicks)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double rows[][2] = {{nan, 1}, {0, nan}, {0, inf}, {-inf, inf}, {inf, inf}, {-1e308, 1e308}, {0, 5e-324}};
    for (const auto& r : rows) {
        const CTickLayout layout =
            Within(std::chrono::seconds(10), [&] { return CAxisScale(0, 500, r[0], r[1]).Layout(20); });
        for (double v : layout.values)
            EXPECT_TRUE(std::isfinite(v)) << r[0] << " " << r[1];
        if (!std::isfinite(r[0]) || !std::isfinite(r[1])) {
            EXPECT_EQ(layout.GetCount(), 0) << r[0] << " " << r[1];
        }
    }
    EXPECT_TRUE(std::isfinite(CAxisScale::FindTickStep(10, nan, 1)));
    EXPECT_TRUE(std::isfinite(CAxisScale::FindTickStep(10, -inf, inf)));
}

TEST(AxisScale, MappingBothWaysAndDegenerateScales)
{
    const CAxisScale x(0, 400, 1400, 1600);
    EXPECT_DOUBLE_EQ(x.ValueToPixel(1500), 200);
    EXPECT_DOUBLE_EQ(x.PixelToValue(100), 1450);
    const CAxisScale y(300, 0, -300, 0);  // bottom-up
    EXPECT_DOUBLE_EQ(y.ValueToPixel(-12.5), 12.5);
    EXPECT_DOUBLE_EQ(y.PixelToValue(0), 0);

    // One depth fitted: every value on the first pixel, nothing infinite.
    const CAxisScale flat(300, 0, -12, -12);
    EXPECT_EQ(flat.ValueToPixel(-12), 300);
    EXPECT_EQ(flat.ValueToPixel(5), 300);
    EXPECT_EQ(flat.PixelToValue(77), -12);
    const CAxisScale dot(5, 5, 0, 10);
    EXPECT_EQ(dot.ValueToPixel(7), 5);
    EXPECT_EQ(dot.PixelToValue(9), 0);
}

}  // namespace
