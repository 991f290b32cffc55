// The recorder inside the running engine: made by the sounder when it has
// its channels, fed by the ping-data thread, switched by commands from the
// test's thread (standing in for the user-interface thread) while pings go
// on, and dropped after the workers have ended.
#include "recording/EngineStore.h"
#include "recording/Replay.h"

#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "platform/TempHives.h"
#include "recording/tests/StoreFixture.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "testsupport/Wait.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <utility>

using namespace zv::recording;
using namespace zv::recording::test;
using namespace std::chrono_literals;

namespace {

// One processed ping as the documents saw it: its time and each channel's
// power samples.
struct SSeenPing
{
    std::uint64_t time = 0;
    std::vector<std::vector<std::int16_t>> power;
};

class EngineRecorderThreadsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        key = reg.OpenKey(CRegistrySupport::UserRootKey(), "OperationNormal", TRUE);
        ASSERT_NE(key, nullptr);
        ASSERT_TRUE(reg.SetString(key, "Store", "FilePath", (dir.path / "rec").string()));
    }
    void TearDown() override
    {
        reg.CloseKey(key);
        reg.CloseRootKeys();
    }

    // The program's part: the sounder asks for its recorder, which the test
    // may switch on before the first ping.
    void AddRecorder(CEchoSounder::Context& context, std::function<void(CEngineStore&)> onMade = {})
    {
        host.createRecorder = [this, onMade](CEchoSounder& sounder, HKEY k,
                                             const std::string& sequenceFile) -> std::unique_ptr<IPingRecorder> {
            CEngineStoreSounder::SApplication application;
            application.programName = [] { return std::string("TEST"); };
            application.tide = [] { return 0.0; };
            auto r = std::make_unique<CEngineStore>(sounder, application, events, nullptr, k, sequenceFile,
                                                    SounderModel::QY310);
            if (onMade)
                onMade(*r);
            return r;
        };
    }

    // Every processed ping goes into seen.
    void WatchPings(CEchoSounder::Context& context, const CEchoSounder*& sounder)
    {
        host.documentsNotify = [this, &sounder]() {
            SSeenPing p;
            for (int c = 0; c < sounder->GetChannelCount(); ++c) {
                CChannel::ParameterCopy copy;
                sounder->GetChannel(c)->GetChannelParameters(copy);
                p.power.push_back(copy.Power);
                if (c == 0)
                    p.time = sounder->GetChannel(0)->GetPingTime();
            }
            std::lock_guard l(lock);
            seen.push_back(std::move(p));
        };
    }

    bool WaitForPings(std::size_t n)
    {
        return zv::test::WaitUntil([&] { return SeenCount() >= n; }, 30s);
    }
    std::size_t SeenCount()
    {
        std::lock_guard l(lock);
        return seen.size();
    }

    // A live unit of the test suite with the given channels, installed as
    // the only transceiver.
    CEchoSounder::Context LiveContext(int channels)
    {
        installation = std::make_unique<CTransceiverInstallation>();
        installation->Initialize();
        unit.name = "A";
        unit.channels = channels;
        unit.seed = 5;
        HKEY channelsKey = installation->OpenChannelsKey();
        for (int ch = 1; ch <= unit.channels; ++ch) {
            CTrList e;
            e.transceiverId = unit.name;
            e.channelNo = ch;
            e.type = TransceiverType::HXU;
            const std::string description = "A " + std::to_string(ch);
            e.FormatDescription(&description, TransceiverType::HXU);
            installation->WriteChannelEntry(e, channelsKey);
        }
        reg.CloseKey(channelsKey);
        host = CTestEchoSounderHost{};
        CEchoSounder::Context context;
        context.host = &host;
        context.installation = installation.get();
        context.model = SounderModel::QY310;
        context.workerStartDelayMs = 0;
        host.createTransceiver = [this](TransceiverType, int, const InstalledTransceiverInfo&, HKEY) {
            return std::unique_ptr<CTransceiver>(std::make_unique<CTestTransceiver>(unit));
        };
        return context;
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

    // Replays one file to its end; the pings as the channels got them.
    std::vector<SSeenPing> ReplayToEnd(const fs::path& file, std::size_t pings)
    {
        CReplayFileList list;
        list.AddTail(file.string());
        list.m_loop = 0;
        CEchoSounder::Context context = ReplayContext();
        auto sounder = std::make_unique<CEchoSounder>();
        const CEchoSounder* running = sounder.get();
        WatchPings(context, running);
        EXPECT_TRUE(sounder->Create(context, key, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                    CEchoSounder::kTriggerInternal, 0, "", 0));
        EXPECT_TRUE(WaitForPings(pings));
        sounder.reset();
        std::lock_guard l(lock);
        return std::exchange(seen, {});
    }

    CTempHives hives;
    CTestEchoSounderHost host;
    CRegistrySupport reg;
    HKEY key = nullptr;
    TempFolder dir;
    CFakeEvents events;
    std::unique_ptr<CTransceiverInstallation> installation;
    CTestTransceiver::Options unit;
    std::mutex lock;
    std::vector<SSeenPing> seen;
};

