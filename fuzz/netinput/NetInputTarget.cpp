// Datagrams to the network input port, separated by NUL bytes: sound
// velocity profiles whole or in parts, and telegrams for the decoder with
// the network's source codes; the first bytes choose the decoder's
// settings. A profile that is taken is stored as an .asvp file and read
// back, as the environment reads it.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/FuzzNmeaHost.h"
#include "fuzz/support/MemoryFile.h"

#include "outputs/QYNetPort.h"
#include "platform/FileTime.h"
#include "sensors/NmeaDecoder.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    CFuzzNmeaHost host(in);
    CNmeaDecoder decoder(&host);
    CQYNetPort port;
    CQYNetPort::Links links;
    links.parseNmea = [&decoder](const std::string& text, std::uint64_t received) {
        decoder.ParseNmeaTelegram(text, received, kNmeaFromNetwork);
    };
    links.storeProfile = [](const CSvpProfile& profile) {
        const CMemoryFile file("");
        CSvpProfile stored;
        return profile.WriteAsvp(file.Path()) > 0 && stored.ParseDatagram(file.Path(), CSvpProfile::FormatAsvp) > 0;
    };
    port.SetLinks(links);
    const std::uint64_t start = CFileTime::Now();
    std::uint64_t received = start;
    for (; !in.Empty(); received += 1'000'000)
        port.OnDatagram(std::string(in.Until('\0')), received);
    host.QueryHistory(start, received);
    return 0;
}
