// A recorded raw file played by the replay transceiver, as operation
// control plays one: each ping's samples go to the channels built from the
// file's configuration and are processed there; recorded sentences go to
// the telegram decoder and recorded profiles to a profile, as the program
// wires them.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/FuzzNmeaHost.h"
#include "fuzz/support/MemoryFile.h"

#include "base/ReplayFileList.h"
#include "recording/Replay.h"
#include "sensors/NmeaDecoder.h"
#include "sensors/SvpProfile.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace {

class CReplayHostForFuzzing : public zv::recording::IReplayHost
{
public:
    explicit CReplayHostForFuzzing(CNmeaDecoder& decoder) : m_decoder(decoder) {}
    void PingReady(zv::recording::FileTime pingTime) override { pings.push_back(pingTime); }
    void ParseNmea(const std::string& text, zv::recording::FileTime time) override
    {
        m_decoder.ParseNmeaTelegram(text, time, kNmeaFromReplay);
    }
    void ApplyReplayProfile(const std::string& text, zv::recording::FileTime time, const std::string&) override
    {
        CSvpProfile profile;
        profile.ParseProfileText(text, time);
        profile.Update();
    }
    std::vector<zv::recording::FileTime> pings;

private:
    CNmeaDecoder& m_decoder;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    environment.ForgetMessageBoxes();
    environment.FreshHivesInMemory();
    // The decoder's settings are the navigation object's defaults: a
    // recorded file carries no settings of its own.
    CFuzzInput none(nullptr, 0);
    CFuzzNmeaHost nmea(none);
    CNmeaDecoder decoder(&nmea);
    CReplayHostForFuzzing host(decoder);

    const CMemoryFile file(std::string_view(reinterpret_cast<const char*>(data), size));
    CReplayFileList list;
    list.AddTail(file.Path());
    list.m_loop = 0;
    zv::recording::CReplay replay(list, &host);
    for (int round = 0; round < 512 && replay.IsOpen() && !replay.IsStopped(); ++round) {
        const std::size_t before = host.pings.size();
        replay.Trigger(0);
        if (host.pings.size() > before)
            replay.ProcessPing(host.pings.back());
    }
    return 0;
}
