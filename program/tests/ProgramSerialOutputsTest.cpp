// The remote display, the lobe link and the serial I/O hub inside the
// running program, each on a pseudo-terminal the program finds under a COM
// name: the remote display gets the replayed bottom of its channel in both
// formats, at most five lines a second; the lobe peer's commands reach the
// main frame and get their replies, the transceiver items from the replayed
// channel; the hub's peer program reads every depth telegram of a replay
// and sends it a cast, which is stored and applied once; the hub's dialog
// opens the port settings, their help and the line's statistics.
#include "app/Help.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "outputs/Lobe.h"
#include "outputs/QYSerial.h"
#include "outputs/RDDialog.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "program/tests/TestProgram.h"
#include "program/tests/TestSocatLine.h"
#include "recording/Replay.h"
#include "sensors/Environment.h"
#include "sensors/SvpProfile.h"
#include "serialcom/device/DepthTelegram.h"
#include "serialcom/tests/TovrelixTestSupport.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

void SetPort(const std::string& settingId, const std::string& port)
{
    HKEY key = nullptr;
    const std::string section = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                            static_cast<DWORD>(port.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

struct SLine
{
    SLine(const std::string& settingId, int com) : env(("ZELVAR_COM" + std::to_string(com)).c_str(), pty.Name().c_str())
    {
        SetPort(settingId, "COM" + std::to_string(com));
    }
    // What has come so far, the user interface running meanwhile, until
    // done says it is enough.
    std::string ReadUntil(const std::function<bool(const std::string&)>& done, int timeoutMs = 10000)
    {
        WaitFor(
            [&] {
                got += pty.Read(1 << 20, 0);
                return done(got);
            },
            timeoutMs);
        return got;
    }
    CPtyPair pty;
    ScopedEnv env;
    std::string got;
};

class ProgramSerialOutputs : public ::testing::Test
{
protected:
    ProgramSerialOutputs() { QtApp(); }
    ~ProgramSerialOutputs() override { program.reset(); }

    void Start(const char* model)
    {
        program = MakeProgram(TestProgramOptions({model}));
        ASSERT_TRUE(program->Start());
    }

    // The demo recording, replayed at the rate given.
    CEchoSounder* ReplayDemo(int rate)
    {
        std::ifstream in(ZELVAR_DEMO_SCENE);
        std::stringstream text;
        text << in.rdbuf();
        zv::recgen::SRecGenScene scene;
        std::string error;
        EXPECT_TRUE(zv::recgen::ApplySceneText(scene, text.str(), &error)) << error;
        const fs::path path = env.Root() / "demo.raw";
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(path.string(), nullptr, &error)) << error;
        SOperationDialogValues values = program->Operation().OperationDialogValues();
        values.mode = CEchoSounder::kReplay;
        values.rate = rate;
        CReplayFileList list;
        list.AddTail(path.string());
        list.m_loop = 1;
        values.files = list;
        values.newFiles = true;
        program->Operation().ApplyOperationDialog(values);
        CEchoSounder* sounder = nullptr;
        EXPECT_TRUE(WaitFor(
            [&] {
                sounder = program->Operation().GetEchoSounder();
                return sounder && sounder->GetChannelCount() > 0;
            },
            10000));
        return sounder;
    }

    ShellEnvironment env;
    AnswerMessageBoxes boxes;
    std::unique_ptr<app::CProgram> program;
};

TEST_F(ProgramSerialOutputs, RemoteDisplayShowsTheReplayedBottom)
{
    SLine line("RemoteDisplay", 8);
    Start("QY310");
    CRDDialog* display = program->Application().Sensor<CRDDialog>(app::SensorId::RemoteDisplay);
    ASSERT_NE(display, nullptr);
    ASSERT_NE(display->GetSettingsKey(), nullptr);
    display->ApplySettings({1, CRDDialog::kRD1, 0});
    EXPECT_EQ(display->GetTxProtocolName(), "ASCII");
    CEchoSounder* sounder = ReplayDemo(CEchoSounder::kMaximumRate);
    ASSERT_NE(sounder, nullptr);

    const std::regex number(R"([ 0-9]{4}\.[0-9]\r\n)");
    std::string text = line.ReadUntil([](const std::string& got) { return got.size() >= 8 * 6; });
    ASSERT_GE(text.size(), 8u * 6) << text;
    for (std::size_t at = 0; at + 8 <= text.size(); at += 8)
        EXPECT_TRUE(std::regex_match(text.substr(at, 8), number)) << text;

    // The other format from the next ping on.
    display->ApplySettings({1, CRDDialog::kNMEA, 0});
    line.got.clear();
    text = line.ReadUntil([](const std::string& got) {
        const auto start = got.find('$');
        return start != std::string::npos && got.find('*', start) != std::string::npos;
    });
    EXPECT_NE(text.find('$'), std::string::npos) << text;

    // The settings went to the program's key and survive the object.
    display->ApplySettings({0, CRDDialog::kNMEA, 1});
    EXPECT_EQ(display->GetTxProtocolName(), "");
    CRegistrySupport reg;
    DWORD channel = 0;
    EXPECT_TRUE(reg.GetDword(display->GetSettingsKey(), "", "RemoteChannel", channel, FALSE));
    EXPECT_EQ(channel, 1u);
}

TEST_F(ProgramSerialOutputs, LobeCommandsGetTheirReplies)
{
    SLine line("Lobe", 7);
    Start("TQ30");
    CLobe* lobe = program->Application().Sensor<CLobe>(app::SensorId::Lobe);
    ASSERT_NE(lobe, nullptr);
    EXPECT_EQ(lobe->GetRxProtocolName(), "ASCII_CR");
    EXPECT_EQ(lobe->GetTxProtocolName(), "ASCII");
    const auto reply = [&](const std::string& command) {
        line.got.clear();
        line.pty.Write(command + "\r");
        return line.ReadUntil([](const std::string& got) { return got.find("\r\r\n") != std::string::npos; });
    };

    const std::regex version(R"(PR,[0-9]{8},/TEST MENU/Version=TQ250 [0-9]+\.[0-9]+\.[0-9]+\.[0-9]+\r\r\n)");
    const std::string v = reply("/TEST MENU/Version");
    EXPECT_TRUE(std::regex_match(v, version)) << v;
    EXPECT_EQ(reply("/SER/Telegram/Echo-Trace=1").substr(11), "/SER/Telegram/Echo-Trace=1\r\r\n");
    EXPECT_TRUE(lobe->IsEchoTraceOn());
    // No sounder: no transceiver items; the commands are answered in order,
    // so the version's reply comes alone.
    const std::string none = reply("/TRANSCEIVER/Transceiver-1 Menu/Pulse Length\r/TEST MENU/Version");
    EXPECT_TRUE(std::regex_match(none, version)) << none;

    ASSERT_NE(ReplayDemo(CEchoSounder::kSingleStep), nullptr);
    const std::regex pulse(
        R"(PR,[0-9]{8},/TRANSCEIVER MENU/Transceiver-1 Menu/Pulse Length=[0-9]+\.[0-9]{3} ms\r\r\n)");
    const std::string p = reply("/TRANSCEIVER/Transceiver-1 Menu/Pulse Length");
    EXPECT_TRUE(std::regex_match(p, pulse)) << p;
    const std::string gain = reply("/TRANSCEIVER/Transceiver-1 Menu/TS Transd. Gain");
    EXPECT_NE(gain.find("TS Transd. Gain="), std::string::npos) << gain;
    EXPECT_NE(gain.find(" dB\r\r\n"), std::string::npos) << gain;
}

// One telegram as the hub's peer program read it: what it decoded (the
// kind and its numbers, the fixed-width record's channel first) and the
// line as it came.
struct SPeerTelegram
{
    std::string kind;
    std::vector<double> values;
    std::string line;
};

// The peer's whole lines so far (printed with --raw).
std::vector<SPeerTelegram> PeerTelegrams(const fs::path& output)
{
    std::ifstream in(output, std::ios::binary);
    std::stringstream whole;
    whole << in.rdbuf();
    std::string text = whole.str();
    text.erase(text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1);
    std::vector<SPeerTelegram> telegrams;
    std::istringstream lines(text);
    for (std::string printed; std::getline(lines, printed);) {
        const auto tab = printed.find('\t');
        SPeerTelegram t;
        t.line = tab == std::string::npos ? printed : printed.substr(tab + 1);
        std::istringstream words(printed.substr(0, tab));
        words >> t.kind;
        if (t.kind == "D") {
            std::string time;
            words >> time;
        }
        for (double v; words >> v;)
            t.values.push_back(v);
        telegrams.push_back(std::move(t));
    }
    return telegrams;
}

// "D1" and "D2" for the fixed-width records of the two channels.
std::string KindOf(const SPeerTelegram& t)
{
    if (t.kind == "D" && !t.values.empty())
        return "D" + std::to_string(static_cast<int>(t.values[0]));
    return t.kind;
}

// Lines of NMEA depth sentences as Debian's python3-nmea2 reads them: one
// printed line each, and whether every one parsed with a valid checksum.
bool ReadWithNmea2(const fs::path& sentences, std::vector<std::string>& read)
{
    const std::string command =
        std::string(ZELVAR_DEBIAN_PYTHON3) + " " + NMEA2_DEPTHS + " " + sentences.string() + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char buffer[512];
    std::string out;
    while (std::fgets(buffer, sizeof buffer, pipe))
        out += buffer;
    const int status = ::pclose(pipe);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        read.push_back(line);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The demo's bottom lies between 50 and 70 m.
bool OnTheDemoBottom(double depth)
{
    return depth >= 45.0 && depth <= 75.0;
}

// The depths below the surface a telegram carries (DBT has none: its depth
// is below the transducer).
std::vector<double> DepthsOf(const SPeerTelegram& t)
{
    const std::string k = KindOf(t);
    if (k == "DPT" && t.values.size() == 2)
        return {t.values[0] + t.values[1]};
    if ((k == "DBS" || k == "D1" || k == "D2") && t.values.size() >= 2)
        return {t.values[1]};
    if ((k == "DA" || k == "DB") && t.values.size() == 1)
        return {t.values[0]};
    if (k == "PSDF" && t.values.size() == 6)
        return {t.values[2] / 100.0, t.values[3] / 100.0};
    return {};
}

// The serial I/O hub on a socat line with its peer program at the far end,
// every depth telegram on for both channels of the replayed demo: the peer
// decodes each with its own codecs, python3-nmea2 reads the NMEA sentences
// as valid, and every telegram carries the replayed bottom of its channel,
// the same depth in every form one ping's telegrams take.
TEST_F(ProgramSerialOutputs, SerialHubPeerReadsTheReplayedBottom)
{
    CSocatLine line(env.Root(), CQYSerial::kSettingId, 11);
    ASSERT_TRUE(line.IsUp());
    const fs::path output = env.Root() / "peer.txt";
    CChildProcess peer(ZVSERIALPEER, {"zvserialpeer", "--port", line.SimEnd(), "--raw"}, output.string());
    Start("QY310");
    CQYSerial* hub = program->Application().Sensor<CQYSerial>(app::SensorId::SerialOutput);
    ASSERT_NE(hub, nullptr);
    ASSERT_TRUE(hub->IsPortOpen());
    CQYSerial::Settings s = hub->GetSettings();
    s.NMEADestination = 0;
    s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
    s.AtlasChannel = {1, 1, 0, 0};
    s.FZChannel = {1, 1, 0, 0};
    s.ZelvarChannel = {1, 1, 0, 0};
    hub->StoreSettings(s);
    ASSERT_NE(ReplayDemo(CEchoSounder::kMaximumRate), nullptr);

    const std::vector<std::string> kinds = {"DPT", "DBT", "DBS", "DB", "D1", "PSDF", "DA", "D2"};
    std::vector<SPeerTelegram> telegrams;
    // Enough pings after the first, which find no bottom yet (depth 0).
    std::map<std::string, int> onBottom;
    const bool enough = WaitFor(
        [&] {
            telegrams = PeerTelegrams(output);
            onBottom.clear();
            for (const SPeerTelegram& t : telegrams) {
                const auto depths = DepthsOf(t);
                if (!depths.empty() && OnTheDemoBottom(depths[0]))
                    ++onBottom[KindOf(t)];
            }
            return std::all_of(kinds.begin(), kinds.end(),
                               [&](const std::string& k) { return k == "DBT" || onBottom[k] >= 20; });
        },
        60000);
    ASSERT_TRUE(enough) << telegrams.size() << " telegrams";

    // Every one decoded, each depth on the replayed bottom or 0 for none.
    for (const SPeerTelegram& t : telegrams) {
        SCOPED_TRACE(t.line);
        ASSERT_NE(t.kind, "?");
        ASSERT_NE(std::find(kinds.begin(), kinds.end(), KindOf(t)), kinds.end());
        ASSERT_TRUE(t.kind == "DBT" || !DepthsOf(t).empty());
        for (double d : DepthsOf(t))
            EXPECT_TRUE(d == 0.0 || OnTheDemoBottom(d)) << d;
    }

    // One ping's telegrams in their order: DPT, DBT, DBS and DB of the first
    // channel, its record, then "$PSDF," with both channels' depths, DA and
    // the second channel's record. Neighbours of one ping carry one depth.
    const auto near = [](double a, double b) { return std::fabs(a - b) < 0.011; };
    std::map<std::string, int> pairs;
    for (std::size_t i = 0; i + 1 < telegrams.size(); ++i) {
        const SPeerTelegram& a = telegrams[i];
        const SPeerTelegram& b = telegrams[i + 1];
        const std::string ka = KindOf(a), kb = KindOf(b);
        SCOPED_TRACE(a.line + " / " + b.line);
        if (ka == "DPT" && kb == "DBT") {
            EXPECT_TRUE(near(a.values.at(0), b.values.at(1)));
        } else if (ka == "DBT" && kb == "DBS" && i > 0 && KindOf(telegrams[i - 1]) == "DPT") {
            const SPeerTelegram& dpt = telegrams[i - 1];
            EXPECT_TRUE(near(dpt.values.at(0) + dpt.values.at(1), b.values.at(1)));
        } else if (ka == "DBS" && kb == "DB") {
            EXPECT_TRUE(near(a.values.at(1), b.values.at(0)));
        } else if ((ka == "DB" && kb == "D1") || (ka == "DA" && kb == "D2")) {
            EXPECT_TRUE(near(a.values.at(0), b.values.at(1)));
        } else if (ka == "D1" && kb == "PSDF") {
            EXPECT_TRUE(near(a.values.at(1), b.values.at(3) / 100.0));
        } else if (ka == "PSDF" && kb == "DA") {
            EXPECT_TRUE(near(a.values.at(2) / 100.0, b.values.at(0)));
        } else {
            continue;
        }
        ++pairs[ka + kb];
    }
    for (const char* pair : {"DPTDBT", "DBTDBS", "DBSDB", "DBD1", "D1PSDF", "PSDFDA", "DAD2"})
        EXPECT_GE(pairs[pair], 10) << pair;

    // The NMEA sentences as another library reads them.
    const fs::path sentences = env.Root() / "nmea.txt";
    std::vector<const SPeerTelegram*> nmea;
    {
        std::ofstream out(sentences, std::ios::binary);
        for (const SPeerTelegram& t : telegrams)
            if (t.kind == "DPT" || t.kind == "DBT" || t.kind == "DBS") {
                out << t.line << "\r\n";
                nmea.push_back(&t);
            }
    }
    std::vector<std::string> read;
    const bool valid = ReadWithNmea2(sentences, read);
    EXPECT_TRUE(valid) << (read.empty() ? std::string() : read.front());
    ASSERT_EQ(read.size(), nmea.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        std::istringstream words(read[i]);
        std::string type;
        double first = 0.0, second = 0.0;
        words >> type >> first;
        SCOPED_TRACE(read[i] + " / " + nmea[i]->line);
        EXPECT_EQ(type, nmea[i]->kind);
        if (type == "DPT") {
            words >> second;
            EXPECT_TRUE(near(first, nmea[i]->values.at(0)));
            EXPECT_TRUE(near(second, nmea[i]->values.at(1)));
        } else {
            EXPECT_TRUE(near(first, nmea[i]->values.at(1)));
        }
    }
}

// A CALC cast the peer sends: one ".asvp" in the model's profile folder,
// asked about once and applied once with the cast's velocities; the profile
// timer's later ticks find nothing left to store.
TEST_F(ProgramSerialOutputs, SerialHubCastFromThePeerIsStoredAndAppliedOnce)
{
    CSocatLine line(env.Root(), CQYSerial::kSettingId, 11);
    ASSERT_TRUE(line.IsUp());
    Start("QY310");
    CQYSerial* hub = program->Application().Sensor<CQYSerial>(app::SensorId::SerialOutput);
    ASSERT_NE(hub, nullptr);
    ASSERT_TRUE(hub->IsPortOpen());
    CQYSerial::Settings s = hub->GetSettings();
    s.SVPInput = 1;
    hub->StoreSettings(s);
    std::vector<std::string> asked;
    SetMessageBoxPresenter([&](HWND, const std::string& text, const std::string&, UINT) {
        asked.push_back(text);
        return IDYES;
    });
    int dialogs = 0;
    SEnvironmentDialogValues offered;
    program->Environment().SetDialogRunner([&](SEnvironmentDialogValues& v) {
        ++dialogs;
        offered = v;
        return TRUE;
    });
    const fs::path folder = CPaths::MapWindowsPath(CSvpProfile::GetFolder(SounderModel::QY310));
    const auto casts = [&] {
        std::vector<fs::path> found;
        std::error_code ec;
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); ++it)
            if (it->path().extension() == ".asvp")
                found.push_back(it->path());
        return found;
    };

    CChildProcess peer(ZVSERIALPEER, {"zvserialpeer", "--port", line.SimEnd(), "--send", "CALC"},
                       (env.Root() / "peer.txt").string());
    ASSERT_TRUE(WaitFor([&] { return program->Environment().IsRealSvp() != FALSE; }, 30000));
    const auto stored = casts();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(offered.fileName, stored[0].filename().string());
    const auto applied = program->Environment().GetAppliedProfile();
    ASSERT_TRUE(applied);
    ASSERT_GE(applied->velocity.size(), 3u);
    EXPECT_NEAR(applied->velocity.back(), 1488.75, 0.06);  // the file keeps tenths
    EXPECT_NEAR(applied->depth.back(), 15.0, 0.01);

    // Ticks of the profile timer with no line of a cast store nothing.
    hub->StoreSvpProfile();
    hub->StoreSvpProfile();
    EXPECT_FALSE(hub->IsGathering());
    EXPECT_EQ(casts().size(), 1u);
    program.reset();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(dialogs, 1);
    SetMessageBoxPresenter({});
}

