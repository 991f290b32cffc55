// The simulated GEO unit as a program of its own, for demonstrations and
// hand tests. It runs until interrupted. Its port is 502 as the unit's: run
// it where it may bind that, such as a network namespace of its own.
//
//   zvgeosim [--address a.b.c.d] [--port n] [--trigger-port n]
//            [--channels 1-4] [--depth m] [--samples n] [--text-every n]
//            [--text TELEGRAM]
#include "sim/geo/GeoSimulator.h"

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

}  // namespace

int main(int argc, char** argv)
{
    CGeoSimulator::Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "zvgeosim: unknown argument or missing value: %s\n", a.c_str());
            return 2;
        }
        const std::string value = argv[++i];
        double v = 0.0;
        bool ok = true;
        if (a == "--address") {
            ok = SocketAddress::ParseIp(value, s.address);
        } else if (a == "--port" || a == "--trigger-port") {
            ok = Number(value, 1, 65535, v);
            (a == "--port" ? s.port : s.triggerPort) = static_cast<std::uint16_t>(v);
        } else if (a == "--channels") {
            ok = Number(value, 1, CGeoSimulator::kMaxChannels, v);
            s.channels = static_cast<int>(v);
        } else if (a == "--depth") {
            ok = Number(value, 0, 1e5, v);
            s.bottomDepth = v;
        } else if (a == "--samples") {
            ok = Number(value, 1, 65535, v);
            s.samples = static_cast<int>(v);
        } else if (a == "--text-every") {
            ok = Number(value, 0, 1e9, v);
            s.textEvery = static_cast<int>(v);
        } else if (a == "--text") {
            ok = value.size() < 90;
            s.text = value;
        } else {
            std::fprintf(stderr, "zvgeosim: unknown argument: %s\n", a.c_str());
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvgeosim: %s: bad value: %s\n", a.c_str(), value.c_str());
            return 2;
        }
    }
    CGeoSimulator sim(s);
    if (!sim.Start()) {
        std::fprintf(stderr, "zvgeosim: cannot bind %s\n", SocketAddress(s.address, s.port).Text().c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!g_stop)
        pause();
    return 0;
}
