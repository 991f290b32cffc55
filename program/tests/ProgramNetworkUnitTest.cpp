// The program with an installed network unit, the simulated one, inside a
// network namespace of the test's own: the search dialog while the unit is
// silent at the start, the unit's lost samples and lost link in the status
// bar, the re-link behind the search dialog when it speaks again, and a
// refusing unit that is never used.
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"
#include "transceivers/QY42.h"
#include "transceivers/UnitSearchWait.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "platform/Paths.h"
#include "program/tests/TestProgram.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"
#include "transceivers/ui/SearchNVU.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

using nettest::Checks;

int RunProgram()
{
    Checks check;
    QtApp();
    ShellEnvironment env;

    CQY42Simulator::Settings settings;
    settings.dropEvery = 5;
    CQY42Simulator sim(settings);
    sim.SetSilent(true);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(settings.address);

    auto options = TestProgramOptions({"QY310"});
    // A silent wait of 300 ms stands for the unit's 2 s: the lost link comes
    // after eleven of them.
    options.unitTimings.receiveWaitMs = 300;
    // The unit's time-out note keeps its name: it goes to the data root,
    // not to the folder the program was started in.
    const fs::path timeoutNote = fs::path(CPaths::DataRoot()) / "DEBUG_TimeOut.txt";
    auto program = MakeProgram(std::move(options));
    app::CPelmaris& pelmaris = program->Application();
    COperationControl& operation = program->Operation();

    // The operator gives up on the first search. A later one while the unit
    // is silent is the data thread's, after the link was lost: there the
    // unit speaks again, and the dialog must end by itself. While the unit
    // answers, a dialog may show for as long as the answer takes.
    int searches = 0;
    int relinkSearches = 0;
    std::string searchText;
    QObject* searchParent = nullptr;
    QTimer operatorHand;
    operatorHand.setInterval(20);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<CSearchNVU*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->IsAnimating() || dialog->property("seen").toBool())
            return;
        dialog->setProperty("seen", true);
        if (!sim.IsSilent())
            return;
        if (++searches == 1) {
            searchText = dialog->findChild<QLineEdit*>(QString::number(CSearchNVU::IDC_TEXT))->text().toStdString();
            searchParent = dialog->parent();
            dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
        } else {
            ++relinkSearches;
            sim.SetSilent(false);
        }
    });
    operatorHand.start();

    if (!check(program->Start(), "program started"))
        return check.failures;
    app::CMainFrame* frame = program->Frame();
    check(WaitFor([&] { return searches == 1 && !operation.IsBusy(); }, 20000),
          "the start shows the search dialog for the silent unit");
    check(searchText == "Wait for response from 127.0.0.2", "search text: " + searchText);
    check(searchParent == frame, "the dialog belongs to the main frame");
    check(operation.GetEchoSounder() == nullptr, "a unit given up on starts no sounder");

    sim.SetSilent(false);
    pelmaris.Operation().PostRestart();
    CEchoSounder* sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  return sounder && sounder->GetPingCount() >= 3 && !QApplication::activeModalWidget();
              },
              30000),
          "pings once the unit answers");

    app::CStatus* status = frame ? frame->GetStatus() : nullptr;
    if (!check(sounder && status, "a running sounder and a status bar"))
        return check.failures;
    check(WaitFor([&] { return status->CurrentStatusText() == "Lost samples from NVU"; }, 20000),
          "dropped datagrams show as lost samples, not: " + status->CurrentStatusText());
    // The unit falls silent in the middle of a ping: after eleven silent
    // waits the program raises the alarm and looks for the unit again, and
    // pings resume once it answers.
    sim.SilenceDuringNextPing();
    check(WaitFor([&] { return status->CurrentAlarmText() == "Lost contact with the network transceiver"; }, 40000),
          "the lost link is an alarm, not: " + status->CurrentAlarmText());
    check(!sounder->IsLinkLost(), "the trigger thread took the report");
    check(fs::exists(timeoutNote), "the lost link noted in " + timeoutNote.string());
    const std::uint64_t pingsAtAlarm = sounder->GetPingCount();
    check(WaitFor([&] { return sounder->GetPingCount() >= pingsAtAlarm + 3 && !QApplication::activeModalWidget(); },
                  40000),
          "pings resume once the unit answers again");
    check(relinkSearches == 1, "one search dialog for the re-link, not " + std::to_string(relinkSearches));

    pelmaris.Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");

    // A unit that refuses is never used: the start gets no further than
    // asking for its version.
    sim.Stop();
    settings.refuse = true;
    CQY42Simulator refusing(settings);
    check(refusing.Start(), "refusing unit on 127.0.0.2");
    pelmaris.Operation().PostRestart();
    check(WaitFor(
              [&] {
                  return !refusing.GetReceivedCodes().empty() && !operation.IsBusy() &&
                         !QApplication::activeModalWidget();
              },
              20000),
          "the start asked the refusing unit");
    check(operation.GetEchoSounder() == nullptr, "no sounder with a refusing unit");
    for (const auto& code : refusing.GetReceivedCodes())
        check(code == "VR", "only version requests reached the refusing unit, not " + code);
    operatorHand.stop();
    return check.failures;
}

TEST(ProgramNetworkUnit, SearchDialogLostSamplesAndLostLinkReachTheOperator)
{
    nettest::RunNamespaceTest(RunProgram);
}

TEST(ProgramNetworkUnit, DataThreadWaitShowsTheSearchDialogOnTheUserInterfaceThread)
{
    // Its Qt is made in the test's process, the namespace test's in its own
    // child: run in one process, this one comes second, so no child is
    // forked from a process that runs Qt already.
    // A unit that must be found again waits on its data thread: the dialog
    // comes up on this thread, and either the operator's Cancel reaches the
    // worker or the unit's answer closes the dialog by itself.
    QtApp();
    app::CQtDispatcherAdapter dispatcher;
    QWidget frame;
    CUnitSearchWait wait([&frame](const std::string& text, const std::function<bool()>& done) {
        return CSearchNVU::RunWait(text, done, &frame);
    });
    for (const bool operatorCancels : {true, false}) {
        std::atomic<bool> answered{false};
        std::atomic<bool> returned{false};
        std::atomic<bool> result{!operatorCancels};
        std::thread worker([&] {
            result = wait.Wait("Wait for response from 127.0.0.2", [&] { return answered.load(); });
            returned = true;
        });
        CSearchNVU* shown = nullptr;
        std::thread::id shownOn;
        QTimer hand;
        hand.setInterval(20);
        QObject::connect(&hand, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CSearchNVU*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->IsAnimating() || shown)
                return;
            shown = dialog;
            shownOn = std::this_thread::get_id();
            if (operatorCancels)
                dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
            else
                answered = true;
        });
        hand.start();
        const bool ended = WaitFor([&] { return returned.load() && !QApplication::activeModalWidget(); }, 10000);
        hand.stop();
        if (!ended)
            answered = true;  // let the worker go before failing
        worker.join();
        ASSERT_TRUE(ended) << (operatorCancels ? "cancel" : "answer");
        EXPECT_NE(shown, nullptr);
        EXPECT_EQ(shownOn, std::this_thread::get_id());
        EXPECT_EQ(result.load(), !operatorCancels);
    }
}

}  // namespace
