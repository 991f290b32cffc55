// The assembled program: the first close runs stop and exit through the
// engine, saves its state, and powers off only when armed and only at the
// end; replays run through the channels and the recorder; the telegram
// decoder feeds the history, the network output and the recorder.
#include "app/Workload.h"
#include "display/DepthDoc.h"
#include "display/ESDocList.h"
#include "display/EchogramDoc.h"
#include "display/ui/DepthView.h"
#include "display/ui/DepthViewCommands.h"
#include "display/ui/EchogramView.h"
#include "display/ui/SCView.h"
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "outputs/QYNet.h"
#include "platform/Component.h"
#include "platform/FileTime.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "recording/Replay.h"
#include "recording/Store.h"
#include "recording/tests/StoreFixture.h"
#include "recording/ui/StoreEchogram.h"
#include "sensors/Environment.h"
#include "sensors/GeographicInfo.h"
#include "sensors/GyroCompass.h"
#include "sensors/Heave.h"
#include "sensors/Navigation.h"
#include "sensors/NmeaDepth.h"
#include "sensors/PurseSeine.h"
#include "sensors/SvpProbe.h"
#include "sensors/Temperature.h"
#include "sensors/Trawl.h"
#include "serialcom/ISerialCom.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"
#include "transceivers/TrList.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/tests/TestTransceiver.h"
#include "transceivers/ui/TransceiverDialog.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "base/Status.h"
#include "platform/MessageBox.h"
#include "program/tests/TestProgram.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QResizeEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class ProgramTest : public ::testing::Test
{
protected:
    ProgramTest() { QtApp(); }
    void Start(const char* model, std::vector<std::string> arguments = {})
    {
        arguments.insert(arguments.begin(), model);
        auto options = TestProgramOptions(std::move(arguments));
        options.storeDialog = [this](zv::recording::SStoreDialogValues& v) { return storeDialog && storeDialog(v); };
        program = MakeProgram(std::move(options));
        if (beforeStart)
            beforeStart(*program);
        ASSERT_TRUE(program->Start());
        frame = program->Frame();
        ASSERT_NE(frame, nullptr);
    }
    void Stop() { program.reset(); }
    app::CPelmaris& App() { return program->Application(); }
    COperationControl& Operation() { return program->Operation(); }
    bool Stopped() { return Operation().GetEchoSounder() == nullptr && !Operation().IsBusy(); }

    ShellEnvironment env;
    AnswerMessageBoxes boxes;
    std::function<bool(zv::recording::SStoreDialogValues&)> storeDialog;
    // What the test adds to the program before it starts.
    std::function<void(app::CProgram&)> beforeStart;
    std::unique_ptr<app::CProgram> program;
    app::CMainFrame* frame = nullptr;
};

// A generated recording of a few pings on two channels.
struct Recording
{
    zv::recgen::SRecGenScene scene;
    fs::path file;
    Recording(const fs::path& folder, int pings, const std::vector<std::string>& more = {})
    {
        std::string error;
        std::vector<std::string> settings{"pings=" + std::to_string(pings), "channels=38,120", "samples=400"};
        settings.insert(settings.end(), more.begin(), more.end());
        for (const std::string& s : settings)
            EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
        fs::create_directories(folder);
        file = folder / "survey.raw";
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(file.string(), nullptr, &error)) << error;
    }
};

zv::recording::CReplay* RunningReplay(app::CProgram& program)
{
    CEchoSounder* sounder = program.Operation().GetEchoSounder();
    return sounder ? dynamic_cast<zv::recording::CReplay*>(sounder->GetTransceiver(0)) : nullptr;
}

// A unit of the test suite made by a type row of the test's.
std::unique_ptr<CTransceiver> MakeTestUnit(const TransceiverConstruction& c)
{
    CTestTransceiver::Options o;
    o.name = c.info.transceiverId;
    o.services = &c.services;
    return std::make_unique<CTestTransceiver>(o);
}

// One installed channel of the type, as the installation dialog leaves it.
void InstallUnit(TransceiverType type, const std::string& name)
{
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    CTrList e;
    e.transceiverId = name;
    e.channelNo = 1;
    e.type = type;
    const std::string description = name + " 1";
    e.FormatDescription(&description, type);
    installation.WriteChannelEntry(e, key);
    reg.CloseKey(key);
    reg.CloseRootKeys();
}

// A transceiver type the program does not build is one row of the type
// table away: registered, the unit installed with it is made by its row and
// the sounder pings it.
TEST_F(ProgramTest, UnitOfARegisteredTypeRowIsMadeAndPinged)
{
    InstallUnit(TransceiverType::GEO, "T38");
    beforeStart = [](app::CProgram& p) {
        p.SounderHost().TransceiverTypes().Register({TransceiverType::GEO, {SounderModel::QY310}, &MakeTestUnit});
    };
    Start("QY310");
    CEchoSounder* sounder = nullptr;
    ASSERT_TRUE(WaitFor(
        [&] {
            sounder = Operation().GetEchoSounder();
            return sounder && sounder->GetPingCount() >= 3;
        },
        30000));
    auto* unit = dynamic_cast<CTestTransceiver*>(sounder->GetTransceiver(0));
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(sounder->GetTransceiverCount(), 1);
    EXPECT_GE(unit->GetPingsDelivered(), 3);
    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
}

