// The program: one executable for every model, named after the model it
// runs as (links QY210, QY310, RM30, TQ30, QYNVU and PELMARIS beside it).
// The engine's headers come before any Qt header (see EngineLink.cpp).
#include "display/ESDocList.h"
#include "engine/Channel.h"
#include "engine/OperationControl.h"
#include "outputs/NavNetLink.h"
#include "recording/Store.h"
#include "sensors/Environment.h"
#include "sensors/ExternalDepth.h"
#include "transceivers/Transceiver.h"

#include "app/DdeCommand.h"
#include "app/Pelmaris.h"
#include "app/SounderModel.h"
#include "app/ui/EngineLink.h"
#include "display/DepthDoc.h"
#include "display/EchogramDoc.h"
#include "display/PaletteControl.h"
#include "app/ui/HelpKeyFilter.h"
#include "app/ui/MainFrame.h"
#include "app/ui/QtDispatcherAdapter.h"
#include "app/ui/QtMessageBox.h"
#include "app/ui/SingleInstance.h"
#include "display/ui/ChannelFrameAbstract.h"
#include "display/ui/ChannelFrameFactory.h"
#include "display/ui/DepthView.h"
#include "display/ui/DepthViewCommands.h"
#include "display/ui/EchogramView.h"
#include "display/ui/EchogramDialogs.h"
#include "engine/ui/DetectionDialogs.h"
#include "recording/ui/StoreDialog.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMdiArea>
#include <QPointer>
#include <QUrl>

