// The remote display and the lobe link inside the running program, each on
// a pseudo-terminal the program finds under a COM name: the remote display
// gets the replayed bottom of its channel in both formats, at most five
// lines a second; the lobe peer's commands reach the main frame and get
// their replies, the transceiver items from the replayed channel.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "outputs/Lobe.h"
#include "outputs/RDDialog.h"
#include "platform/MessageBox.h"
#include "program/tests/TestProgram.h"
#include "recording/Replay.h"
#include "serialcom/tests/TovrelixTestSupport.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

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

}  // namespace
