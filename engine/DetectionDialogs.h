// The settings dialogs of the channels' detection parts (bottom detector,
// slope, single-target detection, fish size), which the user interface
// provides, and the notice of a confirmed bottom detector dialog. The
// program hands one to its channels through their links and to its fish
// size object; a part given none shows no dialog.
#pragma once

#include "base/ModalSession.h"
#include "engine/BottomDetector.h"
#include "engine/Fish.h"
#include "engine/Slope.h"
#include "engine/TSDetection.h"

class IDetectionDialogs
{
public:
    using DialogOpened = CModalSession::DialogOpened;
    virtual ~IDetectionDialogs() = default;
    // Each runs its dialog modally on the values: true on OK with the values
    // edited. A dialog of a part that may be destroyed while it runs is
    // registered through `opened`, so that the part can end it.
    virtual bool RunBottomDetector(CBottomDetector::DialogValues& values, const DialogOpened& opened) = 0;
    virtual bool RunSlope(CSlope::DialogValues& values, const DialogOpened& opened) = 0;
    virtual bool RunTSDetection(CTSDetection::Settings& settings) = 0;
    virtual bool RunFish(CFish::DialogValues& values) = 0;
    // A confirmed bottom detector dialog changed what the channel status
    // window shows.
    virtual void BottomDetectorChanged() = 0;
};
