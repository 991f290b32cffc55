#include "engine/EchogramColumn.h"

#include "engine/RawPower.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace echogram {

using rawpower::kNoEcho;
using rawpower::Round;

namespace {

// k * num / den for k = k0, k0 + 1, ... (num >= 0, den > 0, k0 >= 0), one
// addition a step instead of a division: the quotient and remainder of
// num / den are added and the remainder carried.
class CQuotientStep
{
public:
    CQuotientStep(std::int64_t num, std::int64_t den, std::int64_t k0 = 0)
        : m_den(den),
          m_stepQuotient(num / den),
          m_stepRemainder(num % den),
          m_quotient(k0 * num / den),
          m_remainder(k0 * num % den)
    {}
    std::int64_t Quotient() const { return m_quotient; }
    void Next()
    {
        m_quotient += m_stepQuotient;
        m_remainder += m_stepRemainder;
        if (m_remainder >= m_den) {
            m_remainder -= m_den;
            ++m_quotient;
        }
    }

private:
    std::int64_t m_den, m_stepQuotient, m_stepRemainder, m_quotient, m_remainder;
};

}  // namespace

void ResampleColumn(const std::int16_t* samples, int count, double d, double start, double length, std::int16_t* out,
                    int n)
{
    if (n <= 0 || !out)
        return;
    std::fill_n(out, n, kNoEcho);
    if (!(length > 0.0) || !(d > 0.001) || !samples || count <= 0)
        return;
    const double range = count * d;
    if (start >= range || start + length <= 0.0)
        return;

    const double span = std::max(length, 1.0);
    std::int64_t m = Round(span / d);
    if (m <= 0)
        m = 100;
    // A window of absurd length from a damaged layout must not overflow the
    // pixel arithmetic below; no column is ever a billion samples long.
    m = std::min<std::int64_t>(m, 1'000'000'000);
    const std::int64_t startSample = Round(start / d);
    const std::int64_t first = std::max<std::int64_t>(startSample, 0);
    const std::int64_t last = std::min<std::int64_t>(Round(std::min(start + span, range) / d), count);
    const std::int64_t taken = last - first;
    if (taken <= 0)
        return;
    const std::int64_t pixel0 = start < 0.0 ? rawpower::Trunc(-start * n / span) : (first - startSample) * n / m;

    if (m < 2 * static_cast<std::int64_t>(n)) {
        // Fewer than two samples a pixel: draw each sample over ceil(n/m)
        // pixels, stepping towards its successor. Sample j starts at pixel
        // pixel0 + j * n / m and pixel t of its run takes a + (b - a) * t /
        // width; both are stepped, not divided, for every pixel.
        if (m == n) {
            // One sample a pixel: the words themselves.
            const std::int64_t k = std::min(taken, n - pixel0);
            if (k > 0)
                std::copy_n(samples + first, k, out + pixel0);
            return;
        }
        const std::int64_t width = (n + m - 1) / m;
        const auto w32 = static_cast<std::uint32_t>(width);
        CQuotientStep pixelOf(n, m);
        for (std::int64_t j = 0; j < taken; ++j, pixelOf.Next()) {
            const std::int64_t p = pixel0 + pixelOf.Quotient();
            if (p >= n)
                break;
            const int a = samples[first + j];
            if (width == 1) {
                out[p] = static_cast<std::int16_t>(a);
                continue;
            }
            const int b = (first + j + 1 < count) ? samples[first + j + 1] : a;
            const std::int64_t run = std::min(width, n - p);
            // The division truncates towards zero: step the magnitude. One
            // 32-bit division a sample gives the step; a pixel costs adds.
            const int sign = b < a ? -1 : 1;
            const auto magnitude = static_cast<std::uint32_t>((b - a) * sign);
            const std::uint32_t stepQuotient = magnitude / w32;
            const std::uint32_t stepRemainder = magnitude % w32;
            std::uint32_t quotient = 0;
            std::uint32_t remainder = 0;
            for (std::int64_t t = 0; t < run; ++t) {
                out[p + t] = static_cast<std::int16_t>(a + sign * static_cast<int>(quotient));
                quotient += stepQuotient;
                remainder += stepRemainder;
                if (remainder >= w32) {
                    remainder -= w32;
                    ++quotient;
                }
            }
        }
        return;
    }

    // Several samples a pixel: mean of linear power, back in raw units. A
    // pixel that only covers no-echo samples stays no echo. Pixel k of the
    // window covers samples first + k * m / n up to first + (k + 1) * m / n.
    const double* lin = rawpower::LinearTable();
    const std::int64_t p0 = std::max<std::int64_t>(pixel0, 0);
    CQuotientStep bound(m, n, p0 - pixel0);
    for (std::int64_t p = p0; p < n; ++p) {
        const std::int64_t lo = first + bound.Quotient();
        bound.Next();
        const std::int64_t hi = std::min(first + bound.Quotient(), last);
        if (lo >= hi)
            break;
        double sum = 0.0;
        bool any = false;
        for (std::int64_t i = lo; i < hi; ++i) {
            const std::int16_t v = samples[i];
            any |= v != kNoEcho;
            sum += lin[static_cast<std::uint16_t>(v)];
        }
        if (any)
            out[p] = rawpower::Saturate16(
                rawpower::Trunc(rawpower::kUnitsPerDecade * std::log10(sum / static_cast<double>(hi - lo))));
    }
}

void ResampleSlant(const std::int16_t* samples, int count, double d, double start, double length, double h,
                   std::int16_t* out, int n)
{
    if (n <= 0 || !out)
        return;
    std::fill_n(out, n, kNoEcho);
    if (!(length > 0.0) || !(d > 0.001) || !samples || count <= 0)
        return;
    for (int j = 0; j < n; ++j) {
        const double x = start + (j + 0.5) * length / n;
        if (x < 0.0)
            continue;
        const std::int64_t i = Round(std::sqrt(x * x + h * h) / d);
        if (i >= 0 && i < count)
            out[j] = samples[i];
    }
}

double FindLevelStep(const std::int16_t* samples, int count, int w)
{
    if (w < 1 || !samples || count <= 2 * w)
        return 0.0;
    // Prefix sums in dB make every window mean O(1).
    std::vector<double> prefix(static_cast<std::size_t>(count) + 1, 0.0);
    for (int i = 0; i < count; ++i)
        prefix[static_cast<std::size_t>(i) + 1] =
            prefix[static_cast<std::size_t>(i)] + samples[i] * rawpower::kDbPerUnit;
    auto mean = [&](int from, int to) {
        return (prefix[static_cast<std::size_t>(to)] - prefix[static_cast<std::size_t>(from)]) / (to - from);
    };
    double best = -600.0;
    double result = 0.0;
    for (int i = w; i < count - w; ++i) {
        const double a = mean(i, i + w);
        const double b = mean(i + w, std::min(i + 3 * w, count));
        const double score = a - 0.75 * b;
        if (score > best) {
            best = score;
            result = a;
        }
    }
    return result;
}

}  // namespace echogram
