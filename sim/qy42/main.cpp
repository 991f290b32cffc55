// The simulated QY42 unit as a program of its own, for demonstrations and
// hand tests: zvqy42sim [--address a.b.c.d] [--port n] [--depth m]
// [--drop n] [--refuse]. It runs until interrupted.
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
}  // namespace

int main(int argc, char** argv)
{
    CQY42Simulator::Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--refuse") {
            s.refuse = true;
        } else if (a == "--address" && hasValue) {
            if (!SocketAddress::ParseIp(argv[++i], s.address)) {
                std::fprintf(stderr, "zvqy42sim: not an IPv4 address: %s\n", argv[i]);
                return 2;
            }
        } else if ((a == "--port" || a == "--depth" || a == "--drop") && hasValue) {
            char* end = nullptr;
            const double v = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || v < 0 || (a == "--port" && v > 65535)) {
                std::fprintf(stderr, "zvqy42sim: %s: bad value: %s\n", a.c_str(), argv[i]);
                return 2;
            }
            if (a == "--port")
                s.port = static_cast<std::uint16_t>(v);
            else if (a == "--depth")
                s.bottomDepth = v;
            else
                s.dropEvery = static_cast<int>(v);
        } else {
            std::fprintf(stderr, "zvqy42sim: unknown argument: %s\n", a.c_str());
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
