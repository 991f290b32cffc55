// Echo power travels through the engine as signed 16-bit words on a
// logarithmic scale: 256 units per doubling of power, i.e. 85.0413592 units
// per dB. These helpers keep the rounding rules in one place: round() takes
// halves away from zero, trunc() drops the fraction, and every conversion
// into a 16-bit word saturates instead of wrapping, because a wrapped sum
// turns the strongest echo of a ping into the weakest.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace rawpower {

constexpr double kUnitsPerDb = 85.0413592;
constexpr double kDbPerUnit = 0.011758984;
// Ten times kUnitsPerDb: units per factor ten of linear power.
constexpr double kUnitsPerDecade = 850.413592;
constexpr std::int16_t kNoEcho = -20000;
constexpr double kNoEchoDb = -235.17968;
// 4 pi 1852^2: from backscattering per square metre to per square nautical
// mile.
constexpr double kFourPiNmiSquared = 43101444.7864224;

// Whole number nearest to x with halves away from zero, as a 64-bit value
// that never overflows (NaN gives 0, infinities saturate).
inline std::int64_t Round(double x)
{
    if (std::isnan(x))
        return 0;
    constexpr double lim = 9.0e18;
    if (x > lim)
        return static_cast<std::int64_t>(lim);
    if (x < -lim)
        return -static_cast<std::int64_t>(lim);
    return static_cast<std::int64_t>(x >= 0.0 ? x + 0.5 : x - 0.5);
}

// x without its fraction, saturated like Round.
inline std::int64_t Trunc(double x)
{
    if (std::isnan(x))
        return 0;
    constexpr double lim = 9.0e18;
    if (x > lim)
        return static_cast<std::int64_t>(lim);
    if (x < -lim)
        return -static_cast<std::int64_t>(lim);
    return static_cast<std::int64_t>(x);
}

inline std::int16_t Saturate16(std::int64_t v)
{
    if (v > std::numeric_limits<std::int16_t>::max())
        return std::numeric_limits<std::int16_t>::max();
    if (v < std::numeric_limits<std::int16_t>::min())
        return std::numeric_limits<std::int16_t>::min();
    return static_cast<std::int16_t>(v);
}

inline int ClampToInt(std::int64_t v)
{
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

// dB to raw units, truncated and saturated.
inline std::int16_t DbToRaw(double db)
{
    return Saturate16(Trunc(db * kUnitsPerDb));
}

inline double RawToDb(std::int16_t raw)
{
    return raw * kDbPerUnit;
}

// Linear power to raw units; zero or negative power is no echo.
inline std::int16_t PowerToRaw(double power)
{
    if (!(power > 0.0))
        return kNoEcho;
    return Saturate16(Trunc(kUnitsPerDecade * std::log10(power)));
}

// Linear power of every possible raw word, so that averaging a column does
// not cost a pow() per sample.
const double* LinearTable();
inline double RawToLinear(std::int16_t raw)
{
    return LinearTable()[static_cast<std::uint16_t>(raw)];
}

}  // namespace rawpower
