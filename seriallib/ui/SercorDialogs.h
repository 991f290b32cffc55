// Installs the dialogs of the serial library as the core's hooks; call once
// on the user-interface thread.
#pragma once

void InstallSercorDialogs();
