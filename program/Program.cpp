#include "program/Program.h"

#include "app/DdeCommand.h"
#include "app/SounderModel.h"
#include "app/StandardESLayout.h"
#include "app/Workload.h"
#include "app/ui/HelpKeyFilter.h"
#include "app/ui/HelpViewer.h"
#include "app/ui/MainFrame.h"
#include "app/ui/QtMessageBox.h"
#include "app/ui/SingleInstance.h"
#include "base/AppIds.h"
#include "base/DiagRecord.h"
#include "base/RegistrySupport.h"
#include "base/Status.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "program/SensorAdapters.h"
#include "program/SerialComponent.h"
#include "recording/Store.h"
#include "sensors/ui/EnvironmentDialog.h"
#include "sensors/ui/SvpGraph.h"
#include "transceivers/Transceiver.h"
#include "transceivers/ui/TransceiverInstallDlg.h"

#include <QApplication>
#include <QScreen>
#include <QSessionManager>

#include <filesystem>

namespace app {

namespace {

// A printed page is as large as the screen.
QSize PrinterScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}

CAnnotation::Links AnnotationLinks(CPelmaris& application)
{
    CAnnotation::Links links;
    links.isReplaying = [&application] { return application.IsReplaying(); };
    links.addAnnotation = [&application](const std::string& text, std::uint64_t time) {
        application.AddAnnotation(text, time);
    };
    links.positionText = [&application] { return application.GetPositionText(); };
    links.postEventNumber = [&application](std::uint32_t number) {
        if (HWND frame = application.GetMainWindow())
            ::PostMessage(frame, WM_ES_EVENTMESSAGE, number, 0);
    };
    return links;
}

}  // namespace

CProgram::CDialogServices::CDialogServices()
{
    InstallQtMessageBoxPresenter();
}

CProgram::CDialogServices::~CDialogServices()
{
    SetMessageBoxPresenter({});
}

bool CProgram::HandOverToRunning(const std::vector<std::string>& arguments)
{
    if (arguments.size() < 2 || arguments[1].empty() || arguments[1] == "/dde")
        return false;
    std::error_code ec;
    const auto file = std::filesystem::absolute(arguments[1], ec);
    const QString socketName = CSingleInstance::SocketName(ExecutableModelName(arguments[0]));
    return !ec && CSingleInstance::SendToRunning(socketName, MakeDdeOpenCommand(file.string()));
}

