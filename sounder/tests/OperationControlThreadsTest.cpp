#include "sounder/OperationControl.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "sounder/tests/TestOperationHost.h"

#include "base/EchosounderError.h"
#include "engine/Channel.h"
#include "platform/TempHives.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <thread>

namespace {

using namespace std::chrono_literals;

struct FatalReported
{
    std::string text;
};

class OperationControl : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        installation.Initialize();
        folder = std::filesystem::path(hives.Folder()) / "program";
        std::filesystem::create_directories(folder);
        window = CreateMessageWindow([this](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            if (msg == app::WM_ES_OPERATIONCOMMAND || msg == app::WM_ES_EXECUTECOMMAND)
                return op.HandleMessage(msg, w, l);
            log.Add("message " + std::to_string(msg) + " " + std::to_string(w));
            return 0;
        });
        SetMainWindow(window);
        SetFatalErrorHandler([](const std::string& text) { throw FatalReported{text}; });

        auto& h = host;
        h.deleteLayout = [this] { Note("delete layout"); };
        h.createLayout = [this](const std::array<COperationControl::ChannelDisplay, 8>& d, int) {
            displays = d;
            Note("create layout");
            return true;
        };
        h.closeSensors = [this] { Note("close sensors"); };
        h.statusBarModel = [this](SounderModel) { Note("model"); };
        op.SetHost(&h);
        op.SetTrListPath(folder.string());
        op.SetSerializePath(folder.string());
        op.SetModel(SounderModel::QY310);
        CEchoSounder::Context c;
        c.installation = &installation;
        c.workerStartDelayMs = 0;
        c.host = &sounderHost;
        sounderHost.createTransceiver = [](TransceiverType, int index, const InstalledTransceiverInfo& info, HKEY) {
            CTestTransceiver::Options o;
            o.name = info.transceiverId;
            o.channels = info.channelCount;
            return std::unique_ptr<CTransceiver>(std::make_unique<CTestTransceiver>(o));
        };
        op.SetEchoSounderContext(c);
    }
    void TearDown() override
    {
        SetFatalErrorHandler(nullptr);
        SetMainWindow(0);
        DestroyWindow(window);
        reg.CloseRootKeys();
    }
    // Notes what a command did, and that it ran while the queue was busy.
    void Note(const std::string& what)
    {
        log.Add(what);
        if (!op.IsBusy())
            log.Add("NOT BUSY during " + what);
    }
    bool Drain(std::size_t entries)
    {
        return PumpUntil([&] { return log.Size() >= entries && !op.IsBusy(); }, 10s);
    }
    void Install(const std::string& id, int channels)
    {
        HKEY key = installation.OpenChannelsKey();
        for (int ch = 1; ch <= channels; ++ch) {
            CTrList e;
            e.transceiverId = id;
            e.channelNo = ch;
            const std::string description = id + " " + std::to_string(ch);
            e.FormatDescription(&description, TransceiverType::HXU);
            installation.WriteChannelEntry(e, key);
        }
        reg.CloseKey(key);
    }
    void Fatal(const std::function<void()>& f, const std::string& expected)
    {
        try {
            f();
            ADD_FAILURE() << "no fatal report, expected " << expected;
        } catch (const FatalReported& r) {
            EXPECT_NE(r.text.find(expected), std::string::npos) << r.text;
        }
    }

    CTempHives hives;
    CRegistrySupport reg;
    CTransceiverInstallation installation;
    std::filesystem::path folder;
    HWND window = 0;
    CCallLog log;
    std::array<COperationControl::ChannelDisplay, 8> displays{};
    CTestOperationHost host;
    CTestEchoSounderHost sounderHost;
    COperationControl op;
};

}  // namespace

TEST_F(OperationControl, CommandsRunOneAtATimeInTheOrderPosted)
{
    op.Init();
    auto& h = host;
    h = CTestOperationHost{};
    bool again = true;
    h.deleteLayout = [&] { Note("delete layout"); };
    h.closeSensors = [&] {
        Note("close sensors");
        // Posted while a command runs: it waits behind those already queued.
        if (again)
            COperationControl::PostCommand4006();
        again = false;
    };
    h.statusBarModel = [&](SounderModel) { Note("model"); };
    op.SetHost(&h);
    PostMessage(window, app::WM_ES_OPERATIONCOMMAND, app::OC_DELETE_LAYOUT, 0);
    COperationControl::PostCommand4003();
    COperationControl::PostCommand(77);
    PostMessage(window, app::WM_ES_OPERATIONCOMMAND, app::OC_DELETE_LAYOUT, 0);
    ASSERT_TRUE(Drain(9));
    const std::vector<std::string> expected = {
        "delete layout",                    // 0x4001
        "delete layout",  "close sensors",  // 0x4003
        "delete layout",  "model",
        "message 273 77",  // 0x4000, then its menu command
        "delete layout",   // 0x4001
        "delete layout",  "message " + std::to_string(app::WM_ES_SHOWCHANNELSTATUS) + " 0",  // 0x4006
    };
    EXPECT_EQ(log.Entries(), expected);
}

