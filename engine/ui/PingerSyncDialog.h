// "Pinger Syncronization Dialog" (dialog 262): while the pinger's period is
// measured, the pings left and the drift measured so far.
#pragma once

#include <QDialog>

class QLabel;

class CPingerSyncDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 262;
    static constexpr int kPingsLeftId = 1491;
    static constexpr int kDriftId = 1007;

    explicit CPingerSyncDialog(QWidget* parent = nullptr);

    // The drift comes in hundredths, as the pinger posts it.
    void SetProgress(int pingsLeft, int driftHundredths);

private:
    QLabel* m_pingsLeft = nullptr;
    QLabel* m_drift = nullptr;
};
