// Links of the assembled program that a replay does not reach: a profile
// received on the network output's port, the side-looking partner's
// window and samples that travel through the external depth table, the
// View menu's side-scan colours and the bottom detector dialog's news.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "display/PaletteControl.h"
#include "display/ui/EchogramView.h"
#include "display/ui/SCView.h"
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "outputs/QYNet.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/Paths.h"
#include "platform/Socket.h"
#include "program/tests/TestProgram.h"
#include "recording/tests/StoreFixture.h"
#include "sensors/Environment.h"
#include "sensors/ExternalDepth.h"
#include "sensors/SvpProfile.h"
#include "sim/sensors/ProfileTexts.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

class ProgramLinksTest : public ::testing::Test
{
protected:
    ProgramLinksTest() { QtApp(); }
    void Start(const char* model)
    {
        program = MakeProgram(TestProgramOptions({model}));
        ASSERT_TRUE(program->Start());
    }

    ShellEnvironment env;
    std::unique_ptr<app::CProgram> program;
};

// A profile sent to the network output's port in pieces, as a profiling
// instrument sends it, is stored once as an .asvp file in the model's
// profile folder (no sounder runs) and offered to the operator, whose answer
// applies it.
TEST_F(ProgramLinksTest, ProfileReceivedOnTheNetworkIsStoredAndOffered)
{
    Start("QY310");
    CQYNet* net = program->Application().Sensor<CQYNet>(app::SensorId::NetworkOutput);
    ASSERT_NE(net, nullptr);
    CQYNet::Settings s = net->GetSettings();
    s.LocalPort = 0;  // a free port
    net->ApplySettings(s);
    // Another program may hold the usual port, so the port may still be closed.
    if (!net->Port().IsOpen()) {
        ASSERT_TRUE(net->CreateSocket());
    }
    std::vector<std::string> asked;
    SetMessageBoxPresenter([&](HWND, const std::string& text, const std::string&, UINT) {
        asked.push_back(text);
        return IDYES;
    });
    SEnvironmentDialogValues offered;
    program->Environment().SetDialogRunner([&](SEnvironmentDialogValues& v) {
        offered = v;
        return TRUE;
    });

    // 1480 m/s at the surface falling to 1470 at 50 m, a point every 10 m.
    const auto text = zv::sim::EncodeProfileText("S10", zv::sim::ProfilePoints({1480.0, -0.2, 10.0, 50.0}, 10.0));
    ASSERT_TRUE(text);
    const auto pieces = zv::sim::ProfileDatagrams("S10", *text, 3);
    ASSERT_EQ(pieces.size(), 3u);
    std::string error;
    ASSERT_TRUE(zv::sim::SendToLoopback(net->Port().LocalPort(), pieces, error)) << error;
    ASSERT_TRUE(WaitFor([&] { return program->Environment().IsRealSvp(); }));

    const fs::path folder = CPaths::MapWindowsPath(CSvpProfile::GetFolder(SounderModel::QY310));
    const auto files = zv::recording::test::FilesWith(folder, ".asvp");
    ASSERT_EQ(files.size(), 1u);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], "A new Sound Velocity Profile was loaded.  \nApply it now ?\n");
    EXPECT_EQ(offered.fileName, files[0].filename().string());
    EXPECT_EQ(offered.svpType, CEnvironment::SvpTypeProfile);
    const auto applied = program->Environment().GetAppliedProfile();
    ASSERT_TRUE(applied);
    ASSERT_EQ(applied->velocity.size(), 6u);
    EXPECT_EQ(applied->velocity.front(), 1480.0);
    EXPECT_EQ(applied->velocity.back(), 1470.0);
    program.reset();
    SetMessageBoxPresenter({});
}

// The echogram of one side publishes the window it wants of its partner; the
// partner's channel fetches that window and hands the samples back, and the
// first side's view reads them from the table: in order, the rest no echo.
TEST_F(ProgramLinksTest, PartnerWindowAndSamplesTravelThroughTheExternalDepthTable)
{
    Start("QY310");
    app::CProgramChannelLinks& links = program->ChannelLinks();
    CExternalDepth& table = program->ExternalDepth();
    table.SetSourceName(3, "Replay 200 kHz");

    ExternalDepthWindow window;
    ASSERT_TRUE(links.FindExternalDepthWindow("200 kHz", window));
    EXPECT_EQ(window.SampleCount, 0);  // known, but nobody asked for samples yet
    EXPECT_FALSE(links.FindExternalDepthWindow("38 kHz", window));

    links.PublishPartnerWindow("Replay 200 kHz", 80.0, 3, 1, 2);
    ASSERT_TRUE(links.FindExternalDepthWindow("200 kHz", window));
    EXPECT_EQ(window.Start, 0.0);
    EXPECT_EQ(window.Length, 80.0);
    EXPECT_EQ(window.SampleCount, 3);
    EXPECT_EQ(window.EchogramType, 2);

    const std::int16_t samples[] = {-300, 7, -20001};
    links.SetExternalDepthBlock("200 kHz", samples, 3);
    // The views of the program's frames read the program's table.
    const SViewContext views = program->Display().FrameContext(SounderModel::QY310).views;
    ASSERT_EQ(views.externalDepth, &table);
    std::vector<std::int16_t> read;
    ASSERT_TRUE(CEchogramView::ReadSecondSide(views.externalDepth, "200 kHz", read));
    ASSERT_EQ(read.size(), 2u * CExternalDepth::kBlockWords);
    EXPECT_EQ(read[0], -300);
    EXPECT_EQ(read[1], 7);
    EXPECT_EQ(read[2], -20001);
    EXPECT_EQ(read[3], -20000);
    EXPECT_EQ(read.back(), -20000);
}

