// "Temperature Sensor": the source of the water temperature (off, the
// serial line or a transceiver's analog input), the transceiver whose
// thermistor is read, the log of readings and the port settings.
#pragma once

#include "sensors/Temperature.h"
#include "sensors/ui/SensorDialog.h"

class QCheckBox;
class QComboBox;
class QRadioButton;

class CTemperatureDialog : public CSensorDialog
{
public:
    // Control ids.
    static constexpr int IdOff = 1001;
    static constexpr int IdSerial = 1002;
    static constexpr int IdAnalog = 1003;
    static constexpr int IdTransceiver = 1004;
    static constexpr int IdClear = 1005;
    static constexpr int IdLog = 1006;
    static constexpr int IdDataDisplay = 1007;
    static constexpr int IdPort = 1272;

    CTemperatureDialog(CTemperature& temperature, QWidget* parent = nullptr);
    // Runs it; on OK the source and the transceiver are written. 1 OK,
    // 0 Cancel.
    static int Run(CTemperature& temperature, QWidget* parent);

    DWORD Source() const;
    std::string Transceiver() const;

private:
    CTemperature& m_temperature;
    QRadioButton* m_sources[3];
    QComboBox* m_transceiver;
    QCheckBox* m_dataDisplay;
};
