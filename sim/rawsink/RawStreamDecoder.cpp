#include "sim/rawsink/RawStreamDecoder.h"

#include "platform/ByteReader.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace zv::sim {

namespace {

std::string TypeOf(std::span<const std::uint8_t> b)
{
    return std::string(reinterpret_cast<const char*>(b.data()), 4);
}

// A text datagram's text: NUL-terminated within the body, which is padded
// to a multiple of 4 and never longer than the limit.
bool TakeText(CByteReader& r, std::size_t at, std::size_t limit, std::string& text, std::string& why)
{
    const std::size_t size = r.Size();
    if (size > limit || size % 4 != 0 || size <= at) {
        why = "text datagram of " + std::to_string(size) + " bytes";
        return false;
    }
    text = r.Text(at, size - at);
    if (text.size() == size - at) {
        why = "text without its NUL";
        return false;
    }
    return true;
}

}  // namespace

bool CRawStreamDecoder::Decode(std::span<const std::uint8_t> b, SRawDatagram& d, std::string& why)
{
    d = SRawDatagram{};
    d.bytes = b.size();
    if (b.size() < kHeader) {
        why = "body shorter than its header";
        return false;
    }
    CByteReader r(b);
    d.type = TypeOf(b);
    d.time = r.U32(4) | (std::uint64_t(r.U32(8)) << 32);
    if (d.type == "CON0") {
        if (b.size() < 528) {
            why = "configuration shorter than its fixed part";
            return false;
        }
        d.text1 = r.Text(12, 128);
        d.text2 = r.Text(140, 128);
        d.text3 = r.Text(268, 128);
        const std::uint64_t count = r.U32(524);
        if (528 + kChannelRecord * count != b.size()) {
            why = "configuration of " + std::to_string(b.size()) + " bytes for " + std::to_string(count) + " channels";
            return false;
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = 528 + kChannelRecord * i;
            d.channels.push_back({r.Text(at, 128), r.F32(at + 132)});
        }
        return !r.Failed();
    }
    if (d.type == "RAW0") {
        if (b.size() < 84) {
            why = "sample datagram shorter than its fixed part";
            return false;
        }
        d.channel = r.U16(12);
        d.flags = r.U16(14);
        d.frequency = r.F32(20);
        d.soundVelocity = r.F32(40);
        d.sampleOffset = r.U32(76);
        const std::uint64_t P = r.U32(80);
        const bool angles = (d.flags & 2) != 0, traces = (d.flags & 8) != 0;
        const std::uint64_t expected = 84 + 2 * P + (angles ? 2 * P : 0) + (traces ? 8 * P : 0);
        if (expected != b.size()) {
            why = "sample datagram of " + std::to_string(b.size()) + " bytes for " + std::to_string(P) + " samples";
            return false;
        }
        const auto power = r.ArrayOf<std::int16_t>(84, P);
        d.power.reserve(P);
        for (std::size_t i = 0; i < P; ++i)
            d.power.push_back(power[i]);
        if (angles) {
            const auto a = r.ArrayOf<std::int16_t>(84 + 2 * P, P);
            d.angles.reserve(P);
            for (std::size_t i = 0; i < P; ++i)
                d.angles.push_back(a[i]);
        }
        d.traceWords = traces ? 2 * P : 0;
        return !r.Failed();
    }
    if (d.type == "NME0" || d.type == "TAG0")
        return TakeText(r, 12, 212, d.text, why);
    if (d.type == "SVP0") {
        d.profileKind = b.size() >= 16 ? r.U32(12) : 0;
        return TakeText(r, 16, 25016, d.text, why);
    }
    if (d.type == "DEP0") {
        const std::uint64_t n = b.size() >= 16 ? r.U32(12) : 0;
        if (b.size() < 16 || 16 + 12 * n != b.size()) {
            why = "depth datagram of " + std::to_string(b.size()) + " bytes";
            return false;
        }
        for (std::size_t i = 0; i < n; ++i)
            d.depths.push_back(r.F32(16 + 12 * i));
        return !r.Failed();
    }
    why = "unknown type";
    return false;
}

std::string CRawStreamDecoder::Describe(const SRawDatagram& d)
{
    char line[400];
    if (d.type == "CON0") {
        std::snprintf(line, sizeof line, "CON0 %s %s channels=%zu bytes=%zu", d.text1.c_str(), d.text2.c_str(),
                      d.channels.size(), d.bytes);
    } else if (d.type == "RAW0") {
        std::snprintf(line, sizeof line, "RAW0 channel=%u flags=%u frequency=%.0f samples=%zu angles=%zu bytes=%zu",
                      unsigned(d.channel), unsigned(d.flags), d.frequency, d.power.size(), d.angles.size(), d.bytes);
    } else if (d.type == "SVP0") {
        std::snprintf(line, sizeof line, "SVP0 kind=%u characters=%zu bytes=%zu", d.profileKind, d.text.size(),
                      d.bytes);
    } else if (d.type == "DEP0") {
        std::snprintf(line, sizeof line, "DEP0 entries=%zu bytes=%zu", d.depths.size(), d.bytes);
    } else {
        std::snprintf(line, sizeof line, "%s %.200s bytes=%zu", d.type.c_str(), d.text.c_str(), d.bytes);
    }
    return line;
}

bool CRawStreamDecoder::ReadFile(const std::string& path, std::vector<SRawDatagram>& out, std::string& why)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        why = "cannot read " + path;
        return false;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    CByteReader r(bytes.data(), bytes.size());
    std::size_t at = 0;
    while (at < bytes.size()) {
        const std::uint32_t length = r.U32(at);
        if (r.Failed() || !r.Has(at + 4, std::size_t(length) + 4) || r.U32(at + 4 + length) != length) {
            why = "damaged frame at byte " + std::to_string(at);
            return false;
        }
        SRawDatagram d;
        if (!Decode(std::span(bytes.data() + at + 4, length), d, why)) {
            why += " at byte " + std::to_string(at);
            return false;
        }
        out.push_back(std::move(d));
        at += 8 + std::size_t(length);
    }
    return true;
}

}  // namespace zv::sim