TEST_F(ProgramTest, FirstCloseStopsAndExitsThroughOperationControl)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    EXPECT_TRUE(Operation().GetPowerOff());                      // the arming reached operation control
    EXPECT_FALSE(frame->QueryCommand(app::cmd::STORE).enabled);  // no sounder, no recorder
    frame->close();
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_EQ(App().SensorObject(app::SensorId::Navigation), nullptr);
    EXPECT_TRUE(App().PowerOffPending());
    const std::string state = Operation().GetStateFileName();
    Stop();
    // Its settings were saved before anything could power off.
    EXPECT_TRUE(fs::exists(state)) << state;
}

TEST_F(ProgramTest, ExitMessageClearsOperationControlsPowerOff)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    frame->show();
    PostMessage(frame->GetSafeHwnd(), RegisterWindowMessage(app::kExitMessageName), 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_FALSE(Operation().GetPowerOff());
    EXPECT_FALSE(App().PowerOffPending());
    Stop();
}

TEST_F(ProgramTest, OpenCommandReachesOperationControlAsAReplayStart)
{
    Start("QY310");
    const fs::path raw = env.Root() / "missing.raw";
    EXPECT_TRUE(App().OnDDECommand("[open(\"" + raw.string() + "\")]"));
    // Operation control takes the list; with nothing to replay it creates no
    // sounder and stays ready for the next command.
    ASSERT_TRUE(WaitFor([&] { return Operation().GetReplayFileList() != nullptr; }));
    EXPECT_EQ(Operation().GetReplayFileList()->GetFileName(0), raw.string());
    ASSERT_TRUE(WaitFor([&] { return !Operation().IsBusy(); }));
    // The user hears which file and why.
    ASSERT_TRUE(WaitFor([&] { return !MessageBoxRecord().empty(); }));
    EXPECT_NE(MessageBoxRecord()[0].text.find(raw.string() + ": No such file or directory"), std::string::npos)
        << MessageBoxRecord()[0].text;
    Stop();
}

TEST_F(ProgramTest, RecordingOnTheCommandLineReplaysUntilTheStopCommand)
{
    const Recording recording(env.Root(), 6);
    Start("QY310", {recording.file.string()});
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    EXPECT_EQ(sounder->GetMode(), CEchoSounder::kReplay);
    EXPECT_EQ(sounder->GetChannelCount(), 2);
    EXPECT_TRUE(App().IsReplaying());
    // The start request replays in a loop: past the end it goes on from the top.
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 8; }, 30000));
    EXPECT_TRUE(sounder->AreThreadsRunning());

    // Timer 106 samples the load the trigger thread paces by.
    ASSERT_TRUE(frame->sampleWorkload);
    frame->sampleWorkload();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 10; }, 30000));
    frame->sampleWorkload();
    EXPECT_NE(App().GetWorkload().GetLoad(), 0.5);  // 0.5 only until two samples were taken

    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
    Stop();
}

// The channel frames, and the bottom detectors of their channels, keep their
// files in the settings folder of the profile, never in the working folder.
TEST_F(ProgramTest, ChannelFramesKeepTheirSettingsInTheSettingsFolderUnderTheChannelsNames)
{
    const Recording recording(env.Root(), 4);
    const fs::path workingFolder = env.Root() / "cwd";
    fs::create_directories(workingFolder);
    struct InFolder
    {
        fs::path before = fs::current_path();
        explicit InFolder(const fs::path& folder) { fs::current_path(folder); }
        ~InFolder() { fs::current_path(before); }
    } inWorkingFolder(workingFolder);
    Start("QY310", {recording.file.string()});
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    const fs::path settings = env.DataRoot() / "Settings" / "Default";
    // Not in the program folder, which this system never writes.
    EXPECT_EQ(fs::path(Operation().GetSettingsFolder()), settings / "");
    EXPECT_EQ(fs::path(App().GetSerializePath()), settings / "");
    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
    Stop();
    EXPECT_TRUE(fs::is_regular_file(settings / "Replay 38 kHz.ser"));
    EXPECT_TRUE(fs::is_regular_file(settings / "Replay 120 kHz.ser"));
    int detectors = 0;
    for (const auto& entry : fs::directory_iterator(settings))
        detectors += entry.path().filename().string().ends_with(CBottomDetector::kFileSuffix) ? 1 : 0;
    EXPECT_EQ(detectors, 2);
    EXPECT_TRUE(fs::is_empty(workingFolder));
}

// A program that ends without stop and exit (the desktop session ending)
// takes its frames down before the sounder whose channels they show, and
// the frames still save their settings.
TEST_F(ProgramTest, ProgramEndingWithAReplayRunningTakesTheFramesDownFirst)
{
    const Recording recording(env.Root(), 2000);
    Start("QY310", {recording.file.string()});
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 5; }, 30000));
    ASSERT_NE(program->Layout(), nullptr);
    const fs::path settings = env.DataRoot() / "Settings" / "Default";
    Stop();
    EXPECT_TRUE(fs::is_regular_file(settings / "Replay 38 kHz.ser"));
    EXPECT_TRUE(fs::is_regular_file(settings / "Replay 120 kHz.ser"));
}

