#include "sim/sensors/DepthTelegramDecoder.h"

#include <cstdlib>
#include <vector>

namespace zv::sim {

namespace {

std::vector<std::string> Split(const std::string& text)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        fields.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return fields;
        start = comma + 1;
    }
}

bool Real(std::string text, double& value)
{
    while (!text.empty() && text.front() == ' ')
        text.erase(0, 1);
    if (text.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0';
}

// Strips and checks a trailing "*hh" (the XOR of everything after the first
// character); false when it is there and wrong.
bool TakeChecksum(std::string& text)
{
    const std::size_t star = text.rfind('*');
    if (star == std::string::npos || star + 3 != text.size())
        return true;
    unsigned sum = 0;
    for (std::size_t i = 1; i < star; ++i)
        sum ^= static_cast<unsigned char>(text[i]);
    const unsigned given = static_cast<unsigned>(std::strtoul(text.substr(star + 1).c_str(), nullptr, 16));
    text.resize(star);
    return sum == given;
}

}  // namespace

std::optional<SDepthTelegram> DecodeDepthTelegram(const std::string& line)
{
    std::string text = line;
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    if (text.empty() || !TakeChecksum(text))
        return std::nullopt;
    SDepthTelegram t;
    const std::vector<std::string> f = Split(text);
    if (f[0] == "$SDDBS" || f[0] == "$SDDBT") {
        // $SDDBS,feet,f,metres,M,fathoms,F
        if (f.size() != 7 || f[4] != "M" || !Real(f[3], t.depth))
            return std::nullopt;
        t.type = f[0] == "$SDDBS" ? 0 : 2;
        return t;
    }
    if (f[0] == "$SDDPT") {
        // $SDDPT,below the transducer,transducer offset
        if (f.size() != 3 || !Real(f[1], t.depth) || !Real(f[2], t.offset))
            return std::nullopt;
        t.type = 1;
        return t;
    }
    if (f[0] == "$PSDF") {
        // $PSDF,sound velocity,transducer cm,first depth cm,second depth cm,1,age ms
        double first = 0, second = 0;
        if (f.size() != 7 || !Real(f[3], first) || !Real(f[4], second))
            return std::nullopt;
        t.type = 7;
        t.depth = (first != 0.0 ? first : second) / 100.0;
        return t;
    }
    if (text.size() == 12 && (text.compare(0, 2, "DA") == 0 || text.compare(0, 2, "DB") == 0) &&
        text.compare(10, 2, " m") == 0 && Real(text.substr(2, 8), t.depth)) {
        // DB00012.34 m, DA00012.34 m: by themselves types 5 and 6, and of
        // type 4 by the channel (DB the first, DA the second).
        t.type = text[1] == 'A' ? 5 : 6;
        return t;
    }
    if (text[0] == 'D' && f.size() == 6) {
        // D1,12345678, 12.34, +0,  1,  0
        double channel = 0;
        if (!Real(f[0].substr(1), channel) || f[1].size() != 8 || !Real(f[2], t.depth))
            return std::nullopt;
        t.type = 3;
        t.channel = static_cast<int>(channel) - 1;
        return t;
    }
    return std::nullopt;
}

}  // namespace zv::sim
