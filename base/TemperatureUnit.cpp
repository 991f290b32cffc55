#include "base/TemperatureUnit.h"

#include "base/RegistrySupport.h"
#include "platform/NumberText.h"

#include <atomic>

namespace {

std::atomic<int> g_unit{CTemperatureUnit::kCelsius};

}  // namespace

int CTemperatureUnit::SetUnit(int index)
{
    if (index == kCelsius || index == kFahrenheit)
        g_unit.store(index, std::memory_order_relaxed);
    return index;
}

int CTemperatureUnit::GetUnit()
{
    return g_unit.load(std::memory_order_relaxed);
}

std::string CTemperatureUnit::FormatTemperature(double celsius)
{
    if (GetUnit() == kFahrenheit)
        return CNumberText::Format("%3.1f \xC2\xB0"
                                   "F",
                                   celsius * 1.8 + 32.0);
    return CNumberText::Format("%3.1f \xC2\xB0"
                               "C",
                               celsius);
}

std::string CTemperatureUnit::GetUnitName(int index)
{
    return index == kFahrenheit ? "Fahrenheit" : "Celsius";
}

BOOL CTemperatureUnit::ReadSetting(CRegistrySupport& registry, HKEY root)
{
    DWORD unit = kCelsius;
    const BOOL read = registry.GetDword(root, kRegistryKey, kRegistryValue, unit, TRUE);
    if (read && unit <= static_cast<DWORD>(kFahrenheit))
        SetUnit(static_cast<int>(unit));
    return read;
}

BOOL CTemperatureUnit::WriteSetting(CRegistrySupport& registry, HKEY root)
{
    return registry.SetDword(root, kRegistryKey, kRegistryValue, static_cast<DWORD>(GetUnit()));
}
