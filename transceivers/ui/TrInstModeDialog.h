// "Transceiver Installation Mode": whether the installation is only to be
// looked at or to be changed. "Inspect" has the main frame show it as it
// stands; "Modify" stops the sounder first, whose stop then runs the
// installation in the modify mode. Either closes the dialog.
#pragma once

#include <QDialog>

class CTrInstModeDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kInspectId = 1209;
    static constexpr int kModifyId = 1210;

    explicit CTrInstModeDialog(QWidget* parent = nullptr);

private:
    void OnInspect();
    void OnModify();
};
