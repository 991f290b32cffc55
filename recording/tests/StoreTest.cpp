// The recorder against a fake sounder: what it writes reads back the same,
// files roll over and never replace each other, the logging toggle keeps its
// line numbers, and failures leave readable files and a report.
#include "recording/tests/StoreFixture.h"

#include "base/EchosounderError.h"
#include "base/RegistrySupport.h"
#include "platform/ByteReader.h"
#include "platform/TempHives.h"
#include "testsupport/Wait.h"

#include <chrono>
#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace zv::recording;
using namespace zv::recording::test;

namespace {

// 2026-03-04 05:06:07 UTC.
constexpr std::uint64_t kNow = (11644473600ULL + 1772600767ULL) * 10000000ULL;

struct StoreTest : ::testing::Test
{
    StoreTest() : clock(kNow) { CFileTime::SetClock(&clock); }
    ~StoreTest() override { CFileTime::SetClock(nullptr); }

    SStoreSettings Settings()
    {
        SStoreSettings s;
        s.filePath = (dir.path / "data").string();
        s.saveRawData = 1;
        return s;
    }
    void Ping(CStore& store, int ping)
    {
        sounder.SetPing(ping, kNow + std::uint64_t(ping) * 10000000ULL);
        store.WritePing();
    }

    TempFolder dir;
    CManualClock clock;
    CFakeSounder sounder{2};
    CFakeEvents events;
    CFakeSink sink;
};

}  // namespace

TEST_F(StoreTest, RecordingReadsBackTheSame)
{
    SStoreSettings s = Settings();
    s.saveOutData = 1;
    s.out[1] = 1;
    s.lineNumber = 7;
    {
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        ASSERT_TRUE(store.IsLogging());
        for (int ping = 0; ping < 3; ++ping) {
            Ping(store, ping);
            store.WriteNmeaToFiles("$GPGGA,ping" + std::to_string(ping), kNow + 5);
        }
        store.WriteAnnotationDatagram("mark one", kNow + 6);
        store.WriteSvpToFiles("2,0.00,1500.00,10.00,1490.50", kNow + 7, 3);
        store.OnToggleLogging();
        EXPECT_FALSE(store.IsLogging());
        EXPECT_EQ(store.Settings().lineNumber, 8u);
    }

    const auto raws = FilesWith(dir.path / "data", ".raw");
    ASSERT_EQ(raws.size(), 1u);
    EXPECT_EQ(raws[0].filename(), "L0007-D20260304-T050607-FAKE.raw");
    const SReadBack raw = ReadBack(raws[0]);
    EXPECT_EQ(raw.skipped, 0u);
    ASSERT_FALSE(raw.types.empty());
    EXPECT_EQ(raw.types[0], kTypeCON0);
    ASSERT_EQ(raw.configs.size(), 1u);
    EXPECT_EQ(raw.configs[0].fileName, raws[0].filename());
    EXPECT_EQ(raw.configs[0].lineText, "L0007");
    EXPECT_EQ(raw.configs[0].programName, "FAKE");
    EXPECT_FLOAT_EQ(raw.configs[0].motionZ, 1.5f);
    ASSERT_EQ(raw.configs[0].channels.size(), 2u);
    EXPECT_EQ(raw.configs[0].channels[1].id, "Fake 88 kHz");
    ASSERT_EQ(raw.power.size(), 6u);
    for (int ping = 0; ping < 3; ++ping)
        for (int ch = 0; ch < 2; ++ch) {
            const auto& p = raw.power[std::size_t(ping * 2 + ch)];
            EXPECT_EQ(raw.channels[std::size_t(ping * 2 + ch)], ch + 1);
            ASSERT_EQ(p.size(), 100u);
            EXPECT_EQ(p[0], CFakeSounder::Expected(ping, ch, 0));
            EXPECT_EQ(p[99], CFakeSounder::Expected(ping, ch, 99));
        }
    EXPECT_EQ(raw.sentences, (std::vector<std::string>{"$GPGGA,ping0", "$GPGGA,ping1", "$GPGGA,ping2"}));
    EXPECT_EQ(raw.annotations, std::vector<std::string>{"mark one"});
    EXPECT_EQ(raw.profiles, std::vector<std::string>{"3:2,0.00,1500.00,10.00,1490.50"});

    // The out file: its own configuration of the switched-on channel, a depth
    // datagram per ping, and the sentences, annotation and profile.
    const auto outs = FilesWith(dir.path / "data", ".out");
    ASSERT_EQ(outs.size(), 1u);
    EXPECT_EQ(outs[0].filename(), "L0007-D20260304-T050607-FAKE-88.out");
    const SReadBack out = ReadBack(outs[0]);
    EXPECT_EQ(out.types[0], kTypeCON0);
    ASSERT_EQ(out.configs[0].channels.size(), 1u);
    EXPECT_FLOAT_EQ(out.configs[0].channels[0].frequency, 88000.0f);
    ASSERT_EQ(out.depths.size(), 3u);
    ASSERT_EQ(out.depths[2].size(), 1u);
    EXPECT_FLOAT_EQ(out.depths[2][0].depth, 22.0f);
    EXPECT_TRUE(out.power.empty());
    EXPECT_EQ(out.sentences.size(), 3u);
    EXPECT_EQ(out.annotations.size(), 1u);

    EXPECT_EQ(events.status, (std::vector<std::string>{"<logging started>", "<logging stopped>"}));
    ASSERT_EQ(events.logLines.size(), 2u);
    EXPECT_EQ(events.logLines[0], "START, 050607," + raws[0].string());
    EXPECT_EQ(events.logLines[1], "STOP, 050607," + raws[0].string());
    ASSERT_GE(events.states.size(), 3u);
    EXPECT_EQ(events.states[1], std::make_pair(true, 7));
    EXPECT_EQ(events.states[2], std::make_pair(false, 8));
}