// The hub's "Without Heave" is the one every fixed-width record of the
// program follows: the hub's own and any other owner's, through the
// program's depth telegram sources; gone with the hub.
TEST_F(ProgramSerialOutputs, SerialHubHeaveRuleReachesEveryFixedRecord)
{
    SLine line(CQYSerial::kSettingId, 11);
    Start("QY310");
    CQYSerial* hub = program->Application().Sensor<CQYSerial>(app::SensorId::SerialOutput);
    ASSERT_NE(hub, nullptr);
    ASSERT_TRUE(hub->IsPortOpen());
    const IDepthTelegramSources& sources = program->DepthTelegramSources();
    EXPECT_FALSE(sources.IsHubWithoutHeave());

    DepthReport report;
    report.SourceName = "T38 38 kHz";
    report.PingTime = CFileTime::Now();
    report.Depth = 42.5;
    report.DraughtAndOffset = 5.0;
    report.Heave = 1.5;
    const auto record = [&](std::uint32_t withoutHeave) {
        CQYSerial::Settings s = hub->GetSettings();
        s.ZelvarChannel[0] = 1;
        s.ZelvarWithoutHeave = withoutHeave;
        hub->StoreSettings(s);
        report.PingTime += 10'000'000;
        program->ChannelLinks().OnDepthOutputs(report);
        line.got.clear();
        const std::string text =
            line.ReadUntil([](const std::string& got) { return got.find('\n') != std::string::npos; });
        return text.substr(0, text.find('\r'));
    };
    const std::string with = record(0);
    EXPECT_NE(with.find(", 42.50,"), std::string::npos) << with;
    const std::string without = record(1);
    EXPECT_NE(without.find(", 41.00,"), std::string::npos) << without;
    EXPECT_TRUE(sources.IsHubWithoutHeave());
    const std::string other =
        FormatDepthTelegram(sources, kDepthTelegramFixed, 0, 0, report.PingTime, 42.5, 5.0, 0.0, 1.5);
    EXPECT_NE(other.find(", 41.00,"), std::string::npos) << other;

    program->Application().CloseSensors();
    EXPECT_FALSE(sources.IsHubWithoutHeave());
    const std::string after =
        FormatDepthTelegram(sources, kDepthTelegramFixed, 0, 0, report.PingTime, 42.5, 5.0, 0.0, 1.5);
    EXPECT_NE(after.find(", 42.50,"), std::string::npos) << after;
}

