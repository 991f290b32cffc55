#include "platform/ServiceControl.h"

#include "platform/DeviceLink.h"
#include "platform/DriverProcess.h"
#include "platform/HandleTable.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Socket.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace {

constexpr const char* kServicesKey = "System\\CurrentControlSet\\Services";
constexpr const char* kDeleteFlag = "DeleteFlag";

// Rights that only look; anything more changes the database or a driver.
constexpr DWORD kManagerLookRights =
    SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE | SC_MANAGER_QUERY_LOCK_STATUS | READ_CONTROL;
constexpr DWORD kServiceLookRights =
    SERVICE_QUERY_CONFIG | SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_INTERROGATE | READ_CONTROL;

struct ScObject
{
    bool manager = false;
    DWORD access = 0;
    std::string name;  // of a service, as the caller gave it
};

CHandleTable<SC_HANDLE, ScObject>& Handles()
{
    static CHandleTable<SC_HANDLE, ScObject> table;
    return table;
}

std::atomic<DWORD> g_startWaitMs{30000};
std::atomic<DWORD> g_stopWaitMs{20000};
std::mutex g_stopMutex;
std::shared_ptr<CStopEvent> g_stop;

std::shared_ptr<CStopEvent> StopEvent()
{
    std::lock_guard lock(g_stopMutex);
    return g_stop;
}

template <typename T>
T Failed(DWORD error, T result)
{
    SetLastError(error);
    return result;
}

bool ValidName(const char* name)
{
    if (name == nullptr)
        return false;
    const std::size_t length = std::strlen(name);
    return length > 0 && length <= REG_MAX_KEY_NAME && std::strpbrk(name, "\\/") == nullptr;
}

