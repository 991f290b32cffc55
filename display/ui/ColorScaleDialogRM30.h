// The RM30's colour scale dialog: the school, fish and bottom gains, and
// beside the fish row "Limit Regulation Range", which limits the gain
// regulation of the 40 log TVG.
#pragma once

#include "display/ui/ColorScaleDialog.h"

class QCheckBox;

class CColorScaleDialogRM30 : public CColorScaleDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 207;
    static constexpr int kLimitId = 1301;
    explicit CColorScaleDialogRM30(const ColorScaleDialogValues& values, QWidget* parent = nullptr);
    // The three rows from the top, then the check box.
    bool DoDataExchange() override;

private:
    QCheckBox* m_limit = nullptr;
};
