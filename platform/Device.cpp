#include "platform/Device.h"

#include "platform/DeviceLink.h"
#include "platform/HandleTable.h"
#include "platform/Paths.h"

#include <memory>
#include <string>
#include <string_view>

namespace {

struct OpenDevice
{
    std::shared_ptr<CDeviceLink> link;
    DWORD access = 0;
};

CHandleTable<HANDLE, OpenDevice>& Table()
{
    static CHandleTable<HANDLE, OpenDevice> table;
    return table;
}

// "\\.\Name" -> "Name"; empty for anything that is not one plain device
// name, so that no name reaches outside the device folder.
std::string DeviceName(const char* fileName)
{
    if (fileName == nullptr)
        return {};
    const std::string_view text(fileName);
    constexpr std::string_view prefix = "\\\\.\\";
    if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix)
        return {};
    const std::string_view name = text.substr(prefix.size());
    if (name == "." || name == ".." || name.find_first_of("\\/") != std::string_view::npos)
        return {};
    return std::string(name);
}

BOOL Failed(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

// One request on an open handle; TRUE with the byte count, or FALSE with the
// reason in the last error.
BOOL Exchange(HANDLE h, DWORD needAccess, DWORD op, DWORD code, const void* in, DWORD inLength, void* out,
              DWORD outCapacity, DWORD* count, int timeoutMs)
{
    if (count != nullptr)
        *count = 0;
    OpenDevice device;
    if (!Table().Find(h, device))
        return Failed(ERROR_INVALID_HANDLE);
    if ((device.access & needAccess) != needAccess)
        return Failed(ERROR_ACCESS_DENIED);
    if (inLength > CDeviceFrame::kMaxTransfer || outCapacity > CDeviceFrame::kMaxTransfer ||
        (in == nullptr && inLength > 0) || (out == nullptr && outCapacity > 0))
        return Failed(ERROR_INVALID_PARAMETER);
    CDeviceFrame::Answer answer;
    const DWORD rc = device.link->Transact(op, code, static_cast<const BYTE*>(in), inLength, static_cast<BYTE*>(out),
                                           outCapacity, answer, timeoutMs);
    if (rc != 0)
        return Failed(rc);
    if (answer.status != 0)
        return Failed(answer.status);
    if (count != nullptr)
        *count = answer.count;
    return TRUE;
}

}  // namespace

HANDLE CreateFile(const char* lpFileName, DWORD dwDesiredAccess, DWORD, const void*, DWORD dwCreationDisposition, DWORD,
                  HANDLE)
{
    const std::string name = DeviceName(lpFileName);
    if (name.empty()) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    if (dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto link = std::make_shared<CDeviceLink>();
    if (const DWORD rc = link->Connect(CPaths::DeviceFolder() + name); rc != 0) {
        SetLastError(rc);
        return INVALID_HANDLE_VALUE;
    }
    return Table().Add(OpenDevice{std::move(link), dwDesiredAccess});
}

BOOL DeviceIoControl(HANDLE hDevice, DWORD dwIoControlCode, const void* lpInBuffer, DWORD nInBufferSize,
                     void* lpOutBuffer, DWORD nOutBufferSize, DWORD* lpBytesReturned, void* lpOverlapped)
{
    if (lpOverlapped != nullptr)
        return Failed(ERROR_INVALID_PARAMETER);
    return Exchange(hDevice, 0, CDeviceFrame::kControl, dwIoControlCode, lpInBuffer, nInBufferSize, lpOutBuffer,
                    nOutBufferSize, lpBytesReturned, kDeviceAnswerTimeoutMs);
}

BOOL WriteFile(HANDLE hFile, const void* lpBuffer, DWORD nNumberOfBytesToWrite, DWORD* lpNumberOfBytesWritten,
               void* lpOverlapped)
{
    if (lpOverlapped != nullptr)
        return Failed(ERROR_INVALID_PARAMETER);
    return Exchange(hFile, GENERIC_WRITE, CDeviceFrame::kWrite, 0, lpBuffer, nNumberOfBytesToWrite, nullptr, 0,
                    lpNumberOfBytesWritten, kDeviceAnswerTimeoutMs);
}

BOOL ReadFile(HANDLE hFile, void* lpBuffer, DWORD nNumberOfBytesToRead, DWORD* lpNumberOfBytesRead, void* lpOverlapped)
{
    if (lpOverlapped != nullptr)
        return Failed(ERROR_INVALID_PARAMETER);
    return Exchange(hFile, GENERIC_READ, CDeviceFrame::kRead, 0, nullptr, 0, lpBuffer, nNumberOfBytesToRead,
                    lpNumberOfBytesRead, -1);
}

BOOL CancelIoEx(HANDLE hFile, void*)
{
    OpenDevice device;
    if (!Table().Find(hFile, device))
        return Failed(ERROR_INVALID_HANDLE);
    device.link->Cancel();
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject)
{
    OpenDevice device;
    if (!Table().Remove(hObject, device))
        return Failed(ERROR_INVALID_HANDLE);
    // A wait of another thread on this handle ends now; the link itself goes
    // when that thread lets go of it.
    device.link->Cancel();
    return TRUE;
}
