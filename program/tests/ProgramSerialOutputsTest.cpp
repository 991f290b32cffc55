// The remote display, the lobe link and the serial I/O hub inside the
// running program, each on a pseudo-terminal the program finds under a COM
// name: the remote display gets the replayed bottom of its channel in both
// formats, at most five lines a second of ping time; the lobe peer's
// commands reach the main frame and get their replies, the transceiver
// items from the replayed channel, and its echo-trace telegrams carry the
// replayed targets; the hub's peer program reads every depth telegram of a
// replay and sends it a cast, which is stored and applied once; the hub's
// dialog opens the port settings, their help and the line's statistics.
#include "app/Help.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "display/EchoTraceDoc.h"
#include "display/ui/EchoTraceView.h"
#include "engine/Channel.h"
#include "engine/TSDetection.h"
#include "outputs/Lobe.h"
#include "outputs/QYSerial.h"
#include "outputs/RDDialog.h"
#include "outputs/ui/LobeDialog.h"
#include "outputs/ui/RemoteDisplayDialog.h"
#include "platform/ChildProcess.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "program/tests/TestLiveSounder.h"
#include "program/tests/TestProgram.h"
#include "program/tests/TestSocatLine.h"
#include "recording/Replay.h"
#include "sensors/Environment.h"
#include "sensors/SvpProfile.h"
#include "serialcom/device/DepthTelegram.h"
#include "serialcom/tests/TovrelixTestSupport.h"
#include "sim/linepeer/LineCodec.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
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

    // A scene's recording with the settings given, replayed at the rate
    // given.
    CEchoSounder* Replay(const char* scenePath, const std::vector<std::string>& settings, int rate)
    {
        std::ifstream in(scenePath);
        std::stringstream text;
        text << in.rdbuf();
        zv::recgen::SRecGenScene scene;
        std::string error;
        EXPECT_TRUE(zv::recgen::ApplySceneText(scene, text.str(), &error)) << error;
        for (const std::string& setting : settings)
            EXPECT_TRUE(zv::recgen::ApplySetting(scene, setting, &error)) << error;
        const fs::path path = env.Root() / "replayed.raw";
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
    CEchoSounder* ReplayDemo(int rate) { return Replay(ZELVAR_DEMO_SCENE, {}, rate); }
    // One ping of a single-step replay, taken by the sounder.
    static bool Step(CEchoSounder& sounder)
    {
        const std::uint64_t pings = sounder.GetPingCount();
        sounder.OnStep();
        return WaitFor([&] { return sounder.GetPingCount() > pings; }, 10000);
    }

    ShellEnvironment env;
    AnswerMessageBoxes boxes;
    std::unique_ptr<app::CProgram> program;
};

