// Single targets through the real program offscreen: the network output's
// echo-trace datagrams of the demo recording, and the calibration link of
// TQ30 replaying a calibration sphere into the calibration simulator, whose
// log is checked against a computation of the detection's own equations,
// with a component that refuses, one that goes away, and none at all.
//
// On TQ30 the post-processing output's echo-trace datagram is the requester:
// it asks for each ping's targets on the ping-data thread, as in service,
// while the test paces the replay one ping a step.
#include "app/tests/ShellTestSupport.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/RegistrySupport.h"
#include "base/ReplayFileList.h"
#include "base/TimeText.h"
#include "engine/Channel.h"
#include "engine/RawPower.h"
#include "outputs/LX750.h"
#include "outputs/QYNet.h"
#include "platform/ChildProcess.h"
#include "platform/MessageBox.h"
#include "platform/Socket.h"
#include "platform/SystemMessage.h"
#include "program/tests/TestProgram.h"
#include "recording/Replay.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"
#include "transceivers/Transceiver.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, '\t');)
        fields.push_back(f);
    return fields;
}

// The simulator's log, a line a call, split at its tabs.
std::vector<std::vector<std::string>> LogLines(const fs::path& log, const std::string& head = {})
{
    std::vector<std::vector<std::string>> lines;
    std::istringstream in(ReadFile(log));
    for (std::string line; std::getline(in, line);)
        if (head.empty() || line.rfind(head, 0) == 0)
            lines.push_back(Fields(line));
    return lines;
}

zv::recording::CReplay* RunningReplay(app::CProgram& program)
{
    CEchoSounder* sounder = program.Operation().GetEchoSounder();
    return sounder ? dynamic_cast<zv::recording::CReplay*>(sounder->GetTransceiver(0)) : nullptr;
}

class ProgramSingleTargetsTest : public ::testing::Test
{
protected:
    ProgramSingleTargetsTest() { QtApp(); }
    ~ProgramSingleTargetsTest() override
    {
        program.reset();
        SetMessageBoxPresenter({});
    }

    zv::recgen::SRecGenScene Scene(const char* file, const std::vector<std::string>& settings)
    {
        zv::recgen::SRecGenScene scene;
        std::string error;
        EXPECT_TRUE(zv::recgen::ApplySceneText(scene, ReadFile(file), &error)) << error;
        for (const std::string& s : settings)
            EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
        return scene;
    }

