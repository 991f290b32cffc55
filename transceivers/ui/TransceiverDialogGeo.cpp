#include "transceivers/ui/TransceiverDialogGeo.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "base/EchosounderError.h"
#include "transceivers/Transceiver.h"
#include "transceivers/ui/TransceiverDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>

CTransceiverDialogGeo::CTransceiverDialogGeo(const GeoTransceiverDialogValues& values, QWidget* parent)
    : QDialog(parent), m_values(values)
{
    setObjectName("CTransceiverDialogGeo");
    setProperty("template", GeoTransceiverDialogValues::kTemplate);
    setWindowTitle("Transceiver Settings");
    auto* layout = new QVBoxLayout(this);

    const int count = CTransceiverDialog::TableLength(values.sampleIntervals, 5);
    m_interval = new QSlider(Qt::Horizontal, this);
    m_interval->setObjectName("IDC_SAMPLE_INTERVAL");
    m_interval->setRange(0, count - 1);
    m_interval->setPageStep(1);
    m_interval->setTickPosition(QSlider::TicksBelow);
    m_interval->setValue(CTransceiver::FindTableIndex(values.sampleInterval, values.sampleIntervals, count));
    m_intervalText = new QLabel(this);
    m_intervalText->setObjectName("IDC_SAMPLE_INTERVAL_TEXT");
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(new QLabel("Sample interval (us)", this));
    intervalRow->addWidget(m_interval);
    intervalRow->addWidget(m_intervalText);
    layout->addLayout(intervalRow);

    auto* form = new QFormLayout;
    const auto field = [&](const char* label, const char* name, double value) {
        auto* line = new QHBoxLayout;
        auto* edit = new QLineEdit(widgets::FormatNumber(value, 2), this);
        edit->setObjectName(name);
        auto* spin = new app::CSpinButtonDoubleCtrl(this);
        spin->SetBuddy(edit);
        spin->SetRangeDouble(2, -1000.0, 1000.0);
        line->addWidget(edit);
        line->addWidget(spin);
        form->addRow(label, line);
        return edit;
    };
    m_draught = field("Draught (m)", "IDC_DRAUGHT", values.draught);
    m_x = field("X forward (m)", "IDC_X", values.x);
    m_y = field("Y starboard (m)", "IDC_Y", values.y);
    m_z = field("Z downward (m)", "IDC_Z", values.z);
    m_roll = field("Roll (deg)", "IDC_ROLL", values.roll);
    m_pitch = field("Pitch (deg)", "IDC_PITCH", values.pitch);
    m_azimuth = field("Azimuth (deg)", "IDC_AZIMUTH", values.azimuth);
    auto* tide = new QLineEdit(widgets::FormatNumber(values.tide, 2), this);
    tide->setObjectName("IDC_TIDE");
    tide->setReadOnly(true);
    form->addRow("Real-time tide (m)", tide);
    m_label = new QLineEdit(QString::fromStdString(values.label), this);
    m_label->setObjectName("IDC_LABEL");
    m_label->setMaxLength(CTransceiverDialog::kLabelLength);
    form->addRow("Label", m_label);
    layout->addLayout(form);

    auto* advanced = new QPushButton("Advanced...", this);
    advanced->setObjectName("IDC_ADVANCED");
    connect(advanced, &QPushButton::clicked, this, [this] {
        if (!m_values.advanced)
            ECHOSOUNDER_FATAL_ERROR("m_pChannel == NULL");
        m_values.advanced();
    });
    auto* buttons = widgets::StandardButtons(this, false);
    buttons->addButton(advanced, QDialogButtonBox::ActionRole);
    layout->addWidget(buttons);

    connect(m_interval, &QSlider::valueChanged, this, [this] { UpdateText(); });
    UpdateText();
}

void CTransceiverDialogGeo::UpdateText()
{
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", m_values.sampleIntervals[std::clamp(m_interval->value(), 0, 4)] * 1e6);
    m_intervalText->setText(QString::fromLatin1(text));
}

void CTransceiverDialogGeo::accept()
{
    double v = 0.0;
    for (QLineEdit* field : {m_draught, m_x, m_y, m_z, m_roll, m_pitch, m_azimuth})
        if (!widgets::TakeAnyDouble(field, v))
            return;
    QDialog::accept();
}

GeoTransceiverDialogValues CTransceiverDialogGeo::Values() const
{
    GeoTransceiverDialogValues v = m_values;
    const auto number = [](const QLineEdit* field, double fallback) {
        double value = fallback;
        return widgets::ParseNumber(field->text(), value) ? value : fallback;
    };
    v.sampleInterval = m_values.sampleIntervals[std::clamp(m_interval->value(), 0, 4)];
    v.draught = number(m_draught, v.draught);
    v.x = number(m_x, v.x);
    v.y = number(m_y, v.y);
    v.z = number(m_z, v.z);
    v.roll = number(m_roll, v.roll);
    v.pitch = number(m_pitch, v.pitch);
    v.azimuth = number(m_azimuth, v.azimuth);
    v.label = m_label->text().toStdString();
    return v;
}
