// Operating the real program from its menus, offscreen, as the operator
// does: "Operation..." with its file dialog starts a replay, the replay bar
// follows and seeks it and changes its pace, REC stores an extract, "Status
// Window" shows the channels, "Reprocess Heave" comes at the start and for
// later files, and after a stop or a start that came to nothing the
// operator starts again from "Operation...".
#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/Archive.h"
#include "engine/Channel.h"
#include "engine/ui/ChannelStatusDialog.h"
#include "platform/Paths.h"
#include "program/tests/TestProgram.h"
#include "recording/Replay.h"
#include "recording/StoreSettings.h"
#include "recording/tests/StoreFixture.h"
#include "recording/ui/ReplayButtons.h"
#include "sim/recgen/RecordingGenerator.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

using namespace shelltest;
namespace fs = std::filesystem;
namespace cmd = app::cmd;

namespace {

// Answers the modal windows as they come up: each time a window becomes
// the active modal one (again), the next step given for its name runs; a
// step that finds the window not yet ready says so and runs again. A step
// that opens another window queues its click, so that the window comes up
// in the loop of the one below it.
class CModalDriver
{
public:
    using Step = std::function<bool(QWidget&)>;
    CModalDriver()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == m_current)
                return;
            auto& steps = m_steps[w->objectName()];
            if (steps.empty() || !steps.front()(*w))
                return;
            m_current = w;
            seen.push_back(w->objectName().toStdString());
            steps.erase(steps.begin());
        });
        m_timer.start();
    }
    void Then(const QString& name, Step step) { m_steps[name].push_back(std::move(step)); }
    // A click that comes after the step has returned.
    static void Click(QAbstractButton* button)
    {
        QTimer::singleShot(0, button, [b = QPointer<QAbstractButton>(button)] {
            if (b)
                b->click();
        });
    }
    static void Accept(QWidget& dialog)
    {
        QTimer::singleShot(0, &dialog, [d = QPointer<QWidget>(&dialog)] {
            if (d)
                QMetaObject::invokeMethod(d, "accept");
        });
    }
    std::vector<std::string> seen;

private:
    QTimer m_timer;
    QPointer<QWidget> m_current;
    std::map<QString, std::vector<Step>> m_steps;
};

// OK once it can be pressed.
bool AcceptWhenReady(QWidget& dialog)
{
    if (!Control<QPushButton>(dialog, 1)->isEnabled())
        return false;
    CModalDriver::Accept(dialog);
    return true;
}

struct SModel
{
    const char* executable;
    const char* operationDialog;  // its template number
};

class ProgramOperation : public ::testing::TestWithParam<SModel>
{
protected:
    ProgramOperation() { QtApp(); }