// Pings 0.15 s apart: every second one reaches the display, with the
// replayed bottom of its channel, in either format.
TEST_F(ProgramSerialOutputs, RemoteDisplayShowsTheReplayedBottom)
{
    SLine line("RemoteDisplay", 8);
    Start("QY310");
    CRDDialog* display = program->Application().Sensor<CRDDialog>(app::SensorId::RemoteDisplay);
    ASSERT_NE(display, nullptr);
    ASSERT_NE(display->GetSettingsKey(), nullptr);
    display->ApplySettings({1, CRDDialog::kRD1, 1});
    EXPECT_EQ(display->GetTxProtocolName(), "ASCII");
    CEchoSounder* sounder = Replay(ZELVAR_DEMO_SCENE, {"interval=0.15"}, CEchoSounder::kSingleStep);
    ASSERT_NE(sounder, nullptr);
    ASSERT_EQ(sounder->GetChannelCount(), 2);
    CChannel& chosen = *sounder->GetChannel(1);

    std::uint64_t lastOutput = 0;
    for (const DWORD format : {CRDDialog::kRD1, CRDDialog::kNMEA}) {
        display->ApplySettings({1, format, 1});
        line.got.clear();
        std::string expected;
        std::vector<double> depths;
        int pings = 0, sent = 0;
        // Ends on a ping that is sent, so that anything sent for a ping
        // before it has come too.
        while (pings < 12 || lastOutput != chosen.GetPingTime()) {
            ASSERT_TRUE(Step(*sounder));
            ++pings;
            // The sounder counts a ping once its outputs have it; its values
            // stay until the next step.
            const std::uint64_t t = chosen.GetPingTime();
            if (lastOutput != 0 && t - lastOutput < CRDDialog::kMinimumSpacing)
                continue;
            lastOutput = t;
            ++sent;
            const ChannelParameters p = chosen.GetParameters();
            const std::string text = CRDDialog::DepthText(format, 1, t, chosen.GetBottomDepth(), p.TransducerDepth,
                                                          chosen.GetBottomLevelValue(), chosen.GetLastPingValue());
            ASSERT_FALSE(text.empty());
            depths.push_back(chosen.GetBottomDepth());
            // The first ping has no bottom yet.
            if (pings > 1) {
                EXPECT_GT(chosen.GetBottomDepth(), 40.0) << "the demo's bottom lies between 50 and 70 m";
            }
            // The line's transmit protocol ends each text with CR LF once.
            expected += text.ends_with("\r\n") ? text : text + "\r\n";
            const std::string got = line.ReadUntil([&](const std::string& g) { return g.size() >= expected.size(); });
            ASSERT_EQ(got, expected) << "ping " << pings;
        }
        EXPECT_LE(sent, pings / 2 + 1) << "at most five a second of ping time";
        EXPECT_GE(sent, pings / 2);
        // The display's own reading of the lines: each the depth of its ping.
        std::istringstream lines(expected);
        std::size_t n = 0;
        for (std::string l; std::getline(lines, l); ++n) {
            const linepeer::SDisplayLine read = linepeer::DecodeDisplayLine(l + "\n");
            ASSERT_LT(n, depths.size());
            ASSERT_EQ(read.kind, format == CRDDialog::kRD1 ? linepeer::SDisplayLine::EKind::Number
                                                           : linepeer::SDisplayLine::EKind::Telegram)
                << l << " " << read.reason;
            EXPECT_NEAR(read.depth, depths[n], format == CRDDialog::kRD1 ? 0.05 + 1e-9 : 0.01 + 1e-9) << l;
        }
        EXPECT_EQ(n, depths.size());
    }

    // The settings went to the program's key and survive the object.
    display->ApplySettings({0, CRDDialog::kNMEA, 1});
    EXPECT_EQ(display->GetTxProtocolName(), "");
    CRegistrySupport reg;
    DWORD channel = 0;
    EXPECT_TRUE(reg.GetDword(display->GetSettingsKey(), "", "RemoteChannel", channel, FALSE));
    EXPECT_EQ(channel, 1u);

    // The operator's factory settings: all three 0, written, and the line
    // silent.
    display->ApplySettings({1, CRDDialog::kNMEA, 1});
    COperationControl::PostFactorySettings();
    EXPECT_TRUE(WaitFor([&] { return display->GetSettings() == CRDDialog::Settings{}; }, 20000));
    EXPECT_EQ(display->GetTxProtocolName(), "");
    EXPECT_TRUE(reg.GetDword(display->GetSettingsKey(), "", "RemoteChannel", channel, FALSE));
    EXPECT_EQ(channel, 0u);
}

