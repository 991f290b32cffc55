#include "engine/ui/DetectionDialogs.h"

#include "app/widgets/OwnedModalDialog.h"
#include "engine/BottomDetector.h"
#include "engine/Fish.h"
#include "engine/Slope.h"
#include "engine/TSDetection.h"
#include "engine/ui/BottomDetectorDialog.h"
#include "engine/ui/FishDialog.h"
#include "engine/ui/SlopeDialog.h"
#include "engine/ui/TSDetectionDialog.h"

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

void InstallDetectionDialogs()
{
    CBottomDetector::SetDialogRunner(
        CBottomDetector::TrackedDialogRunner(RunTracked<CBottomDetectorDialog, CBottomDetector::DialogValues>));
    CSlope::SetDialogRunner(CSlope::TrackedDialogRunner(RunTracked<CSlopeDialog, CSlope::DialogValues>));
    CTSDetection::SetDialogRunner([](CTSDetection::Settings& s) {
        CTSDetectionDialog dialog(s, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        s = dialog.Settings();
        return true;
    });
    CFish::SetDialogRunner([](CFish::DialogValues& v) {
        CFishDialog dialog(v, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        v = dialog.Values();
        return true;
    });
}

void RemoveDetectionDialogs()
{
    CBottomDetector::SetDialogRunner(nullptr);
    CSlope::SetDialogRunner(nullptr);
    CTSDetection::SetDialogRunner(nullptr);
    CFish::SetDialogRunner(nullptr);
}

}  // namespace engineui
