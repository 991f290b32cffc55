#include "tools/console/FenvoilCommandLine.h"

#include <cstdint>
#include <cstring>
#include <string_view>

namespace {

// The whole text as a number of the base: digits only (hexadecimal may
// start with "0x"), at most 32 bits.
bool ParseNumber(std::string_view text, int base, DWORD& value)
{
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    if (text.empty())
        return false;
    std::uint64_t v = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        if (digit >= base)
            return false;
        v = v * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (v > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<DWORD>(v);
    return true;
}

}  // namespace

CFenvoilCommandLine CFenvoilCommandLine::Parse(int argc, const char* const* argv)
{
    CFenvoilCommandLine line;
    if (argc < 2 || argc > 4)
        return line;
    if (argc == 2) {
        const std::string_view only = argv[1];
        for (const char* help : {"help", "?", "/h", "-h", "/?", "-?"}) {
            if (only == help) {
                line.action = Action::Help;
                return line;
            }
        }
        if (only == "default" || only == "remove") {
            line.action = only == "default" ? Action::Default : Action::Remove;
            return line;
        }
    }
    struct Parameter
    {
        const char* prefix;
        int base;
        std::optional<DWORD>* value;
    };
    const Parameter parameters[] = {{"io=", 16, &line.io}, {"dma=", 10, &line.dma}, {"irq=", 10, &line.irq}};
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        bool taken = false;
        for (const Parameter& p : parameters) {
            const std::size_t n = std::strlen(p.prefix);
            if (word.substr(0, n) != p.prefix)
                continue;
            DWORD value = 0;
            if (p.value->has_value() || !ParseNumber(word.substr(n), p.base, value))
                return CFenvoilCommandLine{};
            *p.value = value;
            taken = true;
        }
        if (!taken)
            return CFenvoilCommandLine{};
    }
    line.action = Action::Install;
    return line;
}
