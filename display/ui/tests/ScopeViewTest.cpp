// The scope pane as the operator sees it: the A-scope of each ping of its
// echogram document, the slope circle, the information panel a plain right
// click brings, the passive channel's held picture, the debug dialog's
// mouse gestures and the Motion mode that leaves the screen alone.
#include "display/ui/ScopeView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/EchosounderError.h"
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/Channel.h"
#include "engine/RawPower.h"

#include <QMouseEvent>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// Echo rows of the ping as a case sets them, silence elsewhere.
struct RowsChannel : CStubEchogramChannel
{
    std::vector<std::pair<int, std::int16_t>> echoes;
    bool GetPingSamples(std::int16_t* out, int n, double, double, int, int) override
    {
        std::fill_n(out, n, rawpower::kNoEcho);
        for (const auto& [row, value] : echoes)
            if (row < n)
                out[row] = value;
        return true;
    }
};

// What the pane reads of the channel: a scale from -70 dB in 3 dB steps,
// the case's slope angle, noise, bottom and beam.
struct FakeScopeChannel : IScopeViewChannel
{
    int transceiverMode = 0;
    bool haveAngle = false;
    double angle = 0.0;
    bool bottom = false;
    int beamType = 0;
    int infoReads = 0;
    ChannelPingRecord record;
    SBottomCandidate candidate;
    // Samples from this one on are at -20 dB, those before at -100 dB.
    int edge = 1 << 30;
    void GetColorScale(CColorScaleSettings& scale) override
    {
        for (int place = 1; place <= 6; ++place)
            scale.SetLevel(place, -70.0);
        scale.SetInterval(3.0);
    }
    ChannelParameters GetParameters() override
    {
        ChannelParameters p;
        p.TransceiverMode = transceiverMode;
        p.Bandwidth = 1000.0;
        return p;
    }
    void GetMotion(double (&motion)[6]) override { std::fill_n(motion, 6, 0.0); }
    double GetNoiseLevel() override { return -150.0; }
    bool GetBottom(double& level) override
    {
        level = -40.0;
        return bottom;
    }
    int GetBeamType() override { return beamType; }
    bool GetSlopeAngle(double& degrees) override
    {
        degrees = angle;
        return haveAngle;
    }
    void GetPingRecord(ChannelPingRecord& out, double, int) override { out = record; }
    void AddEchogramSamples(std::int16_t* out, int n, double, int, int) override
    {
        ++infoReads;
        for (int i = 0; i < n; ++i)
            out[i] = i < edge ? std::int16_t{-8504} : std::int16_t{-1700};
    }
    void AddEchogramAngles(std::uint16_t* out, int n, double, int) override { std::fill_n(out, n, 0x1020); }
    // A wide-band unit's traces: the first at -60 dB, the second at -20 dB.
    int traceLength = 0;
    int GetScopeTrace(CChannel::TraceKind, int which, double* out, int maxCount, double, double, double& d) override
    {
        d = 0.05;
        const int n = std::min(traceLength, maxCount);
        std::fill_n(out, n, which == 1 ? -60.0 : -20.0);
        return n;
    }
    void GetBottomCandidates(SBottomCandidate (&out)[IBottomDetector::kMaxCandidates]) override
    {
        for (auto& c : out)
            c = {};
        out[0] = candidate;
    }
    IBottomDetector::Limits GetBottomLimits() override { return {0.0, 500.0, -50.0}; }
    void GetBottomSamplesDb(double* out, int n, int) override { std::fill_n(out, n, -100.0); }
    int RangeToSample(double, double) override { return 0; }
    double GetScopeSampleTime() override { return 0.0; }
};

// The pane with its paints' copies counted and its dialog not shown.
class ProbeScope : public CScopeView
{
public:
    using CScopeView::CScopeView;
    mutable int copies = 0;
    int dialogs = 0;

protected:
    QImage PaintImage() const override
    {
        ++copies;
        return CScopeView::PaintImage();
    }
    void OpenDebugDialog() override { ++dialogs; }
};

class ScopeViewTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        shelltest::QtApp();
        channel = std::make_unique<CChannel>(CChannel::Construction{});
        doc.SetChannel(channel.get());
        doc.SetEchogramChannel(&fake);
        doc.m_range = 100.0;
        doc.m_start = 0.0;
        doc.m_rangeReference = CEchogramDoc::SURFACE;
        doc.m_echogramType = CEchogramDoc::SV_20;
        program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
        view = Make(SViewContext{});
    }
    std::unique_ptr<ProbeScope> Make(const SViewContext& context)
    {
        auto v = std::make_unique<ProbeScope>(&doc, context);
        v->SetChannelAccess(&scope);
        Resize(*v, kWidth, kHeight);
        v->OnInitialUpdate();
        doc.SetColumnLength(kHeight);
        return v;
    }
    // The size at once, not at the first grab.
    static void Resize(QWidget& v, int w, int h)
    {
        v.resize(w, h);
        QResizeEvent event(QSize(w, h), QSize());
        QApplication::sendEvent(&v, &event);
        v.setAttribute(Qt::WA_PendingResizeEvent, false);
    }
    void Ping() { doc.OnSourceUpdate(1); }
    QImage Shot() { return view->grab().toImage(); }
    // Palette index of a shown pixel: the view's table is the identity
    // (index in red) until the main window hands a palette.
    static int At(const QImage& shot, int x, int y) { return qRed(shot.pixel(x, y)); }
    static int BarLength(const QImage& shot, int y)
    {
        int n = 0;
        for (int x = 0; x < shot.width(); ++x)
            n += At(shot, x, y) >= 160 && At(shot, x, y) <= 171 ? 1 : 0;
        return n;
    }
    static int RowsWith(const QImage& shot, int index, int x0, int x1)
    {
        int rows = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = x0; x < x1; ++x)
                if (At(shot, x, y) == index) {
                    ++rows;
                    break;
                }
        return rows;
    }

    static constexpr int kWidth = 110, kHeight = 120;
    CTestDisplayContext program;
    RowsChannel fake;
    FakeScopeChannel scope;
    std::unique_ptr<CChannel> channel;
    CEchogramDoc doc{program.Context()};
    std::unique_ptr<ProbeScope> view;
};

}  // namespace

TEST_F(ScopeViewTest, EachPingDrawsItsBarsAndAPassiveChannelHoldsThePicture)
{
    fake.echoes = {{20, 0}, {40, static_cast<std::int16_t>(-5952 + 256)}};
    Ping();
    EXPECT_EQ(view->GetCopiedPings(), 1u);
    QImage shot = Shot();
    EXPECT_EQ(BarLength(shot, 20), 97) << "the longest bar but for the centre line";
    EXPECT_EQ(At(shot, 10, 20), 171);
    EXPECT_EQ(BarLength(shot, 40), 7);
    EXPECT_EQ(At(shot, 55, 60), 79) << "centre line";
    EXPECT_EQ(At(shot, 10, 60), 78);

    // The echo moves; a passive channel's pings leave the last picture.
    fake.echoes = {{30, 0}};
    scope.transceiverMode = 1;
    Ping();
    EXPECT_EQ(view->GetCopiedPings(), 1u);
    shot = Shot();
    EXPECT_EQ(BarLength(shot, 20), 97);
    EXPECT_EQ(BarLength(shot, 30), 0);
    scope.transceiverMode = 0;
    Ping();
    shot = Shot();
    EXPECT_EQ(BarLength(shot, 20), 0);
    EXPECT_EQ(BarLength(shot, 30), 97);

    // A pane below 15 pixels takes no ping and draws nothing.
    Resize(*view, kWidth, 10);
    EXPECT_TRUE(view->IsTooSmall());
    const int copies = view->copies;
    Ping();
    EXPECT_EQ(view->GetCopiedPings(), 2u);
    view->grab();
    EXPECT_EQ(view->copies, copies);
}

