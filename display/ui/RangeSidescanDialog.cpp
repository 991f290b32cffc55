#include "display/ui/RangeSidescanDialog.h"

#include "display/ui/RangePresets.h"

CRangeSidescanDialog::CRangeSidescanDialog(double port, double starboard, QWidget* parent)
    : CRangeDialog(kTemplate, "Sidescan Range", parent)
{
    const QString unit = rangepresets::UnitText();
    AddColumn("Port", {1028, 1003, 1023, 1029, 1046, 1047}, rangepresets::StartPresets(0), port, 0, unit);
    AddColumn("Starboard", {1027, 1004, 1025, 1030, 1048, 1049}, rangepresets::StartPresets(0), starboard, 0, unit);
    Finish();
}
