#include "display/ui/RangeSlopeDialog.h"

#include "display/ui/RangePresets.h"

CRangeSlopeDialog::CRangeSlopeDialog(double range, QWidget* parent) : CRangeDialog(kTemplate, "Slope Range", parent)
{
    AddColumn("Range", {1318, 1320, 1319, 1030, 1046, 1047}, rangepresets::DegreePresets(), range, 0, "deg");
    Finish();
}
