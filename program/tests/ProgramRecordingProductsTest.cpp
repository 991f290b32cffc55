// The program writes the recorder's side products: a generated recording
// replayed to save data with every product on gives xyz lines on the
// scene's track, txt depth lines, echogram storage, an xtf file and the geo
// lines of the object positions the history sends; side-looking echograms
// list their channels in the xtf file; and a live sounder (the simulated
// network unit in a network namespace of the test's own) keeps one file
// of each product while its raw file rolls over.
#include "recording/Replay.h"
#include "recording/Store.h"
#include "recording/tests/ProductReaders.h"
#include "recording/tests/StoreFixture.h"
#include "sim/qy42/QY42Simulator.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "display/ESDocList.h"
#include "display/EchogramDoc.h"
#include "engine/Channel.h"
#include "platform/FileTime.h"
#include "program/tests/TestProgram.h"
#include "sensors/Environment.h"
#include "sensors/GeographicInfo.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>

using namespace shelltest;
using namespace zv::recording::test;
namespace fs = std::filesystem;

namespace {

constexpr int kPings = 60;
constexpr int kNoFixFirst = 20, kNoFixLast = 29;
constexpr double kAntennaHeight = 2.5;
// How far the bottom detector's depth may lie from the scene's bottom; it
// finds the bottom from the third ping on.
constexpr double kDepthError = 1.0;
constexpr int kFirstBottom = 2;

std::string ReadText(const fs::path& file)
{
    const auto bytes = ReadBytes(file);
    return std::string(bytes.begin(), bytes.end());
}

fs::path OnlyFile(const fs::path& folder, const std::string& extension)
{
    const auto files = FilesWith(folder, extension);
    std::string names;
    for (const fs::path& f : files)
        names += " " + f.filename().string();
    EXPECT_EQ(files.size(), 1u) << extension << ":" << names;
    return files.empty() ? fs::path() : files[0];
}

std::string LocalTimeText(std::uint64_t time)
{
    SYSTEMTIME st{};
    CFileTime::ToLocalSystemTime(time, st);
    char text[48];
    std::snprintf(text, sizeof text, "%02u%02u%02u.%02u", unsigned(st.wHour), unsigned(st.wMinute),
                  unsigned(st.wSecond), unsigned(st.wMilliseconds / 10));
    return text;
}

std::string UtcHundredths(std::uint64_t time)
{
    SYSTEMTIME st{};
    CFileTime::ToSystemTime(time, st);
    char text[48];
    std::snprintf(text, sizeof text, "%02u%02u%02u%02u", unsigned(st.wHour), unsigned(st.wMinute), unsigned(st.wSecond),
                  unsigned(st.wMilliseconds / 10));
    return text;
}

std::string LocalXtfTime(const SXtfTime& t, int hseconds)
{
    char text[48];
    std::snprintf(text, sizeof text, "%02d%02d%02d.%02d", t.hour, t.minute, t.second, hseconds);
    return text;
}

class ProgramRecordingProductsTest : public ::testing::Test
{
protected:
    ProgramRecordingProductsTest() { QtApp(); }

    // The replay's recorder with every product on; the navigation's
    // position telegram is the GGA, with the antenna's height.
    void SwitchProductsOn()
    {
        CRegistrySupport reg;
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        const HKEY root = CRegistrySupport::UserRootKey();
        const std::string store = "OperationControl\\Operation\\Replay\\Store";
        for (const char* name : {"Txt", "GeoRef", "SaveEchogramData", "Echogram1", "Echogram2", "SaveXyzData", "Xyz1",
                                 "Xyz2", "SaveXTFData"})
            ASSERT_TRUE(reg.SetDword(root, store, name, 1));
        const std::string navigation = "Sensors\\Installed\\Navigation";
        ASSERT_TRUE(reg.SetString(root, navigation, "StartSequence", "$GPGGA"));
        ASSERT_TRUE(reg.SetString(root, navigation, "FieldSeparator", ","));
        ASSERT_TRUE(reg.SetDouble(root, navigation, "AntennaHeight", kAntennaHeight));
        reg.CloseRootKeys();
    }
    void Start()
    {
        auto options = TestProgramOptions({"QY310"});
        if (echogramDialog)
            options.echogramDialog = echogramDialog;
        // "Store..." of a replay that saves data: cancelled, the settings stay.
        options.storeDialog = [](zv::recording::SStoreDialogValues&) { return false; };
        program = MakeProgram(std::move(options));
        ASSERT_TRUE(program->Start());
    }
    zv::recording::CReplay* RunningReplay()
    {
        CEchoSounder* sounder = program->Operation().GetEchoSounder();
        return sounder ? dynamic_cast<zv::recording::CReplay*>(sounder->GetTransceiver(0)) : nullptr;
    }
    void Replay(const fs::path& file, bool saveData)
    {
        CReplayFileList list;
        list.AddTail(file.string());
        list.m_loop = 0;
        list.m_saveData = saveData ? 1 : 0;
        COperationControl::PostStartWithFiles(&list);
        ASSERT_TRUE(WaitFor([&] { return RunningReplay() != nullptr; }, 10000));
    }
    void StopSounder()
    {
        program->Application().Operation().PostStop(0);
        ASSERT_TRUE(WaitFor(
            [&] { return program->Operation().GetEchoSounder() == nullptr && !program->Operation().IsBusy(); }, 20000));
    }

