// zvlinepeer: the far end of a serial line for the remote display and the
// lobe link, on a pseudo-terminal (one end of a socat pty pair, or any tty
// path): it sends the lines given and prints every line it receives, or,
// with --decode, what its own codec (LineCodec.h) reads in them.
//
//   zvlinepeer --line=PATH [--send=TEXT]... [--gap=MS] [--seconds=S] [--log=PATH]
//              [--decode=display|lobe]
//
// TEXT takes the escapes \r, \n, \0 and \xNN and is sent as it stands
// (a lobe command ends with \r). Each line received is printed as
//   LINE <text>      (CR and LF shown as \r and \n)
// and, with --log, written to that file too behind the milliseconds since
// the start ("1003 LINE ..."), for a test to read once it ends. With
// --decode=display each line is printed as the remote display reads it
// ("DEPTH 12.30 NUMBER", "DEPTH 61.27 DPT 56.27 5.00"), with --decode=lobe
// each message as the lobe's far end reads it ("REPLY <time> <path>=<value>",
// "ECHO <time> <command>", "TELEGRAM <channel> <time> <count> <targets>");
// what the codec refuses as "BAD <reason>".
#include "sim/linepeer/LineCodec.h"
#include "sim/remotectl/RemoteTelegram.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

void Usage(std::FILE* to)
{
    std::fprintf(to, "usage: zvlinepeer --line=PATH [--send=TEXT]... [--gap=MS] [--seconds=S] [--log=PATH]\n"
                     "                  [--decode=display|lobe]\n"
                     "Sends the texts (escapes \\r \\n \\0 \\xNN) on the line, one per gap, and prints\n"
                     "every line received as: LINE <text>; with --decode, what the remote display's\n"
                     "or the lobe's far end reads in them (DEPTH, REPLY, ECHO, TELEGRAM or BAD).\n");
}

std::string Shown(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
            out += '.';
        else
            out += c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string line, logPath, decode;
    std::vector<std::string> texts;
    long gap = 200, seconds = 5;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto eq = arg.find('=');
        const std::string key = arg.substr(0, eq), value = eq == std::string::npos ? "" : arg.substr(eq + 1);
        char* end = nullptr;
        bool ok = true;
        if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else if (key == "--line") {
            line = value;
        } else if (key == "--log") {
            logPath = value;
            ok = !value.empty();
        } else if (key == "--decode") {
            decode = value;
            ok = value == "display" || value == "lobe";
        } else if (key == "--send") {
            texts.push_back(remotectl::Unescape(value));
        } else if (key == "--gap") {
            gap = std::strtol(value.c_str(), &end, 10);
            ok = !value.empty() && *end == 0 && gap >= 0 && gap <= 600000;
        } else if (key == "--seconds") {
            seconds = std::strtol(value.c_str(), &end, 10);
            ok = !value.empty() && *end == 0 && seconds >= 0 && seconds <= 86400;
        } else {
            std::fprintf(stderr, "zvlinepeer: unknown argument: %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
        if (!ok) {
            std::fprintf(stderr, "zvlinepeer: %s: bad value: %s\n", key.c_str(), value.c_str());
            return 2;
        }
    }
    if (line.empty()) {
        Usage(stderr);
        return 2;
    }
    const int fd = ::open(line.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "zvlinepeer: cannot open %s\n", line.c_str());
        return 1;
    }
    termios raw{};
    if (::tcgetattr(fd, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(fd, TCSANOW, &raw);
    }
    std::FILE* log = nullptr;
    if (!logPath.empty() && !(log = std::fopen(logPath.c_str(), "w"))) {
        std::fprintf(stderr, "zvlinepeer: cannot write %s\n", logPath.c_str());
        ::close(fd);
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto emit = [&](const std::string& out) {
        std::printf("%s\n", out.c_str());
        std::fflush(stdout);
        if (log) {
            const long long ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
            std::fprintf(log, "%lld %s\n", ms, out.c_str());
            std::fflush(log);
        }
    };
    linepeer::CLobeDecoder lobe;
    // A whole line (or, at the end, what is left).
    const auto received = [&](const std::string& text) {
        if (decode == "display")
            emit(linepeer::Describe(linepeer::DecodeDisplayLine(text)));
        else if (decode == "lobe")
            for (const linepeer::SLobeMessage& m : lobe.Feed(text))
                emit(linepeer::Describe(m));
        else
            emit("LINE " + Shown(text));
    };
    const auto stop = start + std::chrono::seconds(seconds);
    auto next = Clock::now();
    std::size_t sent = 0;
    std::string pending;
    while (Clock::now() < stop) {
        if (sent < texts.size() && Clock::now() >= next) {
            const std::string& t = texts[sent++];
            if (::write(fd, t.data(), t.size()) != static_cast<ssize_t>(t.size()))
                std::fprintf(stderr, "zvlinepeer: write failed\n");
            next = Clock::now() + std::chrono::milliseconds(gap);
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (auto at = pending.find('\n'); at != std::string::npos; at = pending.find('\n')) {
            received(pending.substr(0, at + 1));
            pending.erase(0, at + 1);
        }
    }
    if (!pending.empty())
        received(pending);
    if (!lobe.Pending().empty())
        emit("BAD unfinished: " + Shown(lobe.Pending()));
    if (log)
        std::fclose(log);
    ::close(fd);
    return 0;
}
