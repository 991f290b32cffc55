#include "display/EchogramDoc.h"
#include "display/ESDocList.h"
#include "display/tests/TestDisplayContext.h"

#include "base/Archive.h"
#include "display/LayerEchogramBottom.h"
#include "display/LayerEchogramSurface.h"
#include "engine/ChannelIntegrator.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

constexpr std::int16_t kNoData = CEchogramDoc::kNoData;

// A synthetic ping: sample i of a window is a value that encodes the
// request (type, reference, window), so a column shows what was asked for.
class SyntheticChannel : public IEchogramChannel
{
public:
    struct Request
    {
        int n;
        double range;
        double start;
        int type;
        int reference;
    };

    static std::int16_t Sample(const Request& r, int i)
    {
        return static_cast<std::int16_t>(r.type * 1000 + r.reference * 100 + static_cast<int>(r.start) * 7 +
                                         static_cast<int>(r.range) + i % 50);
    }

    std::string name = "38 kHz";
    double bottom = 0.0;
    bool trawlValid = true;
    double trawlDepth = 40.0, trawlOpening = 12.0;
    bool noiseCompensation = false;
    bool wantsFilters = false;
    double level = -30.0;
    std::vector<Request> requests;
    std::vector<int> modes;
    std::array<int, 5> filters{};
    // Overrides the encoded samples when set.
    std::vector<std::int16_t> fixed;

    std::string GetSourceName() const override { return name; }
    void SetFirstEchogramType(int) override {}
    void SetEchogramStartRange(double) override {}
    void SetEchogramStopRange(double) override {}
    void SetEchogramMode(int mode) override { modes.push_back(mode); }
    void SetEchogramInfo(bool, bool, const std::string&, bool) override {}
    void SetEchogramValue(double) override {}
    void AccumulateFlag(int) override {}
    void GetTrawl(bool& dv, double& d, bool& ov, double& o) const override
    {
        dv = ov = trawlValid;
        d = trawlDepth;
        o = trawlOpening;
    }
    bool GetPingSamples(std::int16_t* out, int n, double range, double start, int type, int reference) override
    {
        const Request r{n, range, start, type, reference};
        requests.push_back(r);
        for (int i = 0; i < n; ++i)
            out[i] = fixed.empty() ? Sample(r, i) : fixed[static_cast<std::size_t>(i) % fixed.size()];
        return true;
    }
    bool GetBottomDepth(double& depth) override
    {
        depth = bottom;
        return bottom > 0.0;
    }
    double FindLevelStep(double) override { return level; }
    bool IsNoiseCompensationOn() const override { return noiseCompensation; }
    bool WantsFilterValues() const override { return wantsFilters; }
    void TakeFilterValues(const std::array<int, 5>& v) override
    {
        filters = v;
        wantsFilters = false;
    }
    // A uniform Sv of -60 dB over 100 m at 0.1 m spacing.
    int integrations = 0;
    double layerStartSeen = -1.0, layerRangeSeen = -1.0;
    void UpdateDocument(IEchoIntegrator& integrator) override
    {
        ++integrations;
        if (auto* ci = dynamic_cast<CChannelIntegrator*>(&integrator); ci && ci->GetLayer(0)) {
            layerStartSeen = ci->GetLayer(0)->m_start;
            layerRangeSeen = ci->GetLayer(0)->m_range;
        }
        std::vector<std::int16_t> sv(1000, static_cast<std::int16_t>(-60.0 * 85.0413592));
        integrator.IntegrateLayers(sv.data(), 1000, bottom, 0.1, 0.0, 3.0);
    }
};

class EchogramDocTest : public ::testing::Test
{
protected:
    void SetUp() override { Use(SounderModel::TQ30); }

    // Documents made from now on are of this model.
    void Use(SounderModel model) { program.model = model; }

    CEchogramDoc& Doc(int columnLength = 100)
    {
        docs.push_back(std::make_unique<CEchogramDoc>(program.Context()));
        CEchogramDoc& d = *docs.back();
        d.SetEchogramChannel(&channel);
        d.SetColumnLength(columnLength);
        d.SetTotalRows(columnLength);
        return d;
    }