CProgram::CProgram(Options options)
    : m_options(std::move(options)),
      m_geographic(std::make_shared<CGeographicInfo>()),
      m_paperPrinter(m_options.paperPrinter ? m_options.paperPrinter : std::make_shared<CDefaultPaperPrinter>()),
      m_printerDevices(*m_paperPrinter, [this]() -> QWidget* { return Frame(); }),
      m_profileStore(
          [this] {
              std::string folder;
              m_recorder.With([&](zv::recording::CStore& store) { folder = store.RecordingFolder(); });
              return folder;
          },
          [this] { return m_application.GetSounderType(); }),
      m_channelLinks(m_application, m_environment, m_externalDepth, m_recorder, m_outputs, m_depthTelegramSources,
                     m_links, m_pingerMode, m_detectionDialogs, m_colorScaleDialogs),
      m_decoderHost(*this),
      m_decoder(&m_decoderHost),
      m_annotation(AnnotationLinks(m_application)),
      m_display(m_application, m_environment, m_externalDepth, *m_geographic, m_channelLinks, m_pingerMode,
                m_netSensors),
      m_paperView(m_printerDoc, false, PrinterScreen(), m_paperPrinter.get()),
      m_historyView(m_printerDoc, true, PrinterScreen()),
      m_applicationHost(*this),
      m_sounderHost(*this),
      m_operationLink(*this)
{
    if (m_options.arguments.empty())
        m_options.arguments.emplace_back("Ostrival");
    m_pingerMode.Set(&m_pinger);
    m_applicationHost.EngineExtras().Set(&m_engineExtras);
    m_application.SetOperation(&m_operationLink);
    m_application.SetHost(&m_applicationHost);
    // The printing document first, then operation control's commands and
    // the running sounder's, before the application's.
    m_application.commandTargets.insert(m_application.commandTargets.begin(), &m_commands);
    m_application.commandTargets.insert(m_application.commandTargets.begin(), &m_printerDoc);
    m_printerDoc.SetDevices(&m_printerDevices);
    m_printerDevices.historyContext = [this](CHistoryDialog::SContext& context) {
        context.rm30 = m_application.GetSounderType() == SounderModel::RM30;
        if (CMainFrame* frame = Frame()) {
            context.palette = m_palettes.GetLogPalette(frame->GetCurrentPalette());
            context.documentName = frame->windowTitle().toStdString();
        }
    };
    m_printerDoc.SetHistoryPathSource([this] { return m_application.GetHistoryPath(); });
    m_printerDoc.refreshMainFrame = [this] { m_application.RefreshMainFrame(); };
    m_application.frameFactory = [this](CPelmaris&, unsigned menuId) { return MakeMainFrame(menuId); };
    FillSensorTable();
    m_environment.SetDialogRunner([this](SEnvironmentDialogValues& values) { return RunEnvironmentDialog(values); });
    m_installation.SetInstallationDialog(
        [this](CTransceiverInstallation& installation) { RunInstallationDialog(installation); });

    // The recorder's START and STOP lines go to the outputs.
    m_storeEvents.sendLine = [this](const std::string& line) {
        m_outputs.TakeText({OutputTextKind::RecorderLine, line});
    };
    // The environment's profiles: the applied profile file goes to the
    // outputs and the recorder, "Constant" to the recorder alone.
    m_environment.SetProfileSinks(
        [this](const std::string& text, ULONGLONG time) { m_application.SendToOutputs(text, time); },
        [this](const std::string& text, ULONGLONG time) {
            m_recorder.With([&](zv::recording::CStore& store) { store.WriteSvpToFiles(text, time, 0); });
        });
    m_geographic->sendAnnotation = [this](const std::string& prefix, const std::string& text) {
        m_outputs.TakeText({OutputTextKind::ObjectInformation, text, 0, prefix});
    };
    // The status bar says that a position mark's object information went out.
    m_geographic->postStatus = [](const std::string&) { CStatus::PostStatusMessage(ids::OBJECT_INFORMATION_SENT); };
    // The profile's mean velocity goes down to the deepest channel, and a
    // source of the external-depth table is its channel's last depth; both
    // come from what the channels told their links.
    m_environment.SetChannelDepthSource([this] { return m_channelLinks.GetDeepestChannelDepth(); });
    m_externalDepth.channelDepth = [this](int channel, double& depth) {
        return m_channelLinks.GetChannelDepth(channel, depth);
    };
}

CProgram::~CProgram()
{
    // A program that ends without stop and exit (a test, the desktop session
    // ending) still has its sounder and frames: they go first, while what
    // their threads call is here; then the sensor and output objects, whose
    // readers call back into operation control and the application.
    m_operation.Close();
    m_pingerMode.Set(nullptr);
    m_application.DestroySensors();
    m_operation.SetHost(nullptr);
    m_geographic->sendAnnotation = nullptr;
    m_geographic->postStatus = nullptr;
    m_environment.SetChannelDepthSource({});
    m_environment.SetDialogRunner({});
    m_externalDepth.channelDepth = nullptr;
}

