// Every built version of the calibrated run gives the words of the plain
// computation; versions this processor cannot run are skipped.
#include "engine/CalibrateRun.h"
#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::int16_t> Plain(const std::vector<std::int16_t>& in, const std::vector<std::int16_t>& tvg, int thr,
                                int c)
{
    std::vector<std::int16_t> out(in.size());
    for (std::size_t i = 0; i < in.size(); ++i) {
        std::int64_t v = std::int64_t{tvg[i]} + in[i] + c;
        v = v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
        out[i] = in[i] > thr ? static_cast<std::int16_t>(v) : rawpower::kNoEcho;
    }
    return out;
}

class CalibrateRunVersion : public ::testing::TestWithParam<std::size_t>
{};

TEST_P(CalibrateRunVersion, GivesThePlainWords)
{
    const calibrate::SRunVersion& version = calibrate::RunVersions()[GetParam()];
    if (!version.supported())
        GTEST_SKIP() << version.name << " is not supported by this processor";
    struct Case
    {
        const char* legend;
        int thr, c;
    };
    // Constants and thresholds that drive the sums over both 16-bit limits
    // and put the threshold on, below and above the sample words.
    const Case cases[] = {
        {"no threshold, small constant", -32768, -300},
        {"noise threshold, large positive constant", -12000, 20000},
        {"threshold above most words, large negative constant", 20000, -32768},
        {"threshold at the no-echo word", rawpower::kNoEcho, 0},
    };
    std::mt19937 rng(50);
    std::uniform_int_distribution<int> word(-32768, 32767);
    std::uniform_int_distribution<int> gain(0, 25511);  // up to 300 dB
    // Lengths around every vector width and its remainders.
    for (int n : {0, 1, 7, 8, 15, 16, 17, 31, 32, 33, 63, 64, 65, 127, 1000, 30000}) {
        for (const Case& k : cases) {
            std::vector<std::int16_t> in(static_cast<std::size_t>(n)), tvg(in.size());
            for (std::size_t i = 0; i < in.size(); ++i) {
                in[i] = static_cast<std::int16_t>(word(rng));
                tvg[i] = static_cast<std::int16_t>(gain(rng));
            }
            const std::int16_t edges[] = {-32768, 32767, rawpower::kNoEcho,
                                          static_cast<std::int16_t>(std::clamp(k.thr, -32768, 32767)),
                                          static_cast<std::int16_t>(std::clamp(k.thr + 1, -32768, 32767))};
            for (std::size_t i = 0; i < in.size() && i < std::size(edges); ++i)
                in[in.size() - 1 - i] = edges[i];
            std::vector<std::int16_t> out(in.size() + 1, 777);
            version.run(out.data(), in.data(), tvg.data(), n, k.thr, k.c);
            EXPECT_EQ(out.back(), 777) << version.name << " wrote past n=" << n;
            out.pop_back();
            EXPECT_EQ(out, Plain(in, tvg, k.thr, k.c)) << version.name << ", n=" << n << ": " << k.legend;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, CalibrateRunVersion,
                         ::testing::Range(std::size_t{0}, calibrate::RunVersions().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return std::string(calibrate::RunVersions()[info.param].name);
                         });

}  // namespace
