#include "display/ui/EchogramDialogs.h"

#include "app/widgets/OwnedModalDialog.h"
#include "display/EchogramDoc.h"
#include "display/ui/EchogramDialog.h"
#include "display/ui/EchogramDialogQY210.h"
#include "display/ui/EchogramDialogRM30.h"
#include "display/ui/EchogramFilterDialog.h"
#include "display/ui/RangeBottomDialog.h"
#include "display/ui/RangeSidescanDialog.h"
#include "display/ui/RangeSlopeDialog.h"
#include "display/ui/RangeSurfaceDialog.h"
#include "display/ui/RangeTrawlDialog.h"
#include "platform/MessageBox.h"

namespace displayui {

namespace {

// The dialogs have no parent window, so a frame torn down meanwhile never
// deletes one under its runner; the document ends it instead when the
// document itself goes.
// IDOK, IDCANCEL, or -1 when the document ended the dialog: then neither
// the document nor its values may be touched any more.
int RunModal(QDialog& dialog, const CEchogramDoc::DialogOpened& opened)
{
    const int result = widgets::RunOwnedModal(dialog, opened);
    if (result == -1)
        return -1;
    return result == QDialog::Accepted ? IDOK : IDCANCEL;
}

}  // namespace

int CEchogramDialogs::RunSettings(CEchogramDoc::SettingsDialogValues& v, const DialogOpened& opened)
{
    auto run = [&](auto& dialog) {
        const int result = RunModal(dialog, opened);
        if (result == IDOK)
            v = dialog.Values();
        return result;
    };
    switch (v.templateId) {
    case CEchogramDoc::kQY210Template:
    case CEchogramDoc::kQY310Template: {
        CEchogramDialogQY210 dialog(v, v.templateId);
        return run(dialog);
    }
    case CEchogramDoc::kRM30Template: {
        CEchogramDialogRM30 dialog(v);
        return run(dialog);
    }
    default: {
        CEchogramDialog dialog(v);
        return run(dialog);
    }
    }
}

int CEchogramDialogs::RunRange(CEchogramDoc::RangeDialogValues& v, const DialogOpened& opened)
{
    switch (v.reference) {
    case CEchogramDoc::SURFACE: {
        CRangeSurfaceDialog dialog(v.range, v.start, v.autoRange, v.autoStart);
        const int result = RunModal(dialog, opened);
        if (result == IDOK) {
            v.range = dialog.Range();
            v.start = dialog.Start();
        }
        return result;
    }
    case CEchogramDoc::BOTTOM: {
        CRangeBottomDialog dialog(v.range, v.start);
        const int result = RunModal(dialog, opened);
        if (result == IDOK) {
            v.range = dialog.Range();
            v.start = dialog.Offset();
        }
        return result;
    }
    case CEchogramDoc::SLOPE: {
        CRangeSlopeDialog dialog(v.range);
        const int result = RunModal(dialog, opened);
        if (result == IDOK)
            v.range = dialog.Range();
        return result;
    }
    case CEchogramDoc::SIDESCAN: {
        CRangeSidescanDialog dialog(v.range, v.range1);
        const int result = RunModal(dialog, opened);
        if (result == IDOK) {
            v.range = dialog.Port();
            v.range1 = dialog.Starboard();
        }
        return result;
    }
    case CEchogramDoc::TRAWL: {
        CRangeTrawlDialog dialog(v.start);
        const int result = RunModal(dialog, opened);
        if (result == IDOK)
            v.start = dialog.Margin();
        return result;
    }
    default:
        return 0;
    }
}

int CEchogramDialogs::RunFilter(CEchogramDoc::FilterDialogValues& v, const DialogOpened& opened)
{
    CEchogramFilterDialog dialog(v);
    const int result = RunModal(dialog, opened);
    if (result == IDOK)
        v = dialog.Values();
    return result;
}

}  // namespace displayui
