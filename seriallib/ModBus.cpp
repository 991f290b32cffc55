#include "seriallib/ModBus.h"

#include "platform/ByteWriter.h"

CModBus::CModBus(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CProtocol(port, type, owner)
{
    m_pRxMsg = std::make_unique<CTarnMessage>(kMaxFrame, 16);
    m_bTimeStamping = FALSE;
    if (m_pPort)
        m_pPort->SetTimeouts(30, 50, 0);
    Attach();
}

CModBus::~CModBus()
{
    Detach();
}

// 01 03 00 00 00 01 -> 0x0A84, sent as 84 0A
WORD CModBus::ComputeCS(const BYTE* bytes, UINT count)
{
    WORD crc = 0xFFFF;
    for (UINT i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<WORD>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

BOOL CModBus::Send(const CTarnMessage* message)
{
    if (!message)
        return FALSE;
    auto* framed = new (std::nothrow) CTarnMessage(message->GetSize() + 2, 16);
    if (!framed)
        return FALSE;
    const WORD crc = ComputeCS(message->GetDataPtr(), message->GetSize());
    BYTE tail[2];
    CByteWriter(tail, sizeof tail).U16(0, crc);
    if (!framed->AddBytes(message->GetDataPtr(), message->GetSize()) || !framed->AddBytes(tail, sizeof tail)) {
        delete framed;
        return FALSE;
    }
    return Enqueue(framed);
}

BOOL CModBus::Receive(CTarnMessage* message)
{
    if (!message)
        return FALSE;
    if (message->GetSize() < kMinFrame || ComputeCS(message->GetDataPtr(), message->GetSize()) != 0) {
        ++m_Counters.ChecksumErrors;
        return FALSE;
    }
    message->SetSize(message->GetSize() - 2);
    IncrementMessagesReceived();
    PostReceived(message);
    return TRUE;
}

void CModBus::EndFrame()
{
    if (Receive(m_pRxMsg.get())) {
        (void)m_pRxMsg.release();  // posted: the receiver has it now
        m_pRxMsg = std::make_unique<CTarnMessage>(kMaxFrame, 16);
    } else {
        m_pRxMsg->Empty();
    }
}

BOOL CModBus::ReceiveCallback(BYTE byte, BOOL)
{
    m_pRxMsg->AddByte(byte);
    if (m_pRxMsg->GetSize() >= kMaxFrame)
        EndFrame();
    return TRUE;
}

BOOL CModBus::ErrorCallback(COM_ERROR error)
{
    if (error == COM_RX_TIMEOUT) {
        // Silence after a frame ends it; silence alone is no frame at all.
        if (!m_pRxMsg->IsEmpty())
            EndFrame();
        return TRUE;
    }
    if (error == COM_ERROR_REPORT) {
        ++m_Counters.LineErrors;
        m_pRxMsg->Empty();
        return TRUE;
    }
    return FALSE;
}
