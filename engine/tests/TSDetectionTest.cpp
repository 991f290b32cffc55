// Single-target detection on pings with targets of known strength and
// angle, hostile echo shapes, and a full table.
#include "engine/TSDetection.h"
#include "engine/RawPower.h"

#include "base/Archive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr double kD = 0.1875;
constexpr double kTau = 0.001;  // p = 4 samples, echoes of 3 to 7

// A ping of noise with single-target echoes shaped like a pulse.
struct PingBuilder
{
    explicit PingBuilder(int count)
        : power(static_cast<std::size_t>(count), rawpower::DbToRaw(-110.0)), angles(static_cast<std::size_t>(count), 0)
    {}

    // Five samples around centre; along/athwart in phase units.
    void Target(int centre, double tsDb, int along = 0, int athwart = 0, int phaseNoise = 0)
    {
        const int peak = rawpower::DbToRaw(tsDb);
        const int shape[5] = {-400, -100, 0, -100, -400};
        for (int k = 0; k < 5; ++k) {
            const std::size_t i = static_cast<std::size_t>(centre - 2 + k);
            power[i] = static_cast<std::int16_t>(peak + shape[k]);
            const int noise = (k % 2 == 0) ? phaseNoise : -phaseNoise;
            angles[i] = static_cast<std::uint16_t>((static_cast<std::uint8_t>(along + noise) << 8) |
                                                   static_cast<std::uint8_t>(athwart - noise));
        }
    }

    std::vector<std::int16_t> power;
    std::vector<std::uint16_t> angles;
};

TSPingParameters Single(int count)
{
    TSPingParameters p;
    p.FirstRange = 2.0;
    p.WindowEnd = 2.0 + count * kD;
    p.SampleDistance = kD;
    p.PulseDuration = kTau;
    p.MinimumTS = -60.0;
    return p;
}

TSPingParameters Split(int count)
{
    TSPingParameters p = Single(count);
    p.SplitBeam = true;
    // 15 phase units per degree: 21.09375 electrical degrees per degree.
    p.AlongSensitivity = p.AthwartSensitivity = 15.0 * 1.40625;
    p.AlongBeamWidth = p.AthwartBeamWidth = 7.0;
    return p;
}

TEST(TSDetection, EchoSizesAndBeamCompensation)
{
    CTSDetection det;
    const auto sizes = det.ComputeSizes(0.001, 0.1875);
    EXPECT_EQ(sizes.Pulse, 4);
    EXPECT_EQ(sizes.MinEcho, 3);
    EXPECT_EQ(sizes.MaxEcho, 7);
    EXPECT_EQ(det.ComputeSizes(0.0001, 0.1875).MinEcho, 2);
    EXPECT_EQ(CTSDetection::BeamCompensation(3.5, 3.5, 7.0, 7.0), 932) << "both angles at half the beam width";
}

TEST(TSDetection, SingleBeamTargetsFoundWithTheirStrengthAndRange)
{
    PingBuilder ping(2000);
    const int centres[] = {200, 600, 1000};
    const double ts[] = {-40.0, -52.0, -35.5};
    for (int i = 0; i < 3; ++i)
        ping.Target(centres[i], ts[i]);
    CTSDetection det;
    SingleTargetRecord table;
    ASSERT_EQ(det.Detect(ping.power.data(), nullptr, 2000, Single(2000), table), 1);
    ASSERT_EQ(table.Count, 3);
    for (int i = 0; i < 3; ++i) {
        // The table is in order of detection; find each by its range.
        const double range = (centres[i] - 2) * kD + 2.0;
        bool seen = false;
        for (int k = 0; k < table.Count; ++k) {
            const TSTarget& t = table.Targets[static_cast<std::size_t>(k)];
            if (std::fabs(t.Range - range) > 1e-9)
                continue;
            seen = true;
            EXPECT_NEAR(t.TS, ts[i], 0.03) << "target " << i;
            EXPECT_NEAR(t.TSUncompensated, ts[i], 0.03) << "target " << i;
            EXPECT_EQ(t.AlongAngle, 0.0);
            EXPECT_GT(t.Backscattering, 0.0);
        }
        EXPECT_TRUE(seen) << "target " << i;
    }
    // Below the minimum TS: nothing.
    PingBuilder weak(2000);
    weak.Target(500, -65.0);
    ASSERT_EQ(det.Detect(weak.power.data(), nullptr, 2000, Single(2000), table), 1);
    EXPECT_EQ(table.Count, 0);
}

