#include "seriallib/MsgQueue.h"

#include <new>
#include <vector>

CMsgQueue::~CMsgQueue()
{
    RemoveAll();
}

void CMsgQueue::SetClock(std::function<Clock::time_point()> now)
{
    std::lock_guard lock(m_Lock);
    m_Now = std::move(now);
}

CMsgQueue::Clock::time_point CMsgQueue::Now() const
{
    return m_Now ? m_Now() : Clock::now();
}

std::size_t CMsgQueue::AddTail(CTarnMessage* message)
{
    if (!message)
        return 0;
    std::vector<CTarnMessage*> dropped;
    std::size_t count = 0;
    {
        std::lock_guard lock(m_Lock);
        const std::size_t size = message->GetSize();
        // Room first, from the oldest: the newest telegrams are the ones
        // worth sending once the line takes bytes again.
        while (!m_List.empty() && (m_List.size() >= kMaxMessages || m_Bytes + size > kMaxBytes)) {
            m_Bytes -= m_List.front().message->GetSize();
            dropped.push_back(m_List.front().message);
            m_List.pop_front();
            ++m_DroppedFull;
        }
        try {
            m_List.push_back({message, Now()});
        } catch (const std::bad_alloc&) {
            delete message;
            message = nullptr;
        }
        if (message) {
            m_Bytes += size;
            count = m_List.size();
        }
    }
    for (CTarnMessage* old : dropped)
        delete old;
    return count;
}

CTarnMessage* CMsgQueue::RemoveHead()
{
    std::vector<CTarnMessage*> stale;
    CTarnMessage* head = nullptr;
    {
        std::lock_guard lock(m_Lock);
        const Clock::time_point now = Now();
        while (!m_List.empty()) {
            Entry e = m_List.front();
            m_List.pop_front();
            m_Bytes -= e.message->GetSize();
            if (now - e.queued > std::chrono::milliseconds(kMaxAgeMs)) {
                stale.push_back(e.message);
                ++m_DroppedStale;
                continue;
            }
            head = e.message;
            break;
        }
    }
    for (CTarnMessage* old : stale)
        delete old;
    return head;
}

std::size_t CMsgQueue::GetCount() const
{
    std::lock_guard lock(m_Lock);
    return m_List.size();
}

void CMsgQueue::RemoveAll()
{
    std::deque<Entry> left;
    {
        std::lock_guard lock(m_Lock);
        left.swap(m_List);
        m_Bytes = 0;
    }
    for (const Entry& e : left)
        delete e.message;
}
