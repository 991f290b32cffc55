#include "tools/console/Fenvoil.h"

#include "platform/Device.h"
#include "platform/Registry.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <thread>

extern char** environ;

namespace {

struct Reason
{
    DWORD code;
    const char* text;
};

// The service manager's reasons, in the system's words.
constexpr Reason kReasons[] = {
    {ERROR_PATH_NOT_FOUND, "The service binary file could not be found"},
    {ERROR_ACCESS_DENIED, "The requested access was denied"},
    {ERROR_INVALID_HANDLE, "The handle is invalid"},
    {ERROR_GEN_FAILURE, "A device attached to the system is not functioning"},
    {ERROR_INVALID_PARAMETER, "A specified parameter is invalid"},
    {ERROR_INVALID_NAME, "The specified service name is invalid"},
    {ERROR_BAD_EXE_FORMAT, "The service binary file is not a valid program"},
    {ERROR_OPERATION_ABORTED, "The operation was cancelled"},
    {ERROR_SERVICE_REQUEST_TIMEOUT, "The service did not respond to the request in a timely fashion"},
    {ERROR_SERVICE_NO_THREAD, "A thread could not be created for the service"},
    {ERROR_SERVICE_DATABASE_LOCKED, "The database is locked"},
    {ERROR_SERVICE_ALREADY_RUNNING, "An instance of the service is already running"},
    {ERROR_SERVICE_DISABLED, "The service has been disabled"},
    {ERROR_SERVICE_DOES_NOT_EXIST, "The specified service does not exist"},
    {ERROR_DATABASE_DOES_NOT_EXIST, "The specified database does not exist"},
    {ERROR_SERVICE_DEPENDENCY_FAIL, "The service depends on another service that has failed to start"},
    {ERROR_SERVICE_LOGON_FAILED, "The service did not start due to a logon failure"},
    {ERROR_SERVICE_MARKED_FOR_DELETE, "The service has been marked for deletion"},
    {ERROR_SERVICE_DEPENDENCY_DELETED,
     "The service depends on a service that does not exist or has been marked for deletion"},
};

const char* ReasonText(DWORD error)
{
    for (const Reason& r : kReasons) {
        if (r.code == error)
            return r.text;
    }
    return nullptr;
}

// As on Windows, where the environment's names are not case-sensitive.
std::string EnvironmentValue(const char* name)
{
    const std::size_t length = std::strlen(name);
    for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
        if (strncasecmp(*e, name, length) == 0 && (*e)[length] == '=')
            return *e + length + 1;
    }
    return {};
}

}  // namespace

CFenvoil::CFenvoil(std::FILE* out, int pauseMs) : m_Out(out), m_PauseMs(pauseMs) {}

std::string CFenvoil::DriversFolder()
{
    std::string root = EnvironmentValue("systemroot");
    if (root.empty())
        root = "C:\\WINDOWS";
    return root + "\\system32\\drivers";
}

void CFenvoil::Pause()
{
    if (m_PauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_PauseMs));
}

void CFenvoil::PrintUsage()
{
    std::fprintf(m_Out, "Install, configure and start DRU Echosounder NT Driver\n");
    std::fprintf(m_Out, "Usage:\n");
    std::fprintf(m_Out, " Fenvoil default | [io=<IO addr (hex)>] [dma=<DMA>] [irq=<IRQ>]\n");
    std::fprintf(m_Out, " Fenvoil remove\n");
    std::fprintf(m_Out, "Examples of installing the driver:\n");
    std::fprintf(m_Out, " Fenvoil default\n");
    std::fprintf(m_Out, "    keeps old settings if present. Otherwise performs like\n");
    std::fprintf(m_Out, " Fenvoil io=210 dma=6 irq=9\n");
    std::fprintf(m_Out, "    Assumes that '%s' and '%s' are present in the \n", kDriverFile, kEpldFile);
    std::fprintf(m_Out, "    %s directory\n", m_DriversFolder.c_str());
    std::fprintf(m_Out, "Deinstalling the driver:\n");
    std::fprintf(m_Out, " Fenvoil remove\n");
    std::fprintf(m_Out, "    ('%s' and '%s' are NOT deleted.)\n", kDriverFile, kEpldFile);
}

