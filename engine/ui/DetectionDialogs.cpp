#include "engine/ui/DetectionDialogs.h"

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

void InstallDetectionDialogs()
{
    CBottomDetector::SetDialogRunner([](CBottomDetector::DialogValues& v) {
        CBottomDetectorDialog dialog(v, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        v = dialog.Values();
        return true;
    });
    CSlope::SetDialogRunner([](CSlope::DialogValues& v) {
        CSlopeDialog dialog(v, QApplication::activeWindow());
        if (dialog.exec() != QDialog::Accepted)
            return false;
        v = dialog.Values();
        return true;
    });
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

} // namespace engineui
