#include "seriallib/MoviraTelegram.h"

CMoviraTelegram::CMoviraTelegram(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CProtocol(port, type, owner)
{
    m_pRxMsg = std::make_unique<CTarnMessage>(kTelegram, 16);
    m_bTimeStamping = TRUE;
    if (m_pPort && IsTransmitter())
        m_pPort->SetTxDelay(0);
    if (m_pPort && IsReceiver())
        m_pPort->SetRxTimeouts(10, 100, 0);
}

CMoviraTelegram::~CMoviraTelegram()
{
    Detach();
}

BOOL CMoviraTelegram::Send(const CTarnMessage* message)
{
    if (!message)
        return FALSE;
    return Enqueue(new (std::nothrow) CTarnMessage(*message));
}

BOOL CMoviraTelegram::Receive(CTarnMessage* message)
{
    if (!message) {
        message = m_pRxMsg.release();
        m_pRxMsg = std::make_unique<CTarnMessage>(kTelegram, 16);
    }
    if (!message)
        return FALSE;
    IncrementMessagesReceived();
    return PostReceived(message);
}

BOOL CMoviraTelegram::ReceiveCallback(BYTE byte, BOOL last)
{
    const UINT held = m_pRxMsg->GetSize();
    if (held == 0 && !IsFirstByte(byte)) {
        ++m_Counters.StartCharErrors;
        return TRUE;
    }
    if (held == 1 && byte != kSecond) {
        // The held first byte stays; the next byte is checked as byte 1.
        ++m_Counters.StartCharErrors;
        return TRUE;
    }
    m_pRxMsg->AddByte(byte);
    if (m_pRxMsg->GetSize() >= kTelegram) {
        auto finished = Advance(std::make_unique<CTarnMessage>(kTelegram, 16), last, kTelegram);
        Receive(finished.release());
    }
    return TRUE;
}

BOOL CMoviraTelegram::ErrorCallback(COM_ERROR error)
{
    if (error != COM_RX_TIMEOUT && error != COM_ERROR_REPORT)
        return FALSE;
    // A time-out between telegrams is just a quiet line.
    if (error == COM_RX_TIMEOUT && m_pRxMsg->IsEmpty())
        return TRUE;
    ++m_Counters.LineErrors;
    m_pRxMsg->Empty();
    return TRUE;
}
