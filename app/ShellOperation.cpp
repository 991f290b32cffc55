#include "app/ShellOperation.h"

#include "app/Pelmaris.h"
#include "base/EchosounderError.h"
#include "base/FramePayloads.h"
#include "platform/MessageDispatcher.h"

namespace app {

void CShellOperation::PostStartWithFiles(const CReplayFileList& files)
{
    const HWND frame = m_app.GetMainWindow();
    ::PostMessage(frame, WM_ES_OPERATIONCOMMAND, OC_START_REPLAY, 0, MakePayload<CReplayFileList>(files));
    ::PostMessage(frame, WM_ES_SHOWREPLAYBUTTONS, 0, 0);
}

void CShellOperation::PostRestart()
{
    ::PostMessage(m_app.GetMainWindow(), WM_ES_OPERATIONCOMMAND, OC_START_NORMAL, 0);
    ::PostMessage(m_app.GetMainWindow(), WM_ES_HIDEREPLAYBUTTONS, 0, 0);
}

void CShellOperation::PostStop(unsigned followUp)
{
    ::PostMessage(m_app.GetMainWindow(), WM_ES_OPERATIONCOMMAND, OC_STOP, followUp);
}

void CShellOperation::PostStopAndExit()
{
    ::PostMessage(m_app.GetMainWindow(), WM_ES_OPERATIONCOMMAND, OC_STOP_AND_EXIT, 0);
}

void CShellOperation::QueueCommand(unsigned code, LPARAM parameter)
{
    if (code < OC_STOP || code > OC_FACTORY_SETTINGS)
        EchosounderFatalError("OperationControl", __LINE__, "Illegal Operation Control Command (%d)",
                              static_cast<int>(code));
    ExecuteCommand(code, parameter);
}

void CShellOperation::ExecuteCommand(unsigned code, LPARAM parameter)
{
    switch (code) {
    case OC_STOP:
        if (parameter != 0)
            ::PostMessage(m_app.GetMainWindow(), WM_COMMAND, static_cast<WPARAM>(parameter), 0);
        break;
    case OC_STOP_AND_EXIT:
        m_app.CloseSensors();
        ::PostMessage(m_app.GetMainWindow(), WM_CLOSE, 0, 0);
        if (m_app.IsPowerOffRequested())
            m_app.PowerOffComputer();
        break;
    case OC_CLOSE_SENSORS:
        m_app.CloseSensors();
        break;
    default:
        break;  // nothing runs that could be stopped, started or rearranged
    }
}

}  // namespace app
