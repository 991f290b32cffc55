// Installs the dialogs of the serial library as the core's hooks; call once
// on the user-interface thread.
#pragma once

void InstallSercorDialogs();

// The same for a program that loads the shared dialog library at run time
// and finds it by this name.
extern "C" void InstallSercorDialogsEntry();
