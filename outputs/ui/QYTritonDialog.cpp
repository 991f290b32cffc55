#include "outputs/ui/QYTritonDialog.h"

#include "app/widgets/DialogExchange.h"
#include "outputs/ui/DestinationFields.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

namespace outputsui {

CQYTritonDialog::CQYTritonDialog(const CQYTriton::DialogValues& values, QWidget* parent)
    : QDialog(parent), m_values(values)
{
    setWindowTitle("Raw Data Interface");
    setObjectName("dialog_" + QString::number(kTemplate));
    auto* layout = new QVBoxLayout(this);
    m_destination = new CDestinationFields(values.address, values.port);
    layout->addWidget(m_destination);
    m_enabled = widgets::WithId(new QCheckBox("Output Enabled"), 1374);
    m_enabled->setChecked(values.enabled);
    layout->addWidget(m_enabled);
    layout->addWidget(widgets::StandardButtons(this, true));
}

void CQYTritonDialog::accept()
{
    CQYTriton::DialogValues v = m_values;
    if (!m_destination->Take(v.address, v.port))
        return;
    v.enabled = m_enabled->isChecked();
    m_values = v;
    QDialog::accept();
}

void CQYTritonDialog::Run(CQYTriton& output, QWidget* parent)
{
    const CQYTriton::DialogValues opened = output.GetDialogValues();
    CQYTritonDialog dialog(opened, parent);
    if (dialog.exec() == QDialog::Accepted)
        output.ApplyDialogValues(opened, dialog.Values());
}

}  // namespace outputsui
