// The QY models' colour scale dialog: four TVG rows, the 30 log row among
// them.
#pragma once

#include "display/ui/ColorScaleDialog.h"

class CColorScaleDialogQY210 : public CColorScaleDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 206;
    explicit CColorScaleDialogQY210(const ColorScaleDialogValues& values, QWidget* parent = nullptr);
    // The rows from the top, but the 40 log row before the 30 log row.
    bool DoDataExchange() override;
};
