// Number fields of the dialogs: text in the C locale whatever
// locale Qt has, and the range check made when OK is pressed, with the
// usual message and the focus put back on the field at fault.
#pragma once

#include <QLineEdit>
#include <QString>

namespace widgets {

// "%.<decimals>f" in the C locale.
QString FormatNumber(double v, int decimals);
// True with the value when the whole text is a number.
bool ParseNumber(const QString& text, double& value);
// True when the field holds a number within [lo, hi]; otherwise shows
// "Please enter a number between lo and hi." (or that a number is wanted)
// and gives the field the focus.
bool CheckRange(QLineEdit* field, double lo, double hi, double& value);

}  // namespace widgets
