#include "transceivers/NvuCorrelation.h"

#include <array>
#include <cstring>

namespace nvucorrelation {

namespace {

typedef double V2 __attribute__((vector_size(16)));
typedef double V4 __attribute__((vector_size(32)));
typedef double V8 __attribute__((vector_size(64)));

// K vectors of lanes at a time: enough sums side by side to keep the
// adders busy while each sum itself takes its taps one after the other.
template <class V, int K>
[[gnu::always_inline]] inline void Block(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps,
                                         const double* cr, const double* ci, double* yr, double* yi)
{
    constexpr int n = sizeof(V) / sizeof(double);
    V r[K], i[K];
    std::memcpy(r, yr, sizeof r);
    std::memcpy(i, yi, sizeof i);
    for (int t = 0; t < taps; ++t) {
        // Subtracting zero broadcasts the coefficient and keeps its sign.
        const V a = cr[t] - V{}, b = ci[t] - V{};
        const double* pr = xr + rows[t];
        const double* pi = xi + rows[t];
#pragma GCC unroll 8
        for (int k = 0; k < K; ++k) {
            V sr, si;
            std::memcpy(&sr, pr + k * n, sizeof sr);
            std::memcpy(&si, pi + k * n, sizeof si);
            r[k] += sr * a - si * b;
            i[k] += sr * b + si * a;
        }
    }
    std::memcpy(yr, r, sizeof r);
    std::memcpy(yi, i, sizeof i);
}

// Written once and compiled into each version below. This file is built
// without contracting a product and a sum into one rounding, which would
// change the bits of the sums.
template <class V>
[[gnu::always_inline]] inline void Kernel(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps,
                                          const double* cr, const double* ci, int lanes, double* yr, double* yi)
{
    constexpr int n = static_cast<int>(sizeof(V) / sizeof(double));
    const int all = (lanes + kLaneStep - 1) / kLaneStep * kLaneStep;
    int j = 0;
    for (; j + 4 * n <= all; j += 4 * n)
        Block<V, 4>(xr + j, xi + j, rows, taps, cr, ci, yr + j, yi + j);
    for (; j + 2 * n <= all; j += 2 * n)
        Block<V, 2>(xr + j, xi + j, rows, taps, cr, ci, yr + j, yi + j);
    for (; j < all; j += n)
        Block<V, 1>(xr + j, xi + j, rows, taps, cr, ci, yr + j, yi + j);
}

void RunBaseline(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps, const double* cr,
                 const double* ci, int lanes, double* yr, double* yi)
{
    Kernel<V2>(xr, xi, rows, taps, cr, ci, lanes, yr, yi);
}

[[gnu::target("avx2")]] void RunAvx2(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps,
                                     const double* cr, const double* ci, int lanes, double* yr, double* yi)
{
    Kernel<V4>(xr, xi, rows, taps, cr, ci, lanes, yr, yi);
}

[[gnu::target("avx512f")]] void RunAvx512(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps,
                                          const double* cr, const double* ci, int lanes, double* yr, double* yi)
{
    Kernel<V8>(xr, xi, rows, taps, cr, ci, lanes, yr, yi);
}

bool Always()
{
    return true;
}

bool HasAvx2()
{
    return __builtin_cpu_supports("avx2");
}

bool HasAvx512()
{
    return __builtin_cpu_supports("avx512f");
}

constexpr std::array<SCorrelateVersion, 3> kVersions = {{
    {"baseline", Always, RunBaseline},
    {"avx2", HasAvx2, RunAvx2},
    {"avx512", HasAvx512, RunAvx512},
}};

CorrelateFunction Pick()
{
    __builtin_cpu_init();
    CorrelateFunction best = RunBaseline;
    for (const SCorrelateVersion& v : kVersions)
        if (v.supported())
            best = v.run;
    return best;
}

}  // namespace

std::span<const SCorrelateVersion> CorrelateVersions()
{
    return kVersions;
}

void Correlate(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps, const double* cr,
               const double* ci, int lanes, double* yr, double* yi)
{
    static const CorrelateFunction run = Pick();
    if (lanes > 0 && taps > 0)
        run(xr, xi, rows, taps, cr, ci, lanes, yr, yi);
}

}  // namespace nvucorrelation
