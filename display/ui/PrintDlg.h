// "Printer and History" (dialog 171): what paper printing and the history
// pages print, at which speed, and the printer's orientation through
// "Print Setup..". Without a default printer "Print" and "Print Setup.."
// are disabled.
#pragma once

#include "display/PrinterDoc.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CPrintDlg : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 171;
    using Values = IPrinterDevices::SPrintDialogValues;

    // hasPrinter: a default printer exists. pageSetup: the printer set-up,
    // true on OK with the orientation it chose.
    CPrintDlg(const Values& values, bool hasPrinter, std::function<bool(bool& landscape)> pageSetup,
              QWidget* parent = nullptr);
    // The values as the controls hold them; the orientation as set up.
    const Values& GetValues() const { return m_values; }

    void accept() override;

private:
    Values m_values;
    std::function<bool(bool&)> m_pageSetup;
    std::vector<std::pair<QCheckBox*, int Values::*>> m_checks;
    QLineEdit* m_navigationTg = nullptr;
    std::vector<QRadioButton*> m_background;
    std::vector<QRadioButton*> m_speed;
};
