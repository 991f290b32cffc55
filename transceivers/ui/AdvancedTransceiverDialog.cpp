#include "transceivers/ui/AdvancedTransceiverDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

CAdvancedTransceiverDialog::CAdvancedTransceiverDialog(const AdvancedTransceiverDialogValues& values, QWidget* parent)
    : QDialog(parent)
{
    using A = AdvancedTransceiverDialogValues;
    setObjectName("CAdvancedTransceiverDialog");
    setProperty("template", A::kTemplate);
    setWindowTitle("Advanced Transceiver");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    struct Row
    {
        A::Control id;
        const char* label;
    };
    static constexpr Row kRows[] = {
        {A::kFrequency, "Frequency (Hz)"},
        {A::kAngleOffsetAlongship, "Angle Offset alongship (degrees)"},
        {A::kAngleOffsetAthwartship, "Angle Offset athwartship (degrees)"},
        {A::kBeamWidthAlongship, "3dB Beam Width alongship (degrees)"},
        {A::kBeamWidthAthwartship, "3dB Beam Width athwartship (degrees)"},
        {A::kBeamType, "Beam Type"},
        {A::kBandwidth, "Bandwidth (Hz)"},
        {A::kGain, "Gain (dB)"},
        {A::kSampleInterval, "Sample Interval (m)"},
        {A::kSoundVelocity, "Sound Velocity (m/s)"},
        {A::kTwoWayBeamAngle, "Two-way Beam Angle (dB)"},
        {A::kAngleSensitivityAlongship, "Angle Sensitivity alongship"},
        {A::kAngleSensitivityAthwartship, "Angle Sensitivity athwartship"},
        {A::kAbsorption, "Absorption (dB/km)"},
    };
    static_assert(std::size(kRows) == A::kCount);
    for (const Row& row : kRows) {
        auto* field = widgets::WithId(new QLineEdit(QString::fromStdString(values.Text(row.id)), this), row.id);
        field->setReadOnly(true);
        form->addRow(row.label, field);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