// A replayed channel finds the external depth source named after it: a
// window published under its source's name sets its echogram's range.
TEST_F(ProgramTest, ReplayedEchogramTakesTheWindowPublishedUnderItsSourceName)
{
    const Recording recording(env.Root(), 2000);
    Start("QY310", {recording.file.string()});
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 3 && program->Layout() != nullptr; }, 30000));
    std::string name;
    program->ExternalDepth().GetSource(0, name);
    ASSERT_FALSE(name.empty());
    ASSERT_EQ(program->ExternalDepth().SetSource(name, 33.0, 100, 1, 0, 0), 1);
    auto* documents = dynamic_cast<CESDocList*>(sounder->GetDocuments());
    ASSERT_NE(documents, nullptr);
    const auto firstChannelsRange = [&] {
        for (CAbstractESDoc* doc : documents->GetDocList())
            if (auto* echogram = dynamic_cast<CEchogramDoc*>(doc);
                echogram && echogram->GetChannel() == sounder->GetChannel(0))
                return echogram->m_range;
        return 0.0;
    };
    EXPECT_TRUE(WaitFor([&] { return firstChannelsRange() == 33.0; }, 10000)) << firstChannelsRange();
    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
    Stop();
}

// The operation's interval ping rate is not the fixed interval: only the
// user's setting makes every echogram's range follow the interval.
TEST_F(ProgramTest, IntervalPingRateLeavesTheEchogramsRangeAndTheFixedIntervalSetsIt)
{
    Start("QY310");
    App().storedPingMode = 2;  // what the operation dialog's interval rate leaves
    const SFrameContext context = program->Display().FrameContext(SounderModel::QY310);
    CEchogramDoc doc(context.documents);
    doc.m_range = 100.0;
    doc.OnSourceUpdate(0);
    EXPECT_EQ(doc.m_range, 100.0);

    const double c = program->Display().GetSoundVelocity();
    ASSERT_GT(c, 0.0);
    App().SetFixedInterval(true, 0.2);
    doc.OnSourceUpdate(0);
    EXPECT_DOUBLE_EQ(doc.m_range, 0.2 * c * 0.5);
    // The interval the views' wheel steps is the same one.
    ASSERT_NE(context.views.echogramEnvironment, nullptr);
    context.views.echogramEnvironment->SetFixedInterval(0.1);
    doc.OnSourceUpdate(0);
    EXPECT_DOUBLE_EQ(doc.m_range, 0.1 * c * 0.5);
    Stop();
}

TEST_F(ProgramTest, ReplayRunsEveryRecordedPingThroughTheChannelsOnce)
{
    constexpr int kPings = 9;
    const Recording recording(env.Root(), kPings);
    Start("QY310");
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    ASSERT_TRUE(
        WaitFor([&] { return RunningReplay(*program)->IsStopped() && sounder->GetPingCount() >= kPings; }, 30000));
    // The end of the file was reached and nothing more is triggered: every
    // ping went through once, and each channel holds the last one.
    EXPECT_EQ(sounder->GetPingCount(), std::uint64_t(kPings));
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(sounder->GetChannel(c)->GetPingTime(), zv::recgen::PingTime(recording.scene, kPings - 1)) << c;

    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
    Stop();
}

// The recorded water temperature goes from replay to the program's sensor
// and its status pane; a recorded 0.0 is no temperature at all, not 0 degrees
// C, and takes away the one shown before.
TEST_F(ProgramTest, ReplayedTemperatureReachesTheSensorAndZeroIsNone)
{
    constexpr int kPings = 4;
    const Recording warm(env.Root() / "warm", kPings, {"water-temperature=8.5"});
    const Recording none(env.Root() / "none", kPings, {"water-temperature=0"});
    Start("QY310");
    app::CStatus* status = frame->GetStatus();
    ASSERT_NE(status, nullptr);
    const auto pane = [&] {
        const app::StatusPane* p = status->FindPane(app::ids::WATER_TEMPERATURE);
        return p ? p->text : std::string("no pane");
    };
    struct Case
    {
        const Recording& recording;
        std::optional<double> celsius;
        std::string pane;
    } cases[] = {{warm, 8.5, "8.5 \u00B0C"}, {none, std::nullopt, ""}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recording.file.string());
        CReplayFileList list;
        list.AddTail(c.recording.file.string());
        list.m_loop = 0;
        COperationControl::PostStartWithFiles(&list);
        ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }, 10000));
        CEchoSounder* sounder = Operation().GetEchoSounder();
        ASSERT_TRUE(WaitFor(
            [&] { return RunningReplay(*program)->IsStopped() && sounder->GetPingCount() >= std::uint64_t(kPings); },
            30000));
        EXPECT_EQ(program->WaterTemperature()->GetTemperature(), c.celsius);
        auto* sensor = App().Sensor<CTemperature>(app::SensorId::Temperature);
        ASSERT_NE(sensor, nullptr);
        double celsius = -1.0;
        EXPECT_EQ(sensor->GetTemperature(celsius) == 0, c.celsius.has_value());
        EXPECT_TRUE(WaitFor([&] { return pane() == c.pane; }, 10000)) << pane();
        App().Operation().PostStop(0);
        ASSERT_TRUE(WaitFor([&] { return Stopped(); }, 20000));
    }
    Stop();
}

