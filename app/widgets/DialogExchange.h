// Control ids and value exchange of the dialogs: every control
// carries its numeric id as its object name, radio groups read back as the
// index of the checked button (-1 when none is), and number fields are
// checked when OK is pressed, with the field at fault given the focus.
#pragma once

#include <QString>

#include <initializer_list>
#include <vector>

class QDialog;
class QDialogButtonBox;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace widgets {

// Names the control by its id, so that code and tests find it.
template <typename W>
W* WithId(W* widget, int id)
{
    widget->setObjectName(QString::number(id));
    widget->setProperty("controlId", id);
    return widget;
}

// Help button id shared by the echogram and range dialogs.
constexpr int kDialogHelpId = 57670;

// OK (id 1) and Cancel (id 2), and with `help` a Help button (kDialogHelpId)
// that acts as the dialog's F1; OK and Cancel end the dialog through its own
// accept and reject.
QDialogButtonBox* StandardButtons(QDialog* dialog, bool help);

// Index of the checked button, -1 when none is checked.
int CheckedIndex(const std::vector<QRadioButton*>& group);
// Checks button `index`; any other index leaves every button unchecked.
void SetCheckedIndex(const std::vector<QRadioButton*>& group, int index);

// One step up (delta > 0) or down of the whole number in the field, kept
// within [lower, upper]; a field that holds no number counts as 0.
void StepWholeNumber(QLineEdit* field, int delta, int lower, int upper);

// An unsigned whole number within [lo, hi] from the field; otherwise the
// message, the focus on the field and false.
bool TakeUnsigned(QLineEdit* field, unsigned lo, unsigned hi, unsigned& value);
// A whole number within [lo, hi] from the field, as the dialogs' integer
// fields take theirs: "Please enter an integer." for anything else than a
// whole number, "Please enter an integer between lo and hi." for one out of
// range; then the focus on the field and false.
bool TakeInt(QLineEdit* field, int lo, int hi, int& value);
// A number from the field without limits; otherwise as above.
bool TakeAnyDouble(QLineEdit* field, double& value);

}  // namespace widgets
