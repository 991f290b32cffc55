#include "program/ProgramReplayHost.h"

#include "app/ui/MainFrame.h"
#include "base/ReplayFileList.h"
#include "platform/ThreadCall.h"
#include "program/Program.h"
#include "recording/ui/ChangeInstall.h"

#include <QTimer>

namespace app {

CProgramReplayHost::CProgramReplayHost(CProgram& program)
    : CReplayEnvironmentHost(&program.Environment()), m_program(program)
{}

void CProgramReplayHost::SetTide(double metres)
{
    m_program.Application().tide = metres;
}

void CProgramReplayHost::SendProfileToOutputs(const std::string& text, zv::recording::FileTime time)
{
    m_program.Application().SendToOutputs(text, time);
}

void CProgramReplayHost::SetReplayTemperature(double celsius)
{
    m_program.WaterTemperature()->SetReplayTemperature(celsius);
}

ITransceiverDialogs* CProgramReplayHost::TransceiverDialogs()
{
    return &m_program.TransceiverDialogs();
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

void CProgramReplayHost::RestartPrinting()
{
    m_program.Printing().PostReplayFileOpened();
}

void CProgramReplayHost::UpdateReplayButtons(zv::recording::FileTime start, zv::recording::FileTime end,
                                             const std::string& fileName)
{
    m_program.ToolWindows().PostReplayFile(start, end, fileName);
}

void CProgramReplayHost::CopyReplayTable(const zv::recording::FileTime* times200)
{
    m_program.ToolWindows().PostReplayTable(times200);
}

bool CProgramReplayHost::RunInstallationDialog(zv::recording::SReplayInstallation& block, int& applyHeave,
                                               int& reprocess, int& applyAll, const std::function<bool()>& ended)
{
    // Without a parent: a frame torn down in its message loop must not take
    // it along.
    zv::recording::CChangeInstall dialog(block, applyHeave, reprocess, applyAll);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &dialog, [&] {
        if (ended())
            dialog.reject();
    });
    watch.start(CThreadCall::kPollMs);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    block = dialog.Block();
    applyHeave = dialog.ApplyHeave();
    reprocess = dialog.Reprocess();
    applyAll = dialog.ApplyAll();
    return true;
}

void CProgramReplayHost::ResetGeographicHistory()
{
    if (CGeographicInfo* geographic = m_program.Application().Sensor<CGeographicInfo>(SensorId::GeographicInfo))
        geographic->Reset();
}

}  // namespace app
