// The transmit queue of a protocol: messages waiting for the transmit
// thread. The queue owns what it holds and deletes what is left at its end.
//
// It is bounded: a line that takes no bytes (flow control held, a peer not
// reading) must not pile up per-ping telegrams that would go out minutes
// late. At most kMaxMessages messages or kMaxBytes bytes wait; beyond that
// the oldest is dropped. A message that waited longer than kMaxAgeMs is
// dropped unsent when its turn comes. Both are counted.
#pragma once

#include "seriallib/TarnMessage.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

class CMsgQueue
{
public:
    static constexpr std::size_t kMaxMessages = 256;
    static constexpr std::size_t kMaxBytes = 64 * 1024;
    static constexpr long kMaxAgeMs = 2000;
    using Clock = std::chrono::steady_clock;

    CMsgQueue() = default;
    CMsgQueue(const CMsgQueue&) = delete;
    CMsgQueue& operator=(const CMsgQueue&) = delete;
    ~CMsgQueue();

    // Takes the message; returns the count after adding it, 0 when memory
    // ran out (the message is then deleted).
    std::size_t AddTail(CTarnMessage* message);
    // The oldest message young enough to send, now owned by the caller;
    // null when none is left.
    CTarnMessage* RemoveHead();
    std::size_t GetCount() const;
    void RemoveAll();

    // Messages dropped for room, and dropped for their age.
    DWORD GetDroppedFull() const { return m_DroppedFull.load(); }
    DWORD GetDroppedStale() const { return m_DroppedStale.load(); }

    // The clock of the ages (tests).
    void SetClock(std::function<Clock::time_point()> now);

private:
    struct Entry
    {
        CTarnMessage* message;
        Clock::time_point queued;
    };
    Clock::time_point Now() const;

    mutable std::mutex m_Lock;
    std::deque<Entry> m_List;
    std::size_t m_Bytes = 0;
    std::function<Clock::time_point()> m_Now;
    std::atomic<DWORD> m_DroppedFull{0};
    std::atomic<DWORD> m_DroppedStale{0};
};
