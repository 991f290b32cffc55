// "Surface Range": the surface-referenced echogram: its range and start depth, in the selected depth unit.
#pragma once

#include "display/ui/RangeDialog.h"

class CRangeSurfaceDialog : public CRangeDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 142;
    CRangeSurfaceDialog(double range, double start, bool autoRange, bool autoStart, QWidget* parent = nullptr);
    double Range() const { return Value(0); }
    double Start() const { return Value(1); }
};
