// The program started as each model that may run an HXU unit, with an
// installed one, the simulated unit, inside a network namespace of the
// test's own (the sounder's trigger broadcast stays there): the unit answers
// the start-up talk, pings through the engine on every mode set, and its
// two channels find the bottom the unit put in the samples; its debug
// dialog and alarm commands reach it through the menus.
#include "sim/hxu/HxuSimulator.h"
#include "sounder/EchoSounder.h"
#include "sounder/OperationControl.h"
#include "transceivers/HXU.h"
#include "transceivers/TransceiverInstallation.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "platform/MessageBox.h"
#include "program/tests/TestProgram.h"
#include "testsupport/NetNamespace.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace shelltest;

namespace {

using nettest::Checks;

constexpr std::uint32_t kHxuAddress = 0x7F000002;  // 127.0.0.2
constexpr const char* kName = "HXU-H 17";

CTrList HxuChannelEntry(int channel, int kHz)
{
    CTrList e;
    e.transceiverId = kName;
    e.channelNo = channel;
    e.type = TransceiverType::HXU;
    e.unitAddress = kHxuAddress;
    e.frequencyKHz = kHz;
    e.frequency = kHz * 1000.0;
    e.txPower = 1000.0;
    e.minMedMaxTxPower = "100 500 1000";
    e.sampleInterval = "0.0001";
    e.minMedMaxPulseLength = "0.000256 0.000512 0.001024 0.002048 0.004096";
    e.gain = "26";
    const std::string description = "T" + std::to_string(kHz) + " " + std::to_string(kHz) + " kHz";
    e.FormatDescription(&description, TransceiverType::HXU);
    return e;
}

void InstallHxuUnit(const std::string& model)
{
    CRegistrySupport reg;
    if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\" + model + "\\1.0\\"))
        return;
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    installation.WriteChannelEntry(HxuChannelEntry(1, 38), key);
    installation.WriteChannelEntry(HxuChannelEntry(2, 120), key);
    reg.CloseKey(key);
    reg.CloseRootKeys();
}

int RunHxu(const std::string& model)
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    check(nettest::RouteBroadcastToLoopback(), "broadcasts stay on loopback");

    CHxuSimulator::Settings settings;
    settings.address = kHxuAddress;
    settings.identity = kName;
    CHxuSimulator sim(settings);
    if (!check(sim.Start(), "HXU simulator on 127.0.0.2"))
        return check.failures;
    InstallHxuUnit(model);

    auto options = TestProgramOptions({model});
    options.unitTimings.hxuStartPauseMs = 0;
    auto program = MakeProgram(std::move(options));
    COperationControl& operation = program->Operation();
    if (!check(program->Start(), "program started"))
        return check.failures;

    CEchoSounder* sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  return sounder && sounder->GetPingCount() >= 50;
              },
              60000),
          "50 pings through the engine, not " + std::to_string(sounder ? sounder->GetPingCount() : 0));
    if (!check(sounder != nullptr, "a running sounder"))
        return check.failures;
    CHXU* hxu = sounder->GetTransceiverCount() == 1 ? dynamic_cast<CHXU*>(sounder->GetTransceiver(0)) : nullptr;
    if (!check(hxu != nullptr, "the HXU unit in the sounder"))
        return check.failures;
    check(sim.GetVersionQueries() == 1 && sim.GetConnects() == 1, "one start-up talk");
    check(hxu->GetChannelCount() == 2, "two channels");
    check(hxu->GetPingsCompleted() >= 50 && sim.GetModeSets() >= 50, "a mode set and a whole ping each time");
    for (int slot = 0; slot < 2; ++slot) {
        CChannel* channel = hxu->GetSlotChannel(slot);
        if (!check(channel != nullptr, "channel " + std::to_string(slot)))
            continue;
        const double distance = channel->GetNextParameters().SampleDistance;
        const double expected = sim.BottomSample(0.0001) * distance;
        const double found = channel->GetBottomDepth();
        check(std::abs(found - expected) <= 2.0 * distance, "channel " + std::to_string(slot) + " bottom " +
                                                                std::to_string(found) + " m, the unit's " +
                                                                std::to_string(expected) + " m");
    }
    // "Debug HXU..." reaches the unit through the menu, and its "Alarm On"
    // button, posted to the main window, reaches the unit itself.
    app::CMainFrame* frame = program->Frame();
    check(frame->QueryCommand(app::cmd::DEBUG_HXU).enabled, "Debug HXU... offered while the unit runs");
    bool dialogShown = false;
    QTimer operatorHand;
    operatorHand.setInterval(20);
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(w);
            if (!dialog || !dialog->isVisible() || dialog->objectName() != "CHXUDialog")
                continue;
            dialogShown = true;
            if (auto* on = dialog->findChild<QPushButton*>("alarmOn"))
                on->click();
            dialog->reject();
        }
    });
    operatorHand.start();
    frame->RunCommand(app::cmd::DEBUG_HXU);
    operatorHand.stop();
    check(dialogShown, "the debug dialog was shown");
    check(WaitFor([&] { return sim.GetAlarm() == 1; }, 5000), "Alarm On reached the unit");
    frame->RunCommand(app::cmd::HXU_ALARM_OFF);
    check(WaitFor([&] { return sim.GetAlarm() == 0; }, 5000), "alarm off reached the unit");

    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    check(WaitFor([&] { return sim.GetDisconnects() == 1; }, 5000), "the unit was told goodbye");
    return check.failures;
}

