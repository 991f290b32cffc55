#include "sensors/ui/HeaveDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "base/StringTable.h"
#include "sensors/ui/DepthOutputDialog.h"
#include "sensors/ui/SensorSetup.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

CHeaveDialog::CHeaveDialog(CHeave& heave, QWidget* parent)
    : CSensorDialog(heave, "Heave Sensor", parent), m_heave(heave), m_working(heave.GetSettings())
{
    setObjectName("dialog_203");
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;

    auto* modeBox = new QGroupBox("Input", this);
    auto* modeLayout = new QVBoxLayout(modeBox);
    m_mode = new QButtonGroup(this);
    const std::pair<const char*, int> modes[] = {
        {"Off", IDC_OFF}, {"Analog", IDC_ANALOG}, {"Serial Line", IDC_SERIAL_LINE}};
    for (int i = 0; i < 3; ++i) {
        auto* b = widgets::WithId(new QRadioButton(modes[i].first, modeBox), modes[i].second);
        m_mode->addButton(b, i);
        modeLayout->addWidget(b);
    }
    top->addWidget(modeBox);

    auto* protocolBox = new QGroupBox("Serial Protocol", this);
    auto* protocolLayout = new QVBoxLayout(protocolBox);
    const std::pair<const char*, int> protocols[] = {
        {"Sounder / TSS1", IDC_ASCII}, {"Zelvar VN1500", IDC_VN1500}, {"Zelvar VN3500", IDC_VN3500}, {"Raw", IDC_RAW}};
    for (std::size_t i = 0; i < m_protocols.size(); ++i) {
        m_protocols[i] = widgets::WithId(new QRadioButton(protocols[i].first, protocolBox), protocols[i].second);
        protocolLayout->addWidget(m_protocols[i]);
        connect(m_protocols[i], &QRadioButton::clicked, this, [this, i] { OnProtocol(static_cast<DWORD>(i)); });
    }
    top->addWidget(protocolBox);

    auto* analogBox = new QGroupBox("Analog", this);
    auto* analogLayout = new QGridLayout(analogBox);
    m_analog[0] = widgets::WithId(new QRadioButton("+1 volt/m", analogBox), IDC_HEAVE_VOLT);
    auto* heaveGroup = new QButtonGroup(this);
    heaveGroup->addButton(m_analog[0]);
    m_analog[1] = widgets::WithId(new QRadioButton("+1 volt/degree", analogBox), IDC_PITCH_DEGREE);
    m_analog[2] = widgets::WithId(new QRadioButton("Volt=10sin(angle)", analogBox), IDC_PITCH_SINE);
    auto* pitchGroup = new QButtonGroup(this);
    pitchGroup->addButton(m_analog[1]);
    pitchGroup->addButton(m_analog[2]);
    m_analog[3] = widgets::WithId(new QRadioButton("+1 volt/degree", analogBox), IDC_ROLL_DEGREE);
    m_analog[4] = widgets::WithId(new QRadioButton("Volt=10sin(angle)", analogBox), IDC_ROLL_SINE);
    auto* rollGroup = new QButtonGroup(this);
    rollGroup->addButton(m_analog[3]);
    rollGroup->addButton(m_analog[4]);
    analogLayout->addWidget(new QLabel("Heave:", analogBox), 0, 0);
    analogLayout->addWidget(m_analog[0], 0, 1);
    analogLayout->addWidget(new QLabel("Pitch:", analogBox), 1, 0);
    analogLayout->addWidget(m_analog[1], 1, 1);
    analogLayout->addWidget(m_analog[2], 1, 2);
    analogLayout->addWidget(new QLabel("Roll:", analogBox), 2, 0);
    analogLayout->addWidget(m_analog[3], 2, 1);
    analogLayout->addWidget(m_analog[4], 2, 2);
    m_transceiver = widgets::WithId(new QComboBox(analogBox), IDC_TRANSCEIVER);
    analogLayout->addWidget(new QLabel("Transceiver:", analogBox), 3, 0);
    analogLayout->addWidget(m_transceiver, 3, 1, 1, 2);
    top->addWidget(analogBox);
    layout->addLayout(top);

    layout->addWidget(MakeMonitor(IDC_TELEGRAM));
    auto* values = new QHBoxLayout;
    const std::pair<const char*, int> valueFields[] = {
        {"Heave:", IDC_HEAVE}, {"Roll:", IDC_ROLL}, {"Pitch:", IDC_PITCH}};
    for (int i = 0; i < 3; ++i) {
        values->addWidget(new QLabel(valueFields[i].first, this));
        m_values[i] = widgets::WithId(new QLineEdit(this), valueFields[i].second);
        m_values[i]->setReadOnly(true);
        values->addWidget(m_values[i]);
    }
    layout->addLayout(values);

    auto* options = new QHBoxLayout;
    m_remote = widgets::WithId(new QCheckBox("Calculate Remote Heave", this), IDC_REMOTE_HEAVE);
    m_remote->setChecked(m_working.CalcRemoteHeave != 0);
    m_useLatency = widgets::WithId(new QCheckBox("Latency", this), IDC_USE_LATENCY);
    m_useLatency->setChecked(m_working.UseLatency != 0);
    m_latency = widgets::WithId(new QLineEdit(QString::number(m_working.Latency), this), IDC_LATENCY);
    options->addWidget(m_remote);
    options->addWidget(m_useLatency);
    options->addWidget(m_latency);
    options->addWidget(new QLabel("ms", this));
    options->addStretch();
    layout->addLayout(options);

    auto* buttons = new QHBoxLayout;
    auto* clear = widgets::WithId(new QPushButton("Clear", this), IDC_CLEAR);
    connect(clear, &QPushButton::clicked, this, [this] {
        ClearDisplay();
        m_values[0]->clear();
    });
    buttons->addWidget(clear);
    m_port = MakePortButton(IDC_PORT);
    buttons->addWidget(m_port);
    m_depthOutput = widgets::WithId(new QPushButton("Depth Output...", this), IDC_DEPTH_OUTPUT);
    connect(m_depthOutput, &QPushButton::clicked, this, [this] { OnDepthOutput(); });
    buttons->addWidget(m_depthOutput);
    auto* setup = widgets::WithId(new QPushButton("Sensor Setup...", this), IDC_SENSOR_SETUP);
    connect(setup, &QPushButton::clicked, this, [this] { OnSensorSetup(); });
    buttons->addWidget(setup);
    buttons->addStretch();
    layout->addLayout(buttons);
    layout->addWidget(widgets::StandardButtons(this, false));

    // The working values into the controls.
    m_mode->button(static_cast<int>(std::min<DWORD>(m_working.Mode, 2)))->setChecked(true);
    if (m_working.SerialProtocol < m_protocols.size())
        m_protocols[m_working.SerialProtocol]->setChecked(true);
    m_analog[0]->setChecked(true);
    m_analog[m_working.AnalogModePitch == CHeave::kTenSine ? 2 : 1]->setChecked(true);
    m_analog[m_working.AnalogModeRoll == CHeave::kTenSine ? 4 : 3]->setChecked(true);
    for (const std::string& name : m_heave.GetTransceiverList())
        m_transceiver->addItem(QString::fromStdString(name));
    m_transceiver->setCurrentIndex(m_transceiver->findText(QString::fromStdString(m_working.TransceiverSource)));
    connect(m_mode, &QButtonGroup::idClicked, this, [this](int id) { OnMode(static_cast<DWORD>(id)); });

    ClearDisplay();
    if (m_working.Mode == CHeave::kModeAnalog)
        MonitorEdit()->setPlainText(QString::fromStdString(app::Strings().Load(kDataNotAvailable)));
    UpdateEnabling();
    OnSensorValues();
}

