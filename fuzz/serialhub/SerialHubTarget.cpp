// Lines of the serial I/O hub's line into its parser, separated by line
// feeds, with a profile timer tick at every NUL byte; the first byte
// chooses the input switches. A profile that is taken is stored as an
// .asvp file and read back, as the environment reads it; a bad line is
// dropped and what follows parsed afresh.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/MemoryFile.h"

#include "outputs/QYSerial.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const CLiveSensorHost host;
    const CNoDepthTelegramSources sources;
    CQYSerial hub(host, sources, [](const CSvpProfile& profile) {
        const CMemoryFile file("");
        CSvpProfile stored;
        return profile.WriteAsvp(file.Path()) > 0 && stored.ParseDatagram(file.Path(), CSvpProfile::FormatAsvp) > 0;
    });
    const std::uint8_t switches = in.Byte();
    CQYSerial::Settings s;
    s.SVPInput = switches & 1;
    s.AnnotationInput = (switches >> 1) & 1;
    s.RemoteIn = (switches >> 2) & 1;
    hub.StoreSettings(s);
    while (!in.Empty()) {
        const std::string_view block = in.Until('\0');
        std::size_t start = 0;
        while (start <= block.size()) {
            const std::size_t end = block.find('\n', start);
            const std::string_view line = block.substr(start, end == std::string_view::npos ? block.npos : end - start);
            if (!line.empty())
                hub.ParseSvpLine(std::string(line));
            if (end == std::string_view::npos)
                break;
            start = end + 1;
        }
        hub.StoreSvpProfile();
    }
    // Two ticks without lines finish what is still gathered.
    hub.StoreSvpProfile();
    hub.StoreSvpProfile();
    return 0;
}
