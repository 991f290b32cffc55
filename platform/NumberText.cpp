#include "platform/NumberText.h"

#include <algorithm>
#include <cctype>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <vector>

namespace {

// One C locale object for the process; glibc's *_l functions and uselocale
// take it without touching the global or any other thread's locale.
locale_t CLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Switches the calling thread to the C locale for one formatting call.
class CThreadCLocale
{
public:
    CThreadCLocale() : m_previous(uselocale(CLocale())) {}
    ~CThreadCLocale() { uselocale(m_previous); }
    CThreadCLocale(const CThreadCLocale&) = delete;
    CThreadCLocale& operator=(const CThreadCLocale&) = delete;

private:
    locale_t m_previous;
};

// True when nothing but white space follows position pos; an embedded NUL
// is not white space, so "1\0junk" is not a whole number.
bool OnlySpaceFrom(const std::string& text, size_t pos)
{
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(pos), text.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

std::string CNumberText::FormatV(const char* format, va_list args)
{
    if (format == nullptr)
        return {};
    CThreadCLocale cLocale;
    char small[256];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return {};
    if (static_cast<size_t>(needed) < sizeof small)
        return std::string(small, static_cast<size_t>(needed));
    std::vector<char> big(static_cast<size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(needed));
}

std::string CNumberText::Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::string out = FormatV(format, args);
    va_end(args);
    return out;
}

std::string CNumberText::Fixed(double value)
{
    return Format("%f", value);
}

std::string CNumberText::Fixed(double value, int decimals)
{
    return Format("%.*f", std::clamp(decimals, 0, 17), value);
}

double CNumberText::ParseDouble(const char* text, const char** end)
{
    if (text == nullptr) {
        if (end != nullptr)
            *end = text;
        return 0.0;
    }
    char* stop = nullptr;
    const double value = strtod_l(text, &stop, CLocale());
    if (end != nullptr)
        *end = stop;
    return value;
}

double CNumberText::ParseDouble(const std::string& text, size_t* consumed)
{
    const char* end = nullptr;
    const double value = ParseDouble(text.c_str(), &end);
    if (consumed != nullptr)
        *consumed = static_cast<size_t>(end - text.c_str());
    return value;
}

bool CNumberText::ParseFiniteDouble(const std::string& text, double& value)
{
    const double parsed = ParseDouble(text);
    if (!std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

long CNumberText::ParseLong(const char* text, const char** end, int base)
{
    if (text == nullptr) {
        if (end != nullptr)
            *end = text;
        return 0;
    }
    char* stop = nullptr;
    const long value = strtol_l(text, &stop, base, CLocale());
    if (end != nullptr)
        *end = stop;
    return value;
}

long CNumberText::ParseLong(const std::string& text, size_t* consumed, int base)
{
    const char* end = nullptr;
    const long value = ParseLong(text.c_str(), &end, base);
    if (consumed != nullptr)
        *consumed = static_cast<size_t>(end - text.c_str());
    return value;
}

unsigned long CNumberText::ParseULong(const char* text, const char** end, int base)
{
    if (text == nullptr) {
        if (end != nullptr)
            *end = text;
        return 0;
    }
    char* stop = nullptr;
    const unsigned long value = strtoul_l(text, &stop, base, CLocale());
    if (end != nullptr)
        *end = stop;
    return value;
}

bool CNumberText::TryParseDouble(const std::string& text, double& value)
{
    const char* end = nullptr;
    const double parsed = ParseDouble(text.c_str(), &end);
    if (end == text.c_str() || !OnlySpaceFrom(text, static_cast<size_t>(end - text.c_str())))
        return false;
    value = parsed;
    return true;
}

bool CNumberText::TryParseLong(const std::string& text, long& value, int base)
{
    const char* end = nullptr;
    const long parsed = ParseLong(text.c_str(), &end, base);
    if (end == text.c_str() || !OnlySpaceFrom(text, static_cast<size_t>(end - text.c_str())))
        return false;
    value = parsed;
    return true;
}

bool CNumberText::TruncateToInt(double number, int& value)
{
    // Compared before the conversion: converting a double that does not fit
    // is undefined, and NaN fails both comparisons.
    if (!(number > -2147483649.0 && number < 2147483648.0))
        return false;
    value = static_cast<int>(number);
    return true;
}

int CNumberText::HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