TEST_F(StoreTest, LoggingToggleStepsTheLineNumber)
{
    struct Row
    {
        std::uint32_t line, increase, after;
    };
    for (const Row& r : {Row{9999, 1, 0}, Row{0, 0, 9999}, Row{41, 1, 42}, Row{41, 0, 40}}) {
        SStoreSettings s = Settings();
        s.lineNumber = r.line;
        s.lineIncrease = r.increase;
        CStore store(sounder, events, nullptr, s);
        store.OnToggleLogging();
        EXPECT_EQ(store.Settings().lineNumber, r.line);
        store.OnToggleLogging();
        EXPECT_EQ(store.Settings().lineNumber, r.after) << r.line << " increase " << r.increase;
    }

    // Without any recording kind, and while replaying, the toggle does nothing.
    SStoreSettings none = Settings();
    none.saveRawData = 0;
    CStore idle(sounder, events, nullptr, none);
    idle.OnCommand(app::cmd::RECORD_TOGGLE);
    EXPECT_FALSE(idle.IsLogging());
    sounder.replaying = true;
    CStore replaying(sounder, events, nullptr, Settings());
    replaying.OnCommand(app::cmd::RECORD_TOGGLE);
    EXPECT_FALSE(replaying.IsLogging());
}

TEST_F(StoreTest, DeletionWhileLoggingClosesAndStepsTheLine)
{
    SStoreSettings s = Settings();
    s.lineNumber = 3;
    std::unique_ptr<CStore> store = std::make_unique<CStore>(sounder, events, nullptr, s);
    store->OnToggleLogging();
    Ping(*store, 0);
    store.reset();
    ASSERT_EQ(events.logLines.size(), 2u);  // one START, one STOP
    EXPECT_EQ(events.logLines[1].substr(0, 5), "STOP,");
    EXPECT_EQ(events.states.back(), std::make_pair(false, 4));
}

TEST_F(StoreTest, RollOverStartsUniqueFilesWithConfiguration)
{
    SStoreSettings s = Settings();
    s.maxFileSize = 1000;  // two channels of 100 samples pass it every ping
    CStore store(sounder, events, nullptr, s);
    store.OnToggleLogging();
    for (int ping = 0; ping < 5; ++ping) {
        Ping(store, ping);
        store.WriteNmeaToFiles("$S" + std::to_string(ping), kNow);
    }
    store.OnToggleLogging();

    // The clock stands still, so every file would get the same name.
    const auto raws = FilesWith(dir.path / "data", ".raw");
    ASSERT_EQ(raws.size(), 5u);
    int pings = 0;
    for (const auto& f : raws) {
        const SReadBack rb = ReadBack(f);
        EXPECT_EQ(rb.skipped, 0u);
        ASSERT_FALSE(rb.types.empty());
        EXPECT_EQ(rb.types[0], kTypeCON0) << f;
        EXPECT_EQ(rb.configs.size(), 1u);
        EXPECT_EQ(rb.configs[0].fileName, f.filename());
        // A ping's datagrams never straddle two files.
        ASSERT_EQ(rb.power.size(), 2u) << f;
        EXPECT_EQ(rb.power[0][0], CFakeSounder::Expected(pings, 0, 0));
        EXPECT_EQ(rb.sentences, std::vector<std::string>{"$S" + std::to_string(pings)});
        ++pings;
    }
    EXPECT_EQ(raws[1].filename(), "L0000-D20260304-T050607-FAKE_2.raw");
    EXPECT_EQ(std::count(events.status.begin(), events.status.end(), "File Max. Size"), 4);
    EXPECT_TRUE(events.notices.empty());
}

TEST_F(StoreTest, FixedNameStopsWhenFull)
{
    SStoreSettings s = Settings();
    s.maxFileSize = 1000;
    const std::string fixed = (dir.path / "sequence.raw").string();
    {
        CStore store(sounder, events, nullptr, s, fixed);
        EXPECT_EQ(store.GetMode(), 1);
        for (int ping = 0; ping < 3; ++ping)
            Ping(store, ping);
        EXPECT_EQ(store.GetMode(), 0);
    }
    const SReadBack rb = ReadBack(dir.path / "sequence.raw");
    EXPECT_EQ(rb.configs.size(), 1u);
    EXPECT_EQ(rb.configs[0].lineText, "");
    EXPECT_EQ(rb.power.size(), 2u);  // the first ping only
    EXPECT_EQ(events.alarms, std::vector<std::string>{"File record is full"});
    ASSERT_EQ(events.logLines.size(), 2u);
    EXPECT_EQ(events.logLines[1].substr(0, 5), "STOP,");
    EXPECT_EQ(FilesWith(dir.path, ".raw").size(), 1u);
}

