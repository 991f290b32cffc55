// Sample-to-pixel mapping of one echogram column, kept apart from the
// channel so the geometry can be checked on its own.
#pragma once

#include <cstdint>

namespace echogram {

// Resamples a ping (count words, sample i at range i * d for this purpose)
// over the window [start, start + length) metres into n pixels. Pixels that
// the ping does not reach are no echo. When a sample spans more than half a
// pixel, samples are drawn over whole pixels with a linear step towards the
// next sample; otherwise each pixel takes the mean linear power of its
// samples. Nothing is written past out[n - 1].
void ResampleColumn(const std::int16_t* samples, int count, double d, double start, double length, std::int16_t* out,
                    int n);

// Like ResampleColumn, but pixel j stands for a horizontal distance along a
// side-looking beam whose target line lies h metres off the transducer:
// the sample taken is the one at slant range sqrt(x^2 + h^2).
void ResampleSlant(const std::int16_t* samples, int count, double d, double start, double length, double h,
                   std::int16_t* out, int n);

// Level (dB) at the strongest rise of the ping: over every start i with a
// window of w samples, A = mean of w samples from i, B = mean of the next 2w
// (cut at the end of the ping), score = A - 0.75 B; the A of the first best
// score. 0.0 when w < 1 or the ping has no more than 2w samples.
double FindLevelStep(const std::int16_t* samples, int count, int w);

}  // namespace echogram
