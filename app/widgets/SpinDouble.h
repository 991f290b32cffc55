// Stepping of a floating-point value shown in a spin control's buddy field:
// the step grows with how long an arrow is held (the acceleration), and the
// shown precision follows the step.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace app {

struct SpinAcceleration
{
    unsigned seconds;    // held this long ...
    unsigned increment;  // ... the position moves by this much per step
};

class CSpinDoubleValue
{
public:
    static constexpr int kMinPrecision = -3;
    static constexpr int kMaxPrecision = 6;

    void SetRange(int precision, double minimum, double maximum);

    bool IsInitialised() const { return m_initialised; }
    int Precision() const { return m_precision; }
    double Minimum() const { return m_min; }
    double Maximum() const { return m_max; }
    double Value() const { return m_value; }
    void SetValue(double value) { m_value = value; }

    // precision + 6 entries; entry i after 3 x i seconds, increment i + 1.
    std::vector<SpinAcceleration> AccelerationTable() const;

    // One change of the spin by delta (positive upwards) on the buddy's
    // text; returns the buddy's new text ("????" before SetRange).
    std::string Step(std::string_view buddyText, int delta);

private:
    bool m_initialised = false;
    int m_precision = 0;
    double m_min = 0.0;
    double m_max = 0.0;
    double m_value = 0.0;
};

}  // namespace app
