#include "tools/console/RegSweep.h"

#include <cstring>

CRegSweep::CRegSweep(std::string programName, HKEY hive, std::string hiveName, REGSAM access, std::FILE* out)
    : m_ProgramName(std::move(programName)), m_Hive(hive), m_HiveName(std::move(hiveName)), m_Access(access), m_Out(out)
{}

CRegSweep CRegSweep::PerUser(std::FILE* out)
{
    return CRegSweep("Regsweepu", HKEY_CURRENT_USER, "HKEY_CURRENT_USER", KEY_ALL_ACCESS, out);
}

CRegSweep CRegSweep::MachineWide(std::FILE* out)
{
    // Only what deleting needs, so that it works wherever an administrator
    // may change the machine-wide settings.
    return CRegSweep("Regsweepm", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE",
                     KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE, out);
}

void CRegSweep::PrintUsage()
{
    std::fprintf(m_Out, "Delete an entry in Registry under %s\\%s\n", m_HiveName.c_str(), kMakerKey);
    std::fprintf(m_Out, "Usage:\n");
    std::fprintf(m_Out, " %s <Key to delete>\n", m_ProgramName.c_str());
    std::fprintf(m_Out, "Example:\n");
    std::fprintf(m_Out, " %s EchoSounder\n", m_ProgramName.c_str());
}

int CRegSweep::Run(int argc, const char* const* argv)
{
    if (argc < 2) {
        PrintUsage();
        return kExitFailure;
    }
    const std::string key = argv[1];
    for (const char* help : {"?", "/h", "-h", "/?", "-?"}) {
        if (argc == 2 && key == help) {
            PrintUsage();
            return kExitDone;
        }
    }
    // An empty or rooted name would stand for the maker key itself, and a
    // second word is most likely a name with a space that was not quoted:
    // delete nothing on a guess.
    if (argc > 2 || key.empty() || key.front() == '\\') {
        PrintUsage();
        return kExitFailure;
    }

    HKEY maker = nullptr;
    if (RegOpenKeyEx(m_Hive, kMakerKey, 0, m_Access, &maker) != ERROR_SUCCESS) {
        std::fprintf(m_Out, "Cannot open Zelvar entry\n");
        return kExitFailure;
    }
    const BOOL deleted = DeleteKeyTree(maker, key);
    if (RegFlushKey(maker) != ERROR_SUCCESS)
        std::fprintf(m_Out, "Cannot flush Registry key\n");
    RegCloseKey(maker);
    return deleted ? kExitDone : kExitPartly;
}

BOOL CRegSweep::DeleteKeyTree(HKEY parent, const std::string& name)
{
    HKEY key = nullptr;
    const LONG orc = RegOpenKeyEx(parent, name.c_str(), 0, m_Access, &key);
    if (orc == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (orc != ERROR_SUCCESS) {
        std::fprintf(m_Out, "Cannot open registry key %s, error %ld\n", name.c_str(), static_cast<long>(orc));
        return FALSE;
    }
    // Sub key 0 is always the next one left, since the one before is gone.
    // Any failure ends the walk: the key that failed would otherwise come
    // back at index 0 for ever.
    BOOL ok = TRUE;
    char sub[REG_MAX_KEY_NAME + 1];
    while (true) {
        DWORD cch = sizeof sub;
        const LONG erc = RegEnumKeyEx(key, 0, sub, &cch, nullptr, nullptr, nullptr, nullptr);
        if (erc == ERROR_NO_MORE_ITEMS)
            break;
        if (erc != ERROR_SUCCESS) {
            std::fprintf(m_Out, "Error in RegistrySupport, er.no. %X\n", static_cast<unsigned>(erc));
            ok = FALSE;
            break;
        }
        const std::string subName(sub, cch);
        if (!DeleteKeyTree(key, subName)) {
            std::fprintf(m_Out, "Error deleting registry key %s\n", subName.c_str());
            ok = FALSE;
            break;
        }
    }
    RegCloseKey(key);
    if (!ok)
        return FALSE;
    const LONG drc = RegDeleteKey(parent, name.c_str());
    if (drc != ERROR_SUCCESS) {
        std::fprintf(m_Out, "Error deleting registry key %s, error %ld\n", name.c_str(), static_cast<long>(drc));
        return FALSE;
    }
    return TRUE;
}
