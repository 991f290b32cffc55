// Each built version of the wide-band unit's correlation kernel against the
// plain complex<double> sums; versions this processor cannot run are
// skipped.
#include "transceivers/NvuCorrelation.h"

#include <gtest/gtest.h>

#include <bit>
#include <complex>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

bool Same(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// The kernel's lanes read rows[t] + j: here rows that step back one sample
// a tap and rows that stride through phase-split samples, for lane counts
// around every vector width and step.
class NvuCorrelationVersion : public ::testing::TestWithParam<std::size_t>
{};

TEST_P(NvuCorrelationVersion, GivesThePlainSums)
{
    const nvucorrelation::SCorrelateVersion& version = nvucorrelation::CorrelateVersions()[GetParam()];
    if (!version.supported())
        GTEST_SKIP() << version.name << " is not supported by this processor";
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> v(-1000.0, 1000.0);
    std::vector<double> xr(6000), xi(6000), cr(300), ci(300);
    for (double& x : xr)
        x = v(rng);
    for (double& x : xi)
        x = v(rng);
    for (std::size_t t = 0; t < cr.size(); ++t) {
        cr[t] = v(rng) / 1000.0;
        ci[t] = v(rng) / 1000.0;
    }
    for (int taps : {1, 3, 300})
        for (int lanes : {1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 100})
            for (int phases : {1, 5}) {
                std::vector<std::ptrdiff_t> rows(static_cast<std::size_t>(taps));
                for (int t = 0; t < taps; ++t)
                    rows[static_cast<std::size_t>(t)] = phases == 1 ? 400 - t : (t % phases) * 1100 + 300 - t / 2;
                // The lanes up to the next step, then ones the kernel must leave alone.
                const int rounded =
                    (lanes + nvucorrelation::kLaneStep - 1) / nvucorrelation::kLaneStep * nvucorrelation::kLaneStep;
                std::vector<double> yr(static_cast<std::size_t>(rounded + nvucorrelation::kLaneStep), 0.5),
                    yi(yr.size(), -0.5);
                version.run(xr.data(), xi.data(), rows.data(), taps, cr.data(), ci.data(), lanes, yr.data(), yi.data());
                for (std::size_t j = static_cast<std::size_t>(rounded); j < yr.size(); ++j)
                    ASSERT_TRUE(yr[j] == 0.5 && yi[j] == -0.5) << "lanes " << lanes << ": lane " << j << " written";
                for (int j = 0; j < lanes; ++j) {
                    std::complex<double> y(0.5, -0.5);
                    for (int t = 0; t < taps; ++t) {
                        const auto at = static_cast<std::size_t>(rows[static_cast<std::size_t>(t)] + j);
                        y += std::complex<double>(xr[at], xi[at]) *
                             std::complex<double>(cr[static_cast<std::size_t>(t)], ci[static_cast<std::size_t>(t)]);
                    }
                    ASSERT_TRUE(Same(yr[static_cast<std::size_t>(j)], y.real()) &&
                                Same(yi[static_cast<std::size_t>(j)], y.imag()))
                        << "taps " << taps << " lanes " << lanes << " phases " << phases << " lane " << j;
                }
            }
}

INSTANTIATE_TEST_SUITE_P(Versions, NvuCorrelationVersion,
                         ::testing::Range<std::size_t>(0, nvucorrelation::CorrelateVersions().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return std::string(nvucorrelation::CorrelateVersions()[info.param].name);
                         });

}  // namespace