void CProgram::FillSensorTable()
{
    for (SensorObjectRow& row : m_application.sensorTable) {
        switch (row.id) {
        case SensorId::Navigation:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CNavigationObject>(
                    *this, m_sensorRelease.MakeShared<CNavigation>(m_sensorHost, m_depthTelegramSources));
            };
            break;
        case SensorId::Trawl:
            row.create = [this](CPelmaris& application) {
                return std::make_unique<CTrawlObject>(
                    *this, m_sensorRelease.MakeShared<CTrawl>(application.GetSounderType(), m_depthTelegramSources));
            };
            break;
        case SensorId::PurseSeine:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CPurseSeineObject>(
                    *this, m_sensorRelease.MakeShared<CPurseSeine>(m_depthTelegramSources));
            };
            break;
        case SensorId::Heave:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CHeaveObject>(
                    *this, m_sensorRelease.MakeShared<CHeave>(m_sensorHost, m_depthTelegramSources));
            };
            break;
        case SensorId::Heading:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CHeadingObject>(*this, m_sensorRelease.MakeShared<CGyroCompass>(m_sensorHost));
            };
            break;
        case SensorId::NmeaDepth:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CNmeaDepthObject>(*this, m_sensorRelease.MakeShared<CNmeaDepth>(m_sensorHost));
            };
            break;
        case SensorId::GeographicInfo:
            row.create = [this](CPelmaris&) { return std::make_unique<CGeographicInfoObject>(m_geographic); };
            break;
        case SensorId::HardwareStatus:
            row.create = [this](CPelmaris&) { return m_hardwareStatus.MakeObject(); };
            break;
        case SensorId::Fish:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CFishObject>(
                    std::make_shared<CFish>(CRegistrySupport::UserRootKey(), &m_detectionDialogs));
            };
            break;
        case SensorId::LX750:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CPostProcessingObject>(
                    *this, m_postProcessingOutput,
                    std::make_shared<CLX750>(CRegistrySupport::UserRootKey(), m_channelLinks,
                                             [this] { return m_application.IsReplaying(); }));
            };
            break;
        case SensorId::RawDataOutput:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CRawDataOutputObject>(
                    *this, std::make_shared<CQYTriton>(CRegistrySupport::UserRootKey(), m_sounderHost.RawData(),
                                                       m_options.rawDataConfigurationPeriodMs));
            };
            break;
        case SensorId::NetworkOutput:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CNetworkOutputObject>(
                    *this, m_networkOutput, std::make_shared<CQYNet>(CRegistrySupport::UserRootKey()));
            };
            break;
        case SensorId::SerialOutput:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CSerialOutputObject>(
                    *this, m_serialOutput,
                    m_sensorRelease.MakeShared<CQYSerial>(
                        m_sensorHost, m_depthTelegramSources, [this](const CSvpProfile& profile) {
                            return m_profileStore.StoreAndAnnounce(profile, m_environment);
                        }));
            };
            break;
        case SensorId::RemoteDisplay:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CRemoteDisplayObject>(
                    *this, m_remoteDisplay,
                    std::make_shared<CRDDialog>([this] { return m_application.IsReplaying(); }));
            };
            break;
        case SensorId::Lobe:
            row.create = [this](CPelmaris&) {
                CLobe::Links links;
                links.fileVersion = [this] { return m_application.GetFileVersionText(); };
                links.channelItems = [this](int channel) { return CLobeObject::ChannelItems(*this, channel); };
                return std::make_unique<CLobeObject>(*this, std::make_shared<CLobe>(std::move(links)));
            };
            break;
        case SensorId::RemoteControl:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CRemoteControlObject>(m_remoteControl,
                                                              std::make_shared<CRemoteControl>(m_remoteControlHost));
            };
            break;
        case SensorId::Temperature:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CTemperatureObject>(
                    *this, m_sensorRelease.MakeShared<CTemperature>(m_environment, m_sensorHost));
            };
            break;
        case SensorId::SvpProbe:
            row.create = [this](CPelmaris&) {
                return std::make_unique<CSvpProbeObject>(
                    *this, m_sensorRelease.MakeShared<CSvpProbe>(m_environment, m_profileStore, m_sensorHost));
            };
            break;
        default:
            break;  // not built yet: absent for the run
        }
    }
}

std::vector<std::string> CProgram::AbsentLinks() const
{
    const SounderModel model = m_application.GetSounderType();
    std::vector<std::string> absent = m_links.Absent(model);
    for (const std::string& output : m_outputs.AbsentOutputs())
        absent.push_back("output list: " + output);
    for (const SensorObjectRow& row : m_application.sensorTable)
        if (!row.create && (row.models & ModelBit(model)))
            absent.push_back(std::string("creation table: ") + row.name);
    return absent;
}

