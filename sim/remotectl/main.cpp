// zvremotectl: drives the sounder's remote control as another program does,
// with "PE" telegrams by UDP to the network input port on loopback, or as
// lines on a serial line (a pseudo-terminal's path).
//
//   zvremotectl [--address=127.x.x.x] [--port=N] [--line=PATH] [--raw] COMMAND...
//
// COMMAND: startpinging, stoppinging, interval=S, startlogging, stoplogging,
// starthist, stophist; with --raw each argument is sent as it stands, with
// \r, \n, \0 and \xNN escapes, for hostile input.
#include "platform/Socket.h"
#include "sim/remotectl/RemoteTelegram.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void Usage(std::FILE* to)
{
    std::fprintf(to, "usage: zvremotectl [--address=127.x.x.x] [--port=N] [--line=PATH] [--raw] COMMAND...\n"
                     "Sends remote-control telegrams to the network input port (default 127.0.0.1:10183)\n"
                     "or, with --line, as lines on a serial line.\n"
                     "COMMAND: startpinging stoppinging interval=S startlogging stoplogging starthist stophist\n"
                     "--raw: each argument is sent as it stands (escapes \\r \\n \\0 \\xNN).\n");
}

}  // namespace

int main(int argc, char** argv)
{
    std::string address = "127.0.0.1", line;
    long port = 10183;
    bool raw = false;
    std::vector<std::string> telegrams;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto eq = arg.find('=');
        const std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        }
        bool ok = true;
        if (key == "--address") {
            std::uint32_t ip = 0;
            address = value;
            ok = SocketAddress::ParseIp(value, ip) && (ip >> 24) == 127;
        } else if (key == "--port") {
            char* end = nullptr;
            port = std::strtol(value.c_str(), &end, 10);
            ok = !value.empty() && *end == 0 && port > 0 && port < 65536;
        } else if (key == "--line") {
            line = value;
            ok = !value.empty();
        } else if (arg == "--raw") {
            raw = true;
        } else if (arg.rfind("--", 0) == 0) {
            std::fprintf(stderr, "zvremotectl: unknown argument: %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        } else if (raw) {
            telegrams.push_back(remotectl::Unescape(arg));
        } else if (const auto telegram = remotectl::Telegram(arg)) {
            telegrams.push_back(*telegram);
        } else {
            std::fprintf(stderr, "zvremotectl: unknown command: %s\n", arg.c_str());
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvremotectl: %s: bad value: %s\n", key.c_str(), value.c_str());
            return 2;
        }
    }
    if (!line.empty()) {
        const int fd = ::open(line.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(stderr, "zvremotectl: cannot open %s\n", line.c_str());
            return 1;
        }
        for (const std::string& t : telegrams) {
            const std::string text = raw ? t : t + "\r\n";
            if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
                std::fprintf(stderr, "zvremotectl: write failed\n");
        }
        ::close(fd);
        return 0;
    }
    std::uint32_t ip = 0;
    SocketAddress::ParseIp(address, ip);
    CSocket socket;
    if (!socket.Create(CSocket::Udp)) {
        std::fprintf(stderr, "zvremotectl: no socket\n");
        return 1;
    }
    for (const std::string& t : telegrams) {
        if (socket.SendTo(t.data(), t.size(), SocketAddress(ip, static_cast<std::uint16_t>(port))) !=
            static_cast<int>(t.size())) {
            std::fprintf(stderr, "zvremotectl: cannot send to %s:%ld\n", address.c_str(), port);
            return 1;
        }
        std::printf("SENT %zu bytes\n", t.size());
    }
    return 0;
}
