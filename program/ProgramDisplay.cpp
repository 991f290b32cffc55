#include "program/ProgramDisplay.h"

#include "app/Pelmaris.h"
#include "app/SounderModel.h"
#include "app/ui/MainFrame.h"
#include "engine/Fish.h"
#include "engine/MultiPulse.h"
#include "program/ProgramChannelLinks.h"
#include "sensors/Environment.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"
#include "sounder/EchoSounder.h"

#include <algorithm>
#include <cstdint>

namespace app {

CProgramDisplay::CProgramDisplay(CPelmaris& application, CEnvironment& environment, CExternalDepth& externalDepth,
                                 CGeographicInfo& geographic, CProgramChannelLinks& channelLinks,
                                 const PingerLink& pingerMode, const NetSensorsLink& netSensors)
    : m_application(application),
      m_environment(environment),
      m_externalDepth(externalDepth),
      m_geographic(geographic),
      m_channelLinks(channelLinks),
      m_pingerMode(pingerMode),
      m_netSensors(netSensors)
{}

void CProgramDisplay::SetMainFrame(CMainFrame* frame)
{
    m_frame = frame;
}

SFrameContext CProgramDisplay::FrameContext(SounderModel model)
{
    SFrameContext context;
    context.documents.model = model;
    context.documents.echogramHost = this;
    context.documents.externalDepth = this;
    context.documents.depthHost = this;
    context.documents.echogramDialogs = &m_echogramDialogs;
    context.documents.echoTraceDialogs = &m_echoTraceDialogs;
    context.views.model = model;
    context.views.channelMenu = app::ModelInfo(model).channelMenu;
    context.views.host = this;
    context.views.externalDepth = &m_externalDepth;
    // The echogram views size the history by the pings they show.
    context.views.geographicHistory = &m_geographic;
    context.views.markSources = this;
    context.views.echogramEnvironment = this;
    context.settingsFolder = &m_application.SettingsFolder();
    return context;
}

double CProgramDisplay::GetTideCorrection() const
{
    return m_application.tide.load();
}

int CProgramDisplay::GetColourThreshold() const
{
    return m_frame ? m_frame->GetColourScheme() : 0;
}

double CProgramDisplay::GetFishConstant() const
{
    const CFish* fish = m_application.Sensor<CFish>(SensorId::Fish);
    return fish ? fish->GetConstant() : CFish::kDefaultConvert;
}

bool CProgramDisplay::IsTrackingShown() const
{
    // The seventh switch of "Debug Trace...".
    return m_application.debugTrace[6] != 0;
}

std::vector<CChannel*> CProgramDisplay::GetChannels() const
{
    std::vector<CChannel*> channels;
    if (const CEchoSounder* sounder = m_application.GetEchoSounder())
        for (int i = 0; i < sounder->GetChannelCount(); ++i)
            channels.push_back(sounder->GetChannel(i));
    return channels;
}

CCalibrationLink::SStartResult CProgramDisplay::StartCalibration(CChannel& channel)
{
    CEchoSounder* sounder = m_application.GetEchoSounder();
    if (!sounder)
        return {};
    return sounder->StartCalibrationLink(channel);
}

bool CProgramDisplay::GetFixedInterval(double& seconds) const
{
    if (!m_application.fixedInterval)
        return false;
    seconds = m_application.fixedIntervalTime;
    return true;
}

void CProgramDisplay::SetFixedInterval(double seconds)
{
    m_application.SetFixedInterval(m_application.fixedInterval.load(), seconds);
}

bool CProgramDisplay::AddTimingCorrection(int delta)
{
    // The views ask on the user-interface thread, where the sounder is made
    // and deleted.
    CEchoSounder* sounder = m_application.GetEchoSounder();
    if (!sounder || !sounder->IsSimplePinger())
        return false;
    sounder->AddTimingCorrection(static_cast<std::int16_t>(std::clamp(delta, -32768, 32767)));
    return true;
}

double CProgramDisplay::GetSoundVelocity() const
{
    return m_environment.GetSoundVelocity();
}

double CProgramDisplay::GetLevelTime() const
{
    return m_application.levelTime.load();
}

void CProgramDisplay::SetApplicationEchogramValue(int type)
{
    m_application.SetEchogramValue(type);
}

bool CProgramDisplay::GetSourceDepth(const std::string& name, double& depth) const
{
    return m_externalDepth.GetSourceDepth(name, depth);
}

std::vector<SExternalSource> CProgramDisplay::GetSources() const
{
    std::vector<SExternalSource> sources;
    for (int n = 0; n < CExternalDepth::kSources; ++n) {
        SExternalSource source;
        source.depth = m_externalDepth.GetSourceDepth(n, source.name);
        sources.push_back(std::move(source));
    }
    return sources;
}

void CProgramDisplay::SetSlantOffset(double offset)
{
    m_externalDepth.SetSlantOffset(offset);
}

void CProgramDisplay::PublishPartner(const std::string& name, double range, int rows, int side, int type, bool)
{
    m_channelLinks.PublishPartnerWindow(name, range, rows, side, type);
}

bool CProgramDisplay::IsPingerMode() const
{
    return m_pingerMode->IsPingerActive();
}

bool CProgramDisplay::GetPingerDepth(double& depth) const
{
    return m_pingerMode->GetPingerDepth(depth);
}

void CProgramDisplay::RegisterView(HWND view, bool add)
{
    if (!m_frame)
        return;
    if (add)
        m_frame->AddDescendant(view);
    else
        m_frame->RemoveDescendant(view);
}

void CProgramDisplay::ApplyColourScheme(int scheme)
{
    if (m_frame)
        m_frame->ApplyColourScheme(scheme);
}

SSideScanScales CProgramDisplay::GetSideScanScales() const
{
    // Read at every palette change, so the View menu's choices apply at once.
    return {m_application.GetGreyScaleOnSidescan(), m_application.GetCopperOnSidescan()};
}

void CProgramDisplay::GetNetSensors(int states[INetSensors::kSensors], double depths[INetSensors::kSensors]) const
{
    m_netSensors->StampSensor(states, depths);
}

bool CProgramDisplay::GetMultiPulseDepths(double& smoothed, double& period) const
{
    // The views ask on the user-interface thread, where the sounder is made
    // and deleted.
    const CEchoSounder* sounder = m_application.GetEchoSounder();
    const CMultiPulse* tracker = sounder ? sounder->GetMultiPulse() : nullptr;
    if (!tracker)
        return false;
    smoothed = tracker->GetSmoothedDepth();
    period = tracker->GetDepth();
    return true;
}

}  // namespace app
