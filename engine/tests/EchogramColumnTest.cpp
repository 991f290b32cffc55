// Sample-to-pixel mapping of echogram columns and the level-step finder.
#include "engine/EchogramColumn.h"
#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

using rawpower::kNoEcho;

// Output buffer with guard words on both sides, to catch writes past n.
struct Column
{
    explicit Column(int n) : buf(static_cast<std::size_t>(n) + 16, 777), n(n) {}
    std::int16_t* data() { return buf.data() + 8; }
    std::int16_t operator[](int i) const { return buf[static_cast<std::size_t>(i) + 8]; }
    bool GuardsIntact() const
    {
        for (int i = 0; i < 8; ++i)
            if (buf[static_cast<std::size_t>(i)] != 777 || buf[static_cast<std::size_t>(n + 8 + i)] != 777)
                return false;
        return true;
    }
    std::vector<std::int16_t> buf;
    int n;
};

// The column mapping written the plain way, a division for every sample
// and pixel: the stepped version must give the same words.
void PlainResampleColumn(const std::int16_t* samples, int count, double d, double start, double length,
                         std::int16_t* out, int n)
{
    std::fill_n(out, n, kNoEcho);
    if (!(length > 0.0) || !(d > 0.001) || count <= 0)
        return;
    const double range = count * d;
    if (start >= range || start + length <= 0.0)
        return;
    const double span = std::max(length, 1.0);
    std::int64_t m = rawpower::Round(span / d);
    if (m <= 0)
        m = 100;
    m = std::min<std::int64_t>(m, 1'000'000'000);
    const std::int64_t startSample = rawpower::Round(start / d);
    const std::int64_t first = std::max<std::int64_t>(startSample, 0);
    const std::int64_t last = std::min<std::int64_t>(rawpower::Round(std::min(start + span, range) / d), count);
    if (last <= first)
        return;
    const std::int64_t pixel0 = start < 0.0 ? rawpower::Trunc(-start * n / span) : (first - startSample) * n / m;
    if (m < 2 * std::int64_t{n}) {
        const std::int64_t width = (n + m - 1) / m;
        for (std::int64_t j = 0; j < last - first; ++j) {
            const std::int64_t p = pixel0 + j * n / m;
            if (p >= n)
                break;
            const int a = samples[first + j];
            const int b = (first + j + 1 < count) ? samples[first + j + 1] : a;
            for (std::int64_t t = 0; t < width && p + t < n; ++t)
                out[p + t] = static_cast<std::int16_t>(a + (b - a) * t / width);
        }
        return;
    }
    for (std::int64_t p = pixel0; p < n; ++p) {
        const std::int64_t lo = first + (p - pixel0) * m / n;
        const std::int64_t hi = std::min(first + (p - pixel0 + 1) * m / n, last);
        if (lo >= hi)
            break;
        double sum = 0.0;
        bool any = false;
        for (std::int64_t i = lo; i < hi; ++i) {
            any |= samples[i] != kNoEcho;
            sum += std::pow(10.0, samples[i] * rawpower::kDbPerUnit / 10.0);
        }
        if (any)
            out[p] = rawpower::Saturate16(
                rawpower::Trunc(rawpower::kUnitsPerDecade * std::log10(sum / static_cast<double>(hi - lo))));
    }
}

TEST(EchogramColumn, SteppedMappingGivesThePlainWordsForEverySizeRelation)
{
    // Random pings with the extreme words among them, drawn into windows of
    // more samples than pixels (two or more a pixel, and between one and
    // two), fewer, as many, and a single pixel; windows that start before
    // the transducer, inside the ping and run past its end.
    struct Case
    {
        const char* legend;
        int count;
        double start, length;  // m, samples of 0.1 m
        int n;
    };
    const Case cases[] = {
        {"many samples a pixel", 3000, 0.0, 300.0, 97},
        {"two samples a pixel exactly", 1000, 0.0, 100.0, 500},
        {"between one and two a pixel", 1000, 0.0, 100.0, 613},
        {"as many samples as pixels", 1000, 0.0, 100.0, 1000},
        {"fewer samples than pixels", 1000, 0.0, 100.0, 1733},
        {"a few samples over many pixels", 1000, 12.3, 1.7, 800},
        {"one pixel", 1000, 5.0, 50.0, 1},
        {"one sample over a pixel", 1, 0.0, 0.1, 1},
        {"window from before the transducer", 1000, -7.3, 40.0, 311},
        {"window from before the transducer, zoomed", 1000, -0.35, 2.0, 900},
        {"window running past the end", 700, 55.2, 30.0, 450},
        {"window running past the end, zoomed", 700, 69.5, 1.0, 450},
    };
    std::mt19937 rng(50);
    std::uniform_int_distribution<int> word(-32768, 32767);
    for (const Case& c : cases) {
        std::vector<std::int16_t> s(static_cast<std::size_t>(c.count));
        for (auto& v : s)
            v = static_cast<std::int16_t>(word(rng));
        for (std::size_t i : {std::size_t{0}, s.size() / 2, s.size() - 1})
            s[i] = static_cast<std::int16_t>(i % 3 == 0 ? 32767 : (i % 3 == 1 ? -32768 : kNoEcho));
        if (s.size() > 4)
            std::fill_n(s.begin() + 1, 3, kNoEcho);
        std::vector<std::int16_t> expected(static_cast<std::size_t>(c.n));
        PlainResampleColumn(s.data(), c.count, 0.1, c.start, c.length, expected.data(), c.n);
        Column out(c.n);
        echogram::ResampleColumn(s.data(), c.count, 0.1, c.start, c.length, out.data(), c.n);
        EXPECT_TRUE(out.GuardsIntact()) << c.legend;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), out.data())) << c.legend;
        EXPECT_NE(std::count(expected.begin(), expected.end(), kNoEcho), c.n) << c.legend << ": draws nothing";
    }
}

