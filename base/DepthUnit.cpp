#include "base/DepthUnit.h"

#include "base/RegistrySupport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <span>

namespace {

struct UnitRecord
{
    double factor;  // value in the unit = metres x factor
    const char* symbol;
    const char* format;
    const char* name;
    std::span<const double> surfaceRange;
    std::span<const double> surfaceStart;
    std::span<const double> bottomRange;
    std::span<const double> bottomStart;
    std::span<const double> fineStep;
};

constexpr double kMeterSurfaceRange[] = {1,   2,   3,   4,   5,   10,   15,   25,   50,   75,   100,   150,  200,
                                         250, 300, 400, 500, 750, 1000, 1500, 2500, 5000, 7500, 10000, 15000};
constexpr double kMeterSurfaceStart[] = {0,   2,   5,   7,   10,   15,   25,   50,   75,   100,
                                         150, 250, 500, 750, 1000, 1500, 2500, 5000, 7500, 10000};
constexpr double kMeterBottomRange[] = {5,   10,  15,  25,  50,   75,   100,  150,  200, 250,
                                        300, 400, 500, 750, 1000, 1500, 2500, 5000, 7500};
constexpr double kMeterBottomStart[] = {-50, -20, -15, -10, -7, -5, -3, -2, -1, 0, 1, 2, 3, 5, 7, 10, 15, 20, 50};
constexpr double kMeterFineStep[] = {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.8, 1, 1.2, 1.5, 2, 2.5, 5, 7.5, 10, 15, 20};

constexpr double kFeetSurfaceRange[] = {15,   25,   50,   75,   100,  150,   250,   400,   600,   800,  1000,
                                        1200, 1500, 2500, 5000, 7500, 10000, 15000, 25000, 50000, 75000};
constexpr double kFeetSurfaceStart[] = {0,   10,   15,   25,   50,   75,   100,   150,   250,   500,
                                        750, 1000, 1500, 2500, 5000, 7500, 10000, 15000, 25000, 50000};
constexpr double kFeetBottomRange[] = {15,   25,   50,   75,   100,  150,  250,   400,   600,  800,
                                       1000, 1200, 1500, 2500, 5000, 7500, 10000, 15000, 25000};
constexpr double kFeetBottomStart[] = {-100, -50, -25, -15, -10, -8, -6, -4, -2, 0, 2, 4, 6, 8, 10, 15, 25, 50, 100};
constexpr double kFeetFineStep[] = {0, 0.5, 1, 1.5, 2, 2.5, 3, 4, 5, 6, 7, 8, 10, 15, 25, 30, 50, 75};

// Fathoms and passi braccia share their presets.
constexpr double kNauticalSurfaceRange[] = {2,   5,   7,   10,  15,   25,   50,   75,   100,  125,  150,
                                            200, 250, 500, 750, 1000, 1500, 2500, 5000, 7500, 10000};
constexpr double kNauticalSurfaceStart[] = {0,   1,   2,   5,   7,   10,   15,   25,   50,   75,
                                            100, 150, 250, 500, 750, 1000, 1500, 2500, 5000, 7500};
constexpr double kNauticalBottomRange[] = {2,   5,   7,   10,  15,  25,   50,   75,   100, 125,
                                           150, 200, 250, 500, 750, 1000, 1500, 2500, 5000};
constexpr double kNauticalBottomStart[] = {-20, -10, -8, -6, -5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5, 6, 8, 10, 20};
constexpr double kNauticalFineStep[] = {0,   0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8,
                                        0.9, 1,   1.2, 1.5, 2,   2.5, 5,   7.5, 10};

const std::array<UnitRecord, CDepthUnit::kUnitCount> kUnits = {{
    {1.0, " m", "%03.0f", "Meter", kMeterSurfaceRange, kMeterSurfaceStart, kMeterBottomRange, kMeterBottomStart,
     kMeterFineStep},
    {3.280839895013123, " ft", "%03.0f", "Feet", kFeetSurfaceRange, kFeetSurfaceStart, kFeetBottomRange,
     kFeetBottomStart, kFeetFineStep},
    {1.0 / 1.8288, " ftm", "%03.0f", "Fathoms", kNauticalSurfaceRange, kNauticalSurfaceStart, kNauticalBottomRange,
     kNauticalBottomStart, kNauticalFineStep},
    {1.0 / 1.65, " pb", "%03.0f", "Passi Braccia", kNauticalSurfaceRange, kNauticalSurfaceStart, kNauticalBottomRange,
     kNauticalBottomStart, kNauticalFineStep},
}};

std::atomic<int> g_unit{CDepthUnit::kMeter};

const UnitRecord& Current()
{
    return kUnits[static_cast<size_t>(g_unit.load(std::memory_order_relaxed))];
}

std::span<const double> RangeTable(int mode)
{
    return mode == CDepthUnit::kModeBottom ? Current().bottomRange : Current().surfaceRange;
}

std::span<const double> StartTable(int mode)
{
    return mode == CDepthUnit::kModeBottom ? Current().bottomStart : Current().surfaceStart;
}

double At(std::span<const double> table, int index)
{
    const int last = static_cast<int>(table.size()) - 1;
    return table[static_cast<size_t>(std::clamp(index, 0, last))];
}

int Nearest(std::span<const double> table, double value)
{
    const int last = static_cast<int>(table.size()) - 1;
    int i = 0;
    while (i < last && !(value < table[static_cast<size_t>(i)]))
        ++i;
    if (i == 0)
        return 0;
    const double below = value - table[static_cast<size_t>(i - 1)];
    const double above = table[static_cast<size_t>(i)] - value;
    return below < above ? i - 1 : i;
}

}  // namespace

