// The engine's headers come before any Qt header: they use names that Qt
// defines as macros.
#include "engine/OperationControl.h"
#include "engine/ReplayFileList.h"
#include "outputs/NavNetLink.h"
#include "recording/EngineStore.h"
#include "recording/Replay.h"
#include "recording/ReplayEnvironmentHost.h"
#include "recording/StoreStatusEvents.h"
#include "outputs/QYNet.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "app/Workload.h"
#include "sensors/Environment.h"
#include "transceivers/QY42.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/UnitSearchWait.h"
#include "app/base/Status.h"

#include "app/ui/EngineLink.h"
#include "app/StandardESLayout.h"
#include "app/ui/MainFrame.h"
#include "transceivers/ui/SearchNVU.h"

#include <QApplication>
#include <QMdiArea>

#include <QGuiApplication>

namespace app {

namespace {
// To the link's own window: run "Store..." on the recorder.
constexpr UINT kRunStore = WM_USER + 1;
}  // namespace

// The sounder owns its recorder; while it exists the link knows it, so that
// annotations and profiles from any thread reach it and never reach it after
// it has gone.
class CEngineLink::LinkedRecorder final : public IPingRecorder {
public:
    LinkedRecorder(CEngineLink& link, std::unique_ptr<zv::recording::CEngineStore> recorder)
        : m_link(link), m_recorder(std::move(recorder))
    {
        std::lock_guard lock(m_link.m_recorderLock);
        m_link.m_recorder = &m_recorder->Store();
    }
    ~LinkedRecorder() override
    {
        {
            std::lock_guard lock(m_link.m_recorderLock);
            m_link.m_recorder = nullptr;
        }
        m_recorder.reset();
    }
    void WritePing() override { m_recorder->WritePing(); }
    bool IsRecordingPing() const override { return m_recorder->IsRecordingPing(); }
    bool OnCommand(unsigned id) override { return m_recorder->OnCommand(id); }
    int GetMode() const override { return m_recorder->GetMode(); }

private:
    CEngineLink& m_link;
    std::unique_ptr<zv::recording::CEngineStore> m_recorder;
};

CEngineLink::CEngineLink(CPelmaris& application)
    : m_app(application),
      m_environment(std::make_unique<CEnvironment>()),
      m_installation(std::make_unique<CTransceiverInstallation>()),
      m_storeEvents(std::make_unique<zv::recording::CStoreStatusEvents>()),
      m_operation(std::make_unique<COperationControl>())
{
    OperationHooks& op = m_app.operation;
    op.init = [this] { Init(); };
    op.transceiverCount = [this] { return m_installation->GetTransceiverCount(); };
    op.postStartWithFiles = [](std::vector<std::string> files) {
        CReplayFileList list;
        for (const auto& file : files)
            list.AddTail(file);
        COperationControl::PostStartWithFiles(&list);
    };
    op.postRestart = [] { COperationControl::PostRestart(); };
    op.postStop = [](unsigned followUp) { COperationControl::PostCommand(followUp); };
    op.postStopAndExit = [this] { m_operation->PostCommand4002(); };
    op.queueCommand = [this](unsigned code, LPARAM parameter) {
        m_operation->HandleMessage(::WM_ES_OPERATIONCOMMAND, code, parameter);
    };
    op.executeCommand = [this](unsigned code, LPARAM parameter) {
        m_operation->HandleMessage(::WM_ES_EXECUTECOMMAND, code, parameter);
    };
    op.echoSounder = [this] { return m_operation->GetEchoSounder(); };
    op.isReplaying = [this] {
        return m_operation->GetEchoSounder() && m_operation->GetMode() == CEchoSounder::kReplay;
    };
    op.setPowerOff = [this](bool on) { m_operation->SetPowerOff(on); };
    op.getPowerOff = [this] { return m_operation->GetPowerOff(); };
    // Operation control's own menu commands come before the application's.
    m_commands.link = this;
    m_app.loadUserSettings = [this] { m_environment->LoadUserSettings(); };
    m_app.commandTargets.insert(m_app.commandTargets.begin(), &m_commands);

    // The recorder's START and STOP lines go out through the network output.
    m_storeEvents->sendLine = [this](const std::string& line) {
        if (CQYNet* net = m_app.GetQYNet())
            net->SendText(line);
    };
    m_annotationSink = m_app.annotationSinks.size();
    m_app.annotationSinks.push_back([this](const std::string& text, std::uint64_t time) {
        WithRecorder([&](zv::recording::CStore& store) { store.WriteAnnotationDatagram(text, time); });
    });
    // A profile for the outputs is the real-time one; one handed to the
    // recorder alone is an ordinary profile.
    m_svpSink = m_app.svpSinks.size();
    m_app.svpSinks.push_back([this](const std::string& text, std::uint64_t time) {
        WithRecorder([&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, time, 3); });
    });
    // The environment's profiles: the applied profile file goes to the
    // outputs and the recorder, "Constant" to the recorder alone.
    m_environment->SetProfileSinks(
        [this](const std::string& text, ULONGLONG time) { m_app.SendToOutputs(text, time); },
        [this](const std::string& text, ULONGLONG time) {
            WithRecorder([&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, time, 0); });
        });
    // A replay started to save data asks for "Store..." from its ping-data
    // thread; the dialog runs here, on the user-interface thread.
    m_storeRequests = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kRunStore)
            OnStore();
        return 0;
    });
    m_app.svpStore = [this](const std::string& text) {
        return WithRecorder([&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, CFileTime::Now(), 0); })
                   ? 1
                   : 0;
    };
}

