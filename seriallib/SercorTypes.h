// Numbers and records shared by the ports, the protocols and their callers.
#pragma once

#include "platform/SerialBackend.h"
#include "platform/WinTypes.h"

#include <atomic>

// Window messages posted by a receive protocol to its owner.
constexpr UINT WM_SERCOR_MESSAGE = 1127;  // wParam the CTarnMessage, lParam the protocol
constexpr UINT WM_SERCOR_BREAK = 1129;
constexpr UINT WM_SERCOR_CTS = 1130;
constexpr UINT WM_SERCOR_DSR = 1131;
constexpr UINT WM_SERCOR_ERR = 1132;
constexpr UINT WM_SERCOR_RING = 1133;
constexpr UINT WM_SERCOR_RLSD = 1134;
constexpr UINT WM_SERCOR_RXCHAR = 1135;
constexpr UINT WM_SERCOR_RXFLAG = 1136;
constexpr UINT WM_SERCOR_TXEMPTY = 1137;

// String ids and their built-in texts.
constexpr UINT IDS_SERCOR_ILLEGAL_SETUP = 59142;
constexpr const char* kSercorIllegalSetup = "Illegal setup!";
constexpr UINT IDS_SERCOR_PORT_NONE = 59144;
constexpr const char* kSercorPortNone = "None";
constexpr const char* kSercorCaption = "TARN32";

// Registry key under the current user that holds the port settings sections.
constexpr const char* kSercorProfileKey = "Software\\Zelvar\\Sercor";

enum PROTOCOL_TYPE { PROT_TRANSMIT = 0, PROT_RECEIVE = 1, PROT_RXTX = 2 };

enum COM_ERROR { COM_RX_TIMEOUT = 0, COM_ERROR_REPORT = 1 };

enum MSG_RESULT {
    MSG_BYTE_TAKEN = 0,
    MSG_START_ERROR = 1,
    MSG_LENGTH_ERROR = 2,
    MSG_CHECKSUM_ERROR = 3,
    MSG_END_ERROR = 4,
    MSG_COMPLETE = 5,
};

struct tag_COM_STATISTICS
{
    DWORD BytesSent = 0;
    DWORD BytesReceived = 0;
    DWORD ParityErrors = 0;
    DWORD OverrunErrors = 0;
    DWORD FramingErrors = 0;
    DWORD OtherErrors = 0;  // other line errors, and writes the line refused
};

struct tag_PROT_STATISTICS
{
    DWORD MessagesSent = 0;
    DWORD MessagesReceived = 0;
    DWORD StartCharErrors = 0;
    DWORD EndCharErrors = 0;
    DWORD ChecksumErrors = 0;
    DWORD LineErrors = 0;
    // Messages dropped for growing past their protocol's limit.
    DWORD LengthErrors = 0;
};

// The counters of a protocol, incremented from the port's threads and read
// from any.
struct CProtCounters
{
    std::atomic<DWORD> MessagesSent{0};
    std::atomic<DWORD> MessagesReceived{0};
    std::atomic<DWORD> StartCharErrors{0};
    std::atomic<DWORD> EndCharErrors{0};
    std::atomic<DWORD> ChecksumErrors{0};
    std::atomic<DWORD> LineErrors{0};
    std::atomic<DWORD> LengthErrors{0};

    void CopyTo(tag_PROT_STATISTICS& out) const
    {
        out.MessagesSent = MessagesSent.load();
        out.MessagesReceived = MessagesReceived.load();
        out.StartCharErrors = StartCharErrors.load();
        out.EndCharErrors = EndCharErrors.load();
        out.ChecksumErrors = ChecksumErrors.load();
        out.LineErrors = LineErrors.load();
        out.LengthErrors = LengthErrors.load();
    }
};
