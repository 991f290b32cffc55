#include "transceivers/ui/TransceiverDialogs.h"

#include "app/widgets/OwnedModalDialog.h"
#include "transceivers/ui/AdvancedTransceiverDialog.h"
#include "transceivers/ui/TransceiverDialog.h"
#include "transceivers/ui/TransceiverDialogGeo.h"

namespace transceiversui {

namespace {

// 1 on OK with the values edited, 0 on Cancel, -1 when the owner ended it.
template <typename Dialog, typename Values>
int RunEditing(Values& values, const CModalSession::DialogOpened& opened)
{
    Dialog dialog(values);
    const int result = widgets::RunOwnedModal(dialog, opened);
    if (result < 0)
        return -1;
    if (result != QDialog::Accepted)
        return 0;
    values = dialog.Values();
    return 1;
}

}  // namespace

int CTransceiverDialogs::RunChannel(TransceiverDialogValues& values, const DialogOpened& opened)
{
    return RunEditing<CTransceiverDialog>(values, opened);
}

int CTransceiverDialogs::RunGeoChannel(GeoTransceiverDialogValues& values, const DialogOpened& opened)
{
    return RunEditing<CTransceiverDialogGeo>(values, opened);
}

int CTransceiverDialogs::RunAdvanced(const AdvancedTransceiverDialogValues& values, const DialogOpened& opened)
{
    CAdvancedTransceiverDialog dialog(values);
    const int result = widgets::RunOwnedModal(dialog, opened);
    return result < 0 ? -1 : (result == QDialog::Accepted ? 1 : 0);
}

}  // namespace transceiversui
