// Pings, telegrams and queries on three threads at once, as the ping-data,
// trigger (replay) and user-interface threads do; run under ThreadSanitizer.
#include "sensors/GeographicInfo.h"
#include "sensors/NmeaDecoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

TEST(GeographicThreads, PingsTelegramsAndQueriesRunTogether)
{
    CGeographicInfo geo;
    struct Host : CNoNmeaDecoderHost
    {
        CGeographicInfo* geo = nullptr;
        bool GetNavigationSettings(SNavigationSettings& s) override
        {
            s.PositionSource = 1;
            s.StartSequence = "$GPGGA";
            s.NoOfFields = 3;
            return true;
        }
        CGeographicInfo* GetGeographicInfo() override { return geo; }
    } host;
    host.geo = &geo;
    CNmeaDecoder decoder(&host);
    geo.EnsureHistoryLength(50);
    constexpr int kRounds = 5000;
    constexpr std::uint64_t t0 = 134'000'000'000'000'000ULL;
    std::atomic<bool> done{false};
    std::thread pings([&] {
        for (int i = 0; i < kRounds; ++i)
            geo.AddPing(t0 + static_cast<std::uint64_t>(i) * 1000);
    });
    std::thread replay([&] {
        for (int i = 0; i < kRounds; ++i) {
            decoder.ParseNmeaTelegram("$GPGGA,1,5957.1,N,01045.6,E", t0 + static_cast<std::uint64_t>(i) * 1000,
                                      kNmeaFromReplay);
            decoder.ParseNmeaTelegram("$HEHDT,12.5,T", t0 + static_cast<std::uint64_t>(i) * 1000, kNmeaFromReplay);
        }
        done = true;
    });
    std::size_t answered = 0;
    while (!done) {
        double a = 0, b = 0;
        answered += geo.GetPositionAtTime(t0 + kRounds * 500, a, b) ? 1 : 0;
        (void)geo.GetHeadingAtTime(t0 + kRounds * 500);
        (void)decoder.GetPositionText();
        geo.FormatPingPosition(3, true, 10, 5, true, 1);
    }
    pings.join();
    replay.join();
    EXPECT_EQ(decoder.GetPositionText(), "$GPGGA,1,5957.1");
    // The threads need not interleave: positions that came before the pings
    // that make them old are dropped by the next position, not at once.
    decoder.ParseNmeaTelegram("$GPGGA,1,5957.1,N,01045.6,E", t0 + (kRounds - 1) * 1000ULL, kNmeaFromReplay);
    EXPECT_LE(geo.PositionCount(), 50u + 1u);
    EXPECT_EQ(geo.PingCount(), 50u);
}
