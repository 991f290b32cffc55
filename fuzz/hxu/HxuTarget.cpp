// What an HXU unit sends, as its receive thread takes it: after the unit's
// version reply, each datagram (a 16-bit size, then its bytes) goes to the
// receive thread over an in-process road, between the trigger thread's
// steps and the ping-data thread's; the readers of the start-up talk and
// the software file's first line read pieces of the input too. Bad input is
// dropped and counted, never fatal.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "transceivers/HXU.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class CFuzzLink final : public IDatagramLink
{
public:
    bool Send(Path, const BYTE* data, std::size_t size) override
    {
        if (size == 4 && data[0] == 'V' && data[1] == 'R') {
            hxu::VersionReply reply;
            reply.identity = "FUZZ-H";
            reply.version = hxu::kSimulatorVersion;
            Push(hxu::EncodeVersionReply(reply));
        }
        return true;
    }
    int Receive(BYTE* buffer, std::size_t capacity, int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_stop || !m_queue.empty(); }))
            return kTimeout;
        if (m_queue.empty())
            return kStopped;
        const std::vector<BYTE> d = std::move(m_queue.front());
        m_queue.pop_front();
        const std::size_t n = std::min(d.size(), capacity);
        std::copy_n(d.begin(), n, buffer);
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
    void Push(std::vector<BYTE> d)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_queue.push_back(std::move(d));
        }
        m_cv.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::deque<std::vector<BYTE>> m_queue;
    bool m_stop = false;
};

TransceiverChannelRecord Channel(int number, double frequency, int beamType)
{
    TransceiverChannelRecord c;
    c.channelNo = number;
    c.frequency = frequency;
    c.txPowerMax = 1000.0;
    c.beamType = beamType;
    for (int i = 0; i < 5; ++i) {
        c.pulseLength[i] = 0.000256 * (i + 1);
        c.sampleInterval[i] = 0.0001;
    }
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    static CTestTransceiverServices services;
    UnitTimings timings;
    timings.hxuStartPauseMs = 0;
    timings.hxuReceiveWaitMs = 50;
    InstalledTransceiverInfo info;
    info.transceiverId = "FUZZ-H";
    auto link = std::make_unique<CFuzzLink>();
    CFuzzLink* road = link.get();
    CHXU unit(info, {Channel(1, 38000.0, 1), Channel(3, 200000.0, 0)}, nullptr, services, timings, std::move(link), 0,
              "");
    std::uint64_t pushed = 0;
    while (!in.Empty()) {
        switch (in.Byte() % 5) {
        case 1: {
            const std::string_view d = in.Sized();
            const auto* bytes = reinterpret_cast<const BYTE*>(d.data());
            (void)hxu::ReadVersionReply(bytes, d.size());
            (void)hxu::ReadCodeBlockReply(bytes, d.size());
            road->Push(std::vector<BYTE>(bytes, bytes + d.size()));
            ++pushed;
            // One datagram at a time, as the unit's arrive.
            while (unit.GetReceivedDatagrams() < pushed)
                std::this_thread::yield();
            break;
        }
        case 2: {
            int limit = static_cast<int>(in.Dword());
            int shared = 0;
            unit.PrepareTrigger(shared, &limit);
            unit.SetUp(limit);
            std::int64_t duration = 0;
            unit.Start(duration);
            break;
        }
        case 3:
            unit.ProcessPing(in.Dword());
            break;
        case 4: {
            double depths[2] = {};
            unit.GetChannelDepths(depths, 0);
            break;
        }
        default:
            (void)hxu::SoftwareVersion(std::string(in.Until('\n')));
            break;
        }
    }
    return 0;
}
