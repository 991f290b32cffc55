// The installed channels of a test unit: one transceiver list entry a
// channel, each described as "<name> <channel>".
#pragma once

#include "platform/Registry.h"
#include "transceivers/TrList.h"
#include "transceivers/TransceiverInstallation.h"

#include <string>

inline void InstallTestChannels(CTransceiverInstallation& installation, const std::string& name, int channels,
                                TransceiverType type = TransceiverType::HXU)
{
    HKEY key = installation.OpenChannelsKey();
    for (int ch = 1; ch <= channels; ++ch) {
        CTrList e;
        e.transceiverId = name;
        e.channelNo = ch;
        e.type = type;
        const std::string description = name + " " + std::to_string(ch);
        e.FormatDescription(&description, type);
        installation.WriteChannelEntry(e, key);
    }
    if (key)
        RegCloseKey(key);
}