bool SameName(const std::string& a, const std::string& b)
{
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// An open key closed when it goes out of scope.
struct Key
{
    HKEY h = nullptr;
    ~Key()
    {
        if (h != nullptr)
            RegCloseKey(h);
    }
};

// The services key, made when writing and missing.
LONG OpenServices(bool write, Key& key)
{
    if (write)
        return RegCreateKeyEx(HKEY_LOCAL_MACHINE, kServicesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key.h,
                              nullptr);
    return RegOpenKeyEx(HKEY_LOCAL_MACHINE, kServicesKey, 0, KEY_READ, &key.h);
}

struct ServiceConfig
{
    DWORD type = 0;
    DWORD start = 0;
    std::string imagePath;
    std::string displayName;
    bool deleteFlag = false;
};

bool ReadDword(HKEY key, const char* name, DWORD& value)
{
    DWORD type = 0;
    DWORD size = sizeof value;
    return RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof value;
}

std::string ReadText(HKEY key, const char* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::string text(size, '\0');
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS)
        return {};
    text.resize(std::min<std::size_t>(size, text.size()));
    while (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

// 0, or ERROR_SERVICE_DOES_NOT_EXIST for a key that is not a service.
LONG ReadService(HKEY services, const std::string& name, ServiceConfig& config)
{
    Key key;
    if (RegOpenKeyEx(services, name.c_str(), 0, KEY_READ, &key.h) != ERROR_SUCCESS ||
        !ReadDword(key.h, "Type", config.type))
        return ERROR_SERVICE_DOES_NOT_EXIST;
    if (!ReadDword(key.h, "Start", config.start))
        config.start = SERVICE_DEMAND_START;
    config.imagePath = ReadText(key.h, "ImagePath");
    config.displayName = ReadText(key.h, "DisplayName");
    DWORD flag = 0;
    config.deleteFlag = ReadDword(key.h, kDeleteFlag, flag) && flag != 0;
    return ERROR_SUCCESS;
}

std::string ControlPath(const std::string& name)
{
    std::string lower = name;
    for (char& c : lower)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return CPaths::DeviceFolder() + "Driver/" + lower;
}

bool IsRunning(const std::string& name)
{
    CDeviceLink link;
    return link.Connect(ControlPath(name)) == 0;
}

// A service handle's object, with the right the caller needs, and the
// services key, opened for writing when the handle may change anything; 0
// or the reason.
LONG OpenServiceObject(SC_HANDLE h, DWORD right, ScObject& service, Key& services, ServiceConfig& config)
{
    if (!Handles().Find(h, service) || service.manager)
        return ERROR_INVALID_HANDLE;
    if (!(service.access & right))
        return ERROR_ACCESS_DENIED;
    const LONG rc = OpenServices((service.access & ~kServiceLookRights) != 0, services);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SERVICE_DOES_NOT_EXIST;
    if (rc != ERROR_SUCCESS)
        return rc;
    return ReadService(services.h, service.name, config);
}

}  // namespace

SC_HANDLE OpenSCManager(const char* lpMachineName, const char* lpDatabaseName, DWORD dwDesiredAccess)
{
    if (lpMachineName != nullptr && *lpMachineName != '\0')
        return Failed<SC_HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    if (lpDatabaseName != nullptr && strcasecmp(lpDatabaseName, "ServicesActive") != 0)
        return Failed<SC_HANDLE>(ERROR_DATABASE_DOES_NOT_EXIST, nullptr);
    Key services;
    const LONG rc = OpenServices((dwDesiredAccess & ~kManagerLookRights) != 0, services);
    if (rc == ERROR_ACCESS_DENIED)
        return Failed<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
        return Failed<SC_HANDLE>(ERROR_DATABASE_DOES_NOT_EXIST, nullptr);
    return Handles().Add(ScObject{true, dwDesiredAccess, {}});
}

SC_HANDLE OpenService(SC_HANDLE hSCManager, const char* lpServiceName, DWORD dwDesiredAccess)
{
    ScObject manager;
    if (!Handles().Find(hSCManager, manager) || !manager.manager)
        return Failed<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if (!ValidName(lpServiceName))
        return Failed<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    const std::string name = lpServiceName;
    Key services;
    const LONG rc = OpenServices((dwDesiredAccess & ~kServiceLookRights) != 0, services);
    if (rc == ERROR_FILE_NOT_FOUND)
        return Failed<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    if (rc != ERROR_SUCCESS)
        return Failed<SC_HANDLE>(rc, nullptr);
    ServiceConfig config;
    if (ReadService(services.h, name, config) != ERROR_SUCCESS)
        return Failed<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    if (config.deleteFlag && !IsRunning(name)) {
        // Marked for deletion and stopped since: it is gone.
        RegDeleteTree(services.h, name.c_str());
        return Failed<SC_HANDLE>(ERROR_SERVICE_DOES_NOT_EXIST, nullptr);
    }
    return Handles().Add(ScObject{false, dwDesiredAccess, name});
}

SC_HANDLE CreateService(SC_HANDLE hSCManager, const char* lpServiceName, const char* lpDisplayName,
                        DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                        const char* lpBinaryPathName, const char* lpLoadOrderGroup, DWORD* lpdwTagId,
                        const char* lpDependencies, const char* lpServiceStartName, const char* lpPassword)
{
    ScObject manager;
    if (!Handles().Find(hSCManager, manager) || !manager.manager)
        return Failed<SC_HANDLE>(ERROR_INVALID_HANDLE, nullptr);
    if (!(manager.access & SC_MANAGER_CREATE_SERVICE))
        return Failed<SC_HANDLE>(ERROR_ACCESS_DENIED, nullptr);
    if (!ValidName(lpServiceName))
        return Failed<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    const std::string name = lpServiceName;
    const std::string display = lpDisplayName != nullptr && *lpDisplayName != '\0' ? lpDisplayName : name;
    if (display.size() > REG_MAX_KEY_NAME)
        return Failed<SC_HANDLE>(ERROR_INVALID_NAME, nullptr);
    const auto given = [](const char* text) { return text != nullptr && *text != '\0'; };
    if (dwServiceType != SERVICE_KERNEL_DRIVER || dwStartType > SERVICE_DISABLED ||
        dwErrorControl > SERVICE_ERROR_CRITICAL || !given(lpBinaryPathName) || given(lpLoadOrderGroup) ||
        given(lpDependencies) || given(lpServiceStartName) || given(lpPassword))
        return Failed<SC_HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    if (lpdwTagId != nullptr)
        *lpdwTagId = 0;

    Key services;
    if (const LONG rc = OpenServices(true, services); rc != ERROR_SUCCESS)
        return Failed<SC_HANDLE>(rc, nullptr);
    ServiceConfig existing;
    if (ReadService(services.h, name, existing) == ERROR_SUCCESS) {
        if (!existing.deleteFlag)
            return Failed<SC_HANDLE>(ERROR_SERVICE_EXISTS, nullptr);
        if (IsRunning(name))
            return Failed<SC_HANDLE>(ERROR_SERVICE_MARKED_FOR_DELETE, nullptr);
        if (const LONG rc = RegDeleteTree(services.h, name.c_str()); rc != ERROR_SUCCESS)
            return Failed<SC_HANDLE>(rc, nullptr);
    }
    // A display name must name one service only, and no service by its name.
    char other[REG_MAX_KEY_NAME + 1];
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof other;
        if (RegEnumKeyEx(services.h, i, other, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        ServiceConfig config;
        const std::string otherName(other, cch);
        if (SameName(otherName, name) || ReadService(services.h, otherName, config) != ERROR_SUCCESS)
            continue;
        if (SameName(otherName, display) || SameName(config.displayName, display) || SameName(config.displayName, name))
            return Failed<SC_HANDLE>(ERROR_DUPLICATE_SERVICE_NAME, nullptr);
    }

    Key key;
    if (const LONG rc =
            RegCreateKeyEx(services.h, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key.h, nullptr);
        rc != ERROR_SUCCESS)
        return Failed<SC_HANDLE>(rc, nullptr);
    const auto dword = [&](const char* value, DWORD data) {
        return RegSetValueEx(key.h, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    };
    const auto text = [&](const char* value, DWORD type, const std::string& data) {
        return RegSetValueEx(key.h, value, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                             static_cast<DWORD>(data.size() + 1));
    };
    // Type last: the key is a service only once everything else is there.
    LONG rc = dword("Start", dwStartType);
    if (rc == ERROR_SUCCESS)
        rc = dword("ErrorControl", dwErrorControl);
    if (rc == ERROR_SUCCESS)
        rc = text("ImagePath", REG_EXPAND_SZ, lpBinaryPathName);
    if (rc == ERROR_SUCCESS)
        rc = text("DisplayName", REG_SZ, display);
    if (rc == ERROR_SUCCESS)
        rc = dword("Type", dwServiceType);
    if (rc != ERROR_SUCCESS)
        return Failed<SC_HANDLE>(rc, nullptr);
    return Handles().Add(ScObject{false, dwDesiredAccess, name});
}

BOOL ControlService(SC_HANDLE hService, DWORD dwControl, SERVICE_STATUS* lpServiceStatus)
{
    if (lpServiceStatus != nullptr) {
        *lpServiceStatus = SERVICE_STATUS{};
        lpServiceStatus->dwServiceType = SERVICE_KERNEL_DRIVER;
    }
    if (dwControl != SERVICE_CONTROL_STOP)
        return Failed<BOOL>(ERROR_INVALID_SERVICE_CONTROL, FALSE);
    ScObject service;
    Key services;
    ServiceConfig config;
    if (const LONG rc = OpenServiceObject(hService, SERVICE_STOP, service, services, config); rc != ERROR_SUCCESS)
        return Failed<BOOL>(rc, FALSE);

    CDeviceLink link;
    link.SetStopEvent(StopEvent());
    const LONG connected = link.Connect(ControlPath(service.name));
    if (connected == ERROR_FILE_NOT_FOUND) {
        if (lpServiceStatus != nullptr)
            lpServiceStatus->dwCurrentState = SERVICE_STOPPED;
        return Failed<BOOL>(ERROR_SERVICE_NOT_ACTIVE, FALSE);
    }
    if (connected != ERROR_SUCCESS)
        return Failed<BOOL>(connected, FALSE);
    const int waitMs = static_cast<int>(g_stopWaitMs.load());
    CDeviceFrame::Answer answer;
    DWORD rc = link.Transact(CDeviceFrame::kUnload, 0, nullptr, 0, nullptr, 0, answer, waitMs);
    // A driver that ends before it answers has stopped all the same.
    if (rc == ERROR_SUCCESS && answer.status != 0)
        return Failed<BOOL>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL, FALSE);
    if (rc == ERROR_SUCCESS)
        rc = link.WaitClosed(waitMs);
    if (rc == ERROR_TIMEOUT)
        return Failed<BOOL>(ERROR_SERVICE_REQUEST_TIMEOUT, FALSE);
    if (rc == ERROR_OPERATION_ABORTED)
        return Failed<BOOL>(ERROR_OPERATION_ABORTED, FALSE);
    if (lpServiceStatus != nullptr)
        lpServiceStatus->dwCurrentState = SERVICE_STOPPED;
    if (config.deleteFlag)
        RegDeleteTree(services.h, service.name.c_str());
    return TRUE;
}

BOOL StartService(SC_HANDLE hService, DWORD, const char**)
{
    ScObject service;
    Key services;
    ServiceConfig config;
    if (const LONG rc = OpenServiceObject(hService, SERVICE_START, service, services, config); rc != ERROR_SUCCESS)
        return Failed<BOOL>(rc, FALSE);
    if (config.deleteFlag)
        return Failed<BOOL>(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    if (config.start == SERVICE_DISABLED)
        return Failed<BOOL>(ERROR_SERVICE_DISABLED, FALSE);
    if (IsRunning(service.name))
        return Failed<BOOL>(ERROR_SERVICE_ALREADY_RUNNING, FALSE);

    const std::string image = CPaths::MapWindowsPath(config.imagePath);
    struct stat st
    {};
    if (image.empty() || stat(image.c_str(), &st) != 0)
        return Failed<BOOL>(ERROR_PATH_NOT_FOUND, FALSE);
    if (!S_ISREG(st.st_mode))
        return Failed<BOOL>(ERROR_BAD_EXE_FORMAT, FALSE);
    const std::string controlPath = ControlPath(service.name);
    if (controlPath.size() >= sizeof(sockaddr_un::sun_path))
        return Failed<BOOL>(ERROR_FILENAME_EXCED_RANGE, FALSE);
    if (!CPaths::CreateFolder(CPaths::DeviceFolder() + "Driver"))
        return Failed<BOOL>(ERROR_ACCESS_DENIED, FALSE);

    const std::string serviceKey = std::string(kServicesKey) + "\\" + service.name;
    const DWORD rc = CDriverProcess::Launch(image, {serviceKey, controlPath}, CPaths::DeviceFolder(),
                                            static_cast<int>(g_startWaitMs.load()), StopEvent());
    if (rc == ERROR_TIMEOUT)
        return Failed<BOOL>(ERROR_SERVICE_REQUEST_TIMEOUT, FALSE);
    if (rc != ERROR_SUCCESS)
        return Failed<BOOL>(rc, FALSE);
    return TRUE;
}

BOOL DeleteService(SC_HANDLE hService)
{
    ScObject service;
    Key services;
    ServiceConfig config;
    if (const LONG rc = OpenServiceObject(hService, REG_DELETE, service, services, config); rc != ERROR_SUCCESS)
        return Failed<BOOL>(rc, FALSE);
    if (config.deleteFlag)
        return Failed<BOOL>(ERROR_SERVICE_MARKED_FOR_DELETE, FALSE);
    LONG rc = ERROR_SUCCESS;
    if (IsRunning(service.name)) {
        Key key;
        const DWORD flag = 1;
        rc = RegOpenKeyEx(services.h, service.name.c_str(), 0, KEY_ALL_ACCESS, &key.h);
        if (rc == ERROR_SUCCESS)
            rc = RegSetValueEx(key.h, kDeleteFlag, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&flag), sizeof flag);
    } else {
        rc = RegDeleteTree(services.h, service.name.c_str());
    }
    return rc == ERROR_SUCCESS ? TRUE : Failed<BOOL>(rc, FALSE);
}

BOOL CloseServiceHandle(SC_HANDLE hSCObject)
{
    ScObject object;
    return Handles().Remove(hSCObject, object) ? TRUE : Failed<BOOL>(ERROR_INVALID_HANDLE, FALSE);
}

void SetServiceControlWaits(DWORD startMs, DWORD stopMs)
{
    g_startWaitMs = startMs;
    g_stopWaitMs = stopMs;
}

void SetServiceControlStopEvent(std::shared_ptr<CStopEvent> stop)
{
    std::lock_guard lock(g_stopMutex);
    g_stop = std::move(stop);
}
