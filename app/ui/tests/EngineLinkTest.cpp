// The program with operation control behind it: the first close runs stop
// and exit through the engine, saves its state, and powers off only when
// armed and only at the end.
#include "engine/Channel.h"
#include "engine/OperationControl.h"
#include "recording/Replay.h"
#include "sensors/Environment.h"
#include "recording/Store.h"
#include "recording/tests/StoreFixture.h"
#include "platform/FileTime.h"
#include "platform/Paths.h"
#include "sim/recgen/RecordingGenerator.h"
#include "transceivers/TransceiverInstallation.h"
#include "app/Workload.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/EngineLink.h"
#include "app/ui/MainFrame.h"
#include "app/ui/QtDispatcherAdapter.h"
#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class EngineLinkTest : public ::testing::Test {
protected:
    EngineLinkTest() { QtApp(); }
    void Start(const char* model, std::vector<std::string> arguments = {})
    {
        pelmaris = std::make_unique<app::CPelmaris>();
        pelmaris->frameFactory = [this](app::CPelmaris& a, unsigned menuId) {
            auto f = std::make_unique<app::CMainFrame>(a, menuId);
            frame = f.get();
            return f;
        };
        CTransceiverInstallation::ResetInitializeFlag();  // once per process, each test a program
        link = std::make_unique<app::CEngineLink>(*pelmaris);
        app::FirstCloseFlag() = true;
        arguments.insert(arguments.begin(), model);
        ASSERT_TRUE(pelmaris->InitInstance(arguments));
    }
    void Stop()
    {
        link.reset();
        pelmaris.reset();
    }
    ShellEnvironment env;
    app::CQtDispatcherAdapter dispatcher;
    std::unique_ptr<app::CPelmaris> pelmaris;
    std::unique_ptr<app::CEngineLink> link;
    app::CMainFrame* frame = nullptr;
};

// A generated recording of a few pings on two channels.
struct Recording {
    zv::recgen::SRecGenScene scene;
    fs::path file;
    Recording(const fs::path& folder, int pings)
    {
        std::string error;
        for (const std::string& s : {"pings=" + std::to_string(pings), std::string("channels=38,120"),
                                    std::string("samples=400")})
            EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
        file = folder / "survey.raw";
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(file.string(), nullptr, &error)) << error;
    }
};

zv::recording::CReplay* RunningReplay(app::CEngineLink& link)
{
    CEchoSounder* sounder = link.Operation().GetEchoSounder();
    return sounder ? dynamic_cast<zv::recording::CReplay*>(sounder->GetTransceiver(0)) : nullptr;
}

TEST_F(EngineLinkTest, FirstCloseStopsAndExitsThroughOperationControl)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    EXPECT_TRUE(link->Operation().GetPowerOff());  // the arming reached operation control
    EXPECT_FALSE(frame->QueryCommand(app::cmd::STORE).enabled);  // no sounder, no recorder
    frame->close();
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_EQ(pelmaris->GetNavigation(), nullptr);
    EXPECT_TRUE(pelmaris->PowerOffPending());
    const std::string state = link->Operation().GetStateFileName();
    Stop();
    // Its settings were saved before anything could power off.
    EXPECT_TRUE(fs::exists(state)) << state;
}

TEST_F(EngineLinkTest, ExitMessageClearsOperationControlsPowerOff)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    frame->show();
    PostMessage(frame->GetSafeHwnd(), RegisterWindowMessage(app::kExitMessageName), 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_FALSE(link->Operation().GetPowerOff());
    EXPECT_FALSE(pelmaris->PowerOffPending());
    Stop();
}

TEST_F(EngineLinkTest, OpenCommandReachesOperationControlAsAReplayStart)
{
    Start("QY310");
    const fs::path raw = env.Root() / "missing.raw";
    EXPECT_TRUE(pelmaris->OnDDECommand("[open(\"" + raw.string() + "\")]"));
    // Operation control takes the list; with nothing to replay it creates no
    // sounder and stays ready for the next command.
    ASSERT_TRUE(WaitFor([&] { return link->Operation().GetReplayFileList() != nullptr; }));
    EXPECT_EQ(link->Operation().GetReplayFileList()->GetFileName(0), raw.string());
    ASSERT_TRUE(WaitFor([&] { return !link->Operation().IsBusy(); }));
    Stop();
}

TEST_F(EngineLinkTest, RecordingOnTheCommandLineReplaysUntilTheStopCommand)
{
    const Recording recording(env.Root(), 6);
    Start("QY310", {recording.file.string()});
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*link) != nullptr; }));
    CEchoSounder* sounder = link->Operation().GetEchoSounder();
    EXPECT_EQ(sounder->GetMode(), CEchoSounder::kReplay);
    EXPECT_EQ(sounder->GetChannelCount(), 2);
    EXPECT_TRUE(pelmaris->IsReplaying());
    // The start request replays in a loop: past the end it goes on from the top.
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 8; }, 30000));
    EXPECT_TRUE(sounder->AreThreadsRunning());

    // Timer 106 samples the load the trigger thread paces by.
    ASSERT_TRUE(frame->sampleWorkload);
    frame->sampleWorkload();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 10; }, 30000));
    frame->sampleWorkload();
    EXPECT_NE(pelmaris->GetWorkload().GetLoad(), 0.5);  // 0.5 only until two samples were taken

    pelmaris->operation.postStop(0);
    ASSERT_TRUE(WaitFor([&] { return link->Operation().GetEchoSounder() == nullptr && !link->Operation().IsBusy(); }));
    Stop();
}

