// The Qt main frame of each model: menus, status panes, private messages,
// alarms, title, async display commands, and the close sequence.
#include "app/ui/MainFrame.h"
#include "QtTestSupport.h"
#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/QtDispatcherAdapter.h"
#include "app/ui/StatusBarWidget.h"
#include "base/FramePayloads.h"
#include "base/StringTable.h"
#include "display/AbstractESDoc.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMenuBar>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace app;
using namespace shelltest;

namespace {

class MainFrameTest : public ::testing::Test
{
protected:
    MainFrameTest() { QtApp(); }

    void Start(const char* model)
    {
        pelmaris = std::make_unique<CPelmaris>();
        pelmaris->frameFactory = [this](CPelmaris& a, unsigned menuId) {
            auto f = std::make_unique<CMainFrame>(a, menuId);
            frame = f.get();
            return f;
        };
        ASSERT_TRUE(pelmaris->InitInstance({model}));
        frame->resize(1024, 700);
        QCoreApplication::processEvents();
    }

    QStringList VisiblePanes() const
    {
        QStringList panes;
        for (const auto& pane : frame->GetStatus()->Panes()) {
            QLabel* label = frame->StatusBarWidget()->PaneLabel(pane.id);
            if (label && !label->isHidden())
                panes << QString::number(pane.id);
        }
        return panes;
    }

