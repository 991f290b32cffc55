// Pinger mode in the running program: a generated pinger scene measured
// ping by ping as its first channel delivers it, then replayed on the QY310
// in pinger mode, where "Pinger Ready" comes after 50 searches and the
// channel's samples start at the pinger, or with "Syncronize" after the
// synchronisation window has counted 300 periods down; the synchronisation window follows
// the pinger's messages; "Second Layer" switches every detector.
#include "app/Pelmaris.h"
#include "app/tests/ShellTestSupport.h"
#include "app/ui/MainFrame.h"
#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "engine/PingerMode.h"
#include "engine/ui/PingerReadyDialog.h"
#include "engine/ui/PingerSyncDialog.h"
#include "platform/MessageDispatcher.h"
#include "program/tests/TestProgram.h"
#include "sim/recgen/RecordingGenerator.h"
#include "sounder/EchoSounder.h"

#include <QLabel>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <vector>

using namespace shelltest;
namespace fs = std::filesystem;
namespace cmd = app::cmd;

namespace {

// A pinger every 0.5004 s at 150 m (or depth), heard on a 38 kHz channel
// sampled at 0.1 ms; the sounder pings every 0.5 s (or interval).
zv::recgen::SRecGenScene PingerScene(int pings, double drift = 0.0, const std::string& interval = "0.5",
                                     const std::string& depth = "150")
{
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const std::string& s :
         {"pings=" + std::to_string(pings), "interval=" + interval, std::string("channels=38"),
          std::string("samples=6000"), std::string("pinger-period=0.5004"), "pinger-depth=" + depth,
          std::string("pinger-pulse=0.002"), "pinger-drift=" + std::to_string(drift), std::string("targets=0"),
          std::string("school-first=-1"), std::string("school-last=-1"), std::string("bottom=300"),
          std::string("bottom-swing=0")})
        EXPECT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << s << ": " << error;
    zv::recgen::CompleteScene(scene);
    return scene;
}

struct CSceneHost : IPingerModeHost
{
    explicit CSceneHost(fs::path f) : folder(std::move(f)) {}
    std::string GetSerializePath() override { return folder.string() + "/"; }
    bool IsReplaying() override { return false; }
    bool RunPingerDialog(SPingerDialogValues& v) override
    {
        v = values;
        return true;
    }
    void PostToFrame(unsigned message, std::intptr_t w, std::intptr_t) override
    {
        if (message == app::WM_ES_PINGERDRIFT)
            left.push_back(static_cast<int>(w));
        else
            posts.push_back(message);
    }
    fs::path folder;
    SPingerDialogValues values;
    std::vector<int> left;
    std::vector<unsigned> posts;
};

}  // namespace

// The scene's pings as the first channel delivers them: ready after 50
// searches, "Syncronize" counts 300 periods down, the period meets the
// scene's within 1e-4 s and the distance the pulse's within 1 m.
TEST(ProgramPinger, GeneratedSceneSynchronisesAndTracks)
{
    ShellEnvironment env;
    const auto scene = PingerScene(400);
    const zv::recgen::CRecordingGenerator generator(scene);
    CSceneHost host(env.Root());
    host.values = {150.0, 400.0, 2.0, 0.5, true};
    CPingerMode pinger(host);
    ASSERT_TRUE(pinger.Synchronise());
    const double interval = scene.channels[0].sampleInterval;
    std::vector<std::int16_t> power, angle;
    int ping = 0;
    for (; ping < scene.pings && pinger.GetState() != CPingerMode::kTrackingState; ++ping) {
        generator.PingSamples(ping, 0, power, angle);
        pinger.ProcessPingerSamples(power.data(), static_cast<int>(power.size()), interval,
                                    zv::recgen::PingTime(scene, ping));
        if (ping + 1 == CPingerMode::kSearchesBeforeReady) {
            ASSERT_EQ(host.posts, std::vector<unsigned>{app::WM_ES_SHOWPINGERSYNC});
        }
    }
    ASSERT_EQ(pinger.GetState(), CPingerMode::kTrackingState);
    ASSERT_EQ(host.left.size(), 300u);
    EXPECT_EQ(host.left.front(), 299);
    EXPECT_EQ(host.left.back(), 0);
    EXPECT_NEAR(pinger.GetPeriod(), scene.pingerPeriod, 1e-4);

    for (int i = 0; i < 10; ++i, ++ping) {
        generator.PingSamples(ping, 0, power, angle);
        pinger.ProcessPingerSamples(power.data(), static_cast<int>(power.size()), interval,
                                    zv::recgen::PingTime(scene, ping));
    }
    const long at = zv::recgen::PingerSampleAt(scene, ping - 1);
    ASSERT_GT(at, 0);
    EXPECT_NEAR(pinger.GetResult(), static_cast<double>(at) * interval * 750.0 - 100.0, 1.0);
}

