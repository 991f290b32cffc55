#include "seriallib/Protocol.h"

#include "platform/FileTime.h"

CProtocol::CProtocol(CSercor* port, PROTOCOL_TYPE type, HWND owner) : m_pPort(port), m_hOwner(owner), m_Type(type) {}

void CProtocol::Attach()
{
    if (m_bAttached || !m_pPort)
        return;
    m_bAttached = true;
    if (IsReceiver())
        m_pPort->SetRxProtocol(this);
    if (IsTransmitter()) {
        m_pPort->SetTxProtocol(this);
        CreateTransmit();
    }
}

CProtocol::~CProtocol()
{
    Detach();
}

void CProtocol::Detach()
{
    if (m_bDetached)
        return;
    m_bDetached = true;
    // The transmit thread stops first and outside the exit-protocol lock: it
    // may be waiting for the ticker, which needs that lock for the receive
    // time-out.
    CloseTransmit();
    if (m_pPort)
        m_pPort->EnterExitProtocol();
    m_pStatistics.reset();
    if (m_pPort && IsReceiver() && m_pPort->GetRxProtocol() == this)
        m_pPort->SetRxProtocol(nullptr);
    if (m_pPort && IsTransmitter() && m_pPort->GetTxProtocol() == this)
        m_pPort->SetTxProtocol(nullptr);
    if (m_pPort)
        m_pPort->LeaveExitProtocol();
}

BOOL CProtocol::ShowStatistics(BOOL show)
{
    if (show) {
        if (m_pStatistics)
            return FALSE;
        const auto& make = GetSercorHooks().showProtocolStatistics;
        if (!make)
            return FALSE;
        m_pStatistics = make(this, m_Type);
        return m_pStatistics ? TRUE : FALSE;
    }
    if (!m_pStatistics)
        return FALSE;
    auto window = std::move(m_pStatistics);
    window.reset();
    return TRUE;
}

BOOL CProtocol::Send(const std::string& text)
{
    if (text.empty())
        return FALSE;
    CTarnMessage message(text, 16);
    if (message.GetSize() != text.size())
        return FALSE;
    return Send(&message);
}

BOOL CProtocol::GetStatistics(tag_PROT_STATISTICS* out)
{
    if (!out)
        return FALSE;
    std::lock_guard lock(m_StatLock);
    m_Counters.CopyTo(*out);
    return TRUE;
}

DWORD CProtocol::CharactersIn100ns(DWORD characters) const
{
    return m_pPort ? m_pPort->GetMessageIn100ns(characters) : 0;
}

BOOL CProtocol::ReportIncoming(DWORD count, DWORD delay)
{
    if (m_bTimeStamping && m_pRxMsg && m_pRxMsg->IsEmpty()) {
        const std::uint64_t back = std::uint64_t(CharactersIn100ns(count)) + std::uint64_t(delay) * 10'000ULL;
        m_pRxMsg->SetTime(CFileTime::Now() - back);
    }
    return TRUE;
}

BOOL CProtocol::ReportComState(DWORD events, DWORD status)
{
    const HWND target = m_hOwner ? m_hOwner : GetMainWindow();
    if (!target)
        return FALSE;
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    struct Row
    {
        DWORD event;
        UINT message;
        DWORD statusBit;
    };
    static constexpr Row rows[] = {
        {EV_BREAK, WM_SERCOR_BREAK, 0},   {EV_CTS, WM_SERCOR_CTS, MS_CTS_ON},    {EV_DSR, WM_SERCOR_DSR, MS_DSR_ON},
        {EV_ERR, WM_SERCOR_ERR, 0},       {EV_RING, WM_SERCOR_RING, MS_RING_ON}, {EV_RLSD, WM_SERCOR_RLSD, MS_RLSD_ON},
        {EV_RXCHAR, WM_SERCOR_RXCHAR, 0}, {EV_RXFLAG, WM_SERCOR_RXFLAG, 0},      {EV_TXEMPTY, WM_SERCOR_TXEMPTY, 0},
    };
    for (const Row& row : rows)
        if (events & row.event)
            PostMessage(target, row.message, status & row.statusBit, self);
    return TRUE;
}

BOOL CProtocol::PostReceived(CTarnMessage* message)
{
    if (!message)
        return FALSE;
    std::unique_ptr<CTarnMessage> owned(message);
    const HWND target = m_hOwner ? m_hOwner : GetMainWindow();
    if (!target)
        return FALSE;  // nobody to receive it: freed here
    return PostMessage(target, WM_SERCOR_MESSAGE, reinterpret_cast<WPARAM>(message), reinterpret_cast<LPARAM>(this),
                       MakePayload<std::unique_ptr<CTarnMessage>>(std::move(owned)));
}

std::unique_ptr<CTarnMessage> CProtocol::Advance(std::unique_ptr<CTarnMessage> next, BOOL last, UINT characters)
{
    std::unique_ptr<CTarnMessage> finished = std::move(m_pRxMsg);
    if (next && finished && !last && m_bTimeStamping)
        next->SetTime(finished->GetTime() + CharactersIn100ns(characters));
    m_pRxMsg = std::move(next);
    return finished;
}

void CProtocol::DeliverFinished(std::unique_ptr<CTarnMessage> finished)
{
    if (!finished)
        return;
    m_LastStamp = finished->GetTime();
    m_nLastSize = finished->GetSize();
    {
        std::lock_guard lock(m_StatLock);
        ++m_Counters.MessagesReceived;
    }
    Receive(finished.release());
}

BOOL CProtocol::Enqueue(CTarnMessage* framed)
{
    if (!framed)
        return FALSE;
    ++m_Counters.MessagesSent;
    const std::size_t count = m_Queue.AddTail(framed);
    if (count == 0)
        return FALSE;
    if (count == 1) {
        {
            std::lock_guard lock(m_WakeMutex);
            m_bWake = true;
        }
        m_WakeCv.notify_one();
    }
    return TRUE;
}

void CProtocol::CreateTransmit()
{
    if (m_Transmit.joinable())
        return;
    m_bStop = false;
    m_Transmit = std::thread([this] { TransmitThread(); });
}

void CProtocol::CloseTransmit()
{
    {
        std::lock_guard lock(m_WakeMutex);
        m_bStop = true;
        m_bWake = true;
    }
    m_WakeCv.notify_all();
    // A write waiting for a line that takes no bytes does not hold the stop.
    if (m_pPort)
        m_pPort->WakeTransmitter();
    if (m_Transmit.joinable()) {
        if (m_Transmit.get_id() == std::this_thread::get_id())
            m_Transmit.detach();
        else
            m_Transmit.join();
    }
}

void CProtocol::TransmitThread()
{
    for (;;) {
        {
            std::unique_lock lock(m_WakeMutex);
            m_WakeCv.wait(lock, [&] { return m_bWake; });
            m_bWake = false;
            if (m_bStop.load())
                return;
        }
        SendFromQueue();
    }
}

void CProtocol::SendFromQueue()
{
    while (CTarnMessage* head = m_Queue.RemoveHead()) {
        if (!m_pPort || !m_pPort->Send(head))
            delete head;
        if (m_bStop.load())
            return;
    }
}
