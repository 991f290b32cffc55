// Puts the display's Qt dialogs behind the echogram document's launchers.
// The program installs them once at start-up; tests install and remove them
// around a case.
#pragma once

class QDialog;

namespace displayui {

void InstallEchogramDialogs();
void RemoveEchogramDialogs();

}  // namespace displayui
