#include "plot/ui/PointEdit.h"

#include "plot/PlotIds.h"
#include "plot/ui/PlotFields.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

using plotfields::WithId;

CPointEdit::CPointEdit(double depth, double velocity, QWidget* parent)
    : QDialog(parent),
      m_depth(depth),
      m_velocity(velocity),
      m_depthField(WithId(new QLineEdit(plotfields::FormatNumber(depth), this), plot::IDC_POINT_DEPTH)),
      m_velocityField(WithId(new QLineEdit(plotfields::FormatNumber(velocity), this), plot::IDC_POINT_VELOCITY))
{
    setObjectName(QString::number(plot::IDD_POINT_EDIT));
    setWindowTitle(QStringLiteral("Point"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Depth:"), m_depthField);
    form->addRow(QStringLiteral("Sound velocity:"), m_velocityField);
    QDialogButtonBox* buttons = plotfields::OkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CPointEdit::accept()
{
    double depth = 0.0;
    double velocity = 0.0;
    if (!plotfields::TakeNumber(m_depthField, depth) || !plotfields::TakeNumber(m_velocityField, velocity))
        return;
    m_depth = depth;
    m_velocity = velocity;
    QDialog::accept();
}