// While a file replays, the recorder's command stores part of it: the
// extract starts at the next ping and ends with the second command, and its
// file holds whole pings and what the program handed the recorder meanwhile.
// Logging belongs to live operation, so its command changes nothing.
TEST_F(ProgramTest, RecordCommandStoresPartOfTheReplayedFile)
{
    using zv::recording::CStore;
    // Long enough that the replay neither ends nor starts over (which closes
    // the extract) while the test runs.
    const Recording recording(env.Root(), 2000);
    Start("QY310");
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    ASSERT_NE(sounder->GetRecorder(), nullptr);
    const fs::path folder = CPaths::MapWindowsPath(zv::recording::SStoreSettings::DefaultFolder(SounderModel::QY310));
    const auto rawFiles = [&] { return zv::recording::test::FilesWith(folder, ".raw"); };
    const auto extractOn = [&] {
        bool on = false;
        program->Recorder().With([&](CStore& store) { on = store.IsReplayExtractOn(); });
        return on;
    };

    // The recording settings are not for replay: "Store..." is disabled.
    bool dialogRan = false;
    storeDialog = [&](zv::recording::SStoreDialogValues&) { return dialogRan = true; };
    EXPECT_FALSE(frame->QueryCommand(app::cmd::STORE).enabled);
    frame->RunCommand(app::cmd::STORE);
    EXPECT_FALSE(dialogRan);

    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::REPLAY_EXTRACT, 0);
    ASSERT_TRUE(WaitFor([&] { return !rawFiles().empty(); }, 30000));
    EXPECT_TRUE(extractOn());
    bool logging = true;
    program->Recorder().With([&](CStore& store) { logging = store.IsLogging(); });
    EXPECT_FALSE(logging);
    // What the program hands the recorder meanwhile goes into the open file:
    // an annotation, the environment's profile and a decoded sentence.
    App().AddAnnotation("Buoy\r\nto port", CFileTime::Now());
    program->ParseNmeaTelegram("$HEHDT,123.5,T", CFileTime::Now(), kNmeaFromNetwork);
    program->Environment().LoadUserSettings();  // records the constant profile
    const std::uint64_t pings = sounder->GetPingCount();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > pings + 3; }, 30000));
    frame->RunCommand(app::cmd::REPLAY_EXTRACT);
    EXPECT_FALSE(extractOn());

    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
    // The recorder went with the sounder.
    EXPECT_FALSE(program->Recorder().With([](CStore&) {}));
    Stop();

    const auto files = rawFiles();
    ASSERT_EQ(files.size(), 1u);
    const auto rb = zv::recording::test::ReadBack(files[0]);
    EXPECT_EQ(rb.skipped, 0u);
    ASSERT_EQ(rb.configs.size(), 1u);
    EXPECT_EQ(rb.configs[0].channels.size(), 2u);
    ASSERT_GE(rb.power.size(), 6u);
    ASSERT_EQ(rb.power.size() % 2, 0u);
    EXPECT_EQ(std::count(rb.annotations.begin(), rb.annotations.end(), "Buoy  to port"), 1);
    EXPECT_EQ(std::count(rb.profiles.begin(), rb.profiles.end(), "0:Constant"), 1);
    EXPECT_EQ(std::count(rb.sentences.begin(), rb.sentences.end(), "$HEHDT,123.5,T"), 1);
    for (std::size_t d = 0; d < rb.power.size(); d += 2) {
        EXPECT_EQ(rb.channels[d], 1u) << d;
        EXPECT_EQ(rb.channels[d + 1], 2u) << d;
        EXPECT_EQ(rb.sampleTimes[d], rb.sampleTimes[d + 1]) << d;
    }
}

