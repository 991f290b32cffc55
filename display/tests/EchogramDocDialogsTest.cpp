// The echogram document's dialog launchers through scripted runners: which
// dialog a model gets, how the dialog's choices become the document's
// settings, what Cancel and a vanished document leave, and the filter values
// handed to a real channel.
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"

#include "base/Archive.h"
#include "base/DepthUnit.h"
#include "base/EchosounderError.h"
#include "engine/Channel.h"
#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Doc = CEchogramDoc;
using Values = CEchogramDoc::SettingsDialogValues;

// A channel that records what the launchers hand it.
class RecordingChannel : public CStubEchogramChannel
{
public:
    bool noiseCompensation = false;
    int bottomModeCalls = 0;
    bool externalDepth = false;
    std::string sourceName;
    int filterRequests = 0;

    bool IsNoiseCompensationOn() const override { return noiseCompensation; }
    void RequestFilterValues() override { ++filterRequests; }
    void SetBottomDetectorMode(bool on, const std::string& name) override
    {
        ++bottomModeCalls;
        externalDepth = on;
        sourceName = name;
    }
};

std::vector<BYTE> Stored(CEchogramDoc& d)
{
    std::vector<BYTE> bytes;
    {
        CArchive out(bytes, CArchive::store);
        d.Serialize(out);
    }
    return bytes;
}

class EchogramDocDialogsTest : public ::testing::Test
{
protected:
    void SetUp() override { Use(SounderModel::RM30); }
    void TearDown() override { SetFatalErrorHandler({}); }

    // Documents made from now on are of this model.
    void Use(SounderModel model)
    {
        program.model = model;
        program.sources = {{"Trawl", 1.0}, {"", 0.0}, {"Geo", 2.0}};
    }

    CEchogramDoc& Make()
    {
        docs.push_back(std::make_unique<CEchogramDoc>(program.Context()));
        docs.back()->SetEchogramChannel(&channel);
        return *docs.back();
    }

    // Installs a settings runner that shows the values to `check`, lets
    // `edit` change them and answers `answer`.
    void Script(std::function<void(Values&)> edit, int answer = IDOK)
    {
        program.settingsDialog = [this, edit, answer](Values& v, const Doc::DialogOpened&) {
            shown = v;
            ++runs;
            if (edit)
                edit(v);
            return answer;
        };
    }

    CTestDisplayContext program;
    const int& statusPosts = program.channelStatusChanges;
    RecordingChannel channel;
    std::vector<std::unique_ptr<CEchogramDoc>> docs;
    Values shown;
    int runs = 0;
};

TEST_F(EchogramDocDialogsTest, EachModelGetsItsDialog)
{
    const struct
    {
        SounderModel model;
        int templateId;
    } rows[] = {
        {SounderModel::QY210, Doc::kQY210Template},  {SounderModel::QY310, Doc::kQY310Template},
        {SounderModel::QYNVU, Doc::kQY310Template},  {SounderModel::RM30, Doc::kRM30Template},
        {SounderModel::TQ30, Doc::kGeneralTemplate}, {SounderModel::TOTAL, Doc::kGeneralTemplate},
    };
    for (const auto& row : rows) {
        Use(row.model);
        Script(nullptr, IDCANCEL);
        EXPECT_EQ(Make().OnEchogramSettings(), 1);
        EXPECT_EQ(shown.templateId, row.templateId) << "model " << static_cast<int>(row.model);
        // Only the QY dialogs list the external depth sources (named ones).
        const bool qy = row.templateId == Doc::kQY210Template || row.templateId == Doc::kQY310Template;
        EXPECT_EQ(shown.externalDepthList,
                  qy ? std::vector<std::string>({"Trawl", "Geo"}) : std::vector<std::string>{});
    }
}

