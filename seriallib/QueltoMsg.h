// A Quelto telegram under assembly; holds the payload only.
//
//   0x55 | n-2 (u16 LE) | payload (n bytes) | sum of all before (u16 LE) | 0xAA
#pragma once

#include "seriallib/SercorTypes.h"
#include "seriallib/TarnMessage.h"

enum RX_STATE {
    RX_WAIT_START = 0,
    RX_LENGTH_LOW = 1,
    RX_LENGTH_HIGH = 2,
    RX_PAYLOAD = 3,
    RX_CHECKSUM_LOW = 4,
    RX_CHECKSUM_HIGH = 5,
    RX_END = 6,
};

class CQueltoMsg : public CTarnMessage
{
public:
    CQueltoMsg() : CTarnMessage(128, 16) {}
    CQueltoMsg(const CQueltoMsg&) = default;
    CQueltoMsg& operator=(const CQueltoMsg&) = default;

    void Empty() override
    {
        CTarnMessage::Empty();
        m_State = RX_WAIT_START;
    }

    RX_STATE GetState() const { return m_State; }
    MSG_RESULT NewByte(BYTE byte);

    // Largest payload a telegram may carry.
    static constexpr DWORD kMaxPayload = 4096;

private:
    // Kept wider than the 16-bit field: a field of 0xFFFF plus the two
    // bytes the field leaves out must not wrap to a small length.
    DWORD m_nLength = 0;
    WORD m_nSum = 0;
    WORD m_nReceived = 0;
    RX_STATE m_State = RX_WAIT_START;
};