CFenvoil::DeviceState CFenvoil::CheckDevice()
{
    Pause();
    HANDLE device = ::CreateFile(kDeviceName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            std::fprintf(m_Out, "('%s' not found)\n", kDeviceName);
        else
            std::fprintf(m_Out, "Can't get a handle to device '%s' (%d)\n", kDeviceName, static_cast<int>(error));
        return DeviceState::Missing;
    }
    DWORD status = 0;
    WORD hardwareId = 0;
    BYTE hardwareStatus = 0;
    DWORD returned = 0;
    DeviceIoControl(device, kIoctlStatus32, nullptr, 0, &status, sizeof status, &returned, nullptr);
    DeviceIoControl(device, kIoctlHardwareId, nullptr, 0, &hardwareId, sizeof hardwareId, &returned, nullptr);
    DeviceIoControl(device, kIoctlStatus8, nullptr, 0, &hardwareStatus, sizeof hardwareStatus, &returned, nullptr);
    std::fprintf(m_Out, "(Device '%s' found with Status=0x%08x HW-ID=0x%04x HW-Status=0x%02x)\n", kDeviceName,
                 static_cast<unsigned>(status), static_cast<unsigned>(hardwareId),
                 static_cast<unsigned>(hardwareStatus));
    CloseHandle(device);
    if (status & kStatusInUse) {
        std::fprintf(m_Out, "Error: '%s' is in use by the Echosounder\n", kDeviceName);
        return DeviceState::InUse;
    }
    return DeviceState::Opened;
}

void CFenvoil::PrintFailure(const char* failure, DWORD error)
{
    if (const char* reason = ReasonText(error))
        std::fprintf(m_Out, "%s: %s\n", failure, reason);
    else
        std::fprintf(m_Out, "%s (%d)\n", failure, static_cast<int>(error));
}

SC_HANDLE CFenvoil::OpenDriverService(SC_HANDLE manager, DWORD& error)
{
    Pause();
    SC_HANDLE service = ::OpenService(manager, kServiceName, SERVICE_ALL_ACCESS);
    error = service == nullptr ? GetLastError() : 0;
    return service;
}

bool CFenvoil::Stop(SC_HANDLE manager)
{
    DWORD error = 0;
    SC_HANDLE service = OpenDriverService(manager, error);
    if (service == nullptr) {
        if (error == ERROR_SERVICE_DOES_NOT_EXIST) {
            std::fprintf(m_Out, "(No need to stop service: service does not exist)\n");
            return true;
        }
        PrintFailure("Error stopping service", error);
        return false;
    }
    Pause();
    SERVICE_STATUS status{};
    const BOOL stopped = ::ControlService(service, SERVICE_CONTROL_STOP, &status);
    error = stopped ? 0 : GetLastError();
    CloseServiceHandle(service);
    switch (error) {
    case 0:
    case ERROR_SERVICE_CANNOT_ACCEPT_CTRL:
    case ERROR_INVALID_SERVICE_CONTROL:
        return true;
    case ERROR_SERVICE_NOT_ACTIVE:
        std::fprintf(m_Out, "(Service cannot be stopped because it's not started)\n");
        return true;
    default:
        PrintFailure("Error stopping service", error);
        return false;
    }
}

bool CFenvoil::Create(SC_HANDLE manager)
{
    const std::string driverPath = m_DriversFolder + "\\" + kDriverFile;
    Pause();
    SC_HANDLE service = ::CreateService(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER,
                                        SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, driverPath.c_str(), nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
    if (service != nullptr) {
        CloseServiceHandle(service);
        return true;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SERVICE_EXISTS) {
        std::fprintf(m_Out, "(The specified service already exists in this database)\n");
        return true;
    }
    if (error == ERROR_DUPLICATE_SERVICE_NAME) {
        std::fprintf(m_Out, "(The display name already exists in the\n");
        std::fprintf(m_Out, " service control manager database either as a\n");
        std::fprintf(m_Out, " service name or as another display name)\n");
        return true;
    }
    PrintFailure("Error creating service", error);
    return false;
}

bool CFenvoil::WriteParameters(bool keepPresent)
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, kParametersKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                       &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(m_Out, "Error opening registry parameters\n");
        return false;
    }
    struct Parameter
    {
        const char* name;
        DWORD* value;
    };
    const Parameter dwords[] = {{"IoBaseAddress", &m_IoBase}, {"DMAChannel", &m_Dma}, {"InterruptLevel", &m_Irq}};
    bool ok = true;
    for (const Parameter& p : dwords) {
        if (keepPresent) {
            // What is kept is what is in force, and so what is reported.
            DWORD present = 0;
            DWORD type = 0;
            DWORD size = sizeof present;
            if (RegQueryValueEx(key, p.name, nullptr, &type, reinterpret_cast<BYTE*>(&present), &size) ==
                    ERROR_SUCCESS &&
                type == REG_DWORD && size == sizeof present) {
                *p.value = present;
                continue;
            }
        }
        if (RegSetValueEx(key, p.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(p.value), sizeof(DWORD)) !=
            ERROR_SUCCESS) {
            std::fprintf(m_Out, "Error opening %s registry parameter\n", p.name);
            ok = false;
            break;
        }
    }
    if (ok && RegSetValueEx(key, "EpldFileName", 0, REG_SZ, reinterpret_cast<const BYTE*>(kEpldFile),
                            static_cast<DWORD>(std::strlen(kEpldFile) + 1)) != ERROR_SUCCESS) {
        std::fprintf(m_Out, "Error opening EpldFileName registry parameter\n");
        ok = false;
    }
    RegCloseKey(key);
    return ok;
}

