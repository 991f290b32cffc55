// The wide-band unit's firmware files: the date a file's title carries, the
// newest "nvu4_*.xsvf" of the transceiver list folder, the name of the
// firmware the unit reports, and the comparison of a file sent with the one
// read back.
//
// A title ends with the firmware's date as DDMMYYYY and five more
// characters, e.g. "nvu4_main_05032024_v101": counted from the end,
// characters 13 and 12 are the day, 11 and 10 the month, 9 to 6 the year.
#pragma once

#include <ctime>
#include <optional>
#include <string>

class CNvuFirmware
{
public:
    // The newest firmware file of a folder.
    struct Newest
    {
        bool found = false;
        std::time_t time = 0;  // local midnight of its date
        std::string path;
        std::string name;  // the file name with its extension
    };

    // Local midnight of the date a title carries; empty when it has none
    // (shorter than 13 characters, not digits, a year before 2000, a month
    // outside 1-12 or a day outside 1-31).
    static std::optional<std::time_t> TitleDate(const std::string& title);
    // The "nvu4_*.xsvf" file of the folder with the latest date; of files
    // with the same date the first by name stays. Files without a date are
    // passed over.
    static Newest Search(const std::string& folder);
    // The firmware name the unit's version answer states: the text after
    // "Firmware Filename:" up to ".xsvf", blanks around it taken off; empty
    // when there is none.
    static std::optional<std::string> UnitFirmwareName(const std::string& versionText);
    // True when both files could be read and hold the same bytes.
    static bool SameContents(const std::string& a, const std::string& b);
};
