// zvrawsink: the acquisition program's receiving end of the raw-data
// stream, on loopback. It decodes every datagram and prints one line for
// each; with --compare it also holds each RAW0 against the recording's
// sample datagrams of the same channel, in order (from the start again once
// it is through, as a looping replay does), and says whether its samples are
// equal.
//
//   zvrawsink [--port=N] [--address=127.x.x.x] [--count=N] [--seconds=S] [--compare=FILE.raw]
//
// --port (default 4711) and --address (default 127.0.0.1, loopback only)
// are where it listens; it ends after --count datagrams or --seconds of
// running, whichever comes first (default: never), and prints a summary.
#include "platform/Socket.h"
#include "sim/rawsink/RawStreamDecoder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

void Usage(std::FILE* to)
{
    std::fprintf(to,
                 "usage: zvrawsink [--port=N] [--address=127.x.x.x] [--count=N] [--seconds=S] [--compare=FILE.raw]\n"
                 "Receives the raw-data output's datagrams on loopback and prints one line each\n"
                 "(CON0, RAW0, NME0, TAG0, SVP0, DEP0, or BAD with the reason); with --compare a RAW0\n"
                 "line ends with 'equal' or 'differs' against the file's next sample datagram of its channel.\n");
}

bool Number(const std::string& text, long long lo, long long hi, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && end && *end == 0 && value >= lo && value <= hi;
}

}  // namespace

int main(int argc, char** argv)
{
    long long port = 4711, count = -1, seconds = -1;
    std::string address = "127.0.0.1", compare;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto eq = arg.find('=');
        const std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (key == "--port") {
            ok = Number(value, 1, 65535, port);
        } else if (key == "--count") {
            ok = Number(value, 1, 1LL << 40, count);
        } else if (key == "--seconds") {
            ok = Number(value, 1, 1LL << 30, seconds);
        } else if (key == "--compare") {
            compare = value;
            ok = !value.empty();
        } else if (key == "--address") {
            address = value;
            std::uint32_t ip = 0;
            ok = SocketAddress::ParseIp(value, ip) && (ip >> 24) == 127;
        } else {
            std::fprintf(stderr, "zvrawsink: unknown argument: %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvrawsink: %s: bad value: %s\n", key.c_str(), value.c_str());
            return 2;
        }
    }

    // The recording's sample datagrams, per channel in file order.
    std::map<std::uint16_t, std::vector<std::vector<std::int16_t>>> recorded;
    std::map<std::uint16_t, std::size_t> next;
    if (!compare.empty()) {
        std::vector<zv::sim::SRawDatagram> file;
        std::string why;
        if (!zv::sim::CRawStreamDecoder::ReadFile(compare, file, why)) {
            std::fprintf(stderr, "zvrawsink: %s: %s\n", compare.c_str(), why.c_str());
            return 1;
        }
        for (auto& d : file)
            if (d.type == "RAW0")
                recorded[d.channel].push_back(std::move(d.power));
    }

    std::uint32_t ip = 0;
    SocketAddress::ParseIp(address, ip);
    CSocket socket;
    if (!socket.Create(CSocket::Udp) || !socket.Bind(SocketAddress(ip, std::uint16_t(port)))) {
        std::fprintf(stderr, "zvrawsink: cannot listen on %s:%lld\n", address.c_str(), port);
        return 1;
    }
    socket.SetReceiveBufferSize(1 << 24);
    std::fprintf(stderr, "zvrawsink: listening on %s\n", socket.LocalAddress().Text().c_str());

    std::map<std::string, long long> counts;
    long long equal = 0, differ = 0, bad = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds < 0 ? 0 : seconds);
    std::vector<std::uint8_t> buffer(65536);
    for (long long received = 0; count < 0 || received < count;) {
        int wait = -1;
        if (seconds >= 0) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            wait = int(left.count());
        }
        const int n = socket.ReceiveFrom(buffer.data(), buffer.size(), nullptr, wait);
        if (n == CSocket::kTimeout)
            break;
        if (n < 0) {
            std::fprintf(stderr, "zvrawsink: receive failed\n");
            return 1;
        }
        ++received;
        zv::sim::SRawDatagram d;
        std::string why;
        if (!zv::sim::CRawStreamDecoder::Decode(std::span(buffer.data(), std::size_t(n)), d, why)) {
            ++bad;
            std::printf("BAD %s bytes=%d\n", why.c_str(), n);
            std::fflush(stdout);
            continue;
        }
        ++counts[d.type];
        std::string line = zv::sim::CRawStreamDecoder::Describe(d);
        if (!compare.empty() && d.type == "RAW0") {
            // A replay that loops starts the recording over.
            const auto& list = recorded[d.channel];
            std::size_t& at = next[d.channel];
            if (at >= list.size())
                at = 0;
            const bool same = at < list.size() && list[at] == d.power;
            ++at;
            ++(same ? equal : differ);
            line += same ? " equal" : " differs";
        }
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
    std::printf("summary:");
    for (const auto& [type, n] : counts)
        std::printf(" %s=%lld", type.c_str(), n);
    std::printf(" BAD=%lld", bad);
    if (!compare.empty())
        std::printf(" equal=%lld differs=%lld", equal, differ);
    std::printf("\n");
    return 0;
}
