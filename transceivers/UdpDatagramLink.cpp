#include "transceivers/UdpDatagramLink.h"

#include "platform/MessageBox.h"

namespace {

// Room in the send buffer is waited for this long.
constexpr int kSendWaitMs = 100;

}  // namespace

std::unique_ptr<CUdpDatagramLink> CUdpDatagramLink::Open(const SocketAddress& unit, const std::string& typeName,
                                                         const std::string& localAddress, bool* bindFailed)
{
    if (bindFailed)
        *bindFailed = false;
    std::unique_ptr<CUdpDatagramLink> link(new CUdpDatagramLink(unit));
    auto fail = [&typeName](const std::string& what) {
        MessageBox(0, typeName + " UDP/IP " + what, typeName, MB_OK | MB_ICONERROR);
        return nullptr;
    };
    if (!link->m_command.Create(CSocket::Udp))
        return fail("socket failed (" + std::to_string(link->m_command.LastError()) + ")");
    if (!link->m_command.SetReceiveBufferSize(32000000))
        return fail("socket option setting failed (" + std::to_string(link->m_command.LastError()) + ")");
    if (!localAddress.empty()) {
        SocketAddress local;
        if (!SocketAddress::ParseIp(localAddress, local.ip) || !link->m_command.Bind(local)) {
            if (bindFailed)
                *bindFailed = true;
            return nullptr;
        }
    }
    if (!link->m_data.Create(CSocket::Udp))
        return fail("socket creation failed");
    link->m_command.SetStopEvent(link->m_stopEvent);
    link->m_data.SetStopEvent(link->m_stopEvent);
    return link;
}

bool CUdpDatagramLink::Send(Path path, const BYTE* data, std::size_t size)
{
    if (path == kParting) {
        CSocket fresh;
        return fresh.Create(CSocket::Udp) && fresh.SendTo(data, size, m_unit, kSendWaitMs) == static_cast<int>(size);
    }
    CSocket& socket = path == kCommand ? m_command : m_data;
    return socket.SendTo(data, size, m_unit, kSendWaitMs) == static_cast<int>(size);
}

int CUdpDatagramLink::Receive(BYTE* buffer, std::size_t capacity, int timeoutMs)
{
    SocketAddress from;
    const int n = m_command.ReceiveFrom(buffer, capacity, &from, timeoutMs);
    if (n >= 0 && from.ip != m_unit.ip)
        return kForeign;
    return n;
}

void CUdpDatagramLink::Stop()
{
    m_stopEvent->Set();
}
