// A channel fed with a synthetic ping: calibrated arrays, echogram columns
// of every type, bottom bridging, depth hand-over and sample-count sizing.
#include "engine/Channel.h"
#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

using rawpower::kNoEcho;

constexpr double kD = 0.1;
constexpr int kCount = 2000;             // 200 m
constexpr int kBottom = 999;             // bottom echo starts at 100 m
constexpr int kTarget = 499;             // a fish at 50 m
constexpr std::int16_t kFloor = -13000;  // below the -144 dB threshold
constexpr std::int16_t kBottomRaw = -3000;
constexpr std::int16_t kTargetRaw = -8000;

ChannelParameters Params()
{
    ChannelParameters p;
    p.PulseLength = 0.001;
    p.TransmitPower = 1000.0;
    p.Absorption = 0.01;
    p.Gain = 26.0;
    p.SampleDistance = kD;
    p.SampleInterval = kD * 2.0 / 1500.0;
    return p;
}

// Finds the first sample at or above a level from 10 m down: enough of a
// detector to know where the bottom is in these pings.
class StepDetector final : public IBottomDetector
{
public:
    bool DetectBottom(const std::int16_t* w, int count, double offset, double, double d, double, double& depth,
                      double& level, double& next) override
    {
        ++calls;
        if (missing)
            return false;
        for (int i = 100; i < count; ++i)
            if (w[i] > -1000) {
                index = i;
                depth = (i + 1) * d + offset;
                level = w[i] * rawpower::kDbPerUnit;
                next = depth + 20.0;
                return true;
            }
        return false;
    }
    double GetMaximumDepth() const override { return maxDepth; }
    void SetMaximumDepth(double m) override { maxDepth = m; }
    bool IsBottomSmoothingOn() const override { return smoothing; }
    bool IsAlternativeDetectorOn() const override { return false; }
    void SetTrackedBottom(double range, double) override { tracked = range; }
    int GetBottomIndexPlusOne() const override { return index + 1; }
    double GetNegatedFraction() const override { return 0.0; }
    void Serialize(CArchive&) override {}

    bool missing = false;
    bool smoothing = false;
    int calls = 0;
    int index = 0;
    double maxDepth = 500.0;
    double tracked = -1.0;
};

class FixedNoise final : public INoiseEstimator
{
public:
    double GetNoiseLevel(const std::int16_t*, int, double, double, double, double) override { return -150.0; }
};

class PointSlope final : public ISlopeTracker
{
public:
    void AddPoint(double depth, double speed, std::uint64_t time) override
    {
        points.push_back({depth, speed, static_cast<double>(time)});
    }
    void Serialize(CArchive&) override {}
    bool GetSlopeAngle(double&) const override { return false; }
    bool GetHistoryValue(int, double&) const override { return false; }
    double GetDistance(int, int) const override { return 0.0; }
    int GetHalfPointCount() const override { return 0; }
    void UpdateValidity(bool) override {}
    bool IsValid() const override { return false; }
    void SetHistorySize(int) override {}
    bool IsEnabled() const override { return false; }
    bool EditSettings() override { return false; }
    std::vector<std::array<double, 3>> points;
};

class RecordingLinks : public IChannelLinks
{
public:
    bool GetSpeedKnots(double& knots) const override
    {
        knots = 10.0;
        return true;
    }
    SounderModel GetModel() const override { return model; }
    void OnBottomDepth(const DepthReport& r) override { users.push_back(r); }
    void OnDepthOutputs(const DepthReport& r) override { outputs.push_back(r); }
    void FatalError(const char*, int, const std::string& text) override { fatal.push_back(text); }
    bool IsRealSvp() const override { return realSvp; }
    double GetDepthFromTravelTime(double t, double z0) const override
    {
        travel = t;
        start = z0;
        return 123.4;
    }

    bool FindExternalDepthWindow(const std::string& name, ExternalDepthWindow& w) override
    {
        askedName = name;
        if (name != "T38")
            return false;
        w.Start = 90.0;
        w.Length = 20.0;
        w.EchogramType = CChannel::Sv;
        w.SampleCount = 5000;  // more than a block holds
        return true;
    }
    void SetExternalDepthBlock(const std::string& name, const std::int16_t* s, int n) override
    {
        blockName = name;
        block.assign(s, s + n);
    }

