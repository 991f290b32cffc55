// The mapping between one axis' values and its pixels, and the ticks laid
// out along it.
#pragma once

#include <vector>

// Ticks of one axis: the decimal exponent e, the step in units of 10^e, and
// for every tick its pixel (not rounded) and its value.
struct CTickLayout
{
    int exponent = 0;
    double step = 0.0;
    std::vector<double> positions;
    std::vector<double> values;

    int GetCount() const { return static_cast<int>(values.size()); }
};

class CAxisScale
{
public:
    CAxisScale() = default;
    CAxisScale(double firstPixel, double lastPixel, double firstValue, double lastValue);

    double FirstPixel() const { return m_firstPixel; }
    double LastPixel() const { return m_lastPixel; }
    double FirstValue() const { return m_firstValue; }
    double LastValue() const { return m_lastValue; }

    // Equal pixels or equal values put every value on the first pixel.
    double ValueToPixel(double value) const;
    double PixelToValue(double pixel) const;

    // At most largestCount ticks (the labels a ruler can hold) in steps of
    // 1, 2 or 5 times a power of ten; none for a range that is not finite.
    CTickLayout Layout(int largestCount) const;

    // The step in scaled units for at most n ticks between a and b.
    static double FindTickStep(int n, double a, double b);
    static int DecimalExponent(double value);
    static double PowerOfTen(int exponent);

    // Ticks from a towards b (both scaled by 10^-exponent) in steps of s.
    void BuildTicks(double a, double b, double s, int exponent, CTickLayout& layout) const;

private:
    double m_firstPixel = 0.0;
    double m_lastPixel = 0.0;
    double m_firstValue = 0.0;
    double m_lastValue = 0.0;
    double m_k = 0.0;  // values per pixel
};