    fs::path Write(const zv::recgen::SRecGenScene& scene, const std::string& name)
    {
        const fs::path path = env.Root() / name;
        std::string error;
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(path.string(), nullptr, &error)) << error;
        return path;
    }

    // The replays that follow go one ping a step.
    void SingleStepReplay() { replayRate = CEchoSounder::kSingleStep; }

    void Start(const char* model)
    {
        program = MakeProgram(TestProgramOptions({model}));
        ASSERT_TRUE(program->Start());
        // The program's own presenter would show the boxes: the test takes
        // them instead.
        SetMessageBoxPresenter([this](HWND, const std::string& text, const std::string& caption, UINT) {
            boxes.push_back(caption + ": " + text);
            return IDOK;
        });
    }

    // Started as the operator does it, from "Operation..." with the file
    // and the rate chosen there: a rate stored before the program ever saved
    // its state is not read, so the registry cannot carry it in.
    CEchoSounder* Replay(const fs::path& recording)
    {
        SOperationDialogValues values = program->Operation().OperationDialogValues();
        values.mode = CEchoSounder::kReplay;
        values.rate = replayRate;
        CReplayFileList list;
        list.AddTail(recording.string());
        list.m_loop = 0;
        values.files = list;
        values.newFiles = true;
        program->Operation().ApplyOperationDialog(values);
        EXPECT_TRUE(WaitFor([&] { return RunningReplay(*program) != nullptr; }, 10000));
        CEchoSounder* sounder = program->Operation().GetEchoSounder();
        if (sounder) {
            EXPECT_EQ(sounder->GetRateMode(), replayRate);
        }
        return sounder;
    }

    // One ping more; false when none came.
    bool Step(CEchoSounder& sounder)
    {
        const std::uint64_t pings = sounder.GetPingCount();
        sounder.OnStep();
        return WaitFor([&] { return sounder.GetPingCount() > pings; }, 10000);
    }

    // The simulator as the component of the classes hive, with its log here.
    void RegisterSimulator(const std::vector<std::string>& options = {})
    {
        std::vector<std::string> args = {ZVCALIBSIM_PATH, "--register", "--log", log.string()};
        args.insert(args.end(), options.begin(), options.end());
        ASSERT_EQ(CChildProcess::Run(args), 0);
    }

    // The post-processing output sends its echo-trace datagrams to a
    // listener of the test's own: it requests every ping's targets.
    void RequestTargetsByPostProcessing()
    {
        CLX750* output = program->Application().Sensor<CLX750>(app::SensorId::LX750);
        ASSERT_NE(output, nullptr);
        ASSERT_TRUE(listener.Create(CSocket::Udp));
        ASSERT_TRUE(listener.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
        CLX750::Settings s = output->GetSettings();
        s.DestAddr = "127.0.0.1";
        s.DestPort = listener.LocalAddress().port;
        s.EchoTraceDatagram = 1;
        output->ApplySettings(s);
    }

    // The E datagrams the listener has, as depth of each target by the
    // datagram's time text.
    std::vector<std::vector<float>> EchoTraceDepths()
    {
        std::vector<std::vector<float>> depths;
        char buffer[70000];
        for (int n; (n = listener.ReceiveFrom(buffer, sizeof buffer, nullptr, 0)) > 0;) {
            if (n < 16 || buffer[0] != 'E')
                continue;
            std::uint32_t count = 0;
            std::memcpy(&count, buffer + 12, 4);
            std::vector<float> d;
            for (std::uint32_t t = 0; t < count && 16 + 20 * (t + 1) <= std::uint32_t(n); ++t) {
                float v;
                std::memcpy(&v, buffer + 16 + 20 * t, 4);
                d.push_back(v);
            }
            depths.push_back(d);
        }
        return depths;
    }

    ShellEnvironment env;
    CSocket listener;
    std::unique_ptr<app::CProgram> program;
    std::vector<std::string> boxes;
    int replayRate = CEchoSounder::kMaximumRate;
    const fs::path log = env.Root() / "calibration.log";
};

