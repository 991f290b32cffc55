#include "program/ProgramApplicationHost.h"

#include "display/HistoryPrinting.h"
#include "platform/FileTime.h"
#include "program/Program.h"
#include "recording/Store.h"

namespace app {

CProgramApplicationHost::CProgramApplicationHost(CProgram& program)
    : m_program(program), m_engineExtras(program.Links(), "application host: engine extras")
{}

void CProgramApplicationHost::PathsRead()
{
    m_program.StartBootServer();
}

void CProgramApplicationHost::LoadUserSettings()
{
    m_program.Environment().LoadUserSettings();
    m_program.Printing().Printing().SetDefaults();
}

void CProgramApplicationHost::AnnotationToOutputs(const std::string& text, std::uint64_t fileTime)
{
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteAnnotationDatagram(text, fileTime); });
    m_program.Printing().Printing().PrintAnnotationText(text);
    m_program.Outputs().TakeText({OutputTextKind::Annotation, text, fileTime});
}

void CProgramApplicationHost::ProfileToOutputs(const std::string& text, std::uint64_t fileTime)
{
    // A profile for the outputs is the real-time one.
    m_program.Recorder().With([&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, fileTime, 3); });
    m_program.Outputs().TakeProfile(text, fileTime);
}

std::optional<bool> CProgramApplicationHost::RefreshPrintingDocument()
{
    return m_program.Printing().Refresh();
}

void CProgramApplicationHost::OpenHistoryDialog()
{
    m_program.PrinterDoc().OpenHistoryDialog();
}

int CProgramApplicationHost::RecordProfile(const std::string& text)
{
    return m_program.Recorder().With(
               [&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, CFileTime::Now(), 0); })
               ? 1
               : 0;
}

bool CProgramApplicationHost::NavigationExpectsPositions()
{
    return m_program.Navigation()->ExpectsPositions();
}

void CProgramApplicationHost::GetPositionTimes(std::uint64_t& position, std::uint64_t& other)
{
    position = m_program.Decoder().GetLastPositionTime();
    other = m_program.Decoder().GetLastOtherPositionTime();
}

void CProgramApplicationHost::ClockWasSet()
{
    m_program.Navigation()->EndForceUpdate();
}

}  // namespace app