TEST_F(EchogramDocDialogsTest, RM30RangeGroupShownAndTaken)
{
    // Shown: from the reference and the two automatic flags.
    const struct
    {
        int reference;
        bool autoRange, autoStart;
        int kind;
    } shownRows[] = {
        {Doc::SURFACE, false, false, Doc::kSurfaceManual},   {Doc::SURFACE, true, false, Doc::kSurfaceAutoRange},
        {Doc::SURFACE, false, true, Doc::kSurfaceAutoStart}, {Doc::BOTTOM, false, false, Doc::kBottom},
        {Doc::TRAWL, false, false, Doc::kTrawlOrSidescan},
    };
    for (const auto& row : shownRows) {
        CEchogramDoc& d = Make();
        d.m_rangeReference = row.reference;
        d.m_surfaceAutoRange = row.autoRange;
        d.m_surfaceAutoStart = row.autoStart;
        Script(nullptr, IDCANCEL);
        d.OnEchogramSettings();
        EXPECT_EQ(shown.echogramKind, row.kind) << row.reference;
    }

    // Taken on OK: the window comes from the stored values of the choice.
    const struct
    {
        int kind;
        int reference;
        double range, start;
        bool autoRange, autoStart;
    } rows[] = {
        {Doc::kSurfaceManual, Doc::SURFACE, 80.0, 4.0, false, false},
        {Doc::kSurfaceAutoRange, Doc::SURFACE, 999.0, 4.0, true, false},   // range left as it was
        {Doc::kSurfaceAutoStart, Doc::SURFACE, 80.0, 999.0, false, true},  // start left as it was
        {Doc::kBottom, Doc::BOTTOM, 30.0, 12.0, false, false},
        {Doc::kTrawlOrSidescan, Doc::TRAWL, 0.0, 0.0, false, false},
    };
    for (const auto& row : rows) {
        CEchogramDoc& d = Make();
        d.m_rangeReference = Doc::BOTTOM;
        d.m_surfaceRange = 80.0;
        d.m_surfaceStart = 4.0;
        d.m_bottomRange = 30.0;
        d.m_bottomOffset = 12.0;
        d.m_range = d.m_start = 999.0;
        d.m_surfaceAutoRange = !row.autoRange;
        d.m_surfaceAutoStart = false;
        Script([&](Values& v) { v.echogramKind = row.kind; });
        ASSERT_EQ(d.OnEchogramSettings(), 1);
        EXPECT_EQ(d.m_rangeReference, row.reference) << "kind " << row.kind;
        EXPECT_DOUBLE_EQ(d.m_range, row.range) << "kind " << row.kind;
        EXPECT_DOUBLE_EQ(d.m_start, row.start) << "kind " << row.kind;
        if (row.reference == Doc::SURFACE) {
            EXPECT_EQ(d.m_surfaceAutoRange, row.autoRange) << "kind " << row.kind;
            EXPECT_EQ(d.m_surfaceAutoStart, row.autoStart) << "kind " << row.kind;
        }
    }
}

TEST_F(EchogramDocDialogsTest, GainGroupsOfEachDialog)
{
    // Shown choice for each echogram type, and the type each choice gives.
    const struct
    {
        SounderModel model;
        int shownForType[5];
        std::vector<int> typeOfChoice;
    } rows[] = {
        // RM30: types 0 and 1 share the first button; type 3 is the third
        // choice, which the two-button dialog shows unchecked.
        {SounderModel::RM30, {0, 0, 1, 2, -1}, {Doc::SV_20, Doc::TS_40, Doc::SS_20}},
        // QY: "No", "20 log R", "30 log R", "40 log R".
        {SounderModel::QY210, {0, -1, 3, 1, 2}, {Doc::NOTVG, Doc::SS_20, Doc::LOG30, Doc::TS_40}},
        {SounderModel::TQ30, {0, 1, 2, 3, -1}, {Doc::NOTVG, Doc::SV_20, Doc::TS_40, Doc::SS_20}},
    };
    for (const auto& row : rows) {
        Use(row.model);
        for (int type = 0; type < 5; ++type) {
            CEchogramDoc& d = Make();
            d.m_echogramType = type;
            Script(nullptr, IDCANCEL);
            d.OnEchogramSettings();
            EXPECT_EQ(shown.gainType, row.shownForType[type])
                << "model " << static_cast<int>(row.model) << " type " << type;
        }
        for (int choice = 0; choice < static_cast<int>(row.typeOfChoice.size()); ++choice) {
            CEchogramDoc& d = Make();
            Script([choice](Values& v) { v.gainType = choice; });
            d.OnEchogramSettings();
            EXPECT_EQ(d.m_echogramType, row.typeOfChoice[static_cast<std::size_t>(choice)])
                << "model " << static_cast<int>(row.model) << " choice " << choice;
        }
        // No button checked on OK: the type stays.
        CEchogramDoc& d = Make();
        d.m_echogramType = Doc::SS_20;
        Script([](Values& v) { v.gainType = -1; });
        d.OnEchogramSettings();
        EXPECT_EQ(d.m_echogramType, Doc::SS_20);
    }
}

