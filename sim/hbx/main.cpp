// zvhbxsim: the survey control program's end of the exchange, on loopback.
// It sends the sounder the commands given, one per --gap, and prints one line
// for every datagram it receives: announcements on the announcement port,
// status datagrams and query replies on its status port, clock replies and
// the network output's datagrams on its reply port.
//
//   zvhbxsim [--sounder=127.x.x.x] [--port=N] [--announce-port=N]
//            [--status-port=N] [--reply-port=N] [--send=CMD,CMD,...]
//            [--gap=MS] [--seconds=S] [--log=PATH]
//
// With --log every line goes to that file too, behind the milliseconds
// since the start ("1003 ANNOUNCE ..."), for a test to read once it ends.
//
// CMD is the three letters of a command (P00, PU0, P03, P02, P10, P20, S00,
// P30) or QYL<n> for a logging request with LOG=<n>.
#include "platform/Socket.h"
#include "sim/hbx/HbxCodec.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <string>
#include <vector>

namespace {

void Usage(std::FILE* to)
{
    std::fprintf(to, "usage: zvhbxsim [--sounder=127.x.x.x] [--port=N] [--announce-port=N] [--status-port=N]\n"
                     "                [--reply-port=N] [--send=CMD,CMD,...] [--gap=MS] [--seconds=S]\n"
                     "                [--log=PATH]\n"
                     "Plays the survey control program on loopback. CMD: P00 PU0 P03 P02 P10 P20 S00 P30 QYL<n>.\n"
                     "Prints one line per datagram received:\n"
                     "  ANNOUNCE model date time port N survey a.b.c.d\n"
                     "  STATUS model date time\n"
                     "  QUERY model date time 99 1 text\n"
                     "  CLOCK CS,hhmmss00,DATE:yyyymmdd\n"
                     "  NET text bytes   (the network output's datagrams)\n"
                     "  BAD reason bytes\n");
}

bool Number(const std::string& text, long long lo, long long hi, long long& value)
{
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return !text.empty() && end && *end == 0 && value >= lo && value <= hi;
}

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const auto comma = text.find(',', start);
        out.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    long long port = 2012, announcePort = 1999, statusPort = 2013, replyPort = 2014, gap = 1000, seconds = 5;
    std::string sounder = "127.0.0.1";
    std::vector<std::string> commands;
    std::string logPath;
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
        } else if (key == "--announce-port") {
            ok = Number(value, 1, 65535, announcePort);
        } else if (key == "--status-port") {
            ok = Number(value, 1, 65535, statusPort);
        } else if (key == "--reply-port") {
            ok = Number(value, 1, 65535, replyPort);
        } else if (key == "--gap") {
            ok = Number(value, 0, 600000, gap);
        } else if (key == "--log") {
            logPath = value;
            ok = !value.empty();
        } else if (key == "--seconds") {
            ok = Number(value, 0, 1LL << 30, seconds);
        } else if (key == "--send") {
            commands = Split(value);
            for (const std::string& c : commands)
                ok = ok && (c.size() == 3 || (c.size() > 3 && c.rfind("QYL", 0) == 0));
        } else if (key == "--sounder") {
            sounder = value;
            std::uint32_t ip = 0;
            ok = SocketAddress::ParseIp(value, ip) && (ip >> 24) == 127;
        } else {
            std::fprintf(stderr, "zvhbxsim: unknown argument: %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvhbxsim: %s: bad value: %s\n", key.c_str(), value.c_str());
            return 2;
        }
    }
    std::uint32_t ip = 0;
    SocketAddress::ParseIp(sounder, ip);
    const SocketAddress to(ip, static_cast<std::uint16_t>(port));

    CSocket sockets[3];
    const long long ports[3] = {announcePort, statusPort, replyPort};
    for (int i = 0; i < 3; ++i) {
        if (!sockets[i].Create(CSocket::Udp) || !sockets[i].Bind(SocketAddress(0, std::uint16_t(ports[i])))) {
            std::fprintf(stderr, "zvhbxsim: cannot listen on port %lld\n", ports[i]);
            return 1;
        }
    }
    CSocket& commandSocket = sockets[1];  // replies go to the ports, not the sender

    std::FILE* log = nullptr;
    if (!logPath.empty() && !(log = std::fopen(logPath.c_str(), "w"))) {
        std::fprintf(stderr, "zvhbxsim: cannot write %s\n", logPath.c_str());
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto print = [&](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        if (log) {
            const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            std::fprintf(log, "%lld %s\n", ms, line.c_str());
            std::fflush(log);
        }
    };
    const auto end = start + std::chrono::seconds(seconds);
    auto nextCommand = Clock::now();
    std::size_t sent = 0;
    std::vector<std::uint8_t> buffer(70000);
    while (Clock::now() < end) {
        if (sent < commands.size() && Clock::now() >= nextCommand) {
            const std::string& c = commands[sent++];
            const std::vector<std::uint8_t> datagram =
                c == "PU0"     ? hbxsim::Ports(std::uint16_t(statusPort), std::uint16_t(replyPort))
                : c.size() > 3 ? hbxsim::Logging(c.substr(3), "survey")
                               : hbxsim::Command(c);
            commandSocket.SendTo(datagram.data(), datagram.size(), to);
            print("SENT " + c);
            nextCommand = Clock::now() + std::chrono::milliseconds(gap);
        }
        pollfd fds[3];
        for (int i = 0; i < 3; ++i)
            fds[i] = {sockets[i].Handle(), POLLIN, 0};
        if (poll(fds, 3, 20) <= 0)
            continue;
        for (int i = 0; i < 3; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const int n = sockets[i].ReceiveFrom(buffer.data(), buffer.size(), nullptr, 0);
            if (n < 0)
                continue;
            const std::span<const std::uint8_t> bytes(buffer.data(), static_cast<std::size_t>(n));
            print(hbxsim::Describe(hbxsim::Decode(bytes), bytes.size()));
        }
    }
    if (log)
        std::fclose(log);
    return 0;
}
