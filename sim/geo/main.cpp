// The simulated GEO unit as a program of its own, for demonstrations and
// hand tests. It runs until interrupted. Its port is 502 as the unit's: run
// it where it may bind that, such as a network namespace of its own.
//
//   zvgeosim [--address a.b.c.d] [--port n] [--trigger-port n]
//            [--channels 1-4] [--depth m] [--samples n] [--text-every n]
//            [--text TELEGRAM]
#include "sim/geo/GeoSimulator.h"
#include "sim/support/SimCommandLine.h"

#include <string>

int main(int argc, char** argv)
{
    CGeoSimulator::Settings s;
    CSimCommandLine line("zvgeosim");
    line.Address("--address", s.address);
    line.Number("--port", 1, 65535, s.port);
    line.Number("--trigger-port", 1, 65535, s.triggerPort);
    line.Number("--channels", 1, CGeoSimulator::kMaxChannels, s.channels);
    line.Number("--depth", 0, 1e5, s.bottomDepth);
    line.Number("--samples", 1, 65535, s.samples);
    line.Number("--text-every", 0, 1e9, s.textEvery);
    line.Option("--text", [&s](const std::string& value) {
        s.text = value;
        return value.size() < 90;
    });
    if (!line.Parse(argc, argv))
        return 2;
    CGeoSimulator sim(s);
    if (!sim.Start())
        return line.CannotBind(SocketAddress(s.address, s.port).Text());
    CSimCommandLine::RunUntilInterrupted();
    return 0;
}
