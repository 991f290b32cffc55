// zvlx750sim: the post-processing program's receiving end, on loopback. It
// decodes every datagram the post-processing output sends and prints one
// line for each (a datagram it cannot decode is printed as BAD with the
// reason).
//
//   zvlx750sim [--port=N] [--address=127.x.x.x] [--count=N] [--seconds=S]
//
// --port (default 2020) and --address (default 127.0.0.1, loopback only)
// are where it listens; it ends after --count datagrams or --seconds of
// running, whichever comes first (default: never).
#include "platform/Socket.h"
#include "sim/lx750/LX750Decoder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Usage(std::FILE* to)
{
    std::fprintf(to, "usage: zvlx750sim [--port=N] [--address=127.x.x.x] [--count=N] [--seconds=S]\n"
                     "Receives the post-processing output's datagrams on loopback and prints one line each:\n"
                     "  Q<digit> time tvg bottom surface window S bottom window B bytes\n"
                     "  E<digit> time n bytes first target\n"
                     "  VL time date distance bytes\n"
                     "  PR time text bytes\n"
                     "  NAV text bytes\n"
                     "  BAD reason bytes\n");
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
    long long port = 2020, count = -1, seconds = -1;
    std::string address = "127.0.0.1";
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
        } else if (key == "--address") {
            address = value;
            std::uint32_t ip = 0;
            ok = SocketAddress::ParseIp(value, ip) && (ip >> 24) == 127;
        } else {
            std::fprintf(stderr, "zvlx750sim: unknown argument: %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvlx750sim: %s: bad value: %s\n", key.c_str(), value.c_str());
            return 2;
        }
    }
    std::uint32_t ip = 0;
    SocketAddress::ParseIp(address, ip);
    CSocket socket;
    if (!socket.Create(CSocket::Udp) || !socket.Bind(SocketAddress(ip, std::uint16_t(port)))) {
        std::fprintf(stderr, "zvlx750sim: cannot listen on %s:%lld\n", address.c_str(), port);
        return 1;
    }
    socket.SetReceiveBufferSize(1 << 22);
    std::fprintf(stderr, "zvlx750sim: listening on %s\n", socket.LocalAddress().Text().c_str());
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
            std::fprintf(stderr, "zvlx750sim: receive failed\n");
            return 1;
        }
        ++received;
        zv::sim::SLX750Datagram d;
        std::string why;
        if (zv::sim::CLX750Decoder::Decode(std::span(buffer.data(), std::size_t(n)), d, why))
            std::printf("%s\n", zv::sim::CLX750Decoder::Describe(d).c_str());
        else
            std::printf("BAD %s bytes=%d\n", why.c_str(), n);
        std::fflush(stdout);
    }
    return 0;
}
