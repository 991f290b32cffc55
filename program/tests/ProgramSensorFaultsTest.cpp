// The serial sensors of a live sounder as lines at sea treat them: each line
// a socat pair of pseudo-terminals with a simulated sensor at its far end.
// Heading and outside depth sentences go into the raw file while recording;
// the depth telegrams navigation sends back read, in the simulator's own
// decoder, as the channel's depth, whatever their type; a silent position
// line raises "No valid positions"; garbage, NUL bytes, an over-long line,
// half sentences and a flood neither stop the pings nor keep the next whole
// sentence from being decoded; and an open port dialog holds no ping up.
// On a trawl model the trawl system's readings travel with each ping of the
// unit, in its status words. The simulated unit answers in a network
// namespace of the test's own.
#include "recording/tests/StoreFixture.h"
#include "sim/qy42/QY42Simulator.h"
#include "sim/sensors/SensorSimulator.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "engine/Channel.h"
#include "platform/NumberText.h"
#include "program/tests/TestLiveSounder.h"
#include "program/tests/TestProgram.h"
#include "sensors/GeographicInfo.h"
#include "sensors/GyroCompass.h"
#include "sensors/Navigation.h"
#include "sensors/NmeaDepth.h"
#include "sensors/Trawl.h"
#include "serialcom/device/DepthTelegram.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/qy42/QY42LinkFixture.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

using nettest::Checks;
using zv::sim::CSensorSimulator;

// A simulated sensor on its end of a line until it goes, five rounds of its
// sentences a second.
class CSimRun : public CSimulatedSensor
{
public:
    CSimRun(const CSocatLine& line, std::vector<std::string> kinds, CSensorSimulator::Mode mode,
            const zv::sim::SSensorScene& scene = {}, unsigned baud = 9600)
        : CSimulatedSensor(Settings(line, std::move(kinds), mode, scene, baud))
    {}

private:
    static CSensorSimulator::Settings Settings(const CSocatLine& line, std::vector<std::string> kinds,
                                               CSensorSimulator::Mode mode, const zv::sim::SSensorScene& scene,
                                               unsigned baud)
    {
        CSensorSimulator::Settings s;
        s.port = line.SimEnd();
        s.kinds = std::move(kinds);
        s.mode = mode;
        s.rateHz = 5.0;
        s.baud = baud;
        s.scene = scene;
        return s;
    }
};

