#include "seriallib/ASCII.h"

namespace {
constexpr BYTE CR = 13;
constexpr BYTE LF = 10;
}  // namespace

CASCII::CASCII(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CProtocol(port, type, owner)
{
    m_pRxMsg = std::make_unique<CTarnMessage>(80, 16);
    m_bTimeStamping = TRUE;
    if (m_pPort && IsTransmitter())
        m_pPort->SetTxDelay(0);
    if (m_pPort && IsReceiver())
        m_pPort->SetRxTimeouts(10, 100, 9600);
    Attach();
}

CASCII::~CASCII()
{
    Detach();
}

void CASCII::SetTerminator(BOOL lf, BOOL cr)
{
    // The half-seen terminator belongs to the reader: changed under its lock.
    if (m_pPort)
        m_pPort->EnterExitProtocol();
    m_bLF = lf;
    m_bCR = cr;
    m_bCRSeen = FALSE;
    if (m_pPort)
        m_pPort->LeaveExitProtocol();
}

BOOL CASCII::Send(const CTarnMessage* message)
{
    if (!message || message->IsEmpty())
        return FALSE;
    return Enqueue(new (std::nothrow) CTarnMessage(*message));
}

BOOL CASCII::Send(const std::string& text)
{
    if (text.empty())
        return FALSE;
    std::string line = text;
    const auto endsWith = [&](const char* tail) {
        const std::size_t n = std::char_traits<char>::length(tail);
        return line.size() >= n && line.compare(line.size() - n, n, tail) == 0;
    };
    // A line gets its terminator once, whatever part of it it already has.
    if (m_bCR && m_bLF) {
        if (endsWith("\r\n")) {
        } else if (endsWith("\r")) {
            line += '\n';
        } else if (endsWith("\n")) {
            // A bare LF becomes CR LF: LF then CR would end no line at a
            // receiver that waits for CR LF.
            line.insert(line.size() - 1, 1, '\r');
        } else {
            line += "\r\n";
        }
    } else if (m_bCR) {
        if (!endsWith("\r"))
            line += '\r';
    } else if (m_bLF) {
        if (!endsWith("\n"))
            line += '\n';
    }
    auto* message = new (std::nothrow) CTarnMessage(line, 16);
    if (!message)
        return FALSE;
    if (message->GetSize() != line.size()) {
        delete message;
        return FALSE;
    }
    return Enqueue(message);
}

BOOL CASCII::Receive(CTarnMessage* message)
{
    if (!message)
        return FALSE;
    IncrementMessagesReceived();
    return PostReceived(message);
}

bool CASCII::Append(BYTE byte)
{
    if (m_bOverlong) {
        ++m_nOverlongExtra;
        return false;
    }
    if (m_pRxMsg->GetSize() >= kMaxAssembly) {
        // Not emptied: an empty message would be stamped again at the next
        // block, which starts inside this line.
        m_bOverlong = true;
        m_nOverlongExtra = 1;
        ++m_Counters.LengthErrors;
        return false;
    }
    return m_pRxMsg->AddByte(byte) != 0;
}

void CASCII::CompleteLine(BOOL last)
{
    m_bCRSeen = FALSE;
    // The successor starts after the line and its terminator.
    const UINT characters = m_pRxMsg->GetSize() + m_nOverlongExtra + ((m_bCR && m_bLF) ? 2 : 1);
    auto finished = Advance(std::make_unique<CTarnMessage>(80, 16), last, characters);
    if (m_bOverlong) {
        m_bOverlong = false;
        m_nOverlongExtra = 0;
        return;
    }
    Receive(finished.release());
}

BOOL CASCII::ReceiveCallback(BYTE byte, BOOL last)
{
    if (byte == CR && m_bCR) {
        if (!m_bLF) {
            CompleteLine(last);
            return TRUE;
        }
        // A CR that another CR follows was an ordinary byte of the line.
        if (m_bCRSeen)
            Append(CR);
        m_bCRSeen = TRUE;
        return TRUE;
    }
    if (byte == LF && m_bLF && (!m_bCR || m_bCRSeen)) {
        CompleteLine(last);
        return TRUE;
    }
    // A CR not followed by LF stays in the line.
    if (m_bCRSeen)
        Append(CR);
    m_bCRSeen = FALSE;
    Append(byte);
    return TRUE;
}

BOOL CASCII::ErrorCallback(COM_ERROR error)
{
    if (error != COM_RX_TIMEOUT && error != COM_ERROR_REPORT)
        return FALSE;
    const bool pending = !m_pRxMsg->IsEmpty() || m_bCRSeen || m_bOverlong;
    // A time-out with nothing under way is just a quiet line.
    if (error == COM_RX_TIMEOUT && !pending)
        return TRUE;
    m_pRxMsg->Empty();
    m_bCRSeen = FALSE;
    m_bOverlong = false;
    m_nOverlongExtra = 0;
    ++m_Counters.LineErrors;
    return TRUE;
}
