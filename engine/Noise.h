// Noise level of a ping: the median of nineteen samples spread evenly over
// a range window. A median rather than a mean, so that the few samples that
// hit a fish or the bottom do not lift the estimate.
#pragma once

#include "engine/ChannelComponents.h"

#include <cstdint>

class CNoise : public INoiseEstimator
{
public:
    static constexpr int kWordCount = 20;
    static constexpr int kMedianOrder = 9;  // the 10th smallest of 19

    // Noise level (dB) of the raw power words between start and stop (m);
    // -100 dB when the window is shorter than the 2 m skipped at its start.
    double GetNoiseLevel(const std::int16_t* samples, int count, double previousDb, double d, double startRange,
                         double stopRange) override;

    // The k-th smallest (counting from 0) of the 2k + 1 words of a,
    // partitioned around pivot first: with a pivot near the answer (the
    // previous estimate) only a few words need to be moved. a is reordered.
    static std::int16_t SelectKth(std::int16_t pivot, std::int16_t* a, int k);
};