// The QY models send what their channels detect as echo-trace datagrams.
TEST_F(ProgramSingleTargetsTest, DemoTargetsLeaveAsEchoTraceDatagrams)
{
    const fs::path recording = Write(Scene(ZELVAR_DEMO_SCENE, {"pings=30"}), "demo.raw");
    Start("QY310");
    CQYNet* net = program->Application().Sensor<CQYNet>(app::SensorId::NetworkOutput);
    ASSERT_NE(net, nullptr);
    CSocket listener;
    ASSERT_TRUE(listener.Create(CSocket::Udp));
    ASSERT_TRUE(listener.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
    CQYNet::Settings s = net->GetSettings();
    s.DestAddr = "127.0.0.1";
    s.DestPort = listener.LocalAddress().port;
    s.EchoTraceDatagram = 1;
    net->ApplySettings(s);

    std::vector<std::string> datagrams;
    const auto drain = [&] {
        char buffer[70000];
        for (int n; (n = listener.ReceiveFrom(buffer, sizeof buffer, nullptr, 0)) > 0;)
            datagrams.emplace_back(buffer, static_cast<std::size_t>(n));
    };
    CEchoSounder* sounder = Replay(recording);
    ASSERT_NE(sounder, nullptr);
    ASSERT_TRUE(WaitFor(
        [&] {
            drain();
            return RunningReplay(*program)->IsStopped() && sounder->GetPingCount() >= 30;
        },
        60000));
    ASSERT_TRUE(WaitFor([&] {
        drain();
        return datagrams.size() >= 2u * 30u * 9u / 10u;
    })) << datagrams.size();

    int threes = 0;
    std::map<char, std::string> last;
    for (const std::string& d : datagrams) {
        ASSERT_GE(d.size(), 16u);
        ASSERT_EQ(d[0], 'E');
        std::uint32_t n = 0;
        std::memcpy(&n, d.data() + 12, 4);
        EXPECT_EQ(d.size(), 16u + 20u * n) << "16 + 20 n bytes";
        EXPECT_GE(n, 1u);
        threes += n == 3;
        last[d[1]] = d;
    }
    EXPECT_GE(threes, static_cast<int>(datagrams.size() * 9 / 10)) << "three single targets a ping";

    // The last ping's datagram of each channel holds the channel's record.
    ASSERT_EQ(last.size(), 2u);
    for (int c = 0; c < 2; ++c) {
        SCOPED_TRACE(c);
        SingleTargetRecord record;
        ASSERT_EQ(sounder->GetChannel(c)->GetSingleTargets(record), 1);
        const std::string& d = last[static_cast<char>('1' + c)];
        std::uint32_t n = 0;
        std::memcpy(&n, d.data() + 12, 4);
        ASSERT_EQ(n, record.Count);
        for (std::uint32_t t = 0; t < n; ++t) {
            const auto values = record.Targets[t].Values();
            for (std::size_t v = 0; v < 5; ++v) {
                float sent;
                std::memcpy(&sent, d.data() + 16 + 20 * t + 4 * v, 4);
                EXPECT_EQ(sent, static_cast<float>(values[v])) << "target " << t << " value " << v;
            }
        }
    }
}

// What the detection finds of a sphere, worked out here from the ping's
// samples with the detection's own equations.
struct SExpectedTarget
{
    double depth, along, athwart, backscattering;
};

SExpectedTarget Expected(const std::vector<std::int16_t>& raw, const std::vector<std::int16_t>& angles,
                         const CChannel& channel, double surface, int around)
{
    const ChannelParameters p = channel.GetParameters();
    const double d = p.SampleDistance;
    std::vector<std::int16_t> tvg(CChannel::kMaxSamples);
    CChannel::BuildTvgTable(tvg.data(), CChannel::kMaxSamples, 40.0, p.Absorption, channel.GetFrequency(),
                            p.PulseLength, d, 300.0, (CChannel::kMaxSamples - 100) * d);
    const int c = rawpower::Saturate16(rawpower::Trunc(
        CChannel::ComputeTsConstant(p.TransmitPower, p.Gain, channel.GetFrequency()) * rawpower::kUnitsPerDb));
    const auto ts = [&](int i) { return std::clamp(tvg[std::size_t(i)] + raw[std::size_t(i)] + c, -32768, 32767); };

    int peak = around - 30;
    for (int i = around - 30; i <= around + 30; ++i)
        if (ts(i) > ts(peak))
            peak = i;
    // The echo: the samples no more than 6 dB (512 units) below the peak.
    int a = peak, b = peak + 1;
    while (ts(a - 1) >= ts(peak) - 512)
        --a;
    while (ts(b) >= ts(peak) - 512)
        ++b;
    double along = 0.0, athwart = 0.0;
    for (int i = a; i < b; ++i) {
        along += static_cast<std::int8_t>(static_cast<std::uint16_t>(angles[std::size_t(i)]) >> 8);
        athwart += static_cast<std::int8_t>(angles[std::size_t(i)] & 0xFF);
    }
    const double step = 180.0 / 128.0;
    SExpectedTarget e;
    e.depth = a * d + surface;
    e.along = along / (b - a) * step / channel.GetAngleSensitivityAlongship() - channel.GetAngleOffsetAlongship();
    e.athwart =
        athwart / (b - a) * step / channel.GetAngleSensitivityAthwartship() - channel.GetAngleOffsetAthwartship();
    // Backscattering: 4 pi 1852^2 d times the linear sum over the samples
    // within 12 dB of the peak.
    const int cut = ts(peak) - static_cast<int>(12.0 * rawpower::kUnitsPerDb);
    double sum = 0.0;
    for (int i = peak; ts(i) > cut; --i)
        sum += std::pow(10.0, ts(i) * rawpower::kDbPerUnit / 10.0);
    for (int i = peak + 1; ts(i) > cut; ++i)
        sum += std::pow(10.0, ts(i) * rawpower::kDbPerUnit / 10.0);
    e.backscattering = 4.0 * 3.14159265358979 * 1852.0 * 1852.0 * d * sum;
    return e;
}

// Least squares of y on the columns of x (normal equations, Gauss-Jordan).
std::array<double, 4> Fit(const std::vector<std::array<double, 4>>& x, const std::vector<double>& y)
{
    double m[4][5] = {};
    for (std::size_t k = 0; k < x.size(); ++k)
        for (int i = 0; i < 4; ++i) {
            for (int j = 0; j < 4; ++j)
                m[i][j] += x[k][std::size_t(i)] * x[k][std::size_t(j)];
            m[i][4] += x[k][std::size_t(i)] * y[k];
        }
    for (int i = 0; i < 4; ++i)
        for (int r = 0; r < 4; ++r)
            if (r != i) {
                const double f = m[r][i] / m[i][i];
                for (int j = 0; j < 5; ++j)
                    m[r][j] -= f * m[i][j];
            }
    return {m[0][4] / m[0][0], m[1][4] / m[1][1], m[2][4] / m[2][2], m[3][4] / m[3][3]};
}

TEST_F(ProgramSingleTargetsTest, CalibrationSphereReachesTheComponentAsTheDetectionSawIt)
{
    const zv::recgen::SRecGenScene scene = Scene(ZELVAR_CALIBRATION_SCENE, {"pings=60"});
    const fs::path recording = Write(scene, "calibration.raw");
    RegisterSimulator();
    SingleStepReplay();
    Start("TQ30");
    RequestTargetsByPostProcessing();
    CEchoSounder* sounder = Replay(recording);
    ASSERT_NE(sounder, nullptr);
    ASSERT_EQ(sounder->GetChannelCount(), 1);
    CChannel& channel = *sounder->GetChannel(0);

    // "Calibration...": pressed twice, the second does nothing.
    EXPECT_EQ(sounder->StartCalibrationLink(channel).outcome, CCalibrationLink::SStartResult::Started);
    EXPECT_TRUE(channel.GetLinkFlag());
    EXPECT_EQ(sounder->StartCalibrationLink(channel).outcome, CCalibrationLink::SStartResult::AlreadyLinked);

    const zv::recgen::CRecordingGenerator generator(scene);
    const int pings = 49;  // the whole grid once
    std::vector<std::array<double, 4>> regressors;
    std::vector<double> uncompensated;
    std::vector<std::int16_t> raw, angles;
    std::vector<float> handedOver;
    for (int k = 0; k < pings; ++k) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(Step(*sounder));
        // The post-processing output asked for the ping's targets, and the
        // component got them, with the ping's local time.
        // A ping may already be on its way when the step is taken.
        ASSERT_TRUE(WaitFor([&] { return LogLines(log, "AddTargets").size() > std::size_t(k); }));
        const std::vector<std::string> a = LogLines(log, "AddTargets")[std::size_t(k)];
        ASSERT_EQ(a.size(), 11u);
        int ping = 0;
        while (ping < scene.pings && FormatTimeLocal(zv::recgen::PingTime(scene, ping), 2) != a[1])
            ++ping;
        ASSERT_LT(ping, scene.pings) << a[1];
        const std::uint64_t time = zv::recgen::PingTime(scene, ping);
        EXPECT_EQ(a[2], FormatDateLocal(time));
        EXPECT_EQ(a[3], std::to_string(VT_UI2));
        ASSERT_EQ(a[4], "1") << "the sphere alone";
        EXPECT_EQ(a[5], std::to_string(VT_ARRAY | VT_R8));
        EXPECT_EQ(a[6], "1") << "one dimension";
        EXPECT_EQ(a[7], "0") << "from 0";
        EXPECT_EQ(a[8], "6");
        EXPECT_EQ(a[10], "0x00000000");
        TSTarget t;
        std::istringstream values(a[9]);
        values >> t.Range >> t.TS >> t.TSUncompensated >> t.AlongAngle >> t.AthwartAngle >> t.Backscattering;
        ASSERT_TRUE(values) << a[9];

        // As the detection's equations have it.
        generator.PingSamples(ping, 0, raw, angles);
        const double d = channel.GetParameters().SampleDistance;
        const double surface = channel.GetParameters().Draught() + program->Application().tide.load();
        const SExpectedTarget e =
            Expected(raw, angles, channel, surface, static_cast<int>(std::lround(scene.sphereRange / d)) - 1);
        EXPECT_NEAR(t.Range, e.depth, d);
        const double phaseAlong = 180.0 / 128.0 / channel.GetAngleSensitivityAlongship();
        const double phaseAthwart = 180.0 / 128.0 / channel.GetAngleSensitivityAthwartship();
        double along, athwart;
        zv::recgen::SphereAnglesAt(scene, ping, along, athwart);
        EXPECT_NEAR(t.AlongAngle, along, phaseAlong);
        EXPECT_NEAR(t.AthwartAngle, athwart, phaseAthwart);
        EXPECT_NEAR(t.AlongAngle, e.along, 1e-9);
        EXPECT_NEAR(t.AthwartAngle, e.athwart, 1e-9);
        EXPECT_NEAR(t.TS, scene.sphereTs, 0.5) << "compensated";
        EXPECT_NEAR(t.Backscattering / e.backscattering, 1.0, 1e-6);
        regressors.push_back({1.0, t.AlongAngle * t.AlongAngle, t.AthwartAngle * t.AthwartAngle,
                              t.AlongAngle * t.AlongAngle * t.AthwartAngle * t.AthwartAngle});
        uncompensated.push_back(t.TSUncompensated);

        handedOver.push_back(static_cast<float>(t.Range));
    }
    // The output's datagrams hold the same records.
    std::vector<std::vector<float>> echoTraces;
    ASSERT_TRUE(WaitFor([&] {
        for (std::vector<float>& depths : EchoTraceDepths())
            echoTraces.push_back(std::move(depths));
        return echoTraces.size() >= handedOver.size();
    }));
    ASSERT_GE(echoTraces.size(), handedOver.size());
    for (std::size_t k = 0; k < handedOver.size(); ++k)
        EXPECT_EQ(echoTraces[k], std::vector<float>{handedOver[k]}) << k;

    // The beam pattern recovered from the uncompensated strengths: TS =
    // TS0 - 6.0206 (4 a^2 / wa^2 + 4 b^2 / wb^2 - 0.18 x 16 a^2 b^2 / (wa^2 wb^2)).
    const std::array<double, 4> c = Fit(regressors, uncompensated);
    EXPECT_NEAR(c[0], scene.sphereTs, 0.3);
    EXPECT_NEAR(std::sqrt(-4.0 * 6.0206 / c[1]) / 7.0, 1.0, 0.02) << "alongship beam width";
    EXPECT_NEAR(std::sqrt(-4.0 * 6.0206 / c[2]) / 7.2, 1.0, 0.02) << "athwartship beam width";

    // The parameter set went first, once, in its order and types.
    const auto set = LogLines(log, "SetParameter");
    ASSERT_EQ(set.size(), 27u);
    const std::string lines = ReadFile(log);
    EXPECT_LT(lines.find("SetParameter\tTrListPath"), lines.find("AddTargets"));
    const ChannelParameters p = channel.GetParameters();
    std::string description, transceiverId;
    double f, g, w, bandwidth, ba, bb, sa, sb, oa, ob, soundVelocity, temperature;
    int beamType;
    ASSERT_EQ(channel.GetTransceiver()->GetChannelParameters(&channel, description, transceiverId, f, g, w, bandwidth,
                                                             ba, bb, sa, sb, oa, ob, beamType, soundVelocity,
                                                             temperature),
              1);
    const auto number = [](double v) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", v);
        return std::string(text);
    };
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Frequency", number(38000.0)},
        {"Power", number(p.TransmitPower)},
        {"Athwartship Beam", number(channel.GetBeamWidthAthwartship())},
        {"Alongship Beam", number(channel.GetBeamWidthAlongship())},
        {"TransducerName", generator.ChannelId(0)},
        {"TransceiverID", generator.ChannelId(0)},
        {"ProductVersion", program->Application().GetFileVersionText()},
        {"BeamType", "Split"},
        {"Gain", number(p.Gain)},
        {"Equivalent2WayBeamangle", number(p.TwoWayBeamAngle)},
        {"SenseAthwart", number(channel.GetAngleSensitivityAthwartship())},
        {"SenseAlong", number(channel.GetAngleSensitivityAlongship())},
        {"OffsetAthwart", number(channel.GetAngleOffsetAthwartship())},
        {"OffsetAlong", number(channel.GetAngleOffsetAlongship())},
        {"PulseLength", number(p.PulseLength)},
        {"SampleInterval", number(p.SampleDistance)},
        {"Bandwidth", number(bandwidth)},
        {"TSDetectionMinValue", number(channel.GetValueBySelector(2))},
        {"TSDetectionMaxBeamComp", number(6.0)},
        {"TSDetectionMinEcholength", number(0.8)},
        {"TSDetectionMaxEcholength", number(1.8)},
        {"TSDetectionMaxPhaseDev", number(8.0)},
        {"EnvironmentAbsorptionCoefficient", number(p.Absorption)},
        {"EnvironmentSoundVelocity", number(soundVelocity)},
        {"EnvironmentTemperature", number(temperature)},
        {"EnvironmentSalinity", "Dummy"},
        {"TrListPath", program->Application().GetTrListPath()},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].first);
        ASSERT_EQ(set[i].size(), 5u);
        EXPECT_EQ(set[i][1], expected[i].first);
        const bool text = i == 4 || i == 5 || i == 6 || i == 7 || i == 25 || i == 26;
        EXPECT_EQ(set[i][2], std::to_string(text ? VT_BSTR : VT_R8));
        EXPECT_EQ(set[i][3], expected[i].second);
    }
    EXPECT_EQ(bandwidth, 3800.0f);
    EXPECT_GT(soundVelocity, 1400.0);
    EXPECT_TRUE(boxes.empty()) << boxes.front();

    // A sounder made again has its link off until it is started again; the
    // new start sends the set again.
    program->Application().Operation().PostStop(0);
    ASSERT_TRUE(WaitFor([&] { return program->Operation().GetEchoSounder() == nullptr; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return LogLines(log, "Released").size() == 1; })) << "the component was let go";
    sounder = Replay(recording);
    ASSERT_NE(sounder, nullptr);
    EXPECT_FALSE(sounder->GetChannel(0)->GetLinkFlag());
    ASSERT_EQ(sounder->StartCalibrationLink(*sounder->GetChannel(0)).outcome, CCalibrationLink::SStartResult::Started);
    ASSERT_TRUE(Step(*sounder));
    EXPECT_TRUE(WaitFor([&] { return LogLines(log, "SetParameter").size() == 54u; }));
}

