#include "display/DepthDoc.h"

#include "base/Archive.h"
#include "engine/Channel.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kHistoryLength = 3;

// The document's view of a real channel.
class CChannelAccess final : public IDepthChannel
{
public:
    explicit CChannelAccess(CChannel& channel) : m_channel(channel) {}
    bool GetBottom(double& depth) override { return m_channel.ProcessPing(&depth); }
    bool GetCorrectedDepth(double& depth) override { return m_channel.GetCorrectedBottomDepth(depth); }
    bool IsDepthFilterOn() const override { return m_channel.GetDepthFilter() != 0; }

private:
    CChannel& m_channel;
};
}  // namespace

CDepthDoc::CDepthDoc(const SDisplayContext& context) : m_context(context), m_history(kHistoryLength, 0.0) {}

CDepthDoc::~CDepthDoc()
{
    EndHandOff();
    // An update running on the ping thread is waited for while this is whole.
    DetachFromSource();
}

void CDepthDoc::SetChannel(CChannel* channel)
{
    CAbstractESDoc::SetChannel(channel);
    m_ownAccess = channel ? std::make_unique<CChannelAccess>(*channel) : nullptr;
    m_access = m_ownAccess.get();
}

double CDepthDoc::Median(double depth)
{
    std::rotate(m_history.rbegin(), m_history.rbegin() + 1, m_history.rend());
    m_history.front() = depth;
    std::vector<double> sorted = m_history;
    std::sort(sorted.begin(), sorted.end());
    m_median = sorted[sorted.size() / 2];
    return m_median;
}

CDepthDoc::AlarmSettings CDepthDoc::GetAlarmSettings() const
{
    std::lock_guard lock(m_alarmLock);
    return {m_bottomLostMessage, m_minimumAlarm, m_maximumAlarm, m_minimumDepth, m_maximumDepth};
}

void CDepthDoc::SetAlarmSettings(const AlarmSettings& settings)
{
    std::lock_guard lock(m_alarmLock);
    m_bottomLostMessage = settings.bottomLost;
    m_minimumAlarm = settings.minimumOn;
    m_maximumAlarm = settings.maximumOn;
    m_minimumDepth = settings.minimum;
    m_maximumDepth = settings.maximum;
}

void CDepthDoc::OnSourceUpdate(int)
{
    IDepthHost& host = m_context.DepthHost();
    double depth = m_depth;
    m_bottomFound = m_access && m_access->GetBottom(depth);
    // A depth that is not a number is no bottom: it must not reach the alarms or the text.
    if (!std::isfinite(depth)) {
        depth = 0.0;
        m_bottomFound = false;
    }
    m_depth = depth;
    double corrected = m_correctedDepth;
    m_profileInUse = m_access && m_access->GetCorrectedDepth(corrected);
    m_correctedDepth = corrected;
    if (m_access && m_access->IsDepthFilterOn())
        m_depth = Median(m_depth);
    double pinger = 0.0;
    m_pingerDepthInUse = host.GetPingerDepth(pinger);
    if (m_pingerDepthInUse)
        m_depth = pinger;

    const AlarmSettings alarms = GetAlarmSettings();
    if (!m_bottomFound) {
        if (alarms.bottomLost)
            host.StatusMessage(IDS_BOTTOM_LOST);
    } else {
        if (alarms.minimumOn && alarms.minimum >= m_depth)
            host.Alarm(IDS_BOTTOM_MINIMUM);
        if (alarms.maximumOn && alarms.maximum > 0.0 && alarms.maximum <= m_depth)
            host.Alarm(IDS_BOTTOM_MAXIMUM);
    }
    {
        std::lock_guard lk(m_resultLock);
        if (m_results.size() >= kMaxWaitingResults)
            m_results.pop_front();
        m_results.push_back({++m_resultCount, m_depth, m_bottomFound, m_pingerDepthInUse});
    }
    m_context.ViewUpdates().UpdateViews(*this);
}

std::uint64_t CDepthDoc::NewestResult() const
{
    std::lock_guard lk(m_resultLock);
    return m_resultCount;
}

bool CDepthDoc::TakeResult(std::uint64_t upTo)
{
    std::lock_guard lk(m_resultLock);
    if (m_results.empty() || m_results.front().number > upTo)
        return false;
    m_shown = m_results.front();
    m_results.pop_front();
    return true;
}

void CDepthDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        const AlarmSettings a = GetAlarmSettings();
        ar << a.minimum << a.maximum << static_cast<LONG>(a.minimumOn) << static_cast<LONG>(a.maximumOn)
           << static_cast<LONG>(a.bottomLost);
    } else {
        double minimum = 0.0, maximum = 0.0;
        LONG minimumOn = 0, maximumOn = 0, lostOn = 0;
        ar >> minimum >> maximum >> minimumOn >> maximumOn >> lostOn;
        // Limits that are not numbers would silence or fire the alarms for good.
        AlarmSettings a;
        a.minimum = std::isfinite(minimum) ? minimum : 0.0;
        a.maximum = std::isfinite(maximum) ? maximum : 0.0;
        a.minimumOn = minimumOn != 0;
        a.maximumOn = maximumOn != 0;
        a.bottomLost = lostOn != 0;
        SetAlarmSettings(a);
    }
    if (CChannel* channel = GetChannel()) {
        channel->SerializeBottomDetector(ar);
        channel->SerializeSlope(ar);
        channel->SerializeColorScale(ar);
    }
}
