#include "seriallib/ZLT2_300.h"

CZLT2_300::CZLT2_300(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CProtocol(port, type, owner)
{
    m_pRxMsg = std::make_unique<CZLTMsg>();
    m_bTimeStamping = TRUE;
    if (m_pPort)
        m_pPort->SetTimeouts(10, 40, 9600);
    Attach();
}

CZLT2_300::~CZLT2_300()
{
    Detach();
}

BYTE CZLT2_300::ComputeCS(const BYTE* bytes, UINT count)
{
    BYTE sum = 0;
    for (UINT i = 0; i < count; ++i)
        sum ^= bytes[i];
    return sum;
}

BOOL CZLT2_300::Send(const CTarnMessage* message)
{
    if (!message || message->IsEmpty())
        return FALSE;
    auto* framed = new (std::nothrow) CTarnMessage(message->GetSize() + 2, 16);
    if (!framed)
        return FALSE;
    const BYTE tail[] = {ComputeCS(message->GetDataPtr(), message->GetSize()), kEnd};
    if (!framed->AddBytes(message->GetDataPtr(), message->GetSize()) || !framed->AddBytes(tail, sizeof tail)) {
        delete framed;
        return FALSE;
    }
    return Enqueue(framed);
}

BOOL CZLT2_300::Receive(CTarnMessage* message)
{
    return PostReceived(message);
}

// 0x31 0x32 | 0x03 (= 0x31 ^ 0x32) | 0x40
MSG_RESULT CZLT2_300::AddToMsg(CZLTMsg& msg, BYTE byte)
{
    if (msg.m_nState == 0)
        msg.m_nState = 1;
    if (byte != kEnd) {
        if (msg.GetSize() >= kMaxAssembly)
            return MSG_LENGTH_ERROR;
        msg.AddByte(byte);
        return MSG_BYTE_TAKEN;
    }
    // A telegram needs a payload before its checksum byte.
    if (msg.GetSize() < 2)
        return MSG_END_ERROR;
    const UINT n = msg.GetSize() - 1;
    if (ComputeCS(msg.GetDataPtr(), n) != msg.GetAt(n))
        return MSG_CHECKSUM_ERROR;
    msg.SetSize(n);
    return MSG_COMPLETE;
}

BOOL CZLT2_300::ReceiveCallback(BYTE byte, BOOL last)
{
    if (m_bOverlong) {
        if (byte == kEnd)
            m_bOverlong = false;
        return TRUE;
    }
    const MSG_RESULT result = AddToMsg(Current(), byte);
    switch (result) {
    case MSG_LENGTH_ERROR:
    case MSG_CHECKSUM_ERROR:
    case MSG_END_ERROR: {
        std::lock_guard lock(m_StatLock);
        if (result == MSG_LENGTH_ERROR) {
            ++m_Counters.LengthErrors;
            m_bOverlong = true;
        } else if (result == MSG_CHECKSUM_ERROR) {
            ++m_Counters.ChecksumErrors;
        } else {
            ++m_Counters.EndCharErrors;
        }
        Current().Empty();
        return TRUE;
    }
    case MSG_COMPLETE: {
        DeliverFinished(Advance(std::make_unique<CZLTMsg>(), last, m_pRxMsg->GetSize() + 2));
        return TRUE;
    }
    default:
        return TRUE;
    }
}

BOOL CZLT2_300::ErrorCallback(COM_ERROR error)
{
    if (error == COM_RX_TIMEOUT) {
        if (!Current().IsEmpty())
            Current().Empty();
        m_bOverlong = false;
        return TRUE;
    }
    if (error == COM_ERROR_REPORT) {
        {
            std::lock_guard lock(m_StatLock);
            ++m_Counters.LineErrors;
        }
        Current().Empty();
        m_bOverlong = false;
        return TRUE;
    }
    return FALSE;
}
