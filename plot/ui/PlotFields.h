// Fields of the plot control's dialogs: each control named by its numeric
// id, numbers shown and read in the C locale, and the check made when OK is
// pressed, which names what is wanted and puts the focus on the field.
#pragma once

#include <QString>

class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QWidget;

namespace plotfields {

template <typename W>
W* WithId(W* widget, int id)
{
    widget->setObjectName(QString::number(id));
    return widget;
}

// OK (id 1) and Cancel (id 2), ending the dialog through its own accept
// and reject.
QDialogButtonBox* OkCancel(QDialog* dialog);

// Up to 15 significant digits, as short as the value allows ("1500",
// "12.5").
QString FormatNumber(double value);

// A finite number; otherwise "Please enter a number." and false.
bool TakeNumber(QLineEdit* field, double& value);
// Both ends finite numbers whose distance is one too; otherwise the
// message on the field at fault and false.
bool TakeRange(QLineEdit* from, QLineEdit* to, double& a, double& b);
// A whole number within [lo, hi]; otherwise the message and false.
bool TakeInteger(QLineEdit* field, int lo, int hi, int& value);

}  // namespace plotfields