    void Start(const char* model, std::vector<std::string> arguments = {})
    {
        arguments.insert(arguments.begin(), model);
        auto options = TestProgramOptions(std::move(arguments));
        // A replay started to save data asks for "Store..." once.
        options.storeDialog = [this](zv::recording::SStoreDialogValues&) {
            ++storeDialogs;
            return false;
        };
        program = MakeProgram(std::move(options));
        ASSERT_TRUE(program->Start());
        frame = program->Frame();
        ASSERT_NE(frame, nullptr);
    }
    COperationControl& Operation() { return program->Operation(); }
    CEchoSounder* Sounder() { return Operation().GetEchoSounder(); }
    zv::recording::CReplay* Replay()
    {
        CEchoSounder* sounder = Sounder();
        return sounder ? dynamic_cast<zv::recording::CReplay*>(sounder->GetTransceiver(0)) : nullptr;
    }
    bool Settled()
    {
        return WaitFor([&] { return !Operation().IsBusy(); });
    }
    // Until no ping has come for a while: a ping on its way when the pace
    // changed has arrived.
    static bool Quiet(const CEchoSounder& sounder)
    {
        std::uint64_t last = sounder.GetPingCount();
        QElapsedTimer still;
        still.start();
        return WaitFor([&] {
            if (sounder.GetPingCount() != last) {
                last = sounder.GetPingCount();
                still.restart();
            }
            return still.elapsed() > 300;
        });
    }
    void Run(unsigned id)
    {
        frame->RunCommand(id);
        QCoreApplication::processEvents();
        Settled();
    }
    // A recording of two channels; the later one is written later.
    fs::path Record(const std::string& name, int pings, std::initializer_list<std::string> more = {})
    {
        zv::recgen::SRecGenScene scene;
        std::string error;
        for (const std::string& s :
             {"pings=" + std::to_string(pings), std::string("channels=38,120"), std::string("samples=300")})
            EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
        for (const std::string& s : more)
            EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
        const fs::path file = env.Root() / name;
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(file.string(), nullptr, &error)) << error;
        fs::last_write_time(file, fs::file_time_type::clock::now() + std::chrono::seconds(recordings++));
        return file;
    }
    // The file dialog's steps: these files, with these options checked.
    void ChooseFiles(CModalDriver& driver, const std::vector<fs::path>& files, std::map<int, bool> options,
                     const std::string& picture = {})
    {
        driver.Then("ReplayFileDialog", [files, options, picture](QWidget& dialog) {
            for (const auto& [id, on] : options)
                Control<QCheckBox>(dialog, id)->setChecked(on);
            auto& fileDialog = static_cast<QFileDialog&>(dialog);
            fileDialog.setDirectory(QString::fromStdString(files.front().parent_path().string()));
            QString names;
            for (const fs::path& f : files)
                names += "\"" + QString::fromStdString(f.filename().string()) + "\" ";
            dialog.findChild<QLineEdit*>("fileNameEdit")->setText(names);
            if (!picture.empty())
                Screenshot(dialog, picture);
            CModalDriver::Accept(dialog);
            return true;
        });
    }

    ShellEnvironment env;
    AnswerMessageBoxes boxes;
    std::unique_ptr<app::CProgram> program;
    app::CMainFrame* frame = nullptr;
    int storeDialogs = 0;
    int recordings = 0;
};

}  // namespace