    CTestDisplayContext program;
    const int& updates = program.updates;
    SyntheticChannel channel;
    std::vector<std::unique_ptr<CEchogramDoc>> docs;
};

TEST_F(EchogramDocTest, ColumnOfEveryTypeAndReferenceIsTheRequestedWindow)
{
    for (int type = 0; type <= 4; ++type) {
        for (int reference : {0, 1, 2, 3}) {
            CEchogramDoc& d = Doc(120);
            d.m_echogramType = type;
            d.m_rangeReference = reference;
            d.m_range = 30.0;
            d.m_start = 5.0;
            channel.requests.clear();
            d.OnSourceUpdate(1);
            ASSERT_EQ(channel.requests.size(), 1u);
            const auto r = channel.requests[0];
            EXPECT_EQ(r.type, type);
            EXPECT_EQ(r.reference, reference);
            EXPECT_EQ(r.n, 120);
            if (reference == CEchogramDoc::TRAWL) {
                // Window around the trawl: opening plus a margin above and below.
                EXPECT_DOUBLE_EQ(r.range, 2 * 1.0 + 12.0);
                EXPECT_DOUBLE_EQ(r.start, 40.0 - 1.0);
            } else {
                EXPECT_DOUBLE_EQ(r.range, 30.0);
                EXPECT_DOUBLE_EQ(r.start, 5.0);
            }
            EXPECT_EQ(d.GetColumnLengthDelivered(), 120);
            for (int i : {0, 49, 119})
                EXPECT_EQ(d.GetColumn()[i], SyntheticChannel::Sample(r, i)) << type << "/" << reference;
        }
    }
}

TEST_F(EchogramDocTest, SidescanSplitsThePaneBetweenTheSides)
{
    struct Case
    {
        double r0, r1;
        int side;
        int rows;
        const char* legend;
    };
    const Case cases[] = {
        {100.0, 300.0, 0, 50, "port gets a quarter"},
        {100.0, 300.0, 1, 150, "starboard the rest"},
        {0.0, 0.0, 0, 0, "both ranges zero: nothing, no division by zero"},
        {-5.0, 5.0, 1, 0, "ranges that cancel"},
    };
    for (const Case& c : cases) {
        CEchogramDoc& d = Doc(200);
        d.m_sidescan = true;
        d.m_rangeReference = CEchogramDoc::SIDESCAN;
        d.m_sidescanRange[0] = c.r0;
        d.m_sidescanRange[1] = c.r1;
        d.m_sidescanSide = c.side;
        channel.requests.clear();
        channel.modes.clear();
        d.OnSourceUpdate(1);
        ASSERT_EQ(channel.requests.size(), 1u) << c.legend;
        EXPECT_EQ(channel.requests[0].n, c.rows) << c.legend;
        EXPECT_DOUBLE_EQ(channel.requests[0].start, 0.0) << c.legend;
        EXPECT_EQ(d.GetColumnLengthDelivered(), c.rows) << c.legend;
        EXPECT_EQ(channel.modes, (std::vector<int>{2, c.side})) << c.legend;
    }
}

TEST_F(EchogramDocTest, FrozenTickAndZeroRangeCases)
{
    CEchogramDoc& frozen = Doc();
    frozen.m_frozen = true;
    frozen.OnSourceUpdate(1);
    EXPECT_TRUE(channel.requests.empty());
    EXPECT_EQ(updates, 0);

    // A display tick only redraws.
    CEchogramDoc& d = Doc();
    d.OnSourceUpdate(0);
    EXPECT_TRUE(channel.requests.empty());
    EXPECT_EQ(updates, 1);

    // Zero range with a bottom inside: no row, no division.
    d.m_range = 0.0;
    channel.bottom = 0.0;
    d.OnSourceUpdate(1);
    EXPECT_EQ(d.GetBottomRow(), 0);

    // Panes taller than the column memory are cut to it.
    d.SetColumnLength(5000);
    d.SetTotalRows(5000);
    EXPECT_EQ(d.GetColumnLength(), CEchogramDoc::kMaxColumn);
    EXPECT_EQ(d.GetTotalRows(), CEchogramDoc::kMaxColumn);
    d.SetColumnLength(-1);
    EXPECT_EQ(d.GetColumnLength(), 0);
}

