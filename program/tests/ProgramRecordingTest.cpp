// The program records a live sounder: with the simulated network unit (in a
// network namespace of the test's own), the recorder's command starts and
// stops a survey line, the line counter follows, the raw file holds whole
// pings with the tide of a live tide telegram, and "Store..." changes the
// recorder's settings in between; "Echogram Storage Parameters" saves its
// values under the operation's "Store" key.
#include "recording/Store.h"
#include "recording/tests/StoreFixture.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "program/tests/TestProgram.h"
#include "sensors/NmeaDecoder.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

using nettest::Checks;

// One unit channel at the simulator's address, and the recorder's settings
// of normal operation: raw files into the given folder.
void Install(std::uint32_t address, const fs::path& folder)
{
    zv::test::InstallQY42Unit(address, [&](CRegistrySupport& reg) {
        const HKEY user = CRegistrySupport::UserRootKey();
        reg.SetDword(user, "OperationControl\\Operation\\Normal\\Store", "SaveRawData", 1);
        reg.SetString(user, "OperationControl\\Operation\\Normal\\Store", "FilePath", folder.string());
    });
}

int RunProgram()
{
    Checks check;
    QtApp();
    ShellEnvironment env;

    CQY42Simulator::Settings settings;
    CQY42Simulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    const fs::path folder = env.Root() / "survey";
    Install(settings.address, folder);

    auto options = TestProgramOptions({"QY310"});
    int dialogs = 0;
    options.storeDialog = [&](zv::recording::SStoreDialogValues& v) {
        ++dialogs;
        v.settings.lineNumber = 5;
        return true;
    };
    std::vector<std::string> echogramTitles;
    options.echogramDialog = [&](zv::recording::SStoreEchogramValues& v) {
        echogramTitles.push_back(v.Title());
        v.echogram[0] = true;
        v.surfaceCount = 321;
        v.rangeBottom = 42.5;
        return true;
    };
    auto program = MakeProgram(std::move(options));
    app::CPelmaris& pelmaris = program->Application();
    COperationControl& operation = program->Operation();
    if (!check(program->Start(), "program started"))
        return check.failures;
    app::CMainFrame* frame = program->Frame();
    CEchoSounder* sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  return sounder && sounder->GetPingCount() >= 3;
              },
              30000),
          "pings from the unit");
    app::CStatus* status = frame ? frame->GetStatus() : nullptr;
    if (!check(sounder && sounder->GetRecorder() && status, "a running sounder with a recorder"))
        return check.failures;
    const auto lineCounter = [&] {
        const app::StatusPane* pane = status->FindPane(app::ids::LINE_COUNTER);
        return pane ? pane->text + (pane->active ? " on" : " off") : std::string("none");
    };
    check(WaitFor([&] { return lineCounter() == "L0000 off"; }), "line counter at the start: " + lineCounter());

    // A tide telegram from the network: every recorded ping carries it.
    program->ParseNmeaTelegram("$PQTIDE,x,1.25", CFileTime::Now(), kNmeaFromNetwork);

    // The line counter's click posts this command.
    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    check(WaitFor([&] { return lineCounter() == "L0000 on"; }), "line counter while recording: " + lineCounter());
    check(WaitFor([&] { return !zv::recording::test::FilesWith(folder, ".raw").empty(); }, 20000),
          "a raw file in the survey folder");
    const std::uint64_t pings = sounder->GetPingCount();
    check(WaitFor([&] { return sounder->GetPingCount() >= pings + 3; }, 20000), "pings while recording");

    // A live sounder takes a text typed into "Annotation...".
    check(frame->QueryCommand(app::cmd::ANNOTATION).enabled, "Annotation... enabled while a live sounder runs");
    bool annotated = false;
    QTimer typist;
    typist.setInterval(10);
    QObject::connect(&typist, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* text = dialog ? dialog->findChild<QLineEdit*>("IDC_ANNOTATION_TEXT") : nullptr;
        if (!text)
            return;
        text->setText("Buoy 7 to port");
        dialog->accept();
        annotated = true;
    });
    typist.start();
    frame->RunCommand(app::cmd::ANNOTATION);
    typist.stop();
    check(annotated, "the annotation dialog ran");
    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    check(WaitFor([&] { return lineCounter() == "L0001 off"; }), "line counter after the stop: " + lineCounter());

    // Live and not logging: "Store..." runs its dialog and takes the line.
    check(frame->QueryCommand(app::cmd::STORE).enabled, "Store... enabled while a live sounder runs");
    frame->RunCommand(app::cmd::STORE);
    check(dialogs == 1, "the dialog ran");
    check(WaitFor([&] { return lineCounter() == "L0005 off"; }), "line counter after Store...: " + lineCounter());

    // "Echogram Storage Parameters" on a live sounder: the recorder takes
    // the values and saves them under the operation's "Store" at once.
    check(frame->QueryCommand(app::cmd::ECHOGRAM_STORAGE).enabled, "Echogram Storage Parameters enabled");
    frame->RunCommand(app::cmd::ECHOGRAM_STORAGE);
    check(echogramTitles == std::vector<std::string>{"Echogram Parameters - Normal"}, "the dialog ran, titled Normal");
    {
        CRegistrySupport reg;
        const HKEY user = CRegistrySupport::UserRootKey();
        const char* key = "OperationControl\\Operation\\Normal\\Store";
        DWORD surface = 0, echogram = 0, save = 0;
        double bottom = 0.0;
        check(reg.GetDword(user, key, "EchogramSurfaceCount", surface, FALSE) && surface == 321,
              "EchogramSurfaceCount saved: " + std::to_string(surface));
        check(reg.GetDword(user, key, "Echogram1", echogram, FALSE) && echogram == 1, "Echogram1 saved");
        check(reg.GetDword(user, key, "SaveEchogramData", save, FALSE) && save == 1, "SaveEchogramData saved");
        check(reg.GetDouble(user, key, "EchogramRangeBottom", bottom, FALSE) && bottom == 42.5,
              "EchogramRangeBottom saved");
    }

    pelmaris.Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");

    const auto files = zv::recording::test::FilesWith(folder, ".raw");
    if (!check(files.size() == 1, "one raw file, not " + std::to_string(files.size())))
        return check.failures;
    check(files[0].filename().string().rfind("L0000-", 0) == 0, "named by its line: " + files[0].filename().string());
    const auto rb = zv::recording::test::ReadBack(files[0]);
    check(rb.skipped == 0, "whole datagrams");
    check(rb.configs.size() == 1 && rb.configs[0].channels.size() == 1, "one configuration of one channel");
    check(rb.power.size() >= 3, "at least three pings, not " + std::to_string(rb.power.size()));
    check(std::count(rb.annotations.begin(), rb.annotations.end(), "Buoy 7 to port") == 1, "the annotation recorded");
    for (std::size_t d = 0; d < rb.power.size(); ++d) {
        check(rb.channels[d] == 1 && !rb.power[d].empty(), "ping " + std::to_string(d) + " of channel 1 with samples");
        check(rb.tides[d] == -1.25,
              "ping " + std::to_string(d) + " with the telegram's tide, not " + std::to_string(rb.tides[d]));
    }
    return check.failures;
}

TEST(ProgramRecording, RecordCommandRecordsTheLiveSounderIntoTheSurveyFolder)
{
    nettest::RunNamespaceTest(RunProgram);
}

}  // namespace
