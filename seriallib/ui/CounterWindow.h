// The common part of the two statistics windows: a column of counters
// refreshed every 500 ms relative to zero points, "Remove" (1) and
// "Zero Values" (2, which Escape also gives).
#pragma once

#include "platform/WinTypes.h"

#include <QDialog>

#include <array>
#include <functional>
#include <vector>

class QLabel;
class QTimer;

class CCounterWindow : public QDialog
{
    Q_OBJECT
public:
    struct Row
    {
        int id;
        const char* label;
        bool shown;
    };
    // read fills the current counters in the order of the rows.
    CCounterWindow(int dialogId, const char* title, std::vector<Row> rows,
                   std::function<void(std::array<DWORD, 5>&)> read, std::function<void()> remove, QWidget* parent);

    // Reads the counters and shows each minus its zero point.
    void Refresh();
    // The current counters become the zero points.
    void ZeroValues();
    // The text shown for a control id ("" for a hidden one).
    QString ValueText(int id) const;
    void PlaceAtLeftEdge(int topInHeights);

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::vector<Row> m_Rows;
    std::vector<QLabel*> m_Values;
    std::array<DWORD, 5> m_Zero{};
    std::array<DWORD, 5> m_Shown{};
    std::function<void(std::array<DWORD, 5>&)> m_Read;
    std::function<void()> m_Remove;
    QTimer* m_Timer = nullptr;
};
