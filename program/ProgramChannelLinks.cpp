#include "program/ProgramChannelLinks.h"

#include "app/Pelmaris.h"
#include "app/SensorObjects.h"
#include "engine/ChannelParameters.h"
#include "outputs/Output.h"
#include "program/RecorderLink.h"
#include "recording/Store.h"
#include "sensors/ExternalDepth.h"
#include "serialcom/device/DepthTelegram.h"

#include <algorithm>

namespace app {

void CRecorderDepthUser::TakeDepth(const DepthReport& r)
{
    if (r.ChannelId < 0)
        return;
    const std::string telegram = FormatDepthTelegram(m_sources, kDepthTelegramDPT, 1, r.ChannelId, r.PingTime, r.Depth,
                                                     r.DraughtAndOffset, r.BottomLevel, r.Heave);
    m_recorder.With([&](zv::recording::CStore& store) {
        store.WriteDepthTelegram(static_cast<std::size_t>(r.ChannelId), telegram, r.PingTime);
    });
}

CProgramChannelLinks::CProgramChannelLinks(CPelmaris& application, CEnvironment& environment,
                                           CExternalDepth& externalDepth, CRecorderLink& recorder, IOutput& outputs,
                                           const IDepthTelegramSources& depthTelegramSources, CLinkList& links,
                                           const TLink<IPingerLink, CAbsentPingerLink>& pinger,
                                           IDetectionDialogs& detectionDialogs, IColorScaleDialogs& colorScaleDialogs)
    : m_application(application),
      m_externalDepth(externalDepth),
      m_navigationLine(links, "channel links: navigation's depth line"),
      m_purseSeineLine(links, "channel links: purse seine's depth line"),
      m_trawlLine(links, "channel links: trawl link's depth line", kTrawlModels),
      m_recorderDepth(recorder, depthTelegramSources),
      m_heaveLine(links, "channel links: heave sensor's depth line"),
      m_outputs(outputs),
      m_lobeTelegrams(links, "channel links: lobe link's echo-trace telegrams", kLobeModels),
      m_motion(links, "channel links: heave sensor's motion"),
      m_speed(links, "channel links: navigation's speed"),
      m_pinger(pinger),
      m_detectionDialogs(detectionDialogs),
      m_colorScaleDialogs(colorScaleDialogs)
{
    SetEnvironment(&environment);
}

std::string CProgramChannelLinks::GetSettingsFolder() const
{
    return m_application.SettingsFolder().Get();
}

void CProgramChannelLinks::NewSounder()
{
    std::lock_guard lock(m_depthLock);
    m_depths.clear();
}

bool CProgramChannelLinks::GetChannelDepth(int channel, double& depth) const
{
    std::lock_guard lock(m_depthLock);
    const auto it = m_depths.find(channel);
    if (it == m_depths.end())
        return false;
    depth = it->second;
    return true;
}

double CProgramChannelLinks::GetDeepestChannelDepth() const
{
    std::lock_guard lock(m_depthLock);
    double deepest = 0.0;
    for (const auto& [channel, depth] : m_depths)
        deepest = std::max(deepest, depth);
    return deepest;
}

void CProgramChannelLinks::PublishPartnerWindow(const std::string& name, double range, int rows, int side,
                                                int echogramType)
{
    // The entry's depth is the window's range and its three further values
    // the sample count, echogram type and side; valid marks it published.
    m_externalDepth.SetSource(CExternalDepth::WithoutReplay(name), range, rows, 1, echogramType, side);
}

SounderModel CProgramChannelLinks::GetModel() const
{
    return m_application.GetSounderType();
}

double CProgramChannelLinks::GetTide() const
{
    return m_application.tide.load();
}

void CProgramChannelLinks::SendEchoTraceTelegram(int channelIndex, std::uint64_t pingTime,
                                                 const SingleTargetRecord& record)
{
    m_lobeTelegrams->SendTelegram(channelIndex, pingTime, record);
}

bool CProgramChannelLinks::GetFixedRangeTime(double& seconds) const
{
    if (!m_application.fixedInterval.load())
        return false;
    seconds = m_application.fixedIntervalTime.load();
    return true;
}

bool CProgramChannelLinks::IsPingTimingOn() const
{
    return m_pinger->IsPingTimingOn();
}

double CProgramChannelLinks::GetPingTimingRange() const
{
    return m_pinger->GetPingTimingRange();
}

void CProgramChannelLinks::OnPingTime(std::uint64_t pingTime)
{
    m_pinger->OnPingTime(pingTime);
}

bool CProgramChannelLinks::IsPingerActive() const
{
    return m_pinger->IsPingerActive();
}

double CProgramChannelLinks::GetPingerRange() const
{
    return m_pinger->GetPingerRange();
}

int CProgramChannelLinks::ProcessPingerSamples(std::int16_t* samples, int count, double sampleInterval,
                                               std::uint64_t pingTime)
{
    return m_pinger->ProcessPingerSamples(samples, count, sampleInterval, pingTime);
}

bool CProgramChannelLinks::GetMotionAtTime(std::uint64_t time, const ChannelParameters& params, double out[4])
{
    // The channel's transducer offsets are Z down, X along and Y athwart.
    const TransducerOffsets transducer{params.TransducerZ, params.TransducerX, params.TransducerY};
    return m_motion->GetMotionAtTime(time, transducer, out);
}

bool CProgramChannelLinks::GetSpeedKnots(double& knots) const
{
    return m_speed->GetSpeedKnots(knots);
}

void CProgramChannelLinks::OnBottomDepth(const DepthReport& report)
{
    m_navigationLine->TakeDepth(report);
    m_purseSeineLine->TakeDepth(report);
    m_trawlLine->TakeDepth(report);
    m_recorderDepth.TakeDepth(report);
}

void CProgramChannelLinks::OnDepthOutputs(const DepthReport& report)
{
    {
        std::lock_guard lock(m_depthLock);
        m_depths[report.ChannelId] = report.Depth;
    }
    m_externalDepth.SetDepthByName(report.SourceName, report.Depth);
    if (report.Excluded)
        return;
    m_heaveLine->TakeDepth(report);
    m_outputs.TakeDepth(report);
}

bool CProgramChannelLinks::FindExternalDepthWindow(const std::string& sourceName, ExternalDepthWindow& window)
{
    CExternalDepth::SourceEntry entry;
    if (!m_externalDepth.FindSource(sourceName, entry))
        return false;
    // A source whose partner has published no window yet wants no samples.
    window.Start = 0.0;
    window.Length = entry.depth;
    window.SampleCount = entry.valid != 0 ? entry.first : 0;
    window.EchogramType = entry.second;
    return true;
}

void CProgramChannelLinks::SetExternalDepthBlock(const std::string& sourceName, const std::int16_t* samples, int count)
{
    // Two samples a word, the first in the low half; what the channel did
    // not fill is no echo.
    constexpr std::uint16_t kNoEcho = static_cast<std::uint16_t>(std::int16_t{-20000});
    std::array<std::uint16_t, 2 * CExternalDepth::kBlockWords> halves;
    halves.fill(kNoEcho);
    const int n = std::clamp(count, 0, static_cast<int>(halves.size()));
    for (int i = 0; i < n; ++i)
        halves[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(samples[i]);
    std::array<std::uint32_t, CExternalDepth::kBlockWords> block;
    for (std::size_t k = 0; k < block.size(); ++k)
        block[k] = halves[2 * k] | static_cast<std::uint32_t>(halves[2 * k + 1]) << 16;
    m_externalDepth.SetSourceBlock(sourceName, block.data());
}

bool CProgramChannelLinks::GetExternalDepthSource(int index, std::string& name, double& depth) const
{
    depth = m_externalDepth.GetSource(index, name);
    return !name.empty();
}

double CProgramChannelLinks::GetSlantOffset(const std::string&) const
{
    // One side-looking pair at a time: its echogram stores the distance.
    return m_externalDepth.GetCurrentDepth();
}

}  // namespace app
