#include "program/RawDataLink.h"

#include "program/Program.h"
#include "recording/Store.h"

namespace app {

CRawDataLink::CRawDataLink(CProgram& program, CLinkList& links)
    : m_program(program), m_output(links, "sounder host: raw-data output", kQYModels)
{}

void CRawDataLink::WriteConfiguration()
{
    const CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    if (!sounder || sounder->GetChannelCount() < 1)
        return;
    m_program.Recorder().With([](zv::recording::CStore& store) { store.WriteConfigurationToUdp(); });
}

}  // namespace app
