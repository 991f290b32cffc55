#include "transceivers/HxuTelegrams.h"

#include <algorithm>
#include <cstring>

namespace hxu {

namespace {

void Put16(Bytes& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<BYTE>(v & 0xFF);
    b[at + 1] = static_cast<BYTE>(v >> 8 & 0xFF);
}

void Put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

void PutFloat(Bytes& b, std::size_t at, float v)
{
    std::uint32_t w = 0;
    std::memcpy(&w, &v, 4);
    Put32(b, at, w);
}

std::uint32_t Get16(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::uint32_t Get32(const BYTE* p)
{
    return Get16(p) | Get16(p + 2) << 16;
}

float GetFloat(const BYTE* p)
{
    const std::uint32_t w = Get32(p);
    float v = 0.0f;
    std::memcpy(&v, &w, 4);
    return v;
}

Bytes Code(const char* code, std::size_t size)
{
    Bytes b(size, 0);
    b[0] = static_cast<BYTE>(code[0]);
    if (code[1] != '\0')
        b[1] = static_cast<BYTE>(code[1]);
    return b;
}

bool HasCode(const BYTE* data, std::size_t size, const char* code)
{
    return size >= 4 && data[0] == static_cast<BYTE>(code[0]) && data[1] == static_cast<BYTE>(code[1]) &&
           data[2] == 0 && data[3] == 0;
}

// A zero-ended text from a field of at most limit bytes, cut at the
// datagram's end.
std::string Text(const BYTE* data, std::size_t size, std::size_t at, std::size_t limit)
{
    if (at >= size)
        return {};
    const std::size_t room = std::min(size - at, limit);
    const auto* begin = reinterpret_cast<const char*>(data + at);
    return std::string(begin, strnlen(begin, room));
}

void PutText(Bytes& b, std::size_t at, std::size_t limit, const std::string& text)
{
    const std::size_t n = std::min(text.size(), limit - 1);
    std::memcpy(b.data() + at, text.data(), n);
}

int SlotOf(BYTE digit)
{
    return digit >= '0' && digit < '0' + kMaxChannels ? digit - '0' : -1;
}

}  // namespace

Bytes VersionQuery()
{
    return Code("VR", 4);
}

Bytes CodeBlock(std::uint32_t block, bool last, const std::string& lines)
{
    Bytes b = Code("CB", 12 + lines.size() + 1);
    Put32(b, 4, block);
    Put32(b, 8, last ? 1 : 0);
    std::memcpy(b.data() + 12, lines.data(), lines.size());
    return b;
}

Bytes Connect(bool singleChannel, const std::array<bool, kMaxChannels>& installed)
{
    Bytes b = Code("C", 24);
    Put32(b, 4, singleChannel ? 1 : 0);
    for (int i = 0; i < kMaxChannels; ++i)
        Put32(b, 8 + 4 * static_cast<std::size_t>(i), installed[static_cast<std::size_t>(i)] ? 1 : 0);
    return b;
}

Bytes KeepAlive()
{
    return Code("CK", 4);
}

Bytes Alarm(bool on)
{
    Bytes b = Code("A", 8);
    Put32(b, 4, on ? 1 : 0);
    return b;
}

Bytes Disconnect()
{
    return Code("D", 4);
}

Bytes ModeSet(const std::array<ModeRecord, kMaxChannels>& records)
{
    Bytes b = Code("MS", kModeSetSize);
    for (std::size_t i = 0; i < records.size(); ++i) {
        const ModeRecord& r = records[i];
        const std::size_t at = 4 + i * kModeRecordSize;
        PutFloat(b, at, r.frequency);
        PutFloat(b, at + 4, r.power);
        PutFloat(b, at + 8, r.pulseDuration);
        PutFloat(b, at + 20, r.sampleInterval);
        Put32(b, at + 24, r.samples);
        b[at + 29] = r.test ? 1 : 0;
    }
    return b;
}

std::optional<std::array<ModeRecord, kMaxChannels>> ReadModeSet(const BYTE* data, std::size_t size)
{
    if (size < kModeSetSize || !HasCode(data, size, "MS"))
        return std::nullopt;
    std::array<ModeRecord, kMaxChannels> records{};
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BYTE* p = data + 4 + i * kModeRecordSize;
        ModeRecord& r = records[i];
        r.frequency = GetFloat(p);
        r.power = GetFloat(p + 4);
        r.pulseDuration = GetFloat(p + 8);
        r.sampleInterval = GetFloat(p + 20);
        r.samples = Get32(p + 24);
        r.test = p[29] != 0;
    }
    return records;
}

Kind KindOf(const BYTE* data, std::size_t size)
{
    if (size < 4)
        return Kind::Unknown;
    if (data[0] == 'P')
        return Kind::Samples;
    if (data[0] == 'A' && data[1] == 'D')
        return Kind::RawBlock;
    if (HasCode(data, size, "CR"))
        return Kind::CodeBlockReply;
    switch (Get32(data)) {
    case 86:
        return Kind::Version;
    case 69:
        return Kind::Error;
    case 87:
        return Kind::Warning;
    default:
        return Kind::Unknown;
    }
}

Bytes EncodeVersionReply(const VersionReply& reply)
{
    Bytes b(std::min(kVersionReplySize + reply.error.size() + 1, kMaxVersionReply), 0);
    Put32(b, 0, 86);
    PutText(b, 12, 268 - 12, reply.identity);
    PutText(b, 268, 276 - 268, reply.version);
    Put32(b, 276, reply.fatal ? 1 : 0);
    PutText(b, kVersionReplySize, b.size() - kVersionReplySize, reply.error);
    return b;
}

std::optional<VersionReply> ReadVersionReply(const BYTE* data, std::size_t size)
{
    if (size < kVersionReplySize || Get32(data) != 86)
        return std::nullopt;
    size = std::min(size, kMaxVersionReply);
    VersionReply r;
    r.identity = Text(data, size, 12, 268 - 12);
    r.version = Text(data, size, 268, 276 - 268);
    r.fatal = Get32(data + 276) != 0;
    r.error = Text(data, size, kVersionReplySize, size - kVersionReplySize);
    return r;
}

Bytes EncodeCodeBlockReply(std::uint32_t block)
{
    Bytes b = Code("CR", 8);
    Put32(b, 4, block);
    return b;
}

std::optional<std::uint32_t> ReadCodeBlockReply(const BYTE* data, std::size_t size)
{
    if (size < 8 || !HasCode(data, size, "CR"))
        return std::nullopt;
    return Get32(data + 4);
}

Bytes EncodeText(char code, const std::string& text)
{
    Bytes b(4 + text.size() + 1, 0);
    Put32(b, 0, static_cast<BYTE>(code));
    std::memcpy(b.data() + 4, text.data(), text.size());
    return b;
}

std::optional<std::string> ReadText(const BYTE* data, std::size_t size)
{
    if (size < 4)
        return std::nullopt;
    return Text(data, size, 4, size - 4);
}

Bytes EncodeFragment(const Fragment& f)
{
    const std::size_t n = f.power.size();
    const bool angles = !f.angles.empty();
    const std::size_t block = (f.diagnostics & 3) != 0 ? 4 + f.adWords.size() * 4 : 0;
    Bytes b(kFragmentHeader + n * 2 + (angles ? n * 2 : 0) + block, 0);
    b[0] = 'P';
    b[1] = static_cast<BYTE>('0' + f.slot);
    Put32(b, 8, f.first);
    Put16(b, 16, f.thermistor);
    for (std::size_t i = 0; i < 3; ++i)
        Put16(b, 18 + 2 * i, f.motion[i]);
    b[24] = f.status;
    b[26] = angles ? 1 : 0;
    b[27] = f.diagnostics;
    Put32(b, 28, static_cast<std::uint32_t>(n));
    std::size_t at = kFragmentHeader;
    for (std::int16_t v : f.power) {
        Put16(b, at, static_cast<std::uint16_t>(v));
        at += 2;
    }
    if (angles) {
        for (std::size_t i = 0; i < n; ++i) {
            Put16(b, at, i < f.angles.size() ? f.angles[i] : 0);
            at += 2;
        }
    }
    if (block != 0) {
        Put32(b, at, static_cast<std::uint32_t>(f.adCount));
        at += 4;
        for (std::uint32_t w : f.adWords) {
            Put32(b, at, w);
            at += 4;
        }
    }
    return b;
}

std::optional<Fragment> ReadFragment(const BYTE* data, std::size_t size)
{
    if (size < kFragmentHeader || data[0] != 'P')
        return std::nullopt;
    Fragment f;
    f.slot = SlotOf(data[1]);
    if (f.slot < 0)
        return std::nullopt;
    f.first = Get32(data + 8);
    f.thermistor = static_cast<std::uint16_t>(Get16(data + 16));
    for (std::size_t i = 0; i < 3; ++i)
        f.motion[i] = static_cast<std::uint16_t>(Get16(data + 18 + 2 * i));
    f.status = data[24];
    const bool angles = data[26] != 0;
    f.diagnostics = data[27];
    const std::uint64_t n = Get32(data + 28);
    // Every count is checked against what the datagram holds.
    const std::uint64_t words = n * (angles ? 2 : 1);
    std::size_t at = kFragmentHeader;
    if (words > (size - at) / 2)
        return std::nullopt;
    f.power.resize(static_cast<std::size_t>(n));
    for (auto& v : f.power) {
        v = static_cast<std::int16_t>(Get16(data + at));
        at += 2;
    }
    if (angles) {
        f.angles.resize(static_cast<std::size_t>(n));
        for (auto& v : f.angles) {
            v = static_cast<std::uint16_t>(Get16(data + at));
            at += 2;
        }
    }
    if ((f.diagnostics & 3) != 0) {
        if (size - at < 4)
            return std::nullopt;
        f.adCount = static_cast<int>(Get32(data + at));
        at += 4;
        if (f.adCount != 1 && f.adCount != 4)
            return std::nullopt;
        const int perAd = (f.diagnostics & 1) ? kDiagnosticWords : kAdDiagnosticWords;
        const std::size_t count = static_cast<std::size_t>(f.adCount * perAd);
        if (count > (size - at) / 4)
            return std::nullopt;
        f.adWords.resize(count);
        for (auto& w : f.adWords) {
            w = Get32(data + at);
            at += 4;
        }
    }
    return f;
}

Bytes EncodeRawBlock(const RawBlock& r)
{
    Bytes b(kRawBlockHeader + r.words.size() * 2, 0);
    b[0] = 'A';
    b[1] = 'D';
    b[2] = static_cast<BYTE>('0' + r.slot);
    Put32(b, 4, r.blockId);
    Put32(b, 8, static_cast<std::uint32_t>(r.stride));
    Put32(b, 12, static_cast<std::uint32_t>(r.count));
    for (std::size_t i = 0; i < r.words.size(); ++i)
        Put16(b, kRawBlockHeader + 2 * i, static_cast<std::uint16_t>(r.words[i]));
    return b;
}

std::optional<RawBlock> ReadRawBlock(const BYTE* data, std::size_t size)
{
    if (size < kRawBlockHeader || data[0] != 'A' || data[1] != 'D')
        return std::nullopt;
    RawBlock r;
    r.slot = SlotOf(data[2]);
    if (r.slot < 0)
        return std::nullopt;
    r.blockId = Get32(data + 4);
    const std::uint32_t stride = Get32(data + 8);
    const std::uint32_t count = Get32(data + 12);
    if (stride == 0 || stride > 0xFFFF || count > 0xFFFF)
        return std::nullopt;
    r.stride = static_cast<int>(stride);
    r.count = static_cast<int>(count);
    // The channel takes only the words the datagram holds.
    r.words.resize((size - kRawBlockHeader) / 2);
    for (std::size_t i = 0; i < r.words.size(); ++i)
        r.words[i] = static_cast<std::int16_t>(Get16(data + kRawBlockHeader + 2 * i));
    return r;
}

std::optional<std::string> SoftwareVersion(const std::string& firstLine)
{
    std::string line = firstLine;
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t' || line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    const std::size_t mark = line.find("VERSION=");
    if (mark == std::string::npos)
        return std::nullopt;
    return line.substr(mark + 8);
}

}  // namespace hxu
