// "Heave Sensor": where the motion comes from (off, a unit's analog inputs
// or the serial line and its protocol), how the analog voltages read, the
// heave at the transducer and the latency, and what the line brings with
// the newest values; the ways to the port settings, the depth output and
// where the sensor sits. Mode and protocol take effect at once; Cancel
// reads every setting back from where they are stored.
#pragma once

#include "sensors/Heave.h"
#include "sensors/ui/SensorDialog.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

class CHeaveDialog : public CSensorDialog
{
public:
    static constexpr int IDC_SERIAL_LINE = 1000;
    static constexpr int IDC_ASCII = 1001;
    static constexpr int IDC_ANALOG = 1004;
    static constexpr int IDC_CLEAR = 1005;
    static constexpr int IDC_TELEGRAM = 1006;
    static constexpr int IDC_TRANSCEIVER = 1007;
    static constexpr int IDC_OFF = 1009;
    static constexpr int IDC_VN3500 = 1010;
    static constexpr int IDC_VN1500 = 1011;
    static constexpr int IDC_RAW = 1012;
    static constexpr int IDC_HEAVE = 1225;
    static constexpr int IDC_ROLL = 1226;
    static constexpr int IDC_PITCH = 1227;
    static constexpr int IDC_DEPTH_OUTPUT = 1271;
    static constexpr int IDC_PORT = 1272;
    static constexpr int IDC_SENSOR_SETUP = 1273;
    static constexpr int IDC_REMOTE_HEAVE = 1436;
    static constexpr int IDC_USE_LATENCY = 1437;
    static constexpr int IDC_ROLL_SINE = 1489;
    static constexpr int IDC_HEAVE_VOLT = 1490;
    static constexpr int IDC_PITCH_DEGREE = 1491;
    static constexpr int IDC_PITCH_SINE = 1492;
    static constexpr int IDC_ROLL_DEGREE = 1493;
    static constexpr int IDC_LATENCY = 1519;
    static constexpr unsigned kDataNotAvailable = 45120;
    static constexpr double kMaxLatency = 10000.0;  // ms

    CHeaveDialog(CHeave& heave, QWidget* parent = nullptr);
    CHeave::Settings Working() const { return m_working; }
    void accept() override;
    void OnSensorValues() override;

    // Runs it: on OK the settings are taken and written, on Cancel read
    // back. 1 OK, 0 Cancel.
    static int Run(CHeave& heave, QWidget* parent);

private:
    void OnMode(DWORD mode);
    void OnProtocol(DWORD protocol);
    void OnDepthOutput();
    void OnSensorSetup();
    void UpdateEnabling();
    void ClearDisplay();

    CHeave& m_heave;
    CHeave::Settings m_working;
    QButtonGroup* m_mode;
    std::array<QRadioButton*, 4> m_protocols{};
    std::array<QRadioButton*, 5> m_analog{};  // heave, pitch x2, roll x2
    QComboBox* m_transceiver;
    QLineEdit* m_values[3];
    QCheckBox* m_remote;
    QCheckBox* m_useLatency;
    QLineEdit* m_latency;
    QPushButton* m_port;
    QPushButton* m_depthOutput;
};
