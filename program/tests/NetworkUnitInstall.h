// Installs one network unit channel at a given address in the program's
// registry, as the installation dialog would leave it, for the program tests
// that run against the simulated unit.
#pragma once

#include "transceivers/TrList.h"
#include "transceivers/TransceiverInstallation.h"

#include "base/RegistrySupport.h"

#include <cstdint>
#include <functional>
#include <string>

// `more` writes further settings while the program's root keys are open.
inline void InstallNetworkUnit(std::uint32_t address, const std::function<void(CRegistrySupport&)>& more = {})
{
    CRegistrySupport reg;
    if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"))
        return;
    CTransceiverInstallation installation;
    CTransceiverInstallation::ResetInitializeFlag();
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
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
    installation.WriteChannelEntry(e, key);
    reg.CloseKey(key);
    if (more)
        more(reg);
    reg.CloseRootKeys();
    CTransceiverInstallation::ResetInitializeFlag();
}
