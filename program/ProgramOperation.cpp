#include "program/ProgramOperation.h"

#include "app/StandardESLayout.h"
#include "app/ui/MainFrame.h"
#include "base/ReplayFileList.h"
#include "display/ESDocList.h"
#include "display/HistoryPrinting.h"
#include "display/ui/ChannelFrameAbstract.h"
#include "display/ui/EchogramView.h"
#include "engine/Channel.h"
#include "program/Program.h"
#include "recording/Store.h"
#include "recording/ui/ReplayFileDialog.h"

#include <QGuiApplication>
#include <QMdiArea>

namespace app {

CProgramOperation::CProgramOperation(CProgram& program) : m_program(program)
{
    ChannelFrameContext& frames = m_frames;
    frames.area = [&program]() -> QMdiArea* {
        CMainFrame* frame = program.Frame();
        return frame ? frame->MdiArea() : nullptr;
    };
    frames.channel = [&program](int index) -> CChannel* {
        CEchoSounder* sounder = program.Operation().GetEchoSounder();
        return sounder ? sounder->GetChannel(index) : nullptr;
    };
    frames.documents = [&program]() -> CESDocList* {
        CEchoSounder* sounder = program.Operation().GetEchoSounder();
        return sounder ? dynamic_cast<CESDocList*>(sounder->GetDocuments()) : nullptr;
    };
    frames.replaying = [&program] { return program.Application().IsReplaying(); };
}

CProgramOperation::~CProgramOperation() = default;

// ---------------------------------------------------------------------------
// The application's link

void CProgramOperation::Init()
{
    CPelmaris& application = m_program.Application();
    COperationControl& operation = m_program.Operation();
    const SounderModel model = application.GetSounderType();
    CTransceiverInstallation& installation = m_program.Installation();
    installation.SetModel(model);
    installation.SetProfileSource([&application] { return application.GetMcuMode(); });
    // The sensor objects offer the installed channels for choice.
    installation.SetChannelListsChanged([&application] { application.UpdateSourceLists(); });
    installation.SetTrListPath(application.GetTrListPath());
    // The installation is changed only while no sounder runs.
    installation.SetSounderExists([&operation] { return operation.GetEchoSounder() != nullptr; });
    // Discovery and the address changes ring the bell where a unit reports
    // a fault or gives no answer.
    installation.SetBeeper(
        [this](unsigned hz, unsigned ms) { m_program.SounderHost().TransceiverServices().Beep(hz, ms); });
    installation.Initialize();
    m_program.SounderHost().Init();

    CEchoSounder::Context context;
    context.installation = &installation;
    context.host = &m_program.SounderHost();
    context.model = model;
    context.transceiverTypes = &m_program.SounderHost().TransceiverTypes();
    context.workerStartDelayMs = m_program.GetOptions().workerStartDelayMs;
    if (!application.GetAdapterList().empty())
        context.adapterAddress = application.GetAdapterList().front();
    context.productVersion = application.GetFileVersionText();
    context.trListPath = application.GetTrListPath();
    operation.SetEchoSounderContext(context);
    operation.SetModel(model);
    operation.SetTrListPath(application.GetWritableTrListPath());
    operation.SetSerializePath(application.GetSerializePath());
    operation.SetHost(this);
    operation.Init();
}

int CProgramOperation::GetTransceiverCount()
{
    return m_program.Installation().GetTransceiverCount();
}

std::vector<IOperationLink::InstalledTransceiver> CProgramOperation::GetInstalledTransceivers()
{
    CTransceiverInstallation& installation = m_program.Installation();
    std::vector<InstalledTransceiver> installed;
    for (int t = 0; t < installation.GetTransceiverCount(); ++t) {
        const auto info = installation.GetTransceiverInfo(t);
        if (!info)
            continue;
        InstalledTransceiver transceiver{info->transceiverId, {}};
        for (int c = 0; c < info->channelCount; ++c)
            if (const auto channel = installation.GetTransceiverChannel(t, c))
                transceiver.channels.push_back(channel->description);
        installed.push_back(std::move(transceiver));
    }
    return installed;
}

void CProgramOperation::PostStartWithFiles(const CReplayFileList& files)
{
    COperationControl::PostStartWithFiles(&files);
}

void CProgramOperation::PostRestart()
{
    COperationControl::PostRestart();
}

void CProgramOperation::PostStop(unsigned followUp)
{
    COperationControl::PostCommand(followUp);
}

void CProgramOperation::PostStopAndExit()
{
    m_program.Operation().PostCommand4002();
}

void CProgramOperation::QueueCommand(unsigned code, LPARAM parameter)
{
    m_program.Operation().HandleMessage(WM_ES_OPERATIONCOMMAND, code, parameter);
}

void CProgramOperation::ExecuteCommand(unsigned code, LPARAM parameter)
{
    m_program.Operation().HandleMessage(WM_ES_EXECUTECOMMAND, code, parameter);
}

CEchoSounder* CProgramOperation::GetEchoSounder()
{
    return m_program.Operation().GetEchoSounder();
}

bool CProgramOperation::IsReplaying()
{
    COperationControl& operation = m_program.Operation();
    return operation.GetEchoSounder() && operation.GetMode() == CEchoSounder::kReplay;
}

void CProgramOperation::SetPowerOff(bool on)
{
    m_program.Operation().SetPowerOff(on);
}

bool CProgramOperation::GetPowerOff()
{
    return m_program.Operation().GetPowerOff();
}

// ---------------------------------------------------------------------------
// What the commands reach

bool CProgramOperation::CreateLayout(const Displays& displays, int arrangement)
{
    CEchoSounder* sounder = m_program.Operation().GetEchoSounder();
    LayoutSource source;
    for (std::size_t i = 0; i < displays.size(); ++i)
        source.displays[i] = {displays[i].bExists != 0, displays[i].bShown != 0, displays[i].sShortChannelID,
                              displays[i].sLongChannelID};
    source.arrangement = arrangement;
    source.echoSounderRuns = sounder != nullptr;
    if (CMainFrame* frame = m_program.Frame()) {
        source.clientWidth = frame->MdiArea()->width();
        source.clientHeight = frame->MdiArea()->height();
    }
    source.hasChannel = [sounder](int index) { return sounder && sounder->GetChannel(index) != nullptr; };
    const SounderModel model = m_program.Application().GetSounderType();
    source.frameKindOf = [model](int) { return CStandardESLayout::FrameKindFor(model, 0); };
    m_frames.frames = m_program.Display().FrameContext(model);
    m_layoutFrames.clear();
    m_frames.frameMade = [this](CChannelFrameAbstract& frame) { m_layoutFrames.emplace_back(&frame); };
    auto layout = std::make_unique<CStandardESLayout>(model, std::move(source), MakeChannelFrameFactory(m_frames));
    // The history printing lets the echograms go, and leaves the sounder's
    // documents, before the frames go; it takes them and joins once the
    // layout is arranged.
    IHistoryPrinting& printing = m_program.Printing().Printing();
    layout->onResetHistory = [this, &printing] {
        printing.ClearViewList();
        m_layoutFrames.clear();
    };
    layout->onDisplayedChannelCount = [this, &printing, sounder](int displayed) {
        if (displayed <= 0)
            return;
        std::vector<IPrintedEchogram*> echograms;
        for (const QPointer<CChannelFrameAbstract>& frame : m_layoutFrames)
            if (frame)
                echograms.insert(echograms.end(), frame->EchogramViews().begin(), frame->EchogramViews().end());
        printing.CollectEchogramViews(sounder ? dynamic_cast<CESDocList*>(sounder->GetDocuments()) : nullptr,
                                      echograms);
    };
    if (!layout->Arrange())
        return false;
    m_layout = std::move(layout);
    return true;
}

void CProgramOperation::DeleteLayout()
{
    if (m_layout)
        m_layout->DeleteLayout();
    m_layout.reset();
}

void CProgramOperation::ClearPendingNewLayout()
{
    if (CMainFrame* frame = m_program.Frame())
        frame->ClearNewLayoutPending();
}

void CProgramOperation::StopPingTimer()
{
    if (CMainFrame* frame = m_program.Frame())
        frame->StopPingTimer();
}

void CProgramOperation::StatusBarModel(SounderModel)
{
    // The status bar was made with the program's panes for its model, which
    // never changes while it runs: there is nothing to hand over again.
}

void CProgramOperation::StatusBarStarting()
{
    // The status bar shows nothing of its own while a replay starts; its
    // panes fill from the first replayed ping.
}

void CProgramOperation::EnableMessagePane(bool sync)
{
    if (CMainFrame* frame = m_program.Frame())
        frame->EnableMessagePane(sync);
}

bool CProgramOperation::ShiftOrSecondaryButtonHeld()
{
    return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) ||
           (QGuiApplication::mouseButtons() & Qt::RightButton);
}