TEST_F(ScopeViewTest, SlopeEchogramShowsTheCircleAndTheSlopeLineOnlyWithAnAngle)
{
    doc.m_rangeReference = CEchogramDoc::SLOPE;
    Ping();
    const int cx = kWidth / 2, cy = kHeight / 2, r = std::min(cx, cy) - 2;
    // A point of the line at 30 degrees, halfway out.
    const int lx = cx + static_cast<int>(r / 2 * std::cos(30 * 3.14 / 180));
    const int ly = cy - static_cast<int>(r / 2 * std::sin(30 * 3.14 / 180));
    auto near = [](const QImage& shot, int x, int y, int index) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (At(shot, x + dx, y + dy) == index)
                    return true;
        return false;
    };
    QImage shot = Shot();
    EXPECT_EQ(At(shot, cx, cy - r / 2), 79) << "vertical diameter";
    EXPECT_EQ(At(shot, cx - r / 2, cy), 79) << "horizontal diameter";
    EXPECT_TRUE(near(shot, cx + static_cast<int>(r * 0.7071), cy - static_cast<int>(r * 0.7071), 79)) << "circle";
    EXPECT_FALSE(near(shot, lx, ly, 79)) << "no valid slope, no line";
    EXPECT_EQ(BarLength(shot, cy), 0) << "no A-scope";

    scope.haveAngle = true;
    scope.angle = 30.0;
    Ping();
    shot = Shot();
    EXPECT_TRUE(near(shot, lx, ly, 79));
    EXPECT_TRUE(near(shot, 2 * cx - lx, 2 * cy - ly, 79)) << "through the centre";
}

TEST_F(ScopeViewTest, PlainRightClickTogglesThePanelWhoseLinesFollowTheModel)
{
    // Modifiers that hand the click on: nothing changes.
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::ShiftModifier, QPoint(20, 20));
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::ControlModifier, QPoint(20, 20));
    EXPECT_FALSE(view->IsInfoPanelShown());
    QMouseEvent withLeft(QEvent::MouseButtonPress, QPointF(20, 20), QPointF(20, 20), Qt::RightButton,
                         Qt::RightButton | Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &withLeft);
    EXPECT_FALSE(view->IsInfoPanelShown());
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    ASSERT_TRUE(view->IsInfoPanelShown());

    Resize(*view, 300, kHeight);
    fake.echoes = {{20, 0}};
    Ping();
    EXPECT_GT(scope.infoReads, 0) << "the receiver amplitude at 100 m";
    const QImage plain = Shot();
    EXPECT_EQ(BarLength(plain, 20), 0) << "the panel replaces the A-scope";
    const int plainRows = RowsWith(plain, 79, 0, 300);
    EXPECT_GT(plainRows, 20) << "text written in the line colour";

    // QYNVU adds the noise factor line; a split beam adds the two angles.
    SViewContext nvu;
    nvu.model = SounderModel::QYNVU;
    view = Make(nvu);
    Resize(*view, 300, kHeight);
    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    Ping();
    const int nvuRows = RowsWith(Shot(), 79, 0, 300);
    EXPECT_GT(nvuRows, plainRows);
    scope.beamType = 1;
    scope.bottom = true;
    Ping();
    EXPECT_GT(RowsWith(Shot(), 79, 0, 300), nvuRows);

    QTest::mouseClick(view.get(), Qt::RightButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_FALSE(view->IsInfoPanelShown());
}

