#include "app/ui/ProgramReplayHost.h"

#include "app/ui/Program.h"
#include "engine/ReplayFileList.h"

namespace app {

CProgramReplayHost::CProgramReplayHost(CProgram& program)
    : CReplayEnvironmentHost(&program.Environment()), m_program(program)
{
}

void CProgramReplayHost::SetTide(double metres)
{
    m_program.Application().tide = metres;
}

void CProgramReplayHost::SendProfileToOutputs(const std::string& text, zv::recording::FileTime time)
{
    m_program.Application().SendToOutputs(text, time);
}

void CProgramReplayHost::ParseNmea(const std::string& text, zv::recording::FileTime time)
{
    m_program.ParseNmeaTelegram(text, time, kNmeaFromReplay);
}

void CProgramReplayHost::AddAnnotation(const std::string& text, zv::recording::FileTime time)
{
    m_program.Application().AddAnnotation(text, time);
}

void CProgramReplayHost::RestartReplay(const CReplayFileList& list)
{
    COperationControl::PostStartWithFiles(&list);
}

void CProgramReplayHost::ResetGeographicHistory()
{
    if (CGeographicInfo* geographic = m_program.Application().Sensor<CGeographicInfo>(SensorId::GeographicInfo))
        geographic->Reset();
}

}  // namespace app
