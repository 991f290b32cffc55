#include "engine/ui/DetectionDialogs.h"

#include "app/widgets/OwnedModalDialog.h"
#include "base/AppIds.h"
#include "engine/ui/BottomDetectorDialog.h"
#include "engine/ui/FishDialog.h"
#include "engine/ui/SlopeDialog.h"
#include "engine/ui/TSDetectionDialog.h"
#include "platform/MessageDispatcher.h"

#include <QApplication>

namespace engineui {

namespace {

// Shows the dialog and hands its values back on OK only: a dialog its
// owner ended was not confirmed.
template <typename Dialog, typename Values>
bool RunTracked(Values& v, const CModalSession::DialogOpened& opened)
{
    // No parent: the part ends the dialog when it goes, a frame never does.
    Dialog dialog(v);
    if (widgets::RunOwnedModal(dialog, opened) != QDialog::Accepted)
        return false;
    v = dialog.Values();
    return true;
}

}  // namespace

bool CDetectionDialogs::RunBottomDetector(CBottomDetector::DialogValues& values, const DialogOpened& opened)
{
    return RunTracked<CBottomDetectorDialog>(values, opened);
}

bool CDetectionDialogs::RunSlope(CSlope::DialogValues& values, const DialogOpened& opened)
{
    return RunTracked<CSlopeDialog>(values, opened);
}

bool CDetectionDialogs::RunTSDetection(CTSDetection::Settings& settings)
{
    CTSDetectionDialog dialog(settings, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings = dialog.Settings();
    return true;
}

bool CDetectionDialogs::RunFish(CFish::DialogValues& values)
{
    CFishDialog dialog(values, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.Values();
    return true;
}

void CDetectionDialogs::BottomDetectorChanged()
{
    PostMessage(GetMainWindow(), app::WM_ES_UPDATECHANNELSTATUS, 0, 0);
}

}  // namespace engineui
