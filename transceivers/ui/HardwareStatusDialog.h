// "HW status": for the transceiver chosen by name, the board's identity,
// its eleven supply voltages and temperatures, and the report of its
// addresses, as the unit answers "HW request". "Refresh" shows the last
// answers again; "HW request" is greyed while no sounder runs.
#pragma once

#include "transceivers/HardwareStatus.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

class CHardwareStatusDialog : public QDialog, private CHardwareStatus::IView
{
    Q_OBJECT
public:
    explicit CHardwareStatusDialog(CHardwareStatus& status, QWidget* parent = nullptr);
    ~CHardwareStatusDialog() override;

    void done(int result) override;

private:
    void ShowFields(const CHardwareStatus::Fields& fields) override;
    void ShowReport(const std::string& report) override;
    void UpdateRequest();

    CHardwareStatus& m_status;
    bool m_open = false;
    QComboBox* m_transceiver;
    QLineEdit* m_boardId;
    QLineEdit* m_boardType;
    std::array<QLineEdit*, CHardwareStatus::kValueCount> m_values{};
    QPlainTextEdit* m_report;
    QPushButton* m_request;
};
