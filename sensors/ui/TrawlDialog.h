// "Trawl Interface": the monitor of the trawl system's line (as text or as
// bytes), the manual trawl opening, and the way to the port settings and
// the depth output.
#pragma once

#include "sensors/Trawl.h"
#include "sensors/ui/SensorDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace app {
class CSpinButtonDoubleCtrl;
}

class CTrawlDialog : public CSensorDialog
{
public:
    // Takes the fields when they hold what they may; else stays open.
    void accept() override;
    static constexpr int IDC_PORT = 1272;
    static constexpr int IDC_CLEAR = 1005;
    static constexpr int IDC_MONITOR = 1006;
    static constexpr int IDC_OPENING = 1007;
    static constexpr int IDC_MANUAL = 1008;
    static constexpr int IDC_HEX = 1009;
    static constexpr int IDC_OPENING_SPIN = 1025;
    static constexpr int IDC_UNIT = 1030;
    static constexpr int IDC_DEPTH_OUTPUT = 1271;
    static constexpr int IDC_OPENING_GROUP = 1306;

    CTrawlDialog(CTrawl& trawl, QWidget* parent = nullptr);
    CTrawl::Settings Working() const { return m_working; }
    // Runs it; on OK the settings are taken and written. 1 OK, 0 Cancel.
    static int Run(CTrawl& trawl, QWidget* parent);

private:
    void OnManual();
    void OnDepthOutput();

    CTrawl& m_trawl;
    CTrawl::Settings m_working;
    QCheckBox* m_manual;
    QLineEdit* m_opening;
    app::CSpinButtonDoubleCtrl* m_spin;
    QLabel* m_unit;
};