TEST_F(ScopeViewTest, DialogGesturesAndMotionLeavesTheScreenAlone)
{
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_EQ(view->dialogs, 0);
    QTest::mouseClick(view.get(), Qt::LeftButton, Qt::ControlModifier, QPoint(20, 20));
    EXPECT_EQ(view->dialogs, 1);
    QMouseEvent rightOnly(QEvent::MouseButtonDblClick, QPointF(20, 20), QPointF(20, 20), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &rightOnly);
    EXPECT_EQ(view->dialogs, 1);
    QMouseEvent withLeft(QEvent::MouseButtonDblClick, QPointF(20, 20), QPointF(20, 20), Qt::RightButton,
                         Qt::RightButton | Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.get(), &withLeft);
    EXPECT_EQ(view->dialogs, 2);

    fake.echoes = {{20, 0}};
    view->show();
    QApplication::processEvents();
    Ping();
    view->grab();
    const int copies = view->copies;
    EXPECT_GT(copies, 0);
    const std::size_t stride = CDIBSection::RowBytes(kWidth, 8);
    ASSERT_EQ(view->GetSurface()->GetBits()[20 * stride + 100], 171);
    view->GetDebugDialog().SelectMotion();
    fake.echoes = {{30, 0}};
    Ping();
    view->grab();
    EXPECT_EQ(view->copies, copies) << "nothing copied to the screen";
    // The numeric display drew into the surface without clearing it.
    EXPECT_EQ(view->GetSurface()->GetBits()[20 * stride + 100], 171);
}

// The engineering displays, drawn from what each ping copied.
TEST_F(ScopeViewTest, AmplitudeSpansTheDialogLimitsAndCandidatesMarkTheBottomEdge)
{
    CScopeDebugDlg& d = view->GetDebugDialog();
    d.SelectAnalog();
    d.ApplySettings();
    const CScopeDebugSettings::Rect r = d.columns[CScopeDebugSettings::kAmplitude];
    ASSERT_EQ(r.left, 5);
    ASSERT_EQ(r.right, 97);
    Ping();
    // -100 dB on -170 .. 30: 70/200 of the column's width from its left.
    const int x = r.left + 70 * r.Width() / 200;
    QImage shot = Shot();
    EXPECT_EQ(At(shot, x, 60), 193) << "the curve in pen 2";
    EXPECT_EQ(At(shot, r.left, 60), 79) << "the column's edge";

    // Unticked, the column follows its data: flat data has no axis, no curve.
    d.useMaximum = d.useMinimum = 0;
    Ping();
    shot = Shot();
    for (int y = 0; y < kHeight; ++y)
        for (int xx = r.left + 1; xx < r.right; ++xx)
            ASSERT_NE(At(shot, xx, y), 193) << xx << "," << y;

    // A candidate 20 samples below the echo's rising edge is stepped back to
    // it: 1000 samples over 120 rows, so the edge at sample 600 is row 71.
    d.useMaximum = d.useMinimum = 1;
    d.bottomCandidates = 1;
    scope.edge = 600;
    scope.candidate.valid = true;
    scope.candidate.total = 12;
    scope.candidate.start = 620;
    Ping();
    shot = Shot();
    EXPECT_EQ(At(shot, 20, 71), CScopeView::PenIndex(0));
    EXPECT_EQ(At(shot, 90, 71), CScopeView::PenIndex(0));
    // Beyond the samples: no line, and nothing read past them.
    scope.candidate.start = 5000;
    Ping();
    shot = Shot();
    for (int y = 0; y < kHeight; ++y)
        EXPECT_NE(At(shot, 20, y), CScopeView::PenIndex(0)) << y;
}