    SLocalZone zone;
    ShellEnvironment env;
    AnswerMessageBoxes boxes;
    std::unique_ptr<app::CProgram> program;
    // What "Echogram Storage Parameters" is answered with, when set.
    std::function<bool(zv::recording::SStoreEchogramValues&)> echogramDialog;
};

// Replayed to save data: every product of every ping, placed on the
// scene's south-western track, and none across the stretch without fix.
TEST_F(ProgramRecordingProductsTest, AReplaySavingDataWritesEveryProductOfTheScene)
{
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const std::string& s :
         {"pings=" + std::to_string(kPings), std::string("channels=38,120"), std::string("lat=-33.9"),
          std::string("lon=-151.2"), std::string("course=225"), std::string("annotate-every=0"),
          "nofix-first=" + std::to_string(kNoFixFirst), "nofix-last=" + std::to_string(kNoFixLast)})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path folder = env.Root() / "replayed";
    fs::create_directories(folder);
    const fs::path recording = folder / "survey.raw";
    zv::recgen::CRecordingGenerator generator(scene);
    ASSERT_TRUE(generator.Write(recording.string(), nullptr, &error)) << error;
    SwitchProductsOn();
    Start();
    Replay(recording, true);
    CEchoSounder* sounder = program->Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return RunningReplay()->IsStopped() && sounder->GetPingCount() >= kPings; }, 60000));

    // The object position of the ping before the last, in both forms: the
    // history sends it through the network output into the geo file, which
    // the end of the replayed file (command 33792) leaves open.
    CGeographicInfo& history = program->GeographicInfo();
    ASSERT_EQ(history.FormatPingPosition(1, false, 12.0, 5.0, true, 7), 1);
    ASSERT_EQ(history.FormatPingPosition(1, true, 12.0, 5.0, true, 7), 1);
    const double velocity = program->Environment().GetSoundVelocity();
    StopSounder();
    program.reset();

    // What each ping's time is, to find the ping of a line.
    std::map<std::string, int> pingOfLocalTime;
    for (int p = 0; p < kPings; ++p)
        pingOfLocalTime[LocalTimeText(zv::recgen::PingTime(scene, p))] = p;
    const auto pingOf = [&](const std::string& time) {
        const auto it = pingOfLocalTime.find(time);
        return it == pingOfLocalTime.end() ? -1 : it->second;
    };
    // Pings before the replay's name reached the recorder have no products:
    // at most the very first.
    int first = kPings;

    // txt: the sentences, and a depth line per channel and ping.
    std::vector<std::string> lines;
    ASSERT_TRUE(SplitCrLf(ReadText(OnlyFile(folder, ".txt")), lines));
    std::map<int, std::vector<STxtDepthLine>> depthLines;
    // A ping's GGA sentence tells its ping (its other sentences may be
    // those of every ping).
    std::map<std::string, int> pingOfSentence;
    for (int p = 0; p < kPings; ++p)
        pingOfSentence.emplace(generator.PingSentences(p).at(0), p);
    std::size_t sentences = 0;
    int firstSentence = kPings;
    for (const std::string& line : lines) {
        STxtDepthLine d;
        if (line.rfind("$GP", 0) == 0) {
            ++sentences;
            if (line.rfind("$GPGGA", 0) == 0) {
                const auto it = pingOfSentence.find(line);
                ASSERT_NE(it, pingOfSentence.end()) << line;
                firstSentence = std::min(firstSentence, it->second);
            }
            continue;
        }
        ASSERT_TRUE(ParseTxtDepthLine(line, d)) << line;
        depthLines[pingOf(d.time)].push_back(d);
    }
    ASSERT_FALSE(depthLines.empty());
    first = depthLines.begin()->first;
    // The recorder has the replayed file's name before the first ping, so
    // every ping is in the products, however loaded the machine.
    EXPECT_EQ(first, 0);
    EXPECT_EQ(depthLines.size(), std::size_t(kPings - first));
    // The replay decodes a ping's sentences while the pings before it are
    // still recorded: those of the first two pings may come before the
    // name, and a ping's sentences are not waited for.
    EXPECT_LE(firstSentence, first + 2);
    EXPECT_GE(sentences, std::size_t(3 * (kPings - firstSentence)));  // GGA, VTG and ZDA of each ping
    for (const auto& [p, d] : depthLines) {
        SCOPED_TRACE(p);
        ASSERT_EQ(d.size(), 2u);
        EXPECT_EQ(d[0].khz, 38);
        EXPECT_EQ(d[1].khz, 120);
        for (const STxtDepthLine& line : d) {
            if (p >= kFirstBottom) {
                EXPECT_NEAR(line.depth, zv::recgen::BottomDepthAt(scene, p), kDepthError);
            }
        }
    }

    // xyz: both channels' depths at the position 0.2 of the way from the
    // ping's sentence (0.2 s before it) to the next; signed south and west.
    const fs::path xyzFile = OnlyFile(folder, ".xyz");
    EXPECT_EQ(xyzFile.filename(), "survey-38-120.xyz");
    lines.clear();
    ASSERT_TRUE(SplitCrLf(ReadText(xyzFile), lines));
    std::map<int, int> xyzPerPing;
    for (const std::string& line : lines) {
        SCOPED_TRACE(line);
        SXyzLine l;
        ASSERT_TRUE(ParseXyzLine(line, l));
        const int p = pingOf(l.time);
        ASSERT_GE(p, 0);
        ++xyzPerPing[p];
        double lat0, lon0, lat1, lon1;
        zv::recgen::PositionAt(scene, p, lat0, lon0);
        zv::recgen::PositionAt(scene, p + 1, lat1, lon1);
        EXPECT_LT(l.first, 0.0);
        EXPECT_LT(l.second, 0.0);
        EXPECT_NEAR(l.first, lat0 + 0.2 * (lat1 - lat0), 3e-6);
        EXPECT_NEAR(l.second, lon0 + 0.2 * (lon1 - lon0), 3e-6);
        if (p >= kFirstBottom) {
            EXPECT_NEAR(l.depth, zv::recgen::BottomDepthAt(scene, p), kDepthError);
        }
        EXPECT_EQ(l.height, -kAntennaHeight);
    }
    for (int p = std::max(first, firstSentence); p < kPings - 1; ++p) {
        // From the last fix before the stretch to its end no depth is
        // placed. The replay decodes a ping's sentences while the ping
        // before may still be recorded: the stretch's first sentence can
        // come before the depths of the ping before the last fix were
        // placed, which then stay without line as well.
        if (p == kNoFixFirst - 2)
            continue;
        const bool placed = p < kNoFixFirst - 2 || p > kNoFixLast;
        EXPECT_EQ(xyzPerPing[p], placed ? 2 : 0) << "ping " << p;
    }

    // dg: both windows of both channels every ping.
    const fs::path dgFile = OnlyFile(folder, ".dg");
    EXPECT_EQ(dgFile.filename(), "survey-38-120.dg");
    const SDgFile dg = ReadDg(ReadBytes(dgFile));
    EXPECT_EQ(dg.unread, 0u);
    ASSERT_EQ(dg.records.size(), 2u * std::size_t(kPings - first));
    for (std::size_t k = 0; k < dg.records.size(); ++k) {
        SCOPED_TRACE(k);
        const SDgRead& d = dg.records[k];
        const int p = first + int(k / 2);
        EXPECT_EQ(d.channel, k % 2 ? '2' : '1');
        EXPECT_EQ(d.time, UtcHundredths(zv::recgen::PingTime(scene, p)));
        EXPECT_EQ(std::tuple(d.ns, d.nb, d.tvg), std::tuple(250u, 500u, 3u));
        if (p < kFirstBottom)
            continue;
        EXPECT_NEAR(d.bottom, zv::recgen::BottomDepthAt(scene, p), kDepthError);
        // The bottom window holds the echo of the bottom.
        EXPECT_GT(*std::max_element(d.bottomSamples.begin(), d.bottomSamples.end()),
                  *std::max_element(d.surface.begin(), d.surface.begin() + 20));
    }

    // xtf: a ping record every ping, with the history's position (signed,
    // in degrees and minutes) and the environment's sound velocity, and a
    // navigation record for every position sentence with a fix.
    const SXtfFile xtf = ReadXtf(ReadBytes(OnlyFile(folder, ".xtf")));
    EXPECT_EQ(xtf.unread, 0u);
    EXPECT_EQ(xtf.fileName, "survey");
    EXPECT_EQ(xtf.programName, "QY310");
    EXPECT_EQ(xtf.channelCount, 0);  // no side-looking echogram
    ASSERT_EQ(xtf.pings.size(), std::size_t(kPings - first));
    // The history holds positions once the echogram views have sized it;
    // the views, on the user-interface thread, may be some pings behind
    // the recorder. From the first ping with a position on, every ping
    // before the fixes stop has the scene's.
    std::size_t sized = 0;
    while (sized < xtf.pings.size() && xtf.pings[sized].shipY == 0.0)
        ++sized;
    ASSERT_LT(first + int(sized), kNoFixFirst - 1) << "no ping with a position before the fixes stop";
    for (std::size_t k = 0; k < xtf.pings.size(); ++k) {
        SCOPED_TRACE(k);
        const SXtfPingRead& x = xtf.pings[k];
        const int p = first + int(k);
        EXPECT_EQ(x.pingNumber, k + 1);
        EXPECT_EQ(LocalXtfTime(x.time, x.hseconds), LocalTimeText(zv::recgen::PingTime(scene, p)));
        EXPECT_FLOAT_EQ(x.soundVelocity, float(velocity));
        if (k >= sized && p < kNoFixFirst - 1) {
            double lat, lon;
            zv::recgen::PositionAt(scene, p, lat, lon);
            EXPECT_LT(x.shipY, 0.0);
            EXPECT_LT(x.shipX, 0.0);
            EXPECT_NEAR(std::trunc(x.shipY / 100) + std::fmod(x.shipY, 100) / 60, lat, 1e-5);
        }
    }
    // The file opens with the first ping record, after that ping's sentence
    // (and maybe the next ping's) came.
    const std::size_t fixes = std::size_t(kPings - first - (kNoFixLast - kNoFixFirst + 1));
    EXPECT_GE(xtf.navigation.size(), fixes - 2);
    EXPECT_LT(xtf.navigation.size(), fixes);

    // geo: the two object positions as the history sent them.
    lines.clear();
    ASSERT_TRUE(SplitCrLf(ReadText(OnlyFile(folder, ".geo")), lines));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("VGR,", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind("SSG,", 0), 0u) << lines[1];
    EXPECT_NE(lines[1].find(",VTG "), std::string::npos) << lines[1];
}

