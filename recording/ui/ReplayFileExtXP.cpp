#include "recording/ui/ReplayFileExtXP.h"

#include "app/widgets/DialogExchange.h"

#include <QCheckBox>
#include <QHBoxLayout>

using widgets::WithId;

namespace zv::recording {

namespace {

QCheckBox* Check(int id, const char* text, int on)
{
    auto* box = WithId(new QCheckBox(text), id);
    box->setChecked(on != 0);
    return box;
}

}  // namespace

ReplayFileExtXP::ReplayFileExtXP(int loop, int saveData, int changeInstallation, int changeSvp, QWidget* parent)
    : QWidget(parent),
      m_loop(Check(1130, "Loop", loop)),
      m_saveData(Check(1152, "Save Data", saveData)),
      m_changeInstallation(Check(1457, "Change Installation", changeInstallation)),
      m_changeSvp(Check(1350, "Change SVP Profile", changeSvp))
{
    setObjectName(QString::number(kTemplate));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QCheckBox* box : {m_loop, m_saveData, m_changeInstallation, m_changeSvp})
        layout->addWidget(box);
    layout->addStretch();
}

int ReplayFileExtXP::Loop() const
{
    return m_loop->isChecked() ? 1 : 0;
}
int ReplayFileExtXP::SaveData() const
{
    return m_saveData->isChecked() ? 1 : 0;
}
int ReplayFileExtXP::ChangeInstallation() const
{
    return m_changeInstallation->isChecked() ? 1 : 0;
}
int ReplayFileExtXP::ChangeSvp() const
{
    return m_changeSvp->isChecked() ? 1 : 0;
}

}  // namespace zv::recording