TEST_F(EchogramDocTest, BottomRowInsideTheWindowOnly)
{
    struct Case
    {
        int reference;
        double range, start, bottom;
        int row;
        const char* legend;
    };
    const Case cases[] = {
        {0, 100.0, 0.0, 25.0, 25, "surface window"},
        {0, 100.0, 0.0, 100.0, 0, "bottom on the lower edge"},
        {0, 100.0, 10.0, 10.0, 0, "bottom on the upper edge"},
        {0, 100.0, 0.0, 0.0, 0, "no bottom"},
        {1, 25.0, 15.0, 60.0, 60, "bottom reference: start 15 m above it"},
    };
    for (const Case& c : cases) {
        CEchogramDoc& d = Doc(100);
        d.m_rangeReference = c.reference;
        d.m_range = c.range;
        d.m_start = c.start;
        channel.bottom = c.bottom;
        d.OnSourceUpdate(1);
        EXPECT_EQ(d.GetBottomRow(), c.row) << c.legend;
    }
}

TEST_F(EchogramDocTest, TwoDocumentsOnOneChannelAreEachOthersPartner)
{
    CESDocList list;
    CEchogramDoc& a = Doc();
    CEchogramDoc& b = Doc();
    for (CEchogramDoc* d : {&a, &b}) {
        d->SetSource(&list);
        d->AttachToSource();
    }
    list.Notify(1);
    EXPECT_EQ(a.GetPartner(), &b);
    EXPECT_EQ(b.GetPartner(), &a);
}

TEST_F(EchogramDocTest, Rm30ReplacesTheColumnBelowTheBottom)
{
    Use(SounderModel::RM30);
    CEchogramDoc& d = Doc(100);
    d.m_rangeReference = CEchogramDoc::SURFACE;
    d.m_echogramType = CEchogramDoc::SV_20;
    d.m_range = 100.0;
    d.m_start = 0.0;
    channel.bottom = 40.0;
    d.OnSourceUpdate(1);
    ASSERT_EQ(channel.requests.size(), 2u);
    EXPECT_EQ(channel.requests[1].type, CEchogramDoc::SS_20);
    EXPECT_TRUE(d.IsBottomSubstituted());
    EXPECT_EQ(d.GetColumn()[39], SyntheticChannel::Sample(channel.requests[0], 39));
    EXPECT_EQ(d.GetColumn()[40], SyntheticChannel::Sample(channel.requests[1], 40));
    EXPECT_EQ(d.GetColumn()[99], SyntheticChannel::Sample(channel.requests[1], 99));
}

TEST(EchogramDocSteps, SubBottomGainIsLimitedPerAdditionAndSaturates)
{
    // 100 rows over 100 m, bottom at row 10, 2 dB/m: row i gets
    // (i - 10) * 2 dB, cut to 10000 units.
    std::vector<std::int16_t> c(100, 1000);
    c[50] = kNoData;
    c[99] = 30000;
    CEchogramDoc::AddSubBottomGain(c.data(), 100, 10, 100.0, 2.0f);
    EXPECT_EQ(c[9], 1000);
    EXPECT_EQ(c[10], 1000);
    EXPECT_EQ(c[11], 1000 + static_cast<int>(std::trunc(2.0 * 85.0413592)));
    EXPECT_EQ(c[80], 1000 + 10000);
    EXPECT_EQ(c[50], kNoData);
    EXPECT_EQ(c[99], 32767);  // saturates instead of wrapping to a weak echo

    std::vector<std::int16_t> n = {-32000, 100, kNoData, -19990};
    CEchogramDoc::AddOffset(n.data(), 4, -20.0);  // negative additions are not cut
    EXPECT_EQ(n[0], -32768);
    EXPECT_EQ(n[1], 100 - static_cast<int>(std::trunc(20.0 * 85.0413592)));
    EXPECT_EQ(n[2], kNoData);
    EXPECT_NE(n[3], kNoData);  // processing never makes the marker
}