    std::string askedName;
    std::string blockName;
    std::vector<std::int16_t> block;
    bool realSvp = false;
    mutable double travel = 0.0;
    mutable double start = 0.0;

    SounderModel model = SounderModel::QY310;
    std::vector<DepthReport> users;
    std::vector<DepthReport> outputs;
    std::vector<std::string> fatal;
};

class ChannelPingTest : public ::testing::Test
{
protected:
    ChannelPingTest()
    {
        CChannel::Construction c;
        c.ChannelId = 3;
        c.Parameters = Params();
        c.Frequency = 38000.0;
        c.BeamTerm = -21.0;
        c.ChannelName = "38 kHz";
        c.SourceName = "Replay T38";
        c.Links = &links;
        channel = std::make_unique<CChannel>(c);
        auto det = std::make_unique<StepDetector>();
        detector = det.get();
        channel->SetBottomDetector(std::move(det));
        channel->SetNoiseEstimator(std::make_unique<FixedNoise>());
        channel->SetNoiseThresholdSwitch(true, 6.0);  // threshold -144 dB
    }

    void FeedPing(std::uint64_t time, bool withBottom = true)
    {
        std::vector<std::int16_t> s(kCount, kFloor);
        s[kTarget] = kTargetRaw;
        if (withBottom)
            for (int i = kBottom; i < kBottom + 50; ++i)
                s[static_cast<std::size_t>(i)] = kBottomRaw;
        channel->AddPowerSamples(s.data(), 1000, 0);
        channel->AddPowerSamples(s.data() + 1000, kCount - 1000, 1);
        channel->AddPing(time);
    }

    RecordingLinks links;
    std::unique_ptr<CChannel> channel;
    StepDetector* detector = nullptr;
};

TEST_F(ChannelPingTest, CalibratedArraysOfEveryType)
{
    FeedPing(1000);  // the first ping sets the noise estimate
    FeedPing(2000);
    // Expected words: TVG word + raw + constant word, worked out by hand
    // (TVG 20/30/40 log at 50 m: 2964/4404/5844, at 100 m: 3566/5264/6963;
    // Sv constant -802, TS constant -2701, point constant -915 raw units:
    // TS is the point level less the -21 dB beam term).
    struct Row
    {
        int type;
        std::int16_t atTarget;
        std::int16_t atBottom;
    };
    const Row rows[] = {
        {CChannel::Sv, 2964 + kTargetRaw - 802, 3566 + kBottomRaw - 802},
        {CChannel::TS, 5844 + kTargetRaw - 2701, 6963 + kBottomRaw - 2701},
        {CChannel::Point20Log, 2964 + kTargetRaw - 915, 3566 + kBottomRaw - 915},
        {CChannel::Point30Log, 4404 + kTargetRaw - 915, 5264 + kBottomRaw - 915},
        {0, kTargetRaw, kBottomRaw},
    };
    for (const Row& r : rows) {
        std::vector<std::int16_t> w(kCount);
        channel->AddEchogramSamples(w.data(), kCount, 0.0, r.type, CChannel::FromTransducer);
        EXPECT_EQ(w[kTarget], r.atTarget) << "type " << r.type;
        EXPECT_EQ(w[kBottom], r.atBottom) << "type " << r.type;
        if (r.type != 0) {
            EXPECT_EQ(w[300], kNoEcho) << "noise floor below the threshold, type " << r.type;
        }
    }
}

TEST_F(ChannelPingTest, EchogramColumnsOfEveryType)
{
    FeedPing(1000);
    FeedPing(2000);
    // One pixel per sample over the whole ping: the column equals the array.
    for (int type : {0, 1, 2, 3, 4}) {
        std::vector<std::int16_t> full(kCount), col(kCount);
        channel->AddEchogramSamples(full.data(), kCount, 0.0, type, CChannel::FromTransducer);
        ASSERT_TRUE(channel->GetPingSamples(col.data(), kCount, kCount * kD, 0.0, type, CChannel::FromTransducer));
        EXPECT_EQ(col, full) << "type " << type;

        // Ten pixels of 20 m: the bottom pixel (100-120 m) is the mean linear
        // power of its samples; pixels of floor only stay no echo.
        std::vector<std::int16_t> ten(10);
        channel->GetPingSamples(ten.data(), 10, 200.0, 0.0, type, CChannel::FromTransducer);
        double lin = 0.0;
        for (int i = 1000; i < 1200; ++i)
            lin += rawpower::RawToLinear(full[static_cast<std::size_t>(i)]);
        EXPECT_NEAR(ten[5], 850.413592 * std::log10(lin / 200.0), 1.0) << "type " << type;
        if (type != 0) {
            EXPECT_EQ(ten[8], kNoEcho) << "type " << type;
        }
    }
}

