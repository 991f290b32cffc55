// Fenvoil: the DRU ISA card's driver service tool.
#include "tools/console/Fenvoil.h"

#include <cstdio>

int main(int argc, char** argv)
{
    CFenvoil tool(stdout);
    return tool.Run(argc, argv);
}
