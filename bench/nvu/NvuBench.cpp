// The wide-band unit's hot paths: its sample datagrams over loopback into
// the sample ring, the conversion of ring samples into power for each filter
// type (and the plain conversion it must match), and a firmware-sized file
// put to a TFTP server on loopback.
#include "platform/Socket.h"
#include "sim/nvu/NvuSimulator.h"
#include "transceivers/NVU.h"
#include "transceivers/SampleRingBuffer.h"
#include "transceivers/Tftp.h"
#include "transceivers/tests/NvuPlainConversion.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kChannels = 4;
// Sample instants of four channels of float pairs in one 2008-byte datagram.
constexpr int kInstants = (2008 - 32) / (kChannels * 2 * 4);

std::vector<std::uint8_t> Datagram(std::uint32_t first)
{
    std::vector<float> values(static_cast<std::size_t>(kInstants) * kChannels * 2);
    for (std::size_t k = 0; k < values.size(); ++k)
        values[k] = 0.001f * static_cast<float>(k % 23 + 1);
    return CNvuSimulator::MakeSamples(62500.0f, kChannels, true, 0, first, values);
}

// Four-channel "RSD#" datagrams over loopback into the ring, as the unit's
// receive thread stores them; a window of datagrams in flight keeps an
// unprivileged socket buffer from overflowing. Items are datagrams; any
// loss fails the run.
void BM_RsdLoopbackIntoRing(benchmark::State& state)
{
    constexpr int kBurst = 20000;
    constexpr int kWindow = 48;
    CSocket rx, tx;
    if (!rx.Create(CSocket::Udp) || !rx.SetReceiveBufferSize(32000000) ||
        !rx.Bind(SocketAddress(SocketAddress::kLoopback, 0)) || !tx.Create(CSocket::Udp)) {
        state.SkipWithError("no loopback socket");
        return;
    }
    const SocketAddress to = rx.LocalAddress();
    CSampleRingBuffer ring(kChannels);
    std::vector<std::vector<std::uint8_t>> burst;
    for (int i = 0; i < kBurst; ++i)
        burst.push_back(Datagram(static_cast<std::uint32_t>(i * kInstants)));
    std::vector<BYTE> buffer(2009);
    std::int64_t received = 0, lost = 0;
    for (auto _ : state) {
        ring.Reset();
        std::atomic<int> got{0};
        std::thread sender([&] {
            for (int i = 0; i < kBurst; ++i) {
                while (i - got.load(std::memory_order_acquire) >= kWindow)
                    std::this_thread::yield();
                const auto& d = burst[static_cast<std::size_t>(i)];
                tx.SendTo(d.data(), d.size(), to, 1000);
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
    state.counters["samples_per_s"] =
        benchmark::Counter(static_cast<double>(received) * kInstants, benchmark::Counter::kIsRate);
    state.counters["lost"] = static_cast<double>(lost);
    if (lost > 0)
        state.SkipWithError("datagrams lost on loopback");
}
BENCHMARK(BM_RsdLoopbackIntoRing)->UseRealTime();

// 100,000 ring samples of one channel through a filter type with a filter of
// length L (types 1, 4 and 5 use none): Des1 4, Des2 2, in passes of the
// given length. The plain conversion, every output summed sample by sample
// from the ring, runs beside it for comparison.
template <auto Convert>
void ProcessSamples(benchmark::State& state, int pass)
{
    const int type = static_cast<int>(state.range(0));
    const int length = static_cast<int>(state.range(1));
    constexpr int kSamples = 100000;
    CSampleRingBuffer ring(kChannels);
    for (std::uint32_t first = 0; first < kSamples; first += kInstants) {
        const auto d = Datagram(first);
        ring.WriteSamples(d.data(), d.size());
        ring.SetReadIndex(ring.GetWriteIndex());
    }
    CNVU::FilterRecord filter;
    filter.length = length;
    filter.divisor = 1000;
    filter.inverse = 0.001f;
    for (int c = 0; c < length; ++c) {
        filter.real.push_back(static_cast<float>(c + 1));
        filter.imaginary.push_back(static_cast<float>(length - c));
    }
    std::vector<double> power(kSamples);
    const int start = ring.WrapIndex(static_cast<long long>(ring.GetWriteIndex()) - kSamples);
    for (auto _ : state) {
        CNVU::ChainState chain;
        std::fill(power.begin(), power.end(), 0.0);
        int n = 0;
        for (int done = 0; done < kSamples; done += pass)
            n += Convert(ring, 0, start + done, std::min(pass, kSamples - done), type, 4, 2, 1, filter, 150.0, chain,
                         power.data() + n);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(power.data());
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
    state.counters["ns_per_sample"] = benchmark::Counter(
        static_cast<double>(kSamples), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ProcessSamples(benchmark::State& state)
{
    ProcessSamples<&CNVU::ConvertSamples>(state, 100000);
}
BENCHMARK(BM_ProcessSamples)->ArgsProduct({{1, 2, 3, 4, 5, 8}, {64, 1000}})->Unit(benchmark::kMillisecond);

void BM_ProcessSamplesPlain(benchmark::State& state)
{
    ProcessSamples<&nvutest::PlainConvertSamples>(state, 100000);
}
BENCHMARK(BM_ProcessSamplesPlain)->ArgsProduct({{1, 2, 3, 4, 5, 8}, {64, 1000}})->Unit(benchmark::kMillisecond);

// The filters in the passes the process thread takes: a millisecond of
// samples at 62.5 kHz.
void BM_ProcessSamplesInPasses(benchmark::State& state)
{
    ProcessSamples<&CNVU::ConvertSamples>(state, 62);
}
BENCHMARK(BM_ProcessSamplesInPasses)->ArgsProduct({{2, 3, 8}, {64, 1000}})->Unit(benchmark::kMillisecond);

// A 4 MB file put to a TFTP server polling on loopback. Bytes per second.
void BM_TftpPut4MB(benchmark::State& state)
{
    const fs::path base = fs::temp_directory_path() / ("zvnvubench" + std::to_string(getpid()));
    const fs::path root = base / "root";
    fs::create_directories(root);
    const fs::path file = base / "nvu4_bench.xsvf";
    {
        std::string bytes(4u << 20, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 131 + 7);
        std::ofstream(file, std::ios::binary) << bytes;
    }
    CTftp server;
    if (server.TftpStartServer(root.string(), 0) != 0) {
        state.SkipWithError("no TFTP server");
        return;
    }
    std::thread poll([&] { server.TftpPoll(); });
    CTftp client;
    for (auto _ : state) {
        std::string why;
        if (!client.TftpPutFile(file.string(), "127.0.0.1", 1, server.ServerPort(), &why)) {
            state.SkipWithError(why.c_str());
            break;
        }
        state.PauseTiming();
        // The server never replaces a file: make room for the next put.
        fs::remove(root / file.filename());
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(4u << 20));
    server.TftpStopServer();
    poll.join();
    fs::remove_all(base);
}
BENCHMARK(BM_TftpPut4MB)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
