// Any bytes as lines the lobe link receives: taken into the monitor and
// handled as commands, against links that answer for two channels. A reply
// is empty or one line ended as the peer expects, and the monitor keeps to
// its limit.
#include "outputs/Lobe.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

CLobe::Links Links()
{
    CLobe::Links links;
    links.fileVersion = [] { return std::string("1.0.0.0"); };
    links.channelItems = [](int channel) -> std::optional<CLobe::SChannelItems> {
        if (channel < 0 || channel > 1)
            return std::nullopt;
        return CLobe::SChannelItems{0.001, 1000.0, 25.0, 21.0, 21.0, 7.0, 7.0, 0.0, 0.0};
    };
    return links;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static CLobe lobe(Links());
    lobe.SetMonitorVisible(true);
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        const auto end = input.find('\r', start);
        const std::string line = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        lobe.TakeLine(line, 134'100'194'452'500'000ULL);
        if (lobe.GetMonitorText().size() > CLobe::kMonitorLimit)
            std::abort();
        const std::string reply = lobe.Reply(line, 134'100'194'452'500'000ULL);
        if (!reply.empty() && (reply.size() < 3 || reply.compare(reply.size() - 3, 3, "\r\r\n") != 0))
            std::abort();
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return 0;
}
