// A live sounder with a motion sensor, as at sea. The simulated sensor
// program sends a heave of 1 m and 8 s with roll and pitch (sines of the
// time) 25 times a second on a socat line, in each telegram protocol the
// sensor reads; then the unit's analog inputs carry the same motion as
// volts. Each ping, live and as recorded, carries the heave of the sine at
// its time and when the echo of the channel's last bottom came back (sign
// inverted, the mean of both; half of the pings within 5 mm), and roll and
// pitch at both times; the channel's depth moves with that heave; with the
// heave at the transducer asked for, the ping's heave follows the lever arm
// of the sensor's offsets, which the file's configuration carries. A line
// broken in the ways lines at sea break keeps its whole telegrams coming.
// The simulated unit answers in a network namespace of the test's own.
#include "recording/DatagramFormat.h"
#include "recording/DatagramReader.h"
#include "recording/tests/StoreFixture.h"
#include "sim/qy42/QY42Simulator.h"
#include "sim/sensors/SensorSentences.h"
#include "sounder/OperationControl.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "platform/FileTime.h"
#include "program/tests/TestLiveSounder.h"
#include "program/tests/TestProgram.h"
#include "sensors/Heave.h"
#include "testsupport/NetNamespace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

using nettest::Checks;

// The motion of the sea, as the sensor program's --motion gives it: 1 m of
// heave in 8 s, 5 degrees of roll and 2 of pitch in their own periods.
const zv::sim::SMotionScene kSea{1.0, 8.0, 5.0, 6.0, 2.0, 5.0};
constexpr const char* kSeaArgument = "1,8,5,2";
// The sensor line's rate: a telegram takes 1 to 2 ms on it.
constexpr unsigned kBaud = 115200;
constexpr const char* kBaudArgument = "115200";
// The simulated unit's bottom. The channel's last bottom moves with the
// heave; a metre more or less is 1.3 ms of echo and under a millimetre of
// heave, so the look-ups are checked against this one.
constexpr double kBottom = 30.0;
// Where the sensor sits: forward, starboard, down (m).
constexpr double kAlong = 2.0, kAthwart = -1.5, kDown = 3.0;

struct Motion
{
    double heave = 0.0, roll = 0.0, pitch = 0.0;
};

Motion SeaAt(std::uint64_t time)
{
    zv::sim::SSensorScene scene;
    zv::sim::MoveScene(kSea, time, scene);
    return {scene.heave, scene.roll, scene.pitch};
}

// The heave at the transducer from the sensor's motion, as the pings take
// it (the sensor's heave, sign inverted); with the lever arm asked for, that
// of the sensor's offsets against the transducer's.
double AtTransducer(const Motion& m, const TransducerOffsets& t, bool remote)
{
    const double h = -m.heave;
    if (!remote)
        return h;
    const double r = m.roll * M_PI / 180.0, p = m.pitch * M_PI / 180.0;
    return h + std::sin(r) * std::cos(p) * (t.TransducerAthwart - kAthwart) -
           std::sin(p) * (t.TransducerAlong - kAlong) - (1.0 - std::cos(r) * std::cos(p)) * (t.TransducerDown - kDown);
}

// A ping's motion as the program should give it: the six values of the
// channel (heave, roll and pitch at transmission, roll and pitch at the
// echo, the heave at the transducer) from the sea at the ping time and at
// the echo of the last bottom.
std::array<double, 6> Expected(std::uint64_t time, double soundVelocity, const TransducerOffsets& t, bool remote)
{
    const auto echo = static_cast<std::uint64_t>(2.0 * kBottom / soundVelocity * 1e7);
    const Motion a = SeaAt(time), b = SeaAt(time + echo);
    return {-(a.heave + b.heave) / 2.0,
            a.roll,
            a.pitch,
            b.roll,
            b.pitch,
            (AtTransducer(a, t, remote) + AtTransducer(b, t, remote)) / 2.0};
}

