// The lobe link and the remote display on pseudo-terminals through the real
// serial component (registered into temporary hives): lines keep arriving
// on the component's reader thread, telegrams and depths go out from a
// thread of their own, and the test's thread, as the user-interface thread,
// handles the commands, changes the settings and closes and reopens the
// line meanwhile.
#include "outputs/Lobe.h"
#include "outputs/RDDialog.h"

#include "base/AppIds.h"
#include "base/FramePayloads.h"
#include "engine/TSDetection.h"
#include "outputs/tests/LineFlood.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "serialcom/tests/TovrelixTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

class SerialOutputsThreads : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_EQ(RunRegSvr(false), 0); }
    void TearDown() override { CoFreeUnusedLibraries(); }

    CTempHives hives;
    CPtyPair pty;
};

TEST_F(SerialOutputsThreads, LobeClosesWhileLinesArrive)
{
    SetPort("Lobe", pty.Name());
    CLobe::Links links;
    links.fileVersion = [] { return std::string("1.2.3.4"); };
    auto lobe = std::make_unique<CLobe>(links);
    // The main frame's part: each line's command, handled on this thread.
    int commands = 0;
    const HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == app::WM_ES_LOBECOMMAND)
            if (const auto* t = CurrentPayload<app::TimedText>()) {
                lobe->HandleCommand(t->text, t->fileTime);
                ++commands;
            }
        return 0;
    });
    SetMainWindow(frame);
    ASSERT_EQ(lobe->OpenPort(), 0);
    lobe->SetMonitorVisible(true);
    lobe->SetEchoTrace(true);

    // A requester of single targets hands a record over every millisecond.
    std::atomic<bool> stop{false};
    std::thread targets([&] {
        SingleTargetRecord record;
        record.Count = 2;
        record.Targets[0] = {20.5, -40.2, -41.0, 0.3, -0.2, 1.0};
        record.Targets[1] = {31.0, -55.0, -56.5, 1.1, 0.4, 1.0};
        while (!stop.load()) {
            lobe->SendTelegram(0, CFileTime::Now(), record);
            std::this_thread::sleep_for(1ms);
        }
    });
    {
        CLineFlood flood(pty, "/TEST MENU/Version\r/SER/Telegram/Echo-Trace=1\rnoise\r");
        for (int round = 0; round < 4; ++round) {
            const int before = commands;
            ASSERT_TRUE(PumpUntil([&] { return commands > before + 20; }, 20s)) << "round " << round;
            EXPECT_LE(lobe->GetMonitorText().size(), CLobe::kMonitorLimit);
            if (round == 1)
                lobe->ClearMonitor();
            lobe->ClosePort();
            EXPECT_FALSE(lobe->IsOpen());
            ASSERT_EQ(lobe->OpenPort(), 0);
        }
        // The replies and telegrams reached the far end.
        ASSERT_TRUE(PumpUntil(
            [&] {
                const std::string got = flood.Received();
                return got.find("PR,") != std::string::npos && got.find("E1,") != std::string::npos;
            },
            20s));
        // Closed under the lines still coming; what the reader posted
        // before is handled with no line to answer on.
        lobe->ClosePort();
        PumpUntil([] { return false; }, 50ms);
    }
    stop = true;
    targets.join();
    lobe.reset();
    // Posted lines whose object has gone are dropped with the window.
    SetMainWindow(0);
    DestroyWindow(frame);
}

// One channel whose ping time moves on by 0.25 s a ping.
class CPings final : public IQYNetPingSource
{
public:
    int GetChannelCount() override { return 1; }
    bool GetChannelPing(int index, SQYNetChannelPing& out) override
    {
        if (index != 0)
            return false;
        out.processed = true;
        out.pingTime = m_time;
        out.depth = 12.34;
        return true;
    }
    bool GetSamples(int, std::int16_t*, int, double, double, int, int) override { return false; }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>&) override { return 0; }
    double GetEnvironmentSoundVelocity() override { return 1500.0; }
    bool GetWaterTemperature(double&) override { return false; }
    void Next() { m_time += 2'500'000; }

private:
    std::uint64_t m_time = CFileTime::Now();
};

TEST_F(SerialOutputsThreads, RemoteDisplayClosesWhileDepthsGoOut)
{
    SetPort("RemoteDisplay", pty.Name());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\RemoteDisplay", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::atomic<bool> replaying{false};
    CRDDialog display([&] { return replaying.load(); });
    ASSERT_EQ(display.OpenPort(), 0);
    display.SetSettingsKey(key);
    RegCloseKey(key);
    display.ApplySettings({1, CRDDialog::kRD1, 0});

    // The ping-data thread.
    std::atomic<bool> stop{false};
    std::thread pings([&] {
        CPings source;
        while (!stop.load()) {
            display.SendDepth(source);
            source.Next();
            std::this_thread::sleep_for(1ms);
        }
    });
    {
        // The display talks back: bytes the link has no use for.
        CLineFlood flood(pty, "12.3\r\n$XXABC,1*00\r\n");
        for (int round = 0; round < 4; ++round) {
            const std::size_t before = flood.Received().size();
            ASSERT_TRUE(PumpUntil([&] { return flood.Received().size() > before + 80; }, 20s)) << "round " << round;
            // The dialog's OK and the factory defaults, on this thread.
            display.ApplySettings({1, round % 2 ? CRDDialog::kNMEA : CRDDialog::kRD1, 0});
            replaying = round % 2 == 0;
            display.ClosePort();
            ASSERT_EQ(display.OpenPort(), 0);
        }
        const std::string got = flood.Received();
        EXPECT_NE(got.find("  12.3\r\n"), std::string::npos);
        EXPECT_NE(got.find("$SD"), std::string::npos);
        display.Reset();
        EXPECT_EQ(display.GetTxProtocolName(), "");
        display.ClosePort();
    }
    stop = true;
    pings.join();
}

}  // namespace
