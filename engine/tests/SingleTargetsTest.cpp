// A channel's single targets: detected once per ping on the TS samples,
// copied to every requester, told to the lobe link and handed to a linked
// calibration component on the scientific models only.
#include "engine/CalibrationHandOver.h"
#include "engine/Channel.h"
#include "engine/RawPower.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr double kD = 0.19;       // m per sample: a 1 ms pulse is 4 samples
constexpr double kDraught = 3.0;  // m
constexpr double kTide = 0.5;     // m
constexpr int kCount = 1500;
constexpr double kSensitivity = 15.0 * 1.40625;  // 15 phase units a degree

ChannelParameters Params()
{
    ChannelParameters p;
    p.PulseLength = 0.001;
    p.TransmitPower = 1000.0;
    p.Absorption = 0.01;
    p.Gain = 26.0;
    p.TwoWayBeamAngle = -20.6;
    p.SampleDistance = kD;
    p.SampleInterval = kD * 2.0 / 1500.0;
    p.TransducerDepth = kDraught;
    return p;
}

struct Echo
{
    int centre;  // sample of the peak
    double ts;   // dB at the peak, before the beam pattern
    int along;   // phase units
    int athwart;
};

class Links final : public IChannelLinks
{
public:
    SounderModel GetModel() const override { return model; }
    double GetTide() const override { return kTide; }
    void SendEchoTraceTelegram(int index, std::uint64_t time, const SingleTargetRecord& record) override
    {
        telegrams.push_back({index, time, record.Count});
    }

    struct Telegram
    {
        int index;
        std::uint64_t time;
        int count;
    };
    SounderModel model = SounderModel::TQ30;
    std::vector<Telegram> telegrams;
};

class SpyHandOver final : public ICalibrationHandOver
{
public:
    SCalibrationHandOverResult HandOver(const CChannel&, const SCalibrationChannelValues& v, bool sendParameters,
                                        const SingleTargetRecord& record, std::uint64_t time) override
    {
        calls.push_back({sendParameters, record.Count, time, v});
        SCalibrationHandOverResult r = answer;
        r.parametersSent = sendParameters && answer.parametersSent;
        return r;
    }

    struct Call
    {
        bool sendParameters;
        int count;
        std::uint64_t time;
        SCalibrationChannelValues values;
    };
    SCalibrationHandOverResult answer{true, false, {}, {}};
    std::vector<Call> calls;
};

class SingleTargets : public ::testing::Test
{
protected:
    explicit SingleTargets(double sensitivity = kSensitivity)
    {
        CChannel::Construction c;
        c.ChannelId = 2;
        c.Parameters = Params();
        c.Frequency = 38000.0;
        c.ChannelName = "T38 38 kHz";
        c.Links = &links;
        c.BeamType = 1;
        c.BeamWidthAlongship = 7.0;
        c.BeamWidthAthwartship = 7.2;
        c.AngleSensitivityAlongship = sensitivity;
        c.AngleSensitivityAthwartship = sensitivity;
        c.AngleOffsetAlongship = 0.1;
        c.AngleOffsetAthwartship = -0.2;
        channel = std::make_unique<CChannel>(c);
        channel->SetCalibrationHandOver(&handOver);
        tvg.assign(CChannel::kMaxSamples, 0);
        CChannel::BuildTvgTable(tvg.data(), CChannel::kMaxSamples, 40.0, 0.01, 38000.0, 0.001, kD, 300.0,
                                (CChannel::kMaxSamples - 100) * kD);
        constant = rawpower::Saturate16(
            rawpower::Trunc(CChannel::ComputeTsConstant(1000.0, 26.0, 38000.0) * rawpower::kUnitsPerDb));
    }

    // Raw power words whose TS samples show the echoes with the given
    // strength (a pulse-shaped peak over five samples) above a quiet floor.
    void FeedPing(std::uint64_t time, const std::vector<Echo>& echoes)
    {
        std::vector<int> ts(kCount, rawpower::DbToRaw(-150.0));
        std::vector<std::uint16_t> angles(kCount, 0);
        const int shape[5] = {-400, -100, 0, -100, -400};
        for (const Echo& e : echoes)
            for (int k = 0; k < 5; ++k) {
                const auto i = static_cast<std::size_t>(e.centre - 2 + k);
                ts[i] = rawpower::DbToRaw(e.ts) + shape[k];
                angles[i] = static_cast<std::uint16_t>((static_cast<std::uint8_t>(e.along) << 8) |
                                                       static_cast<std::uint8_t>(e.athwart));
            }
        std::vector<std::int16_t> raw(kCount);
        for (std::size_t i = 0; i < raw.size(); ++i)
            raw[i] = static_cast<std::int16_t>(ts[i] - tvg[i] - constant);
        channel->AddPowerSamples(raw.data(), kCount, 0);
        channel->AddAngleSamples(angles.data(), kCount, 0);
        channel->AddPing(time);
    }