TEST(EchogramColumn, AveragesLinearPowerWhenSeveralSamplesFallOnAPixel)
{
    // 10 m over 0.1 m samples into 50 pixels: two samples a pixel, 0 dB and
    // -10 dB give about -2.6 dB.
    std::vector<std::int16_t> s(200);
    for (int i = 0; i < 200; ++i)
        s[static_cast<std::size_t>(i)] = (i % 2 == 0) ? 0 : rawpower::DbToRaw(-10.0);
    Column out(50);
    echogram::ResampleColumn(s.data(), 200, 0.1, 0.0, 10.0, out.data(), 50);
    EXPECT_NEAR(out[0] * rawpower::kDbPerUnit, -2.6, 0.02);
    EXPECT_EQ(out[0], out[49]);
    EXPECT_TRUE(out.GuardsIntact());
}

TEST(EchogramColumn, StretchesSamplesWithoutWritingPastTheColumn)
{
    // 7 samples over 10 pixels: ceil(10/7) = 2 pixels per sample, the last
    // sample's pixels would reach pixel 10 and 11.
    std::vector<std::int16_t> s = {0, 100, 200, 300, 400, 500, 600};
    for (int n : {10, 11, 13, 64, 100}) {
        Column out(n);
        echogram::ResampleColumn(s.data(), 7, 1.0, 0.0, 7.0, out.data(), n);
        EXPECT_TRUE(out.GuardsIntact()) << n;
        EXPECT_EQ(out[0], 0) << n;
    }
    Column out(14);
    echogram::ResampleColumn(s.data(), 7, 1.0, 0.0, 7.0, out.data(), 14);
    EXPECT_EQ(out[1], 50) << "a step half way to the next sample";
    EXPECT_EQ(out[13], 600);
}

TEST(EchogramColumn, WindowsOutsideThePing)
{
    std::vector<std::int16_t> s(100, -500);
    struct Row
    {
        const char* legend;
        double start;
        double length;
        int firstEcho;
        int lastEcho;
    };
    const Row rows[] = {
        {"window beyond the ping", 20.0, 5.0, -1, -1},
        {"window ending above the transducer", -10.0, 5.0, -1, -1},
        {"window starting above the transducer: first half empty", -5.0, 10.0, 50, 99},
        {"window running past the end: second half empty", 5.0, 10.0, 0, 49},
    };
    for (const Row& r : rows) {
        Column out(100);
        echogram::ResampleColumn(s.data(), 100, 0.1, r.start, r.length, out.data(), 100);
        EXPECT_TRUE(out.GuardsIntact()) << r.legend;
        for (int i = 0; i < 100; ++i) {
            const bool inEcho = r.firstEcho >= 0 && i >= r.firstEcho && i <= r.lastEcho;
            ASSERT_EQ(out[i], inEcho ? -500 : kNoEcho) << r.legend << " pixel " << i;
        }
    }
}

TEST(EchogramColumn, NoEchoStaysNoEchoWhenAveraged)
{
    std::vector<std::int16_t> s(1000, kNoEcho);
    Column out(10);
    echogram::ResampleColumn(s.data(), 1000, 0.1, 0.0, 100.0, out.data(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(out[i], kNoEcho);
}

TEST(EchogramColumn, DegenerateRequestsLeaveNoEcho)
{
    std::vector<std::int16_t> s(100, 0);
    Column out(10);
    echogram::ResampleColumn(s.data(), 100, 0.0005, 0.0, 1.0, out.data(), 10);
    EXPECT_EQ(out[0], kNoEcho) << "sample distance at or below 1 mm";
    echogram::ResampleColumn(s.data(), 100, 0.1, 0.0, 0.0, out.data(), 10);
    EXPECT_EQ(out[5], kNoEcho) << "empty window";
    echogram::ResampleColumn(s.data(), 100, 0.1, 0.0, 1.0e300, out.data(), 10);
    EXPECT_EQ(out[0], 0) << "a window of absurd length: the whole ping in the first pixel";
    EXPECT_EQ(out[1], kNoEcho);
    EXPECT_TRUE(out.GuardsIntact());
}

TEST(EchogramColumn, SlantCorrectionTakesTheSampleAtSlantRange)
{
    std::vector<std::int16_t> s(1000);
    for (int i = 0; i < 1000; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(i);
    Column out(10);
    // Pixel 3 of 0..40 m is at 14 m horizontally; with h = 30 m the slant
    // range is sqrt(14^2 + 30^2) = 33.1 m, sample 331.
    echogram::ResampleSlant(s.data(), 1000, 0.1, 0.0, 40.0, 30.0, out.data(), 10);
    EXPECT_EQ(out[3], 331);
    EXPECT_TRUE(out.GuardsIntact());
}

TEST(EchogramColumn, LevelStepFindsTheRiseAndStaysInsideThePing)
{
    // Noise at -100 dB, a step to -20 dB at sample 300 until the end.
    std::vector<std::int16_t> s(400, rawpower::DbToRaw(-100.0));
    for (int i = 300; i < 400; ++i)
        s[static_cast<std::size_t>(i)] = rawpower::DbToRaw(-20.0);
    // The second window of the last starts runs past sample 399; a short
    // vector makes AddressSanitizer catch any read beyond it.
    EXPECT_NEAR(echogram::FindLevelStep(s.data(), 400, 10), -20.0, 0.02);
    EXPECT_EQ(echogram::FindLevelStep(s.data(), 20, 10), 0.0) << "no more than 2n samples";
    EXPECT_EQ(echogram::FindLevelStep(s.data(), 400, 0), 0.0) << "empty window";
}

}  // namespace
