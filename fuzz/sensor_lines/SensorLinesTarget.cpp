// Lines of the serial sensors' lines, each as the time-stamped message the
// component delivers, into the navigation, heading, NMEA depth and trawl
// parsers in turn: the first byte chooses whether their monitors show the
// line (the trawl's in hex), whether the inputs are on and whether the
// program replays. What the trawl kept is then asked for, and the monitors
// cut as their dialogs' refresh does.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "platform/FileTime.h"
#include "sensors/GyroCompass.h"
#include "sensors/Navigation.h"
#include "sensors/NmeaDepth.h"
#include "sensors/Trawl.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <cstdint>
#include <string>

namespace {

class CFuzzSensorHost final : public ISensorHost
{
public:
    bool IsReplaying() const override { return replaying; }
    bool replaying = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    CFuzzSensorHost host;
    host.replaying = (flags & 0x10) != 0;
    CNoDepthTelegramSources sources;
    CNavigation navigation(host, sources);
    CGyroCompass heading(host);
    CNmeaDepth depth(host);
    CTrawl trawl((flags & 0x20) ? SounderModel::QY310 : SounderModel::TQ30, sources);
    for (CSerialSensor* sensor : {static_cast<CSerialSensor*>(&navigation), static_cast<CSerialSensor*>(&heading),
                                  static_cast<CSerialSensor*>(&depth), static_cast<CSerialSensor*>(&trawl)})
        sensor->Monitor().SetVisible((flags & 0x01) != 0);
    trawl.SetHexMonitor((flags & 0x02) != 0);
    heading.SetEnabled((flags & 0x04) != 0);
    depth.SetEnabled((flags & 0x08) != 0);

    CSerialDeviceLink* const parsers[] = {&navigation, &heading, &depth, &trawl};
    std::uint64_t received = CFileTime::Now();
    for (int line = 0; !in.Empty(); ++line, received += 1'000'000) {
        const std::string_view bytes = in.Until('\n');
        CTarnMessage message(std::string(bytes), 16);
        // Every fifth message without a stamp: it counts as arrived now.
        message.SetTime(line % 5 == 4 ? 0 : received);
        for (CSerialDeviceLink* parser : parsers)
            parser->OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
    }
    TrawlRecord record;
    trawl.GetTrawlDataAt(record, received);
    for (CSerialSensor* sensor : {static_cast<CSerialSensor*>(&navigation), static_cast<CSerialSensor*>(&heading),
                                  static_cast<CSerialSensor*>(&depth), static_cast<CSerialSensor*>(&trawl)})
        sensor->Monitor().Refresh();
    return 0;
}
