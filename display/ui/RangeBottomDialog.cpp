#include "display/ui/RangeBottomDialog.h"

#include "display/ui/RangePresets.h"

CRangeBottomDialog::CRangeBottomDialog(double range, double offset, QWidget* parent)
    : CRangeDialog(kTemplate, "Bottom Range", parent)
{
    const QString unit = rangepresets::UnitText();
    AddColumn("Range", {1028, 1004, 1023, 1029, 1046, 1047}, rangepresets::RangePresets(1), range, 0, unit);
    AddColumn("Stop Relative Bottom", {1027, 1003, 1025, 1030, 1048, 1049}, rangepresets::StartPresets(1), offset, 0,
              unit);
    Finish();
}
