// Intake of a ping piece by piece and its hand-over to the channel.
#include "engine/ChannelInput.h"
#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

constexpr int N = 1000;

TEST(ChannelInput, NullPowerSourceFillsNoEchoAndAdvances)
{
    CChannelInput in(N);
    const std::vector<std::int16_t> a(10, 5);
    in.AddPowerSamples(a.data(), 10, 0);
    in.AddPowerSamples(nullptr, 5, 1);
    in.AddPowerSamples(a.data(), 3, 2);
    EXPECT_EQ(in.GetPowerPosition(), 18);
    EXPECT_EQ(in.GetBlockNumber(), 3);
    ChannelPing p(N);
    in.TakePing(p, 1e-4, nullptr);
    ASSERT_EQ(p.PowerCount, 18);
    EXPECT_EQ(p.Power[9], 5);
    EXPECT_EQ(p.Power[10], rawpower::kNoEcho);
    EXPECT_EQ(p.Power[14], rawpower::kNoEcho);
    EXPECT_EQ(p.Power[15], 5);
    EXPECT_EQ(in.GetPowerPosition(), 0) << "the input restarts after the hand-over";
}

TEST(ChannelInput, WritesBeyondCapacityAreCut)
{
    CChannelInput in(N);
    std::vector<std::int16_t> a(N + 500);
    std::iota(a.begin(), a.end(), 0);
    in.AddPowerSamples(a.data(), 600, 0);
    in.AddPowerSamples(a.data() + 600, 900, 1);
    in.AddPowerSamples(a.data(), -3, 2);  // a negative count from a bad datagram
    EXPECT_EQ(in.GetPowerPosition(), N);
    std::vector<std::uint16_t> ang(N + 10, 7);
    in.AddAngleSamples(ang.data(), N + 10, 0);
    std::vector<float> f(N + 10, 1.5f);
    in.AddFloatSamples(f.data(), f.data(), nullptr, 0.5f, N + 10, 1e-5);
    ChannelPing p(N);
    in.TakePing(p, 1e-4, nullptr);
    EXPECT_EQ(p.PowerCount, N);
    EXPECT_EQ(p.Power[N - 1], N - 1);
    EXPECT_EQ(p.AngleCount, N);
    EXPECT_EQ(p.TraceCount, N);
    EXPECT_EQ(p.Trace2[N - 1], 1.5);
}

TEST(ChannelInput, SampleBlockKeepsWholeRowsThatFit)
{
    struct Row
    {
        const char* legend;
        int stride;
        int count;
        int available;
        int rows;
    };
    const Row rows[] = {
        {"stride 3, 400 rows: 250 rows (750 words)", 3, 400, 1200, 250},
        {"short source: only the words present", 2, 100, 51, 25},
        {"stride 1 fits whole", 1, 700, 700, 700},
    };
    std::vector<std::int16_t> words(2000);
    std::iota(words.begin(), words.end(), 1);
    for (const Row& r : rows) {
        CChannelInput in(N);
        const std::int16_t* end = in.SetSampleBlock(42, r.stride, r.count, words.data(), r.available);
        EXPECT_EQ(end - words.data(), r.rows * r.stride) << r.legend;
        ChannelPing p(N);
        in.TakePing(p, 1e-4, nullptr);
        EXPECT_EQ(p.Record.Count, r.rows) << r.legend;
        EXPECT_EQ(p.Record.Stride, r.stride) << r.legend;
        EXPECT_EQ(p.Record.Words[r.rows * r.stride - 1], r.rows * r.stride) << r.legend;
        EXPECT_EQ(in.GetErrorCount(), 0) << r.legend;
    }
}

