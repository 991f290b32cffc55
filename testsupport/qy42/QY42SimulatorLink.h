// A QY42 driver's road to the simulated unit within the process: what the
// driver sends goes to the simulator as from the program's sockets, and
// what the unit sends waits here for the driver's receive thread. The
// driver owns the link; the unit's datagrams land in an inbox the two share,
// so a unit that speaks after the driver has gone speaks to no one.
#pragma once

#include "sim/qy42/QY42Simulator.h"
#include "transceivers/DatagramLink.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace zv::test {

class CQY42SimulatorLink final : public IDatagramLink
{
public:
    // The program's sockets as the unit sees them.
    static inline const SocketAddress kCommandSocket{SocketAddress::kLoopback, 50001};
    static inline const SocketAddress kDataSocket{SocketAddress::kLoopback, 50002};
    static inline const SocketAddress kPartingSocket{SocketAddress::kLoopback, 50003};

    explicit CQY42SimulatorLink(CQY42Simulator& unit) : m_unit(unit)
    {
        unit.StartInProcess([inbox = m_inbox](const std::vector<std::uint8_t>& datagram) { inbox->Put(datagram); });
    }

    bool Send(Path path, const BYTE* data, std::size_t size) override
    {
        m_unit.Deliver(data, size, path == kCommand ? kCommandSocket : path == kData ? kDataSocket : kPartingSocket);
        return true;
    }

    int Receive(BYTE* buffer, std::size_t capacity, int timeoutMs) override
    {
        return m_inbox->Take(buffer, capacity, timeoutMs);
    }

    void Stop() override { m_inbox->Stop(); }

private:
    class CInbox
    {
    public:
        void Put(const std::vector<std::uint8_t>& datagram)
        {
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_datagrams.push_back(datagram);
            }
            m_ready.notify_all();
        }
        int Take(BYTE* buffer, std::size_t capacity, int timeoutMs)
        {
            std::unique_lock<std::mutex> lock(m_lock);
            const bool ready = m_ready.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                                [this] { return m_stopped || !m_datagrams.empty(); });
            if (m_stopped)
                return kStopped;
            if (!ready)
                return kTimeout;
            const std::vector<std::uint8_t> d = std::move(m_datagrams.front());
            m_datagrams.pop_front();
            const std::size_t n = std::min(d.size(), capacity);
            std::memcpy(buffer, d.data(), n);
            return static_cast<int>(n);
        }
        void Stop()
        {
            {
                std::lock_guard<std::mutex> lock(m_lock);
                m_stopped = true;
            }
            m_ready.notify_all();
        }

    private:
        std::mutex m_lock;
        std::condition_variable m_ready;
        std::deque<std::vector<std::uint8_t>> m_datagrams;
        bool m_stopped = false;
    };

    CQY42Simulator& m_unit;
    std::shared_ptr<CInbox> m_inbox = std::make_shared<CInbox>();
};

}  // namespace zv::test
