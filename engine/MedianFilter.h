// Five-point running median of 16-bit samples, used where single outliers
// (a spike, a missed sample) must not move a level but a real step must.
#pragma once

#include <cstdint>
#include <vector>

class CMedianFilter
{
public:
    virtual ~CMedianFilter() = default;

    // Replaces x[2 .. n-3] by the median of the five input words around
    // each; the two words at each end keep their values, and runs shorter
    // than five are left alone.
    void Apply(std::int16_t* x, int n);

private:
    std::vector<std::int16_t> m_work;
};