TEST_F(EngineLinkTest, ReplayRunsEveryRecordedPingThroughTheChannelsOnce)
{
    constexpr int kPings = 9;
    const Recording recording(env.Root(), kPings);
    Start("QY310");
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*link) != nullptr; }));
    CEchoSounder* sounder = link->Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*link)->IsStopped() && sounder->GetPingCount() >= kPings; },
                        30000));
    // The end of the file was reached and nothing more is triggered: every
    // ping went through once, and each channel holds the last one.
    EXPECT_EQ(sounder->GetPingCount(), std::uint64_t(kPings));
    for (int c = 0; c < 2; ++c)
        EXPECT_EQ(sounder->GetChannel(c)->GetPingTime(), zv::recgen::PingTime(recording.scene, kPings - 1)) << c;

    pelmaris->operation.postStop(0);
    ASSERT_TRUE(WaitFor([&] { return link->Operation().GetEchoSounder() == nullptr && !link->Operation().IsBusy(); }));
    Stop();
}

// While a file replays, the recorder's command stores part of it: the
// extract starts at the next ping and ends with the second command, and its
// file holds whole pings and what the program handed the recorder meanwhile.
// Logging belongs to live operation, so its command changes nothing.
TEST_F(EngineLinkTest, RecordCommandStoresPartOfTheReplayedFile)
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
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*link) != nullptr; }));
    CEchoSounder* sounder = link->Operation().GetEchoSounder();
    ASSERT_NE(sounder->GetRecorder(), nullptr);
    const fs::path folder = CPaths::MapWindowsPath(zv::recording::SStoreSettings::DefaultFolder(app::kQY310));
    const auto rawFiles = [&] { return zv::recording::test::FilesWith(folder, ".raw"); };
    const auto extractOn = [&] {
        bool on = false;
        link->WithRecorder([&](CStore& store) { on = store.IsReplayExtractOn(); });
        return on;
    };

    // The recording settings are not for replay: "Store..." is disabled.
    bool dialogRan = false;
    link->storeDialog = [&](zv::recording::SStoreDialogValues&) { return dialogRan = true; };
    EXPECT_FALSE(frame->QueryCommand(app::cmd::STORE).enabled);
    frame->RunCommand(app::cmd::STORE);
    EXPECT_FALSE(dialogRan);

    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, zv::recording::kCmdToggleLogging, 0);
    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, zv::recording::kCmdToggleReplayExtract, 0);
    ASSERT_TRUE(WaitFor([&] { return !rawFiles().empty(); }, 30000));
    EXPECT_TRUE(extractOn());
    bool logging = true;
    link->WithRecorder([&](CStore& store) { logging = store.IsLogging(); });
    EXPECT_FALSE(logging);
    // What the program hands the recorder meanwhile goes into the open file.
    pelmaris->AddAnnotation("Buoy\r\nto port", CFileTime::Now());
    link->Environment().LoadUserSettings();  // records the constant profile
    const std::uint64_t pings = sounder->GetPingCount();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > pings + 3; }, 30000));
    frame->RunCommand(zv::recording::kCmdToggleReplayExtract);
    EXPECT_FALSE(extractOn());

    pelmaris->operation.postStop(0);
    ASSERT_TRUE(WaitFor([&] { return link->Operation().GetEchoSounder() == nullptr && !link->Operation().IsBusy(); }));
    // The recorder went with the sounder.
    EXPECT_FALSE(link->WithRecorder([](CStore&) {}));
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
    for (std::size_t d = 0; d < rb.power.size(); d += 2) {
        EXPECT_EQ(rb.channels[d], 1u) << d;
        EXPECT_EQ(rb.channels[d + 1], 2u) << d;
        EXPECT_EQ(rb.sampleTimes[d], rb.sampleTimes[d + 1]) << d;
    }
}

// A replay started to save data opens "Store..." once, shortly after its
// start, with the file settings locked.
TEST_F(EngineLinkTest, ReplayToSaveDataOpensTheStoreDialogOnce)
{
    const Recording recording(env.Root(), 2000);
    Start("QY310");
    std::vector<bool> locked;
    link->storeDialog = [&](zv::recording::SStoreDialogValues& v) {
        locked.push_back(v.locked);
        return false;
    };
    CReplayFileList list;
    list.AddTail(recording.file.string());
    list.m_loop = 0;
    list.m_saveData = 1;
    COperationControl::PostStartWithFiles(&list);
    ASSERT_TRUE(WaitFor([&] { return RunningReplay(*link) != nullptr; }));
    CEchoSounder* sounder = link->Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return !locked.empty(); }, 10000));
    const std::uint64_t pings = sounder->GetPingCount();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > pings + 3; }, 30000));
    EXPECT_EQ(locked, std::vector<bool>{true});

    pelmaris->operation.postStop(0);
    ASSERT_TRUE(WaitFor([&] { return link->Operation().GetEchoSounder() == nullptr && !link->Operation().IsBusy(); }));
    Stop();
}

TEST_F(EngineLinkTest, UnreadableRecordingStartsNoSounder)
{
    const fs::path bad = env.Root() / "garbage.raw";
    { std::ofstream(bad) << "not a recording"; }
    Start("QY310", {bad.string()});
    ASSERT_TRUE(WaitFor([&] { return link->Operation().GetReplayFileList() != nullptr && !link->Operation().IsBusy(); }));
    EXPECT_EQ(link->Operation().GetEchoSounder(), nullptr);
    Stop();
}

}  // namespace
