// The assembled program under faults from outside: on its network input
// port a refused profile followed by telegrams, and a flood of profiles;
// at its close a settings folder where nothing can be written. The port is
// opened on a free port and spoken to over loopback only.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/Status.h"
#include "outputs/QYNet.h"
#include "platform/MessageBox.h"
#include "platform/Socket.h"
#include "program/tests/TestProgram.h"
#include "sensors/Environment.h"
#include "sensors/GeographicInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace shelltest;

namespace {

// The process's resident memory in kB.
long ResidentKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

class ProgramFaultsTest : public ::testing::Test
{
protected:
    ProgramFaultsTest() { QtApp(); }
    ~ProgramFaultsTest() override
    {
        program.reset();
        SetMessageBoxPresenter({});
    }
    // The program of a model with its network input on a free port.
    void Start()
    {
        program = MakeProgram(TestProgramOptions({"QY310"}));
        ASSERT_TRUE(program->Start());
        CQYNet* net = program->Application().Sensor<CQYNet>(app::SensorId::NetworkOutput);
        ASSERT_NE(net, nullptr);
        CQYNet::Settings s = net->GetSettings();
        s.LocalPort = 0;
        net->ApplySettings(s);
        if (!net->Port().IsOpen()) {
            ASSERT_TRUE(net->CreateSocket());
        }
        to = SocketAddress(SocketAddress::kLoopback, net->Port().LocalPort());
        ASSERT_TRUE(sender.Create(CSocket::Udp));
    }
    bool Send(const std::string& text) { return sender.SendTo(text.data(), text.size(), to) == int(text.size()); }