bool CEngineLink::WithRecorder(const std::function<void(zv::recording::CStore&)>& f)
{
    std::lock_guard lock(m_recorderLock);
    if (!m_recorder)
        return false;
    f(*m_recorder);
    return true;
}

void CEngineLink::OnStore()
{
    CEchoSounder* sounder = m_operation->GetEchoSounder();
    if (!sounder || !sounder->GetRecorder() || !storeDialog)
        return;
    std::array<COperationControl::ChannelDisplay, 8> displays;
    int arrangement = 0, extra = 0;
    m_operation->GetChannelDisplays(displays, arrangement, extra);
    std::array<zv::recording::SStoreDialogValues::SSlot, 4> channelSlots;
    for (std::size_t i = 0; i < channelSlots.size(); ++i)
        channelSlots[i] = {displays[i].bExists != 0, displays[i].sLongChannelID};
    // The dialog runs a message loop in which an operation command may delete
    // the sounder: the recorder is looked up again after it.
    const auto current = [this] {
        std::lock_guard lock(m_recorderLock);
        return m_recorder;
    };
    zv::recording::CStore::OnStore(current, channelSlots, storeDialog, [](const std::string& text) {
        return MessageBox(GetMainWindow(), text, "Store", MB_RETRYCANCEL | MB_ICONSTOP) == IDRETRY;
    });
}

std::unique_ptr<IPingRecorder> CEngineLink::CreateRecorder(CEchoSounder& sounder, HKEY key,
                                                           const std::string& sequenceFile)
{
    zv::recording::CEngineStoreSounder::SApplication application;
    application.programName = [this] { return m_app.GetProgramName(); };
    application.tide = [this] { return m_app.tide.load(); };
    auto store = std::make_unique<zv::recording::CEngineStore>(sounder, std::move(application), *m_storeEvents,
                                                               nullptr, key, sequenceFile, m_app.GetSounderType());
    return std::make_unique<LinkedRecorder>(*this, std::move(store));
}

CEngineLink::~CEngineLink()
{
    if (m_storeRequests)
        DestroyWindow(m_storeRequests);
    // The hooks point here: leave the application its own defaults.
    m_app.operation = OperationHooks{};
    m_app.loadUserSettings = nullptr;
    m_app.svpStore = nullptr;
    if (m_annotationSink < m_app.annotationSinks.size())
        m_app.annotationSinks[m_annotationSink] = nullptr;
    if (m_svpSink < m_app.svpSinks.size())
        m_app.svpSinks[m_svpSink] = [](const std::string&, std::uint64_t) {};
    std::erase(m_app.commandTargets, &m_commands);
}

