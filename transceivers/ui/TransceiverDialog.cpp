#include "transceivers/ui/TransceiverDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "base/EchosounderError.h"
#include "transceivers/Transceiver.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Speed of sound over two, cm/s: a pulse of t seconds spans t x 750 m.
constexpr double kHalfSoundCm = 750.0 * 100.0;

QString Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return QString::fromLatin1(text);
}

QSlider* MakeSlider(const char* name, int positions, int position, QWidget* parent)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setObjectName(name);
    slider->setRange(0, std::max(positions - 1, 0));
    slider->setPageStep(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setValue(position);
    return slider;
}

// A number field with its spin control, stepping by hundredths.
QLineEdit* NumberField(const char* name, double value, QWidget* parent, QLayout* row)
{
    auto* edit = new QLineEdit(widgets::FormatNumber(value, 2), parent);
    edit->setObjectName(name);
    auto* spin = new app::CSpinButtonDoubleCtrl(parent);
    spin->SetBuddy(edit);
    spin->SetRangeDouble(2, -1000.0, 1000.0);
    row->addWidget(edit);
    row->addWidget(spin);
    return edit;
}

int NearestIndex(double value, const double* table, int count)
{
    int best = 0;
    for (int i = 1; i < count; ++i)
        if (std::abs(table[i] - value) < std::abs(table[best] - value))
            best = i;
    return best;
}

double Number(const QLineEdit* field, double fallback)
{
    double v = fallback;
    return widgets::ParseNumber(field->text(), v) ? v : fallback;
}

}  // namespace

bool CTransceiverDialog::OffersFm(double frequency, bool fmChosen)
{
    return fmChosen || std::any_of(std::begin(TransceiverDialogValues::kFmFrequencies),
                                   std::end(TransceiverDialogValues::kFmFrequencies),
                                   [frequency](double f) { return frequency == f; });
}

double CTransceiverDialog::Resolution(bool fm, int position, double pulseLength, double firstPulseLength)
{
    if (fm)
        return 100.0 * 0.25 * firstPulseLength * 750.0 * static_cast<double>(1 << std::clamp(position, 0, 4));
    static constexpr double kDivisors[kCwPositions] = {4.0, 2.0, 1.0};
    return pulseLength * 0.25 * kHalfSoundCm / kDivisors[std::clamp(position, 0, kCwPositions - 1)];
}

double CTransceiverDialog::FmPulseLength(int position, double pulseLength)
{
    return pulseLength * static_cast<double>(2 << std::clamp(position, 0, kFmPositions - 1));
}

int CTransceiverDialog::TableLength(const double* table, int count)
{
    for (int i = 1; i < count; ++i)
        if (table[i] == table[i - 1])
            return i;
    return count;
}

