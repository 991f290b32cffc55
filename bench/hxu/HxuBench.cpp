// An HXU unit's intake: whole pings of four channels of 20,000 samples each,
// in the simulated unit's fragments, through the unit's receive thread into
// its channels, over an in-process road so that the figure is the program's
// own work. Items are pings; a ping that does not come whole fails the run.
#include "engine/Channel.h"
#include "sim/hxu/HxuSimulator.h"
#include "transceivers/HXU.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

class CRoad final : public IDatagramLink
{
public:
    bool Send(Path, const BYTE* data, std::size_t size) override
    {
        if (size == 4 && data[0] == 'V' && data[1] == 'R')
            Push(CHxuSimulator::EncodeVersion("BENCH-H", "HXUSIM", false, ""));
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
    void Push(std::vector<std::uint8_t> d)
    {
        m_owned.push_back(std::move(d));
        Push(&m_owned.back());
    }
    void Push(const std::vector<std::uint8_t>* d)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_queue.push_back(d);
        }
        m_cv.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<const std::vector<std::uint8_t>*> m_queue;
    std::deque<std::vector<std::uint8_t>> m_owned;
    bool m_stop = false;
};

class COwner final : public ITransceiverOwner
{
public:
    std::atomic<int> pings{0};
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
    // The pinger's range asks each channel for its 20,000 samples.
    std::optional<double> GetPingerScaledParameter() const override { return 20000 * 0.0001; }
    void SetLinkLost() override {}
    bool IsStopping() const override { return false; }
};

void BM_HxuIntake(benchmark::State& state)
{
    constexpr int kChannels = 4;
    constexpr std::uint32_t kSamples = 20000;
    CTestTransceiverServices services;
    UnitTimings timings;
    timings.hxuStartPauseMs = 0;
    InstalledTransceiverInfo info;
    info.transceiverId = "BENCH-H";
    std::vector<TransceiverChannelRecord> channels;
    for (int i = 0; i < kChannels; ++i) {
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
    auto link = std::make_unique<CRoad>();
    CRoad* road = link.get();
    CHXU unit(info, channels, nullptr, services, timings, std::move(link), 0, "");
    COwner owner;
    unit.SetEchoSounder(&owner);
    CHxuSimulator::Settings s;
    s.fragmentSamples = 700;
    CHxuSimulator sim(s);
    std::vector<std::vector<std::uint8_t>> ping;
    for (int c = 0; c < kChannels; ++c)
        for (auto& d : sim.EncodePing(c, kSamples, 0.0001))
            ping.push_back(std::move(d));
    for (auto _ : state) {
        const int before = owner.pings.load();
        std::int64_t duration = 0;
        unit.Start(duration);
        for (const auto& d : ping)
            road->Push(&d);
        for (int now = owner.pings.load(); now == before; now = owner.pings.load())
            owner.pings.wait(now);
        for (int slot = 0; slot < kChannels; ++slot)
            unit.GetSlotChannel(slot)->AddPing(1);
    }
    if (unit.GetPingsCompleted() != static_cast<std::uint64_t>(state.iterations()))
        state.SkipWithError("a ping did not come whole");
    state.SetItemsProcessed(state.iterations());
    state.counters["fragments/ping"] = static_cast<double>(ping.size());
}
BENCHMARK(BM_HxuIntake)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
