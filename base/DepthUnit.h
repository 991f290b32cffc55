// The depth unit the user reads and enters depths in.
//
// All depths inside the system are metres; this class converts them to and
// from the chosen unit and holds, per unit, the preset tables the range
// dialogs offer. The selection is process-wide and every operation is
// class-wide. The tables are constant data of the program, so creating or
// destroying an object of this class changes nothing, and a temporary one
// cannot pull the tables away from the others.
#pragma once

#include "platform/Registry.h"
#include "platform/WinTypes.h"

#include <string>

class CRegistrySupport;

class CDepthUnit
{
public:
    static constexpr int kUnitCount = 4;
    static constexpr int kMeter = 0, kFeet = 1, kFathoms = 2, kPassiBraccia = 3;
    // Table modes: bottom-referenced, no tables; anything else is the
    // surface-referenced mode.
    static constexpr int kModeSurface = 0, kModeBottom = 1, kModeNone = 2;

    // Selects the unit when index is 0..3; other values are ignored.
    // Returns the argument.
    static int SetUnit(int index);
    static int GetUnit();

    static double FromMeters(double meters);
    static double ToMeters(double value);

    static std::string GetUnitSymbol();
    // The number format of the depth displays ("%03.0f").
    static std::string GetNumberFormat();
    // Name of the given unit; empty for an index outside 0..3.
    static std::string GetUnitName(int index);

    // Preset values of the current unit, the index clamped to the table;
    // 0.0 in mode kModeNone.
    static double GetRange(int index, int mode);
    static double GetRangeStart(int index, int mode);
    static double GetFineStep(int index);

    // Highest valid index of the table; 0 in mode kModeNone.
    static int GetRangeCount(int mode);
    static int GetRangeStartCount(int mode);
    static int GetFineStepCount();

    // Index of the table entry nearest the value (in the current unit); a
    // value half-way between two entries goes to the higher one. 0 in mode
    // kModeNone.
    static int FindRange(double value, int mode);
    static int FindRangeStart(double value, int mode);
    static int FindFineStep(double value);

    // The selection kept as the double word "Depth" under the key "Units"
    // of root: ReadSetting selects the stored unit (writing the default,
    // metres, when there is none; a stored value out of range changes
    // nothing); WriteSetting stores the current unit.
    static constexpr const char* kRegistryKey = "Units";
    static constexpr const char* kRegistryValue = "Depth";
    static BOOL ReadSetting(CRegistrySupport& registry, HKEY root);
    static BOOL WriteSetting(CRegistrySupport& registry, HKEY root);
};
