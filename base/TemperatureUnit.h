// The unit water temperatures are shown in. Temperatures are kept in
// degrees Celsius; the selection (Celsius or Fahrenheit) is process-wide.
#pragma once

#include "platform/Registry.h"
#include "platform/WinTypes.h"

#include <string>

class CRegistrySupport;

// String-table ids of the texts; the texts below are used until a language
// library supplies its own.
constexpr UINT IDS_TEMPERATURE_FAHRENHEIT_FORMAT = 45117;  // "%3.1f °F"
constexpr UINT IDS_TEMPERATURE_CELSIUS_FORMAT = 45118;     // "%3.1f °C"
constexpr UINT IDS_TEMPERATURE_FAHRENHEIT = 45082;         // "Fahrenheit"
// "Celsius" is the water temperature pane's string, app::ids::WATER_TEMPERATURE.

class CTemperatureUnit
{
public:
    static constexpr int kCelsius = 0, kFahrenheit = 1;

    // Selects the unit when index is 0 or 1; returns the argument.
    static int SetUnit(int index);
    static int GetUnit();

    // The temperature with one decimal and the unit's symbol, always with a
    // decimal point.
    static std::string FormatTemperature(double celsius);
    // 1: "Fahrenheit"; anything else: "Celsius".
    static std::string GetUnitName(int index);

    // The selection kept as the double word "Temperature" under the key
    // "Units" of root, read and written as the depth unit's.
    static constexpr const char* kRegistryKey = "Units";
    static constexpr const char* kRegistryValue = "Temperature";
    static BOOL ReadSetting(CRegistrySupport& registry, HKEY root);
    static BOOL WriteSetting(CRegistrySupport& registry, HKEY root);
};