TEST_F(ChannelPingTest, BottomReferencedColumn)
{
    FeedPing(1000);
    FeedPing(2000);
    // 5 m above to 5 m below the bottom in 100 pixels: the echo starts in the
    // middle.
    std::vector<std::int16_t> col(100);
    ASSERT_TRUE(channel->GetPingSamples(col.data(), 100, 10.0, 5.0, CChannel::Sv, CChannel::FromBottom));
    EXPECT_EQ(col[10], kNoEcho);
    EXPECT_EQ(col[48], kNoEcho);
    EXPECT_EQ(col[49], 3566 + kBottomRaw - 802) << "the first bottom sample";

    detector->missing = true;
    FeedPing(3000);
    std::fill(col.begin(), col.end(), 5);
    EXPECT_FALSE(channel->GetPingSamples(col.data(), 100, 10.0, 5.0, CChannel::Sv, CChannel::FromBottom));
    for (auto w : col)
        ASSERT_EQ(w, kNoEcho);
}

TEST_F(ChannelPingTest, ProcessPingRunsOncePerPingAndHandsOverTheDepth)
{
    FeedPing(1000);
    double depth = 0.0;
    double level = 0.0;
    EXPECT_TRUE(channel->ProcessPing(&depth, &level));
    EXPECT_NEAR(depth, 100.0, 1e-9);
    EXPECT_TRUE(channel->ProcessPing(&depth, &level));
    EXPECT_EQ(detector->calls, 1);
    ASSERT_EQ(links.users.size(), 1u);
    ASSERT_EQ(links.outputs.size(), 1u);
    EXPECT_EQ(links.users[0].SourceName, "Replay T38");
    EXPECT_EQ(links.users[0].ChannelId, 3);
    EXPECT_EQ(links.users[0].PingTime, 1000u);
    EXPECT_NEAR(links.users[0].Depth, 100.0, 1e-9);
    EXPECT_EQ(channel->GetBottomDepth(), depth);

    FeedPing(2000);
    channel->ProcessPing();
    EXPECT_EQ(detector->calls, 2);
    EXPECT_EQ(links.users.size(), 2u);
}

TEST_F(ChannelPingTest, RealTimeProfileCorrectsTheDepth)
{
    links.realSvp = true;
    std::uint32_t motion[12] = {};
    const double heave = 0.5;
    std::memcpy(&motion[10], &heave, sizeof heave);
    channel->SetInputParameters(motion);
    FeedPing(1000);
    double depth = 0.0;
    ASSERT_TRUE(channel->ProcessPing(&depth));
    EXPECT_EQ(depth, 123.4);
    double corrected = 0.0;
    EXPECT_TRUE(channel->GetCorrectedBottomDepth(corrected));
    EXPECT_EQ(corrected, 123.4);
    // One-way time to the bottom sample (index 999 + 1) and the start depth
    // draught + heave.
    EXPECT_NEAR(links.travel, 1000 * Params().SampleInterval * 0.5, 1e-12);
    EXPECT_NEAR(links.start, 0.5, 1e-12);
    EXPECT_EQ(links.users[0].Heave, 0.5);
}

TEST_F(ChannelPingTest, ExternalDepthHandOverUsesTheNameWithoutReplay)
{
    FeedPing(1000);
    EXPECT_TRUE(channel->ProcessPingData());
    EXPECT_EQ(links.askedName, "T38");
    EXPECT_EQ(links.blockName, "T38");
    ASSERT_EQ(links.block.size(), 2000u) << "at most 2000 samples";
    // 90-110 m over 2000 words: 10 words a sample; the first bottom sample
    // (999) is drawn from word 990.
    EXPECT_EQ(links.block[980], kNoEcho);
    EXPECT_EQ(links.block[990], 3566 + kBottomRaw - 802);
}

