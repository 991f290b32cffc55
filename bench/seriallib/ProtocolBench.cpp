// Receive cost of each protocol: 10 MB of telegrams, one in ten damaged,
// fed in 1024-byte blocks as the port's reader does, with the posted
// messages delivered to a window and freed. Reports nanoseconds per byte
// and heap allocations per delivered message.
#include "seriallib/ASCII.h"
#include "seriallib/ModBus.h"
#include "seriallib/MoviraZelvar.h"
#include "seriallib/NMEA.h"
#include "seriallib/Quelto.h"
#include "seriallib/RAW.h"
#include "seriallib/Sercor32.h"
#include "seriallib/ZLT2_300.h"

#include "platform/MessageDispatcher.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

namespace {
std::atomic<std::uint64_t> g_Allocations{0};
}  // namespace

void* operator new(std::size_t size)
{
    ++g_Allocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace {

constexpr std::size_t kStreamBytes = 10 * 1024 * 1024;
constexpr std::size_t kBlock = 1024;

// One protocol's stream: telegrams back to back, every tenth damaged, and
// whether each telegram ends with line silence (Modbus).
struct Stream
{
    std::vector<std::string> telegrams;
    bool silenceAfterEach = false;
};

using Maker = std::function<std::string(std::mt19937&, bool damaged)>;

Stream Build(const Maker& make, bool silence = false)
{
    std::mt19937 random(1234);
    Stream stream;
    stream.silenceAfterEach = silence;
    std::size_t total = 0;
    for (std::size_t i = 0; total < kStreamBytes; ++i) {
        std::string t = make(random, i % 10 == 9);
        total += t.size();
        stream.telegrams.push_back(std::move(t));
    }
    return stream;
}

std::string Digits(std::mt19937& random, std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s.push_back(static_cast<char>('0' + random() % 10));
    return s;
}

// Flips one byte inside the telegram, away from its first byte.
void Damage(std::string& t, std::mt19937& random)
{
    const std::size_t at = 1 + random() % (t.size() - 1);
    t[at] = static_cast<char>(t[at] ^ 0x21);
}

std::string NmeaSentence(std::mt19937& random, bool damaged)
{
    const std::string body =
        "GPGGA," + Digits(random, 6) + ".00,5923.2400,N,01043.7300,E,1,08,0.9," + Digits(random, 3) + ".4,M,46.9,M,,";
    BYTE sum = 0;
    for (char c : body)
        sum ^= static_cast<BYTE>(c);
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string t = "$" + body + "*" + hex[sum >> 4] + hex[sum & 15] + "\r\n";
    if (damaged)
        Damage(t, random);
    return t;
}

std::string Binary(std::mt19937& random, std::size_t n, BYTE avoid)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        BYTE b = static_cast<BYTE>(random());
        if (b == avoid)
            b ^= 1;
        s.push_back(static_cast<char>(b));
    }
    return s;
}

Stream StreamFor(int kind)
{
    switch (kind) {
    case 0:  // ASCII, CR LF lines; a damaged line loses its LF
        return Build([](std::mt19937& r, bool damaged) {
            std::string line = "DBT," + Digits(r, 60) + (damaged ? "\r" : "\r\n");
            return line;
        });
    case 1:  // RAW: bytes as they come
        return Build([](std::mt19937& r, bool) { return Binary(r, 64, 0); });
    case 2:
        return Build(NmeaSentence);
    case 3:  // Quelto, 24-byte payloads
        return Build([](std::mt19937& r, bool damaged) {
            CTarnMessage out;
            CQuelto::MakeFullQueltoMsg(out, CTarnMessage(Binary(r, 24, 0x55), 16));
            std::string t = static_cast<std::string>(out);
            if (damaged)
                Damage(t, r);
            return t;
        });
    case 4:  // ZLT2_300, 24-byte payloads without the end byte inside
        return Build([](std::mt19937& r, bool damaged) {
            std::string payload = Binary(r, 24, 0x40);
            BYTE x = 0;
            for (char c : payload)
                x ^= static_cast<BYTE>(c);
            if (x == 0x40)
                payload[0] = static_cast<char>(payload[0] ^ 1), x ^= 1;
            std::string t = payload + static_cast<char>(x) + '\x40';
            if (damaged)
                t[3] = static_cast<char>(t[3] == '\x41' ? 0x42 : 0x41);
            return t;
        });
    case 5:  // Modbus, 8-byte requests ended by silence
        return Build(
            [](std::mt19937& r, bool damaged) {
                std::string payload = "\x01\x03" + Binary(r, 4, 0);
                const WORD crc = CModBus::ComputeCS(reinterpret_cast<const BYTE*>(payload.data()),
                                                    static_cast<UINT>(payload.size()));
                std::string t = payload + static_cast<char>(crc & 0xFF) + static_cast<char>(crc >> 8);
                if (damaged)
                    Damage(t, r);
                return t;
            },
            true);
    default:  // motion telegrams; a damaged one has a bad second byte
        return Build([](std::mt19937& r, bool damaged) {
            std::string t = std::string("\x90\x90", 2) + Binary(r, 8, 0x90);
            if (damaged)
                t[1] = 0x11;
            return t;
        });
    }
}

