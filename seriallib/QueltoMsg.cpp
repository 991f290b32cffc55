#include "seriallib/QueltoMsg.h"

MSG_RESULT CQueltoMsg::NewByte(BYTE byte)
{
    switch (m_State) {
    case RX_WAIT_START:
        if (byte != 0x55)
            return MSG_START_ERROR;
        m_State = RX_LENGTH_LOW;
        m_nSum = 0x55;
        m_nLength = 0;
        return MSG_BYTE_TAKEN;
    case RX_LENGTH_LOW:
        m_nSum = static_cast<WORD>(m_nSum + byte);
        m_nLength = byte;
        m_State = RX_LENGTH_HIGH;
        return MSG_BYTE_TAKEN;
    case RX_LENGTH_HIGH:
        m_nSum = static_cast<WORD>(m_nSum + byte);
        m_nLength += DWORD(byte) * 256 + 2;
        m_State = RX_PAYLOAD;
        return m_nLength > kMaxPayload ? MSG_LENGTH_ERROR : MSG_BYTE_TAKEN;
    case RX_PAYLOAD:
        AddByte(byte);
        m_nSum = static_cast<WORD>(m_nSum + byte);
        if (GetSize() >= m_nLength)
            m_State = RX_CHECKSUM_LOW;
        return MSG_BYTE_TAKEN;
    case RX_CHECKSUM_LOW:
        m_nReceived = byte;
        m_State = RX_CHECKSUM_HIGH;
        return MSG_BYTE_TAKEN;
    case RX_CHECKSUM_HIGH:
        m_nReceived = static_cast<WORD>(m_nReceived + byte * 256);
        m_State = RX_END;
        return MSG_BYTE_TAKEN;
    case RX_END:
        if (m_nReceived != m_nSum)
            return MSG_CHECKSUM_ERROR;
        return byte == 0xAA ? MSG_COMPLETE : MSG_END_ERROR;
    }
    return MSG_BYTE_TAKEN;
}
