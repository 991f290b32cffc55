#include "program/ProgramApplicationHost.h"

#include "outputs/QYNet.h"
#include "platform/FileTime.h"
#include "program/Program.h"
#include "recording/Store.h"

namespace app {

void CProgramApplicationHost::LoadUserSettings()
{
    m_program.Environment().LoadUserSettings();
}

void CProgramApplicationHost::AnnotationToOutputs(const std::string& text, std::uint64_t fileTime)
{
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteAnnotationDatagram(text, fileTime); });
    if (CQYNet* net = m_program.Application().Sensor<CQYNet>(SensorId::NetworkOutput))
        net->SendCS(text, fileTime);
}

void CProgramApplicationHost::ProfileToOutputs(const std::string& text, std::uint64_t fileTime)
{
    // A profile for the outputs is the real-time one.
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, fileTime, 3); });
    if (CQYNet* net = m_program.Application().Sensor<CQYNet>(SensorId::NetworkOutput))
        net->SendSV(text);
}

int CProgramApplicationHost::RecordProfile(const std::string& text)
{
    return m_program.Recorder().With(
               [&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, CFileTime::Now(), 0); })
               ? 1
               : 0;
}

}  // namespace app
