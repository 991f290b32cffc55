#include "plot/ui/AxisPage.h"

#include "plot/PlotIds.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/PlotFields.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

using plotfields::WithId;

CAxisPage::CAxisPage(CGraphView& view, QWidget* parent) : CGraphSheetPage(parent), m_view(view)
{
    setObjectName(QString::number(plot::IDD_AXIS_PAGE));
    const CAxisFormat& x = view.GetAxisFormat(plot::kAxisX);
    const CAxisFormat& y = view.GetAxisFormat(plot::kAxisY);
    const auto field = [this](const QString& text, int id) { return WithId(new QLineEdit(text, this), id); };
    m_xCaption = field(QString::fromStdString(x.GetCaption()), plot::IDC_AXIS_X_CAPTION);
    m_xUnit = field(QString::fromStdString(x.GetUnit()), plot::IDC_AXIS_X_UNIT);
    m_xDecimals = field(QString::number(x.GetDecimals()), plot::IDC_AXIS_X_DECIMALS);
    m_yDecimals = field(QString::number(y.GetDecimals()), plot::IDC_AXIS_Y_DECIMALS);
    m_yCaption = field(QString::fromStdString(y.GetCaption()), plot::IDC_AXIS_Y_CAPTION);
    m_yUnit = field(QString::fromStdString(y.GetUnit()), plot::IDC_AXIS_Y_UNIT);

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Horizontal axis"), this), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Vertical axis"), this), 0, 2);
    const QString labels[] = {QStringLiteral("Caption:"), QStringLiteral("Unit:"), QStringLiteral("Decimals:")};
    QLineEdit* const columns[][3] = {{m_xCaption, m_xUnit, m_xDecimals}, {m_yCaption, m_yUnit, m_yDecimals}};
    for (int row = 0; row < 3; ++row) {
        layout->addWidget(new QLabel(labels[row], this), row + 1, 0);
        layout->addWidget(columns[0][row], row + 1, 1);
        layout->addWidget(columns[1][row], row + 1, 2);
    }
    layout->setRowStretch(4, 1);
}

bool CAxisPage::Validate()
{
    return plotfields::TakeInteger(m_xDecimals, 0, CAxisFormat::kMaxDecimals, m_xDecimalsValue) &&
           plotfields::TakeInteger(m_yDecimals, 0, CAxisFormat::kMaxDecimals, m_yDecimalsValue);
}

void CAxisPage::Apply()
{
    m_view.SetAxisCaption(m_xCaption->text().toStdString(), m_xUnit->text().toStdString(), m_xDecimalsValue,
                          plot::kAxisX, 0);
    m_view.SetAxisCaption(m_yCaption->text().toStdString(), m_yUnit->text().toStdString(), m_yDecimalsValue,
                          plot::kAxisY, 0);
}
