// The running program, assembled in one place: it owns every long-lived
// object in the order they are built and connects them, so that a reader
// sees here which object feeds which. `main` only runs it; tests build the
// same program offscreen.
//
// Construction order: the list of the program's links and the links its
// objects share first (each holds its named null until the program has its
// object); the message dispatcher and the palettes next; then the objects
// that others call into from any thread (the output list, environment,
// external depth, geographic history, transceiver installation, the history
// printing, the recorder's link and reports, the channels' links, the
// telegram decoder and the annotations); then the application object, which
// owns the main frame and the sensor and output objects; last operation
// control, which owns the echo sounder. Members go in reverse: the sounder
// stops before the frame and the sensors it feeds, and those before the
// services they call.
#pragma once

#include "app/Pelmaris.h"
#include "app/ui/EchogramColours.h"
#include "app/ui/QtDispatcherAdapter.h"
#include "display/HistoryPrinting.h"
#include "display/PaletteControl.h"
#include "display/PrinterDoc.h"
#include "display/ui/ColorScaleDialogs.h"
#include "display/ui/PaperPrinter.h"
#include "display/ui/PrinterDevices.h"
#include "display/ui/PrinterView.h"
#include "engine/ui/DetectionDialogs.h"
#include "outputs/OutputList.h"
#include "outputs/OutputSlot.h"
#include "outputs/QYTriton.h"
#include "platform/OwnerThreadRelease.h"
#include "program/AbsentRoles.h"
#include "program/DecoderHost.h"
#include "program/HardwareStatusLink.h"
#include "program/HbxHost.h"
#include "program/Link.h"
#include "program/LinkList.h"
#include "program/PrintingLink.h"
#include "program/ProgramApplicationHost.h"
#include "program/ProgramChannelLinks.h"
#include "program/ProgramCommands.h"
#include "program/ProgramDepthTelegramSources.h"
#include "program/ProgramDisplay.h"
#include "program/ProgramEngineExtras.h"
#include "program/ProgramOperation.h"
#include "program/ProgramPingerHost.h"
#include "program/ProgramStoreEvents.h"
#include "program/ProgramToolWindows.h"
#include "program/RecorderLink.h"
#include "program/RemoteControlHost.h"
#include "program/SensorAdapters.h"
#include "program/SignalExit.h"
#include "program/SounderHost.h"
#include "sensors/Annotation.h"
#include "sensors/Environment.h"
#include "sensors/ExternalDepth.h"
#include "sensors/GeographicInfo.h"
#include "sensors/NmeaDecoder.h"
#include "sensors/SvpProfileStore.h"
#include "sounder/OperationControl.h"
#include "transceivers/Bootp.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/UnitTimings.h"
#include "transceivers/ui/TransceiverDialogs.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QObject;

namespace zv::recording {
struct SStoreDialogValues;
struct SStoreEchogramValues;
}  // namespace zv::recording

namespace app {

class CMainFrame;
class CSingleInstance;
class CStandardESLayout;

class CProgram
{
public:
    struct Options
    {
        // argv as the program got it; argv[0] names the model.
        std::vector<std::string> arguments;
        // Listen for a second start's hand-over and the exit message (off in
        // tests, which run several programs in one process).
        bool singleInstance = true;
        // SIGTERM, SIGHUP and SIGINT close the program as Exit does (off in
        // tests that run the program inside their own process).
        bool exitOnSignals = true;
        // The waits of the network units' drivers.
        UnitTimings unitTimings;
        // The sounder's workers wait this long before the first ping.
        int workerStartDelayMs = 1000;
        // The recorder's settings dialog ("Store..."): edits the values,
        // true on OK. Empty: the real dialog.
        std::function<bool(zv::recording::SStoreDialogValues&)> storeDialog;
        // "Echogram Storage Parameters": as storeDialog.
        std::function<bool(zv::recording::SStoreEchogramValues&)> echogramDialog;
        // "Pinger Mode": edits the values, true on OK. Empty: the real dialog.
        std::function<bool(SPingerDialogValues&)> pingerDialog;
        // Folder of the serial component and the serial library's dialogs;
        // empty: beside the program.
        std::string componentFolder;
        // Folder of the network units' software files (firmware, filters);
        // empty: HxuSwPath, the program's folder.
        std::string unitSoftwareFolder;
        // The raw-data output's period of configuration datagrams.
        unsigned rawDataConfigurationPeriodMs = CQYTriton::kConfigPeriodMs;
        // The survey control exchange's ports, announcement destination and
        // cycle.
        CHBX::Options hbx;
        // QYNVU's BOOTP server: its ports and where its replies go.
        CBootp::Network bootp;
        // Where paper pages go; none: the system's default printer.
        std::shared_ptr<IPaperPrinter> paperPrinter;
    };

    explicit CProgram(Options options);
    ~CProgram();
    CProgram(const CProgram&) = delete;
    CProgram& operator=(const CProgram&) = delete;

