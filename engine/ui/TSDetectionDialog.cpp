#include "engine/ui/TSDetectionDialog.h"

#include "app/widgets/DialogFields.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

const std::array<CTSDetectionDialog::Field, 4> CTSDetectionDialog::kFields = {{
    {"Min. Echo Length:", "IDC_MIN_ECHO_LENGTH", 0.0, 5.0},
    {"Max. Echo Length:", "IDC_MAX_ECHO_LENGTH", 0.0, 5.0},
    {"Max. Gain Compensation:", "IDC_MAX_GAIN_COMPENSATION", 0.0, 6.0},
    {"Max. Phase Deviation:", "IDC_MAX_PHASE_DEVIATION", 0.0, 10.0},
}};

CTSDetectionDialog::CTSDetectionDialog(const CTSDetection::Settings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings)
{
    setObjectName("CTSDetectionDialog");
    setWindowTitle("Single Target Detection");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const double values[4] = {settings.MinEchoLength, settings.MaxEchoLength, settings.MaxGainCompensation,
                              settings.MaxPhaseDeviation};
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        m_edits[i] = new QLineEdit(widgets::FormatNumber(values[i], 2), this);
        m_edits[i]->setObjectName(kFields[i].Name);
        form->addRow(kFields[i].Label, m_edits[i]);
    }
    layout->addLayout(form);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CTSDetectionDialog::accept()
{
    double v[4];
    for (std::size_t i = 0; i < kFields.size(); ++i)
        if (!widgets::CheckRange(m_edits[i], kFields[i].Minimum, kFields[i].Maximum, v[i]))
            return;
    m_settings.MinEchoLength = v[0];
    m_settings.MaxEchoLength = v[1];
    m_settings.MaxGainCompensation = v[2];
    m_settings.MaxPhaseDeviation = v[3];
    QDialog::accept();
}
