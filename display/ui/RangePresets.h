// The preset lists of the range dialogs, taken from the selected depth
// unit's tables, and the unit text of their labels.
#pragma once

#include "display/ui/RangeDialog.h"

namespace rangepresets {

// Range presets of table 0 (surface) or 1 (bottom).
CRangeDialog::Presets RangePresets(int table);
// Range-start presets of table 0 or 1.
CRangeDialog::Presets StartPresets(int table);
// Small-step presets.
CRangeDialog::Presets FineStepPresets();
// Whole degrees 0 to 90; a value's slider position is its whole part.
CRangeDialog::Presets DegreePresets();
// The selected unit's short symbol, with its leading blank.
QString UnitText();

}  // namespace rangepresets
