// "Bottom Range": the bottom-referenced echogram: its range and how far the picture reaches below the bottom, in the selected depth unit.
#pragma once

#include "display/ui/RangeDialog.h"

class CRangeBottomDialog : public CRangeDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 143;
    CRangeBottomDialog(double range, double offset, QWidget* parent = nullptr);
    double Range() const { return Value(0); }
    double Offset() const { return Value(1); }
};