    ShellEnvironment env;
    CQtDispatcherAdapter dispatcher;
    std::unique_ptr<CPelmaris> pelmaris;
    CMainFrame* frame = nullptr;
};

TEST_F(MainFrameTest, EachModelShowsItsMenusAndPanes)
{
    struct Case
    {
        const char* model;
        const char* title;
        bool trawl, lobe, serial;
        QStringList panes;
    };
    const Case cases[] = {
        {"QY310",
         "QY310",
         false,
         false,
         true,
         {"0", "45065", "45156", "45084", "45155", "45085", "57668", "45062", "45064"}},
        {"RM30", "ZELVAR RM30", true, false, false, {"0", "45065", "45084", "45085", "45062", "45064"}},
        {"TQ30", "ZELVAR TQ30", true, true, false, {"0", "45065", "45084", "45085", "45062", "45064"}},
    };
    for (const Case& c : cases) {
        Start(c.model);
        EXPECT_EQ(frame->windowTitle().toStdString(), c.title);
        EXPECT_EQ(frame->MenuTitles(), (QStringList{"&File", "&Operation", "&Install", "&View", "O&ptions", "&Help"}));
        EXPECT_EQ(frame->FindAction(cmd::TRAWL) != nullptr, c.trawl) << c.model;
        EXPECT_EQ(frame->FindAction(cmd::LOBE) != nullptr, c.lobe) << c.model;
        EXPECT_EQ(frame->FindAction(cmd::SERIAL_INTERFACE) != nullptr, c.serial) << c.model;
        EXPECT_EQ(VisiblePanes(), c.panes) << c.model;  // the activity pane is off until active
        // Without an echo sounder there is nothing to stop.
        EXPECT_FALSE(frame->QueryCommand(cmd::STOP_SOUNDER).enabled);
        EXPECT_TRUE(frame->QueryCommand(cmd::PALETTE_DAY_WHITE).checked);
        EXPECT_TRUE(Screenshot(*frame, std::string("frame-") + c.model));
        pelmaris.reset();
    }
}

TEST_F(MainFrameTest, NarrowFrameMovesPanesToTheSecondRowAndBack)
{
    Start("QY310");
    frame->show();
    frame->resize(600, 500);
    ASSERT_TRUE(WaitFor([&] { return frame->StatusBarWidget()->SecondRowVisible(); }));
    EXPECT_EQ(frame->StatusBarWidget()->PaneLabel(ids::LINE_COUNTER)->parentWidget(),
              frame->StatusBarWidget()->PaneLabel(ids::EVENT_COUNTER)->parentWidget());
    EXPECT_NE(frame->StatusBarWidget()->PaneLabel(ids::LINE_COUNTER)->parentWidget(),
              frame->StatusBarWidget()->PaneLabel(ids::CLOCK_PANE)->parentWidget());
    Screenshot(*frame, "frame-QY310-narrow");
    frame->resize(1000, 500);
    ASSERT_TRUE(WaitFor([&] { return !frame->StatusBarWidget()->SecondRowVisible(); }));
    EXPECT_EQ(frame->StatusBarWidget()->PaneLabel(ids::LINE_COUNTER)->parentWidget(),
              frame->StatusBarWidget()->PaneLabel(ids::CLOCK_PANE)->parentWidget());
}

TEST_F(MainFrameTest, AlarmFromAWorkerShowsAndIsRecorded)
{
    Start("QY310");
    std::thread worker([] { CStatus::PostAlarm(45066); });
    worker.join();
    QLabel* alarm = frame->StatusBarWidget()->findChild<QLabel*>("AlarmText");
    ASSERT_NE(alarm, nullptr);
    ASSERT_TRUE(WaitFor([&] { return alarm->text() == "Bottom lost"; }));
    EXPECT_TRUE(alarm->isVisibleTo(frame));
    EXPECT_NE(env.EventLog().find("@Line:269 @Text:Bottom lost"), std::string::npos);
    Screenshot(*frame, "frame-QY310-alarm");
    // A status message raised meanwhile shows in the message pane at once.
    CStatus::PostStatusMessage(57685);
    ASSERT_TRUE(WaitFor([&] { return frame->StatusBarWidget()->PaneLabel(0)->text() == "No valid positions"; }));
}

TEST_F(MainFrameTest, TitleCarriesTheUserOnlyForQYModels)
{
    Start("QY310");
    PostMessage(frame->GetSafeHwnd(), WM_ES_UPDATETITLE, 0, 1, MakePayload<std::string>("Survey A"));
    ASSERT_TRUE(WaitFor([&] { return frame->windowTitle() == "QY310      User: Survey A"; }));
    PostMessage(frame->GetSafeHwnd(), WM_ES_UPDATETITLE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return frame->windowTitle() == "QY310"; }));
    pelmaris.reset();
    Start("RM30");
    PostMessage(frame->GetSafeHwnd(), WM_ES_UPDATETITLE, 0, 1, MakePayload<std::string>("Survey A"));
    PostMessage(frame->GetSafeHwnd(), WM_ES_NEWDATA, 1, 7);
    ASSERT_TRUE(WaitFor([&] { return frame->StatusBarWidget()->PaneLabel(ids::LINE_COUNTER)->text() == "L0007"; }));
    EXPECT_EQ(frame->windowTitle(), "ZELVAR RM30");
}

TEST_F(MainFrameTest, AsyncDisplayCommandsChangeOnlyFromManual)
{
    Start("QY310");
    frame->RunCommand(cmd::ASYNC_FAST);
    EXPECT_EQ(frame->AsyncState(), 1);
    EXPECT_FALSE(frame->QueryCommand(cmd::ASYNC_FAST).enabled);
    frame->RunCommand(cmd::ASYNC_1SEC);
    EXPECT_EQ(frame->AsyncState(), 1);
    frame->RunCommand(cmd::ASYNC_MANUAL);
    EXPECT_EQ(frame->AsyncState(), 0);
    frame->RunCommand(cmd::ASYNC_1SEC);
    EXPECT_EQ(frame->AsyncState(), 2);
    EXPECT_TRUE(frame->QueryCommand(cmd::ASYNC_1SEC).checked);
    // Each tick wakes the document list's worker: the flag is 0, whatever
    // the mode.
    int notified = 0;
    frame->notifyDocuments = [&](int flag) { notified += flag == 0 ? 1 : 0; };
    ASSERT_TRUE(WaitFor([&] { return notified > 0; }));
}