TEST_F(OperationControl, IllegalCodesAreFatal)
{
    op.Init();
    for (UINT code : {0x3FFFu, 0x4008u, 0x4009u, 0u})
        Fatal([&] { op.QueueCommand(code, 0); }, "Illegal Operation Control Command (" + std::to_string(code) + ")");
    Fatal([&] { op.ExecuteCommand(0x4009, 0); }, "Illegal Operation Control Command (16393)");
    // The executor itself knows 0x4008: delete, then restart.
    op.ExecuteCommand(app::OC_DELETE_AND_RESTART, 0);
    ASSERT_TRUE(PumpUntil([&] { return log.Size() >= 3; }, 5s));
    // The restart is queued and runs after the replay bar is hidden.
    EXPECT_EQ(log.Entries()[1], "message " + std::to_string(app::WM_ES_HIDEREPLAYBUTTONS) + " 0");
    EXPECT_EQ(log.Entries()[2], "delete layout");
    Fatal([&] { op.Init(); }, "Operation Control initialized twice");
}

TEST_F(OperationControl, StateFileLayout)
{
    COperationControl::Settings s;
    s.enumSpeed = 2;
    s.PingInterval = 2.5;
    s.enumNormalTrig = 0x2001;
    s.enumNormalSequence = 1;
    s.bSaveHistory = 1;
    s.iSequence = 7;
    s.enumViewArrangement = 3;
    s.displays[0] = {1, 1, "38", "DRU 38 kHz"};
    s.displays[1] = {1, 0, std::string(30, 'S'), std::string(150, 'L')};
    s.HBX = 5;
    s.sSimplePingerLongChannelID = "pinger";
    s.SimplePingerInterval = 3.0;
    s.SimplePingerPulselength = 12.0;
    s.SimplePinger = 1;
    const auto r = COperationControl::BuildRecord(s);
    ASSERT_EQ(r.size(), 1304u);
    auto u32 = [&](std::size_t at) {
        std::uint32_t v;
        std::memcpy(&v, &r[at], 4);
        return v;
    };
    auto f64 = [&](std::size_t at) {
        double v;
        std::memcpy(&v, &r[at], 8);
        return v;
    };
    auto text = [&](std::size_t at) { return std::string(reinterpret_cast<const char*>(&r[at])); };
    EXPECT_EQ(u32(0), 2u);
    EXPECT_EQ(f64(8), 2.5);
    EXPECT_EQ(u32(16), 0x2001u);
    EXPECT_EQ(u32(32), 7u);
    EXPECT_EQ(u32(36), 3u);
    EXPECT_EQ(u32(40), 1u);
    EXPECT_EQ(text(48), "38");
    EXPECT_EQ(text(68), "DRU 38 kHz");
    EXPECT_EQ(u32(168 + 4), 0u);
    EXPECT_EQ(text(176), std::string(19, 'S'));
    EXPECT_EQ(text(196), std::string(99, 'L'));
    EXPECT_EQ(u32(1064), 1u) << "HBX is stored as 0 or 1";
    EXPECT_EQ(text(1072), "pinger");
    EXPECT_EQ(f64(1280), 3.0);
    EXPECT_EQ(f64(1288), 12.0);
    EXPECT_EQ(u32(1296), 1u);

    COperationControl::Settings back;
    ASSERT_TRUE(COperationControl::ParseRecord(r, back));
    EXPECT_EQ(back.displays[1].sLongChannelID, std::string(99, 'L'));
    EXPECT_EQ(back.SimplePingerPulselength, 12.0);
    auto shorter = r;
    shorter.pop_back();
    EXPECT_FALSE(COperationControl::ParseRecord(shorter, back));
    shorter.resize(1400);
    EXPECT_FALSE(COperationControl::ParseRecord(shorter, back));
}

