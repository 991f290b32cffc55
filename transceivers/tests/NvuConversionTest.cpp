// The wide-band unit's sample conversion against the plain one, bit for
// bit: random samples with missing ones, a gap longer than a filter, picks
// beyond +-1000 and a few non-finite values, read across the ring's end,
// through every filter type.
#include "transceivers/NVU.h"

#include "sim/nvu/NvuSimulator.h"
#include "transceivers/SampleRingBuffer.h"
#include "transceivers/tests/NvuPlainConversion.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRingLength = 12000;

// Equal bits, or both not a number (whose payload no one reads).
bool Same(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b) || (std::isnan(a) && std::isnan(b));
}

// A ring of one channel, written past its end so that its write index has
// come round to 7000: the passes below read across the end.
struct RandomRing
{
    CSampleRingBuffer ring{1, 0, kRingLength};

    RandomRing()
    {
        std::mt19937 rng(33);
        std::uniform_real_distribution<float> part(-1100.0f, 1100.0f);
        std::uniform_int_distribution<int> roll(0, 999);
        constexpr int kTotal = kRingLength + 7000;
        std::vector<float> values;
        for (int k = 0; k < kTotal; ++k) {
            float re = part(rng), im = part(rng);
            const int r = roll(rng);
            if (r < 40 || (k >= 14000 && k < 15300))  // missing, and a gap longer than the longest filter
                re = im = 0.0f;
            else if (r < 45)
                re = -0.0f, im = 0.0f;  // missing too
            else if (r < 50)
                im = 0.0f;  // present with one part zero
            if (k == 11800 || k == 13500)
                re = std::numeric_limits<float>::infinity();
            if (k == 16000)
                im = std::numeric_limits<float>::quiet_NaN();
            if (k == 17000 || k == 18100)
                re = im = (k == 17000 ? -1 : 1) * std::numeric_limits<float>::infinity();
            values.push_back(re);
            values.push_back(im);
        }
        for (int first = 0; first < kTotal; first += 5000) {
            const auto from = values.begin() + 2 * first;
            const std::vector<float> chunk(from, from + 2 * std::min(5000, kTotal - first));
            const auto d = CNvuSimulator::MakeSamples(10000.0f, 1, true, 0, static_cast<std::uint32_t>(first), chunk);
            EXPECT_EQ(ring.WriteSamples(d.data(), d.size()), CSampleRingBuffer::kStored);
            ring.SetReadIndex(ring.GetWriteIndex());
        }
        EXPECT_EQ(ring.GetWriteIndex(), 7000);
    }
};

// Some coefficients have a part of zero: an infinite sample times such a
// one is where complex<double> arithmetic recovers an infinity.
CNVU::FilterRecord RandomFilter(int length, bool infinite, std::mt19937& rng)
{
    std::uniform_real_distribution<float> c(-300.0f, 300.0f);
    CNVU::FilterRecord f;
    f.length = length;
    f.divisor = 7;
    f.inverse = 1.0f / 7.0f;
    for (int k = 0; k < length; ++k) {
        f.real.push_back(k % 11 == 4 ? 0.0f : c(rng));
        f.imaginary.push_back(k % 7 == 2 ? 0.0f : c(rng));
    }
    if (infinite)
        f.real[length / 2] = f.imaginary[length / 2] = std::numeric_limits<float>::infinity();
    return f;
}

struct Case
{
    int type, length, des1, des2, fpa;
    bool infinite = false;  // a coefficient read from the file as "inf"
    std::string Legend() const
    {
        return "type " + std::to_string(type) + " L " + std::to_string(length) + " des1 " + std::to_string(des1) +
               " des2 " + std::to_string(des2) + " fpa " + std::to_string(fpa) + (infinite ? " infinite" : "");
    }
};

std::vector<Case> Cases()
{
    std::vector<Case> cases;
    // Type 0 is a unit's own type, converted as type 4.
    for (int type : {0, 1, 2, 3, 4, 5, 8})
        for (int length : {0, 1, 64, 1000})
            for (int des1 : {1, 2, 3, 4})
                for (int des2 : {1, 2, 3})
                    for (int fpa : {1, 3}) {
                        const bool filters = type == 2 || type == 3 || type == 8;
                        if ((!filters && length > 0) || (type != 2 && type != 4 && type != 0 && des2 > 1) ||
                            ((type == 2 || type == 5) && fpa > 1) || (type == 8 && des1 > 1) ||
                            (length == 1000 && (des1 == 2 || des1 == 3 || des2 == 3)))
                            continue;  // the same conversion as a case kept
                        cases.push_back({type, length, des1, des2, fpa});
                    }
    for (int type : {2, 3, 8})
        cases.push_back({type, 64, type == 8 ? 1 : 3, 2, 1, true});
    return cases;
}