// "Echogram Storage Parameters" while a replay saves data: OK changes what
// the next dg records hold (the windows' sample counts and the TVG), and the
// records before keep the settings they were written with.
TEST_F(ProgramRecordingProductsTest, EchogramStorageParametersChangeTheNextDgRecords)
{
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const char* s : {"pings=2000", "channels=38,120", "samples=400", "annotate-every=0"})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path folder = env.Root() / "replayed";
    fs::create_directories(folder);
    const fs::path recording = folder / "survey.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
    SwitchProductsOn();
    int dialogs = 0;
    echogramDialog = [&](zv::recording::SStoreEchogramValues& v) {
        ++dialogs;
        v.surfaceCount = 100;
        v.bottomCount = 200;
        v.tvgIndex = 2;  // 30 log R
        return true;
    };
    Start();
    Replay(recording, true);
    const auto dgRecords = [&] {
        const auto files = FilesWith(folder, ".dg");
        return files.empty() ? SDgFile{} : ReadDg(ReadBytes(files[0]));
    };
    ASSERT_TRUE(WaitFor([&] { return dgRecords().records.size() >= 4; }, 30000));
    program->Frame()->RunCommand(app::cmd::ECHOGRAM_STORAGE);
    EXPECT_EQ(dialogs, 1);
    ASSERT_TRUE(WaitFor(
        [&] {
            const SDgFile dg = dgRecords();
            return !dg.records.empty() && dg.records.back().ns == 100u;
        },
        30000));
    StopSounder();
    program.reset();

    const SDgFile dg = dgRecords();
    EXPECT_EQ(dg.unread, 0u);
    std::size_t before = 0, after = 0;
    for (const SDgRead& d : dg.records) {
        const auto kind = std::tuple(d.ns, d.nb, d.tvg);
        if (kind == std::tuple(250u, 500u, 3u)) {
            EXPECT_EQ(after, 0u) << "the old settings after the new ones";
            ++before;
        } else {
            EXPECT_EQ(kind, std::tuple(100u, 200u, 4u));
            ++after;
        }
    }
    EXPECT_GE(before, 4u);
    EXPECT_GT(after, 0u);
}

