#include "app/ui/SensorAdapters.h"

#include "app/ui/Program.h"

namespace app {

CNetworkOutputObject::CNetworkOutputObject(CProgram& program, std::shared_ptr<CQYNet> net)
    : TSensorObject(std::move(net)), m_program(program)
{
}

void CNetworkOutputObject::Start()
{
    CQYNetPort::Links links;
    links.isReplaying = [this] { return m_program.Application().IsReplaying(); };
    links.parseNmea = [this](const std::string& text, std::uint64_t received) {
        m_program.ParseNmeaTelegram(text, received, kNmeaFromNetwork);
    };
    Get()->Port().SetLinks(std::move(links));
    Get()->CreateSocket();
}

}  // namespace app
