#include "app/StandardESLayout.h"

#include "base/EchosounderError.h"
#include "platform/EventLog.h"

#include <string>

namespace app {

SplitType ChooseSplit(int arrangement, int n, int width, int height)
{
    if (width < 1 || height < 1)
        return SplitType::Stacked;
    if (arrangement == kArrangementHorizontal)
        return SplitType::Stacked;
    if (arrangement == kArrangementVertical)
        return SplitType::SideBySide;
    const double r = static_cast<double>(width) / static_cast<double>(height);
    switch (n) {
    case 1:
        return SplitType::Stacked;
    case 2:
        return r < 1.5 ? SplitType::Stacked : SplitType::SideBySide;
    case 3:
        return r < 1.0 ? SplitType::Stacked : r < 6.0 ? SplitType::OneOverTwo : SplitType::SideBySide;
    case 4:
        return r < 0.75 ? SplitType::Stacked : r < 10.0 ? SplitType::Grid2x2 : SplitType::SideBySide;
    default:
        // Five to eight channels: tall areas stack, very wide ones line up,
        // everything else gets two columns.
        return r < 0.5 ? SplitType::Stacked : r < 10.0 ? SplitType::TwoColumns : SplitType::SideBySide;
    }
}

std::vector<LayoutRect> ComputeFrameRects(SplitType split, int n, int w, int h)
{
    std::vector<LayoutRect> rects;
    if (n <= 0)
        return rects;
    switch (split) {
    case SplitType::Stacked:
        for (int k = 0; k < n; ++k)
            rects.push_back({0, k * (h / n), w, h / n});
        break;
    case SplitType::SideBySide:
        for (int k = 0; k < n; ++k)
            rects.push_back({k * (w / n), 0, w / n, h});
        break;
    case SplitType::OneOverTwo:
        rects.push_back({0, 0, w, h / 2});
        rects.push_back({0, h / 2, w / 2, h / 2});
        rects.push_back({w / 2, h / 2, w / 2, h / 2});
        rects.resize(static_cast<std::size_t>(std::min(n, 3)));
        break;
    case SplitType::Grid2x2:
        for (int k = 0; k < std::min(n, 4); ++k)
            rects.push_back({(k % 2) * (w / 2), (k / 2) * (h / 2), w / 2, h / 2});
        break;
    case SplitType::TwoColumns: {
        const int rows = (n + 1) / 2;
        for (int k = 0; k < n; ++k) {
            const bool lastAlone = (n % 2 == 1) && k == n - 1;
            rects.push_back({lastAlone ? 0 : (k % 2) * (w / 2), (k / 2) * (h / rows), lastAlone ? w : w / 2, h / rows});
        }
        break;
    }
    }
    return rects;
}

CStandardESLayout::CStandardESLayout(SounderModel model, LayoutSource source, FrameFactory factory)
    : CSkjerm(model), m_model(model), m_source(std::move(source)), m_factory(std::move(factory))
{}

int CStandardESLayout::FrameKindFor(SounderModel model, int channelAttribute)
{
    switch (model) {
    case SounderModel::QY210:
    case SounderModel::QY310:
    case SounderModel::QYNVU:
        return 1;
    case SounderModel::RM30:
        return channelAttribute == 1 ? 1 : 2;
    default:
        return 2;
    }
}

bool CStandardESLayout::Arrange()
{
    std::vector<int> channels;
    for (int i = 0; i < static_cast<int>(m_source.displays.size()); ++i) {
        const auto& d = m_source.displays[static_cast<std::size_t>(i)];
        if (d.exists && d.shown)
            channels.push_back(i);
    }
    const int n = static_cast<int>(channels.size());
    if (n == 0 || !m_source.echoSounderRuns)
        return false;

    // A stored arrangement out of range used to stop the program at every
    // start; the settings' default is used instead and the fault recorded.
    m_usedArrangement = m_source.arrangement;
    m_arrangementReplaced = m_usedArrangement < 0 || m_usedArrangement > 2;
    if (m_arrangementReplaced) {
        if (HEVENTSOURCE log = RegisterEventSource("Ostrival")) {
            ReportEvent(
                log, EVENTLOG_WARNING_TYPE, 0, 0,
                {"Illegal View Arrangement (" + std::to_string(m_source.arrangement) + "), the default is used"});
            DeregisterEventSource(log);
        }
        m_usedArrangement = kDefaultArrangement;
    }

    const int w = m_source.clientWidth;
    const int h = m_source.clientHeight;
    const auto rects = ComputeFrameRects(ChooseSplit(m_usedArrangement, n, w, h), n, w, h);
    for (int k = 0; k < n; ++k) {
        const int channel = channels[static_cast<std::size_t>(k)];
        if (m_source.hasChannel && !m_source.hasChannel(channel))
            EchosounderFatalError("Skjerm", __LINE__, "GetChannel(%d) is NULL", channel);
        FramePlacement placement;
        placement.channelIndex = channel;
        placement.rect = rects[static_cast<std::size_t>(k)];
        placement.frameKind = m_source.frameKindOf ? m_source.frameKindOf(channel) : 1;
        placement.menuId = m_menuId;
        if (m_factory) {
            if (auto frame = m_factory(placement))
                m_frames.push_back(std::move(frame));
        }
    }
    if (onDisplayedChannelCount)
        onDisplayedChannelCount(n);
    return true;
}

}  // namespace app