// Side-looking echograms: once both channels are shown on a side each, the
// next xtf file lists them and carries their samples every ping.
TEST_F(ProgramRecordingProductsTest, SideLookingEchogramsAreTheXtfChannels)
{
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const char* s : {"pings=3000", "channels=38,120", "samples=3000", "annotate-every=0"})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path recording = env.Root() / "sides.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
    {
        CRegistrySupport reg;
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        ASSERT_TRUE(reg.SetDword(CRegistrySupport::UserRootKey(), "OperationControl\\Operation\\Replay\\Store",
                                 "SaveXTFData", 1));
        reg.CloseRootKeys();
    }
    Start();
    Replay(recording, false);  // xtf alone: its switch is enough in a replay
    CEchoSounder* sounder = program->Operation().GetEchoSounder();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > 5; }, 20000));

    auto* documents = dynamic_cast<CESDocList*>(sounder->GetDocuments());
    ASSERT_NE(documents, nullptr);
    for (CAbstractESDoc* document : documents->GetDocList())
        if (auto* echogram = dynamic_cast<CEchogramDoc*>(document)) {
            CEchogramDoc::SettingsDialogValues v = echogram->MakeSettingsDialogValues();
            v.echogramKind = CEchogramDoc::kTrawlOrSidescan;
            v.sidescanSide = echogram->GetChannel() == sounder->GetChannel(0) ? 0 : 1;
            echogram->ApplySettingsDialogValues(v);
        }
    // The files end: the next ping opens a new xtf file.
    ::PostMessage(program->Frame()->GetSafeHwnd(), WM_COMMAND, app::cmd::CLOSE_REPLAY_FILES, 0);
    ASSERT_TRUE(WaitFor([&] { return FilesWith(env.Root(), ".xtf").size() == 2; }, 20000));
    const std::uint64_t pings = sounder->GetPingCount();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() > pings + 3; }, 20000));
    StopSounder();
    program.reset();

    const auto files = FilesWith(env.Root(), ".xtf");
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].filename(), "sides.xtf");
    EXPECT_EQ(ReadXtf(ReadBytes(files[0])).channelCount, 0);
    const SXtfFile xtf = ReadXtf(ReadBytes(files[1]));
    EXPECT_EQ(xtf.unread, 0u);
    ASSERT_EQ(xtf.channelCount, 2);
    EXPECT_EQ(xtf.channels[0].type, 1);  // port
    EXPECT_EQ(xtf.channels[1].type, 2);  // starboard
    EXPECT_EQ(xtf.channels[0].frequency, 38000.0f);
    EXPECT_EQ(xtf.channels[1].frequency, 120000.0f);
    ASSERT_GE(xtf.pings.size(), 3u);
    for (const SXtfPingRead& p : xtf.pings) {
        ASSERT_EQ(p.channels.size(), 2u);
        for (const SXtfPingChannelRead& c : p.channels) {
            EXPECT_EQ(c.numSamples, 2000u);  // of 3000
            EXPECT_GT(c.slantRange, 0.0f);
            EXPECT_NE(*std::max_element(c.samples.begin(), c.samples.end()), 0);
        }
    }
}