// Without a unit, "Operation..." opens in replay mode with nothing to
// confirm; "Files..." picks two recordings with Loop and Save Data and OK
// starts their replay. The replay bar follows it, Pause, Step and Play
// change its pace, its slider seeks, REC stores an extract that replays,
// and once the sounder is stopped a slider let go does nothing.
TEST_P(ProgramOperation, OperationStartsAReplayThatTheBarDrives)
{
    const SModel model = GetParam();
    const std::string name = model.executable;
    const fs::path first = Record("first.raw", 400), second = Record("second.raw", 400);
    Start(model.executable);
    ASSERT_EQ(Sounder(), nullptr);

    CModalDriver driver;
    driver.Then(model.operationDialog, [&](QWidget& dialog) {
        EXPECT_TRUE(Control<QRadioButton>(dialog, 1038)->isChecked());
        EXPECT_FALSE(Control<QRadioButton>(dialog, 1031)->isEnabled());
        EXPECT_FALSE(Control<QPushButton>(dialog, 1)->isEnabled());
        Screenshot(dialog, name + "-operation");
        CModalDriver::Click(Control<QPushButton>(dialog, 1125));
        return true;
    });
    ChooseFiles(driver, {second, first}, {{1130, true}, {1152, true}}, name + "-operation-files");
    driver.Then(model.operationDialog, [&](QWidget& dialog) {
        // Once the file dialog has handed over its files, OK can be pressed.
        if (!Control<QPushButton>(dialog, 1)->isEnabled())
            return false;
        Screenshot(dialog, name + "-operation-chosen");
        CModalDriver::Accept(dialog);
        return true;
    });
    Run(cmd::OPERATION);
    ASSERT_TRUE(WaitFor([&] { return Replay() != nullptr; }, 10000)) << testing::PrintToString(driver.seen);
    ASSERT_NE(Operation().GetReplayFileList(), nullptr);
    EXPECT_EQ(Operation().GetReplayFileList()->GetFiles(), (std::vector<std::string>{first.string(), second.string()}));
    EXPECT_EQ(Operation().GetReplayFileList()->m_loop, 1);
    EXPECT_EQ(Operation().GetReplayFileList()->m_saveData, 1);
    EXPECT_TRUE(WaitFor([&] { return storeDialogs == 1; }, 10000)) << "Save Data asks for \"Store...\"";

    // "Replay Control" shows the bar, which follows the pings.
    ASSERT_TRUE(frame->QueryCommand(cmd::REPLAY_CONTROL).enabled);
    Run(cmd::REPLAY_CONTROL);
    zv::recording::CReplayButtons* bar = program->ToolWindows().ReplayButtons();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    auto* slider = Control<QSlider>(*bar, 1503);
    ASSERT_TRUE(WaitFor([&] { return slider->value() > 0 && !Control<QLabel>(*bar, 1513)->text().isEmpty(); }));
    EXPECT_FALSE(bar->IsRecOn());

    // Pause: single pings; Step: one more; a slider let go seeks there.
    Control<QToolButton>(*bar, 1487)->click();
    CEchoSounder* sounder = Sounder();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kSingleStep; }));
    ASSERT_TRUE(WaitFor([&] { return frame->QueryCommand(cmd::STEP).enabled; }));
    ASSERT_TRUE(Quiet(*sounder));
    slider->setSliderDown(true);
    slider->setSliderPosition(150);
    slider->setSliderDown(false);
    std::uint64_t pings = sounder->GetPingCount();
    Control<QToolButton>(*bar, 1488)->click();
    ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() == pings + 1; }, 10000));
    ASSERT_TRUE(Quiet(*sounder));
    EXPECT_EQ(sounder->GetPingCount(), pings + 1) << "one ping a step";
    ASSERT_TRUE(WaitFor([&] { return slider->value() >= 149 && slider->value() <= 151; })) << "at " << slider->value();
    EXPECT_EQ(Control<QLabel>(*bar, 1515)->text().size(), 8);
    Screenshot(*bar, name + "-replay-bar");

    // REC over three single pings stores them; the extract replays.
    Control<QToolButton>(*bar, 1989)->click();
    EXPECT_TRUE(bar->IsRecOn());
    for (int i = 0; i < 3; ++i) {
        pings = sounder->GetPingCount();
        Control<QToolButton>(*bar, 1488)->click();
        ASSERT_TRUE(WaitFor([&] { return sounder->GetPingCount() == pings + 1; }, 10000));
    }
    Control<QToolButton>(*bar, 1989)->click();
    QCoreApplication::processEvents();
    bool extractOn = true;
    ASSERT_TRUE(WaitFor([&] {
        program->Recorder().With([&](zv::recording::CStore& s) { extractOn = s.IsReplayExtractOn(); });
        return !extractOn;
    }));
    const fs::path folder =
        CPaths::MapWindowsPath(zv::recording::SStoreSettings::DefaultFolder(program->Application().GetSounderType()));
    const auto extracts = zv::recording::test::FilesWith(folder, ".raw");
    ASSERT_EQ(extracts.size(), 1u);
    {
        CReplayFileList list;
        list.AddTail(extracts[0].string());
        zv::recording::CReplay extract(list, nullptr);
        EXPECT_TRUE(extract.IsOpen()) << extract.OpenError();
    }

    // Play: the rate of the settings again.
    Control<QToolButton>(*bar, 1486)->click();
    EXPECT_TRUE(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kMaximumRate; }));

    Run(cmd::STATUS_WINDOW);
    ASSERT_NE(program->ToolWindows().ChannelStatus(), nullptr);
    Screenshot(*program->ToolWindows().ChannelStatus(), name + "-status-window");

    // A new replay's recorder stores nothing until REC is pressed: the
    // button, on when the new replay was asked for, says so once it runs.
    Control<QToolButton>(*bar, 1989)->click();
    ASSERT_TRUE(bar->IsRecOn());
    COperationControl::PostStartWithFiles(Operation().GetReplayFileList());
    ASSERT_TRUE(WaitFor([&] {
        bool on = true;
        const bool recorder = program->Recorder().With([&](zv::recording::CStore& s) { on = s.IsReplayExtractOn(); });
        return recorder && !on;
    }));
    EXPECT_TRUE(WaitFor([&] { return !bar->IsRecOn(); }));

    Run(cmd::STOP_SOUNDER);
    ASSERT_TRUE(WaitFor([&] { return Sounder() == nullptr && !Operation().IsBusy(); }));
    slider->setSliderDown(true);
    slider->setSliderPosition(10);
    slider->setSliderDown(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(Sounder(), nullptr);
    program.reset();
}