TEST_F(StoreTest, UnwritableFolderFallsBackToData2)
{
    SStoreSettings s = Settings();
    // A plain file where the folder should be: the folder can never be made.
    std::ofstream(dir.path / "blocked") << "x";
    s.filePath = (dir.path / "blocked" / "data").string();
    CStore store(sounder, events, nullptr, s);
    store.OnToggleLogging();
    Ping(store, 0);
    const auto raws = FilesWith(dir.path / "root" / "Data2", ".raw");
    ASSERT_EQ(raws.size(), 1u);
    EXPECT_EQ(ReadBack(raws[0]).power.size(), 2u);
    ASSERT_EQ(events.notices.size(), 1u);
    EXPECT_EQ(events.notices[0].rfind("File write error.\nThe path is set to default storage : \n", 0), 0u);
    EXPECT_NE(events.notices[0].find(raws[0].string()), std::string::npos);
}

TEST_F(StoreTest, UdpCopyLeadsWithConfigurationAndCountsOversizeBodies)
{
    CStore store(sounder, events, &sink, Settings());
    store.OnToggleLogging();
    Ping(store, 0);
    store.WriteNmeaToFiles("$GPZDA", kNow);
    ASSERT_EQ(sink.bodies.size(), 1u + 2 + 1);
    EXPECT_EQ(CByteReader(sink.bodies[0]).U32(0), kTypeCON0);
    EXPECT_EQ(CByteReader(sink.bodies[0]).Text(kConText1, 128), "DUMMY");
    EXPECT_EQ(CByteReader(sink.bodies[0]).Text(kConText2, 128), "DUMMY");
    EXPECT_EQ(CByteReader(sink.bodies[1]).U32(0), kTypeRAW0);
    EXPECT_EQ(CByteReader(sink.bodies[3]).U32(0), kTypeNME0);

    // A body of more than 65507 bytes cannot go in one datagram.
    CFakeSounder big(1, 20000);  // 84 + 80,000 bytes with angles
    CFakeSink bigSink;
    CStore bigStore(big, events, &bigSink, Settings());
    big.SetPing(0, kNow);
    bigStore.WritePing();
    bigStore.WritePing();
    EXPECT_EQ(bigStore.UdpOversizeCount(), 2u);
    ASSERT_EQ(bigSink.bodies.size(), 1u);  // only the configuration went
    EXPECT_EQ(std::count_if(events.status.begin(), events.status.end(),
                            [](const std::string& t) { return t.find("larger than one UDP") != std::string::npos; }),
              1);
}

TEST_F(StoreTest, ReplayWritesOnlyTheExtractAndOutWithSaveData)
{
    sounder.replaying = true;
    SStoreSettings s = Settings();
    s.saveOutData = 1;
    s.out[0] = 1;
    CStore store(sounder, events, nullptr, s);
    Ping(store, 0);
    EXPECT_TRUE(FilesWith(dir.path / "data", ".raw").empty());
    EXPECT_TRUE(FilesWith(dir.path / "data", ".out").empty());

    store.OnCommand(app::cmd::REPLAY_EXTRACT);
    sounder.saveDataOption = 1;
    Ping(store, 1);
    Ping(store, 2);
    store.OnCommand(app::cmd::REPLAY_EXTRACT);  // closes the extract
    Ping(store, 3);
    const auto raws = FilesWith(dir.path / "data", ".raw");
    ASSERT_EQ(raws.size(), 1u);
    const SReadBack ex = ReadBack(raws[0]);
    EXPECT_EQ(ex.types[0], kTypeCON0);
    EXPECT_EQ(ex.power.size(), 4u);
    const auto outs = FilesWith(dir.path / "data", ".out");
    ASSERT_EQ(outs.size(), 1u);
    EXPECT_EQ(ReadBack(outs[0]).depths.size(), 3u);

    // 33792 closes the out file: the next ping opens a new one.
    store.OnCommand(app::cmd::CLOSE_REPLAY_FILES);
    Ping(store, 4);
    EXPECT_EQ(FilesWith(dir.path / "data", ".out").size(), 2u);
}