// A pass of 5000 samples from index 1500 reaches back across the ring's
// end and runs over more than one chunk of the conversion; it is taken
// whole and in three passes that carry the count to the next output.
TEST(NvuConversion, GivesThePlainBitsForEveryFilterType)
{
    RandomRing r;
    std::mt19937 rng(8);
    constexpr int kStart = 1500, kCount = 5000;
    const int splits[] = {0, 1777, 4500, kCount};
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.Legend());
        const CNVU::FilterRecord f = RandomFilter(c.length, c.infinite, rng);
        std::vector<double> plain(kCount, 0.25), fast(kCount, 0.25);
        CNVU::ChainState plainChain, fastChain;
        plainChain.counter = fastChain.counter = 1;
        const int expected = nvutest::PlainConvertSamples(r.ring, 0, kStart, kCount, c.type, c.des1, c.des2, c.fpa, f,
                                                          3.0, plainChain, plain.data());
        int produced = 0;
        for (int s = 0; s + 1 < static_cast<int>(std::size(splits)); ++s)
            produced += CNVU::ConvertSamples(r.ring, 0, kStart + splits[s], splits[s + 1] - splits[s], c.type, c.des1,
                                             c.des2, c.fpa, f, 3.0, fastChain, fast.data() + produced);
        ASSERT_EQ(produced, expected);
        EXPECT_EQ(fastChain.counter, plainChain.counter);
        EXPECT_TRUE(Same(fastChain.accumulated, plainChain.accumulated));
        int differing = 0, firstDiffering = -1;
        for (int k = 0; k < kCount; ++k)
            if (!Same(fast[k], plain[k]) && differing++ == 0)
                firstDiffering = k;
        EXPECT_EQ(differing, 0) << "first at " << firstDiffering << ": " << fast[std::max(0, firstDiffering)]
                                << " against " << plain[std::max(0, firstDiffering)];
    }
}

// Filters whose reach (L times the front-end decimation, or L groups of
// Des2) would pass the ring's length, or overflow, read the ring once; a
// record that claims more coefficients than it holds is read as far as
// it holds them.
TEST(NvuConversion, ReachesNoFurtherThanTheRingHoldsAndReadsOnlyTheCoefficientsHeld)
{
    constexpr int kLength = 3000;
    CSampleRingBuffer ring(1, 0, kLength);
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> part(-100.0f, 100.0f);
    std::vector<float> values;
    for (int k = 0; k < 2000; ++k) {
        const bool present = k % 10 == 3;  // the last 64 present samples lie 640 back
        values.push_back(present ? part(rng) : 0.0f);
        values.push_back(present ? part(rng) : 0.0f);
    }
    const auto d = CNvuSimulator::MakeSamples(10000.0f, 1, true, 0, 0, values);
    ASSERT_EQ(ring.WriteSamples(d.data(), d.size()), CSampleRingBuffer::kStored);
    const CNVU::FilterRecord f = RandomFilter(64, false, rng);
    CNVU::FilterRecord claims = f;
    claims.length = 100;
    auto convert = [&](int type, int des2, int fpa, const CNVU::FilterRecord& filter) {
        std::vector<double> power(2000, 0.0);
        CNVU::ChainState chain;
        EXPECT_EQ(CNVU::ConvertSamples(ring, 0, 0, 2000, type, 1, des2, fpa, filter, 2.0, chain, power.data()), 2000);
        return power;
    };
    for (int type : {3, 8}) {
        SCOPED_TRACE(type);
        const auto once = convert(type, 1, kLength / 64 + 1, f);
        EXPECT_EQ(convert(type, 1, 1 << 30, f), once);
        EXPECT_EQ(convert(type, 1, 1, claims), convert(type, 1, 1, f));
        EXPECT_NE(convert(type, 1, 1, f), once) << "a longer reach finds more present samples";
    }
    EXPECT_EQ(convert(2, 1 << 30, 1, f), std::vector<double>(2000, 0.0)) << "no whole group in the ring";
    EXPECT_EQ(convert(2, 2, 1, claims), convert(2, 2, 1, f));
}

}  // namespace
