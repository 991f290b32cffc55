#include "sim/hbx/HbxCodec.h"

#include "sim/support/SimBytes.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace hbxsim {

namespace {

// Pinned here on their own: the sounder's table must agree.
constexpr std::array<SModel, 6> kModels{{
    {210, "QY210"},
    {310, "QY310"},
    {1030, "RM30"},
    {2030, "TQ30"},
    {4000, "TOTAL"},
    {5000, "QYNVU"},
}};

SDatagram Bad(std::string reason)
{
    SDatagram d;
    d.reason = std::move(reason);
    return d;
}

}  // namespace

std::string ModelName(std::uint16_t number)
{
    for (const SModel& m : kModels)
        if (m.number == number)
            return m.name;
    return {};
}

SDatagram Decode(std::span<const std::uint8_t> b)
{
    using simbytes::Get16;
    using simbytes::Get32;
    SDatagram d;
    if (b.size() >= 3 && b[0] == 'C' && b[1] == 'S' && b[2] == ',') {
        if (b.size() != 268)
            return Bad("clock reply of " + std::to_string(b.size()) + " bytes");
        const std::string text(reinterpret_cast<const char*>(b.data()),
                               strnlen(reinterpret_cast<const char*>(b.data()), b.size()));
        int hms = 0, date = 0, used = 0;
        if (std::sscanf(text.c_str(), "CS,%6d00,DATE:%8d\n%n", &hms, &date, &used) != 2 || used != int(text.size()))
            return Bad("clock reply text: " + text);
        d.kind = SDatagram::EKind::ClockReply;
        d.text = text.substr(0, text.size() - 1);
        return d;
    }
    if (b.empty() || b[0] != 0x02) {
        d.kind = SDatagram::EKind::Other;
        d.text.assign(b.begin(), b.end());
        return d;
    }
    if (b.size() < 16)
        return Bad("head cut short");
    d.head.type = static_cast<char>(b[1]);
    d.head.model = static_cast<std::uint16_t>(Get16(&b[2]));
    d.head.date = Get32(&b[4]);
    d.head.timeMs = Get32(&b[8]);
    d.head.counter = static_cast<std::uint16_t>(Get16(&b[12]));
    d.head.serial = static_cast<std::uint16_t>(Get16(&b[14]));
    if (ModelName(d.head.model).empty())
        return Bad("unknown model " + std::to_string(d.head.model));
    if (d.head.serial != d.head.model || d.head.counter != 1)
        return Bad("serial or counter");
    if (d.head.timeMs >= 86400000u || d.head.timeMs % 1000 != 0 || d.head.date < 19700101 || d.head.date > 99991231)
        return Bad("date or time");
    switch (d.head.type) {
    case '0':
        if (b.size() != 108)
            return Bad("announcement of " + std::to_string(b.size()) + " bytes");
        d.kind = SDatagram::EKind::Announcement;
        d.commandPort = Get32(&b[16]);
        d.surveyAddress = std::uint32_t(b[92]) << 24 | std::uint32_t(b[93]) << 16 | std::uint32_t(b[94]) << 8 | b[95];
        return d;
    case '1':
        if (b.size() != 88)
            return Bad("status of " + std::to_string(b.size()) + " bytes");
        d.kind = SDatagram::EKind::Status;
        return d;
    case 'B':
        if (b.size() != 5024)
            return Bad("query reply of " + std::to_string(b.size()) + " bytes");
        d.kind = SDatagram::EKind::QueryReply;
        d.word16 = static_cast<std::uint16_t>(Get16(&b[16]));
        d.word18 = static_cast<std::uint16_t>(Get16(&b[18]));
        d.result.assign(reinterpret_cast<const char*>(&b[20]), strnlen(reinterpret_cast<const char*>(&b[20]), 16));
        return d;
    default:
        return Bad("type " + std::to_string(b[1]));
    }
}

std::string Describe(const SDatagram& d, std::size_t size)
{
    char line[200];
    const auto head = [&d] {
        char h[80];
        std::snprintf(h, sizeof h, "%s %08u %02u:%02u:%02u", ModelName(d.head.model).c_str(), d.head.date,
                      d.head.timeMs / 3600000, d.head.timeMs / 60000 % 60, d.head.timeMs / 1000 % 60);
        return std::string(h);
    };
    switch (d.kind) {
    case SDatagram::EKind::Announcement:
        std::snprintf(line, sizeof line, "ANNOUNCE %s port %u survey %u.%u.%u.%u", head().c_str(), d.commandPort,
                      d.surveyAddress >> 24, d.surveyAddress >> 16 & 255, d.surveyAddress >> 8 & 255,
                      d.surveyAddress & 255);
        break;
    case SDatagram::EKind::Status:
        std::snprintf(line, sizeof line, "STATUS %s", head().c_str());
        break;
    case SDatagram::EKind::QueryReply:
        std::snprintf(line, sizeof line, "QUERY %s %u %u %s", head().c_str(), d.word16, d.word18, d.result.c_str());
        break;
    case SDatagram::EKind::ClockReply:
        std::snprintf(line, sizeof line, "CLOCK %s", d.text.c_str());
        break;
    case SDatagram::EKind::Other: {
        std::string text = d.text.substr(0, 40);
        for (char& c : text)
            if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126)
                c = '.';
        std::snprintf(line, sizeof line, "NET %s %zu", text.c_str(), size);
        return line;
    }
    case SDatagram::EKind::Bad:
        std::snprintf(line, sizeof line, "BAD %s %zu", d.reason.c_str(), size);
        return line;
    }
    return line;
}

std::vector<std::uint8_t> Command(const std::string& letters)
{
    std::vector<std::uint8_t> b(32, 0);
    std::memcpy(b.data(), "HBX", 3);
    std::memcpy(b.data() + 3, letters.data(), std::min<std::size_t>(letters.size(), 3));
    return b;
}

std::vector<std::uint8_t> Ports(std::uint16_t statusPort, std::uint16_t replyPort, std::size_t length)
{
    std::vector<std::uint8_t> b = Command("PU0");
    b.resize(std::max<std::size_t>(length, 24), 0);
    simbytes::Put16(b, 20, statusPort);
    simbytes::Put16(b, 22, replyPort);
    b.resize(length);
    return b;
}

std::vector<std::uint8_t> Logging(const std::string& log, const std::string& file)
{
    const std::string text = "HBXQYL,LOG=" + log + ",FIL=" + file + ",";
    std::vector<std::uint8_t> b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

}  // namespace hbxsim