void CHeaveDialog::ClearDisplay()
{
    m_heave.Monitor().Clear();
    MonitorEdit()->clear();
}

void CHeaveDialog::UpdateEnabling()
{
    const DWORD mode = m_heave.GetSettings().Mode;
    for (QRadioButton* b : m_protocols)
        b->setEnabled(mode == CHeave::kModeSerial);
    for (QRadioButton* b : m_analog)
        b->setEnabled(mode == CHeave::kModeAnalog);
    m_transceiver->setEnabled(mode == CHeave::kModeAnalog);
    const bool open = m_heave.IsOpen();
    m_port->setEnabled(open);
    m_depthOutput->setEnabled(open);
}

void CHeaveDialog::OnMode(DWORD mode)
{
    if (mode == CHeave::kModeSerial && m_heave.GetSettings().Mode != CHeave::kModeSerial) {
        // The line opens when it is chosen; a line that does not open
        // leaves the mode as it was.
        if (m_heave.OpenPort() == 0)
            m_heave.SetMode(CHeave::kModeSerial);
    } else if (mode != CHeave::kModeSerial) {
        m_heave.SetMode(mode);
    }
    const DWORD now = m_heave.GetSettings().Mode;
    m_mode->button(static_cast<int>(std::min<DWORD>(now, 2)))->setChecked(true);
    ClearDisplay();
    UpdateEnabling();
}

