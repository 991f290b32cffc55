// A hive file as it may be found on disk, damaged or forged: the store
// opens it, and every key it shows is exported, queried and deleted the
// ways the program's tools do, down the whole tree.
#include "fuzz/support/FuzzEnvironment.h"

#include "platform/Component.h"
#include "platform/Registry.h"
#include "platform/regtool/RegText.h"
#include "platform/regtool/RegTool.h"
#include "tools/console/RegSweep.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> SubKeys(HKEY root)
{
    std::vector<std::string> names;
    char name[REG_MAX_KEY_NAME + 1];
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof name;
        if (RegEnumKeyEx(root, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return names;
        names.emplace_back(name, cch);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    // The same file as the user hive and as the classes hive, where the
    // component runtime looks.
    const std::string folder = environment.FreshHiveFolder();
    for (const char* hive : {"/user.db", "/classes.db"}) {
        std::ofstream file(folder + hive, std::ios::binary);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    static std::FILE* const sink = std::fopen("/dev/null", "w");
    std::string text, error;
    CRegText::Export(HKEY_CURRENT_USER, "", text, error);
    CRegTool tool(sink, sink);
    tool.Run({"query", "HKCU"});
    CLSID clsid{};
    const std::vector<std::string> names = SubKeys(HKEY_CURRENT_USER);
    for (const std::string& name : names)
        CLSIDFromProgID(name.c_str(), &clsid);
    // Each deleter on its own part of the tree.
    CRegSweep sweep = CRegSweep::PerUser(sink);
    for (std::size_t i = 0; i < names.size(); ++i) {
        switch (i % 3) {
        case 0:
            tool.Run({"delete", "HKCU\\" + names[i]});
            break;
        case 1:
            sweep.DeleteKeyTree(HKEY_CURRENT_USER, names[i]);
            break;
        default:
            UnregisterComClass(SComClassRegistration{clsid, "", names[i].c_str(), nullptr, "", ""});
            break;
        }
    }
    RegistryResetStore();
    return 0;
}