TEST(EchogramDocSteps, PingToPingMedianComparesSignedAndKeepsTheMarker)
{
    struct Case
    {
        std::int16_t cur, h1, h2, h3, out;
        const char* legend;
    };
    const Case cases[] = {
        {5, -100, 50, 20, 20, "negative sample: signed median"},
        {5, -300, -100, -200, -200, "all negative"},
        {kNoData, 1, 2, 3, kNoData, "marker in the column stays"},
        {7, kNoData, 2, 3, 7, "a missing ping in the history keeps the sample"},
        {9, 30000, -30000, 0, 0, "extremes"},
    };
    for (const Case& c : cases) {
        std::int16_t col = c.cur;
        CEchogramDoc::PingToPingMedian(&col, 1, &c.h1, &c.h2, &c.h3);
        EXPECT_EQ(col, c.out) << c.legend;
    }
}

TEST_F(EchogramDocTest, NoDataSurvivesEveryFilterOfAPing)
{
    Use(SounderModel::QY310);
    CEchogramDoc& d = Doc(100);
    d.m_rangeReference = CEchogramDoc::SURFACE;
    d.m_range = 100.0;
    d.m_start = 0.0;
    d.m_subBottomGainOn = true;
    d.m_subBottomGain = 50.0f;
    d.m_noiseTracking = 1;
    d.m_noiseOffset = 10.0;
    d.m_pingToPingMedian = true;
    channel.noiseCompensation = true;
    channel.wantsFilters = true;
    channel.bottom = 20.0;
    channel.fixed = {kNoData, -5000, 200, kNoData, 32000, -19990};
    for (int ping = 0; ping < 4; ++ping) {
        d.OnSourceUpdate(1);
        for (int i = 0; i < 100; ++i) {
            const bool marker = channel.fixed[static_cast<std::size_t>(i) % 6] == kNoData;
            EXPECT_EQ(d.GetColumn()[i] == kNoData, marker) << "ping " << ping << " row " << i;
        }
    }
    EXPECT_EQ(channel.filters, (std::array<int, 5>{0, 0, 1, 3, 1}));
    // The offset tracks towards -30 dB less the level: level -30 keeps 0.95 of it.
    EXPECT_NEAR(d.m_noiseOffset, 10.0 * std::pow(0.95, 4), 1e-9);
}

TEST_F(EchogramDocTest, SettingsArchiveRoundTripsAndDropsThreeFilters)
{
    // A model whose dialogs know the slope reference stored here.
    Use(SounderModel::QY310);
    CEchogramDoc& a = Doc();
    a.m_rangeReference = 3;
    a.m_echogramType = 4;
    a.m_frozen = true;
    a.m_depthLines = 17;
    a.m_variableDepthValue = 12.5;
    a.m_surfaceRange = 77.0;
    a.m_bottomOffset = 3.25;
    a.m_depthSourceName = "Geo";
    a.m_subBottomGain = 1.5f;
    a.m_partnerName = "Starboard";
    a.m_sidescanSide = 1;
    a.m_sidescanRange[1] = 150.0;
    a.m_noiseTracking = 1;
    a.m_echoAmplifier = a.m_medianFilter = a.m_pingToPingMedian = true;
    a.m_secondStageFilter = false;
    a.m_filterValue1 = 5;
    a.m_filterValue2 = 2;

    std::vector<BYTE> bytes;
    {
        CArchive out(bytes, CArchive::store);
        a.Serialize(out);
        out.Close();
    }
    // Reference then type, each four bytes, little-endian.
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[4], 4);

    CEchogramDoc& b = Doc();
    CArchive in(bytes.data(), bytes.size());
    b.Serialize(in);
    EXPECT_EQ(b.m_rangeReference, 3);
    EXPECT_EQ(b.m_echogramType, 4);
    EXPECT_TRUE(b.m_frozen);
    EXPECT_EQ(b.m_depthLines, 17);
    EXPECT_DOUBLE_EQ(b.m_variableDepthValue, 12.5);
    EXPECT_DOUBLE_EQ(b.m_surfaceRange, 77.0);
    EXPECT_DOUBLE_EQ(b.m_bottomOffset, 3.25);
    EXPECT_EQ(b.m_depthSourceName, "Geo");
    EXPECT_FLOAT_EQ(b.m_subBottomGain, 1.5f);
    EXPECT_EQ(b.m_partnerName, "Starboard");
    EXPECT_EQ(b.m_sidescanSide, 1);
    EXPECT_DOUBLE_EQ(b.m_sidescanRange[1], 150.0);
    EXPECT_EQ(b.m_noiseTracking, 1);
    EXPECT_FALSE(b.m_secondStageFilter);
    EXPECT_EQ(b.m_filterValue1, 5);
    EXPECT_EQ(b.m_filterValue2, 2);
    EXPECT_FALSE(b.m_echoAmplifier);
    EXPECT_FALSE(b.m_medianFilter);
    EXPECT_FALSE(b.m_pingToPingMedian);

    // Storing the loaded settings gives the same bytes, filters aside.
    b.m_echoAmplifier = b.m_medianFilter = b.m_pingToPingMedian = true;
    std::vector<BYTE> again;
    {
        CArchive out(again, CArchive::store);
        b.Serialize(out);
        out.Close();
    }
    EXPECT_EQ(again, bytes);
}

