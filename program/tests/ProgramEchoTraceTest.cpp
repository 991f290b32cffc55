// The echo trace panes of TQ30 through the real program offscreen: a
// replayed calibration sphere shows in the window of its pane, and the
// pane's "Calibration..." tells that no component is there, or links the
// channel to the calibration simulator, which then takes every ping's
// targets.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/ReplayFileList.h"
#include "display/EchogramDoc.h"
#include "display/ui/EchoTraceDialog.h"
#include "display/ui/EchoTraceView.h"
#include "engine/Channel.h"
#include "platform/ChildProcess.h"
#include "platform/MessageBox.h"
#include "program/tests/TestProgram.h"
#include "recording/Replay.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Lines of the simulator's log that start with head.
std::size_t LogLines(const fs::path& log, const std::string& head)
{
    std::istringstream in(ReadFile(log));
    std::size_t n = 0;
    for (std::string line; std::getline(in, line);)
        n += line.rfind(head, 0) == 0 ? 1 : 0;
    return n;
}

// Runs act on the echo trace dialog once it is up.
void WhenDialog(std::function<void(CEchoTraceDialog&)> act, int triesLeft = 200)
{
    QTimer::singleShot(0, [act, triesLeft] {
        if (auto* dialog = qobject_cast<CEchoTraceDialog*>(QApplication::activeModalWidget())) {
            act(*dialog);
            return;
        }
        ASSERT_GT(triesLeft, 0) << "no echo trace dialog came up";
        WhenDialog(act, triesLeft - 1);
    });
}

class ProgramEchoTraceTest : public ::testing::Test
{
protected:
    ProgramEchoTraceTest() { QtApp(); }
    ~ProgramEchoTraceTest() override
    {
        program.reset();
        SetMessageBoxPresenter({});
    }

    // The calibration sphere, replayed one ping a step by the program of
    // that name.
    CEchoSounder* StartReplay(const char* executable = "TQ30")
    {
        zv::recgen::SRecGenScene scene;
        std::string error;
        EXPECT_TRUE(zv::recgen::ApplySceneText(scene, ReadFile(ZELVAR_CALIBRATION_SCENE), &error)) << error;
        EXPECT_TRUE(zv::recgen::ApplySetting(scene, "pings=40", &error)) << error;
        const fs::path recording = env.Root() / "calibration.raw";
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
        program = MakeProgram(TestProgramOptions({executable}));
        EXPECT_TRUE(program->Start());
        SetMessageBoxPresenter([this](HWND, const std::string& text, const std::string& caption, UINT) {
            boxes.push_back(caption + ": " + text);
            return IDOK;
        });
        SOperationDialogValues values = program->Operation().OperationDialogValues();
        values.mode = CEchoSounder::kReplay;
        values.rate = CEchoSounder::kSingleStep;
        CReplayFileList list;
        list.AddTail(recording.string());
        list.m_loop = 0;
        values.files = list;
        values.newFiles = true;
        program->Operation().ApplyOperationDialog(values);
        EXPECT_TRUE(WaitFor([&] { return program->Operation().GetEchoSounder() != nullptr; }, 10000));
        EXPECT_TRUE(WaitFor([&] { return !Panes().empty(); }, 10000));
        return program->Operation().GetEchoSounder();
    }
    QList<CEchoTraceView*> Panes() { return program->Frame()->findChildren<CEchoTraceView*>(); }
    bool Step(CEchoSounder& sounder)
    {
        const std::uint64_t pings = sounder.GetPingCount();
        sounder.OnStep();
        return WaitFor([&] { return sounder.GetPingCount() > pings; }, 10000);
    }
    void RegisterSimulator()
    {
        ASSERT_EQ(CChildProcess::Run({ZVCALIBSIM_PATH, "--register", "--log", log.string()}), 0);
    }
    // "Calibration..." in the dialog of the pane's right button.
    void PressCalibration(CEchoTraceView& pane)
    {
        bool pressed = false;
        WhenDialog([&pressed](CEchoTraceDialog& dialog) {
            EXPECT_TRUE(dialog.CalibrationButton()->isVisible());
            EXPECT_TRUE(dialog.CalibrationButton()->isEnabled());
            dialog.CalibrationButton()->click();
            pressed = true;
            dialog.reject();
        });
        const QPointF at(10, 30);
        QMouseEvent press(QEvent::MouseButtonPress, at, pane.mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QApplication::sendEvent(&pane, &press);
        EXPECT_TRUE(pressed);
    }

    ShellEnvironment env;
    std::unique_ptr<app::CProgram> program;
    std::vector<std::string> boxes;
    const fs::path log = env.Root() / "calibration.log";
};

}  // namespace