TEST(TSDetection, SplitBeamTargetsFoundWithTheirAngles)
{
    PingBuilder ping(2000);
    ping.Target(300, -42.0, 30, -15);   // 2 degrees along, -1 athwart
    ping.Target(700, -45.0, 0, 0, 20);  // phase too noisy
    ping.Target(1100, -45.0, 63, 63);   // 4.2 degrees both ways: beyond the compensation limit
    CTSDetection det;
    SingleTargetRecord table;
    ASSERT_EQ(det.Detect(ping.power.data(), ping.angles.data(), 2000, Split(2000), table), 1);
    ASSERT_EQ(table.Count, 1);
    const TSTarget& t = table.Targets[0];
    EXPECT_NEAR(t.AlongAngle, 2.0, 1e-9);
    EXPECT_NEAR(t.AthwartAngle, -1.0, 1e-9);
    const int comp = CTSDetection::BeamCompensation(2.0, -1.0, 7.0, 7.0);
    EXPECT_GT(comp, 0);
    EXPECT_NEAR(t.TSUncompensated, -42.0, 0.03);
    EXPECT_NEAR(t.TS, -42.0 + comp * rawpower::kDbPerUnit, 0.03);
}

TEST(TSDetection, TwoPeakedEchoIsNotASingleTarget)
{
    PingBuilder ping(1000);
    const int peak = rawpower::DbToRaw(-40.0);
    const int shape[5] = {-300, 0, -200, -10, -300};
    for (int k = 0; k < 5; ++k)
        ping.power[static_cast<std::size_t>(400 + k)] = static_cast<std::int16_t>(peak + shape[k]);
    CTSDetection det;
    SingleTargetRecord table;
    det.Detect(ping.power.data(), nullptr, 1000, Single(1000), table);
    EXPECT_EQ(table.Count, 0);
    EXPECT_TRUE(CTSDetection::HasMultiplePeaks(ping.power.data() + 400, 5, peak));
}

TEST(TSDetection, TableTakesNinetyNineTargets)
{
    PingBuilder ping(4000);
    for (int i = 0; i < 150; ++i)
        ping.Target(20 + 25 * i, -40.0);
    CTSDetection det;
    SingleTargetRecord table;
    table.Targets[99].Range = 123.0;  // must be cleared, never filled
    ASSERT_EQ(det.Detect(ping.power.data(), nullptr, 4000, Single(4000), table), 1);
    EXPECT_EQ(table.Count, SingleTargetRecord::kMaxTargets);
    EXPECT_EQ(table.Targets[99].Range, 0.0);
}

TEST(TSDetection, RefusedPings)
{
    PingBuilder ping(1000);
    ping.Target(300, -40.0);
    CTSDetection det;
    SingleTargetRecord table;
    TSPingParameters above = Single(1000);
    above.SurfaceReference = 10.0;
    above.BottomDepth = 5.0;
    EXPECT_EQ(det.Detect(ping.power.data(), nullptr, 1000, above, table), 0);
    EXPECT_EQ(table.Count, 0);
    TSPingParameters noSensitivity = Split(1000);
    noSensitivity.AthwartSensitivity = 0.0;
    EXPECT_EQ(det.Detect(ping.power.data(), ping.angles.data(), 1000, noSensitivity, table), 0);
    TSPingParameters beyond = Single(1000);
    beyond.WindowEnd = 1.0e9;  // longer than the samples: cut to them
    EXPECT_EQ(det.Detect(ping.power.data(), nullptr, 1000, beyond, table), 1);
    EXPECT_EQ(table.Count, 1);
}

TEST(TSDetection, SettingsRoundTripAndRanges)
{
    CTSDetection det;
    CTSDetection::Settings s;
    s.MinEchoLength = 0.5;
    s.MaxEchoLength = 2.5;
    s.MaxGainCompensation = 3.0;
    s.MaxPhaseDeviation = 9.0;
    ASSERT_TRUE(det.SetSettings(s));
    std::vector<BYTE> bytes;
    {
        CArchive ar(bytes, CArchive::store);
        det.Serialize(ar);
        ar.Close();
    }
    EXPECT_EQ(bytes.size(), 32u);
    CTSDetection loaded;
    {
        CArchive ar(bytes.data(), bytes.size());
        loaded.Serialize(ar);
    }
    EXPECT_EQ(loaded.GetSettings().MaxEchoLength, 2.5);
    EXPECT_EQ(loaded.GetSettings().MaxPhaseDeviation, 9.0);

    s.MaxGainCompensation = 7.0;
    EXPECT_FALSE(det.SetSettings(s)) << "beyond the dialog's range";
    EXPECT_EQ(det.GetSettings().MaxGainCompensation, 3.0);
}

}  // namespace
