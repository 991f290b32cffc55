// The common part of the two statistics windows: a column of counters
// refreshed every 500 ms relative to zero points, "Remove" (1) and
// "Zero Values" (2, which Escape also gives).
#pragma once

#include "platform/WinTypes.h"

#include <QDialog>

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
    // read fills the current counters in the order of the rows (the vector
    // comes sized to them).
    CCounterWindow(int dialogId, const char* title, std::vector<Row> rows,
                   std::function<void(std::vector<DWORD>&)> read, std::function<void()> remove, QWidget* parent);

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
    // The counters now, one per row.
    std::vector<DWORD> ReadCounters() const;

    std::vector<Row> m_Rows;
    std::vector<QLabel*> m_Values;
    std::vector<DWORD> m_Zero;
    std::function<void(std::vector<DWORD>&)> m_Read;
    std::function<void()> m_Remove;
    QTimer* m_Timer = nullptr;
};
