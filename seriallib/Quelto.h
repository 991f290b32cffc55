// Quelto binary telegrams (start 0x55, 16-bit length, 16-bit sum, end
// 0xAA). After a bad telegram, assembly starts again at the next 0x55 of
// its payload, so a telegram that began inside a damaged one is not lost.
#pragma once

#include "seriallib/Protocol.h"
#include "seriallib/QueltoMsg.h"

#include <mutex>
#include <vector>

class CQuelto : public CProtocol
{
public:
    CQuelto(CSercor* port, PROTOCOL_TYPE type, HWND owner);
    ~CQuelto() override;

    using CProtocol::Send;
    // Refuses payloads under 2 bytes (and over the largest one).
    BOOL Send(const CTarnMessage* message) override;
    BOOL Receive(CTarnMessage* message) override;
    BOOL ReceiveCallback(BYTE byte, BOOL last) override;
    BOOL ErrorCallback(COM_ERROR error) override;

    static WORD ComputeCS(const BYTE* bytes, WORD count);
    // Replaces out's contents by the telegram of the payload.
    static BOOL MakeFullQueltoMsg(CTarnMessage& out, const CTarnMessage& payload);

private:
    // Feeds one byte and counts what it gives.
    MSG_RESULT AddToMsg(CQueltoMsg& msg, BYTE byte);
    void SearchNewMsg();
    CQueltoMsg& Current() { return static_cast<CQueltoMsg&>(*m_pRxMsg); }
};
