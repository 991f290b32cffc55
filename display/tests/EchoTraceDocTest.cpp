#include "display/EchoTraceDoc.h"

#include "base/Archive.h"
#include "display/EchogramDoc.h"
#include "display/tests/TestDisplayContext.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

namespace {

// A channel that hands out the targets the case sets.
struct FakeChannel : IEchoTraceChannel
{
    SingleTargetRecord record;
    int answer = 1;
    bool bottomFound = true;
    double bottom = 50.0;
    int pings = 0;
    CColorScaleSettings scale;
    CTSDetection detection;

    void Set(const std::vector<std::pair<double, double>>& depthAndTs)
    {
        record = SingleTargetRecord{};
        record.Count = static_cast<std::uint16_t>(depthAndTs.size());
        for (std::size_t i = 0; i < depthAndTs.size(); ++i) {
            record.Targets[i].Range = depthAndTs[i].first;
            record.Targets[i].TS = depthAndTs[i].second;
            record.Targets[i].AlongAngle = 1.0 + static_cast<double>(i);
        }
    }
    int GetSingleTargets(SingleTargetRecord& out) override
    {
        ++pings;
        out = record;
        return answer;
    }
    bool GetBottom(double& depth) override
    {
        depth = bottom;
        return bottomFound;
    }
    int GetPingCount() override { return pings; }
    void GetColorScale(CColorScaleSettings& s) override { s = scale; }
    void GetBeam(int& type, double& along, double& athwart) override
    {
        type = 1;
        along = 7.0;
        athwart = 7.0;
    }
    CTSDetection* GetDetection() override { return &detection; }
};

// A view that notes what each update shows.
struct NotingView : IDocumentView
{
    explicit NotingView(CEchoTraceDoc& d) : doc(d) { doc.AddView(this); }
    ~NotingView() override { doc.RemoveView(this); }
    void OnUpdate() override
    {
        const auto& echoes = doc.Shown().echoes;
        counts.push_back(echoes ? static_cast<int>(echoes->size()) : 0);
        totals.push_back(doc.Shown().histogram.total);
    }
    int RealizeViewPalette() override { return 0; }
    CEchoTraceDoc& doc;
    std::vector<int> counts;
    std::vector<std::uint32_t> totals;
};

// A document with its channel and companion echogram.
struct Rig
{
    Rig()
    {
        // TS start level -60 dB in steps of 3 dB: bins of 1.5 dB from -60.
        channel.scale.SetValueBySelector(2, -60.0);
        channel.scale.SetInterval(3.0);
        doc.SetEchoTraceChannel(&channel);
        doc.SetCompanion(&echogram);
        // A surface window from 10 m to 20 m, over 100 columns (blocks of 20).
        echogram.m_rangeReference = CEchogramDoc::SURFACE;
        echogram.m_start = 10.0;
        echogram.m_range = 10.0;
        echogram.SetViewCount(100);
    }
    void Ping(const std::vector<std::pair<double, double>>& targets)
    {
        channel.Set(targets);
        doc.OnSourceUpdate(1);
    }
    const CEchoTraceDoc::EchoArray* Last() const
    {
        const int slot = doc.GetWriteIndex() == 0 ? CEchoTraceDoc::kHistoryCapacity - 1 : doc.GetWriteIndex() - 1;
        return doc.GetSlot(slot).get();
    }
    std::vector<bool> Accepted() const
    {
        std::vector<bool> a;
        for (const CSingleEcho& e : *Last())
            a.push_back(e.IsAccepted());
        return a;
    }

    CTestDisplayContext program;
    FakeChannel channel;
    CEchogramDoc echogram{program.Context()};
    CEchoTraceDoc doc{program.Context()};
};

class EchoTraceDocTest : public ::testing::Test, protected Rig
{};

}  // namespace