TEST_F(OperationControl, RegistryOverridesTheFileAndSequencesDoNotSurvive)
{
    COperationControl::Settings s;
    s.enumSpeed = 2;
    s.PingInterval = 2.5;
    s.enumNormalSequence = 1;
    s.iSequence = 4;
    const auto record = COperationControl::BuildRecord(s);
    std::ofstream(folder / "OperationControl.sav", std::ios::binary)
        .write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    HKEY normal = reg.OpenKey(CRegistrySupport::UserRootKey(), "OperationControl\\Normal", TRUE);
    reg.SetDword(normal, "", "enumSpeed", 1);
    reg.SetDword(normal, "", "enumNormalSequence", 1);
    op.Init();
    EXPECT_EQ(op.NormalBlock().enumSpeed, 1) << "the registry value stands";
    EXPECT_EQ(op.NormalBlock().PingInterval, 2.5) << "the file gives what the registry lacks";
    EXPECT_EQ(op.NormalBlock().iSequence, 4);
    EXPECT_EQ(op.NormalBlock().enumNormalSequence, 0);
    double written = 0.0;
    EXPECT_TRUE(reg.GetDouble(normal, "", "PingInterval", written, FALSE));
    EXPECT_EQ(written, 2.5);
    reg.CloseKey(normal);

    op.WriteState();
    EXPECT_EQ(std::filesystem::file_size(folder / "OperationControl.sav"), 1304u);
}

// Rates and times that no dialog gives, from a hand-edited hive or a damaged
// file, are passed over: what stood before them is kept, and Play hands the
// sounder an interval it can count.
TEST_F(OperationControl, StoredValuesTheDialogRefusesArePassedOver)
{
    COperationControl::Settings s;
    s.enumSpeed = 2;
    s.PingInterval = 2.5;
    s.SimplePingerInterval = 3.0;
    s.SimplePingerPulselength = 20.0;
    const auto write = [&](const COperationControl::Settings& block) {
        const auto record = COperationControl::BuildRecord(block);
        std::ofstream(folder / "OperationControl.sav", std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    };
    write(s);
    HKEY normal = reg.OpenKey(CRegistrySupport::UserRootKey(), "OperationControl\\Normal", TRUE);
    reg.SetDword(normal, "", "enumSpeed", 0xFFFFFFFF);
    reg.SetString(normal, "", "PingInterval", "nan");
    reg.SetString(normal, "", "SimplePingerInterval", "inf");
    reg.SetString(normal, "", "SimplePingerPulselength", "-1");
    Install("UNIT", 1);
    op.Init();
    EXPECT_EQ(op.NormalBlock().enumSpeed, 2);
    EXPECT_EQ(op.NormalBlock().PingInterval, 2.5);
    EXPECT_EQ(op.NormalBlock().SimplePingerInterval, 3.0);
    EXPECT_EQ(op.NormalBlock().SimplePingerPulselength, 20.0);

    COperationControl::PostRestart();
    ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() != nullptr && !op.IsBusy(); }, 10s));
    op.OnCommand(app::cmd::PLAY);
    EXPECT_EQ(op.GetEchoSounder()->GetInterval(), 25000000);
    COperationControl::PostCommand(0);
    ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() == nullptr && !op.IsBusy(); }, 10s));

    // The file's own values, where the hive has none.
    COperationControl::Settings broken;
    broken.enumSpeed = 9;
    broken.PingInterval = 1e300;
    broken.SimplePingerInterval = std::numeric_limits<double>::quiet_NaN();
    broken.SimplePingerPulselength = -std::numeric_limits<double>::infinity();
    COperationControl::Settings read;
    ASSERT_TRUE(COperationControl::ParseRecord(COperationControl::BuildRecord(broken), read));
    const COperationControl::Settings defaults;
    EXPECT_EQ(read.enumSpeed, defaults.enumSpeed);
    EXPECT_EQ(read.PingInterval, defaults.PingInterval);
    EXPECT_EQ(read.SimplePingerInterval, defaults.SimplePingerInterval);
    EXPECT_EQ(read.SimplePingerPulselength, defaults.SimplePingerPulselength);
    reg.CloseKey(normal);
}