TEST_F(EchogramDocDialogsTest, QYSidescanAndSlopeChoicesAndTheResetRequest)
{
    Use(SounderModel::QY310);
    const struct
    {
        int fromReference;
        bool fromSidescan;
        int kind;
        int reference;
        bool sidescan;
        double range, start;
        bool reset;
    } rows[] = {
        {Doc::SURFACE, false, Doc::kTrawlOrSidescan, Doc::SIDESCAN, true, 80.0, 4.0, true},   // entering
        {Doc::SIDESCAN, true, Doc::kBottom, Doc::BOTTOM, false, 30.0, 12.0, true},            // leaving
        {Doc::SIDESCAN, true, Doc::kTrawlOrSidescan, Doc::SIDESCAN, true, 80.0, 4.0, false},  // staying
        {Doc::SURFACE, false, Doc::kAlongTrackSlope, Doc::SLOPE, false, 10.0, 5.0, false},
        {Doc::SIDESCAN, true, Doc::kAlongTrackSlope, Doc::SLOPE, false, 10.0, 5.0, true},
    };
    for (const auto& row : rows) {
        CEchogramDoc& d = Make();
        d.m_rangeReference = row.fromReference;
        d.m_sidescan = row.fromSidescan;
        d.m_surfaceRange = 80.0;
        d.m_surfaceStart = 4.0;
        d.m_bottomRange = 30.0;
        d.m_bottomOffset = 12.0;
        Script([&](Values& v) { v.echogramKind = row.kind; });
        ASSERT_EQ(d.OnEchogramSettings(), 1);
        EXPECT_EQ(d.m_rangeReference, row.reference) << "kind " << row.kind;
        EXPECT_EQ(d.m_sidescan, row.sidescan) << "kind " << row.kind;
        EXPECT_DOUBLE_EQ(d.m_range, row.range) << "kind " << row.kind;
        EXPECT_DOUBLE_EQ(d.m_start, row.start) << "kind " << row.kind;
        EXPECT_EQ(d.m_resetRequest, row.reset) << "kind " << row.kind << " from " << row.fromReference;
    }
    // The QY dialogs have no trawl choice: a trawl echogram shows none.
    CEchogramDoc& trawl = Make();
    trawl.m_rangeReference = Doc::TRAWL;
    Script(nullptr, IDCANCEL);
    trawl.OnEchogramSettings();
    EXPECT_EQ(shown.echogramKind, -1);
}

