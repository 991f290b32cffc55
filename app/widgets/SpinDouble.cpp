#include "app/widgets/SpinDouble.h"

#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace app {

void CSpinDoubleValue::SetRange(int precision, double minimum, double maximum)
{
    m_precision = std::clamp(precision, kMinPrecision, kMaxPrecision);
    m_min = minimum;
    m_max = maximum;
    if (m_value < m_min)
        m_value = m_min;
    else if (m_value > m_max)
        m_value = m_max;
    m_initialised = true;
}

std::vector<SpinAcceleration> CSpinDoubleValue::AccelerationTable() const
{
    std::vector<SpinAcceleration> table;
    for (int i = 0; i < m_precision + 6; ++i)
        table.push_back({static_cast<unsigned>(3 * i), static_cast<unsigned>(i + 1)});
    return table;
}

std::string CSpinDoubleValue::Step(std::string_view buddyText, int delta)
{
    if (!m_initialised)
        return "????";
    double value = CNumberText::ParseDouble(std::string(buddyText));
    const int k = std::abs(delta);
    const int digits = m_precision - k + 1;
    const double step = std::pow(10.0, -digits);
    if (digits < 0) {
        // Coarse steps land on a multiple of the step.
        value = CNumberText::ParseDouble(CNumberText::Fixed(value / step, 0)) * step;
    }
    if (delta > 0)
        value = std::min(value + step, m_max);
    else
        value = std::max(value - step, m_min);
    m_value = value;
    return CNumberText::Fixed(value, digits > 0 ? digits : 0);
}

}  // namespace app
