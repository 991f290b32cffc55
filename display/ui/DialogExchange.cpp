#include "display/ui/DialogExchange.h"

#include "engine/ui/DialogFields.h"
#include "platform/MessageBox.h"

#include <QLineEdit>
#include <QRadioButton>

#include <cmath>
#include <limits>

namespace displayui {

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

QString FormatValue(double value, int decimals) { return engineui::FormatNumber(value, decimals); }

bool TakeUnsigned(QLineEdit* field, unsigned lo, unsigned hi, unsigned& value)
{
    double v = 0.0;
    if (engineui::ParseNumber(field->text(), v) && v != std::floor(v)) {
        MessageBox(HWND{}, "Please enter a positive integer.", "", MB_OK | MB_ICONEXCLAMATION);
        field->setFocus();
        field->selectAll();
        return false;
    }
    if (!engineui::CheckRange(field, lo, hi, v))
        return false;
    value = static_cast<unsigned>(v);
    return true;
}

bool TakeDouble(QLineEdit* field, double lo, double hi, double& value)
{
    return engineui::CheckRange(field, lo, hi, value);
}

bool TakeAnyDouble(QLineEdit* field, double& value)
{
    return engineui::CheckRange(field, -std::numeric_limits<double>::max(), std::numeric_limits<double>::max(),
                                value);
}

} // namespace displayui
