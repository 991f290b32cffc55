// Sample datagrams through loopback into the ring buffer, and the cost of
// turning received samples into power values for each filter type.
#include "platform/ByteWriter.h"
#include "platform/Socket.h"
#include "sim/qy42/QY42Simulator.h"
#include "transceivers/QY42.h"
#include "transceivers/SampleRingBuffer.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A sample datagram of the given channel count, written field by field.
std::vector<BYTE> Datagram(int channels, int samples, DWORD first)
{
    std::vector<BYTE> d(CSampleRingBuffer::kHeaderSize + static_cast<std::size_t>(samples * channels) * 8, 0);
    CByteWriter w(d);
    w.U32(0, static_cast<DWORD>(d.size()));
    w.Bytes(4, "RSD#", 4);
    w.F32(12, 10000.0f);
    w.U16(16, static_cast<WORD>(samples));
    w.U8(18, static_cast<BYTE>(channels));
    w.U8(19, 1);
    w.U32(28, first);
    return d;
}

// A sender thread blasts sample datagrams over loopback as fast as the
// receiver's socket buffer allows (at most a window of datagrams in flight,
// since an unprivileged process cannot enlarge the buffer to the 32 MB the
// program asks for); the bench thread stores each in the ring, as the receive
// thread does. Items are datagrams stored; any loss fails the run.
void BM_LoopbackIntoRing(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const int samples = 240 / channels;  // stays within the 2008-byte datagram
    constexpr int kBurst = 20000;
    constexpr int kWindow = 48;
    CSocket rx, tx;
    if (!rx.Create(CSocket::Udp) || !rx.SetReceiveBufferSize(32000000) ||
        !rx.Bind(SocketAddress(SocketAddress::kLoopback, 0)) || !tx.Create(CSocket::Udp)) {
        state.SkipWithError("no loopback socket");
        return;
    }
    const SocketAddress to = rx.LocalAddress();
    CSampleRingBuffer ring(channels);
    std::vector<std::vector<BYTE>> burst;
    for (int i = 0; i < kBurst; ++i)
        burst.push_back(Datagram(channels, samples, 1 + static_cast<DWORD>(i * samples)));
    std::vector<BYTE> buffer(qy42::kMaxReceived + 1);
    std::int64_t received = 0, lost = 0;
    for (auto _ : state) {
        ring.Reset();
        std::atomic<int> got{0};
        std::thread sender([&] {
            for (int i = 0; i < kBurst; ++i) {
                while (i - got.load(std::memory_order_acquire) >= kWindow)
                    std::this_thread::yield();
                tx.SendTo(burst[static_cast<std::size_t>(i)].data(), burst[static_cast<std::size_t>(i)].size(), to,
                          1000);
            }
        });
        while (got.load() < kBurst) {
            const int n = rx.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 200);
            if (n < 0)
                break;
            ring.WriteSamples(buffer.data(), static_cast<std::size_t>(n));
            ring.SetReadIndex(ring.GetWriteIndex());  // a reader that keeps up
            got.fetch_add(1, std::memory_order_release);
        }
        sender.join();
        received += got.load();
        lost += kBurst - got.load();
    }
    state.SetItemsProcessed(received);
    state.counters["lost"] = static_cast<double>(lost);
    if (lost > 0)
        state.SkipWithError("datagrams lost on loopback");
}
BENCHMARK(BM_LoopbackIntoRing)->Arg(1)->Arg(4)->UseRealTime();

// Sample datagrams decoded into the ring without sockets: the receive
// thread's cost per datagram.
void BM_WriteSamplesIntoRing(benchmark::State& state)
{
    const int channels = static_cast<int>(state.range(0));
    const int samples = 240 / channels;
    CSampleRingBuffer ring(channels);
    std::vector<std::vector<BYTE>> burst;
    for (int i = 0; i < 1000; ++i)
        burst.push_back(Datagram(channels, samples, 1 + static_cast<DWORD>(i * samples)));
    std::int64_t stored = 0;
    for (auto _ : state) {
        ring.Reset();
        for (const auto& d : burst) {
            ring.WriteSamples(d.data(), d.size());
            ring.SetReadIndex(ring.GetWriteIndex());
        }
        stored += static_cast<std::int64_t>(burst.size());
    }
    state.SetItemsProcessed(stored);
}
BENCHMARK(BM_WriteSamplesIntoRing)->Arg(1)->Arg(4);

// One block of 100,000 received samples through each filter type.
void BM_ConvertSamples(benchmark::State& state)
{
    const int filterType = static_cast<int>(state.range(0));
    constexpr int kSamples = 100000;
    CSampleRingBuffer ring(1, 1);
    std::vector<float> iq(240 * 2);
    for (std::size_t k = 0; k < iq.size(); ++k)
        iq[k] = 0.001f * static_cast<float>(k % 17 + 1);
    for (DWORD first = 0; first < kSamples; first += 240) {
        const auto d = CQY42Simulator::MakeSamples(10000.0f, 0, first, iq);
        ring.WriteSamples(d.data(), d.size());
    }
    CQY42::FilterRecord filter;
    filter.length = 32;  // a typical receive filter
    filter.divisor = 1000;
    for (int c = 0; c < filter.length; ++c) {
        filter.real[static_cast<std::size_t>(c)] = static_cast<float>(c + 1);
        filter.imaginary[static_cast<std::size_t>(c)] = static_cast<float>(filter.length - c);
    }
    std::vector<double> power(kSamples);
    std::vector<std::int16_t> words(kSamples);
    for (auto _ : state) {
        const int n = CQY42::ConvertSamples(ring, 0, kSamples, 0, filterType, 1, filter, power.data(), words.data());
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(words.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(kSamples), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ConvertSamples)->DenseRange(1, 5);

}  // namespace

BENCHMARK_MAIN();