class ProgramPingerRun : public ::testing::Test
{
protected:
    ProgramPingerRun() { QtApp(); }
    ~ProgramPingerRun() override
    {
        if (program)
            program.reset();
    }
    void Start(std::vector<std::string> arguments)
    {
        arguments.insert(arguments.begin(), "QY310");
        auto options = TestProgramOptions(std::move(arguments));
        options.pingerDialog = [this](SPingerDialogValues& v) {
            ++dialogs;
            v = values;
            return true;
        };
        program = MakeProgram(std::move(options));
        ASSERT_TRUE(program->Start());
        frame = program->Frame();
        ASSERT_NE(frame, nullptr);
    }
    CEchoSounder* Sounder() { return program->Operation().GetEchoSounder(); }

    ShellEnvironment env;
    AnswerMessageBoxes boxes;
    std::unique_ptr<app::CProgram> program;
    app::CMainFrame* frame = nullptr;
    SPingerDialogValues values{150.0, 400.0, 2.0, 0.5, false};
    int dialogs = 0;
};

// The scene replayed on the QY310 in pinger mode: "Pinger Ready" shows
// after 50 searches, the pings then come at the replay's 0.1 s, the first
// channel's samples start at the pinger and the units sample 0.8 of the
// interval; leaving pinger mode lets go of the pinger.
TEST_F(ProgramPingerRun, ReplayedSceneReadiesThePinger)
{
    const fs::path raw = env.Root() / "pinger.raw";
    std::string error;
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(PingerScene(200, 0.02)).Write(raw.string(), nullptr, &error)) << error;
    Start({raw.string()});
    ASSERT_TRUE(WaitFor([&] { return Sounder() != nullptr && program->Application().IsReplaying(); }, 10000));
    const auto absent = program->AbsentLinks();
    EXPECT_EQ(std::find(absent.begin(), absent.end(), "program: pinger mode"), absent.end());

    ASSERT_TRUE(program->Pinger().Synchronise());
    EXPECT_EQ(dialogs, 1);
    Sounder()->SetMode(CEchoSounder::kPinger, CEchoSounder::kTriggerInternal, 0, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return program->ToolWindows().PingerReady() != nullptr; }, 60000));
    EXPECT_TRUE(program->ToolWindows().PingerReady()->isVisible());
    // The 50th search posts from within its ping, which the sounder counts
    // once the ping is through.
    EXPECT_GE(Sounder()->GetPingCount(), CPingerMode::kSearchesBeforeReady - 1u);
    EXPECT_EQ(program->Pinger().GetState(), CPingerMode::kTrackingState);
    EXPECT_EQ(Sounder()->GetRateMode(), CEchoSounder::kInterval);
    ASSERT_TRUE(WaitFor([&] { return Sounder()->GetInterval() == 1000000; }, 5000)) << "0.1 s while replaying";
    ASSERT_TRUE(Sounder()->GetPingerScaledParameter());
    EXPECT_DOUBLE_EQ(*Sounder()->GetPingerScaledParameter(), 0.1 * 0.8);
    // The channel counts its range from the pinger: its ping is shorter
    // than the scene's by the pulse's place.
    CChannel* first = Sounder()->GetChannel(0);
    ASSERT_TRUE(WaitFor(
        [&] {
            CChannel::ParameterCopy copy;
            first->GetChannelParameters(copy);
            return !copy.Power.empty() && copy.Power.size() < 6000u;
        },
        10000));

    // Closed, the window goes; pinger mode's next "ready" makes it again.
    program->ToolWindows().PingerReady()->accept();
    ASSERT_TRUE(WaitFor([&] { return program->ToolWindows().PingerReady() == nullptr; }));

    Sounder()->SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 0);
    EXPECT_FALSE(program->Pinger().IsActive());
    EXPECT_FALSE(Sounder()->GetPingerScaledParameter());
}

