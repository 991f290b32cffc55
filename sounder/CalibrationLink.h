// The sounder's link to the outside calibration component: the component
// as "Calibration..." made it on the user-interface thread, the stream that
// carries it to the thread of the first hand-over, and the link that thread
// takes out of it. One for all channels of the sounder; a channel whose link
// flag is set hands each ping's targets over through it (ICalibrationHandOver).
//
// All three pointers are read and written under one lock, so the start on
// the user-interface thread and a hand-over on a requesting thread never
// meet half done. A hand-over never waits for the user: what failed comes
// back as a box to post, and the parameter set's failure is told once per
// start. A component whose process stops answering or has gone drops the
// link, and the pings go on without it.
#pragma once

#include "engine/CalibrationHandOver.h"
#include "sounder/Calibration.h"

#include <mutex>
#include <string>
#include <vector>

class CCalibrationLink final : public ICalibrationHandOver
{
public:
    CCalibrationLink();
    ~CCalibrationLink() override;
    CCalibrationLink(const CCalibrationLink&) = delete;
    CCalibrationLink& operator=(const CCalibrationLink&) = delete;

    // The program's texts of the parameter set: its product version and
    // the transceiver list's folder.
    void SetApplicationTexts(std::string productVersion, std::string trListPath);

    struct SStartResult
    {
        enum EOutcome { Started, AlreadyLinked, Failed } outcome = Failed;
        // Of a failure: the call that failed, as the box's caption, and its
        // result.
        std::string caption;
        HRESULT result = S_OK;
    };
    // "Calibration..." on a channel: nothing while any of the channels is
    // linked; else makes the component, marshals it into the stream and sets
    // the channel's link flag. On the user-interface thread.
    SStartResult Start(CChannel& channel, const std::vector<CChannel*>& channels);

    // After every thread that may request single targets has ended: a stream
    // never used is taken out to let it go, then the link and the component
    // are released.
    void Release();

    SCalibrationHandOverResult HandOver(const CChannel& channel, const SCalibrationChannelValues& values,
                                        bool sendParameters, const SingleTargetRecord& record,
                                        std::uint64_t pingTime) override;

private:
    HRESULT SendParameters(const CChannel& channel, const SCalibrationChannelValues& values);
    HRESULT SetParameter(const char* name, double value);
    HRESULT SetParameter(const char* name, const std::string& text);
    HRESULT AddTargets(const SingleTargetRecord& record, std::uint64_t pingTime);
    // Notes a result that says the component's process is gone.
    HRESULT Watch(HRESULT hr);
    void ReleaseLocked();

    std::mutex m_lock;
    IStream* m_stream = nullptr;
    ICalibration* m_component = nullptr;
    ICalibration* m_link = nullptr;
    bool m_lost = false;
    bool m_parameterBoxShown = false;
    std::string m_productVersion;
    std::string m_trListPath;
};