TEST_F(ProgramSingleTargetsTest, WithoutAComponentTheStartFailsAndPingsGoOn)
{
    SingleStepReplay();
    Start("TQ30");
    RequestTargetsByPostProcessing();
    CEchoSounder* sounder = Replay(Write(Scene(ZELVAR_CALIBRATION_SCENE, {"pings=20"}), "calibration.raw"));
    ASSERT_NE(sounder, nullptr);
    CChannel& channel = *sounder->GetChannel(0);
    const CCalibrationLink::SStartResult r = sounder->StartCalibrationLink(channel);
    EXPECT_EQ(r.outcome, CCalibrationLink::SStartResult::Failed);
    EXPECT_EQ(r.caption, "Calibration CoCreateInstance");
    EXPECT_EQ(r.result, REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(channel.GetLinkFlag());
    std::vector<std::vector<float>> echoTraces;
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(Step(*sounder));
    ASSERT_TRUE(WaitFor([&] {
        for (std::vector<float>& depths : EchoTraceDepths())
            echoTraces.push_back(std::move(depths));
        return echoTraces.size() >= 3u;
    }));
    for (const std::vector<float>& depths : echoTraces)
        EXPECT_EQ(depths.size(), 1u) << "the sphere";
    EXPECT_FALSE(channel.GetLinkFlag());
}

// A component that refuses "Frequency" three times: tried on each ping, told
// once, and the targets go to it all the same.
TEST_F(ProgramSingleTargetsTest, ARefusedParameterSetIsTriedAgainAndToldOnce)
{
    RegisterSimulator({"--fail-frequency", "3"});
    SingleStepReplay();
    Start("TQ30");
    RequestTargetsByPostProcessing();
    CEchoSounder* sounder = Replay(Write(Scene(ZELVAR_CALIBRATION_SCENE, {"pings=20"}), "calibration.raw"));
    ASSERT_NE(sounder, nullptr);
    CChannel& channel = *sounder->GetChannel(0);
    ASSERT_EQ(sounder->StartCalibrationLink(channel).outcome, CCalibrationLink::SStartResult::Started);
    for (int k = 0; k < 6; ++k)
        ASSERT_TRUE(Step(*sounder));
    ASSERT_TRUE(WaitFor([&] { return LogLines(log, "AddTargets").size() >= 6u; }));
    const auto set = LogLines(log, "SetParameter");
    ASSERT_EQ(set.size(), 3u + 27u);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(set[std::size_t(k)][1], "Frequency");
        EXPECT_EQ(set[std::size_t(k)][4], k < 3 ? "0x80004005" : "0x00000000");
    }
    EXPECT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes, std::vector<std::string>{"Calibration SetParameters: Unspecified error"});
    EXPECT_TRUE(channel.GetLinkFlag());
}

