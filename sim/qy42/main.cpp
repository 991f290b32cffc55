// The simulated QY42 unit as a program of its own, for demonstrations and
// hand tests. It runs until interrupted.
//
//   zvqy42sim [--address a.b.c.d] [--port n] [--depth m] [--drop n] [--refuse]
//             [--thermistor ohms]
//             [--text TEXT] [--board-type TEXT] [--board-id n]
//             [--values v1,...,v11] [--mac XX-XX-XX-XX-XX-XX]
//             [--remote-address a.b.c.d] [--remote-port n]
//             [--remote-mac XX-XX-XX-XX-XX-XX]
//
// --text is the unit's own text (its version); the board values are its
// status answer; the addresses go into its version answer, the remote ones
// being those the program sends from unless given.
#include "sim/qy42/QY42Simulator.h"
#include "sim/support/SimCommandLine.h"

#include <array>
#include <cstdio>
#include <string>

namespace {

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
        if (!CSimCommandLine::ReadNumber(text.substr(at, comma - at), -1e6, 1e6, v))
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
    CSimCommandLine line("zvqy42sim");
    line.Flag("--refuse", s.refuse);
    line.Address("--address", s.address);
    line.Address("--remote-address", s.remoteAddress);
    line.Number("--port", 0, 65535, s.port);
    line.Number("--remote-port", 0, 65535, s.remotePort);
    line.Number("--depth", 0, 1e5, s.bottomDepth);
    line.Number("--drop", 0, 1e9, s.dropEvery);
    line.Number("--thermistor", 0, 1e9, s.thermistorOhms);
    line.Option("--text", [&s](const std::string& value) {
        s.version = value;
        return true;
    });
    line.Option("--board-type", [&s](const std::string& value) {
        s.boardType = value;
        return value.size() < 8;
    });
    line.Number("--board-id", -2147483648.0, 2147483647.0, s.boardId);
    line.Option("--values", [&s](const std::string& value) { return Values(value, s.boardValues); });
    line.Option("--mac", [&s](const std::string& value) { return Ethernet(value, s.ethernet); });
    line.Option("--remote-mac", [&s](const std::string& value) { return Ethernet(value, s.remoteEthernet); });
    if (!line.Parse(argc, argv))
        return 2;
    CQY42Simulator sim(s);
    if (!sim.Start())
        return line.CannotBind(SocketAddress(s.address, s.port).Text());
    CSimCommandLine::RunUntilInterrupted();
    return 0;
}
