// The motion sensor shared between threads as in the running program: the
// reader thread adds telegrams, a unit adds analog samples, the dialog
// changes the settings and the ping-data thread looks the motion up and
// empties the ring after a clock change. Every look-up sees a sample as it
// was stored, never half of one.
#include "sensors/Heave.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

constexpr std::uint64_t kStamp = 134'000'000'000'000'000ULL;

TEST(HeaveThreads, LookUpsSeeWholeSamplesWhileTheLineArrives)
{
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    CHeave heave(host, sources);
    heave.SetMode(CHeave::kModeSerial);
    heave.SetProtocol(CHeave::kProtocolZelvar);
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> latest{0};
    // The line starts once the look-ups have, so that the two overlap
    // however the threads are scheduled.
    std::atomic<bool> lookingUp{false};
    std::thread reader([&] {
        while (!lookingUp.load())
            std::this_thread::yield();
        // Heave, roll and pitch of each sample are one value n: a look-up
        // between two samples is the same mix of all three.
        for (int n = 1; n < 20000; ++n) {
            const int v = n % 900;
            const BYTE t[10] = {0x90,
                                0x90,
                                static_cast<BYTE>(v & 0xFF),
                                static_cast<BYTE>(v >> 8),
                                static_cast<BYTE>(v & 0xFF),
                                static_cast<BYTE>(v >> 8),
                                static_cast<BYTE>(v & 0xFF),
                                static_cast<BYTE>(v >> 8),
                                0,
                                0};
            const std::uint64_t stamp = kStamp + static_cast<std::uint64_t>(n) * 400'000;
            heave.ParseTelegram(t, sizeof t, stamp);
            latest = stamp;
        }
        stop = true;
    });
    std::thread dialog([&] {
        while (!stop.load()) {
            CHeave::Settings s = heave.GetSettings();
            s.CalcRemoteHeave = s.CalcRemoteHeave ? 0 : 1;
            s.ChannelSource = s.CalcRemoteHeave ? "T38 38 kHz" : "T120 120 kHz channel";
            heave.StoreSettings(s);
        }
    });
    int lookUps = 0;
    while (!stop.load()) {
        const std::uint64_t t = latest.load();
        double out[4];
        // No ASSERT here: returning would leave the threads unjoined.
        const bool answered = heave.GetMotionAtTime(t == 0 ? kStamp : t - 200'000, TransducerOffsets{}, out);
        EXPECT_TRUE(answered);
        if (!answered)
            break;
        // Roll and pitch are the heave's value in 0.01 degree, its sign turned.
        EXPECT_NEAR(out[1], -out[0], 1e-9);
        EXPECT_NEAR(out[2], -out[0], 1e-9);
        if (++lookUps % 500 == 0)
            heave.ResetRingBuffer();
        lookingUp = true;
    }
    // After a failed first look-up the line still has to start to end.
    lookingUp = true;
    reader.join();
    dialog.join();
    EXPECT_GT(lookUps, 0);
}

}  // namespace
