// Fenvoil's command lines: the input's NUL-separated words are the
// arguments after the program's name.
#include "tools/console/FenvoilCommandLine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> words{"Fenvoil"};
    std::string word;
    for (std::size_t i = 0; i < size && words.size() < 8; ++i) {
        if (data[i] == 0) {
            words.push_back(word);
            word.clear();
        } else {
            word += static_cast<char>(data[i]);
        }
    }
    if (words.size() < 8)
        words.push_back(word);
    std::vector<const char*> argv;
    for (const auto& w : words)
        argv.push_back(w.c_str());
    const auto line = CFenvoilCommandLine::Parse(static_cast<int>(argv.size()), argv.data());
    const bool values = line.io || line.dma || line.irq;
    // Values come only with an install, and an install has at least one.
    if (values != (line.action == CFenvoilCommandLine::Action::Install))
        __builtin_trap();
    return 0;
}