TEST_F(ChannelPingTest, SlopeGetsEveryPingsDepthAndSpeedInMetresPerSecond)
{
    auto slope = std::make_unique<PointSlope>();
    PointSlope* points = slope.get();
    channel->SetSlopeTracker(std::move(slope));
    FeedPing(1000);
    channel->ProcessPing();
    detector->missing = true;
    FeedPing(2000);
    channel->ProcessPing();
    ASSERT_EQ(points->points.size(), 2u);
    EXPECT_NEAR(points->points[0][0], 100.0, 1e-9);
    EXPECT_NEAR(points->points[0][1], 10.0 * 1852.0 / 3600.0, 1e-12);
    EXPECT_EQ(points->points[0][2], 1000.0);
    EXPECT_EQ(points->points[1][0], 0.0) << "a ping without bottom adds depth 0";
}

TEST_F(ChannelPingTest, PassiveChannelStaysOutOfTheDepthUsers)
{
    ChannelParameters p = Params();
    p.TransceiverMode = 1;
    channel->SetChannelParameters(p);
    FeedPing(1000);
    channel->ProcessPing();
    EXPECT_TRUE(links.users.empty());
    ASSERT_EQ(links.outputs.size(), 1u) << "the external-depth store still gets it";
    EXPECT_TRUE(links.outputs[0].Excluded);
}

// A change waits for the next ping, but whoever changes one more value
// starts from it (a unit's own updates, the transceiver mode), and the
// status window shows it at once.
TEST_F(ChannelPingTest, WaitingChangeIsTheNextSettings)
{
    ChannelParameters p = Params();
    p.PulseLength = 0.004;
    channel->SetChannelParameters(p);
    EXPECT_DOUBLE_EQ(channel->GetParameters().PulseLength, 0.001) << "the ping in hand keeps its settings";
    EXPECT_DOUBLE_EQ(channel->GetNextParameters().PulseLength, 0.004);
    EXPECT_DOUBLE_EQ(channel->GetStatusValues().PulseLength, 0.004);
    ChannelParameters next = channel->GetNextParameters();
    next.Absorption = 0.02;
    channel->SetChannelParameters(next);
    FeedPing(1000);
    EXPECT_DOUBLE_EQ(channel->GetParameters().PulseLength, 0.004);
    EXPECT_DOUBLE_EQ(channel->GetParameters().Absorption, 0.02);
}

TEST_F(ChannelPingTest, SmoothingBridgesFourMissesAndClearsOnTheFifth)
{
    detector->smoothing = true;
    FeedPing(1000);
    double depth = 0.0;
    ASSERT_TRUE(channel->ProcessPing(&depth));
    detector->missing = true;
    for (int miss = 1; miss <= 4; ++miss) {
        FeedPing(1000 + miss);
        double level = 0.0;
        EXPECT_TRUE(channel->ProcessPing(&depth, &level)) << "miss " << miss;
        EXPECT_NEAR(depth, 100.0, 1e-9) << "miss " << miss;
        EXPECT_NEAR(detector->tracked, 100.0, 1e-9);
    }
    FeedPing(2000);
    double level = 0.0;
    EXPECT_FALSE(channel->ProcessPing(&depth, &level));
    EXPECT_EQ(depth, 0.0);
    EXPECT_EQ(level, -99.0);
    EXPECT_EQ(links.users.back().Depth, 0.0);
}

TEST_F(ChannelPingTest, NothingIsProcessedBeforeTheFirstPing)
{
    double depth = 1.0;
    EXPECT_FALSE(channel->ProcessPing(&depth));
    EXPECT_EQ(depth, 0.0);
    EXPECT_EQ(detector->calls, 0);
    EXPECT_TRUE(links.users.empty());
    EXPECT_EQ(channel->ComputeSampleCount(kD), 0);
}

