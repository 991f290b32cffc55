// The program with operation control behind it: the first close runs stop
// and exit through the engine, saves its state, and powers off only when
// armed and only at the end.
#include "engine/OperationControl.h"
#include "transceivers/TransceiverInstallation.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/EngineLink.h"
#include "app/ui/MainFrame.h"
#include "app/ui/QtDispatcherAdapter.h"
#include "QtTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class EngineLinkTest : public ::testing::Test {
protected:
    EngineLinkTest() { QtApp(); }
    void Start(const char* model)
    {
        pelmaris = std::make_unique<app::CPelmaris>();
        pelmaris->frameFactory = [this](app::CPelmaris& a, unsigned menuId) {
            auto f = std::make_unique<app::CMainFrame>(a, menuId);
            frame = f.get();
            return f;
        };
        CTransceiverInstallation::ResetInitializeFlag();  // once per process, each test a program
        link = std::make_unique<app::CEngineLink>(*pelmaris);
        app::FirstCloseFlag() = true;
        ASSERT_TRUE(pelmaris->InitInstance({model}));
    }
    void Stop()
    {
        link.reset();
        pelmaris.reset();
    }
    ShellEnvironment env;
    app::CQtDispatcherAdapter dispatcher;
    std::unique_ptr<app::CPelmaris> pelmaris;
    std::unique_ptr<app::CEngineLink> link;
    app::CMainFrame* frame = nullptr;
};

TEST_F(EngineLinkTest, FirstCloseStopsAndExitsThroughOperationControl)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    EXPECT_TRUE(link->Operation().GetPowerOff());  // the arming reached operation control
    frame->close();
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_EQ(pelmaris->GetNavigation(), nullptr);
    EXPECT_TRUE(pelmaris->PowerOffPending());
    const std::string state = link->Operation().GetStateFileName();
    Stop();
    // Its settings were saved before anything could power off.
    EXPECT_TRUE(fs::exists(state)) << state;
}

TEST_F(EngineLinkTest, ExitMessageClearsOperationControlsPowerOff)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    frame->show();
    PostMessage(frame->GetSafeHwnd(), RegisterWindowMessage(app::kExitMessageName), 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_FALSE(link->Operation().GetPowerOff());
    EXPECT_FALSE(pelmaris->PowerOffPending());
    Stop();
}

TEST_F(EngineLinkTest, OpenCommandReachesOperationControlAsAReplayStart)
{
    Start("QY310");
    const fs::path raw = env.Root() / "missing.raw";
    EXPECT_TRUE(pelmaris->OnDDECommand("[open(\"" + raw.string() + "\")]"));
    // Operation control takes the list; with nothing to replay it creates no
    // sounder and stays ready for the next command.
    ASSERT_TRUE(WaitFor([&] { return link->Operation().GetReplayFileList() != nullptr; }));
    EXPECT_EQ(link->Operation().GetReplayFileList()->GetFileName(0), raw.string());
    ASSERT_TRUE(WaitFor([&] { return !link->Operation().IsBusy(); }));
    Stop();
}

}  // namespace
