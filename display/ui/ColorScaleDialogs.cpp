#include "display/ui/ColorScaleDialogs.h"

#include "app/widgets/OwnedModalDialog.h"
#include "display/ui/ColorScaleDialog.h"
#include "display/ui/ColorScaleDialogQY210.h"
#include "display/ui/ColorScaleDialogRM30.h"
#include "platform/MessageBox.h"

namespace displayui {

namespace {

int Run(CColorScaleDialog& dialog, ColorScaleDialogValues& values, const IColorScaleDialogs::DialogOpened& opened)
{
    const int result = widgets::RunOwnedModal(dialog, opened);
    if (result == -1)
        return -1;
    if (result != QDialog::Accepted)
        return IDCANCEL;
    values = dialog.Values();
    return IDOK;
}

}  // namespace

int CColorScaleDialogs::RunColorScale(ColorScaleDialogValues& values, const DialogOpened& opened)
{
    switch (values.kind) {
    case ColorScaleDialogKind::QY210: {
        CColorScaleDialogQY210 dialog(values);
        return Run(dialog, values, opened);
    }
    case ColorScaleDialogKind::RM30: {
        CColorScaleDialogRM30 dialog(values);
        return Run(dialog, values, opened);
    }
    default: {
        CColorScaleDialog dialog(values);
        return Run(dialog, values, opened);
    }
    }
}

}  // namespace displayui
