// The replay options under the file dialog for recorded files (dialog 293):
// "Loop", "Save Data", "Change Installation" and "Change SVP Profile".
#pragma once

#include <QWidget>

class QCheckBox;

namespace zv::recording {

class ReplayFileExtXP : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTemplate = 293;

    ReplayFileExtXP(int loop, int saveData, int changeInstallation, int changeSvp, QWidget* parent = nullptr);

    int Loop() const;
    int SaveData() const;
    int ChangeInstallation() const;
    int ChangeSvp() const;

private:
    QCheckBox* m_loop;
    QCheckBox* m_saveData;
    QCheckBox* m_changeInstallation;
    QCheckBox* m_changeSvp;
};

}  // namespace zv::recording