std::string CProgramOperation::GetProfile()
{
    return m_program.Application().GetMcuMode();
}

void CProgramOperation::SetProfile(const std::string& profile)
{
    m_program.Application().SetMcuMode(profile);
}

void CProgramOperation::SetSettingsFolder(const std::string& folder)
{
    m_program.Application().SetSerializePath(folder);
}

void CProgramOperation::CloseSensors()
{
    m_program.Application().CloseSensors();
}

void CProgramOperation::PowerOff()
{
    m_program.Application().PowerOffComputer();
}

void CProgramOperation::FactoryDefaults()
{
    m_program.Environment().SetDefaults();
    if (CNavigation* navigation = m_program.Application().Sensor<CNavigation>(SensorId::Navigation))
        navigation->SetDefaults();
    if (CPurseSeine* seine = m_program.Application().Sensor<CPurseSeine>(SensorId::PurseSeine))
        seine->ResetOutput();
    if (CHeave* heave = m_program.Application().Sensor<CHeave>(SensorId::Heave))
        heave->SetDefaults();
    if (CTrawl* trawl = m_program.Application().Sensor<CTrawl>(SensorId::Trawl))
        trawl->ResetData();
    m_program.Printing().Printing().ResetSettings();
    m_program.Outputs().RestoreDefaults();
}

