#include "plot/ListSort.h"

#include <cmath>
#include <limits>

namespace listsort {

int Sign(long long value)
{
    return (value > 0) - (value < 0);
}

long long LeadingWhole(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    constexpr long long kMax = std::numeric_limits<long long>::max();
    constexpr long long kMin = std::numeric_limits<long long>::min();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        // Accumulated on the side of its sign, so that the smallest value
        // is reached too.
        if (negative) {
            value = value < (kMin + digit) / 10 ? kMin : value * 10 - digit;
        } else {
            value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
        }
    }
    return value;
}

int CompareWhole(std::string_view a, std::string_view b)
{
    const long long x = LeadingWhole(a);
    const long long y = LeadingWhole(b);
    return (x > y) - (x < y);
}

int CompareTimes(double a, double b, std::optional<double> reference)
{
    if (reference) {
        a += a < *reference ? 1.0 : 0.0;
        b += b < *reference ? 1.0 : 0.0;
    }
    const double seconds = std::round((a - b) * 86400.0);
    return (seconds > 0.0) - (seconds < 0.0);
}

}  // namespace listsort
