#include "display/ui/ColorScaleDialogQY210.h"

#include <QGridLayout>

namespace {

constexpr CColorScaleDialog::Row kRows[] = {
    {"No TVG", 1012, 1051, 1006},
    {"20 log TVG", 1014, 1054, 1214},
    {"30 log TVG", 1015, 1055, 1215},
    {"40 log TVG", 1016, 1056, 1216},
};

}  // namespace

CColorScaleDialogQY210::CColorScaleDialogQY210(const ColorScaleDialogValues& values, QWidget* parent)
    : CColorScaleDialog(values, kTemplate, parent)
{
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 4; ++i)
        AddRow(grid, i, i, kRows[i]);
    AddButtons(grid, 4);
    OnInitDialog();
}

bool CColorScaleDialogQY210::DoDataExchange()
{
    ColorScaleDialogValues v = m_values;
    for (int i : {0, 1, 3, 2})
        if (!ExchangeRow(i, v.values[i]))
            return false;
    m_values = v;
    return true;
}
