#include "sensors/ui/NavigationDialog.h"

#include "app/widgets/DialogExchange.h"
#include "app/widgets/DialogFields.h"
#include "app/widgets/SpinButtonDoubleCtrl.h"
#include "platform/NumberText.h"
#include "sensors/ui/AdvancedNavigationDialog.h"
#include "sensors/ui/DepthOutputDialog.h"

#include <QCheckBox>
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

namespace {

constexpr double kMaxManualSpeed = 25.0;  // knots

std::vector<QRadioButton*> Radios(QWidget* parent, QBoxLayout* layout, const char* prefix,
                                  std::initializer_list<const char*> names)
{
    std::vector<QRadioButton*> group;
    for (const char* name : names) {
        auto* button = new QRadioButton(name, parent);
        button->setObjectName(QString(prefix) + QString(name).toUpper());
        layout->addWidget(button);
        group.push_back(button);
    }
    return group;
}

QString SpeedText(double knots)
{
    return QString::fromStdString(CNumberText::Format("%2.1f", knots));
}

}  // namespace

CNavigationDialog::CNavigationDialog(CNavigation& navigation, QWidget* parent)
    : CSensorDialog(navigation, "Navigation Interface", parent),
      m_navigation(navigation),
      m_working(navigation.GetSettings())
{
    setObjectName("dialog_202");
    // The clock of an earlier telegram is not shown as if it were new.
    m_navigation.ClearClockTexts();
    auto* layout = new QGridLayout(this);

    auto* protocolGroup = new QGroupBox("Protocol", this);
    auto* protocolLayout = new QHBoxLayout(protocolGroup);
    m_protocol = Radios(protocolGroup, protocolLayout, "IDC_PROTOCOL_", {"NMEA", "ASCII"});
    widgets::SetCheckedIndex(m_protocol, static_cast<int>(m_working.NavigationProtocol));
    layout->addWidget(protocolGroup, 0, 0);

    auto* positionGroup = new QGroupBox("Position Input, Source", this);
    auto* positionLayout = new QHBoxLayout(positionGroup);
    m_position = Radios(positionGroup, positionLayout, "IDC_POSITION_", {"Off", "Serial", "Network"});
    widgets::SetCheckedIndex(m_position, static_cast<int>(m_working.PositionSource));
    layout->addWidget(positionGroup, 1, 0);

    auto* speedGroup = new QGroupBox("Speed Input", this);
    auto* speedLayout = new QGridLayout(speedGroup);
    auto* speedRadios = new QHBoxLayout;
    m_speedType = Radios(speedGroup, speedRadios, "IDC_SPEED_", {"Serial", "Network", "Manual"});
    widgets::SetCheckedIndex(m_speedType, static_cast<int>(m_working.SpeedType));
    speedLayout->addLayout(speedRadios, 0, 0, 1, 4);
    m_manualSpeed = new QLineEdit(widgets::FormatNumber(m_working.SpeedManual, 1), speedGroup);
    m_manualSpeed->setObjectName("IDC_EDIT_MANUAL_SPEED");
    m_speedSpin = new app::CSpinButtonDoubleCtrl(speedGroup);
    m_speedSpin->setObjectName("IDC_SPIN_MANUAL_SPEED");
    m_speedSpin->SetBuddy(m_manualSpeed);
    m_speedSpin->SetRangeDouble(1, 0.0, kMaxManualSpeed);
    speedLayout->addWidget(m_manualSpeed, 1, 0);
    speedLayout->addWidget(m_speedSpin, 1, 1);
    speedLayout->addWidget(new QLabel("knots", speedGroup), 1, 2);
    m_speed = new QLabel("0.0", speedGroup);
    m_speed->setObjectName("IDC_SPEED_TEXT");
    speedLayout->addWidget(new QLabel("Measured:", speedGroup), 2, 0);
    speedLayout->addWidget(m_speed, 2, 1);
    layout->addWidget(speedGroup, 2, 0);
    for (QRadioButton* button : m_speedType)
        connect(button, &QRadioButton::clicked, this, [this] { OnSpeedType(); });

    auto* clockGroup = new QGroupBox("Clock Input (ZDA)", this);
    auto* clockLayout = new QGridLayout(clockGroup);
    auto* clockRadios = new QHBoxLayout;
    m_clock = Radios(clockGroup, clockRadios, "IDC_CLOCK_", {"Off", "Serial", "Network"});
    widgets::SetCheckedIndex(m_clock, static_cast<int>(m_working.ClockSource));
    clockLayout->addLayout(clockRadios, 0, 0, 1, 3);
    m_clockText = new QLabel(clockGroup);
    m_clockText->setObjectName("IDC_CLOCK_TEXT");
    m_dateText = new QLabel(clockGroup);
    m_dateText->setObjectName("IDC_DATE_TEXT");
    clockLayout->addWidget(m_clockText, 1, 0);
    clockLayout->addWidget(m_dateText, 1, 1);
    m_forceUpdate = new QPushButton("Force Update", clockGroup);
    m_forceUpdate->setObjectName("IDC_FORCE_UPDATE");
    clockLayout->addWidget(m_forceUpdate, 1, 2);
    m_latency = new QLineEdit(widgets::FormatNumber(m_working.Latency, 0), clockGroup);
    m_latency->setObjectName("IDC_EDIT_LATENCY");
    clockLayout->addWidget(new QLabel("Latency", clockGroup), 2, 0);
    clockLayout->addWidget(m_latency, 2, 1);
    clockLayout->addWidget(new QLabel("ms", clockGroup), 2, 2);
    m_autoZda = new QCheckBox("Automatic Set Clock", clockGroup);
    m_autoZda->setObjectName("IDC_AUTO_SET_CLOCK");
    m_autoZda->setChecked(m_working.UseAutoZda != 0);
    clockLayout->addWidget(m_autoZda, 3, 0, 1, 3);
    layout->addWidget(clockGroup, 3, 0);
    for (QRadioButton* button : m_clock)
        connect(button, &QRadioButton::clicked, this, [this] { OnClockSource(); });
    connect(m_forceUpdate, &QPushButton::clicked, this, [this] {
        m_navigation.StartForceUpdate();
        m_forceUpdate->setEnabled(false);
    });

    auto* monitorGroup = new QGroupBox("Data Input", this);
    auto* monitorLayout = new QVBoxLayout(monitorGroup);
    monitorLayout->addWidget(MakeMonitor(1006));
    auto* buttonsRow = new QHBoxLayout;
    buttonsRow->addWidget(MakeClear(1005));
    buttonsRow->addWidget(MakePortButton(1272));
    auto* depthOutput = new QPushButton("Depth Output...", monitorGroup);
    depthOutput->setObjectName("IDC_DEPTH_OUTPUT");
    buttonsRow->addWidget(depthOutput);
    auto* advanced = new QPushButton("Advanced...", monitorGroup);
    advanced->setObjectName("IDC_ADVANCED");
    buttonsRow->addWidget(advanced);
    monitorLayout->addLayout(buttonsRow);
    layout->addWidget(monitorGroup, 0, 1, 4, 1);
    connect(depthOutput, &QPushButton::clicked, this, [this] { OnDepthOutput(); });
    connect(advanced, &QPushButton::clicked, this, [this] { OnAdvanced(); });

    layout->addWidget(widgets::StandardButtons(this, false), 4, 0, 1, 2);

    OnSpeedType();
    OnSensorChanged();
}