bool CFenvoil::Start(SC_HANDLE manager)
{
    DWORD error = 0;
    SC_HANDLE service = OpenDriverService(manager, error);
    if (service != nullptr) {
        Pause();
        if (::StartService(service, 0, nullptr))
            error = 0;
        else
            error = GetLastError();
        CloseServiceHandle(service);
    }
    if (error == 0)
        return true;
    PrintFailure("Error starting service", error);
    return false;
}

bool CFenvoil::Remove(SC_HANDLE manager)
{
    DWORD error = 0;
    SC_HANDLE service = OpenDriverService(manager, error);
    if (service == nullptr && error == ERROR_SERVICE_DOES_NOT_EXIST) {
        std::fprintf(m_Out, "(No need to remove service: service does not exist)\n");
        return true;
    }
    if (service != nullptr) {
        Pause();
        error = ::DeleteService(service) ? 0 : GetLastError();
        CloseServiceHandle(service);
    }
    if (error == 0)
        return true;
    PrintFailure("Error removing service", error);
    return false;
}

int CFenvoil::Run(int argc, const char* const* argv)
{
    m_DriversFolder = DriversFolder();
    const CFenvoilCommandLine line = CFenvoilCommandLine::Parse(argc, argv);
    if (line.action == CFenvoilCommandLine::Action::Help || line.action == CFenvoilCommandLine::Action::Refused) {
        PrintUsage();
        if (CheckDevice() == DeviceState::InUse)
            return kExitFailure;
        return line.action == CFenvoilCommandLine::Action::Help ? kExitDone : kExitFailure;
    }
    m_IoBase = line.io.value_or(kDefaultIoBase);
    m_Dma = line.dma.value_or(kDefaultDma);
    m_Irq = line.irq.value_or(kDefaultIrq);

    if (CheckDevice() == DeviceState::InUse)
        return kExitFailure;
    Pause();
    SC_HANDLE manager = ::OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) {
        PrintFailure("Error accessing service control manager", GetLastError());
        return kExitFailure;
    }
    bool ok = false;
    if (line.action == CFenvoilCommandLine::Action::Remove) {
        ok = Stop(manager) && Remove(manager);
        if (ok)
            std::fprintf(m_Out, "%s successfully removed\n", kServiceName);
    } else {
        ok = Stop(manager) && Create(manager) && WriteParameters(line.action == CFenvoilCommandLine::Action::Default) &&
             Start(manager);
    }
    CloseServiceHandle(manager);
    if (!ok)
        return kExitFailure;
    if (line.action == CFenvoilCommandLine::Action::Remove)
        return kExitDone;

    std::fprintf(m_Out, "%s successfully started with io=%03x dma=%u irq=%u\n", kServiceName,
                 static_cast<unsigned>(m_IoBase), static_cast<unsigned>(m_Dma), static_cast<unsigned>(m_Irq));
    switch (CheckDevice()) {
    case DeviceState::Opened:
        return kExitDone;
    case DeviceState::InUse:
        return kExitFailure;
    case DeviceState::Missing:
        break;
    }
    std::fprintf(m_Out, "Error opening device '%s'\n", kDeviceName);
    return kExitFailure;
}
