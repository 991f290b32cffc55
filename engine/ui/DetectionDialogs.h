// The engine's Qt detection dialogs behind the channels' detection parts
// (bottom detector, slope, single-target detection, fish). The program hands
// one to its channels and its fish size object; each dialog runs modally on
// the user-interface thread.
#pragma once

#include "engine/DetectionDialogs.h"

namespace engineui {

class CDetectionDialogs : public IDetectionDialogs
{
public:
    bool RunBottomDetector(CBottomDetector::DialogValues& values, const DialogOpened& opened) override;
    bool RunSlope(CSlope::DialogValues& values, const DialogOpened& opened) override;
    bool RunTSDetection(CTSDetection::Settings& settings) override;
    bool RunFish(CFish::DialogValues& values) override;
    // The channel status window is told through the main window.
    void BottomDetectorChanged() override;
};

}  // namespace engineui
