// The registry's text form as "zvreg import" takes it, into empty hives.
// A text that is refused leaves them empty; a text that is taken is
// exported, and that export, imported into empty hives once more, must
// export to the very same text.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "platform/Registry.h"
#include "platform/regtool/RegText.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string ExportAll()
{
    std::string text, error;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT})
        if (CRegText::Export(root, "", text, error) != ERROR_SUCCESS)
            return {};
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    environment.FreshHivesInMemory();
    CFuzzInput in(data, size);
    static const std::string empty = ExportAll();
    std::string error;
    if (CRegText::Import(std::string(in.Rest()), error) != ERROR_SUCCESS) {
        if (ExportAll() != empty)
            std::abort();  // an import is all or nothing
        return 0;
    }
    const std::string exported = ExportAll();
    if (exported.empty())
        return 0;  // a key name the text form cannot carry (a line break)
    environment.FreshHivesInMemory();
    if (CRegText::Import(exported, error) != ERROR_SUCCESS || ExportAll() != exported)
        std::abort();  // an export must import to what it was taken from
    return 0;
}
