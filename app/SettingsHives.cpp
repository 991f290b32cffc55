#include "app/SettingsHives.h"

#include "base/DiagRecord.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

namespace app {

namespace {

void Tell(const std::string& programName, const std::string& version, int line, const std::string& text)
{
    CDiagRecord record(programName, programName, version, "SettingsHives", line);
    record.ReportText(CSettingsHives::kEventId, text);
    ::MessageBox(0, text, programName, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void CSettingsHives::Prepare(const std::string& programName, const std::string& version)
{
    struct Hive
    {
        HKEY root;
        const char* what;
        bool keepWhenUnwritable;
    };
    // The file association may fail to be written without harm; the
    // settings are the program's own and must be there for the run.
    const Hive hives[] = {
        {HKEY_CURRENT_USER, "The settings file", true},
        {HKEY_CLASSES_ROOT, "The file of the file associations", false},
    };
    for (const Hive& hive : hives) {
        const SHiveStatus status = RegistryHiveStatus(hive.root);
        if (status.state == EHiveState::Damaged) {
            std::string movedTo;
            if (RegistrySetHiveAside(hive.root, &movedTo) == ERROR_SUCCESS) {
                Tell(programName, version, __LINE__,
                     std::string(hive.what) + " cannot be read: " + status.reason + ".\n\nIt has been renamed to \"" +
                         movedTo + "\" and kept; the program starts with default settings.");
                continue;
            }
            RegistryKeepHiveInMemory(hive.root);
            Tell(programName, version, __LINE__,
                 std::string(hive.what) + " cannot be read: " + status.reason + ".\n\nIt cannot be set aside either (" +
                     RegistryHiveStatus(hive.root).reason +
                     "); the program starts with default settings and saves none of them.");
        } else if (hive.keepWhenUnwritable &&
                   (status.state == EHiveState::ReadOnly || status.state == EHiveState::Unavailable)) {
            RegistryKeepHiveInMemory(hive.root);
            Tell(programName, version, __LINE__,
                 "Settings cannot be saved: " + status.reason +
                     ".\n\nThe program goes on with the settings it has and saves no changes.");
        }
    }
}

}  // namespace app
