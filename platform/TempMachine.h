// For tests: a machine of their own for the life of the object: fresh hives
// (platform/TempHives.h), a data root and a device folder, each in one
// temporary folder. Drivers still running in it when it goes are stopped
// through the service manager, as an administrator would, before the folder
// is removed.
//
//   TEST(Driver, Something) {
//       CTempMachine machine;
//       ...
//   }
#pragma once

#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "platform/TempHives.h"

#include <cstdlib>
#include <optional>
#include <string>

class CTempMachine
{
public:
    CTempMachine()
    {
        for (int i = 0; i < kCount; ++i) {
            if (const char* old = std::getenv(kVariables[i]))
                m_Saved[i] = old;
        }
        ::setenv("ZELVAR_DATA_ROOT", DataRoot().c_str(), 1);
        ::setenv("ZELVAR_DEVICE_DIR", DeviceFolder().c_str(), 1);
    }

    ~CTempMachine()
    {
        StopDrivers();
        for (int i = 0; i < kCount; ++i) {
            if (m_Saved[i])
                ::setenv(kVariables[i], m_Saved[i]->c_str(), 1);
            else
                ::unsetenv(kVariables[i]);
        }
    }

    CTempMachine(const CTempMachine&) = delete;
    CTempMachine& operator=(const CTempMachine&) = delete;

    const CTempHives& Hives() const { return m_Hives; }
    const std::string& Folder() const { return m_Hives.Folder(); }
    std::string DataRoot() const { return Folder() + "/root"; }
    std::string DeviceFolder() const { return Folder() + "/dev"; }

    // Stops every driver of the machine's services that still runs.
    void StopDrivers()
    {
        RegistryResetStore();
        SC_HANDLE manager = OpenSCManager(nullptr, nullptr, SC_MANAGER_CONNECT);
        HKEY services = nullptr;
        if (manager != nullptr && RegOpenKeyEx(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services", 0, KEY_READ,
                                               &services) == ERROR_SUCCESS) {
            char name[REG_MAX_KEY_NAME + 1];
            DWORD cch = sizeof name;
            for (DWORD i = 0;
                 RegEnumKeyEx(services, i, name, &cch, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
                 ++i, cch = sizeof name) {
                if (SC_HANDLE service = OpenService(manager, name, SERVICE_STOP)) {
                    SERVICE_STATUS status{};
                    ControlService(service, SERVICE_CONTROL_STOP, &status);
                    CloseServiceHandle(service);
                }
            }
            RegCloseKey(services);
        }
        if (manager != nullptr)
            CloseServiceHandle(manager);
    }

private:
    static constexpr int kCount = 2;
    static constexpr const char* kVariables[kCount] = {"ZELVAR_DATA_ROOT", "ZELVAR_DEVICE_DIR"};

    CTempHives m_Hives;
    std::optional<std::string> m_Saved[kCount];
};