INSTANTIATE_TEST_SUITE_P(Models, ProgramOperation, ::testing::Values(SModel{"QY310", "261"}, SModel{"RM30", "149"}),
                         [](const auto& info) { return std::string(info.param.executable); });

namespace {
using ProgramOperationQY310 = ProgramOperation;
}  // namespace

// "Status Window": a column for each replayed channel, refilled when a
// channel's settings change (0x47D), and back after every new layout.
TEST_F(ProgramOperationQY310, StatusWindowShowsTheChannels)
{
    Start("QY310", {Record("survey.raw", 2000).string()});
    ASSERT_TRUE(WaitFor([&] { return Replay() != nullptr && !Operation().IsBusy(); }, 10000));
    ASSERT_TRUE(frame->QueryCommand(cmd::STATUS_WINDOW).enabled);
    Run(cmd::STATUS_WINDOW);
    CChannelStatusDialog* status = program->ToolWindows().ChannelStatus();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->Field("name", 2)->isVisible());
    EXPECT_FALSE(status->Field("name", 3)->isVisible());
    EXPECT_EQ(status->Field("name", 1)->text(), "CH1");
    // The recorded settings and the echogram's TVG show without anything
    // changing after the start.
    EXPECT_TRUE(WaitFor([&] {
        return status->Field("draught", 2)->text() == "  5.0" && status->Field("tvg", 1)->text() == "20logR" &&
               status->Field("tvg", 2)->text() == "20 log R";
    })) << status->Field("draught", 2)->text().toStdString()
        << status->Field("tvg", 1)->text().toStdString();

    // A new bottom range of the first channel shows after 0x47D.
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        ar << 321.0 << 4.0 << -42.0;
    }
    {
        CArchive ar(bytes, CArchive::load);
        Sounder()->GetChannel(0)->SerializeBottomDetector(ar);
    }
    EXPECT_NE(status->Field("maxdepth", 1)->text(), "321.0");
    PostMessage(frame->GetSafeHwnd(), app::WM_ES_UPDATECHANNELSTATUS, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return status->Field("maxdepth", 1)->text() == "321.0"; }));
    EXPECT_EQ(status->Field("backstep", 1)->text(), "-42");
    Screenshot(*status, "QY310-status-window");

    // "Layout..." runs a command, which takes the window away; the new
    // layout brings it back.
    const QPointer<CChannelStatusDialog> before = status;
    COperationControl::PostCommand4006();
    EXPECT_TRUE(WaitFor([&] {
        CChannelStatusDialog* again = program->ToolWindows().ChannelStatus();
        return !before && again && again->isVisible();
    }));
    Run(cmd::STATUS_WINDOW);
    EXPECT_FALSE(program->ToolWindows().ChannelStatus()->isVisible());
    Run(cmd::STOP_SOUNDER);
    program.reset();
}

