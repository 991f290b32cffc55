// The Qt presenter of the message-box service: a QMessageBox with the
// buttons, icon and default button the flags ask for.
#pragma once

#include "platform/WinTypes.h"

#include <string>

namespace app {

// Installs the presenter on the calling (user-interface) thread.
void InstallQtMessageBoxPresenter();

int ShowQtMessageBox(HWND owner, const std::string& text, const std::string& caption, UINT flags);

}  // namespace app
