// "Sensor Setup": where the motion sensor sits from the vessel's reference
// point, forward, to starboard and down (m). The caller sets the three
// offsets, runs it and reads them back after OK. While recorded data is
// replayed the values are shown but cannot be changed.
#pragma once

#include <QDialog>

class QLineEdit;

namespace app {
class CSpinButtonDoubleCtrl;
}

class CSensorSetup : public QDialog
{
public:
    static constexpr int kTemplateId = 241;
    static constexpr int IDC_DOWN_SPIN = 1364;
    static constexpr int IDC_FORWARD_SPIN = 1365;
    static constexpr int IDC_STARBOARD_SPIN = 1366;
    static constexpr int IDC_DOWN = 1367;
    static constexpr int IDC_FORWARD = 1368;
    static constexpr int IDC_STARBOARD = 1369;
    // The spins' reach; a value typed beyond it is taken as typed.
    static constexpr double kSpinLimit = 999.99;

    CSensorSetup(double forward, double starboard, double down, bool replaying, QWidget* parent = nullptr);
    // Takes the three fields when each holds a number; else stays open.
    void accept() override;

    double m_X;  // forward
    double m_Y;  // starboard
    double m_Z;  // down

    // Runs it on the offsets; true (and the offsets changed) on OK.
    static bool Run(double& forward, double& starboard, double& down, bool replaying, QWidget* parent);

private:
    QLineEdit* m_fields[3];
};
