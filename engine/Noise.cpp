#include "engine/Noise.h"

#include "engine/RawPower.h"

#include <algorithm>
#include <utility>

double CNoise::GetNoiseLevel(const std::int16_t* samples, int count, double previousDb, double d, double startRange,
                             double stopRange)
{
    const double s = startRange + 2.0;
    if (!(stopRange >= s) || samples == nullptr || count <= 0 || !(d > 0.0))
        return -100.0;
    const std::int64_t stride = rawpower::Trunc((stopRange - s) / (20.0 * d));
    const std::int64_t first = rawpower::Trunc(s / d);
    std::int16_t words[kWordCount];
    for (int j = 0; j < kWordCount; ++j) {
        // The window may reach past the ping's samples: read the last one
        // rather than whatever lies behind the buffer.
        const std::int64_t i = std::clamp<std::int64_t>(first + j * stride, 0, count - 1);
        words[j] = samples[i];
    }
    const std::int16_t pivot = rawpower::DbToRaw(previousDb);
    const std::int16_t median = SelectKth(pivot, words, kMedianOrder);
    return median / rawpower::kUnitsPerDb;
}

std::int16_t CNoise::SelectKth(std::int16_t pivot, std::int16_t* a, int k)
{
    const int m = 2 * k + 1;
    if (a == nullptr || k < 0)
        return pivot;
    // Words greater than the pivot to the front.
    int greater = 0;
    for (int i = 0; i < m; ++i)
        if (a[i] > pivot)
            std::swap(a[i], a[greater++]);

    std::int16_t result = pivot;
    if (greater > k) {
        // Too many above the pivot: drop the smallest of them until k remain;
        // the last one dropped has exactly k words above it.
        int front = greater;
        while (front > k) {
            const auto low = std::min_element(a, a + front);
            result = *low;
            std::swap(*low, a[front - 1]);
            --front;
        }
    } else {
        // Too few: take the largest of the rest until only k lie below.
        int taken = greater;
        while (m - taken > k) {
            const auto high = std::max_element(a + taken, a + m);
            result = *high;
            std::swap(*high, a[taken]);
            ++taken;
        }
    }
    return result;
}
