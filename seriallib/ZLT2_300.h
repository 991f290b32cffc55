// ZLT2_300 telegrams: payload, XOR of the payload, end byte 0x40; no start
// byte.
#pragma once

#include "seriallib/Protocol.h"
#include "seriallib/ZLTMsg.h"

#include <mutex>

class CZLT2_300 : public CProtocol
{
public:
    CZLT2_300(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    ~CZLT2_300() override;

    using CProtocol::Send;
    BOOL Send(const CTarnMessage* message) override;
    BOOL Receive(CTarnMessage* message) override;
    BOOL ReceiveCallback(BYTE byte, BOOL last) override;
    BOOL ErrorCallback(COM_ERROR error) override;

    static BYTE ComputeCS(const BYTE* bytes, UINT count);

    static constexpr BYTE kEnd = 0x40;

private:
    MSG_RESULT AddToMsg(CZLTMsg& msg, BYTE byte);
    CZLTMsg& Current() { return static_cast<CZLTMsg&>(*m_pRxMsg); }

    // A telegram grew past the limit: bytes are dropped up to its end byte.
    bool m_bOverlong = false;
};
