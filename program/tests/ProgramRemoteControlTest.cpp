// The remote control inside the running program: "PE" telegrams that reach
// the decoder from the network port's reader thread switch the live
// sounder's ping mode, start and stop its recording and the picture
// history; hostile ones change nothing. With the simulated network unit in a
// network namespace of the test's own.
#include "recording/Store.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "display/HistoryPrinting.h"
#include "platform/FileTime.h"
#include "program/tests/TestProgram.h"
#include "sensors/NmeaDecoder.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <gtest/gtest.h>

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
    CQY42Simulator sim(settings);
    if (!check(sim.Start(), "simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(settings.address, [&](CRegistrySupport& reg) {
        const HKEY user = CRegistrySupport::UserRootKey();
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
                  return sounder && sounder->GetPingCount() >= 2;
              },
              30000),
          "pings from the unit");
    if (!check(sounder && sounder->GetRecorder(), "a running sounder with a recorder"))
        return check.failures;

    // As the network port's reader hands them over: from a thread of its own.
    const auto send = [&](const std::string& telegram) {
        std::thread([&] { program->ParseNmeaTelegram(telegram, CFileTime::Now(), kNmeaFromNetwork); }).join();
    };
    const auto recording = [&] {
        bool on = false;
        program->Recorder().With([&](zv::recording::CStore& store) { on = store.GetMode() != 0; });
        return on;
    };

    send("PE,SYSTEM STOPPINGING\r\n");
    check(WaitFor([&] { return sounder->GetRateMode() == 1; }), "single step");
    send("PE,SYSTEM STARTPINGINT,0.5CRLF\r\n");
    check(WaitFor([&] { return sounder->GetRateMode() == 2 && sounder->GetInterval() == 5'000'000; }),
          "pings every 0.5 s");
    // None of these is a command. The history request behind them takes
    // the same road to the user-interface thread: once it is done, they
    // would have been too.
    for (const char* hostile :
         {"PE,SYSTEM STARTPINGINT,-2CRLF", "PE,SYSTEM STARTPINGINT,nanCRLF", "PE,SYSTEM STARTPINGINT,infCRLF",
          "PE,SYSTEM STARTPINGINT,1e300CRLF", "STARTPINGING,SYSTEM", "PE,STARTPINGING"})
        send(hostile);
    IHistoryPrinting& history = program->Printing().Printing();
    send("PE,SYSTEM STARTHIST");
    check(WaitFor([&] { return history.HasPrintingView() && program->Application().historyFlag == 1; }),
          "picture history on");
    check(sounder->GetRateMode() == 2 && sounder->GetInterval() == 5'000'000 &&
              operation.OperationDialogValues().interval == 0.5,
          "still every 0.5 s");
    send("PE,SYSTEM STOPHIST");
    check(WaitFor([&] { return !history.HasPrintingView() && program->Application().historyFlag == 0; }),
          "picture history off");
    send("PE,SYSTEM STARTPINGING");
    check(WaitFor([&] { return sounder->GetRateMode() == 0; }), "maximum rate");

    send("PE,SYSTEM STOPLOGGING");  // not recording: nothing
    send("PE,SYSTEM STARTLOGGING");
    check(WaitFor([&] { return recording(); }, 20000), "recording");
    send("PE,SYSTEM STOPLOGGING");
    check(WaitFor([&] { return !recording(); }, 20000), "recording stopped");

    program->Application().Operation().PostStop(0);
    check(WaitFor([&] { return operation.GetEchoSounder() == nullptr && !operation.IsBusy(); }, 20000), "stopped");
    // Without a sounder the decoder hands nothing on.
    send("PE,SYSTEM STOPPINGING");
    return check.failures;
}

TEST(ProgramRemoteControl, TelegramsDriveTheLiveSounder)
{
    nettest::RunNamespaceTest(RunProgram);
}

}  // namespace