TEST_F(EchogramDocTest, DefaultsAlternateBetweenDocumentsAndFollowTheModel)
{
    Use(SounderModel::QY210);
    CEchogramDoc first(program.Context()), second(program.Context());
    CEchogramDoc* surface = first.m_rangeReference == CEchogramDoc::SURFACE ? &first : &second;
    CEchogramDoc* bottom = surface == &first ? &second : &first;
    EXPECT_EQ(bottom->m_rangeReference, CEchogramDoc::BOTTOM);
    EXPECT_DOUBLE_EQ(surface->m_range, 100.0);
    EXPECT_DOUBLE_EQ(bottom->m_range, 25.0);
    EXPECT_DOUBLE_EQ(bottom->m_start, 15.0);
    EXPECT_EQ(first.m_echogramType, CEchogramDoc::SS_20);
    Use(SounderModel::RM30);
    CEchogramDoc rm30(program.Context());
    EXPECT_EQ(rm30.m_echogramType, CEchogramDoc::TS_40);
    EXPECT_TRUE(rm30.m_pingFilter);
    // Window start and offset by reference.
    rm30.m_range = 25.0;
    rm30.m_start = 15.0;
    rm30.m_rangeReference = CEchogramDoc::BOTTOM;
    EXPECT_DOUBLE_EQ(rm30.GetRangeStart(), -15.0);
    EXPECT_DOUBLE_EQ(rm30.GetRangeOffset(), 10.0);
    rm30.m_rangeReference = CEchogramDoc::SLOPE;
    EXPECT_DOUBLE_EQ(rm30.GetRangeOffset(), -10.0);
}