// Ping modes asked for from other threads (the survey control exchange's
// worker, the remote control's callers) change operation control's settings
// in force on the user-interface thread, not on the thread that asks.
TEST_F(ProgramOperationQY310, PingModeRequestsAreTakenOnTheUserInterfaceThread)
{
    Start("QY310", {Record("survey.raw", 2000).string()});
    ASSERT_TRUE(WaitFor([&] { return Replay() != nullptr && !Operation().IsBusy(); }, 10000));
    const struct
    {
        const char* who;
        double interval;
        std::function<void(double)> request;
    } cases[] = {
        {"survey control", 7.5,
         [&](double interval) {
             program->HbxHost().RequestPingMode(CEchoSounder::kInterval, CEchoSounder::kTriggerInternal, 0, interval,
                                                0);
         }},
        {"remote control", 12.5,
         [&](double interval) {
             program->RemoteControlHost().RequestPingMode(CEchoSounder::kInterval, interval,
                                                          CEchoSounder::kTriggerInternal);
         }},
    };
    for (const auto& c : cases) {
        std::thread asker([&] { c.request(c.interval); });
        asker.join();
        // Only the user-interface thread's loop can have taken it.
        EXPECT_NE(Operation().GetSettingsInForce().PingInterval, c.interval) << c.who << ": taken on its own thread";
        EXPECT_TRUE(WaitFor([&] { return Operation().GetSettingsInForce().PingInterval == c.interval; })) << c.who;
        EXPECT_EQ(Operation().GetSettingsInForce().enumSpeed, CEchoSounder::kInterval) << c.who;
    }
    Run(cmd::STOP_SOUNDER);
    program.reset();
}

// "Change Installation": "Reprocess Heave" comes before the first ping and,
// with Reprocess on and "Apply to all files" off, again for the next file at the trigger
// thread's request, with the block as the first dialog left it.
TEST_F(ProgramOperationQY310, ReprocessHeaveAtTheStartAndForTheNextFile)
{
    const fs::path first = Record("first.raw", 5, {"heave=0.5", "roll=3"}),
                   second = Record("second.raw", 5, {"heave=0.5", "roll=3"});
    Start("QY310");
    CModalDriver driver;
    driver.Then("261", [&](QWidget& dialog) {
        CModalDriver::Click(Control<QPushButton>(dialog, 1125));
        return true;
    });
    ChooseFiles(driver, {first, second}, {{1130, false}, {1457, true}});
    driver.Then("261", AcceptWhenReady);
    std::vector<QString> shownX;
    driver.Then("258", [&](QWidget& dialog) {
        shownX.push_back(Control<QLineEdit>(dialog, 1461)->text());
        Control<QLineEdit>(dialog, 1461)->setText("2.5");
        EXPECT_FALSE(Control<QCheckBox>(dialog, 1478)->isChecked());
        Control<QCheckBox>(dialog, 1478)->setChecked(true);
        Control<QCheckBox>(dialog, 1485)->setChecked(false);
        Screenshot(dialog, "QY310-reprocess-heave");
        CModalDriver::Accept(dialog);
        return true;
    });
    driver.Then("258", [&](QWidget& dialog) {
        shownX.push_back(Control<QLineEdit>(dialog, 1461)->text());
        QMetaObject::invokeMethod(&dialog, "reject", Qt::QueuedConnection);
        return true;
    });
    Run(cmd::OPERATION);
    ASSERT_TRUE(WaitFor([&] { return shownX.size() == 2; }, 20000)) << testing::PrintToString(driver.seen);
    EXPECT_EQ(shownX[0], "0.00");
    EXPECT_EQ(shownX[1], "2.50") << "the block the first dialog left";
    ASSERT_TRUE(WaitFor([&] { return Replay() && Replay()->IsStopped(); }, 20000));
    EXPECT_EQ(Replay()->Installation().channels[0].x, 2.5) << "Cancel keeps the block";
    Run(cmd::STOP_SOUNDER);
    program.reset();
}

// After a start with a file that is no recording, and after "Stop Sounder",
// "Operation..." starts a replay again.
TEST_F(ProgramOperationQY310, OperationStartsAgainAfterAStopOrABadFile)
{
    const fs::path bad = env.Root() / "garbage.raw";
    {
        std::ofstream(bad) << "not a recording";
    }
    const fs::path good = Record("good.raw", 2000);
    Start("QY310", {bad.string()});
    ASSERT_TRUE(WaitFor([&] { return Operation().GetReplayFileList() != nullptr && !Operation().IsBusy(); }));
    ASSERT_EQ(Sounder(), nullptr);

    CModalDriver driver;
    driver.Then("261", [&](QWidget& dialog) {
        EXPECT_TRUE(Control<QPushButton>(dialog, 1)->isEnabled()) << "the list of the bad file is offered";
        CModalDriver::Click(Control<QPushButton>(dialog, 1125));
        return true;
    });
    ChooseFiles(driver, {good}, {});
    driver.Then("261", AcceptWhenReady);
    Run(cmd::OPERATION);
    ASSERT_TRUE(WaitFor([&] { return Replay() != nullptr; }, 10000));

    Run(cmd::STOP_SOUNDER);
    ASSERT_TRUE(WaitFor([&] { return Sounder() == nullptr && !Operation().IsBusy(); }));
    driver.Then("261", AcceptWhenReady);
    Run(cmd::OPERATION);
    EXPECT_TRUE(WaitFor([&] { return Replay() != nullptr; }, 10000)) << "the same list again";
    Run(cmd::STOP_SOUNDER);
    program.reset();
}

// "Change SVP Profile" in the file dialog: OK of "Operation..." opens the
// environment dialog itself, whose constant velocity the replayed channels
// then take instead of the recorded one, and "Environment..." stays open
// to the operator while the replay runs. Without it the recorded velocity
// stands and "Environment..." is greyed.
TEST_F(ProgramOperationQY310, ChangeSvpProfileOpensTheEnvironmentDialog)
{
    const fs::path recording = Record("survey.raw", 2000);
    Start("QY310");
    for (const bool change : {true, false}) {
        SCOPED_TRACE(change ? "Change SVP Profile" : "the recorded velocity");
        CModalDriver driver;
        driver.Then("261", [&](QWidget& dialog) {
            CModalDriver::Click(Control<QPushButton>(dialog, 1125));
            return true;
        });
        ChooseFiles(driver, {recording}, {{1130, false}, {1350, change}});
        driver.Then("261", AcceptWhenReady);
        bool environmentShown = false;
        driver.Then("dialog_Environment", [&](QWidget& dialog) {
            environmentShown = true;
            Control<QRadioButton>(dialog, 1329)->setChecked(true);
            Control<QLineEdit>(dialog, 1273)->setText("1470.5");
            Screenshot(dialog, "QY310-replay-environment");
            CModalDriver::Accept(dialog);
            return true;
        });
        Run(cmd::OPERATION);
        ASSERT_TRUE(WaitFor([&] { return Replay() != nullptr && Sounder()->GetPingCount() >= 3; }, 20000))
            << testing::PrintToString(driver.seen);
        EXPECT_EQ(environmentShown, change);
        EXPECT_EQ(frame->QueryCommand(cmd::ENVIRONMENT).enabled, change);
        // The channel's velocity is that of its sample distance, which a
        // replayed channel keeps as a float.
        const double velocity = Sounder()->GetChannel(0)->GetSoundVelocity();
        if (change)
            EXPECT_NEAR(velocity, 1470.5, 1e-3);
        else
            EXPECT_GT(std::abs(velocity - 1470.5), 1.0) << "the recorded " << velocity;
    }
    Run(cmd::STOP_SOUNDER);
    program.reset();
}
