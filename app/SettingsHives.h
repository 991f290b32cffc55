// The hives the program keeps its settings and its file association in,
// made usable before anything reads them. A damaged hive is renamed and kept
// beside a new, empty one; a hive whose folder cannot be written is kept in
// memory for the run. Either way the user is told which file or folder and
// why, an event-log entry says the same, and the program starts.
#pragma once

#include "platform/WinTypes.h"

#include <string>

namespace app {

class CSettingsHives
{
public:
    // Event id of the entries (error severity).
    static constexpr DWORD kEventId = 0xC0000001;

    // Checks the user's settings hive and the classes hive; the boxes carry
    // the program's name as caption.
    static void Prepare(const std::string& programName, const std::string& version);
};

}  // namespace app