// The visible top-level window of that name, or null.
QWidget* ShownWindow(const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return w;
    return nullptr;
}

// "Serial Interface..." opens the hub's dialog: a double click of the
// secondary button while the primary is held shows the line's statistics
// (the port's, the transmit protocol's with what its queue dropped, the
// receive protocol's); "RS232..." opens the component's port settings, whose
// Help asks the running program for the port dialog's help page. While the
// port dialog is open, a channel's depth still goes out from another thread.
TEST_F(ProgramSerialOutputs, SerialInterfaceDialogReachesThePortItsHelpAndStatistics)
{
    SLine line(CQYSerial::kSettingId, 11);
    Start("QY310");
    CQYSerial* hub = program->Application().Sensor<CQYSerial>(app::SensorId::SerialOutput);
    ASSERT_NE(hub, nullptr);
    ASSERT_TRUE(hub->IsPortOpen());
    CQYSerial::Settings s = hub->GetSettings();
    s.ZelvarChannel[0] = 1;
    hub->StoreSettings(s);
    DepthReport report;
    report.SourceName = "T38 38 kHz";
    report.PingTime = CFileTime::Now();
    report.Depth = 42.5;
    std::atomic<bool> sentWhileOpen{false};
    std::vector<std::string> pages;
    program->Application().GetHelp().viewer = [&](const std::string& address) { pages.push_back(address); };

    std::vector<std::string> seen;
    bool statistics = false, dropRows = false, portAsked = false, helpPressed = false;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        const std::string name = dialog->objectName().toStdString();
        if (seen.empty() || seen.back() != name)
            seen.push_back(name);
        if (name == "dialog_226" && !statistics) {
            statistics = true;
            const QPointF at(5, 5);
            QMouseEvent click(QEvent::MouseButtonDblClick, at, dialog->mapToGlobal(at), Qt::RightButton,
                              Qt::LeftButton | Qt::RightButton, Qt::NoModifier);
            QApplication::sendEvent(dialog, &click);
            QWidget* tx = ShownWindow("dialog_10133");
            dropRows = tx && tx->findChild<QLabel*>("ctl_11028") && tx->findChild<QLabel*>("ctl_11029") &&
                       tx->findChild<QLabel*>("ctl_11028")->isVisibleTo(tx);
            if (tx)
                Screenshot(*tx, "serial-hub-tx-statistics");
            return;
        }
        if (name == "dialog_226" && !portAsked) {
            portAsked = true;
            QPushButton* port = nullptr;
            for (QPushButton* b : dialog->findChildren<QPushButton*>())
                if (b->property("controlId").toInt() == 1345)
                    port = b;
            if (port)
                QTimer::singleShot(0, port, &QPushButton::click);
            else
                dialog->reject();
            return;
        }
        if (name == "dialog_10130") {
            auto* help = dialog->findChild<QPushButton*>("ctl_57670");
            if (help && !helpPressed) {
                Screenshot(*dialog, "serial-hub-port-dialog");
                // The ping-data thread does not wait for the dialog.
                std::thread ping([&] {
                    program->ChannelLinks().OnDepthOutputs(report);
                    sentWhileOpen = true;
                });
                WaitFor([&] { return sentWhileOpen.load(); }, 10000);
                ping.join();
                helpPressed = true;
                help->click();
            } else if (!pages.empty() || !help) {
                dialog->reject();
            }
            return;
        }
        dialog->reject();
    });
    watcher.start();
    program->Frame()->RunCommand(app::cmd::SERIAL_INTERFACE);
    watcher.stop();

    EXPECT_EQ(seen, (std::vector<std::string>{"dialog_226", "dialog_10130", "dialog_226"}));
    EXPECT_TRUE(statistics);
    EXPECT_TRUE(helpPressed);
    for (const char* window : {"dialog_10131", "dialog_10133", "dialog_10134"})
        EXPECT_NE(ShownWindow(window), nullptr) << window;
    EXPECT_TRUE(dropRows);
    ASSERT_EQ(pages.size(), 1u);
    const std::string page = app::CHelp::PageForContext(0x200C9);
    EXPECT_EQ(pages[0], app::CHelp::Address(program->Application().GetHelp().HelpFolder(), page));
    EXPECT_TRUE(sentWhileOpen);
    const std::string sent = line.ReadUntil([](const std::string& got) { return got.find('\n') != std::string::npos; });
    EXPECT_EQ(sent.rfind("D1,", 0), 0u) << sent;
    EXPECT_NE(sent.find(", 42.50,"), std::string::npos) << sent;
}

}  // namespace