void CProgramOperation::HistorySaving(bool on)
{
    m_program.Printing().HistorySaving(on);
}

bool CProgramOperation::HasPingerMode()
{
    return !m_program.PingerMode().IsAbsent();
}

bool CProgramOperation::SynchronisePinger()
{
    return m_program.PingerMode()->Synchronise();
}

void CProgramOperation::SetPingerActive(bool active)
{
    m_program.PingerMode()->SetActive(active);
}

void CProgramOperation::NameExternalDepthSource(int source, const std::string& shortId)
{
    m_program.ExternalDepth().SetSourceName(source, shortId);
}

void CProgramOperation::ResetGeographicHistory()
{
    if (CGeographicInfo* geographic = m_program.Application().Sensor<CGeographicInfo>(SensorId::GeographicInfo))
        geographic->Reset();
}

// ---------------------------------------------------------------------------
// "Operation..."

bool CProgramOperation::RunOperationDialog(SOperationDialogValues& values)
{
    COperationDialog dialog(values, *this, m_program.Frame());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    values = dialog.Values();
    return true;
}

std::vector<std::string> CProgramOperation::InstalledChannelNames()
{
    std::vector<std::string> names;
    for (const InstalledTransceiver& transceiver : GetInstalledTransceivers())
        names.insert(names.end(), transceiver.channels.begin(), transceiver.channels.end());
    return names;
}

bool CProgramOperation::GetEnvironmentUpdateFlag()
{
    return m_program.Environment().GetUpdateFlag() != FALSE;
}

void CProgramOperation::SetEnvironmentUpdateFlag(bool on)
{
    m_program.Environment().SetUpdateFlag(on ? TRUE : FALSE);
}

bool CProgramOperation::ChooseReplayFiles(QWidget* parent, int& loop, int& saveData, int& changeInstallation,
                                          int& changeSvp, std::vector<std::string>& files)
{
    return zv::recording::CReplayFileDialog::Run(parent, loop, saveData, changeInstallation, changeSvp, files);
}

bool CProgramOperation::IsRecording()
{
    const zv::recording::CStore* recorder = m_program.Recorder().Current();
    return recorder && recorder->GetMode() != 0;
}

std::string CProgramOperation::GetHistoryPath()
{
    return m_program.Application().GetHistoryPath();
}

void CProgramOperation::SetHistoryPath(const std::string& path)
{
    m_program.Application().SetHistoryPath(path);
}

void CProgramOperation::RememberRate(int rate)
{
    m_program.Application().storedPingMode = rate;
}

int CProgramOperation::RememberedRate()
{
    return m_program.Application().storedPingMode.load();
}

}  // namespace app