int CDepthUnit::SetUnit(int index)
{
    if (index >= 0 && index < kUnitCount)
        g_unit.store(index, std::memory_order_relaxed);
    return index;
}

int CDepthUnit::GetUnit()
{
    return g_unit.load(std::memory_order_relaxed);
}

double CDepthUnit::FromMeters(double meters)
{
    return meters * Current().factor;
}

double CDepthUnit::ToMeters(double value)
{
    return value / Current().factor;
}

std::string CDepthUnit::GetUnitSymbol()
{
    return Current().symbol;
}

std::string CDepthUnit::GetNumberFormat()
{
    return Current().format;
}

std::string CDepthUnit::GetUnitName(int index)
{
    if (index < 0 || index >= kUnitCount)
        return {};
    return kUnits[static_cast<size_t>(index)].name;
}

double CDepthUnit::GetRange(int index, int mode)
{
    return mode == kModeNone ? 0.0 : At(RangeTable(mode), index);
}

double CDepthUnit::GetRangeStart(int index, int mode)
{
    return mode == kModeNone ? 0.0 : At(StartTable(mode), index);
}

double CDepthUnit::GetFineStep(int index)
{
    return At(Current().fineStep, index);
}

int CDepthUnit::GetRangeCount(int mode)
{
    return mode == kModeNone ? 0 : static_cast<int>(RangeTable(mode).size()) - 1;
}

int CDepthUnit::GetRangeStartCount(int mode)
{
    return mode == kModeNone ? 0 : static_cast<int>(StartTable(mode).size()) - 1;
}

int CDepthUnit::GetFineStepCount()
{
    return static_cast<int>(Current().fineStep.size()) - 1;
}

int CDepthUnit::FindRange(double value, int mode)
{
    return mode == kModeNone ? 0 : Nearest(RangeTable(mode), value);
}

int CDepthUnit::FindRangeStart(double value, int mode)
{
    return mode == kModeNone ? 0 : Nearest(StartTable(mode), value);
}

int CDepthUnit::FindFineStep(double value)
{
    return Nearest(Current().fineStep, value);
}

BOOL CDepthUnit::ReadSetting(CRegistrySupport& registry, HKEY root)
{
    DWORD unit = kMeter;
    const BOOL read = registry.GetDword(root, kRegistryKey, kRegistryValue, unit, TRUE);
    if (read && unit < static_cast<DWORD>(kUnitCount))
        SetUnit(static_cast<int>(unit));
    return read;
}

BOOL CDepthUnit::WriteSetting(CRegistrySupport& registry, HKEY root)
{
    return registry.SetDword(root, kRegistryKey, kRegistryValue, static_cast<DWORD>(GetUnit()));
}
