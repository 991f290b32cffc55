#include "display/ui/RangePresets.h"

#include "base/DepthUnit.h"

#include <algorithm>
#include <cmath>

namespace rangepresets {

CRangeDialog::Presets RangePresets(int table)
{
    return {[table](int i) { return CDepthUnit::GetRange(i, table); }, CDepthUnit::GetRangeCount(table),
            [table](double v) { return CDepthUnit::FindRange(v, table); }};
}

CRangeDialog::Presets StartPresets(int table)
{
    return {[table](int i) { return CDepthUnit::GetRangeStart(i, table); }, CDepthUnit::GetRangeStartCount(table),
            [table](double v) { return CDepthUnit::FindRangeStart(v, table); }};
}

CRangeDialog::Presets FineStepPresets()
{
    return {[](int i) { return CDepthUnit::GetFineStep(i); }, CDepthUnit::GetFineStepCount(),
            [](double v) { return CDepthUnit::FindFineStep(v); }};
}

CRangeDialog::Presets DegreePresets()
{
    return {[](int i) { return static_cast<double>(std::clamp(i, 0, 90)); }, 90,
            [](double v) { return std::isfinite(v) ? static_cast<int>(std::clamp(std::trunc(v), 0.0, 90.0)) : 0; }};
}

QString UnitText()
{
    return QString::fromStdString(CDepthUnit::GetUnitSymbol());
}

}  // namespace rangepresets
