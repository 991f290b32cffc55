// Numbers to and from text, always in the C locale.
//
// Settings, telegrams and files carry numbers with a decimal point whatever
// language the user runs; a comma-decimal process locale (set by Qt or by the
// language switch) must never leak into them.
#pragma once

#include <cstdarg>
#include <string>

class CNumberText
{
public:
    // printf-style formatting in the C locale ("%f", "%.3f", "%d", "%s" ...).
    static std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static std::string FormatV(const char* format, va_list args);

    // "%f" of the value, and "%.Nf" with N decimals (N clamped to 0..17).
    static std::string Fixed(double value);
    static std::string Fixed(double value, int decimals);

    // strtod in the C locale: skips leading white space, reads as much as can
    // form a number and stops at the first character that cannot continue
    // it. end (when given) receives the stop position; no number at all
    // gives 0.0 with end == text. A null text gives 0.0.
    static double ParseDouble(const char* text, const char** end = nullptr);
    static double ParseDouble(const std::string& text, size_t* consumed = nullptr);
    // As ParseDouble, but false for a value that is no finite number ("nan",
    // "inf", or beyond the range of a double); value is left as it was then.
    static bool ParseFiniteDouble(const std::string& text, double& value);

    // strtol in the C locale, same stop rule; base as for strtol. Values out
    // of range clamp to the limits of long.
    static long ParseLong(const char* text, const char** end = nullptr, int base = 10);
    static long ParseLong(const std::string& text, size_t* consumed = nullptr, int base = 10);
    static unsigned long ParseULong(const char* text, const char** end = nullptr, int base = 10);

    // The value of a hexadecimal digit of either case, -1 for another character.
    static int HexDigit(char c);

    // True when the whole text (white space around it allowed) is one
    // number; value receives it.
    static bool TryParseDouble(const std::string& text, double& value);
    static bool TryParseLong(const std::string& text, long& value, int base = 10);

    // The value without its fraction as an int; false (value unchanged) for
    // what is not a number or lies outside the range of int.
    static bool TruncateToInt(double number, int& value);
};