    // A second start with a recorded file hands it to the program already
    // running under the same name; true when it took it.
    static bool HandOverToRunning(const std::vector<std::string>& arguments);

    // Start-up; false: the program ends at once (see CPelmaris::InitInstance).
    bool Start();
    // The message loop until the main frame has closed; the exit code.
    int Run();
    // The power-off command to run once the program is gone and everything
    // is saved; empty when no power-off was asked for.
    std::optional<std::string> PowerOffAtExit() const;

    // The links the program has no object for, for the running model: each
    // link holding its named null, each output list entry the program has no
    // output for, and each row of the creation table the model creates but
    // the program cannot make yet.
    std::vector<std::string> AbsentLinks() const;
    CLinkList& Links() { return m_links; }

    // The links the program's objects share.
    TLink<IPingerLink, CAbsentPingerLink>& PingerMode() { return m_pingerMode; }
    TSharedLink<INavigationSteps, CAbsentNavigationSteps>& Navigation() { return m_navigation; }
    TSharedLink<IWaterTemperature, CAbsentWaterTemperature>& WaterTemperature() { return m_waterTemperature; }
    TLink<INetSensors, CAbsentNetSensors>& NetSensors() { return m_netSensors; }
    TLink<ILobeCommands, CAbsentLobeCommands>& LobeLink() { return m_lobe; }

    // The objects, for the links and for tests.
    CPelmaris& Application() { return m_application; }
    COperationControl& Operation() { return m_operation; }
    CMainFrame* Frame() const;
    CEnvironment& Environment() { return m_environment; }
    CExternalDepth& ExternalDepth() { return m_externalDepth; }
    CGeographicInfo& GeographicInfo() { return *m_geographic; }
    CTransceiverInstallation& Installation() { return m_installation; }
    // QYNVU's BOOTP server; null for the other models.
    CBootp* BootServer() const { return m_bootp.get(); }
    // Start-up, once the paths are read: QYNVU's BOOTP server starts, and
    // the installation's address change reaches its table.
    void StartBootServer();
    CNmeaDecoder& Decoder() { return m_decoder; }
    CDecoderHost& DecoderHost() { return m_decoderHost; }
    CAnnotation& Annotation() { return m_annotation; }
    CRecorderLink& Recorder() { return m_recorder; }
    CSvpProfileStore& ProfileStore() { return m_profileStore; }
    CProgramChannelLinks& ChannelLinks() { return m_channelLinks; }
    const IDepthTelegramSources& DepthTelegramSources() const { return m_depthTelegramSources; }
    CProgramDepthTelegramSources& DepthTelegramLinks() { return m_depthTelegramSources; }
    zv::recording::CStoreStatusEvents& StoreEvents() { return m_storeEvents; }
    COutputList& Outputs() { return m_outputs; }
    CPrintingLink& Printing() { return m_printing; }
    CPrinterDoc& PrinterDoc() { return m_printerDoc; }
    CPrinterView& PaperView() { return m_paperView; }
    CPrinterView& HistoryView() { return m_historyView; }
    CPaletteControl& Palettes() { return m_palettes; }
    CSounderHost& SounderHost() { return m_sounderHost; }
    CHbxHost& HbxHost() { return m_hbxHost; }
    CRemoteControlHost& RemoteControlHost() { return m_remoteControlHost; }
    CProgramToolWindows& ToolWindows() { return m_toolWindows; }
    CPingerMode& Pinger() { return m_pinger; }
    CProgramDisplay& Display() { return m_display; }
    ITransceiverDialogs& TransceiverDialogs() { return m_transceiverDialogs; }
    const Options& GetOptions() const { return m_options; }
    // The screen layout of the running sounder; null while none is shown.
    CStandardESLayout* Layout() const;
    // A telegram of the given road (serial 1,0,1; network 2,1,2; replay 3,3,3).
    void ParseNmeaTelegram(const std::string& text, std::uint64_t received, SNmeaSource source);

private:
    friend class CProgramOperation;
    std::unique_ptr<IMainFrame> MakeMainFrame(unsigned menuId);
    void SetUpSerialComponent();
    void FillSensorTable();
    void ConnectFrame(CMainFrame& frame);
    void ListenForOtherStarts();
    bool MessagePaneOn() const;
    BOOL RunEnvironmentDialog(SEnvironmentDialogValues& values);
    // The installation dialog, modal on the main frame, over the
    // installation's channel list.
    void RunInstallationDialog(CTransceiverInstallation& installation);

    // The message boxes, a service of the process by nature, installed for
    // the program's life.
    struct CDialogServices
    {
        CDialogServices();
        ~CDialogServices();
    };

