// "Environment": how the sound velocity is obtained (constant, computed from
// temperature and salinity, the probe's real-time velocity, a profile
// file), the water type and salinity, and the temperature. The environment
// fills the values, runs the dialog and takes them back on OK; the dialog
// edits its copy and shows live values: the sensor temperature, the probe's
// velocity and the velocity computed from what it shows.
#pragma once

#include "sensors/Environment.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

// What the profile editor is opened on, and what it stored.
struct SSvpEditRequest
{
    // 0 a constant velocity, 1 a profile file.
    int kind = 0;
    double velocity = 1500.0;
    std::string curveName;
    std::string fileName;
    std::string folder;
    DWORD format = CSvpProfile::FormatAsvp;
    // Set by the editor when it stored a profile (as fileName in folder).
    bool stored = false;
};

class CEnvironmentDialog : public QDialog
{
public:
    // Control ids.
    static constexpr int IdFresh = 1137;
    static constexpr int IdSalt = 1274;
    static constexpr int IdSalinity = 1055;
    static constexpr int IdSalinitySpin = 1142;
    static constexpr int IdTempConstant = 1496;
    static constexpr int IdTempSensor = 1497;
    static constexpr int IdTemperature = 1056;
    static constexpr int IdTemperatureSpin = 1144;
    static constexpr int IdSensorValue = 1498;
    static constexpr int IdSvpConstant = 1329;
    static constexpr int IdSvpComputed = 1494;
    static constexpr int IdSvpRealTime = 1538;
    static constexpr int IdSvpFile = 1330;
    static constexpr int IdVelocity = 1273;
    static constexpr int IdVelocitySpin = 1141;
    static constexpr int IdComputedValue = 1495;
    static constexpr int IdProbeValue = 1499;
    static constexpr int IdFileButton = 1328;
    static constexpr int IdEdit = 1352;

    static constexpr int kRefreshMs = 1000;
    static constexpr double kMaxTypedTemperature = 40.0;

    // What the dialog reads while it is open, and the choices it hands on.
    struct Live
    {
        // The sensor's valid temperature; none without one.
        std::function<std::optional<double>()> sensorTemperature;
        std::function<double()> probeVelocity;
        // The file choice, starting in a folder: the path chosen, empty on
        // Cancel. Empty: the system's file dialog.
        std::function<std::string(const std::string& folder)> chooseFile;
        // The profile editor; empty: "Edit..." is greyed.
        std::function<void(SSvpEditRequest&)> editProfile;
    };

    CEnvironmentDialog(SEnvironmentDialogValues& values, Live live, QWidget* parent = nullptr);
    // Runs it modally; TRUE on OK with the values taken.
    static BOOL Run(SEnvironmentDialogValues& values, Live live, QWidget* parent);

    // The format a profile file is read with, by its extension (compared
    // with case): "cal" and "calc" 0, "ksi" 1, any other 4.
    static DWORD FormatFromExtension(const std::string& extension);

    // The timer's step: sensor temperature, probe velocity, computed
    // velocity (tests call it).
    void Refresh();
    void accept() override;

private:
    void UpdateEnables();
    void Recompute();
    void ChooseFile();
    void EditProfile();
    double Temperature() const;
    double Salinity() const;
    std::string FileButtonText() const;

    SEnvironmentDialogValues& m_out;
    SEnvironmentDialogValues m_values;
    Live m_live;
    std::optional<double> m_sensor;
    QRadioButton* m_fresh;
    QRadioButton* m_salt;
    QLineEdit* m_salinity;
    QRadioButton* m_tempConstant;
    QRadioButton* m_tempSensor;
    QLineEdit* m_temperature;
    QLabel* m_sensorValue;
    QRadioButton* m_svp[4];
    QLineEdit* m_velocity;
    QLabel* m_computed;
    QLabel* m_probe;
    QPushButton* m_file;
    QPushButton* m_edit;
    QTimer* m_timer;
};
