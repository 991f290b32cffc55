#include "seriallib/RAW.h"

CRAW::CRAW(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CProtocol(port, type, owner)
{
    m_pRxMsg = std::make_unique<CTarnMessage>(kBlock, 16);
    m_bTimeStamping = TRUE;
    if (m_pPort && IsTransmitter())
        m_pPort->SetTxDelay(0);
    if (m_pPort && IsReceiver())
        m_pPort->SetRxTimeouts(5, 500, 9600);
    Attach();
}

CRAW::~CRAW()
{
    Detach();
}

BOOL CRAW::Send(const CTarnMessage* message)
{
    if (!message)
        return FALSE;
    return Enqueue(new (std::nothrow) CTarnMessage(*message));
}

BOOL CRAW::Receive(CTarnMessage* message)
{
    if (!message) {
        message = m_pRxMsg.release();
        m_pRxMsg = std::make_unique<CTarnMessage>(kBlock, 16);
    }
    if (!message)
        return FALSE;
    IncrementMessagesReceived();
    return PostReceived(message);
}

BOOL CRAW::ReceiveCallback(BYTE byte, BOOL last)
{
    m_pRxMsg->AddByte(byte);
    if (m_pRxMsg->GetSize() >= kBlock || last) {
        // The next message is stamped by the next block, or here when the
        // block goes on.
        auto finished = Advance(std::make_unique<CTarnMessage>(kBlock, 16), last, m_pRxMsg->GetSize());
        Receive(finished.release());
    }
    return TRUE;
}

BOOL CRAW::ErrorCallback(COM_ERROR error)
{
    if (error == COM_RX_TIMEOUT) {
        if (!m_pRxMsg->IsEmpty())
            Receive(nullptr);
        return TRUE;
    }
    if (error == COM_ERROR_REPORT) {
        ++m_Counters.LineErrors;
        m_pRxMsg->Empty();
        return TRUE;
    }
    return FALSE;
}