TEST_F(ProgramEchoTraceTest, TheReplayedSphereShowsInTheWindowOfItsPane)
{
    CEchoSounder* sounder = StartReplay();
    ASSERT_NE(sounder, nullptr);
    const QList<CEchoTraceView*> panes = Panes();
    ASSERT_EQ(panes.size(), 2u) << "one channel, two rows";
    CEchoTraceDoc& upper = *panes[0]->GetDocument();
    ASSERT_NE(upper.GetCompanion(), nullptr);
    // A surface window round the sphere, set while single step holds the
    // pings back.
    CEchogramDoc& echogram = *upper.GetCompanion();
    echogram.m_rangeReference = CEchogramDoc::SURFACE;
    echogram.m_start = 10.0;
    echogram.m_range = 30.0;
    const CEchogramDoc::STraceWindow window = echogram.GetTraceWindow();
    const int pings = 12;
    for (int k = 0; k < pings; ++k)
        ASSERT_TRUE(Step(*sounder));
    ASSERT_TRUE(WaitFor([&] { return upper.Shown().number >= std::uint64_t(pings); }, 10000));
    const CEchoTraceDoc::SShownTrace& shown = upper.Shown();
    ASSERT_TRUE(shown.windowFound);
    ASSERT_NE(shown.echoes, nullptr);
    ASSERT_EQ(shown.echoes->size(), 1u) << "the sphere alone";
    const CSingleEcho& sphere = shown.echoes->front();
    // 20 m from the transducer, below the surface by its draught.
    const double draught = upper.GetChannel()->GetParameters().Draught();
    EXPECT_NEAR(sphere.GetDepth(), 20.0 + draught, 0.5);
    EXPECT_TRUE(sphere.IsAccepted());
    EXPECT_EQ(sphere.GetLink(), 0) << "the sphere of the ping before, at the same depth";
    // The echogram's window holds it: counted, and drawn in its colour.
    EXPECT_EQ(window.reference, CEchogramDoc::SURFACE);
    EXPECT_DOUBLE_EQ(shown.start, window.start);
    EXPECT_DOUBLE_EQ(shown.end, window.start + window.range);
    ASSERT_GT(sphere.GetDepth(), shown.start);
    ASSERT_LT(sphere.GetDepth(), shown.end);
    EXPECT_GT(shown.histogram.total, 0u);
    const int k = shown.scale.GetColorIndex(sphere.GetTS(), 2);
    const QImage surface = panes[0]->SurfaceImage();
    int drawn = 0;
    for (int y = 0; y < surface.height(); ++y)
        for (int x = 0; x < surface.width(); ++x)
            drawn += surface.pixelIndex(x, y) == CEchoTraceView::kFirstEcho + k ? 1 : 0;
    EXPECT_GT(drawn, 0);
}

TEST_F(ProgramEchoTraceTest, CalibrationFromThePanesDialog)
{
    CEchoSounder* sounder = StartReplay();
    ASSERT_NE(sounder, nullptr);
    CEchoTraceView& pane = *Panes().front();
    CChannel* channel = pane.GetDocument()->GetChannel();
    ASSERT_NE(channel, nullptr);

    // No component registered: told, and the channel is not linked.
    PressCalibration(pane);
    EXPECT_FALSE(channel->GetLinkFlag());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("Calibration CoCreateInstance: ", 0), 0u) << boxes[0];

    // The simulator: linked, and each ping's targets reach it.
    RegisterSimulator();
    PressCalibration(pane);
    EXPECT_TRUE(channel->GetLinkFlag());
    EXPECT_EQ(boxes.size(), 1u);
    for (std::size_t k = 0; k < 3; ++k) {
        ASSERT_TRUE(Step(*sounder));
        EXPECT_TRUE(WaitFor([&] { return LogLines(log, "AddTargets") > k; }, 10000)) << k;
    }
}

// Pictures of the second frame kind with its echo trace panes after a few
// pings, for a person to look at.
class ProgramEchoTraceScreenshots : public ProgramEchoTraceTest, public ::testing::WithParamInterface<const char*>
{};

TEST_P(ProgramEchoTraceScreenshots, SecondFrameKind)
{
    const std::string model = GetParam();
    std::string executable = model;
    // TOTAL has no program name of its own: the generic one reads the model
    // from the machine's settings.
    if (model == "TOTAL") {
        executable = "PELMARIS";
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", 0, nullptr, 0, KEY_ALL_ACCESS,
                                 nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueEx(key, "SounderName", 0, REG_SZ, reinterpret_cast<const BYTE*>(model.c_str()),
                      static_cast<DWORD>(model.size() + 1));
        RegCloseKey(key);
    }
    CEchoSounder* sounder = StartReplay(executable.c_str());
    ASSERT_NE(sounder, nullptr);
    program->Frame()->resize(1200, 800);
    ASSERT_TRUE(WaitFor([&] { return Panes().size() == 2 && Panes().front()->width() > 100; }));
    for (CEchoTraceView* pane : Panes()) {
        CEchogramDoc& echogram = *pane->GetDocument()->GetCompanion();
        echogram.m_rangeReference = CEchogramDoc::SURFACE;
        echogram.m_start = 10.0;
        echogram.m_range = 30.0;
    }
    // A few pings shown in every pane. The first ones may go by while the
    // frame settles, the more of them the busier the machine: step until
    // the panes have them, within the recording's 40 pings.
    const auto shown = [&] {
        for (CEchoTraceView* pane : Panes())
            if (pane->GetDocument()->Shown().number < 6)
                return false;
        return true;
    };
    for (int k = 0; k < 30 && !shown(); ++k)
        ASSERT_TRUE(Step(*sounder));
    ASSERT_TRUE(WaitFor(shown, 10000));
    EXPECT_TRUE(Screenshot(*program->Frame(), "echotrace-frame-" + model));
}

INSTANTIATE_TEST_SUITE_P(Models, ProgramEchoTraceScreenshots, ::testing::Values("TQ30", "TOTAL", "RM30"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });
