#include "display/ui/EchogramDialogRM30.h"

CEchogramDialogRM30::CEchogramDialogRM30(const CEchogramDoc::SettingsDialogValues& values, QWidget* parent)
    : CEchogramDialog(values, true, parent)
{}
