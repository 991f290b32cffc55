// Replay inside the running engine: the trigger thread reads pings, the
// ping-data thread processes them, and every recorded ping goes through the
// engine exactly once with its recorded time.
#include "recording/EngineStoreSounder.h"
#include "recording/Replay.h"

#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "platform/TempHives.h"
#include "recording/tests/StoreFixture.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "transceivers/tests/TestTransceiverDialogs.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <set>

using namespace zv::recording;
using namespace zv::recording::test;
using namespace std::chrono_literals;

// A replay of a recording that the generator writes from a few scene
// settings, inside temporary settings hives.
class ReplayThreadsTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\")); }
    void TearDown() override { reg.CloseRootKeys(); }

    void Record(std::initializer_list<const char*> settings, const char* name)
    {
        std::string error;
        for (const char* s : settings)
            ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << s << ": " << error;
        generator = std::make_unique<zv::recgen::CRecordingGenerator>(scene);
        const fs::path file = dir.path / name;
        ASSERT_TRUE(generator->Write(file.string(), nullptr, &error)) << error;
        list.AddTail(file.string());
        list.m_loop = 0;
    }

    CEchoSounder::Context ReplayContext()
    {
        host = CTestEchoSounderHost{};
        CEchoSounder::Context context;
        context.host = &host;
        context.workerStartDelayMs = 0;
        host.createReplay = [](const CReplayFileList* files, HKEY) -> std::unique_ptr<CTransceiver> {
            if (!files)
                return nullptr;
            auto r = std::make_unique<CReplay>(*files, nullptr);
            if (!r->IsOpen())
                return nullptr;
            return r;
        };
        return context;
    }

    CTempHives hives;
    CTestEchoSounderHost host;
    CRegistrySupport reg;
    TempFolder dir;
    zv::recgen::SRecGenScene scene;
    std::unique_ptr<zv::recgen::CRecordingGenerator> generator;
    CReplayFileList list;
};