    const std::vector<Echo> kEchoes = {{300, -40.0, 30, -15}, {700, -45.0, 0, 0}, {1100, -50.0, -15, 15}};

    Links links;
    SpyHandOver handOver;
    std::unique_ptr<CChannel> channel;
    std::vector<std::int16_t> tvg;
    int constant = 0;
};

bool Same(const SingleTargetRecord& a, const SingleTargetRecord& b)
{
    return a.Count == b.Count && std::memcmp(a.Targets.data(), b.Targets.data(), sizeof a.Targets) == 0;
}

TEST_F(SingleTargets, OneDetectionPerPingWhoeverAsksFirst)
{
    SingleTargetRecord none;
    EXPECT_EQ(channel->GetSingleTargets(none), 0) << "no ping yet";
    EXPECT_TRUE(links.telegrams.empty());

    FeedPing(1000, kEchoes);
    SingleTargetRecord first, second;
    EXPECT_EQ(channel->GetSingleTargets(first), 1);
    EXPECT_EQ(channel->GetSingleTargets(second), 1);
    EXPECT_TRUE(Same(first, second));
    ASSERT_EQ(links.telegrams.size(), 1u) << "the second request reuses the first's detection";
    EXPECT_EQ(links.telegrams[0].index, 2);
    EXPECT_EQ(links.telegrams[0].time, 1000u);
    ASSERT_EQ(first.Count, 3);

    FeedPing(2000, {kEchoes[1]});
    SingleTargetRecord next;
    EXPECT_EQ(channel->GetSingleTargets(next), 1);
    EXPECT_EQ(next.Count, 1);
    EXPECT_EQ(links.telegrams.size(), 2u) << "a new ping is detected again";
    EXPECT_EQ(handOver.calls.size(), 0u) << "no link";
}

TEST_F(SingleTargets, RecordHoldsDepthStrengthAnglesAndBackscatteringOfEachTarget)
{
    FeedPing(1000, kEchoes);
    SingleTargetRecord r;
    ASSERT_EQ(channel->GetSingleTargets(r), 1);
    ASSERT_EQ(r.Count, 3);
    const double step = 180.0 / 128.0;
    for (std::size_t k = 0; k < kEchoes.size(); ++k) {
        const Echo& e = kEchoes[k];
        const TSTarget& t = r.Targets[k];
        SCOPED_TRACE(k);
        // Depth: the echo's first sample below the surface reference, which
        // is the draught with the application's tide.
        EXPECT_NEAR(t.Range, (e.centre - 2) * kD + kDraught + kTide, 1e-9);
        const double along = e.along * step / kSensitivity - 0.1;
        const double athwart = e.athwart * step / kSensitivity + 0.2;
        EXPECT_NEAR(t.AlongAngle, along, 1e-9);
        EXPECT_NEAR(t.AthwartAngle, athwart, 1e-9);
        const int peak = rawpower::DbToRaw(e.ts);
        EXPECT_NEAR(t.TSUncompensated, peak * rawpower::kDbPerUnit, 1e-9);
        const int compensation = CTSDetection::BeamCompensation(along, athwart, 7.0, 7.2);
        EXPECT_NEAR(t.TS, (peak + compensation) * rawpower::kDbPerUnit, 0.012) << "within a unit of the refined peak";
        double sum = 0.0;  // the five samples lie within 12 dB of the peak
        for (const int s : {-400, -100, 0, -100, -400})
            sum += std::pow(10.0, (peak + s) * rawpower::kDbPerUnit / 10.0);
        EXPECT_NEAR(t.Backscattering / (rawpower::kFourPiNmiSquared * kD * sum), 1.0, 1e-3);
    }
    for (std::size_t k = 3; k < SingleTargetRecord::kCapacity; ++k)
        EXPECT_EQ(r.Targets[k].Values(), TSTarget{}.Values()) << "entry " << k << " stays clear";
}

