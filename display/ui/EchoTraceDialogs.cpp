#include "display/ui/EchoTraceDialogs.h"

#include "app/widgets/OwnedModalDialog.h"
#include "display/ui/EchoTraceDialog.h"
#include "platform/MessageBox.h"

namespace displayui {

int CEchoTraceDialogs::RunEchoTraceDialog(CEchoTraceDoc& document, int& presentation, int& sizeScale,
                                          const CModalSession::DialogOpened& opened)
{
    // No parent window: a frame torn down meanwhile never deletes the
    // dialog under this call; the document ends it instead.
    CEchoTraceDialog dialog(document.GetContext().model, document.GetChannel(), m_calibration);
    dialog.m_presentation = presentation;
    dialog.m_sizeScale = sizeScale;
    dialog.ShowValues();
    const int result = widgets::RunOwnedModal(dialog, opened);
    if (result == -1)
        return -1;
    if (result != QDialog::Accepted)
        return IDCANCEL;
    presentation = dialog.m_presentation;
    sizeScale = dialog.m_sizeScale;
    return IDOK;
}

}  // namespace displayui