// "Echogram Storage Parameters" on a replay: the dialog shows the replay
// title, OK gives the recorder the values without saving them, and a stop
// posted while the dialog is open deletes the recorder under it, which then
// gets nothing.
TEST_F(ProgramTest, EchogramStorageEditsTheReplaysRecorder)
{
    const Recording recording(env.Root(), 2000);
    Start("QY310");
    EXPECT_FALSE(frame->QueryCommand(app::cmd::ECHOGRAM_STORAGE).enabled);
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    EXPECT_TRUE(frame->QueryCommand(app::cmd::ECHOGRAM_STORAGE).enabled);

    const auto openDialog = [] {
        return qobject_cast<zv::recording::CStoreEchogram*>(QApplication::activeModalWidget());
    };
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = openDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), "239");
        EXPECT_EQ(dialog->windowTitle(), "Echogram Parameters - Replay");
        // The recording has two channels.
        EXPECT_TRUE(Control<QCheckBox>(*dialog, 1355)->isEnabled());
        EXPECT_FALSE(Control<QCheckBox>(*dialog, 1356)->isEnabled());
        Control<QCheckBox>(*dialog, 1355)->setChecked(true);
        Control<QLineEdit>(*dialog, 1301)->setText("321");
        seen = true;
        Control<QPushButton>(*dialog, 1)->click();
    });
    frame->RunCommand(app::cmd::ECHOGRAM_STORAGE);
    ASSERT_TRUE(seen);
    zv::recording::SStoreSettings got;
    ASSERT_TRUE(program->Recorder().With([&](zv::recording::CStore& store) { got = store.Settings(); }));
    EXPECT_EQ(got.echogramSurfaceCount, 321u);
    EXPECT_EQ(got.echogram[1], 1u);
    EXPECT_EQ(got.saveEchogramData, 1u);
    DWORD saved = 0;
    CRegistrySupport reg;
    ASSERT_TRUE(reg.GetDword(CRegistrySupport::UserRootKey(), "OperationControl\\Operation\\Replay\\Store",
                             "EchogramSurfaceCount", saved, FALSE));
    EXPECT_NE(saved, 321u) << "a replay's echogram settings are not saved";

    seen = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = openDialog();
        ASSERT_NE(dialog, nullptr);
        App().Operation().PostStop(0);
        ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
        Control<QLineEdit>(*dialog, 1301)->setText("654");
        seen = true;
        Control<QPushButton>(*dialog, 1)->click();
    });
    frame->RunCommand(app::cmd::ECHOGRAM_STORAGE);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(program->Recorder().With([](zv::recording::CStore&) {}));
    EXPECT_FALSE(frame->QueryCommand(app::cmd::ECHOGRAM_STORAGE).enabled);
}

// "Print dB Ping to file" on a replay: one block a channel, in the data root,
// with a sample line for each of the channel's samples.
TEST_F(ProgramTest, PrintDbPingWritesABlockForEachChannel)
{
    const Recording recording(env.Root(), 2000);
    Start("QY310");
    EXPECT_FALSE(frame->QueryCommand(app::cmd::PRINT_DB_PING).enabled);
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 2; }, 30000));
    ASSERT_TRUE(frame->QueryCommand(app::cmd::PRINT_DB_PING).enabled);
    frame->RunCommand(app::cmd::PRINT_DB_PING);
    CChannel::ParameterCopy copy;
    sounder->GetChannel(0)->GetChannelParameters(copy);
    ASSERT_FALSE(copy.Power.empty());

    std::ifstream in(fs::path(CPaths::DataRoot()) / "DEBUG_Print_dB_PING2.txt");
    ASSERT_TRUE(in.is_open());
    std::map<std::string, int> starts, ends, samples;
    for (std::string line; std::getline(in, line);) {
        const std::string channel = line.substr(0, line.find('\t'));
        if (line.find("\tSAmplerate:\t") != std::string::npos)
            ++starts[channel];
        else if (line == channel + "\t\t\t\t")
            ++ends[channel];
        else
            ++samples[channel];
    }
    EXPECT_EQ(starts, (std::map<std::string, int>{{"CH1", 1}, {"CH2", 1}}));
    EXPECT_EQ(ends, starts);
    EXPECT_EQ(samples["CH1"], int(copy.Power.size()));
    EXPECT_GT(samples["CH2"], 0);
}

// A replayed channel's "Transceiver Settings": offered in its depth row's
// menu, opened by a right click on its name with what the recording says of
// the channel and the replayed file as the remark; OK keeps the remark typed,
// and the menu's command with Cancel keeps the remark it showed.
TEST_F(ProgramTest, ReplayedChannelsSettingsShowTheRecordingAndKeepTheRemark)
{
    const Recording recording(env.Root(), 2000);
    Start("QY310");
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 2 && program->Layout() != nullptr; }, 30000));
    CTransceiver* replay = RunningReplay(*program);
    CChannel* channel = sounder->GetChannel(0);
    CDepthView* view = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        for (CDepthView* v : frame->findChildren<CDepthView*>())
            if (v->isVisible() && v->GetDocument() && v->GetDocument()->GetChannel() == channel)
                view = v;
        return view != nullptr;
    }));
    std::unique_ptr<QMenu> menu(view->BuildContextMenu(nullptr));
    ASSERT_NE(menu, nullptr);
    bool offered = false;
    for (QAction* a : menu->actions())
        offered = offered || (a->data().toUInt() == CDepthView::ID_TRANSCEIVER_SETTINGS && a->isEnabled());
    EXPECT_TRUE(offered) << "\"Transceiver Settings...\" enabled for a replayed channel";

    std::map<std::string, std::string> shown;
    int answered = 0;
    QTimer hand;
    hand.setInterval(20);
    QObject::connect(&hand, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CTransceiverDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        for (const char* name : {"IDC_CHANNEL", "IDC_TRANSDUCER_TYPE", "IDC_REMARK", "IDC_DRAUGHT"})
            shown[name] = dialog->findChild<QLineEdit*>(name)->text().toStdString();
        for (const char* name : {"IDC_POWER_TEXT", "IDC_PULSE_LENGTH_TEXT"})
            shown[name] = dialog->findChild<QLabel*>(name)->text().toStdString();
        ++answered;
        if (answered == 1) {
            Screenshot(*dialog, "replay-transceiver-settings");
            dialog->findChild<QLineEdit*>("IDC_REMARK")->setText("Buoy line 7");
            dialog->findChild<QLineEdit*>("IDC_DRAUGHT")->setText("9.5");
            dialog->accept();
        } else {
            dialog->findChild<QLineEdit*>("IDC_REMARK")->setText("not kept");
            dialog->reject();
        }
    });
    hand.start();
    view->repaint();
    QTest::mouseClick(view, Qt::RightButton, {}, QPoint(3, 3));
    ASSERT_EQ(answered, 1) << "the right click on the name opened it";
    double pulse = 0.0, power = 0.0, gain = 0.0, draught = 0.0;
    ASSERT_EQ(replay->GetChannelValues(channel, pulse, power, gain, draught), 1);
    EXPECT_EQ(shown["IDC_CHANNEL"], replay->GetChannelName(channel));
    EXPECT_EQ(shown["IDC_TRANSDUCER_TYPE"], "Replay 38 kHz");
    EXPECT_EQ(shown["IDC_REMARK"], recording.file.string());
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", power);
    EXPECT_EQ(shown["IDC_POWER_TEXT"], text);
    std::snprintf(text, sizeof text, "%.3f", pulse * 1000.0);
    EXPECT_EQ(shown["IDC_PULSE_LENGTH_TEXT"], text);
    std::snprintf(text, sizeof text, "%.2f", draught);
    EXPECT_EQ(shown["IDC_DRAUGHT"], text);
    EXPECT_EQ(replay->FindRecord(channel)->remark, "Buoy line 7");
    EXPECT_EQ(draught, zv::recgen::CRecordingGenerator(recording.scene).Scene().channels[0].draught)
        << "the recorded draught stays";

    EXPECT_TRUE(CDepthViewCommands::Run(*view->GetDocument(), CDepthView::ID_TRANSCEIVER_SETTINGS));
    hand.stop();
    EXPECT_EQ(answered, 2) << "the menu's command opened it";
    EXPECT_EQ(replay->FindRecord(channel)->remark, recording.file.string()) << "Cancel hands back what it showed";

    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
    Stop();
}