TEST(EchogramLayers, IntervalTests)
{
    struct Case
    {
        const char* legend;
        bool bottomLayer;
        double range, start, d, a, b;
        int result;
        double outStart, outStop;
    };
    constexpr double kUntouched = -7.0;
    const Case cases[] = {
        {"surface: no bottom", false, 50, 0, 0.0, 0, 3, 0, kUntouched, kUntouched},
        {"bottom: no bottom", true, 25, 15, 0.0, 0, 3, 0, kUntouched, kUntouched},
        {"surface: window ends below the margin", false, 100, 0, 40, 0, 3, 2, 3.0, 39.5},
        {"surface: window above the bottom", false, 20, 5, 40, 0, 3, 2, 5.0, 25.0},
        {"surface: upper limit shortens the window", false, 20, 5, 40, 8, 3, 2, 5.0, 22.0},
        {"surface: window entirely below the margin", false, 10, 45, 40, 0, 3, 1, kUntouched, kUntouched},
        {"surface: NaN bottom", false, 10, 0, std::nan(""), 0, 3, 1, kUntouched, kUntouched},
        {"bottom: window 15 m above a 40 m bottom", true, 25, 15, 40, 0, 3, 2, 25.0, 39.5},
        {"bottom: start above the upper limit moves to b", true, 25, 15, 40, 30, 3, 2, 3.0, 39.5},
        {"bottom: collapsed interval", true, 0, 0.5, 40, 0, 3, 1, kUntouched, kUntouched},
        {"bottom: NaN bottom", true, 25, 15, std::nan(""), 0, 3, 1, kUntouched, kUntouched},
    };
    for (const Case& c : cases) {
        std::unique_ptr<CLayer> layer;
        if (c.bottomLayer)
            layer = std::make_unique<CLayerEchogramBottom>();
        else
            layer = std::make_unique<CLayerEchogramSurface>();
        layer->m_range = c.range;
        layer->m_start = c.start;
        layer->m_bottomMargin = 0.5;
        double start = kUntouched, stop = kUntouched;
        EXPECT_EQ(layer->GetRangeLimits(c.d, start, stop, c.a, c.b), c.result) << c.legend;
        EXPECT_DOUBLE_EQ(start, c.outStart) << c.legend;
        EXPECT_DOUBLE_EQ(stop, c.outStop) << c.legend;
    }
    EXPECT_EQ(CLayerEchogramSurface().GetReferenceKind(), 4);
    EXPECT_EQ(CLayerEchogramBottom().GetReferenceKind(), 5);
}

TEST_F(EchogramDocTest, IntegratorKeepsOneLayerMatchingTheReference)
{
    CEchogramDoc& d = Doc(100);
    d.m_rangeReference = CEchogramDoc::SURFACE;
    d.m_range = 30.0;
    d.m_start = 2.0;
    d.SetViewCount(20);  // ring steps every 2 pings
    channel.bottom = 50.0;

    d.OnSourceUpdate(1);  // makes the integrator with a surface layer
    ASSERT_NE(d.GetIntegrator(), nullptr);
    ASSERT_EQ(d.GetIntegrator()->GetLayerCount(), 1);
    EXPECT_EQ(d.GetIntegrator()->GetLayer(0)->GetReferenceKind(), 4);
    EXPECT_TRUE(d.GetIntegrator()->IsIntegrating());
    EXPECT_EQ(channel.integrations, 0);

    d.OnSourceUpdate(1);
    d.OnSourceUpdate(1);
    EXPECT_EQ(channel.integrations, 2);
    EXPECT_DOUBLE_EQ(channel.layerRangeSeen, 30.0);  // the document's window went into the layer
    EXPECT_DOUBLE_EQ(channel.layerStartSeen, 2.0);
    EXPECT_DOUBLE_EQ(d.GetIntegrator()->GetLayer(0)->m_threshold, -100.0);
    // After two pings the results were computed: a uniform layer gives a
    // positive area backscattering, which the ring keeps.
    EXPECT_GT(d.GetIntegrator()->GetLayer(0)->m_areaBackscattering, 0.0);
    EXPECT_GT(d.GetMeanLayerValue(), 0.0);

    // Another reference replaces the layer and starts again.
    d.m_rangeReference = CEchogramDoc::BOTTOM;
    d.OnSourceUpdate(1);
    ASSERT_EQ(d.GetIntegrator()->GetLayerCount(), 1);
    EXPECT_EQ(d.GetIntegrator()->GetLayer(0)->GetReferenceKind(), 5);

    // Side-scan has no layer: the list empties and later pings integrate
    // nothing, without an exception on the ping thread.
    d.m_rangeReference = CEchogramDoc::SLOPE;
    d.OnSourceUpdate(1);
    EXPECT_EQ(d.GetIntegrator()->GetLayerCount(), 0);
    const int before = channel.integrations;
    EXPECT_NO_THROW(d.OnSourceUpdate(1));
    EXPECT_EQ(channel.integrations, before);
}