TEST_F(EngineRecorderThreadsTest, RecordingDuringReplayWritesARawFileThatReplaysToTheSamePings)
{
    constexpr int kPings = 12;
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const char* s : {"pings=12", "channels=38,120", "samples=300"})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const zv::recgen::CRecordingGenerator generator(scene);
    const fs::path source = dir.path / "source.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(source.string(), nullptr, &error)) << error;

    // The replay-extract switch goes on before the first ping, through the
    // recorder's command as the replay bar sends it.
    CReplayFileList list;
    list.AddTail(source.string());
    list.m_loop = 0;
    CEchoSounder::Context context = ReplayContext();
    AddRecorder(context, [](CEngineStore& r) { EXPECT_TRUE(r.OnCommand(app::cmd::REPLAY_EXTRACT)); });
    auto sounder = std::make_unique<CEchoSounder>();
    const CEchoSounder* running = sounder.get();
    WatchPings(context, running);
    ASSERT_TRUE(sounder->Create(context, key, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_NE(sounder->GetRecorder(), nullptr);
    EXPECT_TRUE(sounder->GetRecorder()->IsRecordingPing());
    ASSERT_TRUE(WaitForPings(kPings));
    sounder.reset();  // joins the workers, then the recorder closes its file
    {
        std::lock_guard l(lock);
        ASSERT_EQ(seen.size(), std::size_t(kPings));
        seen.clear();
    }

    const auto files = FilesWith(dir.path / "rec", ".raw");
    ASSERT_EQ(files.size(), 1u);
    const SReadBack rb = ReadBack(files[0]);
    EXPECT_EQ(rb.skipped, 0u);
    ASSERT_EQ(rb.configs.size(), 1u);
    EXPECT_EQ(rb.types.front(), kTypeCON0);
    ASSERT_EQ(rb.configs[0].channels.size(), 2u);
    EXPECT_EQ(rb.configs[0].channels[0].id, generator.ChannelId(0));

    // The recording replays to the generator's pings, sample for sample.
    const std::vector<SSeenPing> again = ReplayToEnd(files[0], kPings);
    ASSERT_EQ(again.size(), std::size_t(kPings));
    std::vector<std::int16_t> power, angle;
    for (int p = 0; p < kPings; ++p) {
        EXPECT_EQ(again[std::size_t(p)].time, zv::recgen::PingTime(scene, p)) << "ping " << p;
        ASSERT_EQ(again[std::size_t(p)].power.size(), 2u);
        for (std::size_t c = 0; c < 2; ++c) {
            generator.PingSamples(p, c, power, angle);
            EXPECT_EQ(again[std::size_t(p)].power[c], power) << "ping " << p << " channel " << c;
        }
    }
}

// A live unit pings at the maximum rate while logging goes on and off four
// times. Every file holds whole datagrams, whole pings and an unbroken run
// of the pings the channels processed; nothing is opened once logging is
// off, and each stop steps the line number.
TEST_F(EngineRecorderThreadsTest, LoggingSwitchedWhilePingingLosesNoPingAndTearsNoDatagram)
{
    ASSERT_TRUE(reg.SetDword(key, "Store", "SaveRawData", 1));
    CEchoSounder::Context context = LiveContext(2);
    AddRecorder(context);
    auto sounder = std::make_unique<CEchoSounder>();
    const CEchoSounder* running = sounder.get();
    WatchPings(context, running);
    ASSERT_TRUE(sounder->Create(context, key, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    IPingRecorder* recorder = sounder->GetRecorder();
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(recorder->GetMode(), 0);

    constexpr int kSwitches = 4;
    for (int i = 0; i < kSwitches; ++i) {
        ASSERT_TRUE(recorder->OnCommand(app::cmd::RECORD_TOGGLE));
        EXPECT_NE(recorder->GetMode(), 0);
        ASSERT_TRUE(WaitForPings(SeenCount() + 3));
        ASSERT_TRUE(recorder->OnCommand(app::cmd::RECORD_TOGGLE));
        EXPECT_EQ(recorder->GetMode(), 0);
        ASSERT_TRUE(WaitForPings(SeenCount() + 3));
    }
    ASSERT_TRUE(WaitForPings(SeenCount() + 3));
    // Logging is off: a file opened by a ping that began before the switch
    // would still be open, with a START and no STOP.
    const auto files = FilesWith(dir.path / "rec", ".raw");
    {
        std::lock_guard l(lock);
        const auto starts = std::count_if(events.logLines.begin(), events.logLines.end(),
                                          [](const std::string& s) { return s.rfind("START, ", 0) == 0; });
        const auto stops = std::count_if(events.logLines.begin(), events.logLines.end(),
                                         [](const std::string& s) { return s.rfind("STOP, ", 0) == 0; });
        EXPECT_EQ(starts, kSwitches);
        EXPECT_EQ(stops, kSwitches);
    }
    sounder.reset();

    ASSERT_EQ(files.size(), std::size_t(kSwitches));
    std::size_t nextFree = 0;  // files hold disjoint runs, in order
    for (std::size_t f = 0; f < files.size(); ++f) {
        SCOPED_TRACE(files[f].filename().string());
        EXPECT_EQ(files[f].filename().string().substr(0, 6), "L000" + std::to_string(f) + "-");
        const SReadBack rb = ReadBack(files[f]);
        EXPECT_EQ(rb.skipped, 0u);
        ASSERT_EQ(rb.configs.size(), 1u);
        ASSERT_GE(rb.power.size(), 2u);
        ASSERT_EQ(rb.power.size() % 2, 0u);
        const auto first = std::find_if(seen.begin() + std::ptrdiff_t(nextFree), seen.end(),
                                        [&](const SSeenPing& p) { return p.time == rb.sampleTimes[0]; });
        ASSERT_NE(first, seen.end());
        std::size_t at = std::size_t(first - seen.begin());
        for (std::size_t d = 0; d < rb.power.size(); d += 2, ++at) {
            ASSERT_LT(at, seen.size());
            for (std::size_t c = 0; c < 2; ++c) {
                EXPECT_EQ(rb.channels[d + c], c + 1) << "datagram " << d + c;
                EXPECT_EQ(rb.sampleTimes[d + c], seen[at].time) << "datagram " << d + c;
                EXPECT_EQ(rb.power[d + c], seen[at].power[c]) << "datagram " << d + c;
            }
        }
        nextFree = at;
    }
    // The recording state went to the line counter at each switch: on with
    // the line in use, off with the next line.
    ASSERT_EQ(events.states.size(), std::size_t(1 + 2 * kSwitches));
    EXPECT_EQ(events.states[0], std::make_pair(false, 0));
    for (int i = 0; i < kSwitches; ++i) {
        EXPECT_EQ(events.states[std::size_t(1 + 2 * i)], std::make_pair(true, i));
        EXPECT_EQ(events.states[std::size_t(2 + 2 * i)], std::make_pair(false, i + 1));
    }
}

// A sequence runs with its own file: the recorder made with the sequence
// file name records into that file from the first ping, without the logging
// switch, and its maximum size comes from the "User" key.
TEST_F(EngineRecorderThreadsTest, SequenceRecordsIntoItsFileUntilItIsFull)
{
    ASSERT_TRUE(reg.SetDword(key, "Store\\User", "MaxFileSize", 20000));
    CEchoSounder::Context context = LiveContext(1);
    AddRecorder(context);
    const fs::path file = dir.path / "seq" / "Sequence01.raw";
    fs::create_directories(file.parent_path());
    auto sounder = std::make_unique<CEchoSounder>();
    const CEchoSounder* running = sounder.get();
    WatchPings(context, running);
    ASSERT_TRUE(sounder->Create(context, key, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, file.string(), 0));
    ASSERT_NE(sounder->GetRecorder(), nullptr);
    EXPECT_NE(sounder->GetRecorder()->GetMode(), 0);
    // One to two kB a ping: the file is full within 20 pings.
    ASSERT_TRUE(WaitForPings(40));
    EXPECT_EQ(sounder->GetRecorder()->GetMode(), 0);
    sounder.reset();

    EXPECT_TRUE(FilesWith(dir.path / "rec", ".raw").empty());
    const SReadBack rb = ReadBack(file);
    EXPECT_EQ(rb.skipped, 0u);
    ASSERT_EQ(rb.configs.size(), 1u);
    EXPECT_EQ(rb.configs[0].fileName, "Sequence01.raw");
    EXPECT_GE(fs::file_size(file), 20000u);
    // Full at the first ping that finds it at the size or beyond.
    EXPECT_LT(fs::file_size(file), 20000u + kFrameWords + kRawData + 4 * 500);
    std::lock_guard l(lock);
    ASSERT_GE(rb.power.size(), 2u);
    for (std::size_t d = 0; d < rb.power.size(); ++d) {
        EXPECT_EQ(rb.sampleTimes[d], seen[d].time) << d;
        EXPECT_EQ(rb.power[d], seen[d].power[0]) << d;
    }
    EXPECT_EQ(std::count(events.alarms.begin(), events.alarms.end(), kTextFileRecordFull), 1);
}

}  // namespace
