// A network unit's road that carries nothing: every datagram to the unit is
// refused and the first wait for one ends the link, so the unit's receive
// thread ends at once and a fuzz target hands the unit its datagrams itself,
// on its own thread. Refused sends keep the unit from waiting for answers.
#pragma once

#include "transceivers/DatagramLink.h"

#include <condition_variable>
#include <mutex>

class CSilentUnitLink final : public IDatagramLink
{
public:
    bool Send(Path, const BYTE*, std::size_t) override { return false; }
    int Receive(BYTE*, std::size_t, int) override
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_received = true;
        }
        m_done.notify_all();
        return kStopped;
    }
    void Stop() override {}

    // Waits until the receive thread has had its answer: from then on it
    // touches nothing of the unit.
    void WaitForReceiveThread()
    {
        std::unique_lock<std::mutex> lock(m_lock);
        m_done.wait(lock, [this] { return m_received; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_done;
    bool m_received = false;
};
