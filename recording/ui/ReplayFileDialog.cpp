#include "recording/ui/ReplayFileDialog.h"

#include "recording/ui/ReplayFileExtXP.h"

#include <QGridLayout>

namespace zv::recording {

CReplayFileDialog::CReplayFileDialog(int loop, int saveData, int changeInstallation, int changeSvp, QWidget* parent)
    : QFileDialog(parent), m_options(new ReplayFileExtXP(loop, saveData, changeInstallation, changeSvp))
{
    setObjectName("ReplayFileDialog");
    setOption(QFileDialog::DontUseNativeDialog, true);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    setNameFilters({"Raw datagram (*.raw)", "All files (*)"});
    setDefaultSuffix("raw");
    // Qt's own dialog lays itself out in a grid: the options go below it.
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(m_options, grid->rowCount(), 0, 1, grid->columnCount());
    else
        m_options->setParent(this);
}

bool CReplayFileDialog::Run(QWidget* parent, int& loop, int& saveData, int& changeInstallation, int& changeSvp,
                            std::vector<std::string>& files)
{
    CReplayFileDialog dialog(loop, saveData, changeInstallation, changeSvp, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    loop = dialog.Options().Loop();
    saveData = dialog.Options().SaveData();
    changeInstallation = dialog.Options().ChangeInstallation();
    changeSvp = dialog.Options().ChangeSvp();
    files.clear();
    for (const QString& file : dialog.selectedFiles())
        files.push_back(file.toStdString());
    return true;
}

}  // namespace zv::recording
