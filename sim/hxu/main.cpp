// The simulated HXU unit as a program of its own, for demonstrations and
// hand tests. It runs until interrupted, on the unit's port 12345 of the
// address given (127.0.0.1 unless told otherwise); with a broadcast port it
// answers a unit search and, with its Ethernet address, an address change.
//
//   zvhxusim [--address a.b.c.d] [--port n] [--identity TEXT]
//            [--ethernet 12-HEX-DIGITS] [--broadcast-port n]
//            [--version TEXT] [--depth m] [--fragment n]
#include "sim/hxu/HxuSimulator.h"
#include "sim/support/SimCommandLine.h"

#include <string>

int main(int argc, char** argv)
{
    CHxuSimulator::Settings s;
    CSimCommandLine line("zvhxusim");
    line.Address("--address", s.address);
    line.Number("--port", 1, 65535, s.port);
    line.Option("--identity", [&s](const std::string& value) {
        s.identity = value;
        return !value.empty() && value.size() < 255;
    });
    line.Option("--ethernet", [&s](const std::string& value) {
        s.ethernet = value;
        return value.size() == 12 && value.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    });
    line.Number("--broadcast-port", 0, 65535, s.broadcastPort);
    line.Option("--version", [&s](const std::string& value) {
        s.version = value;
        return value.size() < 8;
    });
    line.Number("--depth", 0, 1e5, s.bottomDepth);
    line.Number("--fragment", 1, 8000, s.fragmentSamples);
    if (!line.Parse(argc, argv))
        return 2;
    CHxuSimulator sim(s);
    if (!sim.Start())
        return line.CannotBind(SocketAddress(s.address, s.port).Text());
    CSimCommandLine::RunUntilInterrupted();
    return 0;
}
