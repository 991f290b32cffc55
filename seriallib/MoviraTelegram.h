// Fixed 10-byte motion-sensor telegrams recognised by their two leading
// bytes; the fields inside are read by the receiver. The two protocol
// classes differ only in the first bytes they accept.
#pragma once

#include "seriallib/Protocol.h"

class CMoviraTelegram : public CProtocol
{
public:
    ~CMoviraTelegram() override;

    using CProtocol::Send;
    BOOL Send(const CTarnMessage* message) override;
    // Delivers the given message, or the current one when given none.
    BOOL Receive(CTarnMessage* message) override;
    BOOL ReceiveCallback(BYTE byte, BOOL last) override;
    BOOL ErrorCallback(COM_ERROR error) override;

    static constexpr UINT kTelegram = 10;
    static constexpr BYTE kSecond = 0x90;

protected:
    CMoviraTelegram(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    virtual bool IsFirstByte(BYTE byte) const = 0;
};
