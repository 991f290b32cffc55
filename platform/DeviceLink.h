// One connection to the socket of a device or of a driver's control
// endpoint, carrying the requests and answers of platform/DeviceFrame.h.
// The device calls (platform/Device.h) and the service manager
// (platform/ServiceControl.h) talk to drivers through it.
//
// Results are Win32 error codes. A link whose exchange failed (the far end
// went away, answered nonsense, did not answer in time, or the wait was
// cancelled) is spent: the request and answer no longer pair up, so every
// later call fails with the same code.
#pragma once

#include "platform/DeviceFrame.h"
#include "platform/Socket.h"
#include "platform/WinTypes.h"

#include <memory>
#include <string>

class CDeviceLink
{
public:
    CDeviceLink();
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    // Connects to the socket at path: 0, ERROR_FILE_NOT_FOUND (no socket
    // there, or nobody serving it), ERROR_ACCESS_DENIED,
    // ERROR_FILENAME_EXCED_RANGE (too long a path for a socket),
    // ERROR_NOT_READY (too many waiting to connect) or ERROR_GEN_FAILURE.
    DWORD Connect(const std::string& path);

    // Sends one request and waits for its answer, at most timeoutMs
    // (negative: no limit). 0 when the answer came: its status and count are
    // in answer, its data in out. Otherwise ERROR_DEV_NOT_EXIST (the far end
    // closed or broke the frames), ERROR_TIMEOUT or ERROR_OPERATION_ABORTED.
    DWORD Transact(DWORD op, DWORD code, const BYTE* in, DWORD inLength, BYTE* out, DWORD outCapacity,
                   CDeviceFrame::Answer& answer, int timeoutMs);

    // Waits until the far end closes the connection: 0, ERROR_TIMEOUT or
    // ERROR_OPERATION_ABORTED.
    DWORD WaitClosed(int timeoutMs);

    // From any thread: ends the present and every later wait of this link
    // with ERROR_OPERATION_ABORTED.
    void Cancel();
    // Shares a stop event with others, so that one Set ends the waits of all
    // the links that use it.
    void SetStopEvent(std::shared_ptr<CStopEvent> stop);

private:
    // Deadlines are steady-clock milliseconds, negative for none.
    static long long DeadlineAfter(int timeoutMs);
    // 0 when the socket is ready for events, else a failure code.
    DWORD Wait(short events, long long deadline);
    DWORD SendAll(const BYTE* data, std::size_t length, long long deadline);
    DWORD ReceiveAll(BYTE* data, std::size_t length, long long deadline);
    DWORD Fail(DWORD error);

    int m_fd = -1;
    DWORD m_failed = 0;
    std::shared_ptr<CStopEvent> m_stop;
};
