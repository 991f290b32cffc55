#include "app/widgets/IPAddressDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace app {

CIPAddressDialog::CIPAddressDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName("dialog_233");
    setWindowTitle("IP Address");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        if (i > 0)
            row->addWidget(new QLabel(".", this));
        m_fields[i] = new QSpinBox(this);
        m_fields[i]->setRange(0, 255);
        m_fields[i]->setObjectName(QString("octet_%1").arg(i));
        row->addWidget(m_fields[i]);
    }
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CIPAddressDialog::SetOctets(const std::array<int, 4>& octets)
{
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        m_fields[i]->setValue(octets[i]);  // clamped to 0..255 by the field
}

std::array<int, 4> CIPAddressDialog::Octets() const
{
    std::array<int, 4> out{};
    for (std::size_t i = 0; i < m_fields.size(); ++i)
        out[i] = m_fields[i]->value();
    return out;
}

}  // namespace app