void CHeaveDialog::OnProtocol(DWORD protocol)
{
    m_heave.SetProtocol(protocol);
    ClearDisplay();
}

void CHeaveDialog::OnDepthOutput()
{
    CDepthOutputDialog::Values values{m_working.DepthOutput != 0, m_working.DepthTelegram, m_working.CheckSum != 0,
                                      m_working.ChannelSource};
    if (!CDepthOutputDialog::Run(m_heave.GetSourceList(), values, this))
        return;
    m_working.DepthOutput = values.output ? 1 : 0;
    m_working.DepthTelegram = values.telegram;
    m_working.CheckSum = values.checksum ? 1 : 0;
    m_working.ChannelSource = values.channel;
    m_heave.StoreDepthOutput(m_working.DepthOutput, m_working.DepthTelegram, m_working.CheckSum,
                             m_working.ChannelSource);
}

void CHeaveDialog::OnSensorSetup()
{
    CSensorSetup::Run(m_working.SensorAlong, m_working.SensorAthwart, m_working.SensorDepth, m_heave.IsReplaying(),
                      this);
}

void CHeaveDialog::OnSensorValues()
{
    const CHeaveRingBuffer::Sample s = m_heave.GetNewestSample();
    m_values[0]->setText(QString::asprintf(" %.2f m", -s.heave / 100.0));
    m_values[1]->setText(QString::asprintf(" %.2f", s.roll / 100.0) + QChar(0x00B0));
    m_values[2]->setText(QString::asprintf(" %.2f", s.pitch / 100.0) + QChar(0x00B0));
}

void CHeaveDialog::accept()
{
    double latency = m_working.Latency;
    if (!widgets::CheckRange(m_latency, 0.0, kMaxLatency, latency))
        return;
    const CHeave::Settings now = m_heave.GetSettings();
    m_working.Mode = now.Mode;
    m_working.SerialProtocol = now.SerialProtocol;
    m_working.AnalogModeHeave = 0;
    m_working.AnalogModePitch = m_analog[2]->isChecked() ? CHeave::kTenSine : CHeave::kVoltPerDegree;
    m_working.AnalogModeRoll = m_analog[4]->isChecked() ? CHeave::kTenSine : CHeave::kVoltPerDegree;
    m_working.TransceiverSource = m_transceiver->currentText().toStdString();
    m_working.CalcRemoteHeave = m_remote->isChecked() ? 1 : 0;
    m_working.UseLatency = m_useLatency->isChecked() ? 1 : 0;
    m_working.Latency = static_cast<DWORD>(std::lround(latency));
    CSensorDialog::accept();
}

int CHeaveDialog::Run(CHeave& heave, QWidget* parent)
{
    CHeaveDialog dialog(heave, parent);
    if (dialog.exec() != QDialog::Accepted) {
        heave.ReloadSettings();
        return 0;
    }
    heave.StoreSettings(dialog.Working());
    return 1;
}
