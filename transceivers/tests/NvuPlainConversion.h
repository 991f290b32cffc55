// The wide-band unit's sample conversion written the plain way: every
// output read sample by sample from the ring through the correlation
// helpers, one complex<double> sum at a time. CNVU::ConvertSamples is held
// to its bits by the tests and measured against it by the benchmark.
#pragma once

#include "transceivers/NVU.h"
#include "transceivers/SampleRingBuffer.h"

#include <algorithm>
#include <complex>

namespace nvutest {

inline int PlainConvertSamples(const CSampleRingBuffer& ring, int channel, int readIndex, int count, int type, int des1,
                               int des2, int fpaDecimation, const CNVU::FilterRecord& f, double twoZ,
                               CNVU::ChainState& state, double* power)
{
    const bool filtered = f.length > 0;
    auto sampleAt = [&](int index) {
        float im = 0.0f, re = 0.0f;
        ring.ReadSample(&im, &re, nullptr, ring.WrapIndex(index), channel);
        return std::complex<float>(re, im);
    };
    const int lookBack = f.length * std::max(1, fpaDecimation);
    int out = 0;
    for (int k = 0; k < count; ++k) {
        const int at = ring.WrapIndex(static_cast<long long>(readIndex) + k);
        const auto back = [&](int n) { return sampleAt(at - n); };
        if (type == 5 || type == 8) {
            const double y = type == 8 && filtered ? CNVU::CorrelateLast(f, back, lookBack)
                                                   : std::norm(std::complex<double>(back(0)));
            power[out++] += y / twoZ;
            continue;
        }
        const bool plain = (type == 2 || type == 3) && !filtered;
        if (type == 1)
            state.accumulated += std::norm(std::complex<double>(back(0))) * 0.125;
        else if (plain)
            state.accumulated += std::norm(std::complex<double>(back(0))) / twoZ;
        if (++state.counter < des1)
            continue;
        double y = 0.0;
        if (type == 1 || plain)
            y = state.accumulated;
        else if (type == 2)
            y = CNVU::CorrelateGroups(f, back, f.length * des2, des2) / twoZ;
        else if (type == 3)
            y = CNVU::CorrelateLast(f, back, lookBack) / twoZ;
        else
            y = std::norm(std::complex<double>(CNVU::FirstPresent(back, des2, des2))) / twoZ;
        power[out++] += y;
        state.accumulated = 0.0;
        state.counter = 0;
    }
    return out;
}

}  // namespace nvutest
