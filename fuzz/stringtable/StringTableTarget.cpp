// A language file ("Resource.dll" of a language folder) as the program reads
// it at start-up: loaded into the string table, then every text the menus
// and the program look up, by the ids the menu bars of every model carry and
// by the string ids the file itself names.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/MemoryFile.h"

#include "app/MenuResources.h"
#include "base/StringTable.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const unsigned languageId = in.Word();
    const CMemoryFile file(in.Rest());
    app::CStringTable table;
    if (!table.LoadFile(file.Path(), languageId))
        return 0;
    std::size_t length = 0;
    for (unsigned menu : {app::IDR_MENU_QY, app::IDR_MENU_RM30, app::IDR_MENU_TQ30, app::IDR_MENU_TOTAL}) {
        const auto bar = app::LoadMenuResource(menu);
        for (unsigned id : app::MenuCommandIds(bar)) {
            length += table.MenuText(id).value_or(std::string()).size();
            length += table.Load(id).size();
        }
    }
    // The string ids around what a file may name, the edges of the id range
    // included.
    for (unsigned id : {0u, 1u, 57600u, 57669u, 61440u, 65535u, 65536u, 0xFFFFFFFFu})
        length += table.Load(id).size();
    return length == static_cast<std::size_t>(-1) ? 1 : 0;
}