TEST_F(ChannelPingTest, SampleCountFollowsRequestsAndBottom)
{
    // A 200 kHz-like case: nothing requested, nothing processed: 0 samples.
    FeedPing(1000);
    EXPECT_EQ(channel->ComputeSampleCount(kD), 0);
    channel->RequestRange(50.0);
    EXPECT_EQ(channel->ComputeSampleCount(kD), 500);
    EXPECT_EQ(channel->ComputeSampleCount(kD / 2), 1000) << "in samples of the given distance";
    channel->ProcessPing();
    EXPECT_EQ(channel->ComputeSampleCount(kD), 1200) << "bottom 100 m, next range 120 m";
    channel->RequestRange(1.0e9);
    EXPECT_EQ(channel->ComputeSampleCount(kD), CChannel::kMaxSamples);
    channel->RequestRange(-50.0);
    EXPECT_EQ(channel->ComputeSampleCount(kD), CChannel::kMaxSamples) << "a negative request changes nothing";
    // The units size the next ping while the ping-data thread may just have
    // added this one: until it is read and processed, the ping before
    // speaks for it.
    FeedPing(2000);
    EXPECT_EQ(channel->ComputeSampleCount(kD), CChannel::kMaxSamples) << "what the last ping's readers asked";
    channel->RequestRange(-50.0);
    EXPECT_EQ(channel->ComputeSampleCount(kD), CChannel::kMaxSamples) << "nor does it ask for samples of its own";
    channel->ProcessPing();
    FeedPing(3000, false);
    EXPECT_EQ(channel->ComputeSampleCount(kD), 1200) << "nothing asked last ping: the last bottom processed";
    channel->ProcessPing();
    EXPECT_EQ(channel->ComputeSampleCount(kD), 5000) << "bottom lost: the maximum depth";
    FeedPing(4000);
    EXPECT_EQ(channel->ComputeSampleCount(kD), 5000) << "still, until this ping is processed";
}

TEST(Channel, LowFrequencyQy210ChannelIsLimitedTo100Metres)
{
    RecordingLinks links;
    links.model = SounderModel::QY210;
    CChannel::Construction c;
    c.Parameters = Params();
    c.Links = &links;
    for (double f : {30000.0, 38000.0}) {
        c.Frequency = f;
        CChannel ch(c);
        ch.AddPing(1);
        ch.RequestRange(300.0);
        EXPECT_EQ(ch.ComputeSampleCount(kD), f <= 30000.0 ? 1000 : 3000) << f;
    }
}

TEST_F(ChannelPingTest, PingRecordAndUnknownReference)
{
    std::vector<std::int16_t> words(30, 11);
    channel->SetSampleBlock(77, 3, 10, words.data(), 30);
    FeedPing(1000);
    ChannelPingRecord rec;
    channel->GetPingRecord(rec, 20.0, CChannel::FromTransducer);
    EXPECT_EQ(rec.BlockId, 77u);
    EXPECT_EQ(rec.Count, 10);
    bool taken = false;
    int start = -1;
    channel->ComputeSampleCount(kD, &taken, &start);
    EXPECT_TRUE(taken);
    EXPECT_EQ(start, 200);

    channel->GetPingRecord(rec, 0.0, 3);
    ASSERT_EQ(links.fatal.size(), 1u);
    EXPECT_EQ(links.fatal[0], "Unknown Echogram Type (3)");
}

TEST_F(ChannelPingTest, ParameterChangeTakesEffectAtTheNextPing)
{
    FeedPing(1000);
    const double sv0 = channel->GetSvConstant();
    ChannelParameters p = Params();
    p.TransmitPower = 100.0;
    channel->SetChannelParameters(p);
    EXPECT_EQ(channel->GetSvConstant(), sv0);
    FeedPing(2000);
    EXPECT_NEAR(channel->GetSvConstant(), sv0 + 10.0, 1e-9);
}

