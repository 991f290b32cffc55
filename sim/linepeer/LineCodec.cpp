#include "sim/linepeer/LineCodec.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace linepeer {

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A printf number of at least that width with exactly that many decimals:
// blanks only to fill the width, then an optional minus, digits, and the
// decimals after a point (none and no point for 0).
std::optional<double> Number(std::string_view text, std::size_t width, int decimals)
{
    if (text.size() < width)
        return std::nullopt;
    std::size_t at = 0;
    while (at < text.size() && text[at] == ' ')
        ++at;
    // Blanks pad a short number; a number that fills its width has none.
    if (at > 0 && text.size() > width)
        return std::nullopt;
    std::string_view body = text.substr(at);
    std::size_t i = 0;
    if (i < body.size() && body[i] == '-')
        ++i;
    const std::size_t intStart = i;
    while (i < body.size() && IsDigit(body[i]))
        ++i;
    if (i == intStart)
        return std::nullopt;
    if (decimals > 0) {
        if (i >= body.size() || body[i] != '.')
            return std::nullopt;
        ++i;
        for (int d = 0; d < decimals; ++d, ++i)
            if (i >= body.size() || !IsDigit(body[i]))
                return std::nullopt;
    }
    if (i != body.size())
        return std::nullopt;
    return std::strtod(std::string(body).c_str(), nullptr);
}

int DecimalsOf(std::string_view text)
{
    const auto point = text.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

int DecimalsForDepth(double depth)
{
    return depth < 1000.0 ? 2 : depth < 10000.0 ? 1 : 0;
}

bool IsTime(std::string_view t)
{
    if (t.size() != 8)
        return false;
    for (char c : t)
        if (!IsDigit(c))
            return false;
    const auto two = [&](std::size_t at) { return (t[at] - '0') * 10 + (t[at + 1] - '0'); };
    return two(0) < 24 && two(2) < 60 && two(4) < 60;
}

SDisplayLine BadLine(std::string reason)
{
    SDisplayLine l;
    l.reason = std::move(reason);
    return l;
}

SLobeMessage BadMessage(std::string reason)
{
    SLobeMessage m;
    m.reason = std::move(reason);
    return m;
}

struct SItem
{
    const char* name;
    int decimals;  // -1: the text "Unknown"
    const char* unit;
};

constexpr SItem kItems[] = {
    {"Pulse Length", 3, "ms"},     {"Bandwidth", -1, ""},         {"Max. Power", 0, "W"},
    {"TS Transd. Gain", 2, "dB"},  {"Angle Sens.Along", 2, ""},   {"Angle Sens.Athw.", 2, ""},
    {"3 dB Beamw.Along", 2, "dg"}, {"3 dB Beamw.Athw.", 2, "dg"}, {"Alongship Offset", 2, "dg"},
    {"Athw.ship Offset", 2, "dg"},
};

SLobeMessage Reply(std::string_view body)
{
    // body: "<path>=<value>"
    const auto eq = body.find('=');
    if (eq == std::string_view::npos)
        return BadMessage("reply without =");
    SLobeMessage m;
    m.kind = SLobeMessage::EKind::Reply;
    m.path = std::string(body.substr(0, eq));
    m.value = std::string(body.substr(eq + 1));
    if (m.path == "/TEST MENU/Version") {
        // "TQ250 " and four numbers between three points.
        bool ok = m.value.rfind("TQ250 ", 0) == 0;
        int parts = 0;
        for (std::size_t i = 6, start = 6; ok && i <= m.value.size(); ++i) {
            if (i < m.value.size() && IsDigit(m.value[i]))
                continue;
            ok = i > start && (i == m.value.size() || m.value[i] == '.');
            ++parts;
            start = i + 1;
        }
        if (!ok || parts != 4)
            return BadMessage("version not TQ250 a.b.c.d: " + m.value);
        m.item = "Version";
        return m;
    }
    constexpr std::string_view head = "/TRANSCEIVER MENU/Transceiver-";
    constexpr std::string_view menu = " Menu/";
    if (m.path.rfind(head, 0) != 0)
        return BadMessage("unknown reply path: " + m.path);
    std::string_view rest = std::string_view(m.path).substr(head.size());
    std::size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits]))
        ++digits;
    if (digits == 0 || rest.substr(digits, menu.size()) != menu)
        return BadMessage("no channel in " + m.path);
    m.channel = std::atoi(std::string(rest.substr(0, digits)).c_str());
    m.item = std::string(rest.substr(digits + menu.size()));
    for (const SItem& item : kItems) {
        if (m.item != item.name)
            continue;
        if (item.decimals < 0) {
            if (m.value != "Unknown")
                return BadMessage("bandwidth not Unknown: " + m.value);
            m.unit = "Unknown";
            return m;
        }
        std::string_view number = m.value;
        const std::string unit = *item.unit ? std::string(" ") + item.unit : std::string();
        if (!unit.empty()) {
            if (number.size() < unit.size() || number.substr(number.size() - unit.size()) != unit)
                return BadMessage(m.item + " without its unit: " + m.value);
            number.remove_suffix(unit.size());
        }
        const auto value = Number(number, 1, item.decimals);
        if (!value || number.front() == ' ')
            return BadMessage(m.item + " not a number of " + std::to_string(item.decimals) + " decimals: " + m.value);
        m.number = *value;
        m.unit = item.unit;
        return m;
    }
    return BadMessage("unknown item: " + m.item);
}