// The sensor program sending one telegram kind of the sea on the line until
// it goes; mode: the sensor program's, "rate" or a way of breaking the line.
std::unique_ptr<CChildProcess> StartSensorProgram(const CSocatLine& line, const std::string& kind,
                                                  const std::string& mode = "rate")
{
    return std::make_unique<CChildProcess>(
        ZVSENSORSIM,
        std::vector<std::string>{"zvsensorsim", "--port", line.SimEnd(), "--send", kind, "--mode", mode, "--rate", "25",
                                 "--baud", kBaudArgument, "--no-read", "--motion", kSeaArgument});
}

struct Phase
{
    const char* name;
    DWORD mode;
    DWORD protocol;
    const char* kind;  // what the sensor program sends; none in analog mode
    bool remote;
};

// A recorded ping: its time, its motion as the file has it and the depth.
struct RecordedPing
{
    std::uint64_t time = 0;
    double soundVelocity = 0.0;
    double heave = 0.0, roll1 = 0.0, pitch1 = 0.0, roll2 = 0.0, pitch2 = 0.0;
    double depth = 0.0;
};

// The heave at the transducer the ping itself carries, from its motion as
// the file has it: the mean heave, and roll and pitch at either time.
double OwnHeave(const RecordedPing& p, const TransducerOffsets& t, bool remote)
{
    return (AtTransducer({-p.heave, p.roll1, p.pitch1}, t, remote) +
            AtTransducer({-p.heave, p.roll2, p.pitch2}, t, remote)) /
           2.0;
}

struct Recording
{
    zv::recording::SConfiguration config;
    std::vector<RecordedPing> pings;
};

// A line's raw file and its file of depths.
Recording Read(const fs::path& raw, const fs::path& depthFile)
{
    using namespace zv::recording;
    std::vector<std::uint8_t> bytes = test::ReadBytes(raw);
    const std::vector<std::uint8_t> more = test::ReadBytes(depthFile);
    bytes.insert(bytes.end(), more.begin(), more.end());
    CDatagramReader r(bytes.data(), bytes.size());
    Recording out;
    std::map<std::uint64_t, double> depths;
    SDatagramView v;
    while (r.Next(v)) {
        if (v.type == kTypeCON0) {
            CDatagramReader::ParseConfiguration(v, out.config);
        } else if (v.type == kTypeRAW0) {
            SSampleView s;
            if (!CDatagramReader::ParseSample(v, s))
                continue;
            const SSampleHeader& h = s.header;
            out.pings.push_back({v.time, h.soundVelocity, h.heave, h.roll1, h.pitch1, h.roll2, h.pitch2, 0.0});
        } else if (v.type == kTypeDEP0) {
            std::vector<SDepthEntry> d;
            if (CDatagramReader::ParseDepth(v, d) && !d.empty())
                depths[v.time] = d[0].depth;
        }
    }
    for (RecordedPing& p : out.pings)
        if (const auto it = depths.find(p.time); it != depths.end())
            p.depth = it->second;
    return out;
}

// The errors of a phase's pings: how many, the median, the worst.
class Errors
{
public:
    void Add(double error) { m_errors.push_back(std::abs(error)); }
    std::size_t Count() const { return m_errors.size(); }
    // Half of them within `median`, none beyond `never`.
    bool Holds(double median, double never) const
    {
        return !m_errors.empty() && Median() <= median && Worst() <= never;
    }
    std::string Text() const
    {
        char text[96];
        std::snprintf(text, sizeof text, "%zu pings, median %.4f, worst %.4f", m_errors.size(), Median(), Worst());
        return text;
    }

private:
    double Median() const
    {
        std::vector<double> sorted = m_errors;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0.0 : sorted[sorted.size() / 2];
    }
    double Worst() const { return m_errors.empty() ? 0.0 : *std::max_element(m_errors.begin(), m_errors.end()); }
    std::vector<double> m_errors;
};

