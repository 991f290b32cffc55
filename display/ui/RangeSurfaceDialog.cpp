#include "display/ui/RangeSurfaceDialog.h"

#include "display/ui/RangePresets.h"

CRangeSurfaceDialog::CRangeSurfaceDialog(double range, double start, bool autoRange, bool autoStart, QWidget* parent)
    : CRangeDialog(kTemplate, "Surface Range", parent)
{
    const QString unit = rangepresets::UnitText();
    AddColumn("Range", {1028, 1004, 1023, 1029, 1046, 1047}, rangepresets::RangePresets(0), range, 0, unit);
    AddColumn("Start Relative Surface", {1027, 1003, 1025, 1030, 1048, 1049}, rangepresets::StartPresets(0), start, 0,
              unit);
    // A value under automatic control is not edited here.
    SetColumnEnabled(0, !autoRange);
    SetColumnEnabled(1, !autoStart);
    Finish();
}
