// The settings key deleter shared by the two console tools: Regsweepu
// deletes a key tree below "Software\Zelvar" of the per-user hive,
// Regsweepm below that of the machine-wide hive.
#pragma once

#include "platform/Registry.h"
#include "platform/WinTypes.h"

#include <cstdio>
#include <string>

class CRegSweep
{
public:
    // Exit codes: -1 when the maker key cannot be opened or the command line
    // is wrong, 0 when the key is gone (or was never there), 1 when some of
    // it could not be deleted.
    static constexpr int kExitFailure = -1;
    static constexpr int kExitDone = 0;
    static constexpr int kExitPartly = 1;

    static constexpr const char* kMakerKey = "Software\\Zelvar";

    CRegSweep(std::string programName, HKEY hive, std::string hiveName, REGSAM access, std::FILE* out);

    static CRegSweep PerUser(std::FILE* out);
    static CRegSweep MachineWide(std::FILE* out);

    int Run(int argc, const char* const* argv);

    // Deletes the named sub key of parent with everything below it; a key
    // that is not there counts as deleted. TRUE when nothing is left.
    BOOL DeleteKeyTree(HKEY parent, const std::string& name);

    void PrintUsage();

private:
    std::string m_ProgramName;
    HKEY m_Hive;
    std::string m_HiveName;
    REGSAM m_Access;
    std::FILE* m_Out;
};
