// The survey control exchange inside the running program: with survey
// control switched on, the survey program's commands (played with its own
// codec, sim/hbx) stop and resume the live sounder's pings, start and stop
// its recording, and bring status datagrams, replies and the network
// output's datagrams to its ports. With the simulated network unit in a
// network namespace of the test's own, where the announcements' broadcast
// goes to loopback.
#include "recording/Store.h"
#include "sim/hbx/HbxCodec.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "program/tests/TestProgram.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <gtest/gtest.h>

using namespace shelltest;

namespace {

using nettest::Checks;
using Kind = hbxsim::SDatagram::EKind;

constexpr std::uint16_t kStatusPort = 40013, kReplyPort = 40014;

// The survey program's sockets: announcements, status, replies.
struct SSurveyProgram
{
    CSocket announce, status, reply, command;

    bool Open()
    {
        const std::pair<CSocket*, std::uint16_t> sockets[] = {
            {&announce, 1999}, {&status, kStatusPort}, {&reply, kReplyPort}, {&command, 0}};
        for (const auto& [socket, port] : sockets)
            if (!socket->Create(CSocket::Udp) || !socket->Bind(SocketAddress(0, port)))
                return false;
        return true;
    }
    void Send(const std::vector<std::uint8_t>& datagram)
    {
        command.SendTo(datagram.data(), datagram.size(), SocketAddress(SocketAddress::kLoopback, 2012));
    }
    // The first datagram of a kind on a socket within the time; the user
    // interface keeps running meanwhile.
    hbxsim::SDatagram Await(CSocket& socket, Kind kind, int timeoutMs = 10000)
    {
        hbxsim::SDatagram found;
        std::vector<std::uint8_t> buffer(70000);
        WaitFor(
            [&] {
                const int n = socket.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 0);
                if (n < 0)
                    return false;
                found = hbxsim::Decode(std::span(buffer.data(), static_cast<std::size_t>(n)));
                return found.kind == kind;
            },
            timeoutMs);
        return found;
    }
};

int RunProgram()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
        return check.failures;
    SSurveyProgram survey;
    if (!check(survey.Open(), "survey program's sockets"))
        return check.failures;

    CQY42Simulator::Settings settings;
    CQY42Simulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(settings.address, [&](CRegistrySupport& reg) {
        const HKEY user = CRegistrySupport::UserRootKey();
        reg.SetDword(user, "QYNet", "DepthNMEADatagramDBT", 1);
        reg.SetDword(user, "OperationControl\\Operation\\Normal\\Store", "SaveRawData", 1);
        reg.SetString(user, "OperationControl\\Operation\\Normal\\Store", "FilePath", (env.Root() / "survey").string());
    });

    auto options = TestProgramOptions({"QY310"});
    options.hbx.cycleMs = 100;
    auto program = MakeProgram(options);
    COperationControl& operation = program->Operation();
    if (!check(program->Start(), "program started"))
        return check.failures;
    CEchoSounder* sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  return sounder && sounder->GetRecorder() && sounder->GetPingCount() >= 2;
              },
              30000),
          "a running sounder");
    if (!sounder)
        return check.failures;
    // The operator switches survey control on, as the operation dialog does.
    operation.ForwardControl(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0.0, 1);
    // Survey control on: the sounder waits for the survey program.
    check(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kSingleStep; }), "single step at once");
    const hbxsim::SDatagram first = survey.Await(survey.announce, Kind::Announcement);
    check(first.kind == Kind::Announcement && first.surveyAddress == 0x30303030 && first.head.model == 310 &&
              first.commandPort == 2012,
          "announcement before registration: " + hbxsim::Describe(first, 108));

    survey.Send(hbxsim::Command("P00"));
    check(WaitFor(
              [&] {
                  return survey.Await(survey.announce, Kind::Announcement, 200).surveyAddress ==
                         SocketAddress::kLoopback;
              },
              10000),
          "announcement carries the survey program's address");
    survey.Send(hbxsim::Ports(kStatusPort, kReplyPort));
    check(survey.Await(survey.status, Kind::Status).kind == Kind::Status, "status datagrams");

    survey.Send(hbxsim::Command("P10"));
    check(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kMaximumRate; }), "pinging again");
    const hbxsim::SDatagram depth = survey.Await(survey.reply, Kind::Other);
    check(depth.text.find("DBT") != std::string::npos, "network output's depth telegram at the reply port");
    survey.Send(hbxsim::Command("P02"));
    check(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kSingleStep; }), "stopped");

    survey.Send(hbxsim::Command("P03"));
    check(survey.Await(survey.status, Kind::QueryReply).result == "QY dummy result", "query reply");
    survey.Send(hbxsim::Command("P20"));
    check(survey.Await(survey.reply, Kind::ClockReply).kind == Kind::ClockReply, "clock reply");

    const auto recording = [&] {
        bool on = false;
        program->Recorder().With([&](zv::recording::CStore& store) { on = store.GetMode() != 0; });
        return on;
    };
    survey.Send(hbxsim::Logging("1", "line1"));
    check(WaitFor(recording, 20000), "recording");
    survey.Send(hbxsim::Logging("0", "line1"));
    check(WaitFor([&] { return !recording(); }, 20000), "recording stopped");

    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    return check.failures;
}

TEST(ProgramHbx, SurveyProgramDrivesTheLiveSounder)
{
    nettest::RunNamespaceTest(RunProgram);
}

}  // namespace