CTransceiverDialog::CTransceiverDialog(const TransceiverDialogValues& values, QWidget* parent)
    : QDialog(parent),
      m_values(values),
      m_wideBand(values.templateId == TransceiverDialogValues::kTemplateWideBand),
      m_pulseCount(TableLength(values.pulseLengths, 5))
{
    setObjectName("CTransceiverDialog");
    setProperty("template", values.templateId);
    setWindowTitle("Transceiver Settings");
    auto* layout = new QVBoxLayout(this);

    auto* names = new QFormLayout;
    auto* channel = new QLineEdit(QString::fromStdString(values.channelName), this);
    channel->setObjectName("IDC_CHANNEL");
    channel->setReadOnly(true);
    names->addRow("Channel", channel);
    auto* type = new QLineEdit(QString::fromStdString(values.description.substr(0, kDescriptionLength)), this);
    type->setObjectName("IDC_TRANSDUCER_TYPE");
    type->setReadOnly(true);
    names->addRow("Transducer type", type);
    layout->addLayout(names);

    auto* modes = new QGroupBox("Mode", this);
    auto* modeRow = new QHBoxLayout(modes);
    for (const char* text : {"Active", "Passive", "Test"}) {
        auto* radio = new QRadioButton(text, modes);
        radio->setObjectName(QString("IDC_MODE_") + text);
        modeRow->addWidget(radio);
        m_mode.push_back(radio);
    }
    m_mode[CTransceiver::kTest]->setEnabled(values.testModeAllowed);
    widgets::SetCheckedIndex(m_mode, values.mode);
    layout->addWidget(modes);

    auto* transmit = new QGroupBox("Transmit", this);
    auto* grid = new QGridLayout(transmit);
    m_power = MakeSlider("IDC_POWER", 10, NearestIndex(values.power, values.powerSteps, 10), transmit);
    m_powerText = new QLabel(transmit);
    m_powerText->setObjectName("IDC_POWER_TEXT");
    grid->addWidget(new QLabel("Power (W)", transmit), 0, 0);
    grid->addWidget(m_power, 0, 1);
    grid->addWidget(m_powerText, 0, 2);
    m_pulse = MakeSlider("IDC_PULSE_LENGTH", m_pulseCount,
                         CTransceiver::FindTableIndex(values.pulseLength, values.pulseLengths, m_pulseCount), transmit);
    m_pulseText = new QLabel(transmit);
    m_pulseText->setObjectName("IDC_PULSE_LENGTH_TEXT");
    grid->addWidget(new QLabel("Pulse length (ms)", transmit), 1, 0);
    grid->addWidget(m_pulse, 1, 1);
    grid->addWidget(m_pulseText, 1, 2);
    layout->addWidget(transmit);

    if (m_wideBand) {
        auto* pulse = new QGroupBox("Pulse", this);
        auto* pulseGrid = new QGridLayout(pulse);
        m_fmCheck = new QCheckBox("FM pulse", pulse);
        m_fmCheck->setObjectName("IDC_FM_PULSE");
        m_doubleRate = new QCheckBox("Double sample rate", pulse);
        m_doubleRate->setObjectName("IDC_DOUBLE_SAMPLE_RATE");
        m_doubleRate->setChecked(values.doubleSampleRate != 0);
        pulseGrid->addWidget(m_fmCheck, 0, 0);
        pulseGrid->addWidget(m_doubleRate, 0, 1);
        int column = 0;
        for (const char* text : {"CW pulse", "FM pulse"}) {
            auto* radio = new QRadioButton(text, pulse);
            radio->setObjectName(column == 0 ? "IDC_CW" : "IDC_FM");
            pulseGrid->addWidget(radio, 1, column++);
            m_pulseType.push_back(radio);
        }
        auto* filters = new QGroupBox("CW filter", pulse);
        auto* filterRow = new QHBoxLayout(filters);
        for (const char* text : {"Round", "Flat"}) {
            auto* radio = new QRadioButton(text, filters);
            radio->setObjectName(QString("IDC_FILTER_") + text);
            filterRow->addWidget(radio);
            m_filter.push_back(radio);
        }
        // Another filter type (a unit's own) stays as it is unless one is chosen.
        widgets::SetCheckedIndex(m_filter, values.filterType);
        pulseGrid->addWidget(filters, 2, 0, 1, 2);
        // The slider starts where its value is nearest to the one kept.
        const bool fm = values.fmPulse != 0;
        m_resolution = MakeSlider("IDC_RESOLUTION", fm ? kFmPositions : kCwPositions, 0, pulse);
        double best = 1e300;
        for (int p = 0; p <= m_resolution->maximum(); ++p) {
            const double d = fm ? std::abs(FmPulseLength(p, values.pulseLength) - values.fmPulseLength)
                                : std::abs(Resolution(false, p, values.pulseLength, values.pulseLengths[0]) -
                                           values.cwResolutionLength);
            if (d < best) {
                best = d;
                m_resolution->setValue(p);
            }
        }
        m_resolutionText = new QLabel(pulse);
        m_resolutionText->setObjectName("IDC_RESOLUTION_TEXT");
        m_resolutionLabels = {new QLabel("Resolution (cm)", pulse), m_resolutionText};
        pulseGrid->addWidget(m_resolutionLabels[0], 3, 0);
        pulseGrid->addWidget(m_resolution, 3, 1);
        pulseGrid->addWidget(m_resolutionText, 3, 2);
        layout->addWidget(pulse);

        widgets::SetCheckedIndex(m_pulseType, fm ? 1 : 0);
        m_fmCheck->setChecked(fm);
        const bool offered = OffersFm(values.frequency, fm);
        m_fmCheck->setEnabled(offered);
        m_pulseType[1]->setEnabled(offered);
        m_resolution->setEnabled(offered);
        for (QLabel* label : m_resolutionLabels)
            label->setEnabled(offered);
        // The check box and the pulse type are one choice.
        connect(m_fmCheck, &QCheckBox::toggled, this, [this](bool on) {
            if (m_pulseType[on ? 1 : 0]->isChecked())
                return;
            m_pulseType[on ? 1 : 0]->setChecked(true);
        });
        connect(m_pulseType[1], &QRadioButton::toggled, this, [this](bool on) {
            m_fmCheck->setChecked(on);
            UpdatePulseType();
        });
        connect(m_resolution, &QSlider::valueChanged, this, [this] { UpdateTexts(); });
    }

    auto* place = new QGroupBox("Transducer", this);
    auto* form = new QFormLayout(place);
    const auto row = [&](const char* label, const char* name, double value) {
        auto* line = new QHBoxLayout;
        QLineEdit* edit = NumberField(name, value, place, line);
        form->addRow(label, line);
        return edit;
    };
    m_draught = row("Draught (m)", "IDC_DRAUGHT", values.draught);
    m_x = row("X forward (m)", "IDC_X", values.x);
    m_y = row("Y starboard (m)", "IDC_Y", values.y);
    m_z = row("Z downward (m)", "IDC_Z", values.z);
    auto* tide = new QLineEdit(widgets::FormatNumber(values.tide, 2), place);
    tide->setObjectName("IDC_TIDE");
    tide->setReadOnly(true);
    form->addRow("Real-time tide (m)", tide);
    m_label = new QLineEdit(QString::fromStdString(values.label), place);
    m_label->setObjectName("IDC_LABEL");
    m_label->setMaxLength(kLabelLength);
    form->addRow("Label", m_label);
    if (values.remark) {
        m_remark = new QLineEdit(QString::fromStdString(*values.remark), place);
        m_remark->setObjectName("IDC_REMARK");
        form->addRow("Remark", m_remark);
    }
    layout->addWidget(place);

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

    connect(m_power, &QSlider::valueChanged, this, [this] { UpdateTexts(); });
    connect(m_pulse, &QSlider::valueChanged, this, [this] { UpdateTexts(); });
    UpdateTexts();
}

