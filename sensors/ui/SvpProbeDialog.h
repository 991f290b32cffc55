// "Sound Velocity Probe": the real-time use of the probe, its cast (start,
// record, store), the log of its readings and the port settings. A cast
// stored while the dialog is open is offered to the environment on OK.
#pragma once

#include "sensors/SvpProbe.h"
#include "sensors/ui/SensorDialog.h"

class QCheckBox;
class QPushButton;

class CSvpProbeDialog : public CSensorDialog
{
public:
    // Control ids.
    static constexpr int IdRealTime = 1001;
    static constexpr int IdStart = 1002;
    static constexpr int IdRecord = 1003;
    static constexpr int IdStore = 1004;
    static constexpr int IdClear = 1005;
    static constexpr int IdLog = 1006;
    static constexpr int IdPort = 1272;

    CSvpProbeDialog(CSvpProbe& probe, QWidget* parent = nullptr);
    // Runs it; on OK the switches are written and a stored cast offered.
    // 1 OK, 0 Cancel.
    static int Run(CSvpProbe& probe, QWidget* parent);

private:
    void UpdateButtons();

    CSvpProbe& m_probe;
    QCheckBox* m_realTime;
    QPushButton* m_start;
    QPushButton* m_record;
    QPushButton* m_store;
};
