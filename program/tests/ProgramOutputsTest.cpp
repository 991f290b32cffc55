// The program's post-processing and raw-data outputs while it replays the
// demo, each heard by its peer's own decoder (sim/lx750, sim/rawsink) on a
// loopback port: TQ30 sends every post-processing datagram of each ping and
// the navigation it replays; QY310 streams the recorder's datagrams, each
// ping's samples equal to the file's, with a configuration now and then.
#include "app/ui/tests/QtTestSupport.h"

#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "base/ReplayFileList.h"
#include "outputs/LX750.h"
#include "outputs/QYTriton.h"
#include "program/tests/TestProgram.h"
#include "recording/Replay.h"
#include "sensors/Navigation.h"
#include "sim/lx750/LX750Decoder.h"
#include "sim/rawsink/RawStreamDecoder.h"
#include "sim/recgen/RecGenScene.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/OperationControl.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace shelltest;
namespace fs = std::filesystem;

namespace {

constexpr int kPings = 20;

class CListener
{
public:
    CListener()
    {
        EXPECT_TRUE(m_socket.Create(CSocket::Udp));
        EXPECT_TRUE(m_socket.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
        m_socket.SetReceiveBufferSize(1 << 24);
    }
    std::uint16_t Port() const { return m_socket.LocalAddress().port; }
    // What has arrived since the last call.
    std::vector<std::vector<std::uint8_t>> Take()
    {
        std::vector<std::vector<std::uint8_t>> got;
        std::vector<std::uint8_t> b(70000);
        for (int n; (n = m_socket.ReceiveFrom(b.data(), b.size(), nullptr, 0)) > 0;)
            got.emplace_back(b.begin(), b.begin() + n);
        return got;
    }

private:
    CSocket m_socket;
};

class ProgramOutputsTest : public ::testing::Test
{
protected:
    ProgramOutputsTest()
    {
        QtApp();
        std::ifstream in(ZELVAR_DEMO_SCENE);
        std::stringstream text;
        text << in.rdbuf();
        zv::recgen::SRecGenScene scene;
        std::string error;
        EXPECT_TRUE(zv::recgen::ApplySceneText(scene, text.str(), &error)) << error;
        EXPECT_TRUE(zv::recgen::ApplySetting(scene, "pings=" + std::to_string(kPings), &error)) << error;
        EXPECT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(recording.string(), nullptr, &error)) << error;
    }

    zv::recording::CReplay* RunningReplay()
    {
        CEchoSounder* sounder = program->Operation().GetEchoSounder();
        return sounder ? dynamic_cast<zv::recording::CReplay*>(sounder->GetTransceiver(0)) : nullptr;
    }

    // Replays the recording once; each datagram that arrives meanwhile goes
    // to take. The sounder is left as the replay's end leaves it.
    void Replay(const std::function<void()>& take)
    {
        CReplayFileList list;
        list.AddTail(recording.string());
        list.m_loop = 0;
        COperationControl::PostStartWithFiles(&list);
        ASSERT_TRUE(WaitFor([&] { return RunningReplay() != nullptr; }, 10000));
        ASSERT_TRUE(WaitFor(
            [&] {
                take();
                return RunningReplay() && RunningReplay()->IsStopped();
            },
            60000));
        take();
    }

    void Stop()
    {
        program->Application().Operation().PostStop(0);
        ASSERT_TRUE(WaitFor([&] { return program->Operation().GetEchoSounder() == nullptr; }, 10000));
    }

