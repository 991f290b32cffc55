#include "engine/MedianFilter.h"

#include <algorithm>

namespace {

// Median of five by a fixed compare-exchange network: the same work for
// every input, so a noisy ping costs what a quiet one does.
inline int Median5(int a, int b, int c, int d, int e)
{
    auto sort2 = [](int& x, int& y) {
        const int lo = std::min(x, y);
        const int hi = std::max(x, y);
        x = lo;
        y = hi;
    };
    sort2(a, b);
    sort2(d, e);
    sort2(a, d);  // a: smallest of a, b, d, e -> cannot be the median
    sort2(b, e);  // e: largest of a, b, d, e -> cannot be the median
    // The median of five is the median of the remaining three (b, c, d).
    sort2(b, c);
    sort2(c, d);
    sort2(b, c);
    return c;
}

}  // namespace

void CMedianFilter::Apply(std::int16_t* x, int n)
{
    if (x == nullptr || n < 5)
        return;
    m_work.assign(x, x + n);
    const std::int16_t* w = m_work.data();
    for (int i = 2; i <= n - 3; ++i)
        x[i] = static_cast<std::int16_t>(Median5(w[i - 2], w[i - 1], w[i], w[i + 1], w[i + 2]));
}
