// The simulated QY42 unit as a program of its own, for demonstrations and
// hand tests. It runs until interrupted.
//
//   zvqy42sim [--address a.b.c.d] [--port n] [--depth m] [--drop n] [--refuse]
//             [--text TEXT] [--board-type TEXT] [--board-id n]
//             [--values v1,...,v11] [--mac XX-XX-XX-XX-XX-XX]
//             [--remote-address a.b.c.d] [--remote-port n]
//             [--remote-mac XX-XX-XX-XX-XX-XX]
//
// --text is the unit's own text (its version); the board values are its
// status answer; the addresses go into its version answer, the remote ones
// being those the program sends from unless given.
#include "sim/qy42/QY42Simulator.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int)
{
    g_stop = 1;
}

bool Number(const std::string& text, double low, double high, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0' && value >= low && value <= high;
}

// Six hexadecimal bytes separated by '-' or ':'.
bool Ethernet(const std::string& text, std::array<std::uint8_t, 6>& out)
{
    unsigned b[6];
    char s[5];
    char rest = 0;
    if (std::sscanf(text.c_str(), "%2x%c%2x%c%2x%c%2x%c%2x%c%2x%c", &b[0], &s[0], &b[1], &s[1], &b[2], &s[2], &b[3],
                    &s[3], &b[4], &s[4], &b[5], &rest) != 11)
        return false;
    for (char c : s)
        if (c != '-' && c != ':')
            return false;
    for (int i = 0; i < 6; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(b[i]);
    return true;
}

// Eleven numbers separated by commas.
bool Values(const std::string& text, std::array<float, 11>& out)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const std::size_t comma = text.find(',', at);
        if ((comma == std::string::npos) != (i + 1 == out.size()))
            return false;
        double v = 0.0;
        if (!Number(text.substr(at, comma - at), -1e6, 1e6, v))
            return false;
        out[i] = static_cast<float>(v);
        at = comma + 1;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    CQY42Simulator::Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        const std::string value = hasValue ? argv[i + 1] : std::string();
        double v = 0.0;
        bool ok = true;
        if (a == "--refuse") {
            s.refuse = true;
            continue;
        }
        if (!hasValue) {
            std::fprintf(stderr, "zvqy42sim: unknown argument or missing value: %s\n", a.c_str());
            return 2;
        }
        ++i;
        if (a == "--address") {
            ok = SocketAddress::ParseIp(value, s.address);
        } else if (a == "--remote-address") {
            ok = SocketAddress::ParseIp(value, s.remoteAddress);
        } else if (a == "--port" || a == "--remote-port") {
            ok = Number(value, 0, 65535, v);
            (a == "--port" ? s.port : s.remotePort) = static_cast<std::uint16_t>(v);
        } else if (a == "--depth") {
            ok = Number(value, 0, 1e5, v);
            s.bottomDepth = v;
        } else if (a == "--drop") {
            ok = Number(value, 0, 1e9, v);
            s.dropEvery = static_cast<int>(v);
        } else if (a == "--text") {
            s.version = value;
        } else if (a == "--board-type") {
            ok = value.size() < 8;
            s.boardType = value;
        } else if (a == "--board-id") {
            ok = Number(value, -2147483648.0, 2147483647.0, v);
            s.boardId = static_cast<std::int32_t>(v);
        } else if (a == "--values") {
            ok = Values(value, s.boardValues);
        } else if (a == "--mac") {
            ok = Ethernet(value, s.ethernet);
        } else if (a == "--remote-mac") {
            ok = Ethernet(value, s.remoteEthernet);
        } else {
            std::fprintf(stderr, "zvqy42sim: unknown argument: %s\n", a.c_str());
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvqy42sim: %s: bad value: %s\n", a.c_str(), value.c_str());
            return 2;
        }
    }
    CQY42Simulator sim(s);
    if (!sim.Start()) {
        std::fprintf(stderr, "zvqy42sim: cannot bind %s\n", SocketAddress(s.address, s.port).Text().c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!g_stop)
        pause();
    return 0;
}
