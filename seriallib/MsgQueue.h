// The transmit queue of a protocol: messages waiting for the transmit
// thread. The queue owns what it holds and deletes what is left at its end.
#pragma once

#include "seriallib/TarnMessage.h"

#include <cstddef>
#include <deque>
#include <mutex>

class CMsgQueue
{
public:
    CMsgQueue() = default;
    CMsgQueue(const CMsgQueue&) = delete;
    CMsgQueue& operator=(const CMsgQueue&) = delete;
    ~CMsgQueue();

    // Takes the message; returns the count after adding it, 0 when memory
    // ran out (the message is then deleted).
    std::size_t AddTail(CTarnMessage* message);
    // The head, now owned by the caller; null when empty.
    CTarnMessage* RemoveHead();
    std::size_t GetCount() const;
    void RemoveAll();

private:
    mutable std::mutex m_Lock;
    std::deque<CTarnMessage*> m_List;
};