// The scene replayed on the QY310 in pinger mode with "Syncronize": after
// 50 searches the synchronisation window counts 300 periods down and goes,
// "Pinger Ready" shows, the period meets the scene's within 1e-4 s and the
// tracked distance the pulse's within 1 m.
TEST_F(ProgramPingerRun, ReplayedSceneSynchronisesThePinger)
{
    // The recorded pings come at the pinger's period, as a sounder pinging
    // on it would have them: the pulse keeps its place in every ping.
    const auto scene = PingerScene(450, 0.0, "0.5004", "300");
    const fs::path raw = env.Root() / "pinger-sync.raw";
    std::string error;
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(raw.string(), nullptr, &error)) << error;
    values.synchronise = true;
    Start({raw.string()});
    ASSERT_TRUE(WaitFor([&] { return Sounder() != nullptr && program->Application().IsReplaying(); }, 10000));
    ASSERT_TRUE(program->Pinger().Synchronise());
    Sounder()->SetMode(CEchoSounder::kPinger, CEchoSounder::kTriggerInternal, 0, 0, 0);

    // The pings left as the window shows them, each value once.
    std::vector<int> left;
    std::uint64_t pingsAtSync = 0;
    const auto look = [&] {
        CPingerSyncDialog* sync = program->ToolWindows().PingerSync();
        if (!sync)
            return;
        if (pingsAtSync == 0)
            pingsAtSync = Sounder()->GetPingCount();
        const QString text = sync->findChild<QLabel*>("1491")->text();
        bool number = false;
        const int value = text.trimmed().toInt(&number);
        if (number && (left.empty() || left.back() != value))
            left.push_back(value);
    };
    ASSERT_TRUE(WaitFor(
        [&] {
            look();
            return program->ToolWindows().PingerReady() != nullptr;
        },
        300000))
        << "pings: " << Sounder()->GetPingCount();
    look();
    // Posted from within the 50th ping, before the sounder counts it.
    EXPECT_GE(pingsAtSync, CPingerMode::kSearchesBeforeReady - 1u) << "the window comes after the 50 searches";
    ASSERT_FALSE(left.empty());
    EXPECT_TRUE(std::is_sorted(left.rbegin(), left.rend()) &&
                std::adjacent_find(left.begin(), left.end()) == left.end())
        << "the count goes down";
    EXPECT_GT(left.front(), 200) << "first seen at " << left.front() << " of 299";
    EXPECT_EQ(left.back(), 0);
    EXPECT_FALSE(program->ToolWindows().PingerSync()->isVisible());
    EXPECT_TRUE(program->ToolWindows().PingerReady()->isVisible());
    EXPECT_EQ(program->Pinger().GetState(), CPingerMode::kTrackingState);
    EXPECT_NEAR(program->Pinger().GetPeriod(), scene.pingerPeriod, 1e-4);

    // Tracking: the distance is the pulse's, the same in every ping.
    const long at = zv::recgen::PingerSampleAt(scene, 0);
    ASSERT_GT(at, 0);
    ASSERT_EQ(zv::recgen::PingerSampleAt(scene, scene.pings - 1), at);
    const std::uint64_t tracked = Sounder()->GetPingCount();
    ASSERT_TRUE(WaitFor([&] { return Sounder()->GetPingCount() >= tracked + 10; }, 60000));
    EXPECT_TRUE(program->Pinger().IsTracking());
    EXPECT_NEAR(program->Pinger().GetResult(),
                static_cast<double>(at) * scene.channels[0].sampleInterval * 750.0 - 100.0, 1.0);
}

