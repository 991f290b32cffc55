#include "app/widgets/DialogExchange.h"

#include "app/widgets/DialogFields.h"
#include "platform/MessageBox.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace widgets {

void StepWholeNumber(QLineEdit* field, int delta, int lower, int upper)
{
    bool ok = false;
    const int now = field->text().trimmed().toInt(&ok);
    const int next = std::clamp((ok ? now : 0) + (delta > 0 ? 1 : -1), lower, std::max(lower, upper));
    field->setText(QString::number(next));
}

QDialogButtonBox* StandardButtons(QDialog* dialog, bool help)
{
    auto buttons = QDialogButtonBox::Ok | QDialogButtonBox::Cancel;
    if (help)
        buttons |= QDialogButtonBox::Help;
    auto* box = new QDialogButtonBox(buttons, dialog);
    WithId(box->button(QDialogButtonBox::Ok), 1);
    WithId(box->button(QDialogButtonBox::Cancel), 2);
    // Through the pointers to the virtual members, a dialog's own accept
    // (which checks its fields) runs.
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    if (help) {
        WithId(box->button(QDialogButtonBox::Help), kDialogHelpId);
        QObject::connect(box, &QDialogButtonBox::helpRequested, dialog, [dialog] {
            QCoreApplication::postEvent(dialog, new QKeyEvent(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier));
        });
    }
    return box;
}

int CheckedIndex(const std::vector<QRadioButton*>& group)
{
    for (std::size_t i = 0; i < group.size(); ++i)
        if (group[i]->isChecked())
            return static_cast<int>(i);
    return -1;
}

void SetCheckedIndex(const std::vector<QRadioButton*>& group, int index)
{
    for (std::size_t i = 0; i < group.size(); ++i) {
        // Auto-exclusive buttons refuse to be all unchecked; a value that no
        // button shows must leave them so.
        group[i]->setAutoExclusive(false);
        group[i]->setChecked(static_cast<int>(i) == index);
        group[i]->setAutoExclusive(true);
    }
}

bool TakeUnsigned(QLineEdit* field, unsigned lo, unsigned hi, unsigned& value)
{
    double v = 0.0;
    if (ParseNumber(field->text(), v) && v != std::floor(v)) {
        MessageBox(HWND{}, "Please enter a positive integer.", "", MB_OK | MB_ICONEXCLAMATION);
        field->setFocus();
        field->selectAll();
        return false;
    }
    if (!CheckRange(field, lo, hi, v))
        return false;
    value = static_cast<unsigned>(v);
    return true;
}

bool TakeInt(QLineEdit* field, int lo, int hi, int& value)
{
    auto refuse = [field](const std::string& text) {
        MessageBox(HWND{}, text, "", MB_OK | MB_ICONEXCLAMATION);
        field->setFocus();
        field->selectAll();
        return false;
    };
    // Decimal digits with a sign at most, whatever the locale.
    bool ok = false;
    const int v = field->text().trimmed().toInt(&ok, 10);
    if (!ok)
        return refuse("Please enter an integer.");
    if (v < lo || v > hi)
        return refuse("Please enter an integer between " + std::to_string(lo) + " and " + std::to_string(hi) + ".");
    value = v;
    return true;
}

bool TakeAnyDouble(QLineEdit* field, double& value)
{
    return CheckRange(field, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max(), value);
}

}  // namespace widgets