// A replayed file starts with its profile and texts before its first ping,
// which opens the extract and the out file: what came before follows each
// file's configuration, in order, instead of being lost.
TEST_F(StoreTest, WhatComesBeforeTheFirstPingOfAReplayFollowsTheConfiguration)
{
    sounder.replaying = true;
    sounder.saveDataOption = 1;
    SStoreSettings s = Settings();
    s.saveOutData = 1;
    s.out[0] = 1;
    CStore store(sounder, events, nullptr, s);
    store.OnCommand(app::cmd::REPLAY_EXTRACT);
    store.WriteSvpToFiles("0 1495\r\n100 1485\r\n", kNow, 0);
    for (int k = 1; k <= 4; ++k)
        store.WriteAnnotationDatagram("Note " + std::to_string(k), kNow);
    store.WriteNmeaToFiles("$GPZDA,050607.00,04,03,2026,,*4F", kNow);
    Ping(store, 0);
    store.WriteAnnotationDatagram("Note 5", kNow);

    const auto raws = FilesWith(dir.path / "data", ".raw");
    const auto outs = FilesWith(dir.path / "data", ".out");
    ASSERT_EQ(raws.size(), 1u);
    ASSERT_EQ(outs.size(), 1u);
    const std::vector<std::uint32_t> leading = {kTypeCON0, kTypeSVP0, kTypeTAG0, kTypeTAG0,
                                                kTypeTAG0, kTypeTAG0, kTypeNME0};
    const std::vector<std::string> notes = {"Note 1", "Note 2", "Note 3", "Note 4", "Note 5"};
    for (const fs::path& file : {raws[0], outs[0]}) {
        SCOPED_TRACE(file.string());
        const SReadBack back = ReadBack(file);
        ASSERT_GT(back.types.size(), leading.size());
        EXPECT_EQ(std::vector<std::uint32_t>(back.types.begin(), back.types.begin() + leading.size()), leading);
        EXPECT_EQ(back.types.back(), kTypeTAG0);
        EXPECT_EQ(back.profiles, std::vector<std::string>{"0:0 1495\r\n100 1485\r\n"});
        EXPECT_EQ(back.annotations, notes);
        EXPECT_EQ(back.sentences.size(), 1u);
    }

    // With the extract switched off nothing is held for it any more.
    store.OnCommand(app::cmd::REPLAY_EXTRACT);
    store.WriteAnnotationDatagram("Note 6", kNow);
    store.OnCommand(app::cmd::REPLAY_EXTRACT);
    Ping(store, 1);
    const auto extracts = FilesWith(dir.path / "data", ".raw");
    ASSERT_EQ(extracts.size(), 2u);
    for (const fs::path& file : extracts)
        for (const std::string& a : ReadBack(file).annotations)
            EXPECT_NE(a, "Note 6") << file;
}

TEST_F(StoreTest, DiskFullRaisesTheAlarmAndKeepsWholeDatagrams)
{
    // The child records into a file-size limit; the parent reads the result.
    const fs::path data = dir.path / "data";
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{5000, 5000};
        if (setrlimit(RLIMIT_FSIZE, &lim) != 0)
            _exit(10);
        CFakeEvents childEvents;
        {
            CStore store(sounder, childEvents, nullptr, Settings());
            store.OnToggleLogging();
            for (int ping = 0; ping < 20; ++ping) {
                Ping(store, ping);
                store.WriteNmeaToFiles("$GPGGA,after full", kNow);
            }
        }
        _exit(childEvents.alarms == std::vector<std::string>{"Disk full"} ? 0 : 11);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);

    const auto raws = FilesWith(data, ".raw");
    ASSERT_EQ(raws.size(), 1u);
    const SReadBack rb = ReadBack(raws[0]);
    EXPECT_EQ(rb.skipped, 0u);  // nothing torn at the end
    EXPECT_EQ(rb.types[0], kTypeCON0);
    EXPECT_GE(rb.power.size(), 2u);
    EXPECT_LT(rb.power.size(), 40u);
    std::size_t whole = 0;
    const auto bytes = ReadBytes(raws[0]);
    for (std::size_t off = 0; off < bytes.size(); off += CByteReader(bytes).U32(off) + 8)
        whole = off;
    EXPECT_EQ(whole + CByteReader(bytes).U32(whole) + 8, bytes.size());
}

TEST_F(StoreTest, AFullDiskAfterRoomCameBackRaisesTheAlarmAgain)
{
    // The child's room is set by the soft file-size limit under a generous
    // hard one: full, room again, full again, in the same file.
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        auto room = [](rlim_t bytes) {
            rlimit lim{bytes, 1 << 30};
            return setrlimit(RLIMIT_FSIZE, &lim) == 0;
        };
        if (!room(1 << 30))
            _exit(10);
        CFakeEvents childEvents;
        {
            CStore store(sounder, childEvents, nullptr, Settings());
            store.OnToggleLogging();
            Ping(store, 0);
            const auto size = [&] { return rlim_t(fs::file_size(store.GetFilePath())); };
            // Full: room for sentences but never for a ping, many pings long.
            if (!room(size() + 300))
                _exit(11);
            for (int ping = 1; ping < 6; ++ping) {
                Ping(store, ping);
                store.WriteNmeaToFiles("$GPGGA,fits", kNow);
            }
            if (childEvents.alarms.size() != 1)
                _exit(12);
            if (!room(1 << 30))
                _exit(13);
            Ping(store, 6);
            if (!room(size() + 300))
                _exit(14);
            for (int ping = 7; ping < 10; ++ping) {
                Ping(store, ping);
                store.WriteNmeaToFiles("$GPGGA,fits", kNow);
            }
        }
        _exit(childEvents.alarms == std::vector<std::string>{"Disk full", "Disk full"} ? 0 : 15);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const auto raws = FilesWith(dir.path / "data", ".raw");
    ASSERT_EQ(raws.size(), 1u);
    const SReadBack rb = ReadBack(raws[0]);
    EXPECT_EQ(rb.skipped, 0u);
    EXPECT_EQ(rb.sampleTimes.size(), 2u * 2);  // pings 0 and 6
}

TEST_F(StoreTest, OpenFilesAreWrittenThroughToTheDiskWithinAboutASecond)
{
    CStore store(sounder, events, nullptr, Settings());
    store.OnToggleLogging();
    EXPECT_EQ(store.SyncedCount(), 0u);
    Ping(store, 0);
    zv::test::WaitUntil([&] { return store.SyncedCount() != 0; }, 5 * kSyncInterval);
    EXPECT_EQ(store.SyncedCount(), 1u);
    EXPECT_TRUE(events.alarms.empty());
}