bool CEngineLink::Commands::OnCommand(unsigned id)
{
    // A command offered to the running sounder goes to its recorder first.
    if (CEchoSounder* sounder = link->m_operation->GetEchoSounder())
        if (IPingRecorder* recorder = sounder->GetRecorder(); recorder && recorder->OnCommand(id))
            return true;
    if (id == cmd::ENVIRONMENT) {
        link->m_environment->OnEnvironment();
        return true;
    }
    if (id == cmd::STORE) {
        link->OnStore();
        return true;
    }
    return link->m_operation->OnCommand(id);
}

bool CEngineLink::Commands::OnUpdateCommand(CCmdUI& ui)
{
    if (ui.id == cmd::STORE) {
        ui.Enable(link->m_operation->GetEchoSounder() && !link->m_app.IsReplaying());
        return true;
    }
    if (ui.id != cmd::ENVIRONMENT)
        return false;
    ui.Enable(link->m_environment->IsEnvironmentCommandEnabled(link->m_app.IsReplaying()) != 0);
    return true;
}

std::unique_ptr<CTransceiver> CEngineLink::CreateTransceiver(int type, int index, HKEY key)
{
    switch (type) {
    case CQY42::kTypeCode: {
        CQY42::Options options;
        // Called on this thread while the unit is made and on its data
        // thread when it must be found again; the dialog runs here either way.
        if (m_unitSearch)
            options.waitForUnit = [wait = m_unitSearch.get()](const std::string& text,
                                                              const std::function<bool()>& done) {
                return wait->Wait(text, done);
            };
        // A passing loss: a status message (the ring reports at most one a
        // second).
        options.onLostSamples = [] { CStatus::PostStatusMessage(ids::LOST_SAMPLES); };
        CEnvironment* environment = m_environment.get();
        options.soundVelocity = [environment] { return environment->GetSoundVelocity(); };
        options.absorption = [environment](double frequency) { return environment->GetAbsorption(frequency); };
        // From the unit's receive thread: the bell rings on this thread.
        options.beep = [](unsigned, unsigned) {
            QMetaObject::invokeMethod(qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
        };
        return CQY42::Create(*m_installation, index, key, options);
    }
    default:
        return nullptr;
    }
}

std::unique_ptr<CTransceiver> CEngineLink::CreateReplay(const CReplayFileList* files)
{
    if (!files)
        return nullptr;
    if (!m_replayHost) {
        zv::recording::CReplayEnvironmentHost::SHooks hooks;
        hooks.setTide = [this](double metres) { m_app.tide = metres; };
        hooks.parseNmea = [](const std::string& text, zv::recording::FileTime time) {
            if (CNavNetLink* navnet = CNavNetLink::Instance())
                navnet->ParseNmeaTelegram(text, time, kNmeaFromReplay);
        };
        hooks.restartReplay = [](const CReplayFileList& list) { COperationControl::PostStartWithFiles(&list); };
        m_replayHost = std::make_unique<zv::recording::CReplayEnvironmentHost>(m_environment.get(), std::move(hooks));
    }
    auto replay = std::make_unique<zv::recording::CReplay>(*files, m_replayHost.get());
    // A file that cannot be opened gives no channels: no sounder is started.
    if (!replay->IsOpen())
        return nullptr;
    return replay;
}

CMainFrame* CEngineLink::Frame() const
{
    return dynamic_cast<CMainFrame*>(m_app.GetMainFrame());
}

void CEngineLink::Init()
{
    const int model = m_app.GetSounderType();
    m_installation->SetModel(model);
    m_installation->SetProfileSource([this] { return m_app.GetMcuMode(); });
    m_installation->Initialize();
    m_unitSearch = std::make_unique<CUnitSearchWait>(
        [this](const std::string& text, const std::function<bool()>& done) {
            return CSearchNVU::RunWait(text, done, Frame());
        });

    CEchoSounder::Context context;
    context.installation = m_installation.get();
    context.model = model;
    context.createDocuments = createDocuments;
    if (!m_app.GetAdapterList().empty())
        context.adapterAddress = m_app.GetAdapterList().front();
    if (CNavNetLink* navnet = CNavNetLink::Instance())
        navnet->FillEchoSounderHooks(context.hooks);
    context.createReplay = [this](const CReplayFileList* files, HKEY) { return CreateReplay(files); };
    context.createTransceiver = [this](int type, int index, const InstalledTransceiverInfo&, HKEY key) {
        return CreateTransceiver(type, index, key);
    };
    context.hooks.replayStore = [this] { PostMessage(m_storeRequests, kRunStore, 0, 0); };
    context.createRecorder = [this](CEchoSounder& sounder, HKEY key, const std::string& sequenceFile) {
        return CreateRecorder(sounder, key, sequenceFile);
    };
    // The trigger thread paces maximum rate by the program's own load.
    CWorkload& workload = m_app.GetWorkload();
    context.hooks.workloadRead = [&workload] { return workload.GetLoad(); };
    context.hooks.workloadSample = [&workload] { workload.Sample(); };
    // A unit that fell silent is a standing fault until it is set up again.
    context.hooks.linkLost = [] { CStatus::PostAlarm(ids::TRANSCEIVER_LINK_LOST); };
    m_operation->SetEchoSounderContext(context);
    m_operation->SetModel(model);
    m_operation->SetTrListPath(m_app.GetTrListPath());
    m_operation->SetSerializePath(m_app.GetSerializePath());
    m_operation->SetProfileSource([this] { return m_app.GetMcuMode(); });

    COperationControl::Hooks hooks;
    hooks.stopPingTimer = [this] {
        if (CMainFrame* frame = Frame())
            frame->StopPingTimer();
    };
    hooks.clearPendingNewLayout = [this] {
        if (CMainFrame* frame = Frame())
            frame->ClearNewLayoutPending();
    };
    hooks.enableMessagePane = [this](bool on) {
        if (CMainFrame* frame = Frame())
            frame->EnableMessagePane(on);
    };
    hooks.closeSensors = [this] { m_app.CloseSensors(); };
    hooks.deleteLayout = [this] {
        if (m_layout)
            m_layout->DeleteLayout();
        m_layout.reset();
    };
    hooks.createLayout = [this](const std::array<COperationControl::ChannelDisplay, 8>& displays, int arrangement) {
        CEchoSounder* sounder = m_operation->GetEchoSounder();
        LayoutSource source;
        for (std::size_t i = 0; i < displays.size(); ++i)
            source.displays[i] = {displays[i].bExists != 0, displays[i].bShown != 0, displays[i].sShortChannelID,
                                  displays[i].sLongChannelID};
        source.arrangement = arrangement;
        source.echoSounderRuns = sounder != nullptr;
        if (CMainFrame* frame = Frame()) {
            source.clientWidth = frame->MdiArea()->width();
            source.clientHeight = frame->MdiArea()->height();
        }
        source.hasChannel = [sounder](int index) { return sounder && sounder->GetChannel(index) != nullptr; };
        const auto model = static_cast<SounderType>(m_app.GetSounderType());
        source.frameKindOf = [model](int) { return CStandardESLayout::FrameKindFor(model, 0); };
        auto layout = std::make_unique<CStandardESLayout>(model, std::move(source), frameFactory);
        if (!layout->Arrange())
            return false;
        m_layout = std::move(layout);
        return true;
    };
    hooks.powerOff = [this] { m_app.PowerOffComputer(); };
    hooks.shiftOrSecondaryButtonHeld = [] {
        return (QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier) ||
               (QGuiApplication::mouseButtons() & Qt::RightButton);
    };
    hooks.setSettingsFolder = [this](const std::string& folder) { m_app.SetSerializePath(folder); };
    m_operation->SetHooks(std::move(hooks));
    if (CMainFrame* frame = Frame()) {
        frame->sampleWorkload = [&workload] { workload.Sample(); };
        frame->environmentChanged = [this] { m_environment->ApplyNewProfile(); };
        frame->soundVelocity = [this] { return m_environment->GetSoundVelocity(); };
        frame->pingRateText = [this] {
            const CEchoSounder* sounder = m_operation->GetEchoSounder();
            return sounder ? sounder->GetPingRateText() : std::string();
        };
    }
    m_operation->Init();
}

}  // namespace app