TEST_F(EchogramDocDialogsTest, BottomLineGroup)
{
    const struct
    {
        SounderModel model;
        bool shown, white, contour;
        int choice;
    } shownRows[] = {
        {SounderModel::QY210, false, true, true, 0}, {SounderModel::QY210, true, false, false, 1},
        {SounderModel::QY210, true, true, false, 2}, {SounderModel::QY210, true, false, true, 3},
        {SounderModel::RM30, true, false, true, 1},  // no contour button in RM30
    };
    for (const auto& row : shownRows) {
        Use(row.model);
        CEchogramDoc& d = Make();
        d.m_bottomShown = row.shown;
        d.m_whiteLine = row.white;
        d.m_contourLine = row.contour;
        Script(nullptr, IDCANCEL);
        d.OnEchogramSettings();
        EXPECT_EQ(shown.bottomLine, row.choice);
    }
    const struct
    {
        int choice;
        bool shown, white, contour;
    } rows[] = {
        {0, false, true, true},  // Off only hides the line
        {1, true, false, false},
        {2, true, true, false},
        {3, true, false, true},
    };
    Use(SounderModel::QY210);
    for (const auto& row : rows) {
        CEchogramDoc& d = Make();
        d.m_whiteLine = d.m_contourLine = true;
        Script([&](Values& v) { v.bottomLine = row.choice; });
        d.OnEchogramSettings();
        EXPECT_EQ(d.m_bottomShown, row.shown) << row.choice;
        EXPECT_EQ(d.m_whiteLine, row.white) << row.choice;
        EXPECT_EQ(d.m_contourLine, row.contour) << row.choice;
    }
}

TEST_F(EchogramDocDialogsTest, ChecksTextsAndTheHandOverAfterOk)
{
    Use(SounderModel::QY210);
    CEchogramDoc& d = Make();
    Script([](Values& v) {
        v.scaleLineCount = 7;
        v.scaleLines = false;
        v.pingFilter = v.minuteMarkers = v.variableDepthLines = v.newRangeMarkers = true;
        v.eventMarkers = v.rangeOther = v.newSvpMarkers = v.showAnnotation = v.subBottomGainOn = true;
        v.subBottomGain = 2.5f;
        v.externalDepthOn = true;
        v.externalDepthSource = "Geo";
        v.sidescanSide = 1;
        v.sidescanView = 1;
        v.importOn = true;
        v.importSource = "Trawl";
        v.bottomDetectionLines = true;
    });
    ASSERT_EQ(d.OnEchogramSettings(), 1);
    EXPECT_EQ(d.m_depthLines, 7);
    EXPECT_FALSE(d.m_scale);
    EXPECT_TRUE(d.m_pingFilter && d.m_minuteMarker && d.m_variableDepth && d.m_newRangeMarker);
    EXPECT_TRUE(d.m_eventMarker && d.m_rangeOtherMarker && d.m_newSvpMarker && d.m_showAnnotation);
    EXPECT_TRUE(d.m_subBottomGainOn);
    EXPECT_FLOAT_EQ(d.m_subBottomGain, 2.5f);
    EXPECT_TRUE(d.m_externalDepth);
    EXPECT_EQ(d.m_depthSourceName, "Geo");
    EXPECT_EQ(d.m_sidescanSide, 1);
    EXPECT_TRUE(d.m_slantCorrection);
    EXPECT_TRUE(d.m_publishPartner);
    EXPECT_EQ(d.m_partnerName, "Trawl");
    EXPECT_TRUE(d.m_multiPulseMarker);
    // The bottom detector learns the external depth switch and source; the
    // status window is told once.
    EXPECT_EQ(channel.bottomModeCalls, 1);
    EXPECT_TRUE(channel.externalDepth);
    EXPECT_EQ(channel.sourceName, "Geo");
    EXPECT_EQ(statusPosts, 1);

    // The RM30 dialog's "Trawl" check is the external depth switch.
    Use(SounderModel::RM30);
    CEchogramDoc& r = Make();
    Script([](Values& v) {
        v.trawlLine = true;
        v.purseSeine = true;
    });
    r.OnEchogramSettings();
    EXPECT_TRUE(r.m_externalDepth);
    EXPECT_TRUE(r.m_purseSeineMarker);
}

