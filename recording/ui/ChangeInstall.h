// "Reprocess Heave" (dialog 258): the motion sensor's and the transducers'
// offsets with which replay recomputes heave, and whether it applies heave,
// reprocesses, and does so for every file. It edits a copy of the block;
// the replay takes it back after OK.
#pragma once

#include "recording/ReplayHost.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace zv::recording {

class CChangeInstall : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 258;
    static constexpr int kColumns = 4;

    CChangeInstall(const SReplayInstallation& block, int applyHeave, int reprocess, int applyAll,
                   QWidget* parent = nullptr);

    // Valid after OK.
    const SReplayInstallation& Block() const { return m_block; }
    int ApplyHeave() const { return m_applyHeave; }
    int Reprocess() const { return m_reprocess; }
    int ApplyAll() const { return m_applyAll; }
    void accept() override;

private:
    SReplayInstallation m_block;
    int m_applyHeave, m_reprocess, m_applyAll;
    QCheckBox* m_applyHeaveBox;
    QCheckBox* m_reprocessBox;
    QCheckBox* m_applyAllBox;
    std::array<QLineEdit*, 3> m_motion{};                         // X, Y, Z
    std::array<std::array<QLineEdit*, 4>, kColumns> m_channel{};  // draught, X, Y, Z
};

}  // namespace zv::recording