// A replay started to save data opens "Store..." once, shortly after its
// start, with the file settings locked.
TEST_F(ProgramTest, ReplayToSaveDataOpensTheStoreDialogOnce)
{
    const Recording recording(env.Root(), 2000);
    Start("QY310");
    std::vector<bool> locked;
    storeDialog = [&](zv::recording::SStoreDialogValues& v) {
        locked.push_back(v.locked);
        return false;
    };
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    list.m_saveData = 1;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return !locked.empty(); }, 10000));
    const std::uint64_t pings = sounder->GetPingCount();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > pings + 3; }, 30000));
    EXPECT_EQ(locked, std::vector<bool>{true});

    App().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return Stopped(); }));
    Stop();
}

TEST_F(ProgramTest, UnreadableRecordingStartsNoSounder)
{
    const fs::path bad = env.Root() / "garbage.raw";
    {
        std::ofstream(bad) << "not a recording";
    }
    Start("QY310", {bad.string()});
    ASSERT_TRUE(WaitFor([&] { return Operation().GetReplayFileList() != nullptr && !Operation().IsBusy(); }));
    EXPECT_EQ(Operation().GetEchoSounder(), nullptr);
    ASSERT_TRUE(WaitFor([&] { return !MessageBoxRecord().empty(); }));
    EXPECT_NE(MessageBoxRecord()[0].text.find(bad.string() + ": the file does not start with a configuration"),
              std::string::npos)
        << MessageBoxRecord()[0].text;
    Stop();
}

// Two programs one after the other in one process, as tests run them: the
// second is made and runs as a first one would, with its own model's
// documents and views reaching its own objects, and its first close is stop
// and exit. Under the sanitizers any use of what the first left behind
// fails here.
TEST_F(ProgramTest, ASecondProgramGetsNothingOfTheFirst)
{
    const Recording recording(env.Root(), 2000);
    const auto replayRuns = [this] {
        CEchoSounder* sounder = RunningReplay(*program) ? Operation().GetEchoSounder() : nullptr;
        return sounder && sounder->GetPingCount() > 3;
    };
    Start("RM30", {recording.file.string()});
    ASSERT_TRUE(WaitFor(replayRuns, 30000));
    ASSERT_NE(program->Layout(), nullptr);
    // Ended as the operator ends it: its first close is stop and exit.
    frame->close();
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }, 30000));
    Stop();

    Start("QY310", {recording.file.string()});
    ASSERT_TRUE(WaitFor(replayRuns, 30000));
    CEchoSounder* sounder = Operation().GetEchoSounder();
    auto* documents = dynamic_cast<CESDocList*>(sounder->GetDocuments());
    ASSERT_NE(documents, nullptr);
    int echograms = 0;
    for (CAbstractESDoc* document : documents->GetDocList()) {
        if (auto* echogram = dynamic_cast<CEchogramDoc*>(document)) {
            ++echograms;
            EXPECT_EQ(echogram->GetContext().model, SounderModel::QY310);
            EXPECT_EQ(echogram->GetContext().echogramHost, &program->Display());
            EXPECT_EQ(echogram->GetContext().externalDepth, &program->Display());
        } else if (auto* depth = dynamic_cast<CDepthDoc*>(document)) {
            EXPECT_EQ(depth->GetContext().depthHost, &program->Display());
        }
        EXPECT_FALSE(document->GetViews().empty());
    }
    EXPECT_GT(echograms, 0);
    for (int i = 0; i < sounder->GetChannelCount(); ++i) {
        const IChannelLinks& links = sounder->GetChannel(i)->GetLinks();
        EXPECT_EQ(&links, &program->ChannelLinks());
        EXPECT_EQ(links.GetSettingsFolder(), App().GetSerializePath());
    }
    // The views' updates came through this program's main frame: they sized
    // its history. They take its colour broadcasts too.
    EXPECT_TRUE(WaitFor([&] { return program->GeographicInfo().GetHistoryLength() > 2; }));
    const auto* view = dynamic_cast<const CSCView*>(documents->GetDocList().front()->GetViews().front());
    ASSERT_NE(view, nullptr);
    if (!frame->PaletteLimited()) {
        frame->RunCommand(app::cmd::PALETTE_BRIGHT_DAY);
        EXPECT_EQ(view->GetColourTable()[CPaletteControl::kBackgroundIndex], qRgb(255, 255, 255));
        frame->RunCommand(app::cmd::PALETTE_DAY_BLACK);
        EXPECT_EQ(view->GetColourTable()[CPaletteControl::kBackgroundIndex], qRgb(0, 0, 0));
    }

    frame->close();
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }, 30000)) << "this program's first close";
    EXPECT_EQ(Operation().GetEchoSounder(), nullptr);
    Stop();
}