TEST_F(StoreTest, ARecorderKilledAtRandomMomentsLeavesWholeFiles)
{
    // Eight channels of 5000 samples and angles: 20 kB datagrams, so a kill
    // often lands inside one. Each round kills a fresh recorder in its own
    // folder; every file must read as whole datagrams from its configuration
    // on, with at most the one being written cut short at the end.
    CFakeSounder big(8, 5000);
    std::mt19937 random(20260301);
    int pings = 0;
    for (int round = 0; round < 12; ++round) {
        SCOPED_TRACE(round);
        SStoreSettings s = Settings();
        s.filePath = (dir.path / ("round" + std::to_string(round))).string();
        s.maxFileSize = 3 * 1048576;  // roll-overs happen inside the rounds too
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            CFakeEvents childEvents;
            CStore store(big, childEvents, nullptr, s);
            store.OnToggleLogging();
            for (int ping = 0;; ++ping) {
                big.SetPing(ping, kNow + std::uint64_t(ping) * 1000000ULL);
                store.WritePing();
                store.WriteNmeaToFiles("$GPGGA,ping " + std::to_string(ping), kNow);
            }
        }
        // Once the recording runs, a kill at a random moment of it.
        zv::test::WaitUntil([&] { return !FilesWith(s.filePath, ".raw").empty(); }, std::chrono::seconds(10));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 60000));
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));

        // In the order they were made: the stem, then "_2", "_3" ... "_10".
        auto raws = FilesWith(s.filePath, ".raw");
        auto number = [](const fs::path& p) {
            const std::string stem = p.stem().string();
            const auto u = stem.find_last_of('_');
            return u == std::string::npos ? 1 : std::stoi(stem.substr(u + 1));
        };
        std::sort(raws.begin(), raws.end(),
                  [&](const fs::path& a, const fs::path& b) { return number(a) < number(b); });
        ASSERT_FALSE(raws.empty());
        for (const fs::path& raw : raws) {
            const auto bytes = ReadBytes(raw);
            CDatagramReader r(bytes.data(), bytes.size());
            SDatagramView v;
            std::size_t frames = 0, end = 0;
            while (r.Next(v)) {
                ASSERT_EQ(v.offset, end) << raw << ": a gap before a datagram";
                if (frames++ == 0) {
                    EXPECT_EQ(v.type, kTypeCON0) << raw;
                }
                if (v.type == kTypeRAW0) {
                    SSampleView sample;
                    EXPECT_TRUE(CDatagramReader::ParseSample(v, sample));
                    ++pings;
                }
                end = v.offset + v.FrameSize();
            }
            // Whatever follows the last whole datagram is less than one.
            EXPECT_LT(bytes.size() - end, 8u + 84 + 20000 * 2) << raw;
            if (raw != raws.back()) {
                EXPECT_EQ(end, bytes.size()) << raw << ": rolled over, so closed whole";
            }
        }
    }
    EXPECT_GT(pings, 0);
}

TEST_F(StoreTest, SettingsComeFromTheRegistryAndGoBackOnChange)
{
    CTempHives hives;
    CRegistrySupport reg;
    HKEY parent = reg.OpenKey(HKEY_CURRENT_USER, "Zelvar\\EchoSounder\\QY310\\1.0", TRUE);
    ASSERT_NE(parent, nullptr);
    // Two values present, the rest missing.
    ASSERT_TRUE(reg.SetString(parent, "Store", "FilePath", (dir.path / "data").string()));
    ASSERT_TRUE(reg.SetDword(parent, "Store", "SaveRawData", 1));
    ASSERT_TRUE(reg.SetDword(parent, "Store", "LineNumber", 12));
    {
        CStore store(sounder, events, nullptr, parent, {}, SounderModel::QY310);
        EXPECT_EQ(store.Settings().lineNumber, 12u);
        // Missing values were written back with their defaults.
        DWORD max = 0;
        EXPECT_TRUE(reg.GetDword(parent, "Store", "MaxFileSize", max, FALSE));
        EXPECT_EQ(max, 99614720u);
        std::string bottom;
        EXPECT_TRUE(reg.GetString(parent, "Store", "EchogramRangeBottom", bottom, FALSE));
        EXPECT_EQ(bottom, "25.000000");
        store.OnToggleLogging();
        DWORD active = 0;
        EXPECT_TRUE(reg.GetDword(parent, "Store", "LineActive", active, FALSE));
        EXPECT_EQ(active, 1u);
        Ping(store, 0);
    }
    // Deletion while logging switched logging off and stepped the line.
    DWORD line = 0, active = 1;
    EXPECT_TRUE(reg.GetDword(parent, "Store", "LineNumber", line, FALSE));
    EXPECT_TRUE(reg.GetDword(parent, "Store", "LineActive", active, FALSE));
    EXPECT_EQ(line, 13u);
    EXPECT_EQ(active, 0u);
    EXPECT_EQ(FilesWith(dir.path / "data", ".raw").size(), 1u);

    // An empty FilePath means the model's folder; a fixed-name recorder takes
    // its size limit from "User".
    ASSERT_TRUE(reg.SetString(parent, "Store", "FilePath", ""));
    ASSERT_TRUE(reg.SetDword(parent, "Store\\User", "MaxFileSize", 4096));
    EXPECT_EQ(SStoreSettings::Load(parent, SounderModel::QY310, false).filePath, "C:\\QY310\\data");
    EXPECT_EQ(SStoreSettings::Load(parent, SounderModel::QYNVU, false).filePath, "C:\\QYNVU\\data");
    EXPECT_EQ(SStoreSettings::Load(parent, SounderModel::QY310, true).maxFileSize, 4096u);
    reg.CloseKey(parent);

    SetFatalErrorHandler([](const std::string& text) { throw std::runtime_error(text); });
    EXPECT_THROW(CStore(sounder, events, nullptr, HKEY(nullptr)), std::runtime_error);
    SetFatalErrorHandler({});
}