// A component whose process ends in the middle: the link goes off without
// a word, and the pings go on.
TEST_F(ProgramSingleTargetsTest, AComponentThatGoesAwayTakesItsLinkAlong)
{
    RegisterSimulator({"--exit-after", "30"});  // the set, two pings' targets
    SingleStepReplay();
    Start("TQ30");
    RequestTargetsByPostProcessing();
    CEchoSounder* sounder = Replay(Write(Scene(ZELVAR_CALIBRATION_SCENE, {"pings=20"}), "calibration.raw"));
    ASSERT_NE(sounder, nullptr);
    CChannel& channel = *sounder->GetChannel(0);
    ASSERT_EQ(sounder->StartCalibrationLink(channel).outcome, CCalibrationLink::SStartResult::Started);
    for (int k = 0; k < 6; ++k)
        ASSERT_TRUE(Step(*sounder)) << "the pings go on";
    EXPECT_TRUE(WaitFor([&] { return !channel.GetLinkFlag(); }));
    EXPECT_EQ(LogLines(log, "AddTargets").size(), 2u);
    EXPECT_EQ(LogLines(log, "Exit").size(), 1u);
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.empty()) << boxes.front();
    // Started again, the link works with a new component.
    ASSERT_EQ(sounder->StartCalibrationLink(channel).outcome, CCalibrationLink::SStartResult::Started);
    ASSERT_TRUE(Step(*sounder));
    EXPECT_TRUE(WaitFor([&] { return LogLines(log, "AddTargets").size() >= 3u; }));
    EXPECT_EQ(LogLines(log, "SetParameter").size(), 54u) << "the new component hears the set";
}