TEST_F(EchogramDocDialogsTest, NoiseCompensationShowsNoTvgAndEditsTheOffset)
{
    Use(SounderModel::QY310);
    channel.noiseCompensation = true;
    CEchogramDoc& d = Make();
    d.m_echogramType = Doc::SS_20;
    d.m_noiseOffset = 1.5;
    Script([](Values& v) {
        v.noiseOffset = -2.0;
        v.noiseTracking = 1;
    });
    d.OnEchogramSettings();
    EXPECT_TRUE(shown.noiseCompensation);
    EXPECT_EQ(shown.gainType, 0);
    EXPECT_DOUBLE_EQ(shown.noiseOffset, 1.5);
    EXPECT_EQ(d.m_echogramType, Doc::NOTVG);
    EXPECT_DOUBLE_EQ(d.m_noiseOffset, -2.0);
    EXPECT_EQ(d.m_noiseTracking, 1);
}

TEST_F(EchogramDocDialogsTest, CancelAndAVanishedDocumentChangeNothing)
{
    Use(SounderModel::QY210);
    auto everything = [](Values& v) {
        v.gainType = 2;
        v.echogramKind = Doc::kTrawlOrSidescan;
        v.bottomLine = 3;
        v.scaleLineCount = 3;
        v.externalDepthOn = true;
        v.externalDepthSource = "Geo";
    };
    CEchogramDoc& d = Make();
    const std::vector<BYTE> before = Stored(d);
    Script(everything, IDCANCEL);
    EXPECT_EQ(d.OnEchogramSettings(), 1);
    EXPECT_EQ(Stored(d), before);
    EXPECT_FALSE(d.m_resetRequest);
    EXPECT_EQ(channel.bottomModeCalls, 0);
    EXPECT_EQ(statusPosts, 0);

    // Range and filter dialogs: Cancel leaves the stored settings as they were.
    program.rangeDialog = [](Doc::RangeDialogValues& v, const Doc::DialogOpened&) {
        v.range = 5.0;
        v.start = 1.0;
        return IDCANCEL;
    };
    program.filterDialog = [](Doc::FilterDialogValues& v, const Doc::DialogOpened&) {
        v.echoAmplifier = v.medianFilter = true;
        v.value1 = "9";
        return IDCANCEL;
    };
    for (int reference = Doc::SURFACE; reference <= Doc::SIDESCAN; ++reference) {
        d.m_rangeReference = reference;
        const std::vector<BYTE> unchanged = Stored(d);
        EXPECT_EQ(d.OnRangeSettings(), 1);
        EXPECT_EQ(Stored(d), unchanged) << reference;
    }
    const std::vector<BYTE> unfiltered = Stored(d);
    d.OnEchogramFilter();
    EXPECT_EQ(Stored(d), unfiltered);
    EXPECT_EQ(channel.filterRequests, 0);
}

TEST_F(EchogramDocDialogsTest, RangeValuesInTheDepthUnitExceptSlopeAngles)
{
    CDepthUnit::SetUnit(CDepthUnit::kFeet);
    Doc::RangeDialogValues shownRange;
    program.rangeDialog = [&shownRange](Doc::RangeDialogValues& v, const Doc::DialogOpened&) {
        shownRange = v;
        return IDOK;
    };
    CEchogramDoc& d = Make();
    d.m_rangeReference = Doc::BOTTOM;
    d.m_bottomRange = 30.48;
    EXPECT_EQ(d.OnRangeSettings(), 1);
    EXPECT_NEAR(shownRange.range, 100.0, 1e-9);
    EXPECT_NEAR(d.m_bottomRange, 30.48, 1e-9);
    // Slope limits are degrees: 45 stays 45 in feet (and fits the 0..90 dialog).
    d.m_rangeReference = Doc::SLOPE;
    d.m_slopeRange = 45.0;
    d.m_slopeOffset = 5.0;
    EXPECT_EQ(d.OnRangeSettings(), 1);
    EXPECT_DOUBLE_EQ(shownRange.range, 45.0);
    EXPECT_DOUBLE_EQ(d.m_slopeRange, 45.0);
    EXPECT_DOUBLE_EQ(d.m_slopeOffset, 5.0);
    CDepthUnit::SetUnit(CDepthUnit::kMeter);
}

// A dialog that the document ends when it is destroyed while the dialog runs.
struct FakeDialog : CEchogramDoc::IOpenDialog
{
    int ended = 0;
    int result = 0;
    void EndDialog(int r) override
    {
        ++ended;
        result = r;
    }
};