// The remote display's own peer, zvlinepeer, on a socat pair: its codec reads
// the replayed bottom of every ping in both formats, in order.
TEST_F(ProgramSerialOutputs, RemoteDisplayPeerOnASocatLine)
{
    CSocatLine line(env.Root(), "RemoteDisplay", 12);
    ASSERT_TRUE(line.IsUp());
    Start("QY310");
    CRDDialog* display = program->Application().Sensor<CRDDialog>(app::SensorId::RemoteDisplay);
    ASSERT_NE(display, nullptr);
    // Pings further apart than the display's spacing: every one goes out.
    CEchoSounder* sounder = Replay(ZELVAR_DEMO_SCENE, {"interval=0.25"}, CEchoSounder::kSingleStep);
    ASSERT_NE(sounder, nullptr);
    CChannel& chosen = *sounder->GetChannel(0);
    std::vector<std::pair<DWORD, double>> sent;
    for (const DWORD format : {CRDDialog::kRD1, CRDDialog::kNMEA}) {
        display->ApplySettings({1, format, 0});
        for (int k = 0; k < 5; ++k) {
            ASSERT_TRUE(Step(*sounder));
            sent.emplace_back(format, chosen.GetBottomDepth());
        }
    }
    EXPECT_GT(sent.back().second, 40.0) << "the demo's bottom lies between 50 and 70 m";

    // The lines wait on the line until the peer reads them.
    const fs::path log = env.Root() / "display-peer.log";
    std::atomic<bool> done{false};
    std::thread peer([&] {
        ::CChildProcess::Run(
            {ZVLINEPEER, "--line=" + line.SimEnd(), "--decode=display", "--seconds=3", "--log=" + log.string()}, true);
        done = true;
    });
    WaitFor([&] { return done.load(); }, 40000);
    peer.join();
    std::ifstream in(log);
    std::vector<std::string> read;
    for (std::string l; std::getline(in, l);)
        read.push_back(l.substr(l.find(' ') + 1));
    ASSERT_EQ(read.size(), sent.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        const bool number = sent[i].first == CRDDialog::kRD1;
        ASSERT_EQ(read[i].rfind("DEPTH ", 0), 0u) << read[i];
        EXPECT_NE(read[i].find(number ? " NUMBER" : " DPT "), std::string::npos) << read[i];
        EXPECT_NEAR(std::strtod(read[i].c_str() + 6, nullptr), sent[i].second, number ? 0.05 + 1e-9 : 0.01 + 1e-9)
            << read[i];
    }
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

    // The far end's reading of a reply, which is all that came.
    const auto read = [](const std::string& text) {
        linepeer::CLobeDecoder decoder;
        std::vector<linepeer::SLobeMessage> messages = decoder.Feed(text);
        EXPECT_EQ(messages.size(), 1u) << text;
        EXPECT_TRUE(decoder.Pending().empty()) << text;
        return messages.empty() ? linepeer::SLobeMessage{} : messages.front();
    };
    using Kind = linepeer::SLobeMessage::EKind;
    const std::string versionText = "TQ250 " + program->Application().GetFileVersionText();
    const linepeer::SLobeMessage v = read(reply("/TEST MENU/Version"));
    EXPECT_EQ(v.kind, Kind::Reply) << v.reason;
    EXPECT_EQ(v.path, "/TEST MENU/Version");
    EXPECT_EQ(v.value, versionText);
    const linepeer::SLobeMessage echo = read(reply("/SER/Telegram/Echo-Trace=1"));
    EXPECT_EQ(echo.kind, Kind::Echo) << echo.reason;
    EXPECT_EQ(echo.command, "/SER/Telegram/Echo-Trace=1");
    EXPECT_TRUE(lobe->IsEchoTraceOn());
    // No sounder: no transceiver items; the commands are answered in order,
    // so the version's reply comes alone.
    const linepeer::SLobeMessage none = read(reply("/TRANSCEIVER/Transceiver-1 Menu/Pulse Length\r/TEST MENU/Version"));
    EXPECT_EQ(none.kind, Kind::Reply) << none.reason;
    EXPECT_EQ(none.value, versionText);

    ASSERT_NE(ReplayDemo(CEchoSounder::kSingleStep), nullptr);
    const linepeer::SLobeMessage p = read(reply("/TRANSCEIVER/Transceiver-1 Menu/Pulse Length"));
    EXPECT_EQ(p.kind, Kind::Reply) << p.reason;
    EXPECT_EQ(p.channel, 1);
    EXPECT_EQ(p.item, "Pulse Length");
    EXPECT_EQ(p.unit, "ms");
    EXPECT_GT(p.number, 0.0);
    const linepeer::SLobeMessage gain = read(reply("/TRANSCEIVER/Transceiver-1 Menu/TS Transd. Gain"));
    EXPECT_EQ(gain.kind, Kind::Reply) << gain.reason;
    EXPECT_EQ(gain.item, "TS Transd. Gain");
    EXPECT_EQ(gain.unit, "dB");
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
    shelltest::CChildProcess peer(ZVSERIALPEER, {"zvserialpeer", "--port", line.SimEnd(), "--raw"}, output.string());
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

    shelltest::CChildProcess peer(ZVSERIALPEER, {"zvserialpeer", "--port", line.SimEnd(), "--send", "CALC"},
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
// program's depth telegram sources; gone with the hub. A channel kept out
// of the depth outputs sends no record.
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
    // A channel kept out of the depth outputs sends nothing: the first line
    // is the next channel's.
    {
        CQYSerial::Settings s = hub->GetSettings();
        s.ZelvarChannel[0] = 1;
        hub->StoreSettings(s);
        DepthReport excluded = report;
        excluded.Depth = 77.5;
        excluded.Excluded = true;
        program->ChannelLinks().OnDepthOutputs(excluded);
    }
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

// TQ30 replaying a calibration sphere: while echo-trace telegrams are on,
// each ping whose targets the echo trace panes ask for goes out as an E
// telegram with them; before and after, none.
TEST_F(ProgramSerialOutputs, EchoTraceTelegramsCarryTheTargetsOfThePingsAskedFor)
{
    SLine line("Lobe", 7);
    Start("TQ30");
    ASSERT_NE(program->Application().Sensor<CLobe>(app::SensorId::Lobe), nullptr);
    CEchoSounder* sounder = Replay(ZELVAR_CALIBRATION_SCENE, {"pings=40"}, CEchoSounder::kSingleStep);
    ASSERT_NE(sounder, nullptr);
    ASSERT_TRUE(WaitFor([&] { return !program->Frame()->findChildren<CEchoTraceView*>().empty(); }, 10000));
    const CEchoTraceDoc& pane = *program->Frame()->findChildren<CEchoTraceView*>().front()->GetDocument();
    CChannel& channel = *sounder->GetChannel(0);
    // One ping, shown by the pane, which has asked for its targets by then.
    const auto ping = [&] {
        const std::uint64_t shown = pane.Shown().number;
        EXPECT_TRUE(Step(*sounder));
        EXPECT_TRUE(WaitFor([&] { return pane.Shown().number > shown; }, 10000));
    };
    // A command's reply, and whatever came before it.
    const auto reply = [&](const std::string& command) {
        line.got.clear();
        line.pty.Write(command + "\r");
        return line.ReadUntil([](const std::string& got) { return got.find("\r\r\n") != std::string::npos; });
    };
    // The far end's reading of what came: the echo of the command alone.
    const auto echoes = [](const std::string& text, const std::string& command) {
        linepeer::CLobeDecoder decoder;
        const std::vector<linepeer::SLobeMessage> messages = decoder.Feed(text);
        return messages.size() == 1 && decoder.Pending().empty() &&
               messages[0].kind == linepeer::SLobeMessage::EKind::Echo && messages[0].command == command;
    };

    ping();
    ping();
    const std::string on = reply("/SER/Telegram/Echo-Trace=1");
    EXPECT_TRUE(echoes(on, "/SER/Telegram/Echo-Trace=1")) << on;

    const double draught = channel.GetParameters().Draught();
    std::string expected;
    line.got.clear();
    int withTargets = 0;
    for (int k = 0; k < 8; ++k) {
        ping();
        // The pane's request detected them: this one copies the same.
        SingleTargetRecord record;
        ASSERT_EQ(channel.GetSingleTargets(record), 1);
        if (record.Count == 0)
            continue;
        ++withTargets;
        EXPECT_EQ(record.Count, 1) << "the sphere alone";
        EXPECT_NEAR(record.Targets[0].Range, 20.0 + draught, 0.5);
        expected += CLobe::EchoTraceTelegram(0, channel.GetPingTime(), record);
        const std::string got = line.ReadUntil([&](const std::string& g) { return g.size() >= expected.size(); });
        ASSERT_EQ(got, expected);
        // The far end reads the ping's target in it.
        linepeer::CLobeDecoder decoder;
        const std::vector<linepeer::SLobeMessage> read = decoder.Feed(got);
        ASSERT_FALSE(read.empty());
        const linepeer::SLobeMessage& telegram = read.back();
        ASSERT_EQ(telegram.kind, linepeer::SLobeMessage::EKind::Telegram) << telegram.reason;
        EXPECT_EQ(telegram.channel, 1);
        ASSERT_EQ(telegram.targets.size(), 1u);
        EXPECT_NEAR(telegram.targets[0][0], record.Targets[0].Range, 0.005 + 1e-9);
        EXPECT_NEAR(telegram.targets[0][1], record.Targets[0].TS, 0.05 + 1e-9);
    }
    EXPECT_GE(withTargets, 4);
    EXPECT_EQ(expected.rfind("E1,", 0), 0u) << expected;

    const std::string off = reply("/SER/Telegram/Echo-Trace=0");
    EXPECT_TRUE(echoes(off, "/SER/Telegram/Echo-Trace=0")) << off;
    ping();
    ping();
    const std::string v = reply("/TEST MENU/Version");
    linepeer::CLobeDecoder decoder;
    const std::vector<linepeer::SLobeMessage> after = decoder.Feed(v);
    ASSERT_EQ(after.size(), 1u) << "no telegram after the switch: " << v;
    EXPECT_EQ(after[0].kind, linepeer::SLobeMessage::EKind::Reply) << v;
}

// The lobe's own peer, zvlinepeer, on a socat pair: the commands it sends
// get their replies in order, a too short one none, each read by the
// peer's codec.
TEST_F(ProgramSerialOutputs, LobePeerOnASocatLine)
{
    CSocatLine line(env.Root(), CLobe::kSettingId, 9);
    ASSERT_TRUE(line.IsUp());
    Start("TQ30");
    ASSERT_NE(program->Application().Sensor<CLobe>(app::SensorId::Lobe), nullptr);
    ASSERT_NE(ReplayDemo(CEchoSounder::kSingleStep), nullptr);

    const fs::path log = env.Root() / "lobe-peer.log";
    std::atomic<bool> done{false};
    std::thread peer([&] {
        ::CChildProcess::Run({ZVLINEPEER, "--line=" + line.SimEnd(), "--send=/TEST MENU/Version\\r", "--send=/TE\\r",
                              "--send=/TRANSCEIVER/Transceiver-1 Menu/Bandwidth\\r",
                              "--send=/SER/Telegram/Echo-Trace=0\\r", "--gap=300", "--seconds=6", "--decode=lobe",
                              "--log=" + log.string()},
                             true);
        done = true;
    });
    // The user interface answers meanwhile.
    WaitFor([&] { return done.load(); }, 40000);
    peer.join();
    std::ifstream in(log);
    std::vector<std::string> replies;
    for (std::string l; std::getline(in, l);)
        replies.push_back(l.substr(l.find(' ') + 1));
    ASSERT_EQ(replies.size(), 3u);
    const std::string version = "TQ250 " + program->Application().GetFileVersionText();
    EXPECT_EQ(replies,
              (std::vector<std::string>{
                  "REPLY " + replies[0].substr(6, 8) + " /TEST MENU/Version=" + version,
                  "REPLY " + replies[1].substr(6, 8) + " /TRANSCEIVER MENU/Transceiver-1 Menu/Bandwidth=Unknown",
                  "ECHO " + replies[2].substr(5, 8) + " /SER/Telegram/Echo-Trace=0",
              }));
}

// The transceiver items of a replayed channel are the values its recording
// holds (the calibration scene's beam, angle and offset figures).
TEST_F(ProgramSerialOutputs, LobeItemsAreTheReplayedChannelsValues)
{
    SLine line("Lobe", 7);
    Start("TQ30");
    CEchoSounder* sounder = Replay(ZELVAR_CALIBRATION_SCENE, {"pings=10"}, CEchoSounder::kSingleStep);
    ASSERT_NE(sounder, nullptr);
    ASSERT_TRUE(Step(*sounder));
    const std::pair<const char*, const char*> items[] = {
        {"Pulse Length", "1.000 ms"},     {"Bandwidth", "Unknown"},        {"Max. Power", "1000 W"},
        {"TS Transd. Gain", "25.00 dB"},  {"Angle Sens.Along", "21.90"},   {"Angle Sens.Athw.", "23.00"},
        {"3 dB Beamw.Along", "7.00 dg"},  {"3 dB Beamw.Athw.", "7.20 dg"}, {"Alongship Offset", "0.10 dg"},
        {"Athw.ship Offset", "-0.15 dg"},
    };
    for (const auto& [item, value] : items) {
        line.got.clear();
        line.pty.Write(std::string("/TRANSCEIVER/Transceiver-1 Menu/") + item + "\r");
        const std::string reply =
            line.ReadUntil([](const std::string& got) { return got.find("\r\r\n") != std::string::npos; });
        EXPECT_EQ(reply.substr(std::min<std::size_t>(reply.size(), 11)),
                  std::string(",/TRANSCEIVER MENU/Transceiver-1 Menu/") + item + "=" + value + "\r\r\n")
            << reply;
    }
}

// Runs act on the modal dialog of that template once it is up.
void WhenDialog(int templateId, std::function<void(QDialog&)> act, int triesLeft = 200)
{
    QTimer::singleShot(10, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* dialog = qobject_cast<QDialog*>(modal);
            dialog && dialog->objectName() == "dialog_" + QString::number(templateId)) {
            act(*dialog);
            return;
        }
        ASSERT_GT(triesLeft, 0) << "no dialog " << templateId << " came up";
        WhenDialog(templateId, act, triesLeft - 1);
    });
}