// A sounder started in interval mode, at program start or by a restart from
// "Operation...", pings at the interval in force from the first ping on.
TEST_F(OperationControl, ASounderStartedInIntervalModePingsAtTheIntervalInForce)
{
    COperationControl::Settings s;
    s.enumSpeed = CEchoSounder::kInterval;
    s.PingInterval = 2.5;
    const auto record = COperationControl::BuildRecord(s);
    std::ofstream(folder / "OperationControl.sav", std::ios::binary)
        .write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    Install("UNIT", 1);
    op.Init();
    COperationControl::PostRestart();
    ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() != nullptr && !op.IsBusy(); }, 10s));
    EXPECT_EQ(op.GetEchoSounder()->GetRateMode(), CEchoSounder::kInterval);
    EXPECT_EQ(op.GetEchoSounder()->GetInterval(), 25000000);
    COperationControl::PostCommand(0);
    ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() == nullptr && !op.IsBusy(); }, 10s));
}

// Settings that cannot be written at the close are reported, never passed
// off as saved: an alarm, and the event log with the path and the cause.
TEST_F(OperationControl, StateThatCannotBeWrittenIsReported)
{
    const std::string events = (std::filesystem::path(hives.Folder()) / "events.log").string();
    setenv("ZELVAR_EVENTLOG_FILE", events.c_str(), 1);
    op.Init();
    // Where the file is written first stands a folder (a read-only folder
    // does not stop a test run by root).
    std::filesystem::create_directories(folder / "OperationControl.sav.new" / "in the way");
    op.Close();
    EXPECT_TRUE(PumpUntil(
        [&] {
            for (const auto& e : log.Entries())
                if (e == "message " + std::to_string(app::WM_ES_STATUSMESSAGE) + " " +
                             std::to_string(app::ids::SETTINGS_NOT_SAVED))
                    return true;
            return false;
        },
        10s))
        << "an alarm";
    std::ifstream in(events);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(text.find("Settings not saved: " + (folder / "OperationControl.sav.new").string() + ": Is a directory"),
              std::string::npos)
        << text;
    EXPECT_FALSE(std::filesystem::exists(folder / "OperationControl.sav"));
    unsetenv("ZELVAR_EVENTLOG_FILE");
}

TEST_F(OperationControl, FileOfAnotherSizeIsNotRead)
{
    COperationControl::Settings s;
    s.enumSpeed = 2;
    auto record = COperationControl::BuildRecord(s);
    record.resize(1000);
    std::ofstream(folder / "OperationControl.sav", std::ios::binary)
        .write(reinterpret_cast<const char*>(record.data()), static_cast<std::streamsize>(record.size()));
    op.Init();
    EXPECT_EQ(op.NormalBlock().enumSpeed, 0);
}

TEST_F(OperationControl, FactorySettingsRemoveOnlyTheSavedSettingsFiles)
{
    op.Init();
    const auto settings = std::filesystem::path(op.GetSettingsFolder());
    std::filesystem::create_directories(settings);
    const std::vector<std::string> removed = {"Normal a.ser", "Replay b.ser", "User c.ser",
                                              "Normal \"; touch pwned; \".ser", "Normal $(touch pwned2).ser"};
    const std::vector<std::string> kept = {"Other.ser", "Normal keep.txt", "normal lower.ser"};
    for (const auto& n : removed)
        std::ofstream(settings / n) << "x";
    for (const auto& n : kept)
        std::ofstream(settings / n) << "x";
    HKEY op1 = reg.OpenKey(CRegistrySupport::UserRootKey(), "OperationControl\\Operation\\Normal\\Stale", TRUE);
    reg.CloseKey(op1);
    op.NormalBlock().enumSpeed = 2;

    op.ExecuteCommand(app::OC_FACTORY_SETTINGS, 0);
    for (const auto& n : removed)
        EXPECT_FALSE(std::filesystem::exists(settings / n)) << n;
    for (const auto& n : kept)
        EXPECT_TRUE(std::filesystem::exists(settings / n)) << n;
    for (const char* n : {"pwned", "pwned2"}) {
        EXPECT_FALSE(std::filesystem::exists(settings / n));
        EXPECT_FALSE(std::filesystem::exists(n));
    }
    EXPECT_EQ(op.NormalBlock().enumSpeed, 0);
    HKEY stale = nullptr;
    EXPECT_NE(RegOpenKeyEx(CRegistrySupport::UserRootKey(), "OperationControl\\Operation\\Normal\\Stale", 0, KEY_READ,
                           &stale),
              ERROR_SUCCESS);
    ASSERT_TRUE(PumpUntil([&] { return log.Size() >= 3; }, 5s));
    EXPECT_EQ(log.Entries()[1], "message " + std::to_string(app::WM_ES_HIDEREPLAYBUTTONS) + " 0");
    EXPECT_EQ(log.Entries()[2], "delete layout") << "the restart ran";
}

