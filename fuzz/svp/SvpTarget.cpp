// Sound velocity profiles as probes and other programs send them: the first
// byte picks the importer, the profile file reader (which tells the format
// by the content) or the one-line profile text of recordings; the rest is
// the text. Whatever was taken is sorted, handed out and written back.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/MemoryFile.h"

#include "sensors/SvpProfile.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const int choice = in.Byte() % 7;
    const std::string text(in.Rest());
    static constexpr int kImporters[] = {CSvpProfile::FormatCalc, CSvpProfile::FormatS10, CSvpProfile::FormatZelvarA,
                                         CSvpProfile::FormatSbe, CSvpProfile::FormatXbt};
    CSvpProfile profile;
    if (choice < 5) {
        profile.Import(kImporters[choice], text);
    } else if (choice == 5) {
        const CMemoryFile file(text);
        profile.ParseDatagram(file.Path(), CSvpProfile::FormatCalc);
    } else {
        profile.ParseProfileText(text, 0);
    }
    profile.Update();
    std::vector<double> depths, velocities;
    profile.GetPoints(depths, velocities);
    CSvpProfile again;
    again.ParseProfileText(profile.FormatProfile(), 0);
    const CMemoryFile written("");
    if (profile.WriteAsvp(written.Path()) > 0)
        again.ParseDatagram(written.Path(), CSvpProfile::FormatAsvp);
    return 0;
}
