#include "display/DepthDoc.h"

#include "app/AppIds.h"
#include "app/Archive.h"
#include "app/Status.h"
#include "engine/Channel.h"
#include "platform/MessageDispatcher.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr int kHistoryLength = 3;

CDepthDoc::Environment& SharedEnvironment()
{
    static CDepthDoc::Environment environment;
    return environment;
}
} // namespace

void CDepthDoc::SetEnvironment(const Environment& environment) { SharedEnvironment() = environment; }
const CDepthDoc::Environment& CDepthDoc::GetEnvironment() { return SharedEnvironment(); }

CDepthDoc::CDepthDoc() : m_history(kHistoryLength, 0.0) {}

CDepthDoc::~CDepthDoc()
{
    // An update running on the ping thread is waited for while this is whole.
    DetachFromSource();
}

void CDepthDoc::SetChannel(CChannel* channel)
{
    CAbstractESDoc::SetChannel(channel);
    m_access = channel ? DefaultAccess() : ChannelAccess{};
}

CDepthDoc::ChannelAccess CDepthDoc::DefaultAccess()
{
    ChannelAccess access;
    access.bottom = [this](double& depth) {
        CChannel* channel = GetChannel();
        return channel && channel->ProcessPing(&depth);
    };
    access.correctedDepth = [this](double& depth) {
        CChannel* channel = GetChannel();
        return channel && channel->GetCorrectedBottomDepth(depth);
    };
    return access;
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

void CDepthDoc::OnSourceUpdate(int)
{
    const Environment& env = GetEnvironment();
    double depth = m_depth;
    m_bottomFound = m_access.bottom && m_access.bottom(depth);
    // A depth that is not a number is no bottom: it must not reach the alarms or the text.
    if (!std::isfinite(depth))
    {
        depth = 0.0;
        m_bottomFound = false;
    }
    m_depth = depth;
    double corrected = m_correctedDepth;
    m_profileInUse = m_access.correctedDepth && m_access.correctedDepth(corrected);
    m_correctedDepth = corrected;
    if (m_access.depthFilter && m_access.depthFilter())
        m_depth = Median(m_depth);
    double pinger = 0.0;
    m_pingerDepthInUse = env.pingerDepth && env.pingerDepth(pinger);
    if (m_pingerDepthInUse)
        m_depth = pinger;

    if (!m_bottomFound)
    {
        if (m_bottomLostMessage)
        {
            if (env.statusMessage)
                env.statusMessage(IDS_BOTTOM_LOST);
            else
                app::CStatus::PostStatusMessage(IDS_BOTTOM_LOST);
        }
    }
    else
    {
        auto raise = [&env](unsigned id) {
            if (env.alarm)
                env.alarm(id);
            else
                app::CStatus::PostAlarm(id);
        };
        if (m_minimumAlarm && m_minimumDepth >= m_depth)
            raise(IDS_BOTTOM_MINIMUM);
        if (m_maximumAlarm && m_maximumDepth > 0.0 && m_maximumDepth <= m_depth)
            raise(IDS_BOTTOM_MAXIMUM);
    }
    if (env.updateViews)
        env.updateViews(this);
    else
        SendMessage(GetMainWindow(), app::WM_ES_UPDATEALLVIEWS, 0, reinterpret_cast<LPARAM>(this));
}

void CDepthDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        ar << m_minimumDepth << m_maximumDepth << static_cast<LONG>(m_minimumAlarm)
           << static_cast<LONG>(m_maximumAlarm) << static_cast<LONG>(m_bottomLostMessage);
    }
    else
    {
        double minimum = 0.0, maximum = 0.0;
        LONG minimumOn = 0, maximumOn = 0, lostOn = 0;
        ar >> minimum >> maximum >> minimumOn >> maximumOn >> lostOn;
        // Limits that are not numbers would silence or fire the alarms for good.
        m_minimumDepth = std::isfinite(minimum) ? minimum : 0.0;
        m_maximumDepth = std::isfinite(maximum) ? maximum : 0.0;
        m_minimumAlarm = minimumOn != 0;
        m_maximumAlarm = maximumOn != 0;
        m_bottomLostMessage = lostOn != 0;
    }
    if (CChannel* channel = GetChannel())
    {
        channel->SerializeBottomDetector(ar);
        channel->SerializeSlope(ar);
        channel->SerializeColorScale(ar);
    }
}
