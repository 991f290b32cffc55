#include "engine/ui/SlopeDialog.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CSlopeDialog::CSlopeDialog(const CSlope::DialogValues& values, QWidget* parent) : QDialog(parent)
{
    setObjectName("CSlopeDialog");
    setWindowTitle("Slope Settings");
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox("Manual Slope", this);
    auto* radios = new QHBoxLayout(group);
    m_on = new QRadioButton("On ", group);
    m_on->setObjectName("IDC_SLOPE_ON");
    m_off = new QRadioButton("Off", group);
    m_off->setObjectName("IDC_SLOPE_OFF");
    radios->addWidget(m_on);
    radios->addWidget(m_off);
    layout->addWidget(group);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel("Filter Size", this));
    m_size = new QSpinBox(this);
    m_size->setObjectName("IDC_FILTER_SIZE");
    m_size->setRange(kMinFilterSize, CSlope::kMaxPoints);
    m_size->setSingleStep(1);
    m_size->setValue(values.FilterSize);
    row->addWidget(m_size);
    row->addWidget(new QLabel("Ping", this));
    layout->addLayout(row);

    (values.HistoryOn ? m_on : m_off)->setChecked(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

CSlope::DialogValues CSlopeDialog::Values() const
{
    CSlope::DialogValues v;
    v.HistoryOn = m_on->isChecked();
    v.FilterSize = m_size->value();
    return v;
}
