// Fish size from target strength: length = 10 ^ ((TS - b) / 20), where b
// is the constant of the chosen species less the operator's correction
// for it. Kept under the registry key "Fish".
#pragma once

#include "base/RegistrySupport.h"
#include "platform/WinTypes.h"

#include <array>

class IDetectionDialogs;

class CFish
{
public:
    enum Species : int { Whitefish = 0, Herring = 1, Anchovy = 2, Mackerel = 3 };
    static constexpr int kSpeciesCount = 4;
    static constexpr double kDefaultConvert = -62.0;
    static constexpr const char* kKeyName = "Fish";

    // What the dialog edits: the species and the four corrections (dB)
    // in species order.
    struct DialogValues
    {
        int Type = Whitefish;
        std::array<double, kSpeciesCount> Offsets{};
    };

    // The species constant (dB); -62 for a type outside the table.
    static double ConvertValueOf(int type);

    // Opens (creating if needed) "Fish" under the user root and loads it.
    // Without dialogs ShowDialog only saves the settings.
    explicit CFish(HKEY userRoot = CRegistrySupport::UserRootKey(), IDetectionDialogs* dialogs = nullptr);
    ~CFish();
    CFish(const CFish&) = delete;
    CFish& operator=(const CFish&) = delete;

    void LoadSettings(HKEY key);
    void SaveSettings(HKEY key);
    // Runs the dialog; FALSE when the key is not open.
    BOOL ShowDialog();

    // b: convert value less the current offset.
    double GetConstant() const { return m_convertValue - m_currentOffset; }
    double GetLength(double ts) const;
    static double LengthFromTs(double ts, double constant);

    int GetType() const { return m_type; }
    double GetConvertValue() const { return m_convertValue; }
    double GetCurrentOffset() const { return m_currentOffset; }
    double GetOffset(int type) const;
    HKEY GetKey() const { return m_key; }

private:
    double* OffsetSlot(int type);

    IDetectionDialogs* m_dialogs;
    CRegistrySupport m_registry;
    HKEY m_root = nullptr;
    HKEY m_key = nullptr;
    double m_convertValue = kDefaultConvert;
    std::int32_t m_type = Whitefish;
    double m_mackerelOffset = 0.0;
    double m_herringOffset = 0.0;
    double m_anchovyOffset = 0.0;
    double m_whitefishOffset = 0.0;
    double m_currentOffset = 0.0;
};
