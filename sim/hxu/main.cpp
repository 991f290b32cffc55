// The simulated HXU unit as a program of its own, for demonstrations and
// hand tests. It runs until interrupted, on the unit's port 12345 of the
// address given (127.0.0.1 unless told otherwise).
//
//   zvhxusim [--address a.b.c.d] [--port n] [--identity TEXT]
//            [--version TEXT] [--depth m] [--fragment n]
#include "sim/hxu/HxuSimulator.h"

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
    CHxuSimulator::Settings s;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "zvhxusim: unknown argument or missing value: %s\n", a.c_str());
            return 2;
        }
        const std::string value = argv[++i];
        double v = 0.0;
        bool ok = true;
        if (a == "--address") {
            ok = SocketAddress::ParseIp(value, s.address);
        } else if (a == "--port") {
            ok = Number(value, 1, 65535, v);
            s.port = static_cast<std::uint16_t>(v);
        } else if (a == "--identity") {
            ok = !value.empty() && value.size() < 255;
            s.identity = value;
        } else if (a == "--version") {
            ok = value.size() < 8;
            s.version = value;
        } else if (a == "--depth") {
            ok = Number(value, 0, 1e5, v);
            s.bottomDepth = v;
        } else if (a == "--fragment") {
            ok = Number(value, 1, 8000, v);
            s.fragmentSamples = static_cast<int>(v);
        } else {
            std::fprintf(stderr, "zvhxusim: unknown argument: %s\n", a.c_str());
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvhxusim: %s: bad value: %s\n", a.c_str(), value.c_str());
            return 2;
        }
    }
    CHxuSimulator sim(s);
    if (!sim.Start()) {
        std::fprintf(stderr, "zvhxusim: cannot bind %s\n", SocketAddress(s.address, s.port).Text().c_str());
        return 1;
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    while (!g_stop)
        pause();
    return 0;
}
