#include "seriallib/MsgQueue.h"

#include <new>

CMsgQueue::~CMsgQueue()
{
    RemoveAll();
}

std::size_t CMsgQueue::AddTail(CTarnMessage* message)
{
    std::lock_guard lock(m_Lock);
    try {
        m_List.push_back(message);
    } catch (const std::bad_alloc&) {
        delete message;
        return 0;
    }
    return m_List.size();
}

CTarnMessage* CMsgQueue::RemoveHead()
{
    std::lock_guard lock(m_Lock);
    if (m_List.empty())
        return nullptr;
    CTarnMessage* head = m_List.front();
    m_List.pop_front();
    return head;
}

std::size_t CMsgQueue::GetCount() const
{
    std::lock_guard lock(m_Lock);
    return m_List.size();
}

void CMsgQueue::RemoveAll()
{
    std::deque<CTarnMessage*> left;
    {
        std::lock_guard lock(m_Lock);
        left.swap(m_List);
    }
    for (CTarnMessage* message : left)
        delete message;
}