TEST_F(StoreTest, DepthTelegramsAndUdpConfigurationOnRequest)
{
    // The recorder's smaller entries: the depth telegram of the chosen
    // channel only, and a configuration on request for the raw-data output.
    SStoreSettings s = Settings();
    s.addNmeaDepth = 1;
    s.nmeaChannel = 1;
    {
        CStore store(sounder, events, &sink, s);
        store.OnToggleLogging();
        store.WritePing();
        store.WriteDepthTelegram(0, "$SDDPT,channel one", 5);
        store.WriteDepthTelegram(1, "$SDDPT,channel two", 5);
        store.WriteDepthTelegram(1, "", 5);
        sink.bodies.clear();
        store.WriteConfigurationToUdp();
        ASSERT_EQ(sink.bodies.size(), 1u);
        EXPECT_EQ(CByteReader(sink.bodies[0]).U32(0), kTypeCON0);
        EXPECT_EQ(CByteReader(sink.bodies[0]).U32(kConChannelCount), 2u);
        // 32851: the replayed file's names are taken and every file closes.
        store.OnCommand(app::cmd::REPLAY_FILE_OPENED);
        EXPECT_EQ(events.logLines.back().substr(0, 5), "STOP,");
        store.WriteDepthTelegram(1, "$SDDPT,after close", 5);
    }
    const auto raws = FilesWith(dir.path / "data", ".raw");
    ASSERT_EQ(raws.size(), 1u);
    EXPECT_EQ(ReadBack(raws[0]).sentences, std::vector<std::string>{"$SDDPT,channel two"});
}

TEST(StoreDialogValuesTest, SliderAndTvgRadioPositions)
{
    struct
    {
        unsigned mb;
        int position;
    } const slider[] = {{0, 0}, {1, 0}, {4, 3}, {7, 3}, {8, 4}, {95, 7}, {600, 9}, {800, 10}, {1000, 10}};
    for (const auto& c : slider)
        EXPECT_EQ(SStoreDialogValues::SliderPosition(c.mb), c.position) << c.mb << " MB";
    struct
    {
        std::uint32_t type;
        int index;
    } const tvg[] = {{0, 0}, {3, 1}, {4, 2}, {2, 3}, {1, -1}};
    for (const auto& c : tvg) {
        EXPECT_EQ(SStoreDialogValues::TvgIndex(c.type), c.index) << c.type;
        if (c.index >= 0) {
            EXPECT_EQ(SStoreDialogValues::TvgType(c.index), c.type);
        }
    }
}

