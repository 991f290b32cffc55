#include "fuzz/support/FuzzEnvironment.h"

#include "platform/MessageBox.h"
#include "platform/Registry.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

constexpr const char* kHiveVariables[] = {"ZELVAR_USER_HIVE", "ZELVAR_MACHINE_HIVE", "ZELVAR_CLASSES_HIVE"};
constexpr const char* kHiveFiles[] = {"user.db", "machine.db", "classes.db"};
const HKEY kRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};

}  // namespace

CFuzzEnvironment& CFuzzEnvironment::Get()
{
    static CFuzzEnvironment environment;
    return environment;
}

CFuzzEnvironment::CFuzzEnvironment()
{
    // Memory-backed where there is such a folder: settings saves and hive
    // writes wait for the disk otherwise.
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = tmp && *tmp ? tmp : (std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp");
    std::string pattern = base + "/zvfuzz.XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create " + pattern);
    m_folder = pattern;
    namespace fs = std::filesystem;
    fs::create_directories(m_folder + "/data");
    fs::create_directories(m_folder + "/settings");
    ::setenv("ZELVAR_DATA_ROOT", (m_folder + "/data").c_str(), 1);
    ::setenv("ZELVAR_EVENTLOG_FILE", "/dev/null", 1);
    m_settingsFolder.Set(m_folder + "/settings/");
    // A regular file where the hives' folder would be: no hive file can be
    // made there, so a hive kept in memory starts empty.
    std::FILE* blocker = std::fopen((m_folder + "/no-hives").c_str(), "w");
    if (blocker)
        std::fclose(blocker);
    PointHivesAt(m_folder + "/no-hives");
    SetMessageBoxPresenter(
        [](HWND, const std::string&, const std::string&, UINT flags) { return MessageBoxDefaultButton(flags); });
}

CFuzzEnvironment::~CFuzzEnvironment()
{
    RegistryResetStore();
    std::error_code ec;
    std::filesystem::remove_all(m_folder, ec);
}

void CFuzzEnvironment::PointHivesAt(const std::string& folder)
{
    for (int i = 0; i < 3; ++i)
        ::setenv(kHiveVariables[i], (folder + "/" + kHiveFiles[i]).c_str(), 1);
    RegistryResetStore();
}

void CFuzzEnvironment::FreshHivesInMemory()
{
    PointHivesAt(m_folder + "/no-hives");
    for (HKEY root : kRoots)
        RegistryKeepHiveInMemory(root);
}

std::string CFuzzEnvironment::FreshHiveFolder()
{
    PointHivesAt(m_folder + "/no-hives");
    const std::string folder = m_folder + "/hives";
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    std::filesystem::create_directories(folder);
    PointHivesAt(folder);
    return folder;
}

void CFuzzEnvironment::ForgetMessageBoxes()
{
    ClearMessageBoxRecord();
}
