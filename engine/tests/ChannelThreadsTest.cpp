// Readers of a channel run while the ping-data thread closes and processes
// pings; depth users of two channels read each other. Run under
// ThreadSanitizer in CI.
#include "engine/BottomDetector.h"
#include "engine/Channel.h"
#include "engine/RawPower.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr int kCount = 3000;
constexpr int kPings = 300;

ChannelParameters Params()
{
    ChannelParameters p;
    p.SampleDistance = 0.1;
    p.SampleInterval = 0.1 * 2.0 / 1500.0;
    return p;
}

// Every ping is uniform: even pings at one level, odd pings at another, so
// a column mixing two pings shows up as two levels in one read.
std::int16_t Level(int ping)
{
    return ping % 2 == 0 ? -3000 : -6000;
}

class CrossLinks : public IChannelLinks
{
public:
    void OnBottomDepth(const DepthReport&) override
    {
        // Reads the partner channel while the caller's own ping is done.
        std::int16_t col[16];
        partner->GetPingSamples(col, 16, 50.0, 0.0, CChannel::Sv, CChannel::FromTransducer);
        double d = 0.0;
        partner->ProcessPing(&d);
        deliveries.fetch_add(1, std::memory_order_relaxed);
    }
    CChannel* partner = nullptr;
    std::atomic<int> deliveries{0};
};

void Feed(CChannel& ch, int ping)
{
    std::vector<std::int16_t> s(kCount, Level(ping));
    ch.AddPowerSamples(s.data(), kCount / 2, 0);
    ch.AddPowerSamples(s.data() + kCount / 2, kCount / 2, 1);
    ch.AddPing(static_cast<std::uint64_t>(ping) + 1);
}

TEST(ChannelThreads, ReadersSeeWholePingsWhileAddPingWrites)
{
    CrossLinks linksA;
    CrossLinks linksB;
    CChannel::Construction c;
    c.Parameters = Params();
    c.Links = &linksA;
    CChannel a(c);
    c.Links = &linksB;
    CChannel b(c);
    linksA.partner = &b;
    linksB.partner = &a;

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};
    std::atomic<bool> readWhilePinging{true};

    // One ping-data thread per channel, so that the two depth hand-overs
    // cross each other. Half-way, each waits for a whole read to end, so
    // that a loaded machine cannot run all pings before the readers start.
    auto pinger = [&](CChannel& ch) {
        for (int p = 0; p < kPings; ++p) {
            Feed(ch, p);
            ch.ProcessPing();
            if (p == kPings / 2) {
                const int before = reads.load();
                if (!zv::test::WaitUntil([&] { return reads.load() != before; }, std::chrono::seconds(10)))
                    readWhilePinging = false;
            }
        }
    };
    auto reader = [&](CChannel& ch) {
        std::vector<std::int16_t> col(kCount);
        while (!done.load()) {
            const int n = ch.GetSampleCount();
            if (ch.GetPingSamples(col.data(), kCount, kCount * 0.1, 0.0, 0, CChannel::FromTransducer) && n == kCount) {
                const std::int16_t first = col[0];
                for (int i = 0; i < kCount; ++i)
                    if (col[static_cast<std::size_t>(i)] != first &&
                        col[static_cast<std::size_t>(i)] != rawpower::kNoEcho) {
                        torn.fetch_add(1);
                        break;
                    }
            }
            std::int16_t sv[64];
            ch.GetPingSamples(sv, 64, 30.0, 5.0, CChannel::Sv, CChannel::FromBottom);
            ChannelPingRecord rec;
            ch.GetPingRecord(rec, 0.0, CChannel::FromTransducer);
            CChannel::ParameterCopy copy;
            ch.GetChannelParameters(copy);
            ch.FindLevelStep(1.0);
            ch.ComputeSampleCount(0.1);
            ch.GetBottomDepth();
            reads.fetch_add(1);
        }
    };

    std::thread ra1(reader, std::ref(a));
    std::thread ra2(reader, std::ref(a));
    std::thread rb(reader, std::ref(b));
    std::thread pa(pinger, std::ref(a));
    std::thread pb(pinger, std::ref(b));
    pa.join();
    pb.join();
    done.store(true);
    ra1.join();
    ra2.join();
    rb.join();

    EXPECT_EQ(torn.load(), 0);
    EXPECT_TRUE(readWhilePinging.load()) << "no read ended between pings";
    EXPECT_EQ(a.GetPingCount(), kPings);
    EXPECT_EQ(b.GetPingCount(), kPings);
    // Each channel hands over each ping's depth exactly once, whoever
    // processes it first.
    EXPECT_EQ(linksA.deliveries.load(), kPings);
    EXPECT_EQ(linksB.deliveries.load(), kPings);
}

