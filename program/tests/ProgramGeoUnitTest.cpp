// The program with installed GEO units, the simulated ones, inside a network
// namespace of the test's own: the unit wakes over TCP, pings on the trigger
// broadcast, and its four channels find the bottom the unit put in the
// samples; beside a QY42 unit both ping; a header's text telegram reaches
// the telegram decoder.
#include "sim/geo/GeoSimulator.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/EchoSounder.h"
#include "sounder/OperationControl.h"
#include "transceivers/GEO.h"
#include "transceivers/QY42.h"
#include "transceivers/TransceiverInstallation.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "program/tests/TestProgram.h"
#include "sensors/Navigation.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

using namespace shelltest;

namespace {

using nettest::Checks;

constexpr std::uint32_t kGeoAddress = 0x7F000002;   // 127.0.0.2
constexpr std::uint32_t kQY42Address = 0x7F000003;  // 127.0.0.3

CTrList GeoChannelEntry(int channel)
{
    static const int kHz[4] = {38, 70, 120, 200};
    CTrList e;
    e.transceiverId = "GEO";
    e.channelNo = channel;
    e.type = TransceiverType::GEO;
    e.unitAddress = kGeoAddress;
    e.frequencyKHz = kHz[channel - 1];
    e.frequency = e.frequencyKHz * 1000.0;
    e.txPower = 1000.0;
    e.minMedMaxTxPower = "100 500 1000";
    e.sampleInterval = "0.0001";
    e.minMedMaxPulseLength = "0.000256 0.000512 0.001024 0.002048 0.004096";
    e.gain = "26";
    const std::string description =
        "T" + std::to_string(e.frequencyKHz) + " " + std::to_string(e.frequencyKHz) + " kHz " + std::to_string(channel);
    e.FormatDescription(&description, TransceiverType::GEO);
    return e;
}

void InstallGeoUnit(int channels, bool withQY42)
{
    if (withQY42)
        zv::test::InstallQY42Unit(kQY42Address);
    CRegistrySupport reg;
    if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"))
        return;
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    for (int c = 1; c <= channels; ++c)
        installation.WriteChannelEntry(GeoChannelEntry(c), key);
    reg.CloseKey(key);
    reg.CloseRootKeys();
}

// Pings through the engine, and the bottom of each GEO channel within two
// samples of the one the unit put there.
int RunGeo(bool withQY42)
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    check(nettest::RouteBroadcastToLoopback(), "broadcasts stay on loopback");

    CGeoSimulator::Settings settings;
    settings.address = kGeoAddress;
    settings.textEvery = 5;
    settings.text = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47";
    CGeoSimulator sim(settings);
    if (!check(sim.Start(), "GEO simulator on 127.0.0.2"))
        return check.failures;
    CQY42Simulator::Settings qy42;
    qy42.address = kQY42Address;
    CQY42Simulator qy42sim(qy42);
    if (withQY42 && !check(qy42sim.Start(), "QY42 simulator on 127.0.0.3"))
        return check.failures;
    InstallGeoUnit(4, withQY42);

    auto options = TestProgramOptions({"QY310"});
    options.unitTimings.receiveWaitMs = 300;
    options.unitTimings.geoStartPauseMs = 50;
    options.unitTimings.timeoutLogPath.clear();
    auto program = MakeProgram(std::move(options));
    COperationControl& operation = program->Operation();
    if (!check(program->Start(), "program started"))
        return check.failures;
    // The operator takes GGA positions from the network, where the unit's
    // text telegrams arrive.
    CNavigation* navigation = program->Application().Sensor<CNavigation>(app::SensorId::Navigation);
    if (!check(navigation != nullptr, "a navigation input"))
        return check.failures;
    CNavigation::Settings navigationSettings = CNavigation::ApplySentence(navigation->GetSettings(), 1);
    navigationSettings.PositionSource = CNavigation::kSourceNetwork;
    navigation->StoreSettings(navigationSettings);

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
    check(sim.GetBegins() == 1 && sim.GetStarts() == 1, "the unit was woken and started once");
    check(sim.GetSetups() >= 2, "the unit got its channel set-ups");
    check(sim.GetAcknowledgements() >= 50, "the unit's datagrams were acknowledged");
    const CNmeaDecoder& decoder = program->Decoder();
    check(decoder.GetLastPositionTime() != 0 || decoder.GetLastOtherPositionTime() != 0,
          "the unit's text telegrams reach the telegram decoder");

    CGEO* geo = nullptr;
    for (int t = 0; t < sounder->GetTransceiverCount(); ++t)
        if (auto* g = dynamic_cast<CGEO*>(sounder->GetTransceiver(t)))
            geo = g;
    if (!check(geo != nullptr, "a GEO unit in the sounder"))
        return check.failures;
    check(geo->GetChannelCount() == 4, "four channels");
    check(geo->GetPingsCompleted() >= 50, "the unit's pings completed");
    for (int c = 0; c < 4; ++c) {
        CChannel* channel = geo->GetSlotChannel(c);
        if (!check(channel != nullptr, "channel " + std::to_string(c)))
            continue;
        const double distance = channel->GetNextParameters().SampleDistance;
        const double expected = sim.BottomSample() * distance;
        const double found = channel->GetBottomDepth();
        check(std::abs(found - expected) <= 2.0 * distance, "channel " + std::to_string(c) + " bottom " +
                                                                std::to_string(found) + " m, the unit's " +
                                                                std::to_string(expected) + " m");
    }
    if (withQY42) {
        CQY42* unit = nullptr;
        for (int t = 0; t < sounder->GetTransceiverCount(); ++t)
            if (auto* q = dynamic_cast<CQY42*>(sounder->GetTransceiver(t)))
                unit = q;
        check(unit != nullptr && unit->GetPingsCompleted() >= 40,
              "the QY42 pings beside the GEO: " + std::to_string(unit ? unit->GetPingsCompleted() : 0));
    }
    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    return check.failures;
}

TEST(ProgramGeoUnit, PingsOnTheTriggerBroadcastAndFindsTheBottomOnEveryChannel)
{
    nettest::RunNamespaceTest([] { return RunGeo(false); });
}

TEST(ProgramGeoUnit, PingsBesideAQY42Unit)
{
    nettest::RunNamespaceTest([] { return RunGeo(true); });
}

}  // namespace