int RunProgram()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    AnswerMessageBoxes boxes;

    CQY42Simulator::Settings unit;
    CQY42Simulator qy(unit);
    if (!check(qy.Start(), "unit simulator on 127.0.0.2"))
        return check.failures;
    const fs::path folder = env.Root() / "survey";
    InstallRecordingUnit(unit.address, folder);
    CSocatLine navigationLine(env.Root(), CNavigation::kSettingId, 5);
    CSocatLine headingLine(env.Root(), CGyroCompass::kSettingId, 6);
    CSocatLine depthLine(env.Root(), CNmeaDepth::kSettingId, 7);
    if (!check(navigationLine.IsUp() && headingLine.IsUp() && depthLine.IsUp(), "socat lines"))
        return check.failures;

    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    if (!check(program->Start(), "program started"))
        return check.failures;
    app::CPelmaris& pelmaris = program->Application();
    app::CMainFrame* frame = program->Frame();
    CEchoSounder* sounder = nullptr;
    check(WaitForUnitPings(*program, sounder), "pings from the unit");
    auto* navigation = pelmaris.Sensor<CNavigation>(app::SensorId::Navigation);
    auto* heading = pelmaris.Sensor<CGyroCompass>(app::SensorId::Heading);
    auto* outsideDepth = pelmaris.Sensor<CNmeaDepth>(app::SensorId::NmeaDepth);
    app::CStatus* status = frame ? frame->GetStatus() : nullptr;
    if (!check(sounder && navigation && heading && outsideDepth && status, "a sounder, its sensors and status bar"))
        return check.failures;
    check(navigation->IsPortOpen() && heading->IsPortOpen() && outsideDepth->IsPortOpen(), "the lines open");
    const auto pings = [&] { return sounder->GetPingCount(); };
    // Pings go on: a few more than when asked.
    const auto pingsGoOn = [&](const std::string& what) {
        const auto from = pings();
        check(WaitFor([&] { return pings() >= from + 3; }, 20000), "pings go on " + what);
    };

    // GGA positions from the line, each channel's depth back on it.
    CNavigation::Settings n = CNavigation::ApplySentence(navigation->GetSettings(), 1);
    n.PositionSource = CNavigation::kSourceSerial;
    n.CheckForPos = 1;
    n.DepthOutput = 1;
    n.ChannelSource = sounder->GetChannel(0)->GetChannelName();
    check(navigation->StoreSettings(n), "navigation's settings");
    heading->SetEnabled(true);
    outsideDepth->SetEnabled(true);

    // The position line is silent at first; it still reads the telegrams.
    auto navigationSim =
        std::make_unique<CSimRun>(navigationLine, std::vector<std::string>{"GGA"}, CSensorSimulator::Mode::Silence);
    check(navigationSim->IsOpen(), "navigation's simulator");

    // Each depth telegram type, read by the simulator, is the channel's depth
    // (by channel, the first channel's is a "DB" telegram).
    for (int type = 0; type <= static_cast<int>(kDepthTelegramPSDF); ++type) {
        n.DepthTelegram = static_cast<DWORD>(type);
        navigation->StoreSettings(n);
        const int reads = type == kDepthTelegramByChannel ? static_cast<int>(kDepthTelegramDB) : type;
        zv::sim::SDepthTelegram got;
        check(WaitFor(
                  [&] {
                      const auto telegrams = navigationSim->Telegrams();
                      const auto it = std::find_if(telegrams.rbegin(), telegrams.rend(),
                                                   [&](const auto& t) { return t.type == reads; });
                      if (it == telegrams.rend())
                          return false;
                      got = *it;
                      return true;
                  },
                  20000),
              "a telegram of type " + std::to_string(type));
        double depth = 0.0;
        check(program->ChannelLinks().GetChannelDepth(0, depth) && depth > 1.0, "the channel has a depth");
        const double read = type == kDepthTelegramDPT ? got.depth + got.offset : got.depth;
        check(std::abs(read - depth) < 0.1, "type " + std::to_string(type) + " reads " + std::to_string(read) +
                                                " m, the channel's depth is " + std::to_string(depth) + " m");
    }

    // Recording: heading and outside depth sentences go into the raw file.
    const auto lineCounter = [&] { return LineCounter(*status); };
    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    check(WaitFor([&] { return lineCounter() == "L0000 on"; }), "recording: " + lineCounter());
    zv::sim::SSensorScene scene;
    scene.heading = 211.5;
    scene.depth = 63.25;
    {
        CSimRun headingSim(headingLine, {"HDT"}, CSensorSimulator::Mode::Rate, scene);
        CSimRun depthSim(depthLine, {"DPT"}, CSensorSimulator::Mode::Rate, scene);
        const std::size_t headings = program->GeographicInfo().HeadingCount();
        check(WaitFor([&] { return program->GeographicInfo().HeadingCount() >= headings + 3; }, 20000),
              "headings in the history");
        pingsGoOn("while recording");
    }
    PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
    check(WaitFor([&] { return lineCounter() == "L0001 off"; }), "recording stopped: " + lineCounter());
    const auto files = zv::recording::test::FilesWith(folder, ".raw");
    if (check(files.size() == 1, "one raw file")) {
        const auto rb = zv::recording::test::ReadBack(files[0]);
        const auto has = [&](const std::string& sentence) {
            return std::any_of(rb.sentences.begin(), rb.sentences.end(),
                               [&](const std::string& s) { return s.rfind(sentence, 0) == 0; });
        };
        check(has(*zv::sim::EncodeSentence("HDT", scene)), "the heading sentence recorded");
        check(has(*zv::sim::EncodeSentence("DPT", scene)), "the outside depth sentence recorded");
    }

    // No position for long: the alarm, since navigation expects them.
    check(WaitFor(
              [&] {
                  const auto& q = status->AlarmQueue();
                  return status->CurrentAlarmText() == "No valid positions" ||
                         std::find(q.begin(), q.end(), app::ids::NO_VALID_POSITIONS) != q.end();
              },
              30000),
          "\"No valid positions\" after silence: " + status->CurrentAlarmText());

    // A broken line: the next whole sentence gives the position, and the
    // pings go on meanwhile.
    struct Fault
    {
        CSensorSimulator::Mode mode;
        const char* name;
        unsigned baud;
    };
    const Fault faults[] = {
        {CSensorSimulator::Mode::Garbage, "garbage", 9600},      {CSensorSimulator::Mode::Nul, "NUL bytes", 9600},
        {CSensorSimulator::Mode::LongLine, "a long line", 9600}, {CSensorSimulator::Mode::Half, "half sentences", 9600},
        {CSensorSimulator::Mode::Flood, "a flood", 115200},
    };
    double latitude = 5910.25;
    for (const Fault& fault : faults) {
        navigationSim.reset();
        scene.latitude = latitude += 1.0;
        const std::string text = CNumberText::Format("%.4f,N", latitude);
        navigationSim = std::make_unique<CSimRun>(navigationLine, std::vector<std::string>{"GGA", "VTG"}, fault.mode,
                                                  scene, fault.baud);
        // The monitor shown, as with the dialog open: its refreshes too.
        navigation->Monitor().SetVisible(true);
        check(WaitFor([&] { return pelmaris.GetPositionText().rfind(text, 0) == 0; }, 20000),
              std::string("the position after ") + fault.name + ": " + pelmaris.GetPositionText());
        pingsGoOn(std::string("through ") + fault.name);
        navigation->Monitor().SetVisible(false);
    }
    navigationSim.reset();

    // The port dialog open: pings and their depth telegrams go on.
    navigationSim =
        std::make_unique<CSimRun>(navigationLine, std::vector<std::string>{"GGA"}, CSensorSimulator::Mode::Silence);
    bool shown = false, wentOn = false;
    std::uint64_t openedAt = 0;
    std::size_t telegramsAt = 0;
    const auto started = std::chrono::steady_clock::now();
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        if (!shown) {
            shown = true;
            openedAt = pings();
            telegramsAt = navigationSim->Telegrams().size();
        }
        wentOn = pings() >= openedAt + 3 && navigationSim->Telegrams().size() >= telegramsAt + 3;
        if (wentOn || std::chrono::steady_clock::now() - started > std::chrono::seconds(20))
            dialog->reject();
    });
    watcher.start();
    navigation->ConfigurePort();
    watcher.stop();
    check(shown, "the port dialog ran");
    check(wentOn, "pings and depth telegrams while the port dialog was open");
    navigationSim.reset();

    check(StopRun(*program), "stopped");
    return check.failures;
}

