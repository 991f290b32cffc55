#include "plot/AxisFormat.h"

#include <algorithm>
#include <charconv>

void CAxisFormat::SetDecimals(int decimals)
{
    m_decimals = std::clamp(decimals, 0, kMaxDecimals);
}

std::string CAxisFormat::Format(double value, int selector) const
{
    switch (selector) {
    case Number:
        return Fixed(value, m_decimals);
    case WithUnit:
        return Fixed(value, m_decimals) + " " + m_unit;
    case WithCaption:
        return m_caption + ": " + Fixed(value, m_decimals) + " " + m_unit;
    default:
        return {};
    }
}

double CAxisFormat::Rounded(double value) const
{
    const std::string text = Fixed(value, m_decimals);
    double rounded = value;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return rounded;
}

std::string CAxisFormat::Fixed(double value, int decimals)
{
    // The largest double has 309 integer digits.
    char text[400];
    const int precision = std::clamp(decimals, 0, kMaxDecimals);
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, precision);
    return std::string(text, result.ptr);
}
