// Installs the engine's detection dialogs as the runners the core objects
// call (bottom detector, slope, single-target detection, fish). Called
// once on the user-interface thread; each runner shows its dialog modally
// over the active window.
#pragma once

namespace engineui {

void InstallDetectionDialogs();
void RemoveDetectionDialogs();

}  // namespace engineui
