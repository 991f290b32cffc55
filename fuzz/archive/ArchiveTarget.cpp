// A channel frame's settings file (its layout and its documents' settings),
// loaded as the frames load theirs, with a channel that has the system's
// bottom detector, slope tracker and colour scale. A file that loads is
// saved again and must load once more; one that does not load leaves every
// document as it was.
#include "fuzz/support/ChannelLayoutFile.h"
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/MemoryFile.h"

#include "base/Archive.h"
#include "engine/Channel.h"

#include <vector>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    environment.ForgetMessageBoxes();
    CChannel::Construction construction;
    construction.ChannelName = "T38 38 kHz";
    construction.SourceName = "T38 38 kHz";
    construction.StandardParts = true;
    CChannel channel(construction);

    // The settings folder is where the file is looked for: the memory
    // file's folder for the load, the private one afterwards.
    const CMemoryFile input(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string& path = input.Path();
    const std::size_t slash = path.rfind('/') + 1;
    CSettingsFolder folder(path.substr(0, slash));
    CChannelLayoutFile layout(folder, &channel);
    const auto state = [&layout] {
        std::vector<BYTE> bytes;
        CArchive ar(bytes, CArchive::store);
        layout.Serialize(ar);
        for (CEchoTraceDoc& trace : layout.m_traces)
            trace.Serialize(ar);
        ar.Close();
        return bytes;
    };
    const std::vector<BYTE> before = state();
    const BOOL loaded = layout.LoadSettings(path.substr(slash));
    folder.Set(environment.SettingsFolder().Get());
    if (!loaded) {
        if (state() != before)
            std::abort();  // a file that failed changed something
        return 0;
    }
    if (!layout.SaveSettings("layout.ser") || !layout.LoadSettings("layout.ser"))
        std::abort();  // what was taken from a file is written and read again
    return 0;
}
