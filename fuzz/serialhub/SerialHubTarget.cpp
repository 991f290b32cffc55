// Lines of the serial I/O hub's line, each as the message the component
// delivers (its text up to a NUL, as the hub reads it), separated by line
// feeds, with a profile timer tick at every EOT byte (0x04); the first byte
// chooses the input switches. A profile that is taken is stored as an .asvp
// file and read back, as the environment reads it; a bad line is dropped
// and what follows parsed afresh.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "outputs/QYSerial.h"
#include "serialcom/ISerialCom.h"
#include "seriallib/TarnMessage.h"

#include <cstdint>
#include <string>

namespace {

constexpr char kTick = '\x04';

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const CLiveSensorHost host;
    const CNoDepthTelegramSources sources;
    // A real file in the private folder: the store writes a new file and
    // renames it over the old, which a memory file cannot take.
    static const std::string asvp = CFuzzEnvironment::Get().Folder() + "/received.asvp";
    CQYSerial hub(host, sources, [](const CSvpProfile& profile) {
        CSvpProfile stored;
        return profile.WriteAsvp(asvp) > 0 && stored.ParseDatagram(asvp, CSvpProfile::FormatAsvp) > 0;
    });
    const std::uint8_t switches = in.Byte();
    CQYSerial::Settings s;
    s.SVPInput = switches & 1;
    s.AnnotationInput = (switches >> 1) & 1;
    s.RemoteIn = (switches >> 2) & 1;
    hub.StoreSettings(s);
    while (!in.Empty()) {
        const std::string_view block = in.Until(kTick);
        std::size_t start = 0;
        while (start <= block.size()) {
            const std::size_t end = block.find('\n', start);
            const std::string_view line = block.substr(start, end == std::string_view::npos ? block.npos : end - start);
            if (!line.empty()) {
                CTarnMessage message{std::string(line), 16};
                hub.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
            }
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
