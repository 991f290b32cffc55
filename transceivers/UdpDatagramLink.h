// A network unit's road over UDP: a command socket, on which the unit also
// answers, a data socket, and a fresh socket for the parting word. Only the
// unit's own address speaks on the command socket.
#pragma once

#include "platform/Socket.h"
#include "transceivers/DatagramLink.h"

#include <memory>
#include <string>

class CUdpDatagramLink final : public IDatagramLink
{
public:
    // Opens the sockets toward the unit; null, once the operator has been
    // told under the type's name, when the system refuses one. With a local
    // address the command socket is bound to that adapter; when it cannot
    // be (no such adapter any more), the result is null without a word and
    // bindFailed (when given) is set, so that the caller can search.
    static std::unique_ptr<CUdpDatagramLink> Open(const SocketAddress& unit, const std::string& typeName,
                                                  const std::string& localAddress = {}, bool* bindFailed = nullptr);

    bool Send(Path path, const BYTE* data, std::size_t size) override;
    int Receive(BYTE* buffer, std::size_t capacity, int timeoutMs) override;
    void Stop() override;

private:
    explicit CUdpDatagramLink(const SocketAddress& unit) : m_unit(unit) {}

    SocketAddress m_unit;
    CSocket m_command;
    CSocket m_data;
    std::shared_ptr<CStopEvent> m_stopEvent = std::make_shared<CStopEvent>();
};
