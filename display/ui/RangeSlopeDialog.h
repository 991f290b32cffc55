// "Slope Range": the along-track slope echogram's angle range, whole
// degrees 0 to 90.
#pragma once

#include "display/ui/RangeDialog.h"

class CRangeSlopeDialog : public CRangeDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 227;
    explicit CRangeSlopeDialog(double range, QWidget* parent = nullptr);
    double Range() const { return Value(0); }
};
