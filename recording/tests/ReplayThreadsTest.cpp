// Replay inside the running engine: the trigger thread reads pings, the
// ping-data thread processes them, and every recorded ping goes through the
// engine exactly once with its recorded time.
#include "recording/Replay.h"

#include "engine/Channel.h"
#include "engine/EchoSounder.h"
#include "platform/TempHives.h"
#include "recording/tests/StoreFixture.h"
#include "sim/recgen/RecordingGenerator.h"
#include "app/RegistrySupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>

using namespace zv::recording;
using namespace zv::recording::test;
using namespace std::chrono_literals;

TEST(ReplayThreadsTest, EveryRecordedPingRunsThroughTheEngineOnce)
{
    CTempHives hives;
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    TempFolder dir;
    zv::recgen::SRecGenScene scene;
    std::string error;
    for (const char* s : {"pings=25", "channels=38,120", "samples=500"})
        ASSERT_TRUE(zv::recgen::ApplySetting(scene, s, &error));
    zv::recgen::CRecordingGenerator gen(scene);
    const fs::path file = dir.path / "demo.raw";
    ASSERT_TRUE(gen.Write(file.string(), nullptr, &error)) << error;

    CReplayFileList list;
    list.AddTail(file.string());
    list.m_loop = 0;

    std::mutex lock;
    std::condition_variable cv;
    std::vector<std::uint64_t> processed;
    CEchoSounder::Context context;
    context.model = 1;
    context.workerStartDelayMs = 0;
    context.createReplay = [](const CReplayFileList* files, HKEY) -> std::unique_ptr<CTransceiver> {
        if (!files) return nullptr;
        auto r = std::make_unique<CReplay>(*files, nullptr);
        if (!r->IsOpen()) return nullptr;
        return r;
    };
    auto sounder = std::make_unique<CEchoSounder>();
    CEchoSounder* running = sounder.get();
    context.hooks.documentsNotify = [&, running](const std::atomic<bool>&) {
        std::lock_guard l(lock);
        processed.push_back(running->GetChannel(0)->GetPingTime());
        cv.notify_all();
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kReplay, CEchoSounder::kMaximumRate, &list,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_EQ(sounder->GetChannelCount(), 2);
    auto* replay = dynamic_cast<CReplay*>(sounder->GetTransceiver(0));
    ASSERT_NE(replay, nullptr);
    {
        std::unique_lock l(lock);
        ASSERT_TRUE(cv.wait_for(l, 30s, [&] { return processed.size() >= 25; }));
    }
    sounder.reset();  // joins both threads
    ASSERT_EQ(processed.size(), 25u);
    for (int p = 0; p < 25; ++p) EXPECT_EQ(processed[std::size_t(p)], zv::recgen::PingTime(scene, p)) << p;
    reg.CloseRootKeys();
}