TEST(ProgramSensorFaults, ALiveSounderThroughBrokenSensorLines)
{
    nettest::RunNamespaceTest(RunProgram);
}

// The trawl system's line of a live trawl model: what the line says reaches
// the ping the unit makes next, as the states (words 0 and 4) and readings
// (doubles in words 2-3 and 6-7) of the channel's status words.
int RunTrawlProgram()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    AnswerMessageBoxes boxes;

    CQY42Simulator::Settings unit;
    CQY42Simulator qy(unit);
    if (!check(qy.Start(), "unit simulator on 127.0.0.2"))
        return check.failures;
    zv::test::InstallQY42Unit(unit.address, {}, "RM30");
    CSocatLine trawlLine(env.Root(), CTrawl::kSettingId, 7);
    if (!check(trawlLine.IsUp(), "socat line"))
        return check.failures;

    auto program = MakeProgram(TestProgramOptions({"RM30"}));
    if (!check(program->Start(), "program started"))
        return check.failures;
    CEchoSounder* sounder = nullptr;
    check(WaitForUnitPings(*program, sounder), "pings from the unit");
    auto* trawl = program->Application().Sensor<CTrawl>(app::SensorId::Trawl);
    if (!check(sounder && trawl, "a sounder and its trawl object"))
        return check.failures;
    check(trawl->IsPortOpen(), "the trawl line open");
    CChannel* channel = sounder->GetChannel(0);

    struct Words
    {
        std::int32_t depthState = -1, openingState = -1;
        double depth = 0.0, opening = 0.0;
    };
    const auto read = [&] {
        std::uint32_t words[8];
        channel->GetStatusWords(words);
        Words w;
        std::memcpy(&w.depthState, &words[0], 4);
        std::memcpy(&w.depth, &words[2], 8);
        std::memcpy(&w.openingState, &words[4], 4);
        std::memcpy(&w.opening, &words[6], 8);
        return w;
    };
    const auto text = [](const Words& w) {
        return "states " + std::to_string(w.depthState) + "/" + std::to_string(w.openingState) + ", " +
               std::to_string(w.depth) + " m deep, " + std::to_string(w.opening) + " m open";
    };
    // Nothing on the line yet: the pings say so.
    const Words none = read();
    check(none.depthState == TrawlRecord::kNone && none.openingState == TrawlRecord::kNone,
          "no trawl reading before the line speaks: " + text(none));

    zv::sim::SSensorScene scene;
    scene.depth = 81.5;
    scene.opening = 23.25;
    for (int reading = 0; reading < 2; ++reading) {
        CSimRun trawlSim(trawlLine, {"DBT", "HFB"}, CSensorSimulator::Mode::Rate, scene);
        check(trawlSim.IsOpen(), "the trawl simulator");
        Words got;
        check(WaitFor(
                  [&] {
                      got = read();
                      return got.depthState == TrawlRecord::kValid && got.openingState == TrawlRecord::kValid &&
                             got.depth == scene.depth && got.opening == scene.opening;
                  },
                  20000),
              "reading " + std::to_string(reading) + " in a ping: " + text(got));
        scene.depth += 12.0;
        scene.opening -= 4.5;
    }

    check(StopRun(*program), "stopped");
    return check.failures;
}

TEST(ProgramSensorFaults, TrawlReadingsTravelWithTheLiveUnitsPings)
{
    nettest::RunNamespaceTest(RunTrawlProgram);
}

}  // namespace
