// The program started as each model that may run an HXU unit, with an
// installed one, the simulated unit, inside a network namespace of the
// test's own (the sounder's trigger broadcast stays there): the unit answers
// the start-up talk, pings through the engine on every mode set, and its
// two channels find the bottom the unit put in the samples; its thermistor
// and motion readings reach the program's sensors.
#include "sim/hxu/HxuSimulator.h"
#include "sounder/EchoSounder.h"
#include "sounder/OperationControl.h"
#include "transceivers/HXU.h"
#include "transceivers/TransceiverInstallation.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "platform/MessageBox.h"
#include "program/tests/TestProgram.h"
#include "testsupport/NetNamespace.h"

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

TEST(ProgramHxuUnit, PingsAsQY310AndFindsTheBottomOnEveryChannel)
{
    nettest::RunNamespaceTest([] { return RunHxu("QY310"); });
}

TEST(ProgramHxuUnit, PingsAsQY210)
{
    nettest::RunNamespaceTest([] { return RunHxu("QY210"); });
}

TEST(ProgramHxuUnit, AFatalErrorFromTheUnitStopsTheSounderWithItsBox)
{
    nettest::RunNamespaceTest([] { return RunHxuFatal(); });
}

}  // namespace
