// Pinger mode's "Pinger.dta" and its settings archive: the first 16 bytes
// (or fewer) are the data file, the rest the archive. Whatever they hold,
// the set-up takes only a period and pulse length a pinger can run with,
// and the pings that follow search within the ping and pace at a finite,
// positive interval.
#include "fuzz/support/FuzzEnvironment.h"

#include "base/Archive.h"
#include "engine/PingerMode.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct CFuzzPingerHost : IPingerModeHost
{
    std::string GetSerializePath() override { return CFuzzEnvironment::Get().Folder() + "/"; }
    bool IsReplaying() override { return false; }
    // OK with the file's values and a cable and depth, as the user confirms
    // what the dialog shows.
    bool RunPingerDialog(SPingerDialogValues& v) override
    {
        v.cableLength = 120.0;
        v.depth = 400.0;
        v.synchronise = true;
        return true;
    }
    void PostToFrame(unsigned, std::intptr_t, std::intptr_t) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzPingerHost host;
    CPingerMode pinger(host);
    const std::size_t fileSize = size < 16 ? size : 16;
    {
        std::ofstream out(pinger.DataFilePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(fileSize));
    }
    try {
        CArchive ar(data + fileSize, size - fileSize);
        pinger.Serialize(ar);
    } catch (const CArchiveException&) {
        // A short archive is refused as a whole.
    }
    // The defaults (a period of 1 s, no pulse length) or what a pinger has.
    const double pulse = pinger.GetPulseLength();
    if (!CPingerMode::IsUsable(pinger.GetPeriod()) || !(pulse == 0.0 || CPingerMode::IsUsable(pulse)))
        std::abort();  // the archive let a value no pinger has through

    const bool synchronised = pinger.Synchronise();
    double seconds = 0.0;
    if (synchronised != pinger.GetPingInterval(seconds))
        std::abort();
    if (!synchronised)
        return 0;
    if (!CPingerMode::IsUsable(seconds))
        std::abort();
    std::vector<std::int16_t> ping(3000, -15000);
    for (int i = 0; i < 60; ++i) {
        for (int k = 0; k < 3000; ++k)
            ping[static_cast<std::size_t>(k)] = k >= 900 && k < 930 ? -3000 : -15000;
        const int kept = pinger.ProcessPingerSamples(ping.data(), 3000, 1e-4, 130000000000000000ull + i * 5000000ull);
        if (kept < 0 || kept > 3000 || pinger.GetPulsePosition() < 0 || pinger.GetPulsePosition() >= 3000)
            std::abort();
    }
    if (!pinger.GetPingInterval(seconds) || !CPingerMode::IsUsable(seconds))
        std::abort();
    return 0;
}
