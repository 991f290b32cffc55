// What the network units' intake benchmarks share: the unit's datagram road
// inside the process, so that the figure is the program's own work, a
// sounder that only counts the pings the unit hands it, and the installed
// channels.
#pragma once

#include "transceivers/DatagramLink.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverRecords.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace unitbench {

// What is pushed is received in order; each datagram the unit sends is
// handed to the answer, which may push the unit's reply.
class CRoad final : public IDatagramLink
{
public:
    using Answer = std::function<void(CRoad& road, const BYTE* data, std::size_t size)>;

    explicit CRoad(Answer answer = {}) : m_answer(std::move(answer)) {}

    bool Send(Path, const BYTE* data, std::size_t size) override
    {
        if (m_answer)
            m_answer(*this, data, size);
        return true;
    }
    int Receive(BYTE* buffer, std::size_t capacity, int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_stop || !m_queue.empty(); }))
            return kTimeout;
        if (m_queue.empty())
            return kStopped;
        const auto* d = m_queue.front();
        m_queue.pop_front();
        const std::size_t n = std::min(d->size(), capacity);
        std::copy_n(d->begin(), n, buffer);
        return static_cast<int>(n);
    }
    void Stop() override
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stop = true;
        }
        m_cv.notify_all();
    }
    // A datagram the road keeps.
    void Push(std::vector<std::uint8_t> d)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_owned.push_back(std::move(d));
        }
        Push(&m_owned.back());
    }
    // A datagram the caller keeps until it has been received.
    void Push(const std::vector<std::uint8_t>* d)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_queue.push_back(d);
        }
        m_cv.notify_all();
    }

private:
    Answer m_answer;
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<const std::vector<std::uint8_t>*> m_queue;
    std::deque<std::vector<std::uint8_t>> m_owned;
    bool m_stop = false;
};

// Counts the pings; asks each channel for the range of the pinger's
// parameter (seconds of samples) when one is given.
class COwner final : public ITransceiverOwner
{
public:
    explicit COwner(std::optional<double> pingerParameter = std::nullopt) : m_pinger(pingerParameter) {}

    std::atomic<int> pings{0};

    // Waits until the count has passed the one given.
    void WaitPast(int before)
    {
        for (int now = pings.load(); now == before; now = pings.load())
            pings.wait(now);
    }

    int GetRateMode() const override { return 0; }
    std::uint64_t UpdatePingTime(std::uint64_t) override
    {
        ++pings;
        pings.notify_all();
        return 0;
    }
    void UnlockSemaphore() override {}
    void SetSkip() override {}
    int GetStep(int) const override { return 0; }
    std::optional<double> GetMultiPulseScaledDepth() const override { return std::nullopt; }
    std::optional<double> GetPingerScaledParameter() const override { return m_pinger; }
    void SetLinkLost() override {}
    bool IsStopping() const override { return false; }

private:
    const std::optional<double> m_pinger;
};

// The installation's records of count channels, 38 kHz apart, each with a
// sample interval of 0.1 ms at every pulse length.
inline std::vector<TransceiverChannelRecord> Channels(int count)
{
    std::vector<TransceiverChannelRecord> channels;
    for (int i = 0; i < count; ++i) {
        TransceiverChannelRecord c;
        c.channelNo = i + 1;
        c.frequency = 38000.0 * (i + 1);
        c.txPowerMax = 1000.0;
        for (int k = 0; k < 5; ++k) {
            c.pulseLength[k] = 0.000256 * (k + 1);
            c.sampleInterval[k] = 0.0001;
        }
        channels.push_back(c);
    }
    return channels;
}

}  // namespace unitbench