bool CTransceiverDialog::IsFm() const
{
    return m_wideBand && m_pulseType[1]->isChecked();
}

double CTransceiverDialog::PulseLength() const
{
    return m_values.pulseLengths[std::clamp(m_pulse->value(), 0, 4)];
}

void CTransceiverDialog::UpdatePulseType()
{
    m_resolution->setRange(0, (IsFm() ? kFmPositions : kCwPositions) - 1);
    // FM is a choice of its own once made: its slider stays usable.
    m_resolution->setEnabled(OffersFm(m_values.frequency, IsFm()));
    UpdateTexts();
}

void CTransceiverDialog::UpdateTexts()
{
    m_powerText->setText(Format("%.1f", m_values.powerSteps[std::clamp(m_power->value(), 0, 9)]));
    const double pulse = PulseLength();
    const bool fm = IsFm();
    m_pulseText->setText(Format("%.3f", (fm ? FmPulseLength(m_resolution->value(), pulse) : pulse) * 1000.0));
    if (m_resolutionText)
        m_resolutionText->setText(
            Format("%.1f", Resolution(fm, m_resolution->value(), pulse, m_values.pulseLengths[0])));
}

void CTransceiverDialog::accept()
{
    double v = 0.0;
    for (QLineEdit* field : {m_draught, m_x, m_y, m_z})
        if (!widgets::TakeAnyDouble(field, v))
            return;
    QDialog::accept();
}

TransceiverDialogValues CTransceiverDialog::Values() const
{
    TransceiverDialogValues v = m_values;
    const int mode = widgets::CheckedIndex(m_mode);
    if (mode >= 0)
        v.mode = mode;
    v.power = m_values.powerSteps[std::clamp(m_power->value(), 0, 9)];
    v.pulseLength = PulseLength();
    v.draught = Number(m_draught, v.draught);
    v.x = Number(m_x, v.x);
    v.y = Number(m_y, v.y);
    v.z = Number(m_z, v.z);
    v.label = m_label->text().toStdString();
    if (m_remark)
        v.remark = m_remark->text().toStdString();
    if (m_wideBand) {
        const bool fm = IsFm();
        v.fmPulse = fm ? 1 : 0;
        v.doubleSampleRate = m_doubleRate->isChecked() ? 1 : 0;
        const int filter = widgets::CheckedIndex(m_filter);
        if (filter >= 0)
            v.filterType = filter;
        const double resolution = Resolution(fm, m_resolution->value(), v.pulseLength, m_values.pulseLengths[0]);
        v.resolutionLength = resolution;
        if (fm) {
            v.fmPulseLength = FmPulseLength(m_resolution->value(), v.pulseLength);
            v.fmResolutionLength = resolution;
        } else {
            v.cwResolutionLength = resolution;
        }
    }
    return v;
}
