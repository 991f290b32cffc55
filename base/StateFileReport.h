// A state file the program writes for the next run (operation settings,
// channel settings, layouts) that could not be written: the operator hears
// of it by a status alarm, and the event log keeps the path and the cause,
// so that a failure at exit never passes for a save.
#pragma once

#include <string>

class CStateFileReport
{
public:
    // errorNumber: the errno of the failure (0: none known).
    static void NotSaved(const std::string& path, int errorNumber);
};
