#include "engine/ColorScaleSettings.h"

#include "base/Archive.h"
#include "engine/RawPower.h"

#include <cmath>
#include <utility>

CColorScaleSettings::CColorScaleSettings(std::string name) : m_name(std::move(name)) {}

double CColorScaleSettings::GetValueBySelector(int selector) const
{
    switch (selector) {
    case 1:
        return m_start1;
    case 2:
        return m_start2;
    case 3:
        return m_start3;
    case 4:
        return m_start4;
    default:
        return m_defaultStart;
    }
}

void CColorScaleSettings::SetValueBySelector(int selector, double levelDb)
{
    switch (selector) {
    case 1:
        m_start1 = levelDb;
        break;
    case 2:
        m_start2 = levelDb;
        break;
    case 3:
        m_start3 = levelDb;
        break;
    case 4:
        m_start4 = levelDb;
        break;
    default:
        m_defaultStart = levelDb;
        break;
    }
}

void CColorScaleSettings::SetLimit40Log(bool on)
{
    const std::int32_t v = on ? 1 : 0;
    if (v != m_limit40Log) {
        m_limit40Log = v;
        m_changed = 1;
    }
}

bool CColorScaleSettings::TakeChangeFlag()
{
    return std::exchange(m_changed, 0) != 0;
}

void CColorScaleSettings::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_defaultStart << m_start1 << m_further << m_start3 << m_interval << static_cast<LONG>(m_limit40Log)
           << m_start4 << m_start2;
        return;
    }
    double defaultStart, start1, further, start3, interval, start4, start2;
    LONG limit = 0;
    ar >> defaultStart >> start1 >> further >> start3 >> interval >> limit >> start4 >> start2;
    for (double v : {defaultStart, start1, further, start3, interval, start4, start2})
        if (!std::isfinite(v))
            return;
    m_defaultStart = defaultStart;
    m_start1 = start1;
    m_further = further;
    m_start3 = start3;
    m_interval = interval;
    m_start4 = start4;
    m_start2 = start2;
    SetLimit40Log(limit != 0);
}