TEST_F(ProgramTest, ObjectsByModel)
{
    for (const char* model : {"QY310", "RM30"}) {
        SCOPED_TRACE(model);
        Start(model);
        EXPECT_NE(App().Sensor<CGeographicInfo>(app::SensorId::GeographicInfo), nullptr);
        EXPECT_EQ(App().Sensor<CQYNet>(app::SensorId::NetworkOutput) != nullptr, std::string(model) == "QY310");
        // The serial sensors, kept though their ports do not open; the
        // trawl's line on the trawl models only.
        EXPECT_NE(App().Sensor<CNavigation>(app::SensorId::Navigation), nullptr);
        EXPECT_NE(App().Sensor<CGyroCompass>(app::SensorId::Heading), nullptr);
        EXPECT_NE(App().Sensor<CNmeaDepth>(app::SensorId::NmeaDepth), nullptr);
        EXPECT_EQ(App().Sensor<CTrawl>(app::SensorId::Trawl) != nullptr, std::string(model) == "RM30");
        // The water temperature on every model, kept though its line does
        // not open; the probe on the QY models only.
        EXPECT_NE(App().Sensor<CTemperature>(app::SensorId::Temperature), nullptr);
        EXPECT_EQ(App().Sensor<CSvpProbe>(app::SensorId::SvpProbe) != nullptr, std::string(model) == "QY310");
        // The net sensors kept without a port; the motion sensor, whose
        // open is not checked, all the same.
        EXPECT_NE(App().Sensor<CPurseSeine>(app::SensorId::PurseSeine), nullptr);
        EXPECT_NE(App().Sensor<CHeave>(app::SensorId::Heave), nullptr);
        // The event command needs a running sounder.
        EXPECT_FALSE(App().RouteCommand(app::cmd::EVENT_ANNOTATION));
        Stop();
    }
}

