#include "plot/AxisScale.h"

#include <cmath>
#include <numbers>

namespace {

// The smallest steps are the single-precision tenth and fifth; the tick
// positions of stored plots and of the rulers depend on it.
constexpr double kTenth = static_cast<double>(0.1f);
constexpr double kFifth = static_cast<double>(0.2f);

bool Between(double t, double a, double b)
{
    return a <= b ? (a <= t && t <= b) : (b <= t && t <= a);
}

}  // namespace

CAxisScale::CAxisScale(double firstPixel, double lastPixel, double firstValue, double lastValue)
    : m_firstPixel(firstPixel),
      m_lastPixel(lastPixel),
      m_firstValue(firstValue),
      m_lastValue(lastValue),
      m_k(firstPixel == lastPixel ? 0.0 : (lastValue - firstValue) / (lastPixel - firstPixel))
{}

double CAxisScale::ValueToPixel(double value) const
{
    if (m_k == 0.0)
        return m_firstPixel;
    return (value - m_firstValue) / m_k + m_firstPixel;
}

double CAxisScale::PixelToValue(double pixel) const
{
    if (m_k == 0.0)
        return m_firstValue;
    return (pixel - m_firstPixel) * m_k + m_firstValue;
}

int CAxisScale::DecimalExponent(double value)
{
    if (value == 0.0 || !std::isfinite(value))
        return 0;
    const double a = std::fabs(value);
    if (a >= 1.0)
        return static_cast<int>(std::log10(a));
    return -static_cast<int>(std::fabs(std::log10(a)) + 1.0);
}

double CAxisScale::PowerOfTen(int exponent)
{
    return std::exp(exponent * std::numbers::ln10);
}

double CAxisScale::FindTickStep(int n, double a, double b)
{
    if (n <= 0)
        return kTenth;
    const double r = std::fabs(a - b) / n;
    if (!(r > kTenth) || !std::isfinite(r))
        return kTenth;
    if (r <= kFifth)
        return kFifth;
    if (r <= 0.5)
        return 0.5;
    for (double decade = 1.0;; decade *= 10.0) {
        for (double m : {1.0, 2.0, 5.0}) {
            if (m * decade >= r)
                return m * decade;
        }
    }
}

CTickLayout CAxisScale::Layout(int largestCount) const
{
    CTickLayout layout;
    const double f = m_firstValue;
    const double l = m_lastValue;
    if (!std::isfinite(f) || !std::isfinite(l))
        return layout;
    int e = DecimalExponent(std::fabs(f) >= std::fabs(l) ? f : l);
    layout.exponent = e;
    if (f == l) {
        const size_t count = largestCount > 0 ? static_cast<size_t>(largestCount) : 0;
        layout.positions.assign(count, m_firstPixel);
        layout.values.assign(count, f);
        return layout;
    }
    double a = f * PowerOfTen(-e);
    double b = l * PowerOfTen(-e);
    while (std::fabs(a - b) < 0.2 && a < 100.0 && b < 100.0) {
        --e;
        a = f * PowerOfTen(-e);
        b = l * PowerOfTen(-e);
    }
    // Ranges at the ends of the double's span overflow while scaling.
    if (!std::isfinite(a) || !std::isfinite(b))
        return layout;
    layout.exponent = e;
    layout.step = FindTickStep(largestCount, a, b);
    BuildTicks(a, b, layout.step, e, layout);
    return layout;
}

void CAxisScale::BuildTicks(double a, double b, double s, int exponent, CTickLayout& layout) const
{
    layout.positions.clear();
    layout.values.clear();
    const double span = std::fabs(a - b);
    if (!(s > 0.0) || s > span || !std::isfinite(span))
        return;
    const double k = std::trunc(a / s);
    bool found = false;
    double t = 0.0;
    for (int i = -2; i <= 2; ++i) {
        const double c = (k + i) * s;
        if (Between(c, a, b) && (!found || std::fabs(c - a) < std::fabs(t - a))) {
            t = c;
            found = true;
        }
    }
    if (!found)
        return;
    // Far from zero t + s rounds off, back to t at worst: the span bounds
    // the count.
    const double most = std::floor(span / s) + 1.0;
    const double scale = PowerOfTen(exponent);
    const double move = b > a ? s : -s;
    while (Between(t, a, b) && static_cast<double>(layout.values.size()) < most) {
        const double value = t * scale;
        layout.values.push_back(value);
        layout.positions.push_back(ValueToPixel(value));
        const double next = t + move;
        if (next == t)
            break;
        t = next;
    }
}
