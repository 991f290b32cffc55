#include "plot/RulerText.h"

#include "plot/AxisFormat.h"
#include "plot/AxisScale.h"

#include <cmath>

namespace ruler {

int LabelCapacity(int length, int sampleWidth)
{
    if (length <= 0 || sampleWidth <= 0)
        return 0;
    return (length - 1) / sampleWidth + 1;
}

std::string HorizontalLabel(double value)
{
    const double whole = std::trunc(value);
    // Values beyond the int range are written in full rather than wrapped.
    return whole == 0.0 ? std::string("0") : CAxisFormat::Fixed(whole, 0);
}

std::string VerticalLabel(double value, int exponent)
{
    const double whole = std::trunc(value);
    if (whole != 0.0)
        return CAxisFormat::Fixed(std::fabs(whole), 0);
    return CAxisFormat::Fixed(std::fabs(value * CAxisScale::PowerOfTen(-exponent)), 1);
}

bool HorizontalLabelVisible(int x, int h, int left, int startOffset, int right, int captionWidth)
{
    return x - h > left + startOffset && x + h < right - captionWidth;
}

bool VerticalLabelVisible(int y, int h, int top, int startOffset, int bottom, int captionWidth)
{
    return y + h < bottom && y - h > top + startOffset + captionWidth;
}

double MinorTickValue(double value, double step, int exponent, int side)
{
    return (value * CAxisScale::PowerOfTen(-exponent) + side * step / 2.0) * CAxisScale::PowerOfTen(exponent);
}

}  // namespace ruler
