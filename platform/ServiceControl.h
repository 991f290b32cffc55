// The service control manager of the machine, for driver services, in calls
// shaped like their Win32 namesakes (same arguments, same result codes), so
// that an installer reads the same here.
//
// The service database is the machine hive's key
// "System\CurrentControlSet\Services": one key per service, with the values
// Type, Start, ErrorControl (DWORD), ImagePath (REG_EXPAND_SZ) and
// DisplayName (REG_SZ) that CreateService writes; a key counts as a service
// once it has its Type. Changing the database takes an installer's rights:
// write access to the machine hive. Only kernel drivers are kept.
//
// A driver is a program: starting its service runs the image file that
// ImagePath names (a Windows path is mapped through CPaths::MapWindowsPath)
// as a process of its own, detached from the caller, with the arguments
//   <image> <service key below HKEY_LOCAL_MACHINE> <control socket>
// and ZELVAR_DEVICE_DIR naming the device folder (CPaths::DeviceFolder()).
// Its standard input and error are /dev/null; on its standard output it
// writes "READY\n" once it serves its devices, and it fails to load when it
// closes that output or ends before. The control socket,
// <device folder>/Driver/<service name in lower case>, is how the manager
// reaches a driver: a service runs while a driver answers there, and
// stopping it is the unload request of platform/DeviceFrame.h there, after
// which the driver closes its devices and ends; no process is ever
// signalled.
//
// A failed call returns null or FALSE and leaves the Win32 error code in
// GetLastError(). Waits for a driver are bounded (SetServiceControlWaits)
// and end early with ERROR_OPERATION_ABORTED when the stop event given to
// SetServiceControlStopEvent is set.
#pragma once

#include "platform/LastError.h"
#include "platform/WinTypes.h"

#include <memory>

class CStopEvent;

struct SC_HANDLE__;
using SC_HANDLE = SC_HANDLE__*;

// Access rights of the manager.
constexpr DWORD SC_MANAGER_CONNECT = 0x0001;
constexpr DWORD SC_MANAGER_CREATE_SERVICE = 0x0002;
constexpr DWORD SC_MANAGER_ENUMERATE_SERVICE = 0x0004;
constexpr DWORD SC_MANAGER_LOCK = 0x0008;
constexpr DWORD SC_MANAGER_QUERY_LOCK_STATUS = 0x0010;
constexpr DWORD SC_MANAGER_MODIFY_BOOT_CONFIG = 0x0020;
constexpr DWORD SC_MANAGER_ALL_ACCESS = 0xF003F;

// Access rights of a service; deleting takes the standard delete right
// (REG_DELETE of platform/Registry.h), which SERVICE_ALL_ACCESS includes.
constexpr DWORD SERVICE_QUERY_CONFIG = 0x0001;
constexpr DWORD SERVICE_CHANGE_CONFIG = 0x0002;
constexpr DWORD SERVICE_QUERY_STATUS = 0x0004;
constexpr DWORD SERVICE_ENUMERATE_DEPENDENTS = 0x0008;
constexpr DWORD SERVICE_START = 0x0010;
constexpr DWORD SERVICE_STOP = 0x0020;
constexpr DWORD SERVICE_PAUSE_CONTINUE = 0x0040;
constexpr DWORD SERVICE_INTERROGATE = 0x0080;
constexpr DWORD SERVICE_USER_DEFINED_CONTROL = 0x0100;
constexpr DWORD SERVICE_ALL_ACCESS = 0xF01FF;

// Service types, start types and error controls.
constexpr DWORD SERVICE_KERNEL_DRIVER = 0x00000001;
constexpr DWORD SERVICE_BOOT_START = 0;
constexpr DWORD SERVICE_SYSTEM_START = 1;
constexpr DWORD SERVICE_AUTO_START = 2;
constexpr DWORD SERVICE_DEMAND_START = 3;
constexpr DWORD SERVICE_DISABLED = 4;
constexpr DWORD SERVICE_ERROR_IGNORE = 0;
constexpr DWORD SERVICE_ERROR_NORMAL = 1;
constexpr DWORD SERVICE_ERROR_SEVERE = 2;
constexpr DWORD SERVICE_ERROR_CRITICAL = 3;

// Controls, states and accepted controls.
constexpr DWORD SERVICE_CONTROL_STOP = 1;
constexpr DWORD SERVICE_STOPPED = 1;
constexpr DWORD SERVICE_RUNNING = 4;
constexpr DWORD SERVICE_ACCEPT_STOP = 1;