// The menu commands open the two dialogs on the running program: the
// remote display's channel buttons carry the replayed channels' names, the
// lobe's monitor shows the lines that come while it is open.
TEST_F(ProgramSerialOutputs, MenuCommandsOpenTheDialogs)
{
    {
        SLine line("RemoteDisplay", 8);
        Start("QY310");
        CEchoSounder* sounder = ReplayDemo(CEchoSounder::kSingleStep);
        ASSERT_NE(sounder, nullptr);
        const std::string first = sounder->GetChannel(0)->GetChannelName();
        const std::string second = sounder->GetChannel(1)->GetChannelName();
        bool shown = false;
        WhenDialog(outputsui::CRemoteDisplayDialog::kTemplate, [&](QDialog& dialog) {
            EXPECT_EQ(Control<QRadioButton>(dialog, 1356)->text().toStdString(), first);
            EXPECT_EQ(Control<QRadioButton>(dialog, 1357)->text().toStdString(), second);
            EXPECT_TRUE(Control<QRadioButton>(dialog, 1357)->isEnabled());
            EXPECT_FALSE(Control<QRadioButton>(dialog, 1358)->isEnabled());
            EXPECT_TRUE(Screenshot(dialog, "program-remote-display-dialog"));
            shown = true;
            dialog.reject();
        });
        program->Frame()->RunCommand(app::cmd::REMOTE_DISPLAY);
        EXPECT_TRUE(shown);
        program.reset();
    }
    SLine line("Lobe", 7);
    Start("TQ30");
    bool shown = false;
    WhenDialog(outputsui::CLobeDialog::kTemplate, [&](QDialog& dialog) {
        auto* monitor = dialog.findChild<QPlainTextEdit*>("monitor");
        ASSERT_NE(monitor, nullptr);
        line.pty.Write("/TEST MENU/Version\r/SER/Telegram/Echo-Trace=1\r");
        EXPECT_TRUE(WaitFor([&] { return monitor->toPlainText().contains("Echo-Trace=1"); }, 10000));
        EXPECT_TRUE(monitor->toPlainText().contains("/TEST MENU/Version"));
        auto* echoTrace = dialog.findChild<QCheckBox*>("echoTrace");
        ASSERT_NE(echoTrace, nullptr);
        EXPECT_TRUE(WaitFor([&] { return echoTrace->isChecked(); }, 10000)) << "switched by the command";
        EXPECT_TRUE(Screenshot(dialog, "program-lobe-interface-dialog"));
        shown = true;
        dialog.reject();
    });
    program->Frame()->RunCommand(app::cmd::LOBE);
    EXPECT_TRUE(shown);
}

}  // namespace
