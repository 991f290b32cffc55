#include "display/ui/DepthViewCommands.h"

#include "display/DepthDoc.h"
#include "display/EchogramDoc.h"
#include "display/ui/DepthView.h"
#include "engine/Channel.h"
#include "transceivers/Transceiver.h"

#include <memory>

bool CDepthViewCommands::Run(CDepthDoc& doc, unsigned id)
{
    // Each dialog may outlast the frame (the layout can be torn down while
    // it runs): nothing of the document is touched after a launcher returns.
    CEchogramDoc* upper = doc.m_upperEchogram;
    CEchogramDoc* lower = doc.m_lowerEchogram;
    CChannel* channel = doc.GetChannel();
    switch (id) {
    case CDepthView::ID_BOTTOM_DETECTOR: {
        if (!channel)
            return false;
        // The dialog edits a copy: the document may be gone when it returns.
        CDepthDoc::AlarmSettings a = doc.GetAlarmSettings();
        const std::weak_ptr<const void> alive = doc.Lifetime();
        channel->RunBottomDetectorDialog(a.bottomLost, a.minimumOn, a.maximumOn, a.minimum, a.maximum);
        if (!alive.expired())
            doc.SetAlarmSettings(a);
        return true;
    }
    case CDepthView::ID_SLOPE_SETTINGS:
        if (!channel)
            return false;
        channel->EditSlopeSettings();
        return true;
    case CDepthView::ID_TRANSCEIVER_SETTINGS: {
        CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr;
        if (!transceiver || !transceiver->HasChannelDialog(channel))
            return false;
        transceiver->RunChannelDialog(channel);
        return true;
    }
    case CDepthView::ID_COLOUR_SCALE:
        if (!channel)
            return false;
        channel->OnColorScale();
        return true;
    case CDepthView::ID_UPPER_ECHOGRAM:
    case CDepthView::ID_LOWER_ECHOGRAM: {
        CEchogramDoc* target = id == CDepthView::ID_UPPER_ECHOGRAM ? upper : lower;
        if (!target)
            return false;
        target->OnEchogramSettings();
        return true;
    }
    case CDepthView::ID_UPPER_RANGE:
    case CDepthView::ID_LOWER_RANGE: {
        CEchogramDoc* target = id == CDepthView::ID_UPPER_RANGE ? upper : lower;
        if (!target)
            return false;
        target->OnRangeSettings();
        return true;
    }
    case CDepthView::ID_ECHOGRAM_FILTER:
        if (!upper)
            return false;
        upper->OnEchogramFilter();
        return true;
    default:
        return false;
    }
}

bool CDepthViewCommands::CanRun(const CDepthDoc& doc, unsigned id)
{
    switch (id) {
    case CDepthView::ID_BOTTOM_DETECTOR:
    case CDepthView::ID_SLOPE_SETTINGS:
    case CDepthView::ID_COLOUR_SCALE:
        return doc.GetChannel() != nullptr;
    case CDepthView::ID_TRANSCEIVER_SETTINGS: {
        // Live and replayed channels alike, where the program gave their
        // transceiver the dialogs to show.
        const CChannel* channel = doc.GetChannel();
        const CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr;
        return transceiver && transceiver->HasChannelDialog(channel);
    }
    case CDepthView::ID_UPPER_ECHOGRAM:
    case CDepthView::ID_UPPER_RANGE:
    case CDepthView::ID_ECHOGRAM_FILTER:
        return doc.m_upperEchogram != nullptr;
    case CDepthView::ID_LOWER_ECHOGRAM:
    case CDepthView::ID_LOWER_RANGE:
        return doc.m_lowerEchogram != nullptr;
    default:
        return false;
    }
}

bool CDepthViewCommands::RunTransceiverDialog(CDepthDoc& doc)
{
    CChannel* channel = doc.GetChannel();
    CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr;
    if (!transceiver || !transceiver->HasChannelDialog(channel))
        return false;
    if (transceiver->GetTypeCode() == TransceiverType::GEO)
        transceiver->RunGeoChannelDialog(channel);
    else
        transceiver->RunChannelDialog(channel);
    return true;
}
