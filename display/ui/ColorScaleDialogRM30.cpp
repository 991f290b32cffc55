#include "display/ui/ColorScaleDialogRM30.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>

using widgets::WithId;

namespace {

constexpr CColorScaleDialog::Row kSchool = {"School Gain:", 1010, 1052, 1007};
constexpr CColorScaleDialog::Row kFish = {"Fish Gain:", 1013, 1053, 1008};
constexpr CColorScaleDialog::Row kBottom = {"Bottom Gain:", 1014, 1054, 1214};

}  // namespace

CColorScaleDialogRM30::CColorScaleDialogRM30(const ColorScaleDialogValues& values, QWidget* parent)
    : CColorScaleDialog(values, kTemplate, parent)
{
    auto* grid = new QGridLayout(this);
    grid->setVerticalSpacing(12);
    AddRow(grid, 0, 0, kSchool);
    // The fish row and its limit share a frame, made first so that it lies
    // under them; they keep the columns of the other rows.
    auto* frame = new QGroupBox(this);
    grid->addWidget(frame, 1, 0, 1, 7);
    AddRow(grid, 1, 1, kFish);
    m_limit = WithId(new QCheckBox("Limit Regulation Range", this), kLimitId);
    grid->addWidget(m_limit, 1, 6);
    AddRow(grid, 2, 2, kBottom);
    AddButtons(grid, 3);
    OnInitDialog();
    m_limit->setChecked(m_values.limitRegulation);
}

bool CColorScaleDialogRM30::DoDataExchange()
{
    ColorScaleDialogValues v = m_values;
    for (int i : {0, 1, 2})
        if (!ExchangeRow(i, v.values[i]))
            return false;
    v.limitRegulation = m_limit->isChecked();
    m_values = v;
    return true;
}