    Options m_options;
    // Before every link, which registers with it.
    CLinkList m_links;
    // The links the program's objects share: pinger mode (the channels,
    // operation control and the sounder), navigation (the telegram decoder
    // and the application), the water temperature sensor (replay and the
    // status bar) and the lobe interface (the main frame).
    TLink<IPingerLink, CAbsentPingerLink> m_pingerMode{m_links, "program: pinger mode"};
    TSharedLink<INavigationSteps, CAbsentNavigationSteps> m_navigation{m_links,
                                                                       "program: navigation's clock and speed"};
    TSharedLink<IWaterTemperature, CAbsentWaterTemperature> m_waterTemperature{m_links,
                                                                               "program: water temperature sensor"};
    TLink<ILobeCommands, CAbsentLobeCommands> m_lobe{m_links, "program: lobe interface", kLobeModels};
    // The purse seine's net sensors, which the echograms mark.
    TLink<INetSensors, CAbsentNetSensors> m_netSensors{m_links, "program: purse seine's net sensors"};
    CQtDispatcherAdapter m_dispatcher;
    CDialogServices m_dialogServices;
    // The settings dialogs behind the channels' detection parts and the
    // fish size object, and the channels' colour scale dialogs, which
    // outlive none of it.
    engineui::CDetectionDialogs m_detectionDialogs;
    displayui::CColorScaleDialogs m_colorScaleDialogs;
    // The settings dialogs behind the units' channels.
    transceiversui::CTransceiverDialogs m_transceiverDialogs;
    // Outlives the main frame, whose palette broadcasts point into it.
    CPaletteControl m_palettes;
    CEchogramColours m_echogramColours{m_palettes};
    // The channel status dialog and the replay bar; replays post to it from
    // their trigger threads.
    CProgramToolWindows m_toolWindows{*this};

    // The outputs, in the order they take a ping; an output object attaches
    // to its slot while it exists, and those not built yet are named nulls.
    COutputSlot m_postProcessingOutput{"post-processing output"};
    COutputSlot m_networkOutput{"network output"};
    COutputSlot m_remoteDisplay{"remote display"};
    COutputSlot m_serialOutput{"serial output"};
    COutputSlot m_remoteControl{"remote control"};
    COutputList m_outputs{&m_postProcessingOutput, &m_networkOutput, &m_remoteDisplay, &m_serialOutput,
                          &m_remoteControl};

    // Called into from any thread.
    CEnvironment m_environment;
    CExternalDepth m_externalDepth;
    // Pinger mode, which the channels, operation control, the sounder, the
    // units and the displays reach through m_pingerMode.
    CProgramPingerHost m_pingerHost{*this};
    CPingerMode m_pinger{m_pingerHost};
    // Shared with the application's row, so that a telegram decoded while
    // the sensors close never reaches a deleted history.
    std::shared_ptr<CGeographicInfo> m_geographic;
    // Goes after the sounder and the installation, which hands it addresses.
    std::unique_ptr<CBootp> m_bootp;
    CTransceiverInstallation m_installation;
    // The history printing: the printing document and the printer it
    // prints on; its two views come once the display's context is there.
    std::shared_ptr<IPaperPrinter> m_paperPrinter;
    CPrinterDevices m_printerDevices;
    CPrinterDoc m_printerDoc;
    CPrintingLink m_printing{m_printerDoc, [this] { return MessagePaneOn(); }};
    CProgramStoreEvents m_storeEvents{m_printing, m_environment};
    CRecorderLink m_recorder;
    // Where every newly delivered profile is written before it is offered.
    CSvpProfileStore m_profileStore;
    CProgramDepthTelegramSources m_depthTelegramSources{m_environment, m_application, m_links};
    CProgramChannelLinks m_channelLinks;
    CDecoderHost m_decoderHost;
    CNmeaDecoder m_decoder;
    CAnnotation m_annotation;
    // What the frames hand their documents and views; outlives every frame.
    CProgramDisplay m_display;
    // The printing's paper and history views, never shown; going, they
    // print and write what their pages hold.
    CPrinterView m_paperView;
    CPrinterView m_historyView;

    CProgramEngineExtras m_engineExtras{*this};
    CProgramApplicationHost m_applicationHost;
    CPelmaris m_application;
    // What the serial sensors ask of the program while their lines arrive.
    CProgramSensorHost m_sensorHost{m_application};
    // The serial sensors end on this thread, the user-interface thread, with
    // their monitors' windows, though a ping or a telegram holds the last
    // share; after what they point into, so none outlives it.
    COwnerThreadRelease m_sensorRelease;

    CSounderHost m_sounderHost;
    CHardwareStatusLink m_hardwareStatus{*this};
    CProgramOperation m_operationLink;
    COperationControl m_operation;
    CProgramCommands m_commands{*this};
    // What the remote control reaches; last, so that the requests still
    // queued for the user-interface thread go before what they act on.
    CRemoteControlHost m_remoteControlHost{*this};
    // What the survey control exchange reaches, last for the same reason.
    CHbxHost m_hbxHost{*this};

    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CSignalExit> m_signalExit;
    std::unique_ptr<QObject> m_helpKeys;
};

}  // namespace app
