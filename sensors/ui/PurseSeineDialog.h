// "Purse Seine": the depths of the three net sensors while they are fresh,
// the monitor of the line, and the ways to the port settings and the depth
// output.
#pragma once

#include "sensors/PurseSeine.h"
#include "sensors/ui/SensorDialog.h"

class QLineEdit;

class CPurseSeineDialog : public CSensorDialog
{
public:
    static constexpr int IDC_SENSOR1 = 1001;
    static constexpr int IDC_SENSOR2 = 1002;
    static constexpr int IDC_SENSOR3 = 1003;
    static constexpr int IDC_CLEAR = 1005;
    static constexpr int IDC_MONITOR = 1006;
    static constexpr int IDC_DEPTH_OUTPUT = 1271;
    static constexpr int IDC_PORT = 1272;

    CPurseSeineDialog(CPurseSeine& seine, QWidget* parent = nullptr);
    CPurseSeine::Settings Working() const { return m_working; }
    void OnSensorValues() override;

    // Runs it; on OK the settings are taken and written. 1 OK, 0 Cancel.
    static int Run(CPurseSeine& seine, QWidget* parent);

private:
    void OnDepthOutput();

    CPurseSeine& m_seine;
    CPurseSeine::Settings m_working;
    QLineEdit* m_depths[INetSensors::kSensors];
};
