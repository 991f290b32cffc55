// The remote display and the lobe link inside the running program, each on
// a pseudo-terminal the program finds under a COM name: the remote display
// gets the replayed bottom of its channel in both formats, at most five
// lines a second of ping time; the lobe peer's commands reach the main frame
// and get their replies, the transceiver items from the replayed channel,
// and its echo-trace telegrams carry the replayed targets.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "display/EchoTraceDoc.h"
#include "display/ui/EchoTraceView.h"
#include "engine/Channel.h"
#include "engine/TSDetection.h"
#include "outputs/Lobe.h"
#include "outputs/RDDialog.h"
#include "outputs/ui/LobeDialog.h"
#include "outputs/ui/RemoteDisplayDialog.h"
#include "platform/ChildProcess.h"
#include "platform/MessageBox.h"
#include "program/tests/TestLiveSounder.h"
#include "program/tests/TestProgram.h"
#include "recording/Replay.h"
#include "serialcom/tests/TovrelixTestSupport.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
        if (format == CRDDialog::kRD1)
            EXPECT_TRUE(std::regex_match(expected.substr(0, 8), std::regex(R"([ 0-9]{4}\.[0-9]\r\n)"))) << expected;
        else
            EXPECT_EQ(expected.rfind("$SD", 0), 0u) << expected;
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
    const auto echoed = [](const std::string& command) { return std::regex("PE,[0-9]{8}" + command + "\r\r\n"); };

    ping();
    ping();
    const std::string on = reply("/SER/Telegram/Echo-Trace=1");
    EXPECT_TRUE(std::regex_match(on, echoed("/SER/Telegram/Echo-Trace=1"))) << on;

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
    }
    EXPECT_GE(withTargets, 4);
    EXPECT_EQ(expected.rfind("E1,", 0), 0u) << expected;

    const std::string off = reply("/SER/Telegram/Echo-Trace=0");
    EXPECT_TRUE(std::regex_match(off, echoed("/SER/Telegram/Echo-Trace=0"))) << off;
    ping();
    ping();
    const std::string v = reply("/TEST MENU/Version");
    EXPECT_EQ(v.rfind("PR,", 0), 0u) << "no telegram after the switch: " << v;
}

// The lobe's own peer, zvlinepeer, on a socat pair: the commands it sends
// get their replies in order, a too short one none.
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
                              "--send=/SER/Telegram/Echo-Trace=0\\r", "--gap=300", "--seconds=6",
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
    EXPECT_TRUE(
        std::regex_match(replies[0], std::regex(R"(LINE PR,[0-9]{8},/TEST MENU/Version=TQ250 [0-9.]+\\r\\r\\n)")))
        << replies[0];
    EXPECT_TRUE(std::regex_match(
        replies[1], std::regex(R"(LINE PR,[0-9]{8},/TRANSCEIVER MENU/Transceiver-1 Menu/Bandwidth=Unknown\\r\\r\\n)")))
        << replies[1];
    EXPECT_TRUE(std::regex_match(replies[2], std::regex(R"(LINE PE,[0-9]{8}/SER/Telegram/Echo-Trace=0\\r\\r\\n)")))
        << replies[2];
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