// A component that stops answering: its call gives up after the time-out,
// the link goes off with one box that nobody waits for, and the pings go on.
TEST_F(ProgramSingleTargetsTest, AComponentThatHangsIsGivenUpOn)
{
    RegisterSimulator({"--delay-ms", "60000"});
    SingleStepReplay();
    Start("TQ30");
    RequestTargetsByPostProcessing();
    CEchoSounder* sounder = Replay(Write(Scene(ZELVAR_CALIBRATION_SCENE, {"pings=20"}), "calibration.raw"));
    ASSERT_NE(sounder, nullptr);
    CChannel& channel = *sounder->GetChannel(0);
    ASSERT_EQ(sounder->StartCalibrationLink(channel).outcome, CCalibrationLink::SStartResult::Started);
    ASSERT_TRUE(Step(*sounder));
    EXPECT_TRUE(WaitFor([&] { return !channel.GetLinkFlag(); }, 10000));
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(Step(*sounder)) << "the pings go on";
    EXPECT_TRUE(WaitFor([&] { return !boxes.empty(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(boxes, std::vector<std::string>{"Calibration SetParameters: " + FormatSystemMessage(RPC_E_TIMEOUT)});
    EXPECT_EQ(LogLines(log, "AddTargets").size(), 0u) << "nothing after the call given up on";
}

}  // namespace
