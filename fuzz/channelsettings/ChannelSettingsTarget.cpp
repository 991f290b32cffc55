// A network unit's channel from what was stored of it: the channel's key
// and its "User" subkey hold values of any type and bytes, and the channel
// settings file any length and bytes. The unit makes its channel from the
// key (CreateChannels), loads the file and the "User" values as the sounder
// does before it starts, then sets up a ping (Start, with a transmit set-up
// due, as after the unit's "HC") and takes one ping, so that every stored
// number reaches what computes with it.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"
#include "fuzz/support/SilentUnitLink.h"

#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "platform/Registry.h"
#include "sim/qy42/QY42Simulator.h"
#include "transceivers/QY42.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace {

// What the channel reads from its key; the "User" subkey holds the same
// names from "TransducerDepth" on.
constexpr std::array<const char*, 20> kNames = {
    "enumTransceiverMode", "PulseLength",      "TxPower",          "TransducerDepth",    "TransducerZ",
    "TransducerX",         "TransducerY",      "TransducerRoll",   "TransducerPitch",    "TransducerAzimuth",
    "TransducerLabel",     "TrFixedDraft",     "TrVariableDraft",  "bFMpulse",           "FmPulseLength",
    "FmResolutionLength",  "DoubleSampleRate", "ResolutionLength", "CWResolutionLength", "FilterType"};
constexpr std::array<DWORD, 4> kTypes = {REG_SZ, REG_BINARY, REG_DWORD, REG_QWORD};

TransceiverChannelRecord Capability()
{
    TransceiverChannelRecord c;
    c.channelNo = 1;
    c.description = "Unit 200";
    c.frequency = 200000.0;
    c.frequencyKHz = 200;
    c.txPowerMax = 1000.0;
    for (int i = 0; i < 5; ++i) {
        c.pulseLength[i] = 0.0001 * (1 << i);
        c.sampleInterval[i] = 0.0001;
        c.gain[i] = 26.0;
    }
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment& environment = CFuzzEnvironment::Get();
    environment.ForgetMessageBoxes();
    environment.FreshHivesInMemory();
    CFuzzInput in(data, size);
    const TransceiverChannelRecord capability = Capability();
    const std::string folder = environment.Folder() + "/";
    const std::string file = CTransceiver::SettingsFileName(folder, capability.description);
    const std::uint8_t model = in.Byte();
    if (model & 1) {
        const std::string_view bytes = in.Sized();
        std::ofstream(file, std::ios::binary | std::ios::trunc)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    } else {
        std::remove(file.c_str());
    }

    CRegistrySupport reg;
    reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\");
    HKEY transceiverKey = reg.OpenKey(CRegistrySupport::UserRootKey(), "Transceiver", TRUE);
    HKEY channelKey = reg.OpenKey(transceiverKey, capability.description, TRUE);
    HKEY userKey = reg.OpenKey(channelKey, "User", TRUE);
    while (!in.Empty()) {
        // A value: its name, then its type and key (the top bit: "User"),
        // then its bytes.
        const char* name = kNames[in.Byte() % kNames.size()];
        const std::uint8_t how = in.Byte();
        const std::string_view value = in.Sized();
        RegSetValueEx((how & 0x80) ? userKey : channelKey, name, 0, kTypes[how % kTypes.size()],
                      reinterpret_cast<const BYTE*>(value.data()), static_cast<DWORD>(value.size()));
    }
    reg.CloseKey(userKey);
    reg.CloseKey(channelKey);

    InstalledTransceiverInfo info;
    info.type = TransceiverType::QY42;
    info.unitAddress = 0x7F000001u;
    info.channelCount = 1;
    info.transceiverId = "QY42";
    UnitTimings timings;
    timings.unitWaitMs = 0;
    timings.ringRetryMs = 0;
    timings.stepDelayMs = 1000;  // the data thread's tries of a link that never answers
    timings.timeoutLogPath.clear();
    timings.ringSamples = 16384;
    CTestTransceiverServices services;
    services.model = (model & 2) ? SounderModel::QYNVU : SounderModel::QY310;
    auto link = std::make_unique<CSilentUnitLink>();
    CSilentUnitLink& road = *link;
    {
        CQY42 unit(info, capability, transceiverKey, services, timings, std::move(link));
        road.WaitForReceiveThread();
        unit.SetRegistryKey(transceiverKey);
        unit.SetSettingsFolder(folder);
        unit.LoadChannelSettings();
        const auto setUp = CQY42Simulator::MakeInfo(4, 1, "HC");
        unit.TakeReceived(static_cast<int>(setUp.size()), setUp.data());
        std::int64_t duration = 0;
        unit.Start(duration);
        unit.ProcessPing(CFileTime::Now());
    }
    reg.CloseKey(transceiverKey);
    reg.CloseRootKeys();
    return 0;
}
