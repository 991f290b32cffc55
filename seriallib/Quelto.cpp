#include "seriallib/Quelto.h"

#include "platform/ByteWriter.h"

#include <algorithm>

CQuelto::CQuelto(CSercor* port, PROTOCOL_TYPE type, HWND owner) : CProtocol(port, type, owner)
{
    m_pRxMsg = std::make_unique<CQueltoMsg>();
    m_bTimeStamping = TRUE;
    if (m_pPort)
        m_pPort->SetTimeouts(10, 40, 9600);
    Attach();
}

CQuelto::~CQuelto()
{
    Detach();
}

WORD CQuelto::ComputeCS(const BYTE* bytes, WORD count)
{
    WORD sum = 0;
    for (WORD i = 0; i < count; ++i)
        sum = static_cast<WORD>(sum + bytes[i]);
    return sum;
}

BOOL CQuelto::MakeFullQueltoMsg(CTarnMessage& out, const CTarnMessage& payload)
{
    const UINT n = payload.GetSize();
    if (n < 2 || n > CQueltoMsg::kMaxPayload)
        return FALSE;
    const WORD field = static_cast<WORD>(n - 2);
    out.Empty();
    BYTE head[3] = {0x55};
    CByteWriter(head, sizeof head).U16(1, field);
    if (!out.AddBytes(head, sizeof head) || !out.AddBytes(payload.GetDataPtr(), n))
        return FALSE;
    const WORD total = ComputeCS(out.GetDataPtr(), static_cast<WORD>(out.GetSize()));
    BYTE tail[3] = {0, 0, 0xAA};
    CByteWriter(tail, sizeof tail).U16(0, total);
    return out.AddBytes(tail, sizeof tail);
}

BOOL CQuelto::Send(const CTarnMessage* message)
{
    if (!message || message->GetSize() < 2)
        return FALSE;
    auto* framed = new (std::nothrow) CTarnMessage(message->GetSize() + 6, 16);
    if (!framed || !MakeFullQueltoMsg(*framed, *message)) {
        delete framed;
        return FALSE;
    }
    return Enqueue(framed);
}

BOOL CQuelto::Receive(CTarnMessage* message)
{
    return PostReceived(message);
}

MSG_RESULT CQuelto::AddToMsg(CQueltoMsg& msg, BYTE byte)
{
    const MSG_RESULT result = msg.NewByte(byte);
    if (result == MSG_BYTE_TAKEN || result == MSG_COMPLETE)
        return result;
    std::lock_guard lock(m_StatLock);
    switch (result) {
    case MSG_START_ERROR:
        ++m_Counters.StartCharErrors;
        break;
    case MSG_LENGTH_ERROR:
        ++m_Counters.LengthErrors;
        break;
    case MSG_CHECKSUM_ERROR:
        ++m_Counters.ChecksumErrors;
        break;
    case MSG_END_ERROR:
        ++m_Counters.EndCharErrors;
        break;
    default:
        break;
    }
    return result;
}

BOOL CQuelto::ReceiveCallback(BYTE byte, BOOL last)
{
    const MSG_RESULT result = AddToMsg(Current(), byte);
    if (result == MSG_LENGTH_ERROR || result == MSG_CHECKSUM_ERROR || result == MSG_END_ERROR) {
        SearchNewMsg();
        return FALSE;
    }
    if (result == MSG_COMPLETE) {
        // The whole telegram on the line: header, payload, sum, end byte.
        const UINT characters = m_pRxMsg->GetSize() + 6;
        DeliverFinished(Advance(std::make_unique<CQueltoMsg>(), last, characters));
    }
    return TRUE;
}

// Assembly starts again at the first 0x55 stored in the damaged telegram's
// payload; bytes from there on are fed again, and a telegram that fails
// among them starts the search again within its own payload.
void CQuelto::SearchNewMsg()
{
    const std::uint64_t stamp = m_pRxMsg->GetTime();
    std::vector<BYTE> pending(m_pRxMsg->GetDataPtr(), m_pRxMsg->GetDataPtr() + m_pRxMsg->GetSize());
    // Bytes of the payload before the candidate start, plus the 3 header
    // bytes, give the candidate's stamp.
    std::uint64_t base = stamp;
    DWORD consumed = 3;
    std::size_t from = 0;
    auto start = std::find(pending.begin(), pending.end(), BYTE{0x55});
    if (start == pending.end()) {
        Current().Empty();
        return;
    }
    from = static_cast<std::size_t>(start - pending.begin());
    std::unique_ptr<CQueltoMsg> current = std::make_unique<CQueltoMsg>();
    auto stampAt = [&](CQueltoMsg& msg, std::size_t offset) {
        if (m_bTimeStamping && base)
            msg.SetTime(base + CharactersIn100ns(consumed + static_cast<DWORD>(offset)));
    };
    stampAt(*current, from);
    std::size_t i = from;
    while (i < pending.size()) {
        const MSG_RESULT result = AddToMsg(*current, pending[i]);
        ++i;
        if (result == MSG_COMPLETE) {
            DeliverFinished(std::move(current));
            current = std::make_unique<CQueltoMsg>();
            stampAt(*current, i);
        } else if (result == MSG_LENGTH_ERROR || result == MSG_CHECKSUM_ERROR || result == MSG_END_ERROR) {
            // The failed candidate's own payload is searched next; its bytes
            // lie before the ones still pending, so they go first.
            std::vector<BYTE> inner(current->GetDataPtr(), current->GetDataPtr() + current->GetSize());
            auto next = std::find(inner.begin(), inner.end(), BYTE{0x55});
            std::vector<BYTE> rest(pending.begin() + static_cast<long>(i), pending.end());
            current = std::make_unique<CQueltoMsg>();
            pending.clear();
            if (next != inner.end())
                pending.assign(next, inner.end());
            pending.insert(pending.end(), rest.begin(), rest.end());
            i = 0;
            base = 0;  // the exact position is lost; the next block stamps it
        }
    }
    m_pRxMsg = std::move(current);
}

BOOL CQuelto::ErrorCallback(COM_ERROR error)
{
    if (error == COM_RX_TIMEOUT) {
        // A telegram the line stopped in the middle of: whatever started
        // inside it may still come.
        if (Current().GetState() != RX_WAIT_START)
            SearchNewMsg();
        return TRUE;
    }
    if (error == COM_ERROR_REPORT) {
        {
            std::lock_guard lock(m_StatLock);
            ++m_Counters.LineErrors;
        }
        Current().Empty();
        return TRUE;
    }
    return FALSE;
}
