// Detection dialogs a case scripts: each one set answers its dialog, one not
// set shows none (false); confirmed bottom detector dialogs are counted.
#pragma once

#include "engine/ChannelLinks.h"
#include "engine/DetectionDialogs.h"

#include <atomic>
#include <functional>

class CTestDetectionDialogs : public IDetectionDialogs
{
public:
    std::function<bool(CBottomDetector::DialogValues&, const DialogOpened&)> bottomDetector;
    std::function<bool(CSlope::DialogValues&, const DialogOpened&)> slope;
    std::function<bool(CTSDetection::Settings&)> tsDetection;
    std::function<bool(CFish::DialogValues&)> fish;
    std::atomic<int> bottomDetectorChanges{0};

    bool RunBottomDetector(CBottomDetector::DialogValues& v, const DialogOpened& opened) override
    {
        return bottomDetector && bottomDetector(v, opened);
    }
    bool RunSlope(CSlope::DialogValues& v, const DialogOpened& opened) override { return slope && slope(v, opened); }
    bool RunTSDetection(CTSDetection::Settings& s) override { return tsDetection && tsDetection(s); }
    bool RunFish(CFish::DialogValues& v) override { return fish && fish(v); }
    void BottomDetectorChanged() override { ++bottomDetectorChanges; }
};

// Links that give a channel's detection parts these dialogs.
class CTestDialogLinks : public IChannelLinks
{
public:
    explicit CTestDialogLinks(IDetectionDialogs& dialogs) : m_dialogs(dialogs) {}
    IDetectionDialogs* GetDetectionDialogs() const override { return &m_dialogs; }

private:
    IDetectionDialogs& m_dialogs;
};