TEST_F(EchogramDocDialogsTest, DocumentDestroyedWhileItsDialogRunsEndsIt)
{
    FakeDialog dialog;
    // The runner registers its dialog; meanwhile the layout is torn down and
    // the document destroyed, which ends the dialog with -1.
    auto destroyWhileOpen = [this, &dialog](const Doc::DialogOpened& opened) {
        opened(&dialog);
        EXPECT_EQ(docs.back()->GetOpenDialog(), &dialog);
        docs.pop_back();
        return dialog.result;
    };
    program.rangeDialog = [&](Doc::RangeDialogValues& v, const Doc::DialogOpened& o) {
        v.range = 5.0;
        return destroyWhileOpen(o);
    };
    program.filterDialog = [&](Doc::FilterDialogValues& v, const Doc::DialogOpened& o) {
        v.echoAmplifier = true;
        return destroyWhileOpen(o);
    };
    program.settingsDialog = [&](Values& v, const Doc::DialogOpened& o) {
        v.echogramKind = Doc::kBottom;
        return destroyWhileOpen(o);
    };
    // Under the address sanitizer any write into the gone document fails here.
    EXPECT_EQ(Make().OnEchogramSettings(), 0);
    EXPECT_EQ(dialog.ended, 1);
    EXPECT_EQ(dialog.result, -1);
    EXPECT_EQ(Make().OnRangeSettings(), 0);
    EXPECT_EQ(dialog.ended, 2);
    Make().OnEchogramFilter();
    EXPECT_EQ(dialog.ended, 3);
    EXPECT_EQ(channel.bottomModeCalls, 0);
    EXPECT_EQ(statusPosts, 0);

    // A dialog that ran to its end is forgotten: destroying the document later
    // ends nothing.
    FakeDialog closed;
    program.settingsDialog = [&closed](Values&, const Doc::DialogOpened& o) {
        o(&closed);
        return IDCANCEL;
    };
    CEchogramDoc& d = Make();
    EXPECT_EQ(d.OnEchogramSettings(), 1);
    EXPECT_EQ(d.GetOpenDialog(), nullptr);
    docs.clear();
    EXPECT_EQ(closed.ended, 0);
}

TEST_F(EchogramDocDialogsTest, ReferencesTheDialogsDoNotKnow)
{
    // Loaded from a layout: refused, the echogram keeps its reference.
    const struct
    {
        SounderModel model;
        int reference;
        bool kept;
    } rows[] = {
        {SounderModel::RM30, Doc::SLOPE, false}, {SounderModel::TQ30, Doc::SIDESCAN, false},
        {SounderModel::RM30, 7, false},          {SounderModel::QY310, Doc::SIDESCAN, true},
        {SounderModel::QY210, Doc::SLOPE, true}, {SounderModel::QY210, -1, false},
    };
    for (const auto& row : rows) {
        Use(row.model);
        CEchogramDoc& source = Make();
        source.m_rangeReference = row.reference;
        source.m_echogramType = 9;
        std::vector<BYTE> bytes = Stored(source);
        CEchogramDoc& d = Make();
        d.m_rangeReference = Doc::BOTTOM;
        d.m_echogramType = Doc::TS_40;
        CArchive in(bytes.data(), bytes.size());
        d.Serialize(in);
        EXPECT_EQ(d.m_rangeReference, row.kept ? row.reference : static_cast<int>(Doc::BOTTOM))
            << static_cast<int>(row.model) << "/" << row.reference;
        EXPECT_EQ(d.m_echogramType, Doc::TS_40);
    }

    // Reached otherwise: the program stops with the value.
    Use(SounderModel::RM30);
    SetFatalErrorHandler([](const std::string& text) { throw std::runtime_error(text); });
    CEchogramDoc& d = Make();
    d.m_rangeReference = Doc::SLOPE;
    Script(nullptr);
    try {
        d.OnEchogramSettings();
        ADD_FAILURE() << "no fatal report";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Invalid EGTYPE (3)"), std::string::npos) << e.what();
    }
    EXPECT_EQ(runs, 0);
}

