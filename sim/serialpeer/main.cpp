// The serial I/O hub's peer as a program of its own, on one end of a socat
// pair of pseudo-terminals whose other end the program opens (ZELVAR_COM<n>
// names it):
//
//   zvserialpeer --port PATH [--send KIND,KIND...] [--every S] [--no-read]
//       [--raw] [--seconds S] [--baud N]
//       sends the inputs of the kinds once (or every S seconds) and prints
//       each telegram read from the line, decoded, one a line; a line it
//       cannot read is printed as "? <line>". With --raw each decoded line
//       is followed by a tab and the line as it came, for another reader of
//       the same telegrams. With --no-read it never reads, so that the line
//       backs up as a peer that stopped reading does.
//   zvserialpeer --decode      decodes the lines of its standard input
//   zvserialpeer --help
//
// Kinds: CALC, S10, SVPLUS, PROFILE_HEADER, SV (casts), ATS, CS
// (annotations), PE (a remote command), TIDE.
#include "sim/serialpeer/HubTelegrams.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace zv::sim;

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int)
{
    g_stop = 1;
}

void Usage(std::FILE* out)
{
    std::fputs("usage: zvserialpeer --port PATH [--send KIND,KIND...] [--every S] [--no-read] [--raw] "
               "[--seconds S] [--baud N]\n"
               "       zvserialpeer --decode\n"
               "kinds:",
               out);
    for (const std::string& k : HubInputKinds())
        std::fprintf(out, " %s", k.c_str());
    std::fputs("\n", out);
}

void PrintLine(const std::string& input, bool raw)
{
    std::string line = input;
    while (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        return;
    const auto t = DecodeHubTelegram(line);
    const std::string decoded = t ? Describe(*t) : "? " + line;
    if (raw)
        std::printf("%s\t%s\n", decoded.c_str(), line.c_str());
    else
        std::printf("%s\n", decoded.c_str());
    std::fflush(stdout);
}

speed_t Speed(long baud)
{
    switch (baud) {
    case 4800:
        return B4800;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string port;
    std::vector<std::string> kinds;
    double every = 0.0, seconds = -1.0;
    bool read = true, decode = false, raw = false;
    long baud = 9600;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            Usage(stdout);
            return 0;
        } else if (a == "--decode") {
            decode = true;
        } else if (a == "--no-read") {
            read = false;
        } else if (a == "--raw") {
            raw = true;
        } else if (a == "--port" && hasValue) {
            port = argv[++i];
        } else if (a == "--send" && hasValue) {
            std::istringstream list(argv[++i]);
            std::string k;
            while (std::getline(list, k, ',')) {
                if (HubInput(k).empty()) {
                    std::fprintf(stderr, "zvserialpeer: unknown kind: %s\n", k.c_str());
                    return 2;
                }
                kinds.push_back(k);
            }
        } else if (a == "--every" && hasValue) {
            every = std::atof(argv[++i]);
        } else if (a == "--seconds" && hasValue) {
            seconds = std::atof(argv[++i]);
        } else if (a == "--baud" && hasValue) {
            baud = std::atol(argv[++i]);
        } else {
            std::fprintf(stderr, "zvserialpeer: bad argument: %s\n", a.c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (decode) {
        std::string line;
        while (std::getline(std::cin, line))
            PrintLine(line, raw);
        return 0;
    }
    if (port.empty()) {
        Usage(stderr);
        return 2;
    }
    const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        std::fprintf(stderr, "zvserialpeer: %s: %s\n", port.c_str(), std::strerror(errno));
        return 1;
    }
    termios mode{};
    if (::tcgetattr(fd, &mode) == 0) {
        ::cfmakeraw(&mode);
        ::cfsetspeed(&mode, Speed(baud));
        ::tcsetattr(fd, TCSANOW, &mode);
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point nextSend = start;
    bool sent = false;
    std::string pending;
    while (!g_stop) {
        const Clock::time_point now = Clock::now();
        if (seconds >= 0 && now - start >= std::chrono::duration<double>(seconds))
            break;
        if (!kinds.empty() && (!sent || (every > 0 && now >= nextSend))) {
            for (const std::string& k : kinds) {
                const std::string bytes = HubInput(k);
                if (::write(fd, bytes.data(), bytes.size()) < 0 && errno != EAGAIN)
                    g_stop = 1;
            }
            sent = true;
            nextSend = now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(every));
        }
        pollfd p{fd, static_cast<short>(read ? POLLIN : 0), 0};
        if (::poll(&p, 1, 50) <= 0 || !read)
            continue;
        if (p.revents & (POLLHUP | POLLERR))
            break;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            continue;
        pending.append(buffer, static_cast<std::size_t>(n));
        // A telegram ends at CR LF, CR CR LF or a lone line feed.
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            PrintLine(pending.substr(0, end), raw);
            pending.erase(0, end + 1);
        }
    }
    ::close(fd);
    return 0;
}
