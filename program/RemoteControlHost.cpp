#include "program/RemoteControlHost.h"

#include "base/AppIds.h"
#include "display/HistoryPrinting.h"
#include "platform/MessageDispatcher.h"
#include "program/Program.h"
#include "recording/Store.h"
#include "sounder/EchoSounder.h"

#include <QObject>

namespace app {

CRemoteControlHost::CRemoteControlHost(CProgram& program) : m_program(program), m_receiver(std::make_unique<QObject>())
{}

CRemoteControlHost::~CRemoteControlHost() = default;

bool CRemoteControlHost::IsRecording()
{
    bool recording = false;
    m_program.Recorder().With([&](zv::recording::CStore& store) { recording = store.GetMode() != 0; });
    return recording;
}

void CRemoteControlHost::PostRecordToggle()
{
    if (HWND frame = m_program.Application().GetMainWindow())
        ::PostMessage(frame, WM_COMMAND, cmd::RECORD_TOGGLE, 0);
}

void CRemoteControlHost::RequestPingMode(int mode, double intervalSeconds, DWORD trigger)
{
    QMetaObject::invokeMethod(
        m_receiver.get(),
        [this, mode, intervalSeconds, trigger] {
            COperationControl& operation = m_program.Operation();
            // The survey-control mode of the sounder that runs now; none
            // runs: the request came for one that has gone.
            if (const CEchoSounder* sounder = operation.GetEchoSounder())
                operation.ForwardControl(mode, trigger, 0, intervalSeconds, sounder->GetHbx());
        },
        Qt::QueuedConnection);
}

void CRemoteControlHost::RequestHistory(bool on)
{
    QMetaObject::invokeMethod(
        m_receiver.get(),
        [this, on] {
            IHistoryPrinting& printing = m_program.Printing().Printing();
            if (on == printing.HasPrintingView())
                return;
            if (on)
                printing.StartPrinting();
            else
                printing.StopPrinting();
            m_program.Application().historyFlag = on ? 1 : 0;
        },
        Qt::QueuedConnection);
}

}  // namespace app
