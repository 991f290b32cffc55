#include "program/ProgramPingerHost.h"

#include "app/ui/MainFrame.h"
#include "engine/ui/PingerDialog.h"
#include "platform/MessageDispatcher.h"
#include "program/Program.h"

namespace app {

std::string CProgramPingerHost::GetSerializePath()
{
    return m_program.Application().GetSerializePath();
}

bool CProgramPingerHost::IsReplaying()
{
    return m_program.Application().IsReplaying();
}

bool CProgramPingerHost::RunPingerDialog(SPingerDialogValues& values)
{
    if (m_program.GetOptions().pingerDialog)
        return m_program.GetOptions().pingerDialog(values);
    CPingerDialog dialog(values, m_program.Frame());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.Values();
    return true;
}

void CProgramPingerHost::PostToFrame(unsigned message, std::intptr_t wParam, std::intptr_t lParam)
{
    PostMessage(GetMainWindow(), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

}  // namespace app
