#include "seriallib/NMEA.h"

namespace {
constexpr BYTE CR = 13;
constexpr BYTE LF = 10;

BYTE DigitValue(BYTE b)
{
    return static_cast<BYTE>((b < ':' ? b : b - 55) & 15);
}
}  // namespace

CNMEA::CNMEA(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CProtocol(port, type, owner)
{
    m_pRxMsg = std::make_unique<CNMEAMsg>(128, 16);
    m_bTimeStamping = TRUE;
    if (m_pPort)
        m_pPort->SetTimeouts(10, 30, 0);
    Attach();
}

CNMEA::~CNMEA()
{
    Detach();
}

BOOL CNMEA::Send(const CTarnMessage* message)
{
    if (!message)
        return FALSE;
    static constexpr char hex[] = "0123456789ABCDEF";
    BYTE sum = 0;
    for (UINT i = 0; i < message->GetSize(); ++i)
        sum ^= message->GetAt(i);
    auto* framed = new (std::nothrow) CTarnMessage(message->GetSize() + 6, 16);
    if (!framed || framed->GetCapacity() == 0) {
        delete framed;
        return FALSE;
    }
    const BYTE tail[] = {'*', static_cast<BYTE>(hex[sum >> 4]), static_cast<BYTE>(hex[sum & 15]), CR, LF};
    if (!framed->AddByte('$') || !framed->AddBytes(message->GetDataPtr(), message->GetSize()) ||
        !framed->AddBytes(tail, sizeof tail)) {
        delete framed;
        return FALSE;
    }
    return Enqueue(framed);
}

BOOL CNMEA::Receive(CTarnMessage* message)
{
    return PostReceived(message);
}

// $GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47<CR><LF>
//  ^ state 0 -> 1, body to "*" (state 2, 3: digits), CR (state 4 -> 5), LF.
int CNMEA::AddToMsg(CNMEAMsg& msg, BYTE byte)
{
    switch (msg.m_nState) {
    case 0:
        if (byte != '$')
            return MSG_START_ERROR;
        msg.m_nState = 1;
        msg.m_Computed = 0;
        msg.m_bNoChecksum = FALSE;
        return MSG_BYTE_TAKEN;
    case 1:
        if (byte == '*') {
            msg.m_nState = 2;
        } else if (byte == CR) {
            msg.m_nState = 5;
            msg.m_bNoChecksum = TRUE;
        } else {
            if (msg.GetSize() >= kMaxBody)
                return MSG_LENGTH_ERROR;
            msg.AddByte(byte);
            msg.m_Computed ^= byte;
        }
        return MSG_BYTE_TAKEN;
    case 2:
        msg.m_Received = DigitValue(byte);
        msg.m_nState = 3;
        return MSG_BYTE_TAKEN;
    case 3:
        msg.m_Received = static_cast<BYTE>(msg.m_Received * 16 + DigitValue(byte));
        msg.m_nState = 4;
        return MSG_BYTE_TAKEN;
    case 4:
        if (byte != CR)
            return MSG_END_ERROR;
        msg.m_nState = 5;
        return MSG_BYTE_TAKEN;
    case 5:
        if (byte != LF)
            return MSG_END_ERROR;
        if (msg.m_Received != msg.m_Computed && !msg.m_bNoChecksum)
            return MSG_CHECKSUM_ERROR;
        return MSG_COMPLETE;
    default:
        return MSG_BYTE_TAKEN;
    }
}

BOOL CNMEA::ReceiveCallback(BYTE byte, BOOL last)
{
    const int result = AddToMsg(Current(), byte);
    switch (result) {
    case MSG_START_ERROR: {
        std::lock_guard lock(m_StatLock);
        ++m_Counters.StartCharErrors;
        return TRUE;
    }
    case MSG_LENGTH_ERROR:
    case MSG_CHECKSUM_ERROR:
    case MSG_END_ERROR: {
        {
            std::lock_guard lock(m_StatLock);
            if (result == MSG_LENGTH_ERROR)
                ++m_Counters.LengthErrors;
            else if (result == MSG_CHECKSUM_ERROR)
                ++m_Counters.ChecksumErrors;
            else
                ++m_Counters.EndCharErrors;
        }
        Current().Empty();
        return TRUE;
    }
    case MSG_COMPLETE: {
        // "$", body, then "*hh" CR LF or CR LF alone.
        const UINT characters = m_pRxMsg->GetSize() + (Current().m_bNoChecksum ? 3 : 6);
        DeliverFinished(Advance(std::make_unique<CNMEAMsg>(128, 16), last, characters));
        return TRUE;
    }
    default:
        return TRUE;
    }
}

BOOL CNMEA::ErrorCallback(COM_ERROR error)
{
    if (error == COM_RX_TIMEOUT) {
        Current().Empty();
        return TRUE;
    }
    if (error == COM_ERROR_REPORT) {
        std::lock_guard lock(m_StatLock);
        ++m_Counters.LineErrors;
        Current().Empty();
        return TRUE;
    }
    return FALSE;
}