TEST_F(ProgramTest, NetworkTelegramReachesHistoryAndIsRelayed)
{
    CSocket listener;
    ASSERT_TRUE(listener.Create(CSocket::Udp));
    ASSERT_TRUE(listener.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
    Start("QY310");
    CNavigation* navigation = App().Sensor<CNavigation>(app::SensorId::Navigation);
    ASSERT_NE(navigation, nullptr);
    CNavigation::Settings positions = navigation->GetSettings();
    positions.PositionSource = CNavigation::kSourceNetwork;
    navigation->StoreSettings(positions);
    CQYNet* net = App().Sensor<CQYNet>(app::SensorId::NetworkOutput);
    ASSERT_NE(net, nullptr);
    CQYNet::Settings s = net->GetSettings();
    s.DestAddr = "127.0.0.1";
    s.DestPort = listener.LocalAddress().port;
    s.RelayNavigation = 1;
    net->ApplySettings(s);
    program->GeographicInfo().EnsureHistoryLength(5);

    program->ParseNmeaTelegram("$HEHDT,123.5,T", 134'000'000'000'000'000ULL, kNmeaFromNetwork);
    EXPECT_DOUBLE_EQ(program->GeographicInfo().GetHeadingAtTime(134'000'000'000'000'000ULL), 123.5);
    char b[64] = {};
    const int n = listener.ReceiveFrom(b, sizeof b, nullptr, 2000);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(b, static_cast<std::size_t>(n)), "$HEHDT,123.5,T");
    Stop();
}

// A position mark on an echogram of the program sends the ping's object
// information to the network output and says so in the status bar.
TEST_F(ProgramTest, PositionMarkOnAnEchogramSendsTheObjectInformationAndSaysSo)
{
    CSocket listener;
    ASSERT_TRUE(listener.Create(CSocket::Udp));
    ASSERT_TRUE(listener.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
    Start("QY310");
    CQYNet* net = App().Sensor<CQYNet>(app::SensorId::NetworkOutput);
    ASSERT_NE(net, nullptr);
    CQYNet::Settings s = net->GetSettings();
    s.DestAddr = "127.0.0.1";
    s.DestPort = listener.LocalAddress().port;
    s.AnnotationDatagram = 1;
    net->ApplySettings(s);

    const SFrameContext context = program->Display().FrameContext(SounderModel::QY310);
    CChannel::Construction cc;
    cc.SourceName = "T38";
    CChannel channel(cc);
    CEchogramDoc doc(context.documents);
    doc.SetChannel(&channel);
    doc.m_rangeReference = CEchogramDoc::SURFACE;
    doc.m_range = 100.0;
    doc.m_start = 0.0;
    CEchogramView view(&doc, context.views);
    view.resize(200, 100);
    QResizeEvent resized(QSize(200, 100), QSize());
    QApplication::sendEvent(&view, &resized);
    view.OnInitialUpdate();

    CGeographicInfo& history = program->GeographicInfo();
    const std::uint64_t t0 = 134'000'000'000'000'000ULL, second = 10'000'000ULL;
    history.EnsureHistoryLength(200);
    history.ParseNavigationTelegram("$GPGGA,1,5900.0000,N,01000.0000,E", t0);
    history.ParseNavigationTelegram("$GPGGA,1,5902.0000,N,01002.0000,E", t0 + 100 * second);
    for (int i = 1; i <= 10; ++i)
        history.AddPing(t0 + i * second);
    const int x = 200 - view.GetScaleMargin() - 6;  // six pings back: the fourth
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(x, 60));
    char b[256] = {};
    const int n = listener.ReceiveFrom(b, sizeof b - 1, nullptr, 5000);
    ASSERT_GT(n, 0);
    const std::string datagram(b, static_cast<std::size_t>(n));
    EXPECT_EQ(datagram.rfind("VGR,", 0), 0u) << datagram;
    EXPECT_NE(datagram.find("5900.0800000,1000.0800000,60.00,0"), std::string::npos) << datagram;
    app::CStatus* status = frame->GetStatus();
    EXPECT_TRUE(WaitFor([&] { return status->CurrentStatusText() == "Object information sent on network "; }))
        << status->CurrentStatusText();
    // The view and its document go before the program.
}

// A live tide telegram reaches the value the recorder writes with every ping.
TEST_F(ProgramTest, TideTelegramReachesTheRecordedTide)
{
    Start("QY310");
    program->ParseNmeaTelegram("$PQTIDE,x,1.25", CFileTime::Now(), kNmeaFromNetwork);
    EXPECT_DOUBLE_EQ(App().tide.load(), -1.25);
    Stop();
}

// The program registers the serial component in its own classes hive at
// its first start, mends a registration whose plug-in is gone, and leaves a
// working one alone; the port dialogs of the serial library are installed.
TEST_F(ProgramTest, SerialComponentIsRegisteredByTheProgramWithItsDialogs)
{
    // No serial device of this machine is probed.
    std::vector<std::unique_ptr<ScopedEnv>> ports;
    for (int n = 1; n <= 16; ++n)
        ports.push_back(std::make_unique<ScopedEnv>(("ZELVAR_COM" + std::to_string(n)).c_str(),
                                                    (env.Root() / ("COM" + std::to_string(n))).c_str()));
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(kSerialComProgId, &clsid), REGDB_E_CLASSNOTREG);
    const std::string serverKey = "CLSID\\" + GuidToString(CLSID_SerialCom) + "\\InprocServer32";
    const auto server = [&] {
        HKEY key = nullptr;
        if (RegOpenKeyEx(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return std::string();
        char path[1024] = {};
        DWORD size = sizeof path;
        const LONG rc = RegQueryValueEx(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? std::string(path) : std::string();
    };

    Start("QY310");
    ASSERT_EQ(CLSIDFromProgID(kSerialComProgId, &clsid), S_OK);
    const std::string registered = server();
    EXPECT_TRUE(fs::exists(registered)) << registered;
    ISerialCom* com = nullptr;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ISerialCom, reinterpret_cast<void**>(&com)),
              S_OK);
    BSTR setting = SysAllocString("Test");
    com->Create2(0, setting);
    SysFreeString(setting);
    std::string shown;
    QTimer closer;
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            shown = dialog->windowTitle().toStdString();
            dialog->reject();
        }
    });
    closer.start();
    com->Configure();  // the port options dialog of the serial library
    closer.stop();
    EXPECT_FALSE(shown.empty());
    com->Close();
    com->Release();
    Stop();

    // A registration that names a plug-in that is gone is made again.
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, serverKey.c_str(), 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
        const std::string gone = "/nowhere/libtovrelix.so";
        RegSetValueEx(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(gone.c_str()),
                      static_cast<DWORD>(gone.size() + 1));
        RegCloseKey(key);
    }
    Start("QY310");
    EXPECT_EQ(server(), registered);
    Stop();
}

}  // namespace