void CNavigationDialog::OnSpeedType()
{
    // The manual speed is edited only while it is the one in use.
    const bool manual = widgets::CheckedIndex(m_speedType) == CNavigation::kSpeedManual;
    m_manualSpeed->setEnabled(manual);
    m_speedSpin->setEnabled(manual);
}

void CNavigationDialog::OnClockSource()
{
    if (widgets::CheckedIndex(m_clock) != CNavigation::kSourceOff)
        return OnSensorChanged();
    m_working.ClockSource = CNavigation::kSourceOff;
    m_navigation.ClearClockTexts();
    OnSensorChanged();
}

void CNavigationDialog::OnSensorChanged()
{
    CSensorDialog::OnSensorChanged();
    m_speed->setText(SpeedText(m_navigation.GetMeasuredSpeed()));
    std::string clock, date;
    m_navigation.GetClockTexts(clock, date);
    m_clockText->setText(QString::fromStdString(clock));
    m_dateText->setText(QString::fromStdString(date));
    // Force Update waits for the clock it asked for.
    m_forceUpdate->setEnabled(widgets::CheckedIndex(m_clock) > 0 && !m_navigation.IsClockRequest());
}

void CNavigationDialog::OnDepthOutput()
{
    CNavigation::Settings s = m_navigation.GetSettings();
    CDepthOutputDialog::Values values{s.DepthOutput != 0, m_working.DepthTelegram, s.CheckSum != 0, s.ChannelSource};
    if (!CDepthOutputDialog::Run(m_navigation.GetSourceList(), values, this))
        return;
    // The telegram type is the dialog's working copy until OK; the rest
    // holds at once, with the transmit protocol it needs.
    m_working.DepthTelegram = values.telegram;
    m_working.DepthOutput = s.DepthOutput = values.output ? 1 : 0;
    m_working.CheckSum = s.CheckSum = values.checksum ? 1 : 0;
    m_working.ChannelSource = s.ChannelSource = values.channel;
    m_navigation.StoreDepthOutput(s.DepthOutput, s.CheckSum, s.ChannelSource);
}

void CNavigationDialog::OnAdvanced()
{
    CNavigation::Settings s = Working();
    CAdvancedNavigationDialog advanced(s, this);
    if (advanced.exec() == QDialog::Accepted)
        m_working = advanced.Result();
}

CNavigation::Settings CNavigationDialog::Working() const
{
    CNavigation::Settings s = m_working;
    if (const int protocol = widgets::CheckedIndex(m_protocol); protocol >= 0)
        s.NavigationProtocol = static_cast<DWORD>(protocol);
    if (const int position = widgets::CheckedIndex(m_position); position >= 0)
        s.PositionSource = static_cast<DWORD>(position);
    if (const int speed = widgets::CheckedIndex(m_speedType); speed >= 0)
        s.SpeedType = static_cast<DWORD>(speed);
    if (const int clock = widgets::CheckedIndex(m_clock); clock >= 0)
        s.ClockSource = static_cast<DWORD>(clock);
    s.UseAutoZda = m_autoZda->isChecked() ? 1 : 0;
    return s;
}

void CNavigationDialog::accept()
{
    double speed = 0.0, latency = 0.0;
    if (!widgets::CheckRange(m_manualSpeed, 0.0, kMaxManualSpeed, speed) || !widgets::TakeAnyDouble(m_latency, latency))
        return;
    m_working = Working();
    m_working.SpeedManual = speed;
    m_working.Latency = latency;
    CSensorDialog::accept();
}

int CNavigationDialog::Run(CNavigation& navigation, QWidget* parent)
{
    CNavigationDialog dialog(navigation, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    return navigation.StoreSettings(dialog.m_working) ? 0 : 1;
}