TEST(ChannelThreads, IntakeOnReceiveThreadWhileChannelIsRead)
{
    CChannel::Construction c;
    c.Parameters = Params();
    CChannel ch(c);
    std::atomic<int> closed{0};
    std::atomic<bool> done{false};
    // The receive thread writes the next ping while the ping-data thread
    // closes them; the input's own lock keeps the two apart.
    std::thread receiver([&] {
        std::vector<std::int16_t> s(100, -1000);
        while (!done.load())
            ch.AddPowerSamples(s.data(), 100, 0);
    });
    std::thread pingData([&] {
        for (int p = 0; p < kPings; ++p) {
            ch.AddPing(static_cast<std::uint64_t>(p));
            ch.ProcessPing();
            closed.fetch_add(1);
        }
        done.store(true);
    });
    pingData.join();
    receiver.join();
    EXPECT_EQ(closed.load(), kPings);
    EXPECT_LE(ch.GetSampleCount(), CChannel::kMaxSamples);
}

// A display copies the bottom detector's candidates while the ping-data
// thread detects the next bottom into them.
TEST(ChannelThreads, CandidatesAreCopiedWhileTheDetectorWritesThem)
{
    CChannel::Construction c;
    c.Parameters = Params();
    CChannel ch(c);
    CBottomDetector::Construction dc;
    dc.SourceName = "T38";
    dc.SampleDistance = 0.1;
    dc.UseSettingsFolder = false;
    auto owned = std::make_unique<CBottomDetector>(dc);
    const CBottomDetector* detector = owned.get();
    ch.SetBottomDetector(std::move(owned));

    std::atomic<bool> done{false};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        SBottomCandidate copy[IBottomDetector::kMaxCandidates];
        while (!done.load()) {
            ch.GetBottomCandidates(copy);
            ch.GetBottomLimits();
            reads.fetch_add(1);
        }
    });
    std::vector<std::int16_t> s(kCount, -7653);  // -90 dB
    for (int p = 0; p < kPings; ++p) {
        // A bottom that moves a little from ping to ping.
        std::fill(s.begin(), s.end(), std::int16_t{-7653});
        std::fill_n(s.begin() + 500 + p % 7, 40, std::int16_t{-1700});
        ch.AddPowerSamples(s.data(), kCount, 0);
        ch.AddPing(static_cast<std::uint64_t>(p) + 1);
        ch.ProcessPing();
        if (p == kPings / 2) {
            const int before = reads.load();
            EXPECT_TRUE(zv::test::WaitUntil([&] { return reads.load() != before; }, std::chrono::seconds(10)));
        }
    }
    done.store(true);
    reader.join();

    SBottomCandidate copy[IBottomDetector::kMaxCandidates];
    ch.GetBottomCandidates(copy);
    for (int k = 0; k < IBottomDetector::kMaxCandidates; ++k) {
        const CBottomDetector::Candidate& own = detector->GetCandidateSnapshot()[static_cast<std::size_t>(k)];
        EXPECT_EQ(copy[k].valid, own.Age != 0) << k;
        EXPECT_EQ(copy[k].start, own.Start) << k;
        EXPECT_EQ(copy[k].total, own.Total) << k;
        EXPECT_EQ(copy[k].scores[3], own.Age) << k;
    }
}

}  // namespace
