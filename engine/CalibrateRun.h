// The calibrated conversion of a run of raw power words, the inner loop of
// every echogram of every ping: out = TVG + sample + constant, saturated to
// 16 bits, or no echo where the sample is at or below the threshold.
//
// One binary serves every survey PC: the loop is built for the x86-64
// baseline and again for AVX2 and AVX-512, and the first call picks the
// widest that the processor has. Every version gives the same words.
#pragma once

#include <cstdint>
#include <span>

namespace calibrate {

using RunFunction = void (*)(std::int16_t* out, const std::int16_t* in, const std::int16_t* tvg, int n, int thr,
                             int constant);

struct SRunVersion
{
    const char* name;
    bool (*supported)();  // whether this processor can run it
    RunFunction run;
};

// Baseline first, then the wider ones.
std::span<const SRunVersion> RunVersions();

// The buffers must not overlap; n <= 0 writes nothing.
void CalibrateRun(std::int16_t* out, const std::int16_t* in, const std::int16_t* tvg, int n, int thr, int constant);

}  // namespace calibrate
