// Echo integration by layers: power sums, NASC of a uniform layer, the
// interval codes, and layers that reach outside the ping.
#include "engine/ChannelIntegrator.h"
#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// A layer whose interval the test sets directly.
class FixedLayer final : public CLayer
{
public:
    FixedLayer(int code, double start, double stop) : code(code), start(start), stop(stop) {}
    int GetReferenceKind() const override { return 4; }
    int GetRangeLimits(double, double& s, double& e, double, double) override
    {
        s = start;
        e = stop;
        return code;
    }
    int code;
    double start;
    double stop;
};

FixedLayer* Add(CChannelIntegrator& integ, int code, double start, double stop, double thresholdDb = -100.0)
{
    auto layer = std::make_unique<FixedLayer>(code, start, stop);
    layer->m_threshold = thresholdDb;
    FixedLayer* raw = layer.get();
    integ.AddLayer(std::move(layer));
    return raw;
}

TEST(ChannelIntegrator, PowerSums)
{
    CChannelIntegrator integ;
    EXPECT_EQ(integ.AdditionTable(0), 256) << "two equal powers: +3.01 dB";
    const std::int16_t two[] = {-3000, -3000};
    EXPECT_EQ(integ.PowerSum(two, 2, -10000), -3000 + 256);
    const std::int16_t apart[] = {-3000, -6000};
    EXPECT_EQ(integ.PowerSum(apart, 2, -10000), -3000) << "3000 units apart adds nothing";
    const std::int16_t mixed[] = {-9000, -4000, -9500};
    EXPECT_EQ(integ.PowerSum(mixed, 3, -8000), -4000) << "one word above the threshold";
    EXPECT_EQ(integ.PowerSum(mixed, 3, -1000), rawpower::kNoEcho) << "none above: no echo, not the first word";
    EXPECT_EQ(integ.PowerSum(mixed, 0, -10000), rawpower::kNoEcho);
    // Eight equal words: three doublings.
    const std::vector<std::int16_t> eight(8, -2000);
    EXPECT_EQ(integ.PowerSum(eight.data(), 8, -10000), -2000 + 3 * 256);
}

TEST(ChannelIntegrator, UniformLayerGivesItsNasc)
{
    CChannelIntegrator integ;
    const double d = 0.1;
    const std::int16_t sv = rawpower::DbToRaw(-60.0);
    std::vector<std::int16_t> ping(3000, rawpower::DbToRaw(-150.0));
    for (int i = 100; i < 200; ++i)
        ping[static_cast<std::size_t>(i)] = sv;
    FixedLayer* layer = Add(integ, CLayer::Inside, 10.0, 20.0, -100.0);
    ASSERT_TRUE(integ.StartIntegration());
    for (int p = 0; p < 5; ++p)
        integ.IntegrateLayers(ping.data(), 3000, 50.0, d, 5.0, 3.0);
    EXPECT_EQ(integ.GetPingCount(), 5);
    integ.ComputeLayerResults();

    const double svLinear = std::pow(10.0, sv * rawpower::kDbPerUnit / 10.0);
    const double nasc = 10.0 * 4.0 * M_PI * 1852.0 * 1852.0 * svLinear;
    EXPECT_NEAR(layer->m_meanThickness, 10.0, 1e-9);
    EXPECT_NEAR(layer->m_meanValue, svLinear, svLinear * 0.01);
    EXPECT_NEAR(layer->m_areaBackscattering, nasc, nasc * 0.01);
    EXPECT_EQ(integ.GetPingCount(), 0) << "the sums restart";
    EXPECT_EQ(layer->m_valueSum, 0.0);
}

TEST(ChannelIntegrator, LayerBelowItsThresholdContributesNothing)
{
    CChannelIntegrator integ;
    std::vector<std::int16_t> ping(1000, rawpower::DbToRaw(-90.0));
    FixedLayer* layer = Add(integ, CLayer::Inside, 10.0, 20.0, -70.0);
    integ.StartIntegration();
    for (int p = 0; p < 3; ++p)
        integ.IntegrateLayers(ping.data(), 1000, 50.0, 0.1, 5.0, 3.0);
    integ.ComputeLayerResults();
    EXPECT_EQ(layer->m_meanValue, 0.0);
    EXPECT_EQ(layer->m_areaBackscattering, 0.0);
}

TEST(ChannelIntegrator, LayersOutsideThePingAreCutToIt)
{
    CChannelIntegrator integ;
    std::vector<std::int16_t> ping(500, rawpower::DbToRaw(-60.0));
    FixedLayer* beyond = Add(integ, CLayer::Inside, 40.0, 4000.0);  // reaches past 50 m and the array
    FixedLayer* above = Add(integ, CLayer::Inside, -10.0, 5.0);     // starts above the transducer
    FixedLayer* outside = Add(integ, CLayer::Inside, 60.0, 70.0);   // wholly below the ping
    integ.StartIntegration();
    integ.IntegrateLayers(ping.data(), 500, 50.0, 0.1, 0.0, 3.0);
    EXPECT_EQ(beyond->m_lastSampleCount, 100.0);
    EXPECT_EQ(above->m_lastSampleCount, 51.0) << "first index trunc(-99.5) = -99, 150 samples on";
    EXPECT_EQ(outside->m_lastSampleCount, 0.0);
    EXPECT_EQ(outside->m_lastValue, 0.0);
}

TEST(ChannelIntegrator, IntervalCodes)
{
    CChannelIntegrator integ;
    std::vector<std::int16_t> ping(1000, rawpower::DbToRaw(-60.0));
    FixedLayer* layer = Add(integ, CLayer::Inside, 10.0, 20.0);
    integ.StartIntegration();
    integ.IntegrateLayers(ping.data(), 1000, 50.0, 0.1, 0.0, 3.0);  // inside: 100 samples
    layer->code = CLayer::NoInterval;
    integ.IntegrateLayers(ping.data(), 1000, 50.0, 0.1, 0.0, 3.0);  // counts an empty ping
    layer->code = CLayer::NoBottom;
    integ.IntegrateLayers(ping.data(), 1000, 0.0, 0.1, 0.0, 3.0);  // repeats the last ping
    EXPECT_EQ(layer->m_pingCounter, 3.0);
    EXPECT_EQ(layer->m_sampleCountSum, 200.0);
    integ.ComputeLayerResults();
    EXPECT_NEAR(layer->m_meanThickness, 20.0 / 3.0, 1e-9);

    // Before any bottom was seen, a ping without bottom is not counted.
    CChannelIntegrator fresh;
    FixedLayer* l2 = Add(fresh, CLayer::NoBottom, 10.0, 20.0);
    fresh.IntegrateLayers(ping.data(), 1000, 0.0, 0.1, 0.0, 3.0);
    fresh.IntegrateLayers(ping.data(), 1000, std::nan(""), 0.1, 0.0, 3.0);
    EXPECT_EQ(l2->m_pingCounter, 0.0);
    EXPECT_FALSE(l2->m_bottomSeen);

    CChannelIntegrator none;
    none.IntegrateLayers(ping.data(), 1000, 50.0, 0.1, 0.0, 3.0);
    EXPECT_EQ(none.GetPingCount(), 1);
    EXPECT_FALSE(none.HasLayers());
}

}  // namespace
