#include "sensors/ui/TemperatureDialog.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CTemperatureDialog::CTemperatureDialog(CTemperature& temperature, QWidget* parent)
    : CSensorDialog(temperature, "Temperature Sensor", parent), m_temperature(temperature)
{
    setObjectName("dialog_Temperature");
    auto* layout = new QVBoxLayout(this);
    auto* sources = new QHBoxLayout;
    const char* names[] = {"Off", "Serial line", "Anolog Input"};
    const int ids[] = {IdOff, IdSerial, IdAnalog};
    for (int i = 0; i < 3; ++i) {
        m_sources[i] = widgets::WithId(new QRadioButton(names[i], this), ids[i]);
        sources->addWidget(m_sources[i]);
    }
    const DWORD source = m_temperature.GetSource();
    m_sources[source <= CTemperature::kAnalog ? source : 0]->setChecked(true);
    layout->addLayout(sources);
    m_transceiver = widgets::WithId(new QComboBox(this), IdTransceiver);
    for (const std::string& name : m_temperature.GetSourceList())
        m_transceiver->addItem(QString::fromStdString(name));
    const QString chosen = QString::fromStdString(m_temperature.GetTransceiverSource());
    if (!chosen.isEmpty() && m_transceiver->findText(chosen) < 0)
        m_transceiver->addItem(chosen);
    m_transceiver->setCurrentText(chosen);
    layout->addWidget(m_transceiver);
    m_dataDisplay = widgets::WithId(new QCheckBox("Analog Input:", this), IdDataDisplay);
    m_dataDisplay->setChecked(m_temperature.GetDataDisplay());
    connect(m_dataDisplay, &QCheckBox::toggled, this, [this](bool on) { m_temperature.SetDataDisplay(on); });
    layout->addWidget(m_dataDisplay);
    // From now on readings are logged; "Data not available" until one comes.
    m_temperature.ShowDialogData();
    layout->addWidget(MakeMonitor(IdLog));
    auto* row = new QHBoxLayout;
    row->addWidget(MakeClear(IdClear));
    row->addWidget(MakePortButton(IdPort));
    row->addStretch();
    layout->addLayout(row);
    layout->addWidget(widgets::StandardButtons(this, false));
    OnSensorChanged();
}

DWORD CTemperatureDialog::Source() const
{
    for (DWORD i = 0; i < 3; ++i)
        if (m_sources[i]->isChecked())
            return i;
    return CTemperature::kOff;
}

std::string CTemperatureDialog::Transceiver() const
{
    return m_transceiver->currentText().toStdString();
}

int CTemperatureDialog::Run(CTemperature& temperature, QWidget* parent)
{
    CTemperatureDialog dialog(temperature, parent);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    temperature.StoreSettings(dialog.Source(), dialog.Transceiver());
    return 1;
}