TEST_F(SingleTargets, OnlyTheScientificModelsTellTheLobeAndTheLinkedComponent)
{
    channel->SetLinkFlag(true);
    const struct
    {
        SounderModel model;
        bool handsOver;
    } rows[] = {{SounderModel::QY210, false}, {SounderModel::QY310, false}, {SounderModel::RM30, false},
                {SounderModel::TQ30, true},   {SounderModel::TOTAL, true},  {SounderModel::QYNVU, false}};
    std::uint64_t time = 1000;
    for (const auto& row : rows) {
        links.model = row.model;
        links.telegrams.clear();
        handOver.calls.clear();
        FeedPing(time, kEchoes);
        SingleTargetRecord r;
        EXPECT_EQ(channel->GetSingleTargets(r), 1);
        EXPECT_EQ(r.Count, 3) << "every model detects";
        EXPECT_EQ(links.telegrams.size(), row.handsOver ? 1u : 0u) << static_cast<int>(row.model);
        ASSERT_EQ(handOver.calls.size(), row.handsOver ? 1u : 0u) << static_cast<int>(row.model);
        if (row.handsOver) {
            EXPECT_EQ(handOver.calls[0].time, time);
            EXPECT_EQ(handOver.calls[0].count, 3);
        }
        time += 1000;
    }
}

TEST_F(SingleTargets, ParameterSetGoesOutOnceAndAFailedLinkGoesOff)
{
    channel->SetLinkFlag(true);
    handOver.answer.parametersSent = false;  // "Frequency" refused
    FeedPing(1000, kEchoes);
    SingleTargetRecord r;
    channel->GetSingleTargets(r);
    FeedPing(2000, {});
    channel->GetSingleTargets(r);
    handOver.answer.parametersSent = true;
    FeedPing(3000, kEchoes);
    channel->GetSingleTargets(r);
    channel->GetSingleTargets(r);
    FeedPing(4000, kEchoes);
    channel->GetSingleTargets(r);
    ASSERT_EQ(handOver.calls.size(), 4u) << "one hand-over a ping, also of a ping without targets";
    EXPECT_TRUE(handOver.calls[0].sendParameters);
    EXPECT_TRUE(handOver.calls[1].sendParameters) << "tried again after a refusal";
    EXPECT_EQ(handOver.calls[1].count, 0);
    EXPECT_TRUE(handOver.calls[2].sendParameters);
    EXPECT_FALSE(handOver.calls[3].sendParameters) << "sent once per channel";

    const SCalibrationChannelValues& v = handOver.calls[0].values;
    EXPECT_EQ(v.Frequency, 38000.0);
    EXPECT_EQ(v.BeamType, 1);
    EXPECT_EQ(v.BeamWidthAthwart, 7.2);
    EXPECT_EQ(v.SensitivityAlong, kSensitivity);
    EXPECT_EQ(v.OffsetAthwart, -0.2);
    EXPECT_EQ(v.TwoWayBeamAngle, -20.6);
    EXPECT_EQ(v.SampleDistance, kD);
    EXPECT_EQ(v.MinimumTS, channel->GetValueBySelector(2));
    EXPECT_EQ(v.Detection.MaxGainCompensation, CTSDetection::kDefaultMaxGain);

    ClearMessageBoxRecord();
    handOver.answer = {false, true, "Calibration SetParameters", "The object invoked has disconnected"};
    FeedPing(5000, kEchoes);
    channel->GetSingleTargets(r);
    EXPECT_FALSE(channel->GetLinkFlag()) << "the link is off";
    const auto boxes = MessageBoxRecord();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Calibration SetParameters");
    EXPECT_EQ(boxes[0].flags & MB_ICONMASK, MB_ICONSTOP);
    FeedPing(6000, kEchoes);
    EXPECT_EQ(channel->GetSingleTargets(r), 1) << "pings go on";
    EXPECT_EQ(handOver.calls.size(), 5u) << "nothing is handed over once the link is off";
}

// A split-beam channel without angle sensitivities cannot detect: its
// record stays clear, yet a linked component still hears of the ping.
class SingleTargetsWithoutSensitivity : public SingleTargets
{
protected:
    SingleTargetsWithoutSensitivity() : SingleTargets(0.0) {}
};

TEST_F(SingleTargetsWithoutSensitivity, DetectionCannotRunAndTheRecordStaysClear)
{
    channel->SetLinkFlag(true);
    FeedPing(1000, kEchoes);
    SingleTargetRecord r;
    r.Count = 7;
    EXPECT_EQ(channel->GetSingleTargets(r), 0);
    EXPECT_EQ(r.Count, 0);
    ASSERT_EQ(handOver.calls.size(), 1u);
    EXPECT_EQ(handOver.calls[0].count, 0);
}

TEST_F(SingleTargets, RequestersOnTwoThreadsShareOneDetection)
{
    for (std::uint64_t ping = 1; ping <= 20; ++ping) {
        FeedPing(ping * 1000, kEchoes);
        SingleTargetRecord a, b;
        std::thread other([&] { channel->GetSingleTargets(a); });
        channel->GetSingleTargets(b);
        other.join();
        ASSERT_TRUE(Same(a, b));
        ASSERT_EQ(links.telegrams.size(), ping);
    }
}

}  // namespace