TEST_F(OperationControl, ReplayWithoutFilesStartsNothing)
{
    op.Init();
    CReplayFileList empty;
    COperationControl::PostStartWithFiles(&empty);
    COperationControl::PostStartWithFiles(nullptr);
    ASSERT_TRUE(PumpUntil([&] { return log.Size() >= 4 && !op.IsBusy(); }, 5s));
    EXPECT_EQ(op.GetEchoSounder(), nullptr);
    for (const auto& e : log.Entries())
        EXPECT_NE(e, "create layout");
}

TEST_F(OperationControl, NormalStartRebuildsTheDisplaysFromTheChannels)
{
    Install("UNIT", 2);
    op.Init();
    op.NormalBlock().displays[0] = {1, 1, "old", "a channel that is gone"};
    op.NormalBlock().displays[5] = {1, 1, "x", "y"};
    COperationControl::PostRestart();
    ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() != nullptr && !op.IsBusy(); }, 10s));
    ASSERT_EQ(op.GetEchoSounder()->GetChannelCount(), 2);
    ASSERT_TRUE(PumpUntil([&] { return displays[0].bExists == 1; }, 5s));
    EXPECT_EQ(displays[0].sLongChannelID, "UNIT 1");
    EXPECT_EQ(displays[1].sLongChannelID, "UNIT 2");
    EXPECT_EQ(displays[1].sShortChannelID, "UNIT2");
    EXPECT_EQ(displays[5].bExists, 0);
    EXPECT_EQ(op.NormalBlock().displays[1].sLongChannelID, "UNIT 2");
    EXPECT_EQ(op.GetMode(), CEchoSounder::kNormal);

    COperationControl::PostCommand(0);
    ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() == nullptr && !op.IsBusy(); }, 10s));
}