TEST_F(ScopeViewTest, NumericColumnsShowOnlyTheOutputsTheRecordHolds)
{
    CScopeDebugDlg& d = view->GetDebugDialog();
    d.SelectNumeric();
    d.amplitude = 0;
    d.adOutput[0] = d.adOutput[1] = 1;
    d.ApplySettings();
    const CScopeDebugSettings::Rect ad1 = d.columns[CScopeDebugSettings::kAd1];
    const CScopeDebugSettings::Rect ad2 = d.columns[CScopeDebugSettings::kAd1 + 1];
    ASSERT_LT(ad1.right, ad2.left);
    scope.record.Stride = 1;
    scope.record.Count = 5;
    for (int k = 0; k < 10; ++k)
        scope.record.Words[k] = static_cast<std::int16_t>(0x1230 + k);
    Ping();
    QImage shot = Shot();
    EXPECT_GT(RowsWith(shot, 79, ad1.left, ad1.right), 0);
    EXPECT_EQ(RowsWith(shot, 79, ad2.left, ad2.right), 0) << "one word per sample: AD1 only";
    scope.record.Stride = 2;
    Ping();
    shot = Shot();
    EXPECT_GT(RowsWith(shot, 79, ad2.left, ad2.right), 0);
    // A record that claims more samples than it has words is read no
    // further than its words.
    scope.record.Count = 60000;
    Ping();
    EXPECT_GT(RowsWith(Shot(), 79, ad2.left, ad2.right), 0);

    // A pane too low for one line draws no column at all.
    d.amplitude = 1;
    d.ApplySettings();
    Resize(*view, kWidth, 30);
    Ping();
    shot = Shot();
    EXPECT_EQ(RowsWith(shot, 79, 0, kWidth), 0);
}

// The channel refuses sample reads for a slope or side-scan window; the
// displays read those echograms' channel from the surface.
TEST_F(ScopeViewTest, DebugDisplaysOfSlopeAndSidescanEchogramsReadTheSurface)
{
    SetFatalErrorHandler([](const std::string& text) { throw std::runtime_error(text); });
    view->SetChannelAccess(nullptr);  // the real channel
    CScopeDebugDlg& d = view->GetDebugDialog();
    d.adOutput[0] = 1;
    d.alongship = 1;
    d.bottomCandidates = 1;
    d.ApplySettings();
    for (int reference : {int(CEchogramDoc::SLOPE), int(CEchogramDoc::SIDESCAN)}) {
        for (bool analog : {true, false}) {
            SCOPED_TRACE(reference);
            doc.m_rangeReference = reference;
            if (analog)
                d.SelectAnalog();
            else
                d.SelectNumeric();
            EXPECT_NO_THROW({
                Ping();
                view->grab();
            });
        }
    }
    SetFatalErrorHandler({});
}

// The wide-band columns of a stub unit's traces: each curve in its pen on
// the dialog's limits, the two of a column on their common range.
TEST_F(ScopeViewTest, WideBandColumnsDrawTheirCurves)
{
    Resize(*view, 400, kHeight);
    CScopeDebugDlg& d = view->GetDebugDialog();
    d.SelectAnalog();
    d.amplitude = 0;
    d.nvuReal = 1;
    d.nvuCurrent = 1;
    d.ApplySettings();
    scope.traceLength = 500;
    Ping();
    const QImage shot = Shot();
    const CScopeDebugSettings::Rect real = d.columns[CScopeDebugSettings::kNvuReal];
    // -20 and -60 dB on -170 .. 30.
    EXPECT_EQ(At(shot, real.left + 150 * real.Width() / 200, 60), CScopeView::PenIndex(2)) << "second trace";
    EXPECT_EQ(At(shot, real.left + 110 * real.Width() / 200, 60), CScopeView::PenIndex(3)) << "first trace";
    const CScopeDebugSettings::Rect current = d.columns[CScopeDebugSettings::kNvuCurrent];
    EXPECT_GT(current.left, real.right);
    int curve = 0;
    for (int x = current.left + 1; x < current.right; ++x)
        curve += At(shot, x, 60) == CScopeView::PenIndex(2) ? 1 : 0;
    EXPECT_GT(curve, 0);

    // No samples: the columns keep their edges and draw no curve.
    scope.traceLength = 0;
    Ping();
    const QImage empty = Shot();
    EXPECT_EQ(At(empty, real.left, 60), 79);
    for (int x = real.left + 1; x < real.right; ++x)
        ASSERT_NE(At(empty, x, 60), CScopeView::PenIndex(2)) << x;
}