TEST_F(MainFrameTest, PaletteCommandsCheckTheirPaletteAndBroadcast)
{
    Start("QY310");
    int broadcasts = 0;
    WPARAM lastPalette = 99;
    LPARAM lastBlock = 0;
    HWND view = CreateMessageWindow([&](HWND, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        if (m == WM_ES_BACKGROUNDCOLOR) {
            ++broadcasts;
            lastPalette = w;
            lastBlock = l;
        }
        return 0;
    });
    // Views read the palette block itself, so the broadcast carries what the
    // palette control hands out for the selected palette.
    int blockAskedFor = -1;
    frame->paletteBlock = [&](int palette) {
        blockAskedFor = palette;
        return static_cast<LPARAM>(0x5000 + palette);
    };
    frame->AddDescendant(view);
    frame->RunCommand(cmd::PALETTE_NIGHT_FILTERED);
    EXPECT_TRUE(frame->QueryCommand(cmd::PALETTE_NIGHT_FILTERED).checked);
    EXPECT_FALSE(frame->QueryCommand(cmd::PALETTE_DAY_WHITE).checked);
    if (!frame->PaletteLimited()) {
        EXPECT_GT(broadcasts, 0);
        EXPECT_EQ(lastPalette, 0u);
        EXPECT_EQ(blockAskedFor, frame->GetCurrentPalette());
        EXPECT_EQ(lastBlock, 0x5000 + frame->GetCurrentPalette());
    }
    frame->RemoveDescendant(view);
    DestroyWindow(view);
}

TEST_F(MainFrameTest, ExitMessageClosesWithoutPoweringOff)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    frame->show();
    ASSERT_TRUE(pelmaris->IsPowerOffRequested());
    PostMessage(frame->GetSafeHwnd(), RegisterWindowMessage(kExitMessageName), 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_FALSE(pelmaris->PowerOffPending());
    EXPECT_FALSE(pelmaris->IsPowerOffRequested());
}

TEST_F(MainFrameTest, CloseWithPowerOffArmedPowersOffAtTheEnd)
{
    ScopedEnv armed("zelvarqy310shutdown", "1");
    Start("QY310");
    frame->show();
    frame->close();  // the first close: stop and exit
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    EXPECT_TRUE(pelmaris->PowerOffPending());
}

TEST_F(MainFrameTest, SecondCloseWhileStopAndExitIsPendingKeepsTheFrame)
{
    Start("QY310");
    frame->show();
    // A running sounder, and an engine that takes its time to stop.
    alignas(8) static char sounder[8];
    FakeOperation operation(*pelmaris);
    operation.sounder = reinterpret_cast<CEchoSounder*>(sounder);
    operation.holdStopAndExit = true;
    pelmaris->SetOperation(&operation);
    frame->close();
    frame->close();
    PostMessage(frame->GetSafeHwnd(), WM_CLOSE, 0, 0);
    // Delivered after the close: once it shows, the close has been handled.
    PostMessage(frame->GetSafeHwnd(), WM_ES_NEWDATA, 0, 42);
    ASSERT_TRUE(WaitFor([&] { return frame->StatusBarWidget()->PaneLabel(ids::LINE_COUNTER)->text() == "L0042"; }));
    EXPECT_EQ(operation.stopAndExitPosted, 1);
    EXPECT_TRUE(frame->isVisible());
    // The stop-and-exit step deletes the sounder, then closes the frame.
    operation.sounder = nullptr;
    PostMessage(frame->GetSafeHwnd(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !frame->isVisible(); }));
    pelmaris->SetOperation(nullptr);
}