TEST_F(OperationControl, ChosenFolderBecomesTheProfile)
{
    struct Case
    {
        const char* chosen;
        const char* profile;
    };
    const Case cases[] = {
        {"/p/Settings/Survey", "Survey"},
        {"/p/Settings/Survey/", "Survey"},
        {"/p/Settings/Default", ""},
        {"/p/Settings", ""},
        {"/p/Settings/", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(COperationControl::ProfileFromFolder("/p/Settings/", c.chosen), c.profile) << c.chosen;

    op.Init();
    std::string stored = "unchanged";
    auto& h = host;
    h = CTestOperationHost{};
    h.setProfile = [&](const std::string& p) { stored = p; };
    h.statusBarModel = [&](SounderModel) { log.Add("stopped"); };
    op.SetHost(&h);
    op.SelectUserProfile((folder / "Settings" / "Trawl").string());
    EXPECT_EQ(stored, "Trawl");
    EXPECT_TRUE(std::filesystem::exists(folder / "OperationControl.sav"));
    // The stop follows with the command that starts the sounder again.
    ASSERT_TRUE(PumpUntil([&] { return log.Size() >= 3; }, 5s));
    EXPECT_EQ(log.Entries()[0], "message " + std::to_string(app::WM_ES_UPDATETITLE) + " 0");
    EXPECT_EQ(log.Entries()[1], "stopped");
    EXPECT_EQ(log.Entries()[2], "message 273 32858");
}

namespace {

// "Operation..." against a sounder of test units (normal operation) or of a
// test unit standing in for replay; the dialog is the test's function.
class OperationDialog : public OperationControl
{
protected:
    void SetUp() override
    {
        OperationControl::SetUp();
        const auto unit = sounderHost.createTransceiver;
        sounderHost.createTransceiver = [this, unit](TransceiverType t, int index, const InstalledTransceiverInfo& info,
                                                     HKEY key) {
            ++started;
            return unit(t, index, info, key);
        };
        sounderHost.createReplay = [this](const CReplayFileList* files, HKEY) -> std::unique_ptr<CTransceiver> {
            // As replay: a file that cannot be opened starts nothing.
            if (!files || files->IsEmpty() || !std::filesystem::exists(files->GetFileName(0)))
                return nullptr;
            ++started;
            replayedFirst = files->GetFileName(0);
            CTestTransceiver::Options o;
            o.name = "REPLAY";
            return std::make_unique<CTestTransceiver>(o);
        };
    }
    // A list of one file, which exists unless it is called "missing.raw".
    CReplayFileList Files(const std::string& name) const
    {
        if (name != "missing.raw")
            std::ofstream(folder / name) << "raw";
        CReplayFileList list;
        list.AddTail((folder / name).string());
        return list;
    }
    // Until every command posted so far has run.
    bool Settle()
    {
        PumpUntil([] { return false; }, 100ms);
        return PumpUntil([&] { return !op.IsBusy(); }, 10s);
    }
    int started = 0;  // sounders made, counted by their first transceiver
    std::string replayedFirst;
};

}  // namespace

// What OK changes: the running sounder in place where only its pacing
// changes, a restart where the mode, the replayed files or the simple pinger
// change; Cancel changes nothing at all. "Change SVP profile" reaches the
// environment only with files taken on OK.
TEST_F(OperationDialog, OkChangesTheSounderInPlaceOrRestartsIt)
{
    const auto newInterval = [](SOperationDialogValues& v) {
        v.rate = CEchoSounder::kInterval;
        v.interval = 2.5;
    };
    struct Row
    {
        const char* legend;
        bool replaying;
        std::function<void(SOperationDialogValues&)> edit;
        bool ok;
        bool restarts;
        bool svp;
    };
    const Row rows[] = {
        {"a new interval while running", false, newInterval, true, false, false},
        {"the same while replaying", true, newInterval, true, false, false},
        {"new files while replaying", true,
         [this](SOperationDialogValues& v) {
             v.files = Files("new.raw");
             v.newFiles = true;
             v.changeSvp = true;
         },
         true, true, true},
        {"replay instead of normal operation", false,
         [this](SOperationDialogValues& v) {
             v.mode = CEchoSounder::kReplay;
             v.files = Files("new.raw");
         },
         true, true, false},
        {"the simple pinger's interval", false, [](SOperationDialogValues& v) { v.simplePingerInterval = 4.0; }, true,
         true, false},
        {"the sounder stopped while the dialog is up", false,
         [this, newInterval](SOperationDialogValues& v) {
             newInterval(v);
             COperationControl::PostCommand(0);
             EXPECT_TRUE(PumpUntil([&] { return op.GetEchoSounder() == nullptr && !op.IsBusy(); }, 10s));
         },
         true, true, false},
        {"Cancel after editing everything", false,
         [this, newInterval](SOperationDialogValues& v) {
             newInterval(v);
             v.mode = CEchoSounder::kReplay;
             v.files = Files("new.raw");
             v.newFiles = true;
             v.changeSvp = true;
         },
         false, false, false},
    };
    Install("UNIT", 2);
    op.Init();
    host.channelNames = {"UNIT 1", "UNIT 2"};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        const CReplayFileList old = Files("old.raw");
        if (r.replaying)
            COperationControl::PostStartWithFiles(&old);
        else
            COperationControl::PostRestart();
        ASSERT_TRUE(Settle());
        ASSERT_NE(op.GetEchoSounder(), nullptr);
        const int before = started;
        const double interval = op.GetSettingsInForce().PingInterval;
        host.environmentUpdateFlag = false;
        int shown = 0;
        host.operationDialog = [&](SOperationDialogValues& v) {
            ++shown;
            EXPECT_EQ(v.mode, r.replaying ? CEchoSounder::kReplay : CEchoSounder::kNormal);
            EXPECT_EQ(v.installedChannels, 2);
            r.edit(v);
            return r.ok;
        };
        op.OnCommand(app::cmd::OPERATION);
        ASSERT_TRUE(Settle());
        EXPECT_EQ(shown, 1);
        ASSERT_NE(op.GetEchoSounder(), nullptr);
        EXPECT_EQ(started - before, r.restarts ? 1 : 0);
        if (r.ok && !r.restarts) {
            EXPECT_EQ(op.GetEchoSounder()->GetRateMode(), CEchoSounder::kInterval);
            EXPECT_EQ(op.GetEchoSounder()->GetInterval(), 25000000);
            EXPECT_EQ(op.GetSettingsInForce().PingInterval, 2.5) << "Play after Pause keeps it";
        }
        if (!r.ok) {
            EXPECT_EQ(op.GetSettingsInForce().PingInterval, interval);
        }
        if (r.restarts && op.GetMode() == CEchoSounder::kReplay) {
            EXPECT_EQ(replayedFirst, (folder / "new.raw").string());
        }
        EXPECT_EQ(host.environmentUpdateFlag, r.svp);
    }
}

// Without an installed channel the dialog opens in replay mode; with none
// running (after a stop, or when nothing could start), OK starts the sounder
// or the replay again.
TEST_F(OperationDialog, OkStartsAgainWhenNothingRuns)
{
    op.Init();
    const CReplayFileList bad = Files("missing.raw");
    COperationControl::PostStartWithFiles(&bad);
    ASSERT_TRUE(Settle());
    ASSERT_EQ(op.GetEchoSounder(), nullptr);
    host.operationDialog = [&](SOperationDialogValues& v) {
        EXPECT_EQ(v.mode, CEchoSounder::kReplay);
        EXPECT_EQ(v.installedChannels, 0);
        v.files = Files("good.raw");
        v.newFiles = true;
        return true;
    };
    op.OnCommand(app::cmd::OPERATION);
    ASSERT_TRUE(Settle());
    ASSERT_NE(op.GetEchoSounder(), nullptr);
    EXPECT_EQ(replayedFirst, (folder / "good.raw").string());

    COperationControl::PostCommand(0);
    ASSERT_TRUE(Settle());
    ASSERT_EQ(op.GetEchoSounder(), nullptr);
    host.operationDialog = [&](SOperationDialogValues& v) {
        EXPECT_TRUE(v.files.has_value()) << "the list replayed last is offered again";
        return true;
    };
    op.OnCommand(app::cmd::OPERATION);
    ASSERT_TRUE(Settle());
    EXPECT_NE(op.GetEchoSounder(), nullptr);
}

// "Pinger Mode": a synchronisation that fails brings the dialog back; any
// other rate clears the pinger's active flag.
TEST_F(OperationDialog, AFailedPingerSynchronisationReopensTheDialog)
{
    Install("UNIT", 1);
    op.Init();
    host.channelNames = {"UNIT 1"};
    host.pingerMode = true;
    std::vector<int> rates = {CEchoSounder::kPinger, CEchoSounder::kPinger, CEchoSounder::kMaximumRate};
    std::size_t shown = 0;
    host.operationDialog = [&](SOperationDialogValues& v) {
        EXPECT_TRUE(v.pingerAvailable);
        v.rate = rates[shown++];
        return true;
    };
    int synchronisations = 0;
    host.synchronisePinger = [&] { return ++synchronisations == 2; };
    std::vector<bool> active;
    host.pingerActive = [&](bool on) { active.push_back(on); };
    op.OnCommand(app::cmd::OPERATION);
    EXPECT_EQ(shown, 2u);
    EXPECT_EQ(synchronisations, 2);
    EXPECT_TRUE(active.empty());
    op.OnCommand(app::cmd::OPERATION);
    EXPECT_EQ(shown, 3u);
    EXPECT_EQ(active, std::vector<bool>{false});
    ASSERT_TRUE(Settle());
}

// The telegram decoder on the network reader's thread, and the sounder's own
// threads, ask whether a sounder runs and in which mode while the
// user-interface thread starts and deletes it.
TEST_F(OperationControl, RunningSounderIsAskedFromOtherThreadsWhileItComesAndGoes)
{
    Install("UNIT", 1);
    op.Init();
    std::atomic<bool> seen{false};
    struct Asker
    {
        std::atomic<bool> stop{false};
        std::thread thread;
        ~Asker()
        {
            stop = true;
            thread.join();
        }
    } asker;
    asker.thread = std::thread([&] {
        while (!asker.stop) {
            if (op.GetEchoSounder() != nullptr && op.GetMode() == CEchoSounder::kNormal)
                seen = true;
            // As the telegram decoder does from the network reader: the
            // sounder is used, not only looked at, while it may be going.
            op.WithRunningSounder([](CEchoSounder& sounder) { sounder.SetPingRecord(1, 2); });
        }
    });
    for (int round = 0; round < 3; ++round) {
        seen = false;
        COperationControl::PostRestart();
        ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() != nullptr && !op.IsBusy(); }, 10s));
        EXPECT_TRUE(PumpUntil([&] { return seen.load(); }, 10s)) << round;
        COperationControl::PostCommand(0);
        ASSERT_TRUE(PumpUntil([&] { return op.GetEchoSounder() == nullptr && !op.IsBusy(); }, 10s));
    }
}
