#include "sim/lx750/LX750Decoder.h"

#include "platform/ByteReader.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zv::sim {

namespace {

bool Digits(std::span<const std::uint8_t> b, std::size_t at, std::size_t n)
{
    for (std::size_t i = at; i < at + n; ++i)
        if (!std::isdigit(b[i]))
            return false;
    return true;
}

// "X1,hhmmsscc," with the given letters in front.
bool HasHead(std::span<const std::uint8_t> b, const char* letters)
{
    if (b.size() < 12 || b[0] != std::uint8_t(letters[0]) || b[2] != ',' || b[11] != ',')
        return false;
    if (letters[1] != 0 ? b[1] != std::uint8_t(letters[1]) : !std::isdigit(b[1]))
        return false;
    return Digits(b, 3, 8);
}

std::string Text(std::span<const std::uint8_t> b, std::size_t from, std::size_t to)
{
    return std::string(reinterpret_cast<const char*>(b.data()) + from, to - from);
}

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...)
{
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace

bool CLX750Decoder::Decode(std::span<const std::uint8_t> b, SLX750Datagram& d, std::string& why)
{
    d = SLX750Datagram{};
    d.bytes = b.size();
    CByteReader r(b);
    if (HasHead(b, "Q")) {
        d.kind = SLX750Datagram::Kind::Echogram;
        d.channel = char(b[1]);
        d.time = Text(b, 3, 11);
        if (b.size() < kQHeader) {
            why = "echogram datagram shorter than its head";
            return false;
        }
        d.tvg = r.U32(12);
        d.bottomDepth = r.F32(16);
        d.surfaceStart = r.F32(20);
        d.surfaceEnd = r.F32(24);
        const std::uint64_t S = r.U32(28);
        d.bottomStart = r.F32(32);
        d.bottomEnd = r.F32(36);
        const std::uint64_t B = r.U32(40);
        if (kQHeader + 2 * (S + B) != b.size()) {
            why = "echogram datagram of " + std::to_string(b.size()) + " bytes for " + std::to_string(S) + " + " +
                  std::to_string(B) + " samples";
            return false;
        }
        const auto surface = r.ArrayOf<std::int16_t>(kQHeader, S);
        const auto bottom = r.ArrayOf<std::int16_t>(kQHeader + 2 * S, B);
        for (std::size_t i = 0; i < S; ++i)
            d.surface.push_back(surface[i]);
        for (std::size_t i = 0; i < B; ++i)
            d.bottom.push_back(bottom[i]);
        return !r.Failed();
    }
    if (HasHead(b, "E")) {
        d.kind = SLX750Datagram::Kind::EchoTrace;
        d.channel = char(b[1]);
        d.time = Text(b, 3, 11);
        const std::uint64_t n = b.size() >= 16 ? r.U32(12) : 0;
        if (b.size() < 16 || n > kMaxTargets || 16 + 20 * n != b.size()) {
            why = "echo-trace datagram of " + std::to_string(b.size()) + " bytes for " + std::to_string(n) + " targets";
            return false;
        }
        for (std::size_t t = 0; t < n; ++t) {
            std::array<float, 5> v{};
            for (std::size_t k = 0; k < 5; ++k)
                v[k] = r.F32(16 + 20 * t + 4 * k);
            d.targets.push_back(v);
        }
        return !r.Failed();
    }
    if (HasHead(b, "VL")) {
        d.kind = SLX750Datagram::Kind::VesselLog;
        d.time = Text(b, 3, 11);
        if (b.size() != 24 || !Digits(b, 12, 6) || b[18] != ',' || b[19] != ' ') {
            why = "vessel-log telegram that is not 24 bytes of VL,time,yyMMdd, distance";
            return false;
        }
        d.date = Text(b, 12, 18);
        d.distance = r.F32(20);
        return !r.Failed();
    }
    // The texts: each ends with its NUL, and holds none before it.
    const void* nul = b.empty() ? nullptr : std::memchr(b.data(), 0, b.size());
    if (nul == nullptr) {
        why = "text without its NUL";
        return false;
    }
    const std::size_t length = std::size_t(static_cast<const std::uint8_t*>(nul) - b.data());
    if (b.size() >= 12 && std::memcmp(b.data(), "PR,", 3) == 0 && Digits(b, 3, 8) && b[11] == ',') {
        d.kind = SLX750Datagram::Kind::Parameter;
        d.time = Text(b, 3, 11);
        d.text = Text(b, 12, length);
        if (length + 1 != b.size()) {
            why = "parameter telegram with bytes after its NUL";
            return false;
        }
        return true;
    }
    d.kind = SLX750Datagram::Kind::Navigation;
    d.text = Text(b, 0, length);
    for (std::size_t i = length; i < b.size(); ++i)
        if (b[i] != 0) {
            why = "navigation datagram with text after its NUL";
            return false;
        }
    if (b.size() % 4 != 0 || b.size() > 80) {
        why = "navigation datagram of " + std::to_string(b.size()) + " bytes";
        return false;
    }
    return true;
}

std::string CLX750Decoder::Describe(const SLX750Datagram& d)
{
    switch (d.kind) {
    case SLX750Datagram::Kind::Echogram:
        return Line("Q%c %s tvg=%u bottom=%.2f surface=%.2f..%.2f S=%zu bottom-window=%.2f..%.2f B=%zu bytes=%zu",
                    d.channel, d.time.c_str(), d.tvg, d.bottomDepth, d.surfaceStart, d.surfaceEnd, d.surface.size(),
                    d.bottomStart, d.bottomEnd, d.bottom.size(), d.bytes);
    case SLX750Datagram::Kind::EchoTrace: {
        std::string line = Line("E%c %s n=%zu bytes=%zu", d.channel, d.time.c_str(), d.targets.size(), d.bytes);
        if (!d.targets.empty())
            line += Line(" first=%.2f,%.2f,%.2f,%.2f,%.2f", d.targets[0][0], d.targets[0][1], d.targets[0][2],
                         d.targets[0][3], d.targets[0][4]);
        return line;
    }
    case SLX750Datagram::Kind::VesselLog:
        return Line("VL %s %s distance=%.3f bytes=%zu", d.time.c_str(), d.date.c_str(), d.distance, d.bytes);
    case SLX750Datagram::Kind::Parameter:
        return "PR " + d.time + " " + d.text + Line(" bytes=%zu", d.bytes);
    case SLX750Datagram::Kind::Navigation:
        return "NAV " + d.text + Line(" bytes=%zu", d.bytes);
    }
    return {};
}

}  // namespace zv::sim
