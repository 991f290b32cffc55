// "NMEA Depth": whether the depth sentences of the line are passed on, the
// monitor of what arrives, and the port settings.
#pragma once

#include "sensors/NmeaDepth.h"
#include "sensors/ui/SensorDialog.h"

class QCheckBox;

class CNmeaDepthDialog : public CSensorDialog
{
public:
    CNmeaDepthDialog(CNmeaDepth& depth, QWidget* parent = nullptr);
    // Runs it; on OK the switch is written. 1 OK, 0 Cancel.
    static int Run(CNmeaDepth& depth, QWidget* parent);

private:
    CNmeaDepth& m_depth;
    QCheckBox* m_enabled;
};
