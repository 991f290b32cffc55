// "Navigation Interface": the protocol and the sources of position, speed
// and clock, the manual and measured speed, the clock and date of the last
// clock telegram with "Force Update", the monitor of the line, and the way
// to the port settings, the depth output and the advanced settings.
#pragma once

#include "sensors/Navigation.h"
#include "sensors/ui/SensorDialog.h"

#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace app {
class CSpinButtonDoubleCtrl;
}

class CNavigationDialog : public CSensorDialog
{
public:
    // Takes the fields when they hold what they may; else stays open.
    void accept() override;
    CNavigationDialog(CNavigation& navigation, QWidget* parent = nullptr);

    // The settings as the dialog holds them now.
    CNavigation::Settings Working() const;
    // The navigation's setup: runs the dialog; on OK the settings are taken
    // and written (1 when no key is known to write them under, else 0).
    static int Run(CNavigation& navigation, QWidget* parent);

    void OnSensorChanged() override;

private:
    void OnSpeedType();
    void OnClockSource();
    void OnDepthOutput();
    void OnAdvanced();

    CNavigation& m_navigation;
    CNavigation::Settings m_working;
    std::vector<QRadioButton*> m_protocol;
    std::vector<QRadioButton*> m_position;
    std::vector<QRadioButton*> m_speedType;
    std::vector<QRadioButton*> m_clock;
    QLineEdit* m_manualSpeed;
    app::CSpinButtonDoubleCtrl* m_speedSpin;
    QLabel* m_speed;
    QLabel* m_clockText;
    QLabel* m_dateText;
    QPushButton* m_forceUpdate;
    QLineEdit* m_latency;
    QCheckBox* m_autoZda;
};