std::unique_ptr<IMainFrame> CProgram::MakeMainFrame(unsigned menuId)
{
    // The model is chosen by now: the frame is made from its menu.
    const SounderModel model = m_application.GetSounderType();
    m_environment.SetModelCode(model);
    auto frame = std::make_unique<CMainFrame>(m_application, menuId);
    ConnectFrame(*frame);
    return frame;
}

void CProgram::ConnectFrame(CMainFrame& frame)
{
    frame.selectPalette = [this](int palette) {
        m_palettes.SelectPalette(palette);
        return m_palettes.GetCurrentPalette();
    };
    frame.paletteBlock = [this](int palette) { return reinterpret_cast<LPARAM>(m_palettes.GetLogPalette(palette)); };
    frame.applyEchogramColours = [this](EchogramColourSet set, int threshold) {
        m_echogramColours.Apply(set, threshold);
    };
    frame.toolWindows = &m_toolWindows;
    // The asynchronous display modes wake the running sounder's documents.
    frame.notifyDocuments = [this](int flag) {
        CEchoSounder* sounder = m_operation.GetEchoSounder();
        if (IPingDocuments* documents = sounder ? sounder->GetDocuments() : nullptr)
            documents->Notify(flag);
    };
    frame.lobeCommand = [this](const std::string& command, std::uint64_t time) {
        m_lobe->HandleCommand(command, time);
    };
    frame.waterTemperature = [this] { return m_waterTemperature->GetTemperature(); };
    // The views of the layouts to come register with this frame.
    m_display.SetMainFrame(&frame);
    frame.sampleWorkload = [this] { m_application.GetWorkload().Sample(); };
    frame.environmentChanged = [this] { m_environment.ApplyNewProfile(); };
    frame.soundVelocity = [this] { return m_environment.GetSoundVelocity(); };
    frame.pingRateText = [this] {
        const CEchoSounder* sounder = m_operation.GetEchoSounder();
        return sounder ? sounder->GetPingRateText() : std::string();
    };
    frame.decodeTelegram = [this](const std::string& text, std::uint64_t received) {
        ParseNmeaTelegram(text, received, kNmeaFromSerial);
    };
    // Every status and alarm text is also printed and goes to the outputs.
    if (CStatus* status = frame.GetStatus())
        status->forwardText = [this](const std::string& text) {
            m_printing.Printing().PrintStatusText(text);
            m_outputs.TakeText({OutputTextKind::Status, text});
        };
    frame.historyPrinting = &m_printing.Printing();
    // The printing's views take the frame's palettes like every view.
    frame.AddDescendant(m_paperView.GetSafeHwnd());
    frame.AddDescendant(m_historyView.GetSafeHwnd());
}

bool CProgram::Start()
{
    // The sensor objects that start-up creates use the serial component.
    SetUpSerialComponent();
    if (!m_application.InitInstance(m_options.arguments))
        return false;
    // A BOOTP or TFTP port that could not be bound is told once the status
    // bar is there.
    if (m_bootp)
        for (unsigned stringId : m_bootp->GetStartFailures())
            CStatus::PostStatusMessage(stringId);
    // The annotations read their settings under the model's root, which
    // start-up has opened by now; their timer runs on this thread.
    m_annotation.SetUserKey(CRegistrySupport::UserRootKey());
    m_application.GetHelp().viewer = CHelpViewer::MakeViewer();
    auto helpKeys = std::make_unique<CHelpKeyFilter>(
        [this](unsigned context) { m_application.GetHelp().ShowHelp(context, CHelp::HELP_CONTEXT); });
    qApp->installEventFilter(helpKeys.get());
    m_helpKeys = std::move(helpKeys);
    if (m_options.exitOnSignals) {
        // The orderly close of the exit message: state saved, recorder
        // closed, exit code 0.
        m_signalExit = std::make_unique<CSignalExit>(
            [this] { ::PostMessage(m_application.GetMainWindow(), ::RegisterWindowMessage(kExitMessageName), 0, 0); });
    }
    // Last: a second start that finds this one finds it whole.
    if (m_options.singleInstance)
        ListenForOtherStarts();

    // The desktop session asks whether it may end: stop the sounder and
    // agree. When it ends without our own shutdown, the sensors are closed
    // here, on this thread, before anything else goes.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, m_helpKeys.get(),
                     [this](QSessionManager&) { m_operationLink.PostStop(0); });
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, m_helpKeys.get(), [this] { m_application.CloseSensors(); });
    return true;
}

