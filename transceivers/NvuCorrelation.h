// The complex correlation of the wide-band unit's pulse compression, for
// many output samples at once: each output is a sum over the filter's taps
// of a complex sample times a complex coefficient.
//
// One binary serves every survey PC: the loop is built for the x86-64
// baseline and again for AVX2 and AVX-512, and the first call picks the
// widest that the processor has. The outputs are taken side by side in the
// vector lanes while each one is summed tap by tap in order, products and
// sums as complex<double> arithmetic forms them, so every version gives the
// bits of the plain sum.
#pragma once

#include <cstddef>
#include <span>

namespace nvucorrelation {

// Lanes are taken kLaneStep at a time, so that a few outputs cost no more
// than a vector of them: the lanes from `lanes` up to the next multiple of
// kLaneStep are read and written too, and what they give means nothing.
constexpr int kLaneStep = 8;

// For each lane j < lanes, adds to (yr[j], yi[j]) the sum over the taps
// t < taps, in that order, of
//   (xr[rows[t] + j] + i xi[rows[t] + j]) * (cr[t] + i ci[t]).
// rows lets each tap read its samples where the caller laid them out: one
// sample back for every tap, or a stride through phase-split arrays. Where
// a product has both parts not a number, complex<double> arithmetic
// recovers infinities that these sums do not: such an output comes out not
// a number, and the caller sums it again the plain way.
using CorrelateFunction = void (*)(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps,
                                   const double* cr, const double* ci, int lanes, double* yr, double* yi);

struct SCorrelateVersion
{
    const char* name;
    bool (*supported)();  // whether this processor can run it
    CorrelateFunction run;
};

// Baseline first, then the wider ones.
std::span<const SCorrelateVersion> CorrelateVersions();

void Correlate(const double* xr, const double* xi, const std::ptrdiff_t* rows, int taps, const double* cr,
               const double* ci, int lanes, double* yr, double* yi);

}  // namespace nvucorrelation
