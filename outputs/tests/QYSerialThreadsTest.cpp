// The serial I/O hub on a pseudo-terminal through the real serial component
// (registered into temporary hives): casts, remote commands and annotations
// keep arriving on the component's reader thread, every channel's depth
// goes out from a thread of its own, and the test's thread, as the
// user-interface thread, takes the dialog's OK, loads the settings again,
// ticks the profile timer and closes and reopens the line meanwhile.
#include "outputs/QYSerial.h"

#include "base/AppIds.h"
#include "base/FramePayloads.h"
#include "outputs/tests/LineFlood.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "serialcom/tests/TovrelixTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;

DepthReport Depth(int channel, std::uint64_t time, double depth)
{
    DepthReport r;
    r.SourceName = "T38 38 kHz";
    r.ChannelId = channel;
    r.PingTime = time;
    r.Depth = depth;
    r.DraughtAndOffset = 5.0;
    r.Frequency = 38'000.0;
    return r;
}

// A cast with its end mark, a remote command, an annotation and a line of
// nothing, as a survey computer on the line might send them.
constexpr const char* kLines = "CALC cast from a probe\r\n"
                               "DEPTH (M)   VELOCITY (M/S)   TEMP (C)\r\n"
                               "  0.50   1500.10   10.1\r\n"
                               "  5.00   1495.20   9.8\r\n"
                               " 15.00   1488.75   9.1\r\n"
                               "  0  0  0\r\n"
                               "PE,PING,ON\r\n"
                               "CS,buoy 4\r\n"
                               "no numbers here\r\n";

TEST(QYSerialThreads, HubSettingsChangeWhileDepthsGoOutAndCastsArrive)
{
    CTempHives hives;
    CPtyPair pty;
    ASSERT_EQ(RunRegSvr(false), 0);
    SetPort(CQYSerial::kSettingId, pty.Name());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\SerialIO", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_SUCCESS);

    // The main frame's part: the remote commands and annotations the reader
    // thread posts, handled on this thread.
    int commands = 0, annotations = 0;
    const HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == app::WM_ES_TELEGRAM && CurrentPayload<app::TimedText>())
            ++commands;
        if (message == app::WM_ES_SERIALANNOTATION && CurrentPayload<std::string>())
            ++annotations;
        return 0;
    });
    SetMainWindow(frame);

    const CLiveSensorHost host;
    const CNoDepthTelegramSources sources;
    std::atomic<int> stored{0};
    auto hub = std::make_unique<CQYSerial>(host, sources, [&](const CSvpProfile& profile) {
        EXPECT_FALSE(profile.FormatProfile().empty());
        ++stored;
        return true;
    });
    hub->ApplySettings(key);
    CQYSerial::Settings s = hub->GetSettings();
    s.SVPInput = s.AnnotationInput = s.RemoteIn = s.Status = 1;
    s.NMEADestination = 0;
    s.DPTFormat = s.DBTFormat = s.DBSFormat = 1;
    s.AtlasChannel = {1, 1, 0, 0};
    s.FZChannel = {1, 1, 0, 0};
    s.ZelvarChannel = {1, 1, 0, 0};
    hub->StoreSettings(s);
    ASSERT_EQ(hub->OpenSerialComponent(), 0);

    // The ping-data thread: both channels of a ping, 50 ms of ping time
    // apart, with a status text now and then from the same thread.
    std::atomic<bool> stop{false};
    std::thread pings([&] {
        std::uint64_t time = CFileTime::Now();
        for (int n = 0; !stop.load(); ++n) {
            hub->SendDepth(Depth(0, time, 42.5));
            hub->SendDepth(Depth(1, time, 20.25));
            if (n % 20 == 0)
                hub->SendST("alarm");
            time += 500'000;
            std::this_thread::sleep_for(1ms);
        }
    });
    {
        CLineFlood flood(pty, kLines);
        for (int round = 0; round < 10; ++round) {
            const int storedBefore = stored.load(), commandsBefore = commands, annotationsBefore = annotations;
            const std::size_t sentBefore = flood.Received().size();
            ASSERT_TRUE(PumpUntil(
                [&] {
                    return stored.load() > storedBefore + 2 && commands > commandsBefore + 2 &&
                           annotations > annotationsBefore + 2 && flood.Received().size() > sentBefore + 200;
                },
                30s))
                << "round " << round;
            // The dialog's OK, the settings loaded again, a timer tick.
            CQYSerial::Settings changed = hub->GetSettings();
            changed.Decimate = round % 2;
            changed.DecimateHz = 10;
            changed.SVP = round % 2;
            changed.ZelvarWithoutHeave = round % 2;
            hub->StoreSettings(changed);
            if (round % 3 == 2)
                hub->ApplySettings(key);
            hub->StoreSvpProfile();
            if (round == 4) {
                hub->Close();
                EXPECT_FALSE(hub->IsOpen());
                ASSERT_EQ(hub->OpenSerialComponent(), 0);
            }
        }
        const std::string got = flood.Received();
        for (const char* telegram :
             {"$SDDPT,", "$SDDBT,", "$SDDBS,", "DB00042.50 m", "DA00020.25 m", "$PSDF,", "D1,", "D2,", "ST,"})
            EXPECT_NE(got.find(telegram), std::string::npos) << telegram;
        // Closed under the lines still coming.
        hub->Close();
        PumpUntil([] { return false; }, 50ms);
    }
    stop = true;
    pings.join();
    hub.reset();
    RegCloseKey(key);
    SetMainWindow(0);
    DestroyWindow(frame);
    CoFreeUnusedLibraries();
}

}  // namespace
