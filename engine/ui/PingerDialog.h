// "Pinger Mode" (dialog 260): the pinger's cable length, the depth, its
// pulse length and period ("Ping Rate"). "Syncronize" asks for the period
// to be measured first and closes the dialog as OK does.
#pragma once

#include "engine/PingerMode.h"

#include <QDialog>

class QLineEdit;

class CPingerDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 260;
    static constexpr int kSynchroniseId = 1489;
    static constexpr double kCableMinimum = 0.1, kCableMaximum = 300.0;
    static constexpr const char* kInvalidValues = "Please enter valid values\nfor cable length and depth";
    static constexpr const char* kInvalidPulse = "Please enter valid values\nfor pulse length and ping rate";

    explicit CPingerDialog(const SPingerDialogValues& values, QWidget* parent = nullptr);

    // Valid after OK.
    const SPingerDialogValues& Values() const { return m_values; }
    void accept() override;

private:
    QLineEdit* m_cable = nullptr;
    QLineEdit* m_depth = nullptr;
    QLineEdit* m_pulse = nullptr;
    QLineEdit* m_period = nullptr;
    SPingerDialogValues m_values;
};
