#include "app/DdeCommand.h"

namespace app {

namespace {
constexpr std::string_view kOpenPrefix = "[open(\"";
}

std::optional<std::string> ParseDdeOpenCommand(std::string_view command)
{
    if (command.substr(0, kOpenPrefix.size()) != kOpenPrefix)
        return std::nullopt;
    const std::string_view rest = command.substr(kOpenPrefix.size());
    const auto quote = rest.find('"');
    if (quote == std::string_view::npos)
        return std::nullopt;
    return std::string(rest.substr(0, quote));
}

std::string MakeDdeOpenCommand(std::string_view file)
{
    std::string out(kOpenPrefix);
    out += file;
    out += "\")]";
    return out;
}

}  // namespace app
