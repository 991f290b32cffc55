// What the settings dialogs of the serial sensors share: the monitor of
// what the line brings, shown while the dialog is open and refreshed when
// the sensor announces a change; "Clear"; "RS232..." for the component's
// port settings; and a double click of the secondary mouse button while the
// primary one is held for the component's statistics.
#pragma once

#include "sensors/SensorMonitor.h"

#include <QDialog>

class CSerialSensor;
class QPlainTextEdit;
class QPushButton;

class CSensorDialog : public QDialog, public ISensorView
{
public:
    CSensorDialog(CSerialSensor& sensor, const char* title, QWidget* parent);
    ~CSensorDialog() override;

    // The monitor shows the sensor's text, scrolled to its end.
    void OnSensorChanged() override;
    QPlainTextEdit* MonitorEdit() const { return m_monitor; }

protected:
    // The monitor edit, "Clear" and "RS232..." as the dialog lays them out.
    QPlainTextEdit* MakeMonitor(int id);
    QPushButton* MakeClear(int id);
    QPushButton* MakePortButton(int id);
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void done(int result) override;

    CSerialSensor& m_sensor;

private:
    QPlainTextEdit* m_monitor = nullptr;
};