int RunProgram()
{
    Checks check;
    QtApp();
    ShellEnvironment env;
    AnswerMessageBoxes boxes;

    // The unit's analog inputs: +1 V a metre of heave, +1 V a degree.
    CQY42Simulator::Settings unit;
    unit.bottomDepth = kBottom;
    // Samples as they are taken: a ping is whole, and asks for its motion,
    // once its echo is long back.
    unit.realTime = true;
    // The program truncates the volts to hundredths; half a hundredth away
    // from zero makes that the nearest, as the telegrams round.
    unit.motionVolts = [](std::uint64_t time) {
        const Motion m = SeaAt(time);
        const auto volts = [](double v) { return static_cast<float>(v + std::copysign(0.005, v)); };
        return std::array<float, 3>{volts(m.heave), volts(m.roll), volts(m.pitch)};
    };
    CQY42Simulator qy(unit);
    if (!check(qy.Start(), "unit simulator on 127.0.0.2"))
        return check.failures;
    const fs::path folder = env.Root() / "survey";
    InstallRecordingUnit(unit.address, folder, [&](CRegistrySupport& reg) {
        const HKEY user = CRegistrySupport::UserRootKey();
        // Each ping's depth into the file of depths beside the raw file.
        reg.SetDword(user, "OperationControl\\Operation\\Normal\\Store", "SaveOutData", 1);
        reg.SetDword(user, "OperationControl\\Operation\\Normal\\Store", "Out1", 1);
    });
    // The line's rate, by which the port dates a telegram back to its first
    // character: the sensor program's.
    CSocatLine line(env.Root(), CHeave::kSettingId, 8, kBaud);
    if (!check(line.IsUp(), "the motion sensor's socat line"))
        return check.failures;

    auto program = MakeProgram(TestProgramOptions({"QY310"}));
    if (!check(program->Start(), "program started"))
        return check.failures;
    app::CPelmaris& pelmaris = program->Application();
    app::CMainFrame* frame = program->Frame();
    CEchoSounder* sounder = nullptr;
    check(WaitForUnitPings(*program, sounder), "pings from the unit");
    auto* heave = pelmaris.Sensor<CHeave>(app::SensorId::Heave);
    app::CStatus* status = frame ? frame->GetStatus() : nullptr;
    if (!check(sounder && heave && status, "a sounder, the motion sensor and the status bar"))
        return check.failures;
    check(heave->IsPortOpen(), "the motion sensor's line open");
    CChannel* channel = sounder->GetChannel(0);
    const std::vector<std::string> units = heave->GetTransceiverList();
    if (!check(channel && !units.empty(), "a channel and the unit among the motion sources"))
        return check.failures;
    const auto lineCounter = [&] { return LineCounter(*status); };

    const Phase phases[] = {
        {"ASCII", CHeave::kModeSerial, CHeave::kProtocolAscii, "MOTION-ASCII", false},
        {"VN1500", CHeave::kModeSerial, CHeave::kProtocolVN1500, "MOTION-VN1500", false},
        {"VN3500", CHeave::kModeSerial, CHeave::kProtocolZelvar, "MOTION-VN3500", false},
        {"VN3500 at the transducer", CHeave::kModeSerial, CHeave::kProtocolZelvar, "MOTION-VN3500", true},
        {"analog at the transducer", CHeave::kModeAnalog, CHeave::kProtocolZelvar, nullptr, true},
    };
    // Depth minus the ping's heave at the transducer: the unit's bottom
    // range and the draught, the same in every phase.
    double shallowest = 1e9, deepest = -1e9;
    std::vector<double> steady;  // each ping's depth less its own heave
    int lineNumber = 0;
    for (const Phase& phase : phases) {
        const std::string name = phase.name;
        CHeave::Settings s = heave->GetSettings();
        s.Mode = phase.mode;
        s.TransceiverSource = units[0];
        s.CalcRemoteHeave = phase.remote ? 1 : 0;
        if (phase.remote) {
            s.SensorAlong = kAlong;
            s.SensorAthwart = kAthwart;
            s.SensorDepth = kDown;
        }
        // As the dialog does: the protocol at once, the rest on OK.
        heave->SetMode(phase.mode);
        if (s.SerialProtocol != phase.protocol)
            heave->SetProtocol(phase.protocol);
        s.SerialProtocol = phase.protocol;
        check(heave->StoreSettings(s), name + ": settings stored");
        std::unique_ptr<CChildProcess> sensor;
        if (phase.kind)
            sensor = StartSensorProgram(line, phase.kind);
        // The motion flows when the newest sample is the sea's of a moment
        // ago.
        const std::uint64_t from = CFileTime::Now();
        check(WaitFor([&] { return heave->GetNewestSample().stamp > from + 5'000'000; }, 20000),
              name + ": motion samples flow");

        PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
        check(WaitFor([&] { return lineCounter().ends_with(" on"); }, 10000), name + ": recording");
        // The live pings as the channel holds them, each read whole (the
        // same time before and after).
        std::map<std::uint64_t, std::array<double, 6>> live;
        check(WaitFor(
                  [&] {
                      const std::uint64_t t = channel->GetPingTime();
                      double m[6] = {};
                      channel->GetPingMotion(m);
                      if (t != 0 && channel->GetPingTime() == t)
                          live.emplace(t, std::array<double, 6>{m[0], m[1], m[2], m[3], m[4], m[5]});
                      return live.size() >= 20;
                  },
                  30000),
              name + ": live pings");
        PostMessage(frame->GetSafeHwnd(), WM_COMMAND, app::cmd::RECORD_TOGGLE, 0);
        ++lineNumber;
        char counter[16];
        std::snprintf(counter, sizeof counter, "L%04d off", lineNumber);
        check(WaitFor([&] { return lineCounter() == counter; }, 10000), name + ": recording stopped");
        sensor.reset();

        std::vector<fs::path> files = zv::recording::test::FilesWith(folder, ".raw");
        std::vector<fs::path> depthFiles = zv::recording::test::FilesWith(folder, ".out");
        std::sort(files.begin(), files.end());
        std::sort(depthFiles.begin(), depthFiles.end());
        if (!check(files.size() == static_cast<std::size_t>(lineNumber) && depthFiles.size() == files.size(),
                   name + ": a raw file and a file of depths of its own"))
            continue;
        const Recording rec = Read(files.back(), depthFiles.back());
        if (!check(!rec.config.channels.empty(), name + ": the file's configuration"))
            continue;
        const zv::recording::SConfigChannel& c = rec.config.channels[0];
        const TransducerOffsets transducer{c.transducerZ, c.transducerX, c.transducerY};
        if (phase.remote)
            check(rec.config.motionX == kAlong && rec.config.motionY == kAthwart && rec.config.motionZ == kDown,
                  name + ": the sensor's offsets in the configuration");
        else
            check(rec.config.motionX == 0.0 && rec.config.motionY == 0.0 && rec.config.motionZ == 0.0,
                  name + ": no offsets in the configuration");

        // Pings from before the samples flowed are not the phase's. The
        // sensor's samples are dated when they are read, and a ping handled
        // before the sample after its echo is in gets the newest one for
        // the echo, as the ring answers a later time: on a loaded machine
        // the line's and the threads' delays put some pings beyond the
        // centimetre. So half of them are within the centimetre the motion
        // is asked to hold (0.05 degree), and none is far off (a heave of
        // the wrong sign is metres off); heave taken at the sensor, at one
        // time only (the echo's 40 ms move it 2 cm at the median) or
        // without the lever arm (centimetres of roll) would put the median
        // beyond.
        Errors heaveErrors, liveErrors, angleErrors;
        for (const RecordedPing& p : rec.pings) {
            if (p.time < from + 5'000'000 || p.soundVelocity <= 0.0)
                continue;
            const auto e = Expected(p.time, p.soundVelocity, transducer, phase.remote);
            heaveErrors.Add(p.heave - e[0]);
            angleErrors.Add(std::max({std::abs(p.roll1 - e[1]), std::abs(p.pitch1 - e[2]), std::abs(p.roll2 - e[3]),
                                      std::abs(p.pitch2 - e[4])}));
            if (const auto it = live.find(p.time); it != live.end())
                liveErrors.Add(it->second[5] - e[5]);
            if (p.depth > 0.0) {
                steady.push_back(p.depth - OwnHeave(p, transducer, phase.remote));
                shallowest = std::min(shallowest, p.depth);
                deepest = std::max(deepest, p.depth);
            }
        }
        std::printf("%s: recorded heave %s; live heave at the transducer %s; roll and pitch %s\n", phase.name,
                    heaveErrors.Text().c_str(), liveErrors.Text().c_str(), angleErrors.Text().c_str());
        check(heaveErrors.Count() >= 10, name + ": pings recorded, " + heaveErrors.Text());
        check(liveErrors.Count() >= 5, name + ": live pings among them, " + liveErrors.Text());
        check(heaveErrors.Holds(0.01, 0.2), name + ": recorded heave near the sea's: " + heaveErrors.Text());
        check(liveErrors.Holds(0.01, 0.2),
              name + ": the ping's heave at the transducer near the sea's: " + liveErrors.Text());
        check(angleErrors.Holds(0.05, 2.0), name + ": roll and pitch near the sea's: " + angleErrors.Text());
    }
    // A broken line: garbage (stray 0x90 bytes among it), NUL bytes, an
    // over-long line, lines cut short and a flood, each before whole
    // telegrams: the next whole telegram is stored, and the pings go on.
    // (Binary telegrams have no line end: one cut in every round would
    // take the start of the whole one after it each time.)
    struct Fault
    {
        const char* mode;
        DWORD protocol;
        const char* kind;
    };
    const Fault faults[] = {
        {"garbage", CHeave::kProtocolZelvar, "MOTION-VN3500"}, {"garbage", CHeave::kProtocolVN1500, "MOTION-VN1500"},
        {"garbage", CHeave::kProtocolAscii, "MOTION-ASCII"},   {"nul", CHeave::kProtocolAscii, "MOTION-ASCII"},
        {"long", CHeave::kProtocolAscii, "MOTION-ASCII"},      {"half", CHeave::kProtocolAscii, "MOTION-ASCII"},
        {"flood", CHeave::kProtocolZelvar, "MOTION-VN3500"},
    };
    heave->SetMode(CHeave::kModeSerial);
    for (const Fault& fault : faults) {
        const std::string name = std::string(fault.kind) + " after " + fault.mode;
        if (heave->GetSettings().SerialProtocol != fault.protocol)
            heave->SetProtocol(fault.protocol);
        const auto sensor = StartSensorProgram(line, fault.kind, fault.mode);
        const std::uint64_t from = CFileTime::Now();
        const auto pings = sounder->GetPingCount();
        // A sample of the sea: its values are the sea's at its time (a
        // telegram takes a few ms on the line, a round with its garbage a
        // few more).
        check(WaitFor(
                  [&] {
                      const CHeaveRingBuffer::Sample n = heave->GetNewestSample();
                      if (n.stamp <= from)
                          return false;
                      const Motion sea = SeaAt(n.stamp);
                      return std::abs(n.heave - sea.heave * 100.0) <= 2.0 &&
                             std::abs(n.roll - sea.roll * 100.0) <= 20.0 &&
                             std::abs(n.pitch - sea.pitch * 100.0) <= 20.0;
                  },
                  20000),
              name + ": the next whole telegram is stored");
        check(WaitFor([&] { return sounder->GetPingCount() >= pings + 3; }, 20000), name + ": the pings go on");
    }

    // The bottom the unit puts at a fixed range moves with the heave.
    check(deepest - shallowest > 0.5, "the depth moves with the heave: " + std::to_string(deepest - shallowest));
    // Every ping reaches the bottom, one the unit starts while the last is
    // still on its way through the program too, and carries its own heave
    // once: its depth less that heave lies within a sample of the median.
    // (How near the sea's that heave is, the phases judge; on a loaded
    // machine the line's delays put some pings a decimetre or two off.)
    const double sample = unit.sampleInterval * unit.soundVelocity * 0.5;
    std::sort(steady.begin(), steady.end());
    const double median = steady.empty() ? 0.0 : steady[steady.size() / 2];
    const auto off =
        std::count_if(steady.begin(), steady.end(), [&](double v) { return std::abs(v - median) > sample; });
    check(steady.size() >= 50 && off == 0, "the depth less the heave stays: " + std::to_string(off) + " of " +
                                               std::to_string(steady.size()) + " pings beyond a sample of " +
                                               std::to_string(median));

    check(StopRun(*program), "stopped");
    return check.failures;
}

TEST(ProgramMotion, SeaFromTheSensorLineAndTheUnitsInputsReachesEveryPing)
{
    nettest::RunNamespaceTest(RunProgram);
}

}  // namespace
