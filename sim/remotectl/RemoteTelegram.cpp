#include "sim/remotectl/RemoteTelegram.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace remotectl {

std::optional<std::string> Telegram(const std::string& command)
{
    static const std::array<std::pair<const char*, const char*>, 6> kWords{{
        {"startpinging", "STARTPINGING"},
        {"stoppinging", "STOPPINGING"},
        {"startlogging", "STARTLOGGING"},
        {"stoplogging", "STOPLOGGING"},
        {"starthist", "STARTHIST"},
        {"stophist", "STOPHIST"},
    }};
    for (const auto& [name, word] : kWords)
        if (command == name)
            return std::string("PE,SYSTEM ") + word;
    if (command.rfind("interval=", 0) == 0)
        return "PE,SYSTEM STARTPINGINT," + command.substr(9) + "CRLF";
    return std::nullopt;
}

std::string Unescape(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else if (c == '0')
            out += '\0';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
            i += 2;
        } else
            out += c;
    }
    return out;
}

}  // namespace remotectl
