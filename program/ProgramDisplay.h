// What the display's documents and views reach of the running program: the
// application's display modes and side-scan colours, the water model's sound
// speed, the external depth table and the channels' partner windows, pinger
// mode's depth, the purse seine's net sensors and the running sounder's
// multi-pulse tracker for the echograms' marks, the main frame's colour
// broadcasts, colour schemes and colour threshold, the fish settings and the
// tracking switch of the echo traces, and the echogram and echo trace
// dialogs with the sounder's calibration link. The program hands its frames one context of these, made when a
// layout is built, once the model is known.
#pragma once

#include "display/ui/EchoTraceDialogs.h"
#include "display/ui/EchogramDialogs.h"
#include "display/ui/ViewContext.h"
#include "program/AbsentRoles.h"
#include "program/Link.h"

#include <QPointer>

class CEnvironment;
class CExternalDepth;
class CGeographicInfo;

namespace app {

class CMainFrame;
class CPelmaris;
class CProgramChannelLinks;

class CProgramDisplay final : public IEchogramHost,
                              public IExternalDepthExchange,
                              public IDepthHost,
                              public IViewHost,
                              public IEchogramMarkSources,
                              public displayui::IEchoTraceCalibration,
                              public IEchogramViewEnvironment
{
public:
    using PingerLink = TLink<IPingerLink, CAbsentPingerLink>;
    using NetSensorsLink = TLink<INetSensors, CAbsentNetSensors>;
    CProgramDisplay(CPelmaris& application, CEnvironment& environment, CExternalDepth& externalDepth,
                    CGeographicInfo& geographic, CProgramChannelLinks& channelLinks, const PingerLink& pingerMode,
                    const NetSensorsLink& netSensors);
    CProgramDisplay(const CProgramDisplay&) = delete;
    CProgramDisplay& operator=(const CProgramDisplay&) = delete;

    // The main frame whose broadcasts reach the views; the views outlive a
    // frame that has gone without reaching it.
    void SetMainFrame(CMainFrame* frame);
    // What the frames of a layout hand their documents and views.
    SFrameContext FrameContext(SounderModel model);

    // IEchogramHost
    bool GetFixedInterval(double& seconds) const override;
    double GetSoundVelocity() const override;
    double GetLevelTime() const override;
    void SetApplicationEchogramValue(int type) override;
    // While pinger mode runs, the echograms' dialogs offer the pinger gain.
    bool IsPingerMode() const override;

    // IExternalDepthExchange
    bool GetSourceDepth(const std::string& name, double& depth) const override;
    std::vector<SExternalSource> GetSources() const override;
    void SetSlantOffset(double offset) override;
    void PublishPartner(const std::string& name, double range, int rows, int side, int type, bool slant) override;

    // IDepthHost: the alarms keep their default, the status bar.
    bool GetPingerDepth(double& depth) const override;

    // IViewHost
    void RegisterView(HWND view, bool add) override;
    void ApplyColourScheme(int scheme) override;
    SSideScanScales GetSideScanScales() const override;
    double GetTideCorrection() const override;
    // The main window's colour scheme value, which is the threshold.
    int GetColourThreshold() const override;
    // The program's fish settings; their default without them.
    double GetFishConstant() const override;
    bool IsTrackingShown() const override;

    // IEchoTraceCalibration: the running sounder's.
    std::vector<CChannel*> GetChannels() const override;
    CCalibrationLink::SStartResult StartCalibration(CChannel& channel) override;

    // IEchogramMarkSources
    void GetNetSensors(int states[INetSensors::kSensors], double depths[INetSensors::kSensors]) const override;
    // GetPingerDepth is IDepthHost's: the pinger's depth while it synchronises.
    bool GetMultiPulseDepths(double& smoothed, double& period) const override;

    // IEchogramViewEnvironment: the application's fixed interval, and the
    // running sounder's simple pinger that the wheel shifts.
    // (GetFixedInterval is IEchogramHost's, the same value.)
    void SetFixedInterval(double seconds) override;
    bool AddTimingCorrection(int delta) override;

private:
    CPelmaris& m_application;
    CEnvironment& m_environment;
    CExternalDepth& m_externalDepth;
    CGeographicInfo& m_geographic;
    CProgramChannelLinks& m_channelLinks;
    const PingerLink& m_pingerMode;
    const NetSensorsLink& m_netSensors;
    QPointer<CMainFrame> m_frame;
    displayui::CEchogramDialogs m_echogramDialogs;
    displayui::CEchoTraceDialogs m_echoTraceDialogs{this};
};

}  // namespace app