TEST(ChannelInput, MalformedBlocksAreDroppedAndCounted)
{
    CChannelInput in(N);
    const std::vector<std::int16_t> words(100, 1);
    const std::uint32_t ad[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(in.SetSampleBlock(1, 0, 10, words.data(), 100), words.data()) << "stride 0";
    EXPECT_EQ(in.SetSampleBlock(1, -2, 10, words.data(), 100), words.data()) << "negative stride";
    EXPECT_FALSE(in.SetDiagnostics(2, ad));
    EXPECT_FALSE(in.SetDiagnostics(0x7fffffff, ad));
    EXPECT_FALSE(in.SetAdDiagnostics(5, ad));
    EXPECT_EQ(in.GetErrorCount(), 5);

    EXPECT_TRUE(in.SetDiagnostics(4, ad));
    EXPECT_TRUE(in.SetAdDiagnostics(1, ad));
    ChannelPing p(N);
    in.TakePing(p, 1e-4, nullptr);
    EXPECT_EQ(p.Diagnostics.AdCount, 4);
    EXPECT_EQ(p.Diagnostics.Words[15], 16u);
    EXPECT_EQ(p.Values.AdCount, 1);
    EXPECT_EQ(p.Values.Words[1], 2u);
    EXPECT_EQ(p.Values.Words[2], 0u) << "only the given AD's words";
}

TEST(ChannelInput, HandOverExchangesAndClearsPerPingRecords)
{
    CChannelInput in(N);
    const std::uint32_t header[8] = {1, 0, 0, 0, 1, 0, 0, 0};
    const std::uint32_t ad[4] = {9, 9, 9, 9};
    std::vector<std::int16_t> a(20, 3);
    in.SetInputHeader(header);
    in.SetDiagnostics(1, ad);
    in.SetSampleBlock(5, 1, 20, a.data(), 20);
    in.AddPowerSamples(a.data(), 20, 0);
    ChannelPing p(N);
    in.TakePing(p, 2e-4, nullptr);
    EXPECT_EQ(p.Header[4], 1u);
    EXPECT_EQ(p.SampleInterval, 2e-4);

    ChannelPing q(N);
    in.TakePing(q, 2e-4, nullptr);
    EXPECT_EQ(q.PowerCount, 0);
    EXPECT_EQ(q.Record.Count, 0);
    EXPECT_EQ(q.Record.BlockId, 0u);
    EXPECT_EQ(q.Diagnostics.AdCount, 0);
    EXPECT_EQ(q.Header[4], 1u) << "the header stays until the unit sends a new one";
}

// A ping staged whole in a buffer of the input's size changes places with
// the input's; what the channel then takes must be what copying the same
// words would have staged.
TEST(ChannelInput, ExchangedWordsStageWhatCopiedOnesWould)
{
    struct Row
    {
        const char* legend;
        int before;  // words staged by copy first
        int n;
        int size;  // of the buffer handed over
    };
    const Row rows[] = {
        {"into an empty input: exchanged", 0, 600, N},
        {"a whole buffer's worth", 0, N, N},
        {"more than the buffer holds is cut to it", 0, N + 5, N},
        {"behind words staged already: copied, cut at the end", 700, 600, N},
        {"a buffer of another size is copied", 0, 300, 300},
        {"a negative count from a bad datagram stages nothing", 0, -3, N},
    };
    const std::vector<std::int16_t> firstPower(N, 11);
    const std::vector<std::uint16_t> firstAngles(N, 11);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        std::vector<std::int16_t> power(static_cast<std::size_t>(r.size));
        std::iota(power.begin(), power.end(), 1);
        std::vector<std::uint16_t> angles(power.begin(), power.end());
        const int readable = std::min(r.n, r.size);

        CChannelInput copied(N), exchanged(N);
        for (CChannelInput* in : {&copied, &exchanged}) {
            in->AddPowerSamples(firstPower.data(), r.before, 0);
            in->AddAngleSamples(firstAngles.data(), r.before, 0);
        }
        copied.AddPowerSamples(power.data(), readable, 4);
        copied.AddAngleSamples(angles.data(), readable, 4);
        exchanged.ExchangePowerSamples(power, r.n, 4);
        exchanged.ExchangeAngleSamples(angles, r.n, 4);
        EXPECT_EQ(power.size(), static_cast<std::size_t>(r.size)) << "the buffer keeps its size either way";
        EXPECT_EQ(exchanged.GetBlockNumber(), copied.GetBlockNumber());

        ChannelPing want(N), got(N);
        copied.TakePing(want, 1e-4, nullptr);
        exchanged.TakePing(got, 1e-4, nullptr);
        ASSERT_EQ(got.PowerCount, want.PowerCount);
        ASSERT_EQ(got.AngleCount, want.AngleCount);
        EXPECT_TRUE(std::equal(want.Power.begin(), want.Power.begin() + want.PowerCount, got.Power.begin()));
        EXPECT_TRUE(std::equal(want.Angles.begin(), want.Angles.begin() + want.AngleCount, got.Angles.begin()));
    }

    // Ping after ping through the same buffer: each ping holds its own words.
    CChannelInput in(N);
    std::vector<std::int16_t> buffer(N);
    ChannelPing p(N);
    for (std::int16_t ping = 1; ping <= 3; ++ping) {
        std::fill_n(buffer.begin(), 10 * ping, ping);
        in.ExchangePowerSamples(buffer, 10 * ping, 0);
        in.TakePing(p, 1e-4, nullptr);
        ASSERT_EQ(p.PowerCount, 10 * ping);
        EXPECT_EQ(std::count(p.Power.begin(), p.Power.begin() + p.PowerCount, ping), 10 * ping) << ping;
        EXPECT_EQ(in.GetPowerPosition(), 0);
    }
}

struct ShortenAll final : IPingerSamples
{
    int ProcessSamples(std::int16_t*, int count) override { return count * 2; }
};

TEST(ChannelInput, PingerMayOnlyShortenTheCount)
{
    CChannelInput in(N);
    in.AddPowerSamples(nullptr, 100, 0);
    ShortenAll pinger;
    ChannelPing p(N);
    in.TakePing(p, 1e-4, &pinger);
    EXPECT_EQ(p.PowerCount, 100);
}

TEST(ChannelInput, RealignmentToALaterPingNeverGrowsPastCapacity)
{
    CChannelInput in(N);
    in.SetPingInfoRecording(true);
    const double si = 1e-4;
    // Two transmissions 50 ms apart, each listening 150 m (200 ms).
    in.AddPingInfo(1'000'000'000, 150.0);
    in.AddPingInfo(1'000'500'000, 150.0);
    ASSERT_EQ(in.GetPingInfoCount(), 2u);
    std::vector<std::int16_t> a(N, 100);
    in.AddPowerSamples(a.data(), N, 0);  // a full ping of 0.1 s
    ChannelPing p(N);
    in.TakePing(p, si, nullptr);
    EXPECT_LE(p.PowerCount, N);
    EXPECT_EQ(p.PowerCount, N);
    EXPECT_EQ(p.PingTime, 1'000'500'000u) << "moved onto the later transmission";
    const int k = 500;  // 50 ms at 0.1 ms a sample
    EXPECT_EQ(p.Power[k + 349], rawpower::kNoEcho);
    EXPECT_EQ(p.Power[k + 350], 100);
    EXPECT_EQ(in.GetPingInfoCount(), 0u);
}

}  // namespace