// What channels tell their links of each ping's depth: the external depth
// table by name, the deepest depth for the environment's profile mean, the
// table's source by channel; a new sounder starts without the last one's.
TEST_F(ProgramLinksTest, ChannelDepthsLastUntilTheNextSounder)
{
    Start("QY310");
    app::CProgramChannelLinks& links = program->ChannelLinks();
    CExternalDepth& table = program->ExternalDepth();
    table.SetSourceName(0, "38 kHz");
    table.SetSourceName(1, "120 kHz");

    DepthReport shallow;
    shallow.SourceName = "Replay 38 kHz";
    shallow.ChannelId = 0;
    shallow.Depth = 42.5;
    DepthReport deep = shallow;
    deep.SourceName = "120 kHz";
    deep.ChannelId = 1;
    deep.Depth = 61.0;
    deep.Excluded = true;  // out of the depth outputs, not out of the table
    links.OnDepthOutputs(shallow);
    links.OnDepthOutputs(deep);

    EXPECT_EQ(links.GetDeepestChannelDepth(), 61.0);
    std::string name;
    EXPECT_EQ(table.GetSource(0, name), 42.5);
    EXPECT_EQ(table.GetSource(1, name), 61.0);
    double depth = 0.0;
    ASSERT_TRUE(links.GetChannelDepth(1, depth));
    EXPECT_EQ(depth, 61.0);

    links.NewSounder();
    EXPECT_EQ(links.GetDeepestChannelDepth(), 0.0);
    EXPECT_FALSE(links.GetChannelDepth(1, depth));
    // The table keeps what it was given; a source of no channel is not refreshed.
    EXPECT_EQ(table.GetSourceDepth(1, name), 61.0);
}

// "Grayscale On Sidescan" and "Copper On Sidescan" recolour the echo levels
// of side-scan echograms at the next palette change.
TEST_F(ProgramLinksTest, SideScanColoursFollowTheViewMenu)
{
    Start("QY310");
    app::CMainFrame* frame = program->Frame();
    ASSERT_NE(frame, nullptr);
    // A side-scan view as the program's frames make them.
    struct CSideScanView : CSCView
    {
        using CSCView::CSCView;
        int IsSideScan() const override { return 1; }
    } view(program->Display().FrameContext(SounderModel::QY310).views);
    CPaletteControl palettes;
    const auto firstEchoLevel = [&] {
        // Palette 4: black background, white text.
        SendMessage(view.GetSafeHwnd(), app::WM_ES_BACKGROUNDCOLOR, 4,
                    reinterpret_cast<LPARAM>(palettes.GetLogPalette(4)));
        return view.GetColourTable()[CPaletteControl::kFirstEchoIndex];
    };
    const QRgb plain = firstEchoLevel();

    struct SCase
    {
        unsigned command;
        QRgb level;
    };
    const SCase cases[] = {
        {app::cmd::COPPER_ON_SIDESCAN, qRgb(0xFE, 0xC7, 0x6B)},
        {app::cmd::GREY_ON_SIDESCAN, qRgb(39, 39, 39)},
        {app::cmd::GREY_ON_SIDESCAN, plain},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.command);
        frame->RunCommand(c.command);
        EXPECT_EQ(firstEchoLevel(), c.level);
    }
}

// A confirmed bottom detector dialog of the program's channels tells the main
// window to refresh the channel status window.
TEST_F(ProgramLinksTest, ConfirmedBottomDetectorDialogRefreshesTheChannelStatus)
{
    Start("QY310");
    CBottomDetector::Construction c;
    c.SourceName = "T38 38 kHz";
    c.SampleDistance = 0.1;
    c.Model = SounderModel::QY310;
    c.UseSettingsFolder = false;
    c.Dialogs = program->ChannelLinks().GetDetectionDialogs();
    CBottomDetector detector(c);
    const auto refreshes = [&](bool confirm) {
        QTimer::singleShot(0, [confirm] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            if (confirm)
                dialog->accept();
            else
                dialog->reject();
        });
        bool lost = false, minAlarm = false, maxAlarm = false;
        double minDepth = 0.0, maxDepth = 0.0;
        EXPECT_TRUE(detector.RunDialog(lost, minAlarm, maxAlarm, minDepth, maxDepth));
        int count = 0;
        for (MSG msg; PeekMessage(&msg);) {
            if (msg.hwnd == program->Application().GetMainWindow() && msg.message == app::WM_ES_UPDATECHANNELSTATUS)
                ++count;
            DispatchMessage(&msg);
        }
        return count;
    };
    EXPECT_EQ(refreshes(false), 0);
    EXPECT_EQ(refreshes(true), 1);
}

}  // namespace