TEST_F(EchoTraceDocTest, StrongestThreeInsideTheWindowAreAccepted)
{
    struct Case
    {
        const char* legend;
        std::vector<std::pair<double, double>> targets;
        bool bottomReferencedWithoutBottom;
        std::vector<bool> accepted;
    };
    const Case cases[] = {
        {"three or fewer: all, also outside the window",
         {{2.0, -70.0}, {30.0, -40.0}, {15.0, -50.0}},
         false,
         {true, true, true}},
        {"one outside", {{40.0, -80.0}}, false, {true}},
        {"five with four outside: the one inside alone, masked ones are not accepted",
         {{2.0, -30.0}, {3.0, -31.0}, {15.0, -70.0}, {25.0, -32.0}, {26.0, -33.0}},
         false,
         {false, false, true, false, false}},
        {"five inside: the three strongest; a stronger one replaces the first of equal weakest",
         {{11.0, -50.0}, {12.0, -40.0}, {13.0, -50.0}, {14.0, -45.0}, {15.0, -60.0}},
         false,
         {false, true, true, true, false}},
        {"no window (bottom echogram without a bottom): strongest of all",
         {{2.0, -30.0}, {3.0, -31.0}, {15.0, -70.0}, {25.0, -32.0}, {26.0, -80.0}},
         true,
         {true, true, false, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        echogram.m_rangeReference = c.bottomReferencedWithoutBottom ? CEchogramDoc::BOTTOM : CEchogramDoc::SURFACE;
        channel.bottomFound = !c.bottomReferencedWithoutBottom;
        Ping(c.targets);
        ASSERT_NE(Last(), nullptr);
        EXPECT_EQ(Accepted(), c.accepted);
    }
}

TEST_F(EchoTraceDocTest, APingWithoutEchoesLeavesANullSlotAndIsShown)
{
    Ping({{12.0, -50.0}});
    const int updates = program.updates;
    Ping({});
    EXPECT_EQ(doc.GetWriteIndex(), 2);
    EXPECT_EQ(doc.GetSlot(1), nullptr);
    EXPECT_EQ(program.updates, updates + 1);
    // No new table: nothing moves, nothing is shown.
    channel.answer = 0;
    Ping({{12.0, -50.0}});
    EXPECT_EQ(doc.GetWriteIndex(), 2);
    EXPECT_EQ(program.updates, updates + 1);
    // A zero flag (a display tick) does nothing.
    channel.answer = 1;
    doc.OnSourceUpdate(0);
    EXPECT_EQ(doc.GetWriteIndex(), 2);
}

TEST_F(EchoTraceDocTest, EachEchoCarriesItsRecordPingAndBottom)
{
    channel.bottom = 48.5;
    channel.record.Count = 1;
    channel.record.Targets[0] = {12.5, -41.0, -43.0, 1.5, -2.5, 0.25};
    doc.OnSourceUpdate(1);
    const CSingleEcho& e = Last()->at(0);
    EXPECT_EQ(e.GetPingNumber(), 1);
    EXPECT_DOUBLE_EQ(e.GetDepth(), 12.5);
    EXPECT_DOUBLE_EQ(e.GetTS(), -41.0);
    EXPECT_DOUBLE_EQ(e.GetValue3(), -43.0);
    EXPECT_DOUBLE_EQ(e.GetAlongshipAngle(), 1.5);
    EXPECT_DOUBLE_EQ(e.GetAthwartshipAngle(), -2.5);
    EXPECT_DOUBLE_EQ(e.GetValue6(), 0.25);
    EXPECT_DOUBLE_EQ(e.GetBottomDepth(), 48.5);
    EXPECT_EQ(e.GetLink(), -1);
}

TEST_F(EchoTraceDocTest, EchoesLinkToTheLastPreviousEchoWithinHalfAMetre)
{
    struct Case
    {
        const char* legend;
        std::vector<double> previous;
        double depth;
        int link;
    };
    const Case cases[] = {
        {"two within: the later", {10.2, 9.7, 20.0}, 10.0, 1},
        {"the ends count", {10.5, 30.0}, 10.0, 0},
        {"none within", {10.6, 9.4}, 10.0, -1},
        {"0.3 m reaches from 0.0 to 0.8", {0.81, 0.0, 0.8, 5.0}, 0.3, 2},
        {"0.3 m: the surface itself", {0.81, 0.0}, 0.3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        std::vector<std::pair<double, double>> previous;
        for (double d : c.previous)
            previous.push_back({d, -50.0});
        Ping(previous);
        Ping({{c.depth, -50.0}});
        EXPECT_EQ(Last()->at(0).GetLink(), c.link);
    }
    // After a ping without echoes there is nothing to link to.
    Ping({{10.0, -50.0}});
    Ping({});
    Ping({{10.0, -50.0}});
    EXPECT_EQ(Last()->at(0).GetLink(), -1);
}

TEST_F(EchoTraceDocTest, TheHistoryKeepsTheLastThousandPings)
{
    Ping({{12.0, -50.0}});
    const std::weak_ptr<const CEchoTraceDoc::EchoArray> first = doc.GetSlot(0);
    NotingView view(doc);
    doc.UpdateAllViews();
    for (int i = 1; i < CEchoTraceDoc::kHistoryCapacity; ++i) {
        Ping({{13.0, -50.0}, {14.0, -51.0}});
        doc.UpdateAllViews();
    }
    EXPECT_EQ(doc.GetWriteIndex(), 0);
    EXPECT_FALSE(first.expired());
    // The wrap: the first ping's echoes go, on both sides.
    Ping({});
    doc.UpdateAllViews();
    EXPECT_TRUE(first.expired());
    EXPECT_EQ(doc.GetWriteIndex(), 1);
    EXPECT_EQ(doc.ShownWriteIndex(), 1);
    EXPECT_EQ(doc.ShownSlot(0), nullptr);
    EXPECT_EQ(doc.ShownSlot(1)->size(), 2u);
    EXPECT_EQ(doc.GetSlot(CEchoTraceDoc::kHistoryCapacity), nullptr) << "out of the ring";
}

TEST_F(EchoTraceDocTest, ViewsShowThePingTheyAreGivenHoweverFarThePingsWentOn)
{
    NotingView view(doc);
    Ping({{12.0, -50.0}});
    Ping({{12.0, -50.0}, {13.0, -50.0}});
    Ping({});
    doc.UpdateAllViews();
    EXPECT_EQ(view.counts, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(view.totals, (std::vector<std::uint32_t>{0, 2, 2})) << "the first ping resets at the new level";
}

TEST_F(EchoTraceDocTest, HistogramCountsEchoesStrictlyInsideTheWindowIntoHalfStepBins)
{
    Ping({});  // the level is taken: this ping resets
    EXPECT_EQ(doc.GetHistogramLevel(), -60.0);
    // Bins of 1.5 dB from -60; 12 steps up (-24 dB) is bin 24, outside.
    Ping({{15.0, -60.0},
          {15.0, -58.6},
          {15.0, -24.5},
          {15.0, -24.0},
          {15.0, -61.0},
          {10.0, -50.0},
          {20.0, -50.0},
          {15.0, std::numeric_limits<double>::quiet_NaN()}});
    const CEchoTraceDoc::SHistogram& sum = doc.GetHistogramSum();
    EXPECT_EQ(sum.total, 4u);
    EXPECT_EQ(sum.bins[0], 3u) << "-60, -58.6 and, truncated toward zero, -61";
    EXPECT_EQ(sum.bins[23], 1u);
}

TEST_F(EchoTraceDocTest, HistogramResets)
{
    struct Case
    {
        const char* legend;
        std::function<void(Rig&)> change;
        std::uint32_t sumAfterChange, sumAfterNext;
    };
    const Case cases[] = {
        {"level change: reset, the sum shown as it was until the ping after",
         [](Rig& t) { t.channel.scale.SetValueBySelector(2, -70.0); }, 2, 1},
        {"fewer than five columns: kept in reset", [](Rig& t) { t.echogram.SetViewCount(4); }, 2, 2},
        {"frozen echogram", [](Rig& t) { t.echogram.m_frozen = true; }, 2, 2},
        {"no colour steps: nothing is counted", [](Rig& t) { t.channel.scale.SetInterval(0.0); }, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        Rig t;
        t.Ping({});
        t.Ping({{15.0, -50.0}});
        t.Ping({{15.0, -50.0}});
        ASSERT_EQ(t.doc.GetHistogramSum().total, 2u);
        c.change(t);
        t.Ping({{15.0, -50.0}});
        EXPECT_EQ(t.doc.GetHistogramSum().total, c.sumAfterChange);
        t.Ping({{15.0, -50.0}});
        EXPECT_EQ(t.doc.GetHistogramSum().total, c.sumAfterNext);
    }
}

TEST_F(EchoTraceDocTest, HistogramWindowSlidesOverFiveBlocks)
{
    echogram.SetViewCount(5);  // blocks of one ping: the window holds five
    Ping({});
    for (int i = 0; i < 7; ++i)
        Ping({{15.0, -50.0}});
    EXPECT_EQ(doc.GetHistogramSum().total, 5u);
}

TEST_F(EchoTraceDocTest, HistogramCountsBeyondSixteenBits)
{
    echogram.SetViewCount(5000);  // blocks of 1000 pings
    std::vector<std::pair<double, double>> full(SingleTargetRecord::kMaxTargets, {15.0, -50.0});
    Ping({});
    for (int i = 0; i < 700; ++i)
        Ping(full);
    EXPECT_EQ(doc.GetHistogramSum().total, 700u * 99u);
    EXPECT_EQ(doc.GetHistogramSum().bins[6], 700u * 99u);
}

TEST_F(EchoTraceDocTest, BottomReferencedWindowHangsFromTheBottom)
{
    echogram.m_rangeReference = CEchogramDoc::BOTTOM;
    echogram.m_start = 15.0;
    echogram.m_range = 20.0;
    channel.bottom = 50.0;
    double start = 0.0, end = 0.0;
    EXPECT_TRUE(doc.GetDepthWindow(start, end));
    EXPECT_DOUBLE_EQ(start, 35.0);
    EXPECT_DOUBLE_EQ(end, 55.0);
    channel.bottomFound = false;
    EXPECT_FALSE(doc.GetDepthWindow(start, end));
    doc.SetCompanion(nullptr);
    EXPECT_FALSE(doc.GetDepthWindow(start, end));
}

TEST(EchoTraceDocDefaultsTest, SizeScaleByModel)
{
    for (SounderModel model : {SounderModel::QY210, SounderModel::QY310, SounderModel::RM30, SounderModel::TQ30,
                               SounderModel::TOTAL, SounderModel::QYNVU}) {
        SDisplayContext context;
        context.model = model;
        CEchoTraceDoc doc(context);
        EXPECT_EQ(doc.m_presentation, CEchoTraceDoc::kBoth);
        EXPECT_EQ(doc.m_sizeScale, model == SounderModel::RM30 ? CEchoTraceDoc::kLengthCm : CEchoTraceDoc::kTs);
    }
}

TEST_F(EchoTraceDocTest, SettingsTravelWithTheDetectionsAndAreCheckedBeforeTaken)
{
    doc.m_presentation = CEchoTraceDoc::kEchoTrace;
    doc.m_sizeScale = CEchoTraceDoc::kWeight;
    channel.detection.SetSettings({1.0, 2.0, 3.0, 4.0});
    std::vector<BYTE> bytes;
    {
        CArchive out(bytes, CArchive::store);
        doc.Serialize(out);
    }
    ASSERT_EQ(bytes.size(), 8u + 4u * 8u);

    FakeChannel other;
    CEchoTraceDoc copy;
    copy.SetEchoTraceChannel(&other);
    {
        CArchive in(bytes, CArchive::load);
        copy.Serialize(in);
    }
    EXPECT_EQ(copy.m_presentation, CEchoTraceDoc::kEchoTrace);
    EXPECT_EQ(copy.m_sizeScale, CEchoTraceDoc::kWeight);
    EXPECT_DOUBLE_EQ(other.detection.GetSettings().MaxPhaseDeviation, 4.0);

    // Each value out of range: nothing is taken.
    const struct
    {
        std::size_t offset;
        LONG integer;
        double real;
    } damaged[] = {{0, 3, 0}, {0, -1, 0}, {4, 4, 0}, {8, 0, 6.0}, {32, 0, 11.0}, {16, 0, -1.0}};
    for (const auto& d : damaged) {
        std::vector<BYTE> bad = bytes;
        if (d.offset < 8)
            std::memcpy(bad.data() + d.offset, &d.integer, 4);
        else
            std::memcpy(bad.data() + d.offset, &d.real, 8);
        FakeChannel fresh;
        CEchoTraceDoc target;
        target.SetEchoTraceChannel(&fresh);
        CArchive in(bad, CArchive::load);
        EXPECT_THROW(target.Serialize(in), CArchiveException) << d.offset;
        EXPECT_EQ(target.m_presentation, CEchoTraceDoc::kBoth);
        EXPECT_DOUBLE_EQ(fresh.detection.GetSettings().MaxPhaseDeviation, CTSDetection::kDefaultMaxPhase);
    }
}

namespace {

// Runs the dialog of the case on the values.
struct ScriptedDialogs : IEchoTraceDialogs
{
    std::function<int(CEchoTraceDoc&, int&, int&, const CModalSession::DialogOpened&)> run;
    int RunEchoTraceDialog(CEchoTraceDoc& d, int& presentation, int& sizeScale,
                           const CModalSession::DialogOpened& opened) override
    {
        return run(d, presentation, sizeScale, opened);
    }
};

struct Holder : CModalSession::IOpenDialog
{
    void EndDialog(int result) override { ended = result; }
    int ended = 0;
};

}  // namespace

TEST(EchoTraceDocSettingsTest, TheDialogsValuesAreTakenOnOkOnly)
{
    ScriptedDialogs dialogs;
    SDisplayContext context;
    context.echoTraceDialogs = &dialogs;
    CEchoTraceDoc doc(context);
    struct Case
    {
        int result;
        int answer;
        int presentation;
    };
    for (const Case& c : {Case{IDOK, 1, 0}, Case{IDCANCEL, 1, 0}, Case{0, 0, 0}, Case{-1, 0, 0}}) {
        doc.m_presentation = CEchoTraceDoc::kBoth;
        dialogs.run = [&](CEchoTraceDoc&, int& p, int& s, const CModalSession::DialogOpened&) {
            EXPECT_EQ(p, CEchoTraceDoc::kBoth);
            p = c.presentation;
            s = CEchoTraceDoc::kLengthInch;
            return c.result;
        };
        EXPECT_EQ(doc.OnEchoTraceSettings(), c.answer) << c.result;
        EXPECT_EQ(doc.m_presentation, c.result == IDOK ? c.presentation : CEchoTraceDoc::kBoth) << c.result;
    }
    EXPECT_FALSE(doc.HasOpenDialog());
    context.echoTraceDialogs = nullptr;
    CEchoTraceDoc without(context);
    EXPECT_EQ(without.OnEchoTraceSettings(), 0);
}

TEST(EchoTraceDocSettingsTest, ADocumentThatGoesEndsItsDialogAndIsNotTouchedAgain)
{
    ScriptedDialogs dialogs;
    SDisplayContext context;
    context.echoTraceDialogs = &dialogs;
    auto doc = std::make_unique<CEchoTraceDoc>(context);
    Holder holder;
    dialogs.run = [&](CEchoTraceDoc&, int& p, int&, const CModalSession::DialogOpened& opened) {
        opened(&holder);
        EXPECT_TRUE(doc->HasOpenDialog());
        doc.reset();  // the layout goes while the dialog is open
        p = CEchoTraceDoc::kHistogram;
        return IDOK;
    };
    CEchoTraceDoc* raw = doc.get();
    EXPECT_EQ(raw->OnEchoTraceSettings(), 0);
    EXPECT_EQ(holder.ended, -1);
}
