#include "program/HbxHost.h"

#include "base/AppIds.h"
#include "platform/MessageDispatcher.h"
#include "program/Program.h"
#include "recording/Store.h"
#include "sounder/EchoSounder.h"

#include <QObject>

namespace app {

CHbxHost::CHbxHost(CProgram& program) : m_program(program), m_receiver(std::make_unique<QObject>()) {}

CHbxHost::~CHbxHost() = default;

void CHbxHost::RequestPingMode(int mode, DWORD trigger, int companion, double intervalSeconds, int hbx)
{
    QMetaObject::invokeMethod(
        m_receiver.get(),
        [this, mode, trigger, companion, intervalSeconds, hbx] {
            // The sounder that asked may have gone meanwhile.
            COperationControl& operation = m_program.Operation();
            if (operation.GetEchoSounder())
                operation.ForwardControl(mode, trigger, companion, intervalSeconds, hbx);
        },
        Qt::QueuedConnection);
}

int CHbxHost::StoredPingMode()
{
    return m_program.Application().storedPingMode.load();
}

bool CHbxHost::IsRecording()
{
    bool recording = false;
    m_program.Recorder().With([&](zv::recording::CStore& store) { recording = store.GetMode() != 0; });
    return recording;
}

void CHbxHost::PostRecordToggle()
{
    if (HWND frame = m_program.Application().GetMainWindow())
        ::PostMessage(frame, WM_COMMAND, cmd::RECORD_TOGGLE, 0);
}

void CHbxHost::PointNetworkOutput(std::uint32_t address, std::uint16_t port)
{
    QMetaObject::invokeMethod(
        m_receiver.get(),
        [this, address, port] {
            if (CQYNet* net = m_program.Application().Sensor<CQYNet>(SensorId::NetworkOutput)) {
                net->SetDestAddress(SocketAddress::IpText(address));
                net->SetDestPort(port);
            }
        },
        Qt::QueuedConnection);
}

void CHbxHost::StatusText(const std::string& text)
{
    if (HWND frame = m_program.Application().GetMainWindow())
        ::PostMessage(frame, WM_ES_STATUSTEXT, ids::ES_STATUS_TEXT_PANE, 0, MakePayload<std::string>(text));
}

}  // namespace app