// --- live, from the simulated network unit -------------------------------------

using nettest::Checks;

int RunLiveProducts()
{
    Checks check;
    QtApp();
    SLocalZone zone;
    ShellEnvironment env;
    CQY42Simulator::Settings settings;
    CQY42Simulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    const fs::path folder = env.Root() / "survey";
    zv::test::InstallQY42Unit(settings.address, [&](CRegistrySupport& reg) {
        const HKEY user = CRegistrySupport::UserRootKey();
        const std::string store = "OperationControl\\Operation\\Normal\\Store";
        reg.SetString(user, store, "FilePath", folder.string());
        for (const char* name : {"SaveRawData", "Txt", "SaveEchogramData", "Echogram1", "SaveXTFData"})
            reg.SetDword(user, store, name, 1);
        reg.SetDword(user, store, "MaxFileSize", 1);  // a raw file a ping
    });
    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    if (!check(program->Start(), "program started"))
        return check.failures;
    COperationControl& operation = program->Operation();
    CEchoSounder* sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  return sounder && sounder->GetPingCount() >= 3;
              },
              30000),
          "pings from the unit");
    if (!check(sounder && program->Frame(), "a running sounder"))
        return check.failures;
    const HWND frame = program->Frame()->GetSafeHwnd();
    const auto line = [&](const char* what) {
        PostMessage(frame, WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
        check(WaitFor([&] { return program->Recorder().Current() && program->Recorder().Current()->IsLogging(); }),
              std::string(what) + ": logging");
        const std::uint64_t pings = sounder->GetPingCount();
        check(WaitFor([&] { return sounder->GetPingCount() >= pings + 8; }, 20000), std::string(what) + ": pings");
        PostMessage(frame, WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
        check(WaitFor([&] { return !program->Recorder().Current()->IsLogging(); }), std::string(what) + ": stopped");
    };
    line("raw, txt, dg and xtf");
    // The second line records the xtf product alone.
    program->Recorder().With([](zv::recording::CStore& store) {
        zv::recording::SStoreSettings s = store.Settings();
        s.saveRawData = s.txt = s.saveEchogramData = 0;
        store.ApplySettings(s);
    });
    line("xtf alone");
    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    program.reset();

    // The first line: a raw file a ping, one file of each product.
    std::vector<std::uint64_t> times;
    for (const fs::path& raw : FilesWith(folder, ".raw")) {
        const SReadBack rb = ReadBack(raw);
        check(rb.skipped == 0 && rb.configs.size() == 1, "whole raw file " + raw.string());
        times.insert(times.end(), rb.sampleTimes.begin(), rb.sampleTimes.end());
    }
    std::sort(times.begin(), times.end());
    check(FilesWith(folder, ".raw").size() >= 5,
          "raw rolled over: " + std::to_string(FilesWith(folder, ".raw").size()));
    const auto txts = FilesWith(folder, ".txt");
    const auto dgs = FilesWith(folder, ".dg");
    const auto xtfs = FilesWith(folder, ".xtf");
    if (!check(txts.size() == 1 && dgs.size() == 1 && xtfs.size() == 2, "one txt and dg file, an xtf file a line") ||
        !check(times.size() >= 5, "pings recorded"))
        return check.failures;
    std::set<std::string> txtTimes, dgTimes, xtfTimes;
    std::vector<std::string> lines;
    const auto text = ReadBytes(txts[0]);
    check(SplitCrLf(std::string(text.begin(), text.end()), lines), "txt lines end");
    for (const std::string& l : lines) {
        STxtDepthLine d;
        if (check(ParseTxtDepthLine(l, d), "a depth line: " + l))
            txtTimes.insert(d.time);
    }
    const SDgFile dg = ReadDg(ReadBytes(dgs[0]));
    check(dg.unread == 0, "whole dg records");
    for (const SDgRead& d : dg.records)
        dgTimes.insert(d.time);
    const SXtfFile xtf = ReadXtf(ReadBytes(xtfs[0]));
    check(xtf.unread == 0, "whole xtf records");
    for (const SXtfPingRead& p : xtf.pings)
        xtfTimes.insert(LocalXtfTime(p.time, p.hseconds));
    // Every ping of the line but its first and last, whichever side of the
    // switch they fell on, is in every product.
    for (std::size_t k = 1; k + 1 < times.size(); ++k) {
        const std::string local = LocalTimeText(times[k]);
        check(txtTimes.count(local) == 1, "txt has ping " + local);
        check(dgTimes.count(UtcHundredths(times[k])) == 1, "dg has ping " + local);
        check(xtfTimes.count(local) == 1, "xtf has ping " + local);
    }
    check(std::max({txtTimes.size(), dgTimes.size(), xtfTimes.size()}) <= times.size() + 1, "no more pings");
    // The second line: ping records of the xtf file alone.
    const SXtfFile alone = ReadXtf(ReadBytes(xtfs[1]));
    check(xtfs[1].filename().string().rfind("L0001-", 0) == 0, "the second line's xtf " + xtfs[1].string());
    check(alone.unread == 0 && alone.pings.size() >= 6, "xtf alone: " + std::to_string(alone.pings.size()));
    return check.failures;
}

TEST(ProgramRecordingProducts, ALiveLineKeepsOneFileOfEachProductWhileRawRollsOver)
{
    nettest::RunNamespaceTest(RunLiveProducts);
}

}  // namespace
