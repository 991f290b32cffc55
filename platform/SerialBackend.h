// Serial lines: what the serial-line library needs of a port, behind one
// interface with two implementations, termios on a device and an in-memory
// fake for tests (platform/SerialBackendFake.h).
//
// Port names: "COMn" maps to the path set with SetComPortPath(n, path), else
// to the environment variable ZELVAR_COM<n>, else to /dev/ttyS<n-1>; a name
// holding a '/' is a device path as it stands; names registered by a fake
// line open that line.
#pragma once

#include "platform/WinTypes.h"

#include <cstddef>
#include <memory>
#include <string>

// Comm events.
constexpr DWORD EV_RXCHAR = 0x0001;
constexpr DWORD EV_RXFLAG = 0x0002;
constexpr DWORD EV_TXEMPTY = 0x0004;
constexpr DWORD EV_CTS = 0x0008;
constexpr DWORD EV_DSR = 0x0010;
constexpr DWORD EV_RLSD = 0x0020;
constexpr DWORD EV_BREAK = 0x0040;
constexpr DWORD EV_ERR = 0x0080;
constexpr DWORD EV_RING = 0x0100;

// Line errors.
constexpr DWORD CE_RXOVER = 0x0001;
constexpr DWORD CE_OVERRUN = 0x0002;
constexpr DWORD CE_RXPARITY = 0x0004;
constexpr DWORD CE_FRAME = 0x0008;
constexpr DWORD CE_BREAK = 0x0010;

// Modem status.
constexpr DWORD MS_CTS_ON = 0x0010;
constexpr DWORD MS_DSR_ON = 0x0020;
constexpr DWORD MS_RING_ON = 0x0040;
constexpr DWORD MS_RLSD_ON = 0x0080;

// Escape functions.
constexpr DWORD SETXOFF = 1;
constexpr DWORD SETXON = 2;
constexpr DWORD SETRTS = 3;
constexpr DWORD CLRRTS = 4;
constexpr DWORD SETDTR = 5;
constexpr DWORD CLRDTR = 6;
constexpr DWORD SETBREAK = 8;
constexpr DWORD CLRBREAK = 9;

// Parity and stop bit codes.
constexpr int NOPARITY = 0;
constexpr int ODDPARITY = 1;
constexpr int EVENPARITY = 2;
constexpr int MARKPARITY = 3;
constexpr int SPACEPARITY = 4;
constexpr int ONESTOPBIT = 0;
constexpr int ONE5STOPBITS = 1;
constexpr int TWOSTOPBITS = 2;

struct SerialLineSettings
{
    DWORD baud = 9600;
    int dataBits = 8;
    int parity = NOPARITY;
    int stopBits = ONESTOPBIT;
    bool ctsFlow = false;  // RTS/CTS handshake
    bool dsrFlow = false;  // DTR/DSR handshake (not every line has it)
    bool xonXoff = false;
    BYTE xonChar = 0x11;
    BYTE xoffChar = 0x13;
};

enum class SerialWait {
    Readable,  // bytes can be read
    Event,     // comm events or line errors are pending (TakeEvents)
    Timeout,
    Cancelled,  // Cancel was called
    Failed,     // the line is gone; later waits only wait for Cancel
};

class ISerialBackend
{
public:
    virtual ~ISerialBackend() = default;

    // FALSE when the line refuses the settings.
    virtual BOOL Configure(const SerialLineSettings& settings) = 0;
    // Waits for bytes, events, Cancel or the time-out.
    virtual SerialWait Wait(DWORD timeoutMs) = 0;
    // Reads what is there without waiting: the count, 0 for none, -1 when
    // the line failed.
    virtual long Read(BYTE* buffer, std::size_t max) = 0;
    // Writes the bytes, waiting up to timeoutMs for the line to take them;
    // the count written (less than n after a failure, time-out or Cancel).
    virtual long Write(const BYTE* bytes, std::size_t n, DWORD timeoutMs) = 0;
    // Comm events (EV_*) since the last call.
    virtual DWORD TakeEvents() = 0;
    // Line errors (CE_*) since the last call.
    virtual DWORD ClearError() = 0;
    virtual DWORD GetModemStatus() = 0;
    virtual BOOL Escape(DWORD function) = 0;
    // Drops what is buffered in both directions.
    virtual void Purge() = 0;
    // Wakes Wait and Write from any thread; stays in force until ResetCancel.
    virtual void Cancel() = 0;
    virtual void ResetCancel() = 0;
};

// The device path of a port name (see above).
std::string SerialDevicePath(const std::string& name);
// Maps COMn to a path; an empty path restores the default.
void SetComPortPath(int n, const std::string& path);

// Opens the line exclusively; null on failure, with the cause in error.
std::unique_ptr<ISerialBackend> OpenSerialBackend(const std::string& name, std::string* error = nullptr);
