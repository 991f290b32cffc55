// Runs a modal dialog that an owner (a processing part, a document) holds
// while it runs, so that the owner's destructor can end it.
#pragma once

#include "base/ModalSession.h"

class QDialog;

namespace widgets {

// The dialog's result (QDialog::Accepted or Rejected), or -1 when its owner
// ended it: the owner is gone then, and neither it nor the values it handed
// over may be touched any more. The dialog should have no parent window, so
// that a frame torn down meanwhile never deletes it under this call.
int RunOwnedModal(QDialog& dialog, const CModalSession::DialogOpened& opened);

}  // namespace widgets
