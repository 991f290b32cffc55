// What the "Operation" dialog edits: operation control fills the values from
// the settings in force and takes them back on OK; the dialog itself knows
// nothing of the running sounder.
#pragma once

#include "base/ModelCodes.h"
#include "base/ReplayFileList.h"

#include <optional>
#include <string>
#include <vector>

struct SOperationDialogValues
{
    // The largest ping interval, pinger interval (s) and pulse length (ms)
    // the dialogs accept; the smallest is 0.
    static constexpr double kLargestValue = 3600.0;

    // What the dialog is given.
    SounderModel model = SounderModel::QY310;
    int installedChannels = 0;              // without any, normal operation cannot be chosen
    std::vector<std::string> channelNames;  // the installed channels: the simple pinger's sources
    bool pingerAvailable = false;           // "Pinger Mode" can be chosen only then

    // What it edits.
    int mode = 0;           // 0 normal, 1 replay
    int rate = 0;           // enumSpeed: 0 maximum, 1 single step, 2 interval, 3 multipulse, 4 pinger
    double interval = 1.0;  // s
    bool externalTrigger = false;
    bool history = false;
    bool synchronise = false;
    bool sequence = false;
    bool hbx = false;
    bool simplePinger = false;
    double simplePingerInterval = 1.0;      // s
    double simplePingerPulseLength = 10.0;  // ms
    std::string simplePingerSource;
    // The files to replay with their options; none when no file is chosen.
    std::optional<CReplayFileList> files;
    // Files were chosen in this dialog ("Files..." ended with OK).
    bool newFiles = false;
    // "Change SVP profile" of the file dialog: the environment takes it on OK.
    bool changeSvp = false;
};