TEST(Channel, ScopeTracesClipToTheTraceAndRate)
{
    CChannel::Construction c;
    c.Parameters = Params();  // sound velocity 1500 m/s
    CChannel ch(c);
    std::vector<float> first(100), second(100, -3.0f);
    for (int i = 0; i < 100; ++i)
        first[static_cast<std::size_t>(i)] = static_cast<float>(-i);
    std::vector<std::uint32_t> third(100, 0);
    third[0] = 1000;
    // Traces sampled every 20 us: 0.015 m a sample.
    ch.AddFloatSamples(first.data(), second.data(), third.data(), 2.0f, 100, 20e-6);
    ch.AddPing(1);

    double out[200];
    double dist = 0.0;
    EXPECT_EQ(ch.GetScopeTrace(CChannel::TraceKind::Float, 1, out, 200, 0.3, 10.0, dist), 80)
        << "cut at the trace's 100 samples";
    EXPECT_NEAR(dist, 0.015, 1e-12);
    EXPECT_EQ(out[0], -20.0);
    EXPECT_EQ(ch.GetScopeTrace(CChannel::TraceKind::Linear, 2, out, 5, 0.0, 10.0, dist), 5)
        << "cut at the caller's buffer";
    EXPECT_NEAR(out[0], std::pow(10.0, -0.3), 1e-6);
    EXPECT_EQ(ch.GetScopeTrace(CChannel::TraceKind::Float, 1, out, 200, 5.0, 1.0, dist), 0) << "stop before start";

    EXPECT_EQ(ch.GetTraceRate(), 0.0) << "the unit's counter has not moved";
    third[0] = 1004;
    ch.AddFloatSamples(first.data(), second.data(), third.data(), 2.0f, 100, 20e-6);
    EXPECT_EQ(ch.GetTraceRate(), 0.5);
    // Once the ping is added, the growth from the ping before holds until
    // the next traces come.
    ch.AddPing(2);
    EXPECT_EQ(ch.GetTraceRate(), 0.5);
    third[0] = 1012;
    ch.AddFloatSamples(first.data(), second.data(), third.data(), 2.0f, 100, 20e-6);
    EXPECT_EQ(ch.GetTraceRate(), 0.25);
    ch.AddPing(3);
    EXPECT_EQ(ch.GetTraceRate(), 0.25);
    // A ping without new traces keeps the last counter: no growth, no rate.
    ch.AddPing(4);
    EXPECT_EQ(ch.GetTraceRate(), 0.0);
}

TEST(Channel, RangeToSample)
{
    CChannel::Construction c;
    c.Parameters.SampleDistance = 0.5;
    CChannel ch(c);
    EXPECT_EQ(ch.RangeToSample(-0.5, 1.0), -1);
    EXPECT_EQ(ch.RangeToSample(2.5, 1.0), 3);
    EXPECT_EQ(ch.RangeToSample(2.5, 0.0), 5) << "the channel's own distance";
    EXPECT_EQ(ch.RangeToSample(1.0e300, 1.0), std::numeric_limits<int>::max());
    EXPECT_EQ(ch.SampleToRange(4, -1.0), 2.0);

    c.Parameters.SampleDistance = 0.0;
    CChannel none(c);
    EXPECT_EQ(none.RangeToSample(10.0), 0) << "no division by a zero distance";
    EXPECT_EQ(none.ComputeSampleCount(0.0), 0);
    EXPECT_EQ(none.FindLevelStep(1.0), 0.0);
}

TEST(Channel, ColorIndex)
{
    CChannel ch(CChannel::Construction{});
    struct Row
    {
        double value;
        int selector;
        int expected;
    };
    for (const Row& r : {Row{-70.0, 0, 1}, Row{-30.0, 0, 12}, Row{-71.0, 0, 0}, Row{-60.0, 2, 1}, Row{-57.0, 2, 2},
                         Row{std::nan(""), 0, 0}, Row{1.0e300, 0, 12}})
        EXPECT_EQ(ch.GetColorIndex(r.value, r.selector), r.expected) << r.value << " sel " << r.selector;
    ch.SetValueBySelector(7, -80.0);
    EXPECT_EQ(ch.GetValueBySelector(0), -80.0) << "any selector but 1-4 is the default start";
}

// A depth user that reads the same channel and a second one while the
// depth is handed over: with the lock held this would deadlock.
class ReadingLinks : public IChannelLinks
{
public:
    void OnBottomDepth(const DepthReport&) override
    {
        std::int16_t col[10];
        self->GetPingSamples(col, 10, 10.0, 0.0, CChannel::Sv, CChannel::FromTransducer);
        double d = 0.0;
        other->ProcessPing(&d);
        ++calls;
    }
    CChannel* self = nullptr;
    CChannel* other = nullptr;
    int calls = 0;
};

TEST(Channel, DepthUsersMayReadChannels)
{
    ReadingLinks links;
    CChannel::Construction c;
    c.Parameters = Params();
    c.Links = &links;
    CChannel a(c);
    CChannel b(c);
    links.self = &a;
    links.other = &b;
    a.AddPowerSamples(nullptr, 100, 0);
    a.AddPing(1);
    b.AddPing(1);
    a.ProcessPing();
    EXPECT_EQ(links.calls, 2) << "a's user, then b's user called from within it";
}

}  // namespace