std::unique_ptr<CProtocol> Make(int kind, CSercor* port, HWND owner)
{
    switch (kind) {
    case 0: {
        auto p = std::make_unique<CASCII>(port, PROT_RECEIVE, owner);
        p->SetTerminator(TRUE, TRUE);
        return p;
    }
    case 1:
        return std::make_unique<CRAW>(port, PROT_RECEIVE, owner);
    case 2:
        return std::make_unique<CNMEA>(port, PROT_RECEIVE, owner);
    case 3:
        return std::make_unique<CQuelto>(port, PROT_RECEIVE, owner);
    case 4:
        return std::make_unique<CZLT2_300>(port, PROT_RECEIVE, owner);
    case 5:
        return std::make_unique<CModBus>(port, PROT_RECEIVE, owner);
    default:
        return std::make_unique<CMoviraZelvar>(port, PROT_RECEIVE, owner);
    }
}

void Drain()
{
    MSG msg;
    while (PeekMessage(&msg))
        DispatchMessage(&msg);
}

void BM_Receive(benchmark::State& state)
{
    const int kind = static_cast<int>(state.range(0));
    const Stream stream = StreamFor(kind);
    std::string bytes;
    std::vector<std::size_t> ends;  // where line silence falls (Modbus)
    for (const auto& t : stream.telegrams) {
        bytes += t;
        ends.push_back(bytes.size());
    }
    std::size_t delivered = 0;
    const HWND window = CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        delivered += message == WM_SERCOR_MESSAGE;
        return 0;
    });
    CSercor32 port;
    std::uint64_t allocations = 0;
    std::uint64_t messages = 0;
    for (auto _ : state) {
        auto protocol = Make(kind, &port, window);
        const std::uint64_t before = g_Allocations.load();
        const std::size_t deliveredBefore = delivered;
        if (stream.silenceAfterEach) {
            // Each frame is its own block, and silence ends it.
            std::size_t from = 0;
            std::size_t frames = 0;
            for (std::size_t end : ends) {
                protocol->ReportIncoming(static_cast<DWORD>(end - from), 0);
                for (std::size_t i = from; i < end; ++i)
                    protocol->ReceiveCallback(static_cast<BYTE>(bytes[i]), i + 1 == end);
                protocol->ErrorCallback(COM_RX_TIMEOUT);
                from = end;
                if ((++frames & 63) == 0)
                    Drain();
            }
            Drain();
        } else {
            for (std::size_t at = 0; at < bytes.size(); at += kBlock) {
                const std::size_t n = std::min(kBlock, bytes.size() - at);
                protocol->ReportIncoming(static_cast<DWORD>(n), 0);
                for (std::size_t i = 0; i < n; ++i)
                    protocol->ReceiveCallback(static_cast<BYTE>(bytes[at + i]), i + 1 == n);
                Drain();
            }
        }
        allocations += g_Allocations.load() - before;
        messages += delivered - deliveredBefore;
        tag_PROT_STATISTICS s;
        protocol->GetStatistics(&s);
        state.counters["received"] = s.MessagesReceived;
        state.counters["bad"] = s.StartCharErrors + s.EndCharErrors + s.ChecksumErrors + s.LineErrors + s.LengthErrors;
    }
    DestroyWindow(window);
    const double totalBytes = double(bytes.size()) * double(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(totalBytes));
    state.counters["ns_per_byte"] =
        benchmark::Counter(totalBytes * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["allocs_per_msg"] = messages ? double(allocations) / double(messages) : 0.0;
}

}  // namespace

BENCHMARK(BM_Receive)
    ->ArgName("protocol")
    ->Arg(0)  // ASCII
    ->Arg(1)  // RAW
    ->Arg(2)  // NMEA
    ->Arg(3)  // Quelto
    ->Arg(4)  // ZLT2_300
    ->Arg(5)  // Modbus
    ->Arg(6)  // motion telegrams
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