// The synchronisation window: made and shown by 0x482, filled by 0x484,
// hidden by 0x483.
TEST_F(ProgramPingerRun, SyncWindowFollowsThePingersMessages)
{
    Start({});
    PostMessage(GetMainWindow(), app::WM_ES_SHOWPINGERSYNC, 0, 0);
    PostMessage(GetMainWindow(), app::WM_ES_PINGERDRIFT, 120, -350);
    ASSERT_TRUE(WaitFor([&] {
        auto* sync = program->ToolWindows().PingerSync();
        return sync && sync->isVisible() && sync->findChild<QLabel*>("1491")->text() == " 120";
    }));
    EXPECT_EQ(program->ToolWindows().PingerSync()->findChild<QLabel*>("1007")->text(), " -3");
    Screenshot(*program->ToolWindows().PingerSync(), "program-pinger-sync");
    PostMessage(GetMainWindow(), app::WM_ES_HIDEPINGERSYNC, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return !program->ToolWindows().PingerSync()->isVisible(); }));
}

// "Second Layer" is greyed without a sounder; with one it is checked by its
// flag and switches every channel's second-layer detection, each detector
// keeping the reference and gain its channel was set up with.
TEST_F(ProgramPingerRun, SecondLayerSwitchesEveryDetector)
{
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const std::string& s : {std::string("pings=400"), std::string("channels=38,120"), std::string("samples=300")})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error)) << error;
    const fs::path raw = env.Root() / "survey.raw";
    ASSERT_TRUE(zv::recgen::CRecordingGenerator(scene).Write(raw.string(), nullptr, &error)) << error;
    Start({});
    EXPECT_FALSE(frame->QueryCommand(cmd::SECOND_LAYER).enabled);
    program.reset();
    Start({raw.string()});
    ASSERT_TRUE(WaitFor([&] { return Sounder() != nullptr && Sounder()->GetChannelCount() == 2; }, 10000));
    EXPECT_TRUE(frame->QueryCommand(cmd::SECOND_LAYER).enabled);
    EXPECT_FALSE(frame->QueryCommand(cmd::SECOND_LAYER).checked);
    // Each channel's detector refers to another source with a gain of its
    // own, the second layer off.
    std::vector<CBottomDetector*> detectors;
    for (int i = 0; i < Sounder()->GetChannelCount(); ++i) {
        CBottomDetector::Construction c;
        c.SourceName = "CH" + std::to_string(i + 1);
        auto detector = std::make_unique<CBottomDetector>(c);
        detector->SetSecondLayer(false, "REF" + std::to_string(i + 1), 1.25 + i);
        detectors.push_back(detector.get());
        Sounder()->GetChannel(i)->SetBottomDetector(std::move(detector));
    }
    for (const bool on : {true, false}) {
        frame->RunCommand(cmd::SECOND_LAYER);
        EXPECT_EQ(frame->QueryCommand(cmd::SECOND_LAYER).checked, on);
        for (int i = 0; i < Sounder()->GetChannelCount(); ++i) {
            EXPECT_EQ(Sounder()->GetChannel(i)->IsSecondLayerOn(), on) << i;
            EXPECT_EQ(detectors[static_cast<std::size_t>(i)]->GetReferenceName(), "REF" + std::to_string(i + 1))
                << i << (on ? " on" : " off");
            EXPECT_EQ(detectors[static_cast<std::size_t>(i)]->GetSecondLayerGain(), 1.25 + i)
                << i << (on ? " on" : " off");
        }
    }
}