SLobeMessage Telegram(std::string_view text)
{
    // "E<n>,<time>,%2d,\r\n" then the targets, "\r\n" between them.
    std::vector<std::string_view> lines;
    for (std::size_t at = 0;;) {
        const auto end = text.find("\r\n", at);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(at));
            break;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    const std::string_view head = lines[0];
    const auto comma = head.find(',');
    if (comma == std::string_view::npos || comma < 2)
        return BadMessage("telegram head without channel");
    SLobeMessage m;
    m.kind = SLobeMessage::EKind::Telegram;
    const auto channel = Number(head.substr(1, comma - 1), 1, 0);
    // No sounder has a thousand channels; a number beyond that is no channel.
    if (!channel || *channel < 1 || *channel > 1000 || head[1] == '-')
        return BadMessage("telegram channel: " + std::string(head));
    m.channel = static_cast<int>(*channel);
    if (head.size() < comma + 1 + 8 + 1 + 2 + 1 || head[comma + 9] != ',' || head.back() != ',')
        return BadMessage("telegram head: " + std::string(head));
    m.time = std::string(head.substr(comma + 1, 8));
    if (!IsTime(m.time))
        return BadMessage("telegram time: " + m.time);
    const std::string_view countText = head.substr(comma + 10, head.size() - comma - 11);
    const auto count = Number(countText, 2, 0);
    if (!count || *count < 1 || countText.find('-') != std::string_view::npos)
        return BadMessage("telegram count: " + std::string(countText));
    if (*count != static_cast<double>(lines.size() - 1))
        return BadMessage("telegram of " + std::string(countText) + " targets has " + std::to_string(lines.size() - 1) +
                          " lines");
    constexpr std::size_t kWidths[5] = {7, 5, 5, 6, 6};
    constexpr int kDecimals[5] = {2, 1, 1, 2, 2};
    for (std::size_t l = 1; l < lines.size(); ++l) {
        std::string_view line = lines[l];
        std::array<double, 5> target{};
        for (int f = 0; f < 5; ++f) {
            const auto end = line.find(',');
            if (end == std::string_view::npos)
                return BadMessage("target line " + std::to_string(l) + " short");
            const auto v = Number(line.substr(0, end), kWidths[f], kDecimals[f]);
            if (!v)
                return BadMessage("target line " + std::to_string(l) + " field " + std::to_string(f + 1) + ": " +
                                  std::string(line.substr(0, end)));
            target[static_cast<std::size_t>(f)] = *v;
            line.remove_prefix(end + 1);
        }
        if (!line.empty())
            return BadMessage("target line " + std::to_string(l) + " too long");
        m.targets.push_back(target);
    }
    return m;
}

}  // namespace

SDisplayLine DecodeDisplayLine(std::string_view line)
{
    if (line.size() < 2 || line.substr(line.size() - 2) != "\r\n")
        return BadLine("no CR LF at the end");
    line.remove_suffix(2);
    if (line.find_first_of("\r\n") != std::string_view::npos)
        return BadLine("CR or LF inside");
    if (!line.empty() && line.front() == '$') {
        constexpr std::string_view head = "$SDDPT,";
        if (line.rfind(head, 0) != 0)
            return BadLine("not a depth telegram");
        const auto star = line.rfind('*');
        if (star == std::string_view::npos || star + 3 != line.size())
            return BadLine("no checksum");
        unsigned char sum = 0;
        for (std::size_t i = 1; i < star; ++i)
            sum = static_cast<unsigned char>(sum ^ static_cast<unsigned char>(line[i]));
        char expected[3];
        std::snprintf(expected, sizeof expected, "%02X", sum);
        if (line.substr(star + 1) != expected)
            return BadLine("checksum " + std::string(line.substr(star + 1)) + ", not " + expected);
        const std::string_view fields = line.substr(head.size(), star - head.size());
        const auto comma = fields.find(',');
        if (comma == std::string_view::npos)
            return BadLine("one field");
        const std::string_view below = fields.substr(0, comma), offsetText = fields.substr(comma + 1);
        const auto offset = Number(offsetText, 3, 2);
        if (!offset)
            return BadLine("transducer depth: " + std::string(offsetText));
        const int decimals = DecimalsOf(below);
        const std::size_t width = decimals == 2 ? 3 : 5;
        const auto t = Number(below, width, decimals);
        if (!t || decimals > 2)
            return BadLine("depth below the transducer: " + std::string(below));
        // The decimals follow the depth, which the rounding of both fields
        // leaves uncertain by a hundredth at most.
        const double depth = *t + *offset;
        if (DecimalsForDepth(depth - 0.011) != decimals && DecimalsForDepth(depth + 0.011) != decimals)
            return BadLine("decimals of " + std::string(below) + " do not follow the depth");
        SDisplayLine l;
        l.kind = SDisplayLine::EKind::Telegram;
        l.belowTransducer = *t;
        l.offset = *offset;
        l.depth = depth;
        return l;
    }
    const auto value = Number(line, 6, 1);
    if (!value)
        return BadLine("not a %6.1f number");
    SDisplayLine l;
    l.kind = SDisplayLine::EKind::Number;
    l.depth = *value;
    return l;
}

