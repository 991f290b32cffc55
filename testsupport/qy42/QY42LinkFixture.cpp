#include "testsupport/qy42/QY42LinkFixture.h"

#include "transceivers/TransceiverInstallation.h"

#include <string>

namespace zv::test {

InstalledTransceiverInfo QY42Info(std::uint32_t address)
{
    InstalledTransceiverInfo info;
    info.type = TransceiverType::QY42;
    info.unitAddress = address;
    info.channelCount = 1;
    info.transceiverId = "QY42";
    return info;
}

TransceiverChannelRecord QY42Capability()
{
    TransceiverChannelRecord c;
    c.channelNo = 1;
    c.description = "QY42 200";
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

UnitTimings QY42FastTimings()
{
    UnitTimings o;
    o.receiveWaitMs = 50;
    o.stepDelayMs = 2;
    o.setupDelayMs = 20;
    o.transmitDelayMs = 2;
    o.unitWaitMs = 5000;
    o.timeoutLogPath.clear();
    return o;
}

CTrList QY42ChannelEntry(std::uint32_t address)
{
    CTrList e;
    e.transceiverId = "QY42";
    e.channelNo = 1;
    e.type = TransceiverType::QY42;
    e.unitAddress = address;
    e.frequency = 200000.0;
    e.frequencyKHz = 200.0;
    e.txPower = 1000.0;
    e.minMedMaxTxPower = "100 500 1000";
    e.sampleInterval = "0.0001";
    e.minMedMaxPulseLength = "0.0001 0.0002 0.0004 0.0008 0.0016";
    e.gain = "26";
    const std::string description = "QY42 200 kHz 1";
    e.FormatDescription(&description, TransceiverType::QY42);
    return e;
}

void InstallQY42Unit(std::uint32_t address, const std::function<void(CRegistrySupport&)>& more,
                     const std::string& model)
{
    CRegistrySupport reg;
    if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\" + model + "\\1.0\\"))
        return;
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    installation.WriteChannelEntry(QY42ChannelEntry(address), key);
    reg.CloseKey(key);
    if (more)
        more(reg);
    reg.CloseRootKeys();
}

}  // namespace zv::test
