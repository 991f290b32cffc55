// What Fenvoil's command line asks for:
//
//   Fenvoil help | ? | /h | -h | /? | -?     the usage text
//   Fenvoil default                          install, keeping present parameters
//   Fenvoil remove                           stop and delete the service
//   Fenvoil [io=<hex>] [dma=<dec>] [irq=<dec>]   install with these parameters
//
// Anything else is refused, including a value that is not wholly a number
// of its base, one beyond 32 bits, and a parameter given twice: a command
// that may not mean what it says installs nothing.
#pragma once

#include "platform/WinTypes.h"

#include <optional>

class CFenvoilCommandLine
{
public:
    enum class Action { Refused, Help, Default, Remove, Install };

    static CFenvoilCommandLine Parse(int argc, const char* const* argv);

    Action action = Action::Refused;
    std::optional<DWORD> io;
    std::optional<DWORD> dma;
    std::optional<DWORD> irq;
};