// "Store...": OK applies the dialog's values, products follow their channel
// boxes, a slot without a channel loses its products, and a folder that
// cannot be made is asked about (Retry runs the dialog again, Cancel keeps
// the old folder). While logging, the file settings stay as they were.
TEST_F(StoreTest, StoreCommandAppliesTheDialog)
{
    SStoreSettings s = Settings();
    s.out[3] = 1;
    s.nmeaChannel = 3;
    s.tvgType = 1;
    CStore store(sounder, events, nullptr, s);
    const std::array<SStoreDialogValues::SSlot, 4> channelSlots = {
        {{true, "38 kHz"}, {true, "88 kHz"}, {false, ""}, {false, ""}}};
    {
        std::ofstream(dir.path / "plain-file") << "x";
    }
    const std::string blocked = (dir.path / "plain-file" / "sub").string();
    const std::string wanted = (dir.path / "survey").string();

    std::vector<std::string> asked;
    int runs = 0;
    const auto self = [&] { return &store; };
    CStore::OnStore(
        self, channelSlots,
        [&](SStoreDialogValues& v) {
            ++runs;
            if (runs == 1) {
                EXPECT_FALSE(v.locked);
                EXPECT_EQ(v.settings.out[3], 0u);       // no fourth channel
                EXPECT_EQ(v.settings.nmeaChannel, 0u);  // falls back to the first
                EXPECT_EQ(v.tvgIndex, -1);
                EXPECT_EQ(v.maxFileSizeMb, 95u);
                v.settings.out[1] = 1;
                v.settings.echogram[0] = 1;
                v.settings.lineNumber = 42;
                v.maxFileSizeMb = 250;
                v.settings.filePath = blocked;
            } else {
                EXPECT_EQ(v.settings.filePath, blocked);  // what was entered
                v.settings.filePath = wanted + "/";
            }
            return true;
        },
        [&](const std::string& text) {
            asked.push_back(text);
            return true;
        });
    EXPECT_EQ(runs, 2);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].rfind("Invalid Survey Name.\n", 0), 0u) << asked[0];
    SStoreSettings got = store.Settings();
    EXPECT_EQ(got.filePath, wanted);
    EXPECT_TRUE(fs::is_directory(wanted));
    EXPECT_EQ(got.saveOutData, 1u);
    EXPECT_EQ(got.out[1], 1u);
    EXPECT_EQ(got.out[3], 0u);
    EXPECT_EQ(got.saveEchogramData, 1u);
    EXPECT_EQ(got.saveXyzData, 0u);
    EXPECT_EQ(got.tvgType, 1u);  // no radio chosen: unchanged
    EXPECT_EQ(got.lineNumber, 42u);
    EXPECT_EQ(got.maxFileSize, 250u * 1048576u);
    ASSERT_FALSE(events.states.empty());
    EXPECT_EQ(events.states.back(), std::make_pair(false, 42));  // the line counter shows the new line

    // Cancel of the question keeps the old folder; the rest is applied.
    CStore::OnStore(
        self, channelSlots,
        [&](SStoreDialogValues& v) {
            v.settings.filePath = blocked;
            v.settings.localTime = 1;
            return true;
        },
        [](const std::string&) { return false; });
    got = store.Settings();
    EXPECT_EQ(got.filePath, wanted);
    EXPECT_EQ(got.localTime, 1u);

    // While logging the file settings are locked; a dialog left with Cancel
    // changes nothing.
    store.OnToggleLogging();
    CStore::OnStore(self, channelSlots,
                    [&](SStoreDialogValues& v) {
                        EXPECT_TRUE(v.locked);
                        v.settings.lineNumber = 7;
                        v.maxFileSizeMb = 1;
                        v.settings.out[0] = 1;
                        return true;
                    },
                    {});
    got = store.Settings();
    EXPECT_EQ(got.lineNumber, 42u);
    EXPECT_EQ(got.maxFileSize, 250u * 1048576u);
    EXPECT_EQ(got.out[0], 1u);
    CStore::OnStore(self, channelSlots,
                    [](SStoreDialogValues& v) {
                        v.settings.out[0] = 0;
                        return false;
                    },
                    {});
    EXPECT_EQ(store.Settings().out[0], 1u);

    // The recorder went while the dialog was open: nothing is applied to it.
    bool gone = false;
    CStore::OnStore([&]() -> CStore* { return gone ? nullptr : &store; }, channelSlots,
                    [&](SStoreDialogValues& v) {
                        v.settings.out[0] = 0;
                        gone = true;
                        return true;
                    },
                    {});
    EXPECT_EQ(store.Settings().out[0], 1u);
}

// The dialog runs its own message loop, in which a command may start or stop
// logging. The file settings then stay as the recorder has them, whichever
// way the lock went: a line started meanwhile keeps its number and size, and
// a line stopped meanwhile keeps the number the stop stepped to.
TEST_F(StoreTest, LoggingSwitchedWhileTheDialogIsOpenKeepsTheFileSettings)
{
    SStoreSettings s = Settings();
    s.lineNumber = 5;
    s.lineIncrease = 1;
    CStore store(sounder, events, nullptr, s);
    const std::array<SStoreDialogValues::SSlot, 4> slots = {
        {{true, "38 kHz"}, {true, "88 kHz"}, {false, ""}, {false, ""}}};
    const auto self = [&] { return &store; };
    const auto editFileSettings = [](SStoreDialogValues& v) {
        v.settings.lineNumber = 77;
        v.settings.saveRawData = 0;
        v.maxFileSizeMb = 1;
        v.settings.out[0] = 1;  // not a file setting: taken either way
    };

    CStore::OnStore(self, slots,
                    [&](SStoreDialogValues& v) {
                        EXPECT_FALSE(v.locked);
                        editFileSettings(v);
                        store.OnToggleLogging();  // on, while the dialog is open
                        return true;
                    },
                    {});
    SStoreSettings got = store.Settings();
    ASSERT_TRUE(store.IsLogging());
    EXPECT_EQ(got.lineNumber, 5u);
    EXPECT_EQ(got.saveRawData, 1u);
    EXPECT_EQ(got.maxFileSize, s.maxFileSize);
    EXPECT_EQ(got.out[0], 1u);

    CStore::OnStore(self, slots,
                    [&](SStoreDialogValues& v) {
                        EXPECT_TRUE(v.locked);
                        store.OnToggleLogging();  // off: the line steps to 6
                        return true;
                    },
                    {});
    got = store.Settings();
    EXPECT_FALSE(store.IsLogging());
    EXPECT_EQ(got.lineNumber, 6u);
    EXPECT_EQ(got.saveRawData, 1u);
}

