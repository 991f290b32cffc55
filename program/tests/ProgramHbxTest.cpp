// The survey control exchange inside the running program: with survey
// control switched on, the survey program's commands (played with its own
// codec, sim/hbx) stop and resume the live sounder's pings, start and stop
// its recording, and bring status datagrams, replies and the network
// output's datagrams to its ports. With the simulated network unit in a
// network namespace of the test's own, where the announcements' broadcast
// goes to loopback; and the survey program's own process, zvhbxsim, at the
// exchange's real pace.
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

#include "platform/ChildProcess.h"
#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

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

// The lines of a zvhbxsim log: milliseconds since its start and the line.
std::vector<std::pair<long long, std::string>> ReadPeerLog(const std::filesystem::path& path)
{
    std::vector<std::pair<long long, std::string>> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        const auto space = line.find(' ');
        if (space != std::string::npos)
            lines.emplace_back(std::atoll(line.substr(0, space).c_str()), line.substr(space + 1));
    }
    return lines;
}

std::size_t Count(const std::vector<std::pair<long long, std::string>>& lines, const std::string& head)
{
    return static_cast<std::size_t>(
        std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return l.second.rfind(head, 0) == 0; }));
}

// The survey program's own process, zvhbxsim, against the program at its
// real pace (a cycle of 990 ms): announcements about a second apart, with
// "0000" until it registers and its address after; its queries answered,
// pings resumed, stopped and resumed again, and recording started, restarted and stopped by LOG=1, 2
// and 0.
int RunPeer()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
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
    auto program = MakeProgram(TestProgramOptions({"QY310"}));
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
    operation.ForwardControl(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0.0, 1);
    check(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kSingleStep; }), "single step at once");

    // One run of the peer for the seconds given, the user interface going
    // on meanwhile; its log, and how long it ran.
    int run = 0;
    const auto peer = [&](const std::string& send, int seconds) {
        const std::filesystem::path log = env.Root() / ("hbx" + std::to_string(++run) + ".log");
        std::vector<std::string> argv{
            ZVHBXSIM,     "--status-port=" + std::to_string(kStatusPort), "--reply-port=" + std::to_string(kReplyPort),
            "--gap=1200", "--seconds=" + std::to_string(seconds),         "--log=" + log.string()};
        if (!send.empty())
            argv.push_back("--send=" + send);
        std::atomic<int> result{-2};
        const auto start = std::chrono::steady_clock::now();
        std::thread process([&] { result = CChildProcess::Run(argv, true); });
        WaitFor([&] { return result.load() != -2; }, (seconds + 30) * 1000);
        process.join();
        const double ran = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        check(result.load() == 0, "zvhbxsim ran: " + send);
        return std::make_pair(ReadPeerLog(log), ran);
    };
    const auto recording = [&] {
        bool on = false;
        program->Recorder().With([&](zv::recording::CStore& store) { on = store.GetMode() != 0; });
        return on;
    };
    const auto file = [&] {
        std::string path;
        program->Recorder().With([&](zv::recording::CStore& store) { path = store.GetFilePath(); });
        return path;
    };

    // Not registered yet. No cycle is shorter than 990 ms, so a run can see
    // no more announcements than that allows.
    const auto [silent, ran] = peer("", 5);
    const std::size_t announcements = Count(silent, "ANNOUNCE QY310");
    check(announcements >= 2 && announcements <= static_cast<std::size_t>(ran / 0.99) + 1,
          "announcements about a second apart: " + std::to_string(announcements) + " in " + std::to_string(ran) + " s");
    check(Count(silent, "ANNOUNCE QY310") > 0 && Count(silent, "ANNOUNCE") == Count(silent, "ANNOUNCE QY310 ") &&
              std::all_of(silent.begin(), silent.end(),
                          [](const auto& l) { return l.second.find("survey 48.48.48.48") != std::string::npos; }),
          "before registration the announcement carries 0000");

    const auto registered = peer("P00,PU0,P03,P20,P10", 9).first;
    check(Count(registered, "STATUS QY310") > 0, "status datagrams after PU0");
    check(Count(registered, "QUERY QY310") == 1 && Count(registered, "CLOCK CS,") == 1, "query and clock replies");
    check(std::any_of(registered.begin(), registered.end(),
                      [](const auto& l) {
                          return l.second.rfind("ANNOUNCE", 0) == 0 &&
                                 l.second.find("survey 127.0.0.1") != std::string::npos;
                      }),
          "the announcement carries the survey program's address");
    check(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kMaximumRate; }), "pinging again");
    check(Count(peer("", 3).first, "NET $SDDBT") > 0, "the network output's depth at the reply port");

    // "P02" stops the pings: no depth reaches the reply port while stopped;
    // "P10" starts them again.
    peer("P02", 2);
    check(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kSingleStep; }), "P02 stops pinging");
    const std::uint64_t stoppedAt = sounder->GetPingCount();
    check(Count(peer("", 3).first, "NET $SDDBT") == 0, "no depth while stopped");
    check(sounder->GetPingCount() <= stoppedAt + 1, "no pings while stopped");
    peer("P10", 2);
    check(WaitFor([&] { return sounder->GetRateMode() == CEchoSounder::kMaximumRate; }), "P10 pings again");
    check(WaitFor([&] { return sounder->GetPingCount() > stoppedAt + 2; }, 20000), "pings after P10");
    check(Count(peer("", 3).first, "NET $SDDBT") > 0, "depth at the reply port after P10");

    peer("QYL2", 2);  // not recording: nothing to restart
    check(!recording(), "LOG=2 starts nothing");
    peer("QYL1", 2);
    check(WaitFor(recording, 20000), "recording");
    const std::string first = file();
    // A new file's name holds the second it was made in.
    const std::uint64_t made = CFileTime::Now() / 10'000'000;
    WaitFor([&] { return CFileTime::Now() / 10'000'000 > made; }, 5000);
    peer("QYL1", 2);  // recording: nothing
    check(file() == first, "LOG=1 while recording keeps the file");
    peer("QYL2", 2);
    check(WaitFor([&] { return recording() && file() != first; }, 20000), "recording restarted in a new file");
    peer("QYL0", 2);
    check(WaitFor([&] { return !recording(); }, 20000), "recording stopped");

    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    return check.failures;
}

TEST(ProgramHbx, SurveyProgramsPeerAtTheRealPace)
{
    nettest::RunNamespaceTest(RunPeer);
}

}  // namespace