    ShellEnvironment env;
    std::unique_ptr<app::CProgram> program;
    CSocket sender;
    SocketAddress to;
};

// "SV" alone is a profile the importer refuses, and its box is asked for on
// the port's reader. The reader goes on: every telegram after it is
// decoded, and the box is shown once, on the user-interface thread.
TEST_F(ProgramFaultsTest, ARefusedProfileLeavesTheInputReadingAndPostsOneBox)
{
    Start();
    CGeographicInfo& history = program->GeographicInfo();
    history.EnsureHistoryLength(1);
    const std::thread::id ui = std::this_thread::get_id();
    std::mutex lock;
    std::vector<std::string> shown;
    int offUi = 0;
    SetMessageBoxPresenter([&](HWND, const std::string& text, const std::string&, UINT) {
        std::lock_guard<std::mutex> guard(lock);
        shown.push_back(text);
        offUi += std::this_thread::get_id() != ui ? 1 : 0;
        return IDOK;
    });

    constexpr int kTelegrams = 2000;
    ASSERT_TRUE(Send("SV"));
    for (int k = 0; k < kTelegrams; ++k) {
        ASSERT_TRUE(Send("$HEHDT," + std::to_string(k % 360) + ".5,T"));
        // Paced to what the reader takes, so that only a reader that has
        // stopped loses any.
        if (k % 50 == 49) {
            ASSERT_TRUE(WaitFor([&] { return history.HeadingCount() + 50 >= std::size_t(k + 1); }, 10000))
                << "the input stopped after " << history.HeadingCount() << " telegrams";
        }
    }
    EXPECT_TRUE(WaitFor([&] { return history.HeadingCount() == kTelegrams; }, 10000)) << history.HeadingCount();
    ASSERT_TRUE(WaitFor([&] {
        std::lock_guard<std::mutex> guard(lock);
        return !shown.empty();
    }));
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(offUi, 0) << "a box was shown on the reader";
    EXPECT_EQ(shown[0].find("Apply it now"), std::string::npos) << shown[0];
}

// Valid one-point profiles at 500 a second for 20 s: each is stored and
// announced, the question is never open twice, the operator's Yes applies
// the newest profile, and the program's memory stays bounded.
TEST_F(ProgramFaultsTest, AFloodOfProfilesAsksOneQuestionAtATimeAndAppliesTheNewest)
{
    Start();
    const long startKb = ResidentKb();
    ASSERT_GT(startKb, 0);
    program->Environment().SetDialogRunner([](SEnvironmentDialogValues&) { return TRUE; });
    constexpr int kProfiles = 500 * 20;
    std::atomic<int> sent{0};
    std::atomic<bool> done{false};
    int open = 0, mostOpen = 0, questions = 0;
    long mostKb = startKb;
    SetMessageBoxPresenter([&](HWND, const std::string& text, const std::string&, UINT) {
        if (text.find("Apply it now") == std::string::npos)
            return IDOK;
        ++questions;
        mostOpen = std::max(mostOpen, ++open);
        // The operator takes a while: more profiles come while it is open.
        const int at = sent.load();
        WaitFor([&] { return done.load() || sent.load() >= at + 100; }, 10000);
        mostKb = std::max(mostKb, ResidentKb());
        --open;
        return IDYES;
    });
    // Velocities that tell the profiles apart; the last is the newest.
    const auto velocity = [](int k) { return 1400.0 + k * 0.01; };
    std::thread flood([&] {
        const auto begin = std::chrono::steady_clock::now();
        for (int k = 0; k < kProfiles; ++k) {
            std::this_thread::sleep_until(begin + std::chrono::microseconds(2000LL * k));
            char text[64];
            std::snprintf(text, sizeof text, "SV,120000,1,10,%.2f", velocity(k));
            Send(text);
            ++sent;
        }
        done = true;
    });
    const bool flooded = WaitFor([&] { return done.load(); }, 120000);
    flood.join();
    ASSERT_TRUE(flooded);
    // A last profile after the flood is the newest, applied once its
    // question is answered (sent again only should the kernel drop it).
    const auto applied = [&](double v) {
        const auto a = program->Environment().GetAppliedProfile();
        return open == 0 && a && !a->velocity.empty() && a->velocity.front() == v && a->velocity.back() == v;
    };
    bool last = false;
    for (int tries = 0; tries < 5 && !last; ++tries) {
        ASSERT_TRUE(Send("SV,120000,1,10,1650.00"));
        last = WaitFor([&] { return applied(1650.0); }, 5000);
    }
    const auto a = program->Environment().GetAppliedProfile();
    EXPECT_TRUE(last) << "the newest profile was not applied: "
                      << (a && !a->velocity.empty() ? std::to_string(a->velocity.back()) : std::string("none")) << ", "
                      << questions << " questions";
    EXPECT_EQ(mostOpen, 1);
    EXPECT_GT(questions, 1);
    mostKb = std::max(mostKb, ResidentKb());
#ifndef __SANITIZE_ADDRESS__
    // AddressSanitizer keeps freed blocks in its quarantine (256 MB unless
    // told otherwise), so there the resident size says nothing of what the
    // program holds.
    EXPECT_LE(mostKb - startKb, 50 * 1024) << "from " << startKb << " kB to " << mostKb << " kB";
#endif
}

// Settings that cannot be written at the close are not passed off as
// saved: the status bar raises the alarm and the event log keeps the path
// and the cause. (Where the file is written first stands a folder: a
// read-only folder does not stop a test run by root.)
TEST_F(ProgramFaultsTest, SettingsThatCannotBeWrittenAtTheCloseRaiseTheAlarm)
{
    Start();
    const std::filesystem::path blocked =
        std::filesystem::path(program->Application().GetSerializePath()) / "OperationControl.sav.new";
    std::filesystem::create_directories(blocked / "in the way");
    app::CStatus* status = program->Frame() ? program->Frame()->GetStatus() : nullptr;
    ASSERT_NE(status, nullptr);
    program->Operation().Close();
    EXPECT_TRUE(WaitFor([&] {
        return status->CurrentAlarmText() == "Settings could not be saved (see the event log)";
    })) << status->CurrentAlarmText();
    EXPECT_NE(env.EventLog().find("Settings not saved: " + blocked.string() + ": Is a directory"), std::string::npos)
        << env.EventLog();
}

}  // namespace