TEST_F(EchogramDocDialogsTest, WithoutADialogNothingRuns)
{
    CEchogramDoc& d = Make();
    const std::vector<BYTE> before = Stored(d);
    EXPECT_EQ(d.OnEchogramSettings(), 0);
    EXPECT_EQ(d.OnRangeSettings(), 0);
    d.OnEchogramFilter();
    EXPECT_EQ(Stored(d), before);
    EXPECT_EQ(d.RealizeViewPalettes(), 0);
}

// The palettes realized are those of the document's own views, the last
// view's result returned.
TEST_F(EchogramDocDialogsTest, PalettesOfTheDocumentsViewsAreRealized)
{
    struct View : IDocumentView
    {
        int result = 0;
        int realized = 0;
        void OnUpdate() override {}
        int RealizeViewPalette() override
        {
            ++realized;
            return result;
        }
    };
    CEchogramDoc& d = Make();
    View first, second, other;
    first.result = 3;
    second.result = 7;
    d.AddView(&first);
    d.AddView(&second);
    d.AddView(&first);  // registered once
    EXPECT_EQ(d.RealizeViewPalettes(), 7);
    EXPECT_EQ(first.realized, 1);
    EXPECT_EQ(second.realized, 1);
    EXPECT_EQ(other.realized, 0);
    d.RemoveView(&second);
    EXPECT_EQ(d.RealizeViewPalettes(), 3);
}

// The filter values travel to a real channel once, and again only after the
// filter dialog changed them.
TEST(EchogramDocFilterBlock, ValuesReachTheChannelOnce)
{
    CTestDisplayContext program;
    CChannel::Construction c;
    c.Parameters.SampleDistance = 0.1;
    c.Parameters.SampleInterval = 0.1 * 2.0 / 1500.0;
    CChannel channel(c);
    EXPECT_TRUE(channel.WantsFilterValues());

    CEchogramDoc upper(program.Context()), lower(program.Context());
    for (CEchogramDoc* d : {&upper, &lower}) {
        d->SetChannel(&channel);
        d->SetColumnLength(50);
    }
    upper.m_echoAmplifier = true;
    upper.m_filterValue1 = 7;
    upper.m_filterValue2 = 15;
    lower.m_medianFilter = true;
    lower.m_filterValue1 = 9;
    upper.OnSourceUpdate(1);
    lower.OnSourceUpdate(1);
    const CChannel::FilterValues first{1, 0, 1, 7, 15};
    EXPECT_EQ(channel.GetFilterValues(), first);
    EXPECT_FALSE(channel.WantsFilterValues());

    // Later pings and other documents hand nothing more.
    upper.m_filterValue2 = 30;
    for (int i = 0; i < 3; ++i) {
        lower.OnSourceUpdate(1);
        upper.OnSourceUpdate(1);
    }
    EXPECT_EQ(channel.GetFilterValues(), first);

    // The filter dialog's OK makes the channel want them again.
    program.filterDialog = [](Doc::FilterDialogValues& v, const Doc::DialogOpened&) {
        v.medianFilter = true;
        v.value1 = "5";
        v.value2 = "20";
        return IDOK;
    };
    upper.OnEchogramFilter();
    EXPECT_TRUE(channel.WantsFilterValues());
    upper.OnSourceUpdate(1);
    lower.OnSourceUpdate(1);
    EXPECT_EQ(channel.GetFilterValues(), (CChannel::FilterValues{1, 1, 1, 5, 20}));

    // Models that do not filter the echogram never hand them over.
    program.model = SounderModel::TQ30;
    CEchogramDoc other(program.Context());
    other.SetChannel(&channel);
    other.SetColumnLength(50);
    other.m_echoAmplifier = true;
    channel.RequestFilterValues();
    other.OnSourceUpdate(1);
    EXPECT_TRUE(channel.WantsFilterValues());
}

}  // namespace
