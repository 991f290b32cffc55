#include "engine/ColorScaleSettings.h"

#include "base/Archive.h"
#include "engine/RawPower.h"

#include <algorithm>
#include <cmath>
#include <utility>

CColorScaleSettings::CColorScaleSettings(std::string name) : m_name(std::move(name)) {}

CColorScaleSettings::~CColorScaleSettings()
{
    // The channel goes with its sounder (a stop, a replay's next file) while
    // the operator may still have the dialog open.
    CModalSession::EndAll(m_dialog);
}

CColorScaleSettings::CColorScaleSettings(const CColorScaleSettings& other)
    : m_name(other.m_name),
      m_interval(other.m_interval),
      m_levels(other.m_levels),
      m_limit40Log(other.m_limit40Log),
      m_changed(other.m_changed)
{}

CColorScaleSettings& CColorScaleSettings::operator=(const CColorScaleSettings& other)
{
    m_name = other.m_name;
    m_interval = other.m_interval;
    m_levels = other.m_levels;
    m_limit40Log = other.m_limit40Log;
    m_changed = other.m_changed;
    return *this;
}

double CColorScaleSettings::GetValueBySelector(int selector) const
{
    return GetLevel(PlaceOfSelector(selector));
}

void CColorScaleSettings::SetValueBySelector(int selector, double levelDb)
{
    SetLevel(PlaceOfSelector(selector), levelDb);
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

ColorScaleDialogValues CColorScaleSettings::MakeDialogValues(ColorScaleDialogKind kind) const
{
    ColorScaleDialogValues v;
    v.kind = kind;
    const auto places = DialogPlaces(kind);
    for (int row = 0; row < ColorScaleDialogValues::kRows; ++row) {
        if (places[row] == 0)
            continue;
        // A layout may hold any finite level, far beyond what an int holds;
        // one step outside 0..100 is as wrong as any, and the dialog refuses
        // it on OK until the operator puts it right.
        const double shown = std::clamp(0.5 - GetLevel(places[row]), -1.0, 101.0);
        v.values[row] = static_cast<int>(std::trunc(shown));
    }
    v.limitRegulation = GetLimit40Log();
    return v;
}

void CColorScaleSettings::TakeDialogValues(const ColorScaleDialogValues& v)
{
    const auto places = DialogPlaces(v.kind);
    for (int row = 0; row < ColorScaleDialogValues::kRows; ++row)
        if (places[row] != 0)
            SetLevel(places[row], -static_cast<double>(v.values[row]));
    if (v.kind == ColorScaleDialogKind::RM30)
        SetLimit40Log(v.limitRegulation);
}

void CColorScaleSettings::Serialize(CArchive& ar)
{
    auto& l = m_levels;
    if (ar.IsStoring()) {
        ar << l[0] << l[1] << l[2] << l[3] << m_interval << static_cast<LONG>(m_limit40Log) << l[4] << l[5];
        return;
    }
    std::array<double, kLevelCount> levels;
    double interval;
    LONG limit = 0;
    ar >> levels[0] >> levels[1] >> levels[2] >> levels[3] >> interval >> limit >> levels[4] >> levels[5];
    if (!std::isfinite(interval) ||
        !std::all_of(levels.begin(), levels.end(), [](double v) { return std::isfinite(v); }))
        return;
    m_levels = levels;
    m_interval = interval;
    SetLimit40Log(limit != 0);
}