struct SERVICE_STATUS
{
    DWORD dwServiceType;
    DWORD dwCurrentState;
    DWORD dwControlsAccepted;
    DWORD dwWin32ExitCode;
    DWORD dwServiceSpecificExitCode;
    DWORD dwCheckPoint;
    DWORD dwWaitHint;
};

// Result codes of the service calls.
constexpr LONG ERROR_DEPENDENT_SERVICES_RUNNING = 1051;
constexpr LONG ERROR_INVALID_SERVICE_CONTROL = 1052;
constexpr LONG ERROR_SERVICE_REQUEST_TIMEOUT = 1053;
constexpr LONG ERROR_SERVICE_NO_THREAD = 1054;
constexpr LONG ERROR_SERVICE_DATABASE_LOCKED = 1055;
constexpr LONG ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr LONG ERROR_SERVICE_DISABLED = 1058;
constexpr LONG ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr LONG ERROR_SERVICE_CANNOT_ACCEPT_CTRL = 1061;
constexpr LONG ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr LONG ERROR_DATABASE_DOES_NOT_EXIST = 1065;
constexpr LONG ERROR_SERVICE_DEPENDENCY_FAIL = 1068;
constexpr LONG ERROR_SERVICE_LOGON_FAILED = 1069;
constexpr LONG ERROR_SERVICE_MARKED_FOR_DELETE = 1072;
constexpr LONG ERROR_SERVICE_EXISTS = 1073;
constexpr LONG ERROR_SERVICE_DEPENDENCY_DELETED = 1075;
constexpr LONG ERROR_DUPLICATE_SERVICE_NAME = 1078;

// The local machine's manager only (lpMachineName null or empty, else
// ERROR_INVALID_PARAMETER) and its one database ("ServicesActive" or null,
// else ERROR_DATABASE_DOES_NOT_EXIST). Asking for more than connecting,
// enumerating and querying the lock status needs write access to the
// machine hive (else ERROR_ACCESS_DENIED); a machine hive that cannot be
// read at all gives ERROR_DATABASE_DOES_NOT_EXIST.
SC_HANDLE OpenSCManager(const char* lpMachineName, const char* lpDatabaseName, DWORD dwDesiredAccess);

// Names are case-insensitive, 1 to 255 characters, without '\' or '/'
// (else ERROR_INVALID_NAME). Any right beyond querying needs write access to
// the machine hive.
SC_HANDLE OpenService(SC_HANDLE hSCManager, const char* lpServiceName, DWORD dwDesiredAccess);

// Kernel drivers only (else ERROR_INVALID_PARAMETER); the load order group,
// dependencies, account and password must be null or empty, since drivers
// here have none. A null display name is the service name.
SC_HANDLE CreateService(SC_HANDLE hSCManager, const char* lpServiceName, const char* lpDisplayName,
                        DWORD dwDesiredAccess, DWORD dwServiceType, DWORD dwStartType, DWORD dwErrorControl,
                        const char* lpBinaryPathName, const char* lpLoadOrderGroup, DWORD* lpdwTagId,
                        const char* lpDependencies, const char* lpServiceStartName, const char* lpPassword);

// Drivers take only the stop control (others: ERROR_INVALID_SERVICE_CONTROL).
// Returns once the driver has ended, or fails with
// ERROR_SERVICE_REQUEST_TIMEOUT when it has not within the stop wait.
BOOL ControlService(SC_HANDLE hService, DWORD dwControl, SERVICE_STATUS* lpServiceStatus);

// Runs the driver and returns once it serves its devices. Arguments are not
// passed on: drivers take none. Fails with ERROR_PATH_NOT_FOUND for a
// missing image file, ERROR_BAD_EXE_FORMAT for one that is not a program,
// ERROR_GEN_FAILURE for a driver that failed to load, and
// ERROR_SERVICE_REQUEST_TIMEOUT for one not ready within the start wait.
BOOL StartService(SC_HANDLE hService, DWORD dwNumServiceArgs, const char** lpServiceArgVectors);

// A stopped service is deleted at once; a running one is marked for deletion
// (value DeleteFlag) and deleted when it stops.
BOOL DeleteService(SC_HANDLE hService);

BOOL CloseServiceHandle(SC_HANDLE hSCObject);

// How long StartService waits for a driver to be ready and ControlService
// for it to end (defaults 30 s and 20 s).
void SetServiceControlWaits(DWORD startMs, DWORD stopMs);
// Set, the event ends every present and later wait for a driver; null
// leaves waits uncancellable.
void SetServiceControlStopEvent(std::shared_ptr<CStopEvent> stop);
