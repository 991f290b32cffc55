// The file dialog for recorded files to replay: several ".raw" files at
// once, with the replay options below the file list. Qt's own dialog on
// every desktop, so that the options are always there.
#pragma once

#include <QFileDialog>

#include <string>
#include <vector>

namespace zv::recording {

class ReplayFileExtXP;

class CReplayFileDialog : public QFileDialog
{
    Q_OBJECT
public:
    CReplayFileDialog(int loop, int saveData, int changeInstallation, int changeSvp, QWidget* parent = nullptr);

    const ReplayFileExtXP& Options() const { return *m_options; }

    // The options come in as presets and go out as chosen; true on OK, with
    // the chosen paths.
    static bool Run(QWidget* parent, int& loop, int& saveData, int& changeInstallation, int& changeSvp,
                    std::vector<std::string>& files);

private:
    ReplayFileExtXP* m_options;
};

}  // namespace zv::recording