TEST_F(EchogramDocTest, FewViewColumnsKeepTheRingCleared)
{
    CEchogramDoc& d = Doc(100);
    d.m_rangeReference = CEchogramDoc::SURFACE;
    d.SetViewCount(9);
    channel.bottom = 50.0;
    for (int i = 0; i < 5; ++i)
        d.OnSourceUpdate(1);
    EXPECT_GT(channel.integrations, 0);
    EXPECT_DOUBLE_EQ(d.GetMeanLayerValue(), 0.0);

    // Models that integrate elsewhere never make an integrator.
    Use(SounderModel::QY210);
    CEchogramDoc& q = Doc(100);
    q.OnSourceUpdate(1);
    EXPECT_EQ(q.GetIntegrator(), nullptr);
}

TEST_F(EchogramDocTest, ViewTooLowToShowPingsFreezesAndForgetsTheRecentLayerValues)
{
    CEchogramDoc& d = Doc(100);
    d.m_rangeReference = CEchogramDoc::SURFACE;
    d.SetViewCount(20);
    channel.bottom = 50.0;
    for (int i = 0; i < 4; ++i)
        d.OnSourceUpdate(1);
    ASSERT_GT(d.GetLayerCounter(), 0);
    ASSERT_GT(d.GetMeanLayerValue(), 0.0);

    d.SetViewSize(14, 300, true);
    EXPECT_TRUE(d.m_frozen);
    EXPECT_EQ(d.GetColumnLength(), 14);
    EXPECT_EQ(d.GetTotalRows(), 300);
    EXPECT_EQ(d.GetLayerCounter(), 0);
    EXPECT_DOUBLE_EQ(d.GetMeanLayerValue(), 0.0);
    d.SetViewSize(100, 300, false);
    EXPECT_FALSE(d.m_frozen);
}

TEST_F(EchogramDocTest, RangeAndFilterDialogsApplyOnlyOnOk)
{
    CEchogramDoc& d = Doc();
    d.m_rangeReference = CEchogramDoc::BOTTOM;
    int answer = IDOK;
    CEchogramDoc::RangeDialogValues shown;
    program.rangeDialog = [&](CEchogramDoc::RangeDialogValues& v, const CEchogramDoc::DialogOpened&) {
        shown = v;
        v.range = 40.0;
        v.start = 5.0;
        return answer;
    };
    program.filterDialog = [&](CEchogramDoc::FilterDialogValues& v, const CEchogramDoc::DialogOpened&) {
        EXPECT_EQ(v.value1, "3");
        v.echoAmplifier = true;
        v.value1 = "7";
        v.value2 = "not a number";
        return answer;
    };
    EXPECT_EQ(d.OnRangeSettings(), 1);
    EXPECT_DOUBLE_EQ(shown.range, 25.0);
    EXPECT_DOUBLE_EQ(shown.start, 15.0);
    EXPECT_DOUBLE_EQ(d.m_bottomRange, 40.0);
    EXPECT_DOUBLE_EQ(d.m_range, 40.0);
    EXPECT_DOUBLE_EQ(d.m_start, 5.0);

    // Surface: a value under automatic control is not taken back.
    d.m_rangeReference = CEchogramDoc::SURFACE;
    d.m_surfaceAutoStart = true;
    d.m_surfaceStart = 2.0;
    EXPECT_EQ(d.OnRangeSettings(), 1);
    EXPECT_DOUBLE_EQ(d.m_surfaceRange, 40.0);
    EXPECT_DOUBLE_EQ(d.m_start, 2.0);

    // Cancel, or an owner gone: nothing changes.
    for (int a : {IDCANCEL, -1}) {
        answer = a;
        d.m_range = 11.0;
        EXPECT_EQ(d.OnRangeSettings(), a == IDCANCEL ? 1 : 0);
        EXPECT_DOUBLE_EQ(d.m_range, 11.0);
        d.OnEchogramFilter();
        EXPECT_FALSE(d.m_echoAmplifier);
    }
    answer = IDOK;
    d.OnEchogramFilter();
    EXPECT_TRUE(d.m_echoAmplifier);
    EXPECT_EQ(d.m_filterValue1, 7);
    EXPECT_EQ(d.m_filterValue2, 1);  // unparsable text keeps the value
    program.rangeDialog = nullptr;
    EXPECT_EQ(d.OnRangeSettings(), 0);  // no dialog could be made
}

}  // namespace
