#include "display/ui/RangeTrawlDialog.h"

#include "display/ui/RangePresets.h"

CRangeTrawlDialog::CRangeTrawlDialog(double margin, QWidget* parent) : CRangeDialog(kTemplate, "Trawl Range", parent)
{
    AddColumn("Echogram Margin", {1143, 1144, 1147, 1029, 1145, 1146}, rangepresets::FineStepPresets(), margin, 1,
              rangepresets::UnitText());
    Finish();
}
