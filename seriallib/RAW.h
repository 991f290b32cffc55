// Bytes as they come, in messages of at most 80 bytes that end with their
// read block.
#pragma once

#include "seriallib/Protocol.h"

class CRAW : public CProtocol
{
public:
    CRAW(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    ~CRAW() override;

    using CProtocol::Send;
    BOOL Send(const CTarnMessage* message) override;
    // Delivers the given message, or the current one when given none.
    BOOL Receive(CTarnMessage* message) override;
    BOOL ReceiveCallback(BYTE byte, BOOL last) override;
    BOOL ErrorCallback(COM_ERROR error) override;

    static constexpr UINT kBlock = 80;
};
