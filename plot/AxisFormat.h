// Caption, unit and decimals of one plot axis, and the three ways a value of
// it is written: the number alone, the number with its unit, and caption,
// number and unit. Numbers are written the same whatever the locale.
#pragma once

#include <string>

class CAxisFormat
{
public:
    static constexpr int kMaxDecimals = 10;

    enum Selector {
        Number = 0,      // "2.500"
        WithUnit = 1,    // "2.500 m"
        WithCaption = 2  // "Depth: 2.500 m"
    };

    void SetCaption(std::string caption) { m_caption = std::move(caption); }
    void SetUnit(std::string unit) { m_unit = std::move(unit); }
    // Clamped to 0..kMaxDecimals.
    void SetDecimals(int decimals);

    const std::string& GetCaption() const { return m_caption; }
    const std::string& GetUnit() const { return m_unit; }
    int GetDecimals() const { return m_decimals; }

    // Empty for an unknown selector. Caption and unit appear as they stand.
    std::string Format(double value, int selector) const;

    // The value as format 0 writes it, read back: rounded to the decimals.
    double Rounded(double value) const;

    // value with a fixed number of decimals, as "%.*f" in the C locale.
    static std::string Fixed(double value, int decimals);

private:
    std::string m_caption;
    std::string m_unit;
    int m_decimals = 3;
};
