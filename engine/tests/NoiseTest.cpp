// Noise estimate and five-point median filter.
#include "engine/Noise.h"
#include "engine/MedianFilter.h"
#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

TEST(Noise, MedianOfNineteenWhateverThePivot)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> dist(-9000, -3000);
    for (int round = 0; round < 200; ++round) {
        std::int16_t words[19];
        for (auto& w : words)
            w = static_cast<std::int16_t>(dist(rng));
        if (round % 3 == 0)
            std::fill_n(words, 7, words[7]);  // repeated values
        std::vector<std::int16_t> sorted(words, words + 19);
        std::sort(sorted.begin(), sorted.end());
        // Pivot below all, above all, at the median and at a repeated value.
        for (const std::int16_t pivot : {std::int16_t{-20000}, std::int16_t{0}, sorted[9], words[0]}) {
            std::int16_t copy[19];
            std::copy_n(words, 19, copy);
            EXPECT_EQ(CNoise::SelectKth(pivot, copy, 9), sorted[9]) << "round " << round << " pivot " << pivot;
        }
    }
}

TEST(Noise, LevelOfAWindow)
{
    CNoise noise;
    const double d = 0.1;
    std::vector<std::int16_t> s(3000, rawpower::DbToRaw(-120.0));
    // A few strong samples on the sampled grid do not move the median.
    // first = 2 m / 0.1 = index 20, stride = (298 - 2) / 2 = 148 samples.
    s[20] = s[20 + 148] = s[20 + 5 * 148] = rawpower::DbToRaw(-20.0);
    const double level = noise.GetNoiseLevel(s.data(), 3000, -100.0, d, 0.0, 298.0);
    EXPECT_NEAR(level, -120.0, 0.02);

    EXPECT_EQ(noise.GetNoiseLevel(s.data(), 3000, -80.0, d, 10.0, 11.9), -100.0)
        << "stop less than 2 m below the start";
    // A window far beyond the ping reads its last sample, not past it.
    s.back() = rawpower::DbToRaw(-77.0);
    EXPECT_NEAR(noise.GetNoiseLevel(s.data(), 3000, -80.0, d, 500.0, 900.0), -77.0, 0.02);
}

TEST(MedianFilter, FiveWordMedianKeepsTheEnds)
{
    CMedianFilter f;
    std::int16_t four[] = {9, 1, 8, 2};
    f.Apply(four, 4);
    EXPECT_EQ(std::vector<std::int16_t>(four, four + 4), (std::vector<std::int16_t>{9, 1, 8, 2}));

    std::int16_t six[] = {5, 1, 9, 3, 7, 2};
    f.Apply(six, 6);
    EXPECT_EQ(std::vector<std::int16_t>(six, six + 6), (std::vector<std::int16_t>{5, 1, 5, 3, 7, 2}));

    std::mt19937 rng(3);
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<std::int16_t> x(500);
    for (auto& v : x)
        v = static_cast<std::int16_t>(dist(rng));
    const std::vector<std::int16_t> in = x;
    f.Apply(x.data(), static_cast<int>(x.size()));
    for (std::size_t i = 2; i + 2 < in.size(); ++i) {
        std::vector<std::int16_t> w(in.begin() + static_cast<long>(i) - 2, in.begin() + static_cast<long>(i) + 3);
        std::nth_element(w.begin(), w.begin() + 2, w.end());
        ASSERT_EQ(x[i], w[2]) << "index " << i;
    }
    EXPECT_EQ(x[0], in[0]);
    EXPECT_EQ(x[499], in[499]);
}

}  // namespace
