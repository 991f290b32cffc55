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
#include <QPointer>

namespace engineui {

namespace {

// The detector's or tracker's hold on its running dialog. Those two dialogs
// have no parent window, so a frame torn down meanwhile never deletes one
// under its runner; the part ends it instead when the part itself goes.
class OpenDialog final : public CModalSession::IOpenDialog
{
public:
    explicit OpenDialog(QDialog& dialog) : m_dialog(&dialog) {}
    void EndDialog(int result) override
    {
        m_endedByOwner = true;
        if (m_dialog)
            m_dialog->done(result);
    }
    bool EndedByOwner() const { return m_endedByOwner; }

private:
    QPointer<QDialog> m_dialog;
    bool m_endedByOwner = false;
};

// Shows the dialog and hands its values back on OK only: a dialog its
// owner ended was not confirmed.
template <typename Dialog, typename Values>
bool RunTracked(Values& v, const CModalSession::DialogOpened& opened)
{
    Dialog dialog(v);
    OpenDialog handle(dialog);
    if (opened)
        opened(&handle);
    const int result = dialog.exec();
    if (handle.EndedByOwner() || result != QDialog::Accepted)
        return false;
    v = dialog.Values();
    return true;
}

} // namespace

void InstallDetectionDialogs()
{
    CBottomDetector::SetDialogRunner(CBottomDetector::TrackedDialogRunner(RunTracked<CBottomDetectorDialog,
                                                                                      CBottomDetector::DialogValues>));
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

} // namespace engineui