TEST_F(ReplayThreadsTest, EveryRecordedPingRunsThroughTheEngineOnce)
{
    ASSERT_NO_FATAL_FAILURE(Record({"pings=25", "channels=38,120", "samples=500"}, "demo.raw"));

    std::mutex lock;
    std::condition_variable cv;
    std::vector<std::uint64_t> processed;
    CEchoSounder::Context context = ReplayContext();
    context.model = SounderModel::QY310;
    auto sounder = std::make_unique<CEchoSounder>();
    CEchoSounder* running = sounder.get();
    host.documentsNotify = [&, running]() {
        std::lock_guard l(lock);
        processed.push_back(running->GetChannel(0)->GetPingTime());
        cv.notify_all();
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_EQ(sounder->GetChannelCount(), 2);
    auto* replay = dynamic_cast<CReplay*>(sounder->GetTransceiver(0));
    ASSERT_NE(replay, nullptr);
    {
        std::unique_lock l(lock);
        ASSERT_TRUE(cv.wait_for(l, 30s, [&] { return processed.size() >= 25; }));
    }
    sounder.reset();  // joins both threads
    ASSERT_EQ(processed.size(), 25u);
    for (int p = 0; p < 25; ++p)
        EXPECT_EQ(processed[std::size_t(p)], zv::recgen::PingTime(scene, p)) << p;
}

TEST_F(ReplayThreadsTest, ReplayExtractThroughTheEngineKeepsTheRecordedPings)
{
    ASSERT_NO_FATAL_FAILURE(Record({"pings=10", "channels=38,200", "samples=300"}, "source.raw"));

    CFakeEvents events;
    SStoreSettings settings;
    settings.filePath = (dir.path / "extract").string();
    auto sounder = std::make_unique<CEchoSounder>();
    CEngineStoreSounder::SApplication application;
    application.programName = [] { return std::string("DEMO"); };
    application.tide = [] { return 0.25; };
    CEngineStoreSounder view(*sounder, application);
    auto store = std::make_unique<CStore>(view, events, nullptr, settings);
    store->OnCommand(app::cmd::REPLAY_EXTRACT);
    // The recorder goes before the sounder it looks at, and the ping-data
    // thread must not reach it meanwhile.
    std::mutex storeLock;
    CStore* liveStore = store.get();

    std::mutex lock;
    std::condition_variable cv;
    int processed = 0;
    CEchoSounder::Context context = ReplayContext();
    host.storeWritePing = [&] {
        std::lock_guard l(storeLock);
        if (liveStore)
            liveStore->WritePing();
    };
    host.documentsNotify = [&]() {
        std::lock_guard l(lock);
        ++processed;
        cv.notify_all();
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    {
        std::unique_lock l(lock);
        ASSERT_TRUE(cv.wait_for(l, 30s, [&] { return processed >= 10; }));
    }
    {
        std::lock_guard l(storeLock);
        liveStore = nullptr;
        store.reset();
    }
    const auto extracts = FilesWith(dir.path / "extract", ".raw");
    ASSERT_EQ(extracts.size(), 1u);
    const SReadBack rb = ReadBack(extracts[0]);
    EXPECT_EQ(rb.skipped, 0u);
    ASSERT_EQ(rb.configs.size(), 1u);
    ASSERT_EQ(rb.configs[0].channels.size(), 2u);
    EXPECT_EQ(rb.configs[0].channels[1].id, generator->ChannelId(1));
    EXPECT_FLOAT_EQ(rb.configs[0].channels[1].frequency, 200000.0f);
    ASSERT_EQ(rb.power.size(), 20u);
    std::vector<std::int16_t> power, angle;
    for (int p = 0; p < 10; ++p)
        for (int c = 0; c < 2; ++c) {
            generator->PingSamples(p, std::size_t(c), power, angle);
            EXPECT_EQ(rb.power[std::size_t(p * 2 + c)], power) << "ping " << p << " channel " << c;
            EXPECT_EQ(rb.sampleTimes[std::size_t(p * 2 + c)], zv::recgen::PingTime(scene, p));
        }
    sounder.reset();
}

// Replayed channels carry the standard bottom detector: a flat bottom that
// the recording put at a known depth is found there.
TEST_F(ReplayThreadsTest, ReplayedChannelsFindTheRecordedBottom)
{
    ASSERT_NO_FATAL_FAILURE(Record({"pings=20", "channels=38", "bottom=42", "bottom-swing=0"}, "flat.raw"));

    std::mutex lock;
    std::condition_variable cv;
    std::vector<double> depths;
    CEchoSounder::Context context = ReplayContext();
    context.model = SounderModel::QY310;
    auto sounder = std::make_unique<CEchoSounder>();
    CEchoSounder* running = sounder.get();
    host.documentsNotify = [&, running]() {
        std::lock_guard l(lock);
        depths.push_back(running->GetChannel(0)->GetBottomDepth());
        cv.notify_all();
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    {
        std::unique_lock l(lock);
        ASSERT_TRUE(cv.wait_for(l, 30s, [&] { return depths.size() >= 20; }));
    }
    sounder.reset();
    ASSERT_EQ(depths.size(), 20u);
    // The detector locks on within three pings; from then on every ping
    // shows the recorded bottom.
    for (std::size_t p = 3; p < depths.size(); ++p)
        EXPECT_NEAR(depths[p], zv::recgen::BottomDepthAt(scene, int(p)), 1.0) << "ping " << p;
}

// The recorder takes over the replayed file's name and texts on the
// user-interface thread each time the replay opens a file (command 32851),
// while the trigger thread may already be opening the next one.
TEST_F(ReplayThreadsTest, RecordedNamesCanBeReadWhileTheReplayChangesFiles)
{
    ASSERT_NO_FATAL_FAILURE(Record({"pings=3", "channels=38", "samples=100"}, "a.raw"));
    ASSERT_NO_FATAL_FAILURE(Record({}, "b.raw"));
    list.m_loop = 1;
    const std::set<std::string> names = {(dir.path / "a.raw").string(), (dir.path / "b.raw").string()};

    std::atomic<int> pings{0};
    CEchoSounder::Context context = ReplayContext();
    host.documentsNotify = [&]() { ++pings; };
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    CTransceiver* replay = sounder->GetTransceiver(0);
    ASSERT_NE(replay, nullptr);
    // Several rounds over both files, reading all the while.
    std::set<std::string> seen;
    while (pings.load() < 20) {
        const std::string file = replay->GetRecordedText1();
        EXPECT_EQ(names.count(file), 1u) << file;
        seen.insert(file);
        const std::string text = replay->GetRecordedText2();
        EXPECT_TRUE(text == "a.raw" || text == "b.raw") << text;
        EXPECT_EQ(replay->GetRecordedText3(), "L0001");
    }
    sounder.reset();
    EXPECT_EQ(seen, names);
}

namespace {

// Heave of a ping corrected for the lever arm between the motion sensor
// (0, 0, 1 in generated files) and a transducer at x, y, z.
double CorrectedHeave(const double motion[6], double x, double y, double z)
{
    auto lever = [&](double r, double p) {
        r *= 0.0174532925199;
        p *= 0.0174532925199;
        return y * std::sin(r) * std::cos(p) - x * std::sin(p) - (z - 1.0) * (1.0 - std::cos(r) * std::cos(p));
    };
    return (lever(motion[1], motion[2]) + lever(motion[3], motion[4])) * 0.5 + motion[0];
}

// The "Reprocess Heave" dialog as the program would show it; it runs on the
// test thread, which stands in for the user-interface thread.
struct SInstallHost : IReplayHost
{
    bool RunInstallationDialog(SReplayInstallation& block, int& applyHeave, int& reprocess, int& applyAll,
                               const std::function<bool()>& ended) override
    {
        threads.push_back(::GetCurrentThreadId());
        if (duringLaterFile && threads.size() > 1)
            return duringLaterFile(ended);
        block.channels[0].x = threads.size() == 1 ? 2.0 : 6.0;
        applyHeave = 1;
        reprocess = 1;
        applyAll = 0;  // ask again for every file
        return true;
    }
    std::vector<DWORD> threads;
    std::function<bool(const std::function<bool()>&)> duringLaterFile;
};

}  // namespace

// With "apply to all files" off, each later file asks for the dialog from
// the trigger thread; it runs on the thread that made the replay, and the
// offsets chosen there reach the next pings' corrected heave.
TEST_F(ReplayThreadsTest, ALaterFilesInstallationDialogRunsOnTheUserInterfaceThread)
{
    ASSERT_NO_FATAL_FAILURE(
        Record({"pings=4", "channels=38", "samples=100", "heave=0.8", "roll=4", "pitch=2"}, "a.raw"));
    const std::uint64_t laterStart = zv::recgen::PingTime(scene, 0) + 36000000000ULL;  // an hour on
    const std::string later = "start-unix=" + std::to_string(laterStart / 10000000ULL - 11644473600ULL);
    ASSERT_NO_FATAL_FAILURE(Record({later.c_str()}, "b.raw"));
    list.m_changeInstallation = 1;

    SInstallHost install;
    struct SPing
    {
        std::uint64_t time;
        double x, motion[6];
    };
    std::mutex lock;
    std::vector<SPing> pings;
    CEchoSounder::Context context = ReplayContext();
    host.createReplay = [&](const CReplayFileList* files, HKEY) -> std::unique_ptr<CTransceiver> {
        return std::make_unique<CReplay>(*files, &install);
    };
    auto sounder = std::make_unique<CEchoSounder>();
    CEchoSounder* running = sounder.get();
    host.documentsNotify = [&, running] {
        CChannel::ParameterCopy copy;
        running->GetChannel(0)->GetChannelParameters(copy);
        SPing p{running->GetChannel(0)->GetPingTime(), copy.Parameters.TransducerX, {}};
        std::copy(std::begin(copy.Motion), std::end(copy.Motion), p.motion);
        std::lock_guard l(lock);
        pings.push_back(p);
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_TRUE(PumpUntil(
        [&] {
            std::lock_guard l(lock);
            return pings.size() >= 8;
        },
        30s));
    sounder.reset();

    ASSERT_EQ(install.threads.size(), 2u) << "at the start and for the later file";
    EXPECT_EQ(install.threads[1], ::GetCurrentThreadId());
    for (const SPing& p : pings) {
        EXPECT_EQ(p.x, p.time >= laterStart ? 6.0 : 2.0) << p.time;
        EXPECT_NE(p.motion[1], 0.0);
        EXPECT_NEAR(p.motion[5], CorrectedHeave(p.motion, p.x, 0.0, scene.channels[0].z), 1e-9) << p.time;
    }
}

// Stopping the sounder while a later file's dialog is up (an operation
// command run in the dialog's own message loop) ends the trigger thread's
// wait; the dialog is told and closes, and nothing waits for anything.
TEST_F(ReplayThreadsTest, StoppingTheSounderUnderALaterFilesDialogEndsTheWait)
{
    ASSERT_NO_FATAL_FAILURE(Record({"pings=2", "channels=38", "samples=100"}, "a.raw"));
    ASSERT_NO_FATAL_FAILURE(Record({}, "b.raw"));
    list.m_changeInstallation = 1;

    SInstallHost install;
    std::unique_ptr<CEchoSounder> sounder;
    bool toldToClose = false;
    install.duringLaterFile = [&](const std::function<bool()>& ended) {
        EXPECT_FALSE(ended());
        sounder.reset();  // joins the trigger thread, which waits for this dialog
        toldToClose = PumpUntil(ended, 10s);
        return true;
    };
    CEchoSounder::Context context = ReplayContext();
    host.createReplay = [&](const CReplayFileList* files, HKEY) -> std::unique_ptr<CTransceiver> {
        return std::make_unique<CReplay>(*files, &install);
    };
    sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_TRUE(PumpUntil([&] { return sounder == nullptr; }, 30s));
    EXPECT_TRUE(toldToClose);
    EXPECT_EQ(install.threads.size(), 2u);
}

// A replayed channel's settings dialog reads the record and keeps its remark
// on the user-interface thread while the trigger thread writes the record
// with every ping and the ping-data thread copies it (ThreadSanitizer sees
// to the locks).
TEST_F(ReplayThreadsTest, ChannelDialogRunsWhilePingsChangeTheRecord)
{
    ASSERT_NO_FATAL_FAILURE(Record({"pings=5", "channels=38,120", "samples=200"}, "a.raw"));
    list.m_loop = 1;
    struct SDialogHost : IReplayHost
    {
        ITransceiverDialogs* TransceiverDialogs() override { return &dialogs; }
        CTestTransceiverDialogs dialogs;
    } dialogHost;
    std::atomic<int> pings{0};
    CEchoSounder::Context context = ReplayContext();
    host.createReplay = [&](const CReplayFileList* files, HKEY) -> std::unique_ptr<CTransceiver> {
        return std::make_unique<CReplay>(*files, &dialogHost);
    };
    host.documentsNotify = [&] { ++pings; };
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    CTransceiver* replay = sounder->GetTransceiver(0);
    CChannel* channel = sounder->GetChannel(1);
    ASSERT_TRUE(replay && channel);
    ASSERT_TRUE(PumpUntil([&] { return pings.load() > 0; }, 30s));
    int runs = 0;
    dialogHost.dialogs.channel = [&](TransceiverDialogValues& v) {
        EXPECT_FLOAT_EQ(float(v.power), float(scene.channels[1].power));
        v.remark = "remark " + std::to_string(++runs);
        return 1;
    };
    while (pings.load() < 20)
        ASSERT_EQ(replay->RunChannelDialog(channel), 1);
    EXPECT_EQ(replay->FindRecord(channel)->remark, "remark " + std::to_string(runs));
    sounder.reset();
}
