// The modal port options dialog (10130) that the port's Configure runs.
#pragma once

#include "seriallib/SercorHooks.h"

#include <QDialog>

#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;

class CComOptionsDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CComOptionsDlg(QWidget* parent = nullptr);

    // Fields the owner fills before and reads after the dialog.
    std::string m_strDataBits;
    BOOL m_bDTRDSR = FALSE;
    int m_nParity = -1;
    BOOL m_bRTSCTS = FALSE;
    int m_nStopBits = -1;
    BOOL m_bXonXoff = FALSE;
    std::string m_strBaud;
    std::vector<std::string> m_PortNames;
    std::string m_strPort;

    // Puts the fields into the controls.
    void OnInitDialog();
    // Takes the controls into the fields and closes with OK.
    void OnOK();

    // Runs the dialog over the options; true on OK.
    static bool Run(CComOptions& options, QWidget* parent = nullptr);

    QComboBox* m_pPortList = nullptr;
    QDialogButtonBox* m_pButtons = nullptr;

private:
    QComboBox* m_pBaud = nullptr;
    QComboBox* m_pDataBits = nullptr;
    QComboBox* m_pStopBits = nullptr;
    QComboBox* m_pParity = nullptr;
    QCheckBox* m_pDtrDsr = nullptr;
    QCheckBox* m_pRtsCts = nullptr;
    QCheckBox* m_pXonXoff = nullptr;
};
