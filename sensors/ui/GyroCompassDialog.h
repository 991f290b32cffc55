// "Heading": whether the heading sentences of the line are passed on, which
// sentence the sensor gives, the monitor of what arrives, and the port
// settings.
#pragma once

#include "sensors/GyroCompass.h"
#include "sensors/ui/SensorDialog.h"

#include <vector>

class QCheckBox;
class QRadioButton;

class CGyroCompassDialog : public CSensorDialog
{
public:
    CGyroCompassDialog(CGyroCompass& heading, QWidget* parent = nullptr);
    // Runs it; on OK the settings are written. 1 OK, 0 Cancel.
    static int Run(CGyroCompass& heading, QWidget* parent);

private:
    CGyroCompass& m_heading;
    QCheckBox* m_enabled;
    std::vector<QRadioButton*> m_sentence;
};
