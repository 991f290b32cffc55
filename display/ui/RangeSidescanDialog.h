// "Sidescan Range": the side-scan echogram: the port and starboard ranges, in the selected depth unit.
#pragma once

#include "display/ui/RangeDialog.h"

class CRangeSidescanDialog : public CRangeDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 265;
    CRangeSidescanDialog(double port, double starboard, QWidget* parent = nullptr);
    double Port() const { return Value(0); }
    double Starboard() const { return Value(1); }
};
