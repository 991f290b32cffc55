// The hidden engineering dialog of a scope pane. It is a member of its
// view and holds every switch of the pane (CScopeDebugSettings); each
// control acts at its click, and the view reads the switches at its next
// paint, so the dialog has no OK and applies nothing on closing.
//
// Controls keep their numeric ids as object names. User-interface thread only.
#pragma once

#include "display/ScopeDebugSettings.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QRadioButton;

class CScopeDebugDlg : public QDialog, public CScopeDebugSettings
{
    Q_OBJECT
public:
    static constexpr int IDD = 138;
    enum Control : int {
        IDC_SCOPE = 1165,
        IDC_DEBUG_ANALOG = 1166,
        IDC_DEBUG_NUMERIC = 1167,
        IDC_MOTION = 1178,
        IDC_TEST_TONE = 1168,
        IDC_AMPLITUDE = 1169,
        IDC_ALONGSHIP = 1170,
        IDC_ATHWARTSHIP = 1171,
        IDC_AD1 = 1172,  // .. 1175
        IDC_HORIZONTAL_SCALING = 1176,
        IDC_VERTICAL_SCALING = 1177,
        IDC_POWER = 1181,
        IDC_SV = 1182,
        IDC_TS = 1183,
        IDC_NVU_ABSOLUTE = 1604,
        IDC_NVU_REAL = 1605,
        IDC_NVU_IMAGINARY = 1606,
        IDC_CANDIDATES = 1607,
        IDC_USE_MAXIMUM = 1608,
        IDC_MAXIMUM = 1609,
        IDC_USE_MINIMUM = 1610,
        IDC_MINIMUM = 1611,
        IDC_NVU_CURRENT = 1612,
        IDC_NVU_PHASE = 1613,
        IDC_NVU_IMPEDANCE = 1614,
        IDC_NVU_16BIT = 1615,
    };

    explicit CScopeDebugDlg(QWidget* parent = nullptr);
    ~CScopeDebugDlg() override;

    // Shows the dialog modally over the pane; the switches change as the
    // controls are clicked.
    int DoModal();
    // The controls take the switches: check boxes and the kind group from
    // their flags, the mode buttons from the mode; the two edits open empty.
    void DoDataExchange();

private:
    void Build();
    QCheckBox* AddCheck(int id, const char* text, int& flag, bool laysOut);

    bool m_built = false;
    QButtonGroup* m_modes = nullptr;
    QButtonGroup* m_kinds = nullptr;
    QLineEdit* m_maxEdit = nullptr;
    QLineEdit* m_minEdit = nullptr;
    struct Check
    {
        QCheckBox* box;
        int* flag;
    };
    std::vector<Check> m_checks;
};
