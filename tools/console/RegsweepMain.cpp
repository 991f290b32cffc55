// Regsweepu and Regsweepm: one source, two builds (REGSWEEP_MACHINE_WIDE
// chooses the hive).
#include "tools/console/RegSweep.h"

#include <cstdio>

int main(int argc, char** argv)
{
#if REGSWEEP_MACHINE_WIDE
    CRegSweep tool = CRegSweep::MachineWide(stdout);
#else
    CRegSweep tool = CRegSweep::PerUser(stdout);
#endif
    return tool.Run(argc, argv);
}