TEST_F(MainFrameTest, TelegramsAreDecodedOnlyWhenNotReplaying)
{
    Start("QY310");
    std::vector<std::string> decoded;
    frame->decodeTelegram = [&](const std::string& text, std::uint64_t) { decoded.push_back(text); };
    PostMessage(frame->GetSafeHwnd(), WM_ES_TELEGRAM, 0, 0, MakePayload<TimedText>(TimedText{"$GPGGA,1", 5}));
    ASSERT_TRUE(WaitFor([&] { return decoded.size() == 1; }));
    alignas(8) static char sounder[8];
    FakeOperation operation(*pelmaris);
    operation.sounder = reinterpret_cast<CEchoSounder*>(sounder);
    operation.replaying = true;
    pelmaris->SetOperation(&operation);
    PostMessage(frame->GetSafeHwnd(), WM_ES_TELEGRAM, 0, 0, MakePayload<TimedText>(TimedText{"$GPGGA,2", 6}));
    PostMessage(frame->GetSafeHwnd(), WM_ES_NEWDATA, 0, 3);
    ASSERT_TRUE(WaitFor([&] { return frame->StatusBarWidget()->PaneLabel(ids::LINE_COUNTER)->text() == "L0003"; }));
    EXPECT_EQ(decoded.size(), 1u);
    pelmaris->SetOperation(nullptr);
}

// A ping thread sends each document's result and waits; only that
// document's views are updated.
TEST_F(MainFrameTest, UpdateAllViewsReachesTheViewsOfTheDocumentItCarries)
{
    Start("QY310");
    struct View : IDocumentView
    {
        std::atomic<int> updates{0};
        void OnUpdate() override { ++updates; }
        int RealizeViewPalette() override { return 0; }
    };
    CAbstractESDoc document, other;
    View view, otherView;
    document.AddView(&view);
    other.AddView(&otherView);
    std::atomic<LRESULT> withDocument{0}, withNone{0};
    std::thread ping([&] {
        withDocument = SendMessage(frame->GetSafeHwnd(), WM_ES_UPDATEALLVIEWS, 0, document.AsMessageParameter());
        withNone = SendMessage(frame->GetSafeHwnd(), WM_ES_UPDATEALLVIEWS, 0, 0);
    });
    ASSERT_TRUE(WaitFor([&] { return withNone == 1; }));
    ping.join();
    EXPECT_EQ(withDocument, 1);
    EXPECT_EQ(view.updates, 1);
    EXPECT_EQ(otherView.updates, 0);
}

TEST_F(MainFrameTest, DroppedFilesReplayInTheOrderOfTheirTimes)
{
    Start("QY310");
    namespace fs = std::filesystem;
    const fs::path newer = env.Root() / "b.raw";
    const fs::path older = env.Root() / "a-much-later-name.raw";
    std::ofstream(newer.string()) << "x";
    std::ofstream(older.string()) << "x";
    fs::last_write_time(older, fs::last_write_time(newer) - std::chrono::hours(1));
    FakeOperation operation(*pelmaris);
    pelmaris->SetOperation(&operation);
    frame->DropFiles({QString::fromStdString(newer.string()), QString::fromStdString(older.string())});
    frame->DropFiles({});
    EXPECT_EQ(operation.replayStarts, (std::vector<std::vector<std::string>>{{older.string(), newer.string()}}));
    pelmaris->SetOperation(nullptr);
}

TEST_F(MainFrameTest, UnitSubMenusCarryEveryUnitWithTheCurrentChecked)
{
    Start("QY310");
    frame->RunCommand(cmd::DEPTH_UNIT_FIRST + 1);
    const CCmdUI feet = frame->QueryCommand(cmd::DEPTH_UNIT_FIRST + 1);
    EXPECT_TRUE(feet.checked);
    ASSERT_TRUE(feet.text.has_value());
    EXPECT_FALSE(frame->QueryCommand(cmd::DEPTH_UNIT_FIRST).checked);
    ASSERT_NE(frame->FindAction(cmd::DEPTH_UNIT_LAST), nullptr);
    ASSERT_NE(frame->FindAction(cmd::TEMP_UNIT_LAST), nullptr);
    frame->RunCommand(cmd::DEPTH_UNIT_FIRST);
}

}  // namespace