SLobeMessage DecodeLobeMessage(std::string_view message)
{
    constexpr std::string_view end = "\r\r\n";
    if (message.size() < end.size() || message.substr(message.size() - end.size()) != end)
        return BadMessage("no CR CR LF at the end");
    message.remove_suffix(end.size());
    if (message.find("\r\r\n") != std::string_view::npos)
        return BadMessage("two messages");
    if (message.rfind("PR,", 0) == 0 || message.rfind("PE,", 0) == 0) {
        if (message.find_first_of("\r\n") != std::string_view::npos)
            return BadMessage("CR or LF inside");
        if (message.size() < 11 || !IsTime(message.substr(3, 8)))
            return BadMessage("time field: " + std::string(message.substr(3, 8)));
        const std::string time(message.substr(3, 8));
        SLobeMessage m;
        if (message[1] == 'R') {
            if (message.size() < 12 || message[11] != ',')
                return BadMessage("no comma after the time");
            m = Reply(message.substr(12));
        } else {
            m.kind = SLobeMessage::EKind::Echo;
            m.command = std::string(message.substr(11));
            if (m.command.rfind("/SER", 0) != 0 || m.command.find("/Telegram") == std::string::npos ||
                m.command.find('=') == std::string::npos)
                return BadMessage("echo of no telegram command: " + m.command);
        }
        if (m.kind != SLobeMessage::EKind::Bad)
            m.time = time;
        return m;
    }
    if (message.size() >= 2 && message[0] == 'E' && IsDigit(message[1]))
        return Telegram(message);
    return BadMessage("unknown message");
}

std::vector<SLobeMessage> CLobeDecoder::Feed(std::string_view bytes)
{
    m_pending.append(bytes);
    std::vector<SLobeMessage> messages;
    for (auto at = m_pending.find("\r\r\n"); at != std::string::npos; at = m_pending.find("\r\r\n")) {
        messages.push_back(DecodeLobeMessage(std::string_view(m_pending).substr(0, at + 3)));
        m_pending.erase(0, at + 3);
    }
    return messages;
}

std::string Describe(const SDisplayLine& line)
{
    char text[160];
    switch (line.kind) {
    case SDisplayLine::EKind::Number:
        std::snprintf(text, sizeof text, "DEPTH %.2f NUMBER", line.depth);
        return text;
    case SDisplayLine::EKind::Telegram:
        std::snprintf(text, sizeof text, "DEPTH %.2f DPT %.2f %.2f", line.depth, line.belowTransducer, line.offset);
        return text;
    case SDisplayLine::EKind::Bad:
        break;
    }
    return "BAD " + line.reason;
}

std::string Describe(const SLobeMessage& message)
{
    switch (message.kind) {
    case SLobeMessage::EKind::Reply:
        return "REPLY " + message.time + " " + message.path + "=" + message.value;
    case SLobeMessage::EKind::Echo:
        return "ECHO " + message.time + " " + message.command;
    case SLobeMessage::EKind::Telegram: {
        std::string text = "TELEGRAM " + std::to_string(message.channel) + " " + message.time + " " +
                           std::to_string(message.targets.size());
        for (const auto& t : message.targets) {
            char target[120];
            std::snprintf(target, sizeof target, " %.2f,%.1f,%.1f,%.2f,%.2f", t[0], t[1], t[2], t[3], t[4]);
            text += target;
        }
        return text;
    }
    case SLobeMessage::EKind::Bad:
        break;
    }
    return "BAD " + message.reason;
}

}  // namespace linepeer