// The echogram storage dialog's values: which radio a TVG type selects (none
// for the types it has no radio for), what OK makes of them, and that a
// channel slot without a channel loses its echogram box.
TEST(StoreEchogramValuesTest, TvgRadioAndChannelRules)
{
    const std::array<SStoreDialogValues::SSlot, 4> slots = {
        {{true, "T38 38 kHz"}, {false, ""}, {true, "T200 200 kHz"}, {false, ""}}};
    struct
    {
        std::uint32_t type;
        int index;          // radio the dialog opens with
        int chosen;         // radio at OK
        std::uint32_t got;  // TVGType after OK
    } const cases[] = {
        {0, 0, 0, 0},   {3, 1, 1, 3},  {4, 2, 2, 4},
        {3, 1, 2, 4},   {4, 2, 0, 0},  {2, -1, -1, 2},  // 40 log R has no radio and survives OK
        {1, -1, -1, 1}, {2, -1, 1, 3},
    };
    for (const auto& c : cases) {
        SStoreSettings s;
        s.tvgType = c.type;
        s.echogram[0] = s.echogram[1] = 1;
        s.saveEchogramData = 1;
        SStoreEchogramValues v = SStoreEchogramValues::From(s, false, slots);
        EXPECT_EQ(v.tvgIndex, c.index) << c.type;
        v.tvgIndex = c.chosen;
        const SStoreSettings after = v.Apply(s);
        EXPECT_EQ(after.tvgType, c.got) << c.type << " radio " << c.chosen;
        // The second channel is missing: its box is cleared, so OK stops it.
        EXPECT_EQ(std::vector<std::uint32_t>(after.echogram, after.echogram + 4),
                  (std::vector<std::uint32_t>{1, 0, 0, 0}));
        EXPECT_EQ(after.saveEchogramData, 1u);
    }

    SStoreSettings s;
    s.echogram[2] = 1;
    s.saveEchogramData = 1;
    s.echogramSurfaceCount = 123;
    s.echogramBottomCount = 4000;  // more than the dialog allows
    SStoreEchogramValues v = SStoreEchogramValues::From(s, true, slots);
    EXPECT_EQ(v.surfaceCount, 123u);
    EXPECT_EQ(v.bottomCount, SStoreEchogramValues::kMaxBottomCount);
    EXPECT_EQ(v.Title(), "Echogram Parameters - Replay");
    EXPECT_EQ(SStoreEchogramValues::From(s, false, slots).Title(), "Echogram Parameters - Normal");
    v.echogram = {};
    v.rangeBottom = 40.0;
    v.rangeBottomStart = 30.0;
    const SStoreSettings after = v.Apply(s);
    EXPECT_EQ(after.saveEchogramData, 0u);  // no channel left
    EXPECT_EQ(after.echogramRangeBottom, 40.0);
    EXPECT_EQ(after.echogramRangeBottomStart, 30.0);
    EXPECT_EQ(after.echogramBottomCount, SStoreEchogramValues::kMaxBottomCount);
}

// "Echogram Storage Parameters" on the recorder: OK takes the values and
// saves them, except while replaying; Cancel changes nothing; a recorder gone
// while the dialog was open gets nothing.
TEST_F(StoreTest, EchogramStorageAppliesAndSavesUnlessReplaying)
{
    CTempHives hives;
    CRegistrySupport reg;
    HKEY parent = reg.OpenKey(HKEY_CURRENT_USER, "Zelvar\\EchoSounder\\QY310\\1.0", TRUE);
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(reg.SetString(parent, "Store", "FilePath", (dir.path / "data").string()));
    const std::array<SStoreDialogValues::SSlot, 4> slots = {
        {{true, "T38 38 kHz"}, {true, "T88 88 kHz"}, {false, ""}, {false, ""}}};
    const auto saved = [&](const char* name) {
        DWORD value = 99;
        EXPECT_TRUE(reg.GetDword(parent, "Store", name, value, FALSE)) << name;
        return value;
    };
    {
        CStore store(sounder, events, nullptr, parent, {}, SounderModel::QY310);
        const auto self = [&] { return &store; };
        CStore::OnEchogramStorage(self, slots, [](SStoreEchogramValues& v) {
            EXPECT_FALSE(v.replaying);
            v.echogram[1] = true;
            v.surfaceCount = 700;
            v.tvgIndex = 2;
            return true;
        });
        EXPECT_EQ(store.Settings().echogram[1], 1u);
        EXPECT_EQ(saved("Echogram2"), 1u);
        EXPECT_EQ(saved("SaveEchogramData"), 1u);
        EXPECT_EQ(saved("EchogramSurfaceCount"), 700u);
        EXPECT_EQ(saved("TVGType"), 4u);

        CStore::OnEchogramStorage(self, slots, [](SStoreEchogramValues& v) {
            v.echogram[1] = false;
            return false;
        });
        EXPECT_EQ(store.Settings().echogram[1], 1u);

        bool gone = false;
        CStore::OnEchogramStorage([&]() -> CStore* { return gone ? nullptr : &store; }, slots,
                                  [&](SStoreEchogramValues& v) {
                                      v.echogram[1] = false;
                                      gone = true;
                                      return true;
                                  });
        EXPECT_EQ(store.Settings().echogram[1], 1u);
    }
    {
        sounder.replaying = true;
        CStore store(sounder, events, nullptr, parent, {}, SounderModel::QY310);
        CStore::OnEchogramStorage([&] { return &store; }, slots,
                                  [](SStoreEchogramValues& v) {
                                      EXPECT_TRUE(v.replaying);
                                      v.echogram[0] = true;
                                      v.surfaceCount = 50;
                                      return true;
                                  });
        // The replay records with them, but the operator's settings stay.
        EXPECT_EQ(store.Settings().echogram[0], 1u);
        EXPECT_EQ(store.Settings().echogramSurfaceCount, 50u);
        EXPECT_EQ(saved("Echogram1"), 0u);
        EXPECT_EQ(saved("EchogramSurfaceCount"), 700u);
        sounder.replaying = false;
    }
    reg.CloseKey(parent);
}
