// Any bytes as the remote display's and the lobe's far ends read them: each
// line as a display line, and the whole stream into the lobe decoder, once
// at a time and once in halves, which must cut it into the same messages.
#include "sim/linepeer/LineCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    for (std::size_t start = 0; start < input.size();) {
        const auto end = input.find('\n', start);
        const std::string_view line = input.substr(start, end == std::string_view::npos ? end : end - start + 1);
        const linepeer::SDisplayLine read = linepeer::DecodeDisplayLine(line);
        if (linepeer::Describe(read).empty())
            std::abort();
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    linepeer::CLobeDecoder whole, halves;
    const auto all = whole.Feed(input);
    auto first = halves.Feed(input.substr(0, size / 2));
    const auto second = halves.Feed(input.substr(size / 2));
    first.insert(first.end(), second.begin(), second.end());
    if (all.size() != first.size() || whole.Pending() != halves.Pending())
        std::abort();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (linepeer::Describe(all[i]) != linepeer::Describe(first[i]))
            std::abort();
    return 0;
}
