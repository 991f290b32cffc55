// The debug trace dialog (211): seven switches of the engine's traces.
#pragma once

#include <QCheckBox>
#include <QDialog>

#include <array>

namespace app {

class CDebugTraceDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CDebugTraceDlg(QWidget* parent = nullptr);
    void SetSwitches(const std::array<int, 7>& switches);
    std::array<int, 7> Switches() const;

private:
    std::array<QCheckBox*, 7> m_boxes{};
};

}  // namespace app