void CProgram::StartBootServer()
{
    if (m_application.GetSounderType() != SounderModel::QYNVU || m_bootp)
        return;
    CBootp::Settings settings;
    settings.tableFolder = m_application.GetWritableTrListPath();
    settings.bootFolder = m_application.GetTrListPath();
    settings.network = m_options.bootp;
    m_bootp = std::make_unique<CBootp>(std::move(settings));
    m_installation.SetBootAddressSetter([this](const std::string& hardwareAddress, const std::string& ip) {
        return m_bootp->SetAddress(hardwareAddress, ip);
    });
}

void CProgram::SetUpSerialComponent()
{
    const std::string folder = m_options.componentFolder.empty() ? CPaths::ProgramFolder() : m_options.componentFolder;
    std::string error;
    if (CSerialComponent::Register(folder, error) && CSerialComponent::InstallDialogs(folder, error))
        return;
    // Start-up goes on: only the serial sensors and outputs cannot open.
    CDiagRecord(ExecutableModelName(m_options.arguments[0]), "Ostrival", std::string(), "Program", __LINE__)
        .ReportText(0, error);
}

void CProgram::ListenForOtherStarts()
{
    m_instance = std::make_unique<CSingleInstance>();
    const UINT exitMessage = ::RegisterWindowMessage(kExitMessageName);
    m_instance->onLine = [this, exitMessage](const std::string& line) {
        if (line == kExitMessageName)
            ::PostMessage(m_application.GetMainWindow(), exitMessage, 0, 0);
        else
            m_application.OnDDECommand(line);
    };
    m_instance->Listen(CSingleInstance::SocketName(ExecutableModelName(m_options.arguments[0])));
}

int CProgram::Run()
{
    return qApp->exec();
}

std::optional<std::string> CProgram::PowerOffAtExit() const
{
    if (!m_application.PowerOffPending())
        return std::nullopt;
    return m_application.PowerOffCommand();
}

CMainFrame* CProgram::Frame() const
{
    return dynamic_cast<CMainFrame*>(m_application.GetMainFrame());
}

bool CProgram::MessagePaneOn() const
{
    const CMainFrame* frame = Frame();
    return frame && frame->IsMessagePaneEnabled();
}

BOOL CProgram::RunEnvironmentDialog(SEnvironmentDialogValues& values)
{
    // The live values of the temperature sensor and the probe, and the
    // profile editor behind "Edit...".
    CEnvironmentDialog::Live live;
    live.sensorTemperature = [this] { return m_waterTemperature->GetTemperature(); };
    live.probeVelocity = [this] { return m_environment.GetProbeVelocity(); };
    live.editProfile = [this](SSvpEditRequest& request) {
        CSvpGraph::Run(request, m_application.GetSounderType(), Frame());
    };
    return CEnvironmentDialog::Run(values, std::move(live), Frame());
}

void CProgram::RunInstallationDialog(CTransceiverInstallation& installation)
{
    // Candidates that answered are drawn in a colour of the palette the
    // main frame shows.
    auto paletteColour = [this](int index) {
        COLORREF colour = 0;
        if (CMainFrame* frame = Frame())
            m_palettes.GetEntryColour(frame->GetCurrentPalette(), PALETTEINDEX(static_cast<unsigned>(index)), &colour);
        return QColor(GetRValue(colour), GetGValue(colour), GetBValue(colour));
    };
    CTransceiverInstallDlg dialog(installation, paletteColour, Frame());
    dialog.exec();
}

CStandardESLayout* CProgram::Layout() const
{
    return m_operationLink.Layout();
}

void CProgram::ParseNmeaTelegram(const std::string& text, std::uint64_t received, SNmeaSource source)
{
    m_decoder.ParseNmeaTelegram(text, received, source);
}

}  // namespace app