// The unit reports a fatal error while the sounder pings: the sounder
// stops, even while the operator has not closed the box yet, the unit's
// text is shown once, on the user-interface thread, and the unit is told
// goodbye.
int RunHxuFatal()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    check(nettest::RouteBroadcastToLoopback(), "broadcasts stay on loopback");

    CHxuSimulator::Settings settings;
    settings.address = kHxuAddress;
    settings.identity = kName;
    settings.fatalText = "DSP watchdog 7";
    CHxuSimulator sim(settings);
    if (!check(sim.Start(), "HXU simulator on 127.0.0.2"))
        return check.failures;
    InstallHxuUnit("QY310");

    auto options = TestProgramOptions({"QY310"});
    options.unitTimings.hxuStartPauseMs = 0;
    auto program = MakeProgram(std::move(options));
    const std::thread::id ui = std::this_thread::get_id();
    std::mutex lock;
    std::vector<MessageBoxEntry> shown;
    bool offUi = false;
    bool stoppedBehindBox = false;
    COperationControl& operation = program->Operation();
    // The operator leaves the unit's box open: the sounder stops behind it.
    SetMessageBoxPresenter([&](HWND, const std::string& text, const std::string& caption, UINT flags) {
        {
            std::lock_guard<std::mutex> guard(lock);
            shown.push_back({caption, text, flags, IDOK});
            offUi = offUi || std::this_thread::get_id() != ui;
        }
        if (text.find("DSP watchdog 7") != std::string::npos)
            stoppedBehindBox =
                WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000);
        return IDOK;
    });
    if (!check(program->Start(), "program started"))
        return check.failures;
    CEchoSounder* sounder = nullptr;
    if (!check(WaitFor(
                   [&] {
                       sounder = operation.GetEchoSounder();
                       return sounder && sounder->GetPingCount() >= 5;
                   },
                   60000),
               "pinging before the fault"))
        return check.failures;

    sim.SetFault(CHxuSimulator::Fault::Fatal);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000),
          "the sounder stopped on the unit's error");
    check(WaitFor([&] { return sim.GetDisconnects() == 1; }, 5000), "the unit was told goodbye");
    std::lock_guard<std::mutex> guard(lock);
    check(stoppedBehindBox, "the sounder stopped while the box was open");
    check(!offUi, "every box on the user-interface thread");
    int fatalBoxes = 0;
    for (const MessageBoxEntry& e : shown)
        if (e.caption == "Error from HXU Transceiver" && e.text.find("DSP watchdog 7") != std::string::npos)
            ++fatalBoxes;
    check(fatalBoxes == 1, "the unit's error shown once, not " + std::to_string(fatalBoxes) + " times");
    SetMessageBoxPresenter({});
    return check.failures;
}

// The unit does not answer the start-up talk: the operator is asked on the
// user-interface thread, "Retry" asks the unit again and "Cancel" leaves
// the program without a sounder; once the unit answers, a restart pings.
int RunHxuNoContact()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    check(nettest::RouteBroadcastToLoopback(), "broadcasts stay on loopback");

    CHxuSimulator::Settings settings;
    settings.address = kHxuAddress;
    settings.identity = kName;
    CHxuSimulator sim(settings);
    if (!check(sim.Start(), "HXU simulator on 127.0.0.2"))
        return check.failures;
    sim.SetFault(CHxuSimulator::Fault::Silent);
    InstallHxuUnit("QY310");

    auto options = TestProgramOptions({"QY310"});
    options.unitTimings.hxuStartPauseMs = 0;
    options.unitTimings.hxuAnswerWaitMs = 200;
    auto program = MakeProgram(std::move(options));
    COperationControl& operation = program->Operation();
    // Retry first, then Cancel.
    int asked = 0;
    std::string shownName;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QDialog*>(w);
            if (!dialog || !dialog->isVisible() || dialog->objectName() != "CHXUNoContactDialog")
                continue;
            if (auto* name = dialog->findChild<QLabel*>("transceiverName"))
                shownName = name->text().toStdString();
            if (auto* button = dialog->findChild<QPushButton*>(++asked == 1 ? "retry" : "cancel"))
                button->click();
        }
    });
    answer.start();
    if (!check(program->Start(), "program started"))
        return check.failures;
    check(WaitFor([&] { return asked == 2 && !operation.IsBusy(); }, 20000),
          "asked twice, not " + std::to_string(asked));
    check(shownName == kName, "the dialog names the unit: " + shownName);
    check(sim.GetVersionQueries() == 2, "asked the unit again on Retry");
    check(operation.GetEchoSounder() == nullptr, "no sounder without the unit");

    sim.SetFault(CHxuSimulator::Fault::None);
    program->Application().Operation().PostRestart();
    CEchoSounder* sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  return sounder && sounder->GetPingCount() >= 5;
              },
              60000),
          "pinging once the unit answers");
    check(asked == 2, "no question when the unit answers");
    answer.stop();
    return check.failures;
}

TEST(ProgramHxuUnit, PingsAsQY310AndFindsTheBottomOnEveryChannel)
{
    nettest::RunNamespaceTest([] { return RunHxu("QY310"); });
}

TEST(ProgramHxuUnit, PingsAsQY210)
{
    nettest::RunNamespaceTest([] { return RunHxu("QY210"); });
}

TEST(ProgramHxuUnit, NoContactAsksRetryOrCancel)
{
    nettest::RunNamespaceTest([] { return RunHxuNoContact(); });
}

TEST(ProgramHxuUnit, AFatalErrorFromTheUnitStopsTheSounderWithItsBox)
{
    nettest::RunNamespaceTest([] { return RunHxuFatal(); });
}

}  // namespace