#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    std::vector<std::string> args(argv, argv + argc);
    if (args.empty())
        args.emplace_back("Ostrival");

    // A second start with a recorded file hands it to the running program.
    const QString socketName = app::CSingleInstance::SocketName(app::ExecutableModelName(args[0]));
    if (args.size() > 1 && !args[1].empty() && args[1] != "/dde") {
        std::error_code ec;
        const auto file = std::filesystem::absolute(args[1], ec);
        if (!ec && app::CSingleInstance::SendToRunning(socketName, app::MakeDdeOpenCommand(file.string())))
            return 0;
    }

    app::CQtDispatcherAdapter dispatcher;
    app::InstallQtMessageBoxPresenter();
    // The settings dialogs behind the channels' and echograms' commands.
    engineui::InstallDetectionDialogs();
    displayui::InstallEchogramDialogs();

    int exitCode = 0;
    bool powerOff = false;
    std::string powerOffCommand;
    {
        // Outlives the main frame, whose palette broadcasts point into it.
        CPaletteControl palettes;
        app::CPelmaris pelmaris;
        pelmaris.frameFactory = [&palettes](app::CPelmaris& application, unsigned menuId) {
            auto frame = std::make_unique<app::CMainFrame>(application, menuId);
            frame->paletteBlock = [&palettes](int palette) {
                palettes.SelectPalette(palette);
                return reinterpret_cast<LPARAM>(palettes.GetCurrentLogPalette());
            };
            // Each document's ping reaches its views through the main window.
            frame->updateAllViews = [](void* document) { CChannelFrameAbstract::UpdateViewsOf(document); };
            CChannelFrameAbstract::SetViewRegistration([frame = QPointer<app::CMainFrame>(frame.get())](HWND view,
                                                                                                     bool add) {
                if (!frame)
                    return;
                if (add)
                    frame->AddDescendant(view);
                else
                    frame->RemoveDescendant(view);
            });
            CDepthView::Environment depthView;
            depthView.model = application.GetSounderType();
            depthView.applyColourScheme = [frame = frame.get()](int scheme) { frame->ApplyColourScheme(scheme); };
            depthView.channelTitle = [](const CDepthDoc& doc) {
                return doc.GetChannel() ? doc.GetChannel()->GetChannelName() : std::string();
            };
            depthView.transceiverName = [](const CDepthDoc& doc) {
                CChannel* channel = doc.GetChannel();
                CTransceiver* transceiver = channel ? channel->GetTransceiver() : nullptr;
                return transceiver ? transceiver->GetChannelName(channel) : std::string();
            };
            depthView.command = CDepthViewCommands::Run;
            depthView.available = CDepthViewCommands::CanRun;
            CDepthView::SetEnvironment(depthView);
            CEchogramDoc::Environment echogram = CEchogramDoc::GetEnvironment();
            echogram.model = application.GetSounderType();
            CEchogramDoc::SetEnvironment(echogram);
            return frame;
        };
        CNavNetLink navnet(pelmaris);
        app::CEngineLink engine(pelmaris);
        engine.createDocuments = [] { return std::unique_ptr<IPingDocuments>(std::make_unique<CESDocList>()); };
        // What the echogram documents ask of the program on every ping: the
        // sound speed, the application's modes and the external depth table.
        {
            CEchogramDoc::Environment echogram = CEchogramDoc::GetEnvironment();
            echogram.fixedInterval = [&pelmaris](double& seconds) {
                if (!pelmaris.fixedInterval)
                    return false;
                seconds = pelmaris.fixedIntervalTime;
                return true;
            };
            echogram.soundVelocity = [&engine] { return engine.Environment().GetSoundVelocity(); };
            echogram.levelTime = [&pelmaris] { return pelmaris.levelTime.load(); };
            echogram.setApplicationEchogramValue = [&pelmaris](int type) { pelmaris.SetEchogramValue(type); };
            echogram.externalDepth = [&navnet](const std::string& name, double& depth) {
                return navnet.ExternalDepth().GetSourceDepth(name, depth);
            };
            echogram.externalSources = [&navnet] {
                std::vector<CEchogramDoc::ExternalSource> sources;
                for (int n = 0; n < CExternalDepth::kSources; ++n) {
                    CEchogramDoc::ExternalSource source;
                    source.depth = navnet.ExternalDepth().GetSourceDepth(n, source.name);
                    sources.push_back(std::move(source));
                }
                return sources;
            };
            echogram.setSlantOffset = [&navnet](double offset) { navnet.ExternalDepth().SetSlantOffset(offset); };
            CEchogramDoc::SetEnvironment(echogram);
            CEchogramView::SetExternalDepth(&navnet.ExternalDepth());
        }
        navnet.hasRecorder = [&engine] { return engine.WithRecorder([](zv::recording::CStore&) {}); };
        navnet.storeSentence = [&engine](const std::string& sentence, std::uint64_t received) {
            engine.WithRecorder([&](zv::recording::CStore& store) { store.WriteNmeaToFiles(sentence, received); });
        };
        ChannelFrameContext frames;
        frames.area = [&pelmaris]() -> QMdiArea* {
            auto* frame = dynamic_cast<app::CMainFrame*>(pelmaris.GetMainFrame());
            return frame ? frame->MdiArea() : nullptr;
        };
        frames.channel = [&engine](int index) -> CChannel* {
            CEchoSounder* sounder = engine.Operation().GetEchoSounder();
            return sounder ? sounder->GetChannel(index) : nullptr;
        };
        frames.documents = [&engine]() -> CESDocList* {
            CEchoSounder* sounder = engine.Operation().GetEchoSounder();
            return sounder ? dynamic_cast<CESDocList*>(sounder->GetDocuments()) : nullptr;
        };
        frames.replaying = [&pelmaris] { return pelmaris.IsReplaying(); };
        engine.frameFactory = MakeChannelFrameFactory(frames);
        engine.storeDialog = [&pelmaris](zv::recording::SStoreDialogValues& values) {
            zv::recording::CStoreDialog dialog(values, dynamic_cast<app::CMainFrame*>(pelmaris.GetMainFrame()));
            if (dialog.exec() != QDialog::Accepted)
                return false;
            values = dialog.Values();
            return true;
        };
        if (!pelmaris.InitInstance(args)) {
            SetMessageBoxPresenter({});
            return 1;
        }
        if (auto* frame = dynamic_cast<app::CMainFrame*>(pelmaris.GetMainFrame()))
            frame->decodeTelegram = [&navnet](const std::string& text, std::uint64_t received) {
                navnet.ParseNmeaTelegram(text, received, kNmeaFromSerial);
            };
        pelmaris.GetHelp().viewer = [](const std::string& address) {
            QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(address)));
        };
        app::CHelpKeyFilter helpKeys(
            [&pelmaris](unsigned context) { pelmaris.GetHelp().ShowHelp(context, app::CHelp::HELP_CONTEXT); });
        qapp.installEventFilter(&helpKeys);

        app::CSingleInstance instance;
        const UINT exitMessage = ::RegisterWindowMessage(app::kExitMessageName);
        instance.onLine = [&pelmaris, exitMessage](const std::string& line) {
            if (line == app::kExitMessageName)
                ::PostMessage(pelmaris.GetMainWindow(), exitMessage, 0, 0);
            else
                pelmaris.OnDDECommand(line);
        };
        instance.Listen(socketName);

        // The desktop session asks whether it may end: stop the sounder and
        // agree. When it ends without our own shutdown, the sensors are
        // closed here, on this thread, before anything else goes.
        QObject::connect(&qapp, &QGuiApplication::commitDataRequest, &qapp,
                         [&pelmaris](QSessionManager&) { pelmaris.operation.postStop(0); });
        QObject::connect(&qapp, &QCoreApplication::aboutToQuit, &qapp, [&pelmaris] { pelmaris.CloseSensors(); });

        exitCode = qapp.exec();
        // The hooks above point into objects that end with this block.
        CEchogramView::SetExternalDepth(nullptr);
        CEchogramDoc::SetEnvironment(CEchogramDoc::Environment{});
        powerOff = pelmaris.PowerOffPending();
        powerOffCommand = pelmaris.PowerOffCommand();
    }
    SetMessageBoxPresenter({});
    // Everything is saved and closed: only now may the PC go off.
    if (powerOff)
        app::CPelmaris::PowerOffAtExit(powerOffCommand);
    return exitCode;
}
