// The remote control inside the running program: "PE" telegrams that
// another program (zvremotectl, sim/remotectl) sends to the network input
// port, or as lines on the navigation's serial line, switch the live
// sounder's ping mode, start and stop its recording and the picture
// history; hostile ones change nothing. With the simulated
// network unit in a network namespace of the test's own.
#include "recording/Store.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "display/HistoryPrinting.h"
#include "outputs/QYNet.h"
#include "platform/ChildProcess.h"
#include "platform/FileTime.h"
#include "program/tests/TestLiveSounder.h"
#include "program/tests/TestProgram.h"
#include "sensors/Navigation.h"
#include "sensors/NmeaDecoder.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

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
    CQY42Simulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(settings.address, [&](CRegistrySupport& reg) {
        const HKEY user = CRegistrySupport::UserRootKey();
        reg.SetDword(user, "OperationControl\\Operation\\Normal\\Store", "SaveRawData", 1);
        reg.SetString(user, "OperationControl\\Operation\\Normal\\Store", "FilePath", (env.Root() / "survey").string());
    });

    CSocatLine navigationLine(env.Root(), CNavigation::kSettingId, 5);
    if (!check(navigationLine.IsUp(), "navigation's socat line"))
        return check.failures;
    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    COperationControl& operation = program->Operation();
    if (!check(program->Start(), "program started"))
        return check.failures;
    CEchoSounder* sounder = nullptr;
    check(WaitFor(
              [&] {
                  sounder = operation.GetEchoSounder();
                  return sounder && sounder->GetPingCount() >= 2;
              },
              30000),
          "pings from the unit");
    if (!check(sounder && sounder->GetRecorder(), "a running sounder with a recorder"))
        return check.failures;

    auto* net = program->Application().Sensor<CQYNet>(app::SensorId::NetworkOutput);
    if (!check(net && net->Port().IsOpen(), "the network input port"))
        return check.failures;
    // The other program, one run a telegram (a command name, or with raw the
    // text as it stands).
    const std::string port = "--port=" + std::to_string(net->Port().LocalPort());
    const auto remote = [&](const std::string& command, bool raw = false) {
        std::vector<std::string> argv{ZVREMOTECTL, port};
        if (raw)
            argv.push_back("--raw");
        argv.push_back(command);
        check(::CChildProcess::Run(argv, true) == 0, "zvremotectl sent " + command.substr(0, 40));
    };
    const auto recording = [&] {
        bool on = false;
        program->Recorder().With([&](zv::recording::CStore& store) { on = store.GetMode() != 0; });
        return on;
    };

    remote("stoppinging");
    check(WaitFor([&] { return sounder->GetRateMode() == 1; }), "single step");
    remote("interval=0.5");
    check(WaitFor([&] { return sounder->GetRateMode() == 2 && sounder->GetInterval() == 5'000'000; }),
          "pings every 0.5 s");
    // None of these is a command, nor a path, a program or a format to
    // anything. The history request behind them takes the same road to the
    // user-interface thread: once it is done, they would have been too.
    const fs::path touched = env.Root() / "touched";
    const std::string oversize = "PE,SYSTEM " + std::string(60000, 'A') + " STARTPINGING";
    for (const std::string& hostile : std::vector<std::string>{
             oversize,
             "PE,SYSTEM\\0STARTPINGING",
             "STARTPINGING,SYSTEM",
             "PE,STARTPINGING",
             "PE,SYSTEM ../../../../etc/passwd /dev/zero",
             "PE,SYSTEM $(touch " + touched.string() + ");`touch " + touched.string() + "`|touch " + touched.string(),
             "PE,SYSTEM %s%s%s%n%n",
             "PE,SYSTEM STARTPINGINT,-2CRLF",
             "PE,SYSTEM STARTPINGINT,nanCRLF",
             "PE,SYSTEM STARTPINGINT,infCRLF",
             "PE,SYSTEM STARTPINGINT,-infCRLF",
             "PE,SYSTEM STARTPINGINT,1e300CRLF",
             "PE,SYSTEM STARTPINGINT,3600.5CRLF",
         })
        remote(hostile, true);
    IHistoryPrinting& history = program->Printing().Printing();
    remote("starthist");
    check(WaitFor([&] { return history.HasPrintingView() && program->Application().historyFlag == 1; }),
          "picture history on");
    check(sounder->GetRateMode() == 2 && sounder->GetInterval() == 5'000'000 &&
              operation.OperationDialogValues().interval == 0.5,
          "still every 0.5 s");
    check(!recording(), "not recording");
    check(!fs::exists(touched), "no program ran");
    remote("stophist");
    check(WaitFor([&] { return !history.HasPrintingView() && program->Application().historyFlag == 0; }),
          "picture history off");
    remote("startpinging");
    check(WaitFor([&] { return sounder->GetRateMode() == 0; }), "maximum rate");

    remote("stoplogging");  // not recording: nothing
    remote("startlogging");
    check(WaitFor([&] { return recording(); }, 20000), "recording");
    remote("stoplogging");
    check(WaitFor([&] { return !recording(); }, 20000), "recording stopped");

    // The same telegrams as lines on a serial line the decoder reads.
    auto* navigation = program->Application().Sensor<CNavigation>(app::SensorId::Navigation);
    check(navigation && navigation->IsPortOpen(), "navigation's line open");
    const auto line = [&](const std::string& command) {
        check(::CChildProcess::Run({ZVREMOTECTL, "--line=" + navigationLine.SimEnd(), command}, true) == 0,
              "zvremotectl wrote " + command);
    };
    line("stoppinging");
    check(WaitFor([&] { return sounder->GetRateMode() == 1; }), "single step from the line");
    line("interval=2.5");
    check(WaitFor([&] { return sounder->GetRateMode() == 2 && sounder->GetInterval() == 25'000'000; }),
          "pings every 2.5 s from the line");

    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    // Without a sounder the decoder hands nothing on.
    remote("stoppinging");
    return check.failures;
}

TEST(ProgramRemoteControl, TelegramsDriveTheLiveSounder)
{
    nettest::RunNamespaceTest(RunProgram);
}

}  // namespace
