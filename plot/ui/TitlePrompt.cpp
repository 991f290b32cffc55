#include "plot/ui/TitlePrompt.h"

#include "plot/PlotIds.h"
#include "plot/ui/PlotFields.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

CTitlePrompt::CTitlePrompt(const QString& title, QWidget* parent)
    : QDialog(parent), m_field(plotfields::WithId(new QLineEdit(title, this), plot::IDC_TITLE_TEXT))
{
    setObjectName(QString::number(plot::IDD_TITLE_PROMPT));
    setWindowTitle(QStringLiteral("Curve title"));
    QDialogButtonBox* buttons = plotfields::OkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Title:"), this));
    layout->addWidget(m_field);
    layout->addWidget(buttons);
    m_field->selectAll();
}

QString CTitlePrompt::GetTitle() const
{
    return m_field->text();
}
