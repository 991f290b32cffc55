// "NVU Diagnostic": the wide-band unit's status lines, ten times a second,
// and a test selection sent to the units. Modeless, with no parent widget;
// it deletes itself when it closes, marks its link to the unit closed and
// posts the empty message to the window that opened it. It reads the unit
// only through the link, and closes by itself once the unit has gone.
#pragma once

#include "transceivers/NvuDiagnosticLink.h"

#include <QDialog>

#include <array>
#include <memory>
#include <string>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

class CNVUDiagnostic : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 286;
    static constexpr int IDC_TEST = 1622;
    static constexpr int IDC_PING_FIRST = 1590;  // to 1599, one per ring record
    static constexpr int IDC_PING_RATE = 1589;   // left empty
    static constexpr int IDC_BUFFER = 1600;
    static constexpr int IDC_HEADER = 1601;
    static constexpr int IDC_PROCESSING = 1602;
    static constexpr int IDC_DECIMATION_FIRST = 1603;  // to 1606, one per unit channel
    static constexpr int IDC_LOG = 1006;               // the log box, which shows the log text (1571)
    static constexpr int kTimerMs = 100;
    static constexpr std::size_t kLogLimit = 3000;  // beyond it only the last kLogKept are shown
    static constexpr std::size_t kLogKept = 1000;

    CNVUDiagnostic(std::shared_ptr<CNvuDiagnosticLink> link, HWND parent);
    ~CNVUDiagnostic() override;

    // The handle its unit keeps.
    static std::unique_ptr<INvuDiagnosticWindow> Open(std::shared_ptr<CNvuDiagnosticLink> link, HWND parent);

    void accept() override;
    void reject() override;

protected:
    void timerEvent(QTimerEvent* event) override;

private:
    void Update();
    void StopTimer();

    std::shared_ptr<CNvuDiagnosticLink> m_link;
    HWND m_parent = 0;
    int m_timer = 0;
    QComboBox* m_test = nullptr;
    std::array<QLineEdit*, 10> m_pingLines{};
    QLineEdit* m_pingRate = nullptr;
    QLineEdit* m_buffer = nullptr;
    QLineEdit* m_header = nullptr;
    QLineEdit* m_processing = nullptr;
    std::array<QLineEdit*, 4> m_decimation{};
    QPlainTextEdit* m_log = nullptr;
    std::string m_ownerLog;  // the unit's log as last taken
};