    ShellEnvironment env;
    const fs::path recording = env.Root() / "demo.raw";
    std::unique_ptr<app::CProgram> program;
};

TEST_F(ProgramOutputsTest, PostProcessingOfAReplayedDemo)
{
    program = MakeProgram(TestProgramOptions({"TQ30"}));
    ASSERT_TRUE(program->Start());
    CLX750* lx750 = program->Application().Sensor<CLX750>(app::SensorId::LX750);
    ASSERT_NE(lx750, nullptr);
    CListener sink;
    CLX750::Settings s = lx750->GetSettings();
    s.DestPort = sink.Port();
    s.EchoTraceDatagram = s.EchogramDatagram = s.VesselLogDatagram = s.NavigationDatagram = s.ParameterDatagram = 1;
    s.EchogramSurfaceCount = 500;
    s.EchogramBottomCount = 200;
    lx750->ApplySettings(s);
    // The replayed GGA is the operator's position telegram: its first three
    // fields are the position text the decoder forwards.
    CNavigation* navigationInput = program->Application().Sensor<CNavigation>(app::SensorId::Navigation);
    ASSERT_NE(navigationInput, nullptr);
    CNavigation::Settings positions = navigationInput->GetSettings();
    positions.FieldSeparator = ",";
    positions.StartSequence = "$GPGGA";
    positions.StartField = 1;
    positions.NoOfFields = 3;
    navigationInput->StoreSettings(positions);

    std::vector<zv::sim::SLX750Datagram> got;
    const auto take = [&] {
        for (const auto& bytes : sink.Take()) {
            zv::sim::SLX750Datagram d;
            std::string why;
            EXPECT_TRUE(zv::sim::CLX750Decoder::Decode(bytes, d, why)) << why;
            got.push_back(d);
        }
    };
    Replay(take);

    using Kind = zv::sim::SLX750Datagram::Kind;
    std::map<char, std::vector<float>> bottoms;
    int soundVelocities = 0, navigation = 0;
    for (std::size_t i = 0; i < got.size(); ++i) {
        const auto& d = got[i];
        switch (d.kind) {
        case Kind::Echogram:
            EXPECT_EQ(d.bytes, 44u + 2u * 700u);
            bottoms[d.channel].push_back(d.bottomDepth);
            break;
        case Kind::Parameter:
            // The sound velocity once per ping, before the first channel's
            // frequency.
            if (d.text.find("Sound Velocity=") != std::string::npos) {
                ++soundVelocities;
                ASSERT_LT(i + 1, got.size());
                EXPECT_NE(got[i + 1].text.find("Transceiver-1 Menu/Frequency="), std::string::npos);
            }
            break;
        case Kind::Navigation:
            // NUL-padded to a multiple of 4 (the decoder checked both).
            ++navigation;
            EXPECT_EQ(d.text.rfind("$GPGGA,", 0), 0u) << d.text;
            EXPECT_EQ(std::count(d.text.begin(), d.text.end(), ','), 2) << d.text;
            break;
        case Kind::EchoTrace:  // the demo's targets are below the detection's threshold
        case Kind::VesselLog:  // no speed without the navigation object
            break;
        }
    }
    EXPECT_EQ(soundVelocities, kPings);
    EXPECT_EQ(navigation, kPings) << "the demo has a GGA a ping";
    ASSERT_EQ(bottoms.size(), 2u);
    for (const auto& [channel, depths] : bottoms) {
        SCOPED_TRACE(channel);
        EXPECT_EQ(depths.size(), std::size_t(kPings));
        // The demo's bottom, between 50 and 70 m, as the replay found it
        // once the detector has locked on (0 before).
        const auto found = std::count_if(depths.begin(), depths.end(), [](float d) { return d != 0.0f; });
        EXPECT_GE(found, kPings - 3);
        for (float depth : depths)
            if (depth != 0.0f) {
                EXPECT_GT(depth, 45.0f);
                EXPECT_LT(depth, 75.0f);
            }
        EXPECT_NE(depths[depths.size() / 2], depths.back());
    }

    // 715 samples do not fit one echogram datagram: none is sent.
    s.EchogramBottomCount = 215;
    lx750->ApplySettings(s);
    Stop();
    got.clear();
    Replay(take);
    EXPECT_TRUE(std::none_of(got.begin(), got.end(), [](const auto& d) { return d.kind == Kind::Echogram; }));
    EXPECT_TRUE(std::any_of(got.begin(), got.end(), [](const auto& d) { return d.kind == Kind::Parameter; }));
    Stop();
}

TEST_F(ProgramOutputsTest, RawDataOfAReplayedDemo)
{
    auto options = TestProgramOptions({"QY310"});
    options.rawDataConfigurationPeriodMs = 100;
    program = MakeProgram(std::move(options));
    ASSERT_TRUE(program->Start());
    CQYTriton* triton = program->Application().Sensor<CQYTriton>(app::SensorId::RawDataOutput);
    ASSERT_NE(triton, nullptr);
    CListener sink;
    const CQYTriton::DialogValues opened = triton->GetDialogValues();
    CQYTriton::DialogValues on = opened;
    on.port = sink.Port();
    on.enabled = true;
    triton->ApplyDialogValues(opened, on);

    std::vector<zv::sim::SRawDatagram> got;
    const auto take = [&] {
        for (const auto& bytes : sink.Take()) {
            zv::sim::SRawDatagram d;
            std::string why;
            EXPECT_TRUE(zv::sim::CRawStreamDecoder::Decode(bytes, d, why)) << why;
            got.push_back(std::move(d));
        }
    };
    Replay(take);
    // The timer asks for a configuration every period while the sounder runs.
    const auto configurations = [&] {
        return std::count_if(got.begin(), got.end(), [](const auto& d) { return d.type == "CON0"; });
    };
    const auto before = configurations();
    EXPECT_TRUE(WaitFor(
        [&] {
            take();
            return configurations() >= before + 2;
        },
        10000));

    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front().type, "CON0");
    EXPECT_EQ(got.front().text1, "DUMMY");
    EXPECT_EQ(got.front().text2, "DUMMY");
    EXPECT_EQ(got.front().channels.size(), 2u);

    // Each ping's samples as the file holds them, channel by channel.
    std::vector<zv::sim::SRawDatagram> file;
    std::string why;
    ASSERT_TRUE(zv::sim::CRawStreamDecoder::ReadFile(recording.string(), file, why)) << why;
    std::map<std::uint16_t, std::vector<std::vector<std::int16_t>>> recorded, sent;
    for (const auto& d : file)
        if (d.type == "RAW0")
            recorded[d.channel].push_back(d.power);
    for (const auto& d : got)
        if (d.type == "RAW0")
            sent[d.channel].push_back(d.power);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[1].size(), std::size_t(kPings));
    EXPECT_TRUE(sent == recorded);

    // Switched off, nothing arrives, a whole replay long.
    const CQYTriton::DialogValues now = triton->GetDialogValues();
    CQYTriton::DialogValues off = now;
    off.enabled = false;
    triton->ApplyDialogValues(now, off);
    Stop();
    take();
    got.clear();
    Replay(take);
    EXPECT_TRUE(got.empty()) << got.size() << " datagrams, the first " << got.front().type;
    Stop();
}

}  // namespace
