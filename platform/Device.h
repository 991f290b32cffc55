// Devices of drivers, opened by name ("\\.\DruDev") and used through control
// codes, writes and reads, in calls shaped like their Win32 namesakes.
//
// A device is the Unix stream socket of its name in the device folder
// (CPaths::DeviceFolder(): "\\.\DruDev" is <folder>/DruDev), served by the
// process that plays the device's driver; each handle is a connection of its
// own carrying the frames of platform/DeviceFrame.h. Only device names are
// opened here: files go through the standard library.
//
// A failed call returns FALSE (or INVALID_HANDLE_VALUE) and leaves the reason
// in GetLastError(): the driver's own result, or ERROR_FILE_NOT_FOUND (no
// such device), ERROR_ACCESS_DENIED, ERROR_INVALID_NAME, ERROR_INVALID_HANDLE,
// ERROR_INVALID_PARAMETER, ERROR_DEV_NOT_EXIST (the driver went away),
// ERROR_TIMEOUT or ERROR_OPERATION_ABORTED.
//
// Control codes and writes wait at most kDeviceAnswerTimeoutMs for the
// driver's answer; a read waits until the driver has data. CancelIoEx or
// CloseHandle from another thread ends a wait, and the handle is then good
// only for closing. Calls are thread-safe; requests on one handle are meant
// to come from one thread at a time.
#pragma once

#include "platform/LastError.h"
#include "platform/WinTypes.h"

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD OPEN_EXISTING = 3;

constexpr int kDeviceAnswerTimeoutMs = 10000;

// Opens the device for the access asked; share mode and flags are the
// driver's business and are not checked. The disposition must be
// OPEN_EXISTING; lpSecurityAttributes and hTemplateFile are ignored.
HANDLE CreateFile(const char* lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, const void* lpSecurityAttributes,
                  DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);

// lpOverlapped must be null: every call completes before it returns.
BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, const void* lpInBuffer, DWORD nInBufferSize,
                     void* lpOutBuffer, DWORD nOutBufferSize, DWORD* lpBytesReturned, void* lpOverlapped);
BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               void* lpOverlapped);
BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead, void* lpOverlapped);
BOOL CancelIoEx(HANDLE hFile, void* lpOverlapped);
BOOL CloseHandle(HANDLE hObject);
