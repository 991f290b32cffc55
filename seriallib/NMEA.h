// NMEA 0183 sentences: "$", body, "*", two hexadecimal digits of the XOR of
// the body, CR, LF. A sentence without "*" and checksum is taken as it is.
#pragma once

#include "seriallib/NMEAMsg.h"
#include "seriallib/Protocol.h"

#include <mutex>

class CNMEA : public CProtocol
{
public:
    CNMEA(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    ~CNMEA() override;

    using CProtocol::Send;
    // "$", the bytes, "*", their XOR in two upper-case digits, CR, LF.
    BOOL Send(const CTarnMessage* message) override;
    BOOL Receive(CTarnMessage* message) override;
    BOOL ReceiveCallback(BYTE byte, BOOL last) override;
    BOOL ErrorCallback(COM_ERROR error) override;

    // Longest body kept; sentences are far shorter, so anything longer is
    // a line without its end.
    static constexpr UINT kMaxBody = 1024;

private:
    int AddToMsg(CNMEAMsg& msg, BYTE byte);
    CNMEAMsg& Current() { return static_cast<CNMEAMsg&>(*m_pRxMsg); }
};
