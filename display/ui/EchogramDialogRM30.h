// The RM30's echogram settings dialog ("Echogram Dialog"): the general
// dialog with the two gain buttons "School" and "Fish".
#pragma once

#include "display/ui/EchogramDialog.h"

class CEchogramDialogRM30 : public CEchogramDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = CEchogramDoc::kRM30Template;
    explicit CEchogramDialogRM30(const CEchogramDoc::SettingsDialogValues& values, QWidget* parent = nullptr);
};
