// The echo trace pane's picture, read back as palette indices from its
// surface: the beam at the left edge with the accepted echoes of the last
// pings inside it, the histogram bars by colour threshold, the labels that
// a narrow pane drops, the two pictures of the square pane, and the tool
// tip and label texts of the size scales.
#include "display/ui/EchoTraceView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/ChannelComponents.h"
#include "platform/MessageDispatcher.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

namespace {

struct FakeChannel : IEchoTraceChannel
{
    SingleTargetRecord record;
    CColorScaleSettings scale;
    int beamType = 1;
    double along = 8.0, athwart = 8.0;
    void Set(const std::vector<TSTarget>& targets)
    {
        record = SingleTargetRecord{};
        record.Count = static_cast<std::uint16_t>(targets.size());
        std::copy(targets.begin(), targets.end(), record.Targets.begin());
    }
    int GetSingleTargets(SingleTargetRecord& out) override
    {
        out = record;
        return 1;
    }
    bool GetBottom(double& depth) override
    {
        depth = 100.0;
        return true;
    }
    int GetPingCount() override { return 1; }
    void GetColorScale(CColorScaleSettings& s) override { s = scale; }
    void GetBeam(int& type, double& a, double& b) override
    {
        type = beamType;
        a = along;
        b = athwart;
    }
    CTSDetection* GetDetection() override { return nullptr; }
};

struct Host : IViewHost
{
    int threshold = 0;
    bool tracking = false;
    int GetColourThreshold() const override { return threshold; }
    bool IsTrackingShown() const override { return tracking; }
    double GetFishConstant() const override { return -62.0; }
};

class EchoTraceViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        shelltest::QtApp();
        // TS scale from -60 dB in 3 dB steps.
        channel.scale.SetValueBySelector(2, -60.0);
        channel.scale.SetInterval(3.0);
        program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
        doc.SetEchoTraceChannel(&channel);
        doc.SetCompanion(&echogram);
        // Set, not left to the defaults: they alternate from one document
        // to the next.
        echogram.m_rangeReference = CEchogramDoc::SURFACE;
        echogram.m_start = 10.0;
        echogram.m_range = 10.0;
        echogram.SetViewCount(100);
        MakeView(SounderModel::QY310);
    }
    void Size(int w, int h)
    {
        view->resize(w, h);
        QResizeEvent event(QSize(w, h), QSize());
        QApplication::sendEvent(view.get(), &event);
        view->setAttribute(Qt::WA_PendingResizeEvent, false);
        view->OnInitialUpdate();
    }
    void Ping(const std::vector<TSTarget>& targets)
    {
        channel.Set(targets);
        doc.OnSourceUpdate(1);
    }
    void MakeView(SounderModel model)
    {
        SViewContext context;
        context.host = &host;
        context.model = model;
        view = std::make_unique<CEchoTraceView>(&doc, context);
    }
    int At(int x, int y) const { return view->SurfaceImage().pixelIndex(x, y); }
    // Columns (or rows) of the surface that hold an index.
    int CountIn(int index, int x0, int y0, int x1, int y1) const
    {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                n += At(x, y) == index ? 1 : 0;
        return n;
    }
    // Rows of the title strip.
    static int Title()
    {
        QFont font("Arial");
        font.setPixelSize(13);
        font.setStyleStrategy(QFont::NoAntialias);
        return QFontMetrics(font).height();
    }

    CTestDisplayContext program;
    Host host;
    FakeChannel channel;
    CEchogramDoc echogram{program.Context()};
    CEchoTraceDoc doc{program.Context()};
    std::unique_ptr<CEchoTraceView> view;
};

TSTarget Echo(double depth, double ts, double along, double athwart)
{
    TSTarget t;
    t.Range = depth;
    t.TS = ts;
    t.AlongAngle = along;
    t.AthwartAngle = athwart;
    return t;
}

}  // namespace

TEST_F(EchoTraceViewTest, BeamStandsAtTheLeftEdgeWithItsEchoesInside)
{
    doc.m_presentation = CEchoTraceDoc::kEchoTrace;
    Size(400, 200);
    // Along-ship up, athwart-ship to the right; one echo outside the window.
    Ping({Echo(15.0, -45.0, 3.0, 0.0), Echo(15.0, -45.0, 0.0, -3.0), Echo(25.0, -30.0, 0.0, 0.0)});
    // The beam box: the area below the title, shrunk by 5 on each side; a
    // round beam is as wide as it is high, at the left edge.
    const int H = std::min(Title(), 199);
    int outline = 0, right = 0;
    for (int x = 0; x < 400; ++x)
        for (int y = H; y < 200; ++y)
            if (At(x, y) == CEchoTraceView::kBeamOutline) {
                ++outline;
                right = std::max(right, x);
            }
    ASSERT_GT(outline, 0);
    const int boxHeight = 200 - H - 10;
    EXPECT_EQ(CountIn(CEchoTraceView::kBeamOutline, 0, H, 5, 200), 0);
    EXPECT_GT(CountIn(CEchoTraceView::kBeamOutline, 5, H, 7, 200), 0) << "the ellipse touches the left edge";
    EXPECT_NEAR(right, 5 + boxHeight - 1, 1);
    // The horizontal axis ends at the box's right edge.
    EXPECT_GT(CountIn(CEchoTraceView::kBeamAxes, 5, H, 5 + boxHeight, 200), 0);
    EXPECT_EQ(CountIn(CEchoTraceView::kBeamAxes, 5 + boxHeight + 1, H, 400, 200), 0);
    // Two circles of colour 6 (-45 dB is 15 dB, five steps, above -60),
    // none for the echo outside the window (colour 11).
    EXPECT_GT(CountIn(CEchoTraceView::kFirstEcho + 6, 0, H, 400, 200), 0);
    EXPECT_EQ(CountIn(CEchoTraceView::kFirstEcho + 11, 0, H, 400, 200), 0);
    const int cx = 5 + boxHeight / 2, cy = H + 5 + boxHeight / 2;
    const int b = boxHeight / 2;
    const int dy = static_cast<int>(3.0 * b / 6.0);  // 8 degrees x 0.75
    EXPECT_EQ(At(cx, cy - dy), CEchoTraceView::kFirstEcho + 6) << "the echo 3 degrees ahead";
    EXPECT_EQ(At(cx - dy, cy), CEchoTraceView::kFirstEcho + 6) << "the echo 3 degrees to port";
}

TEST(EchoTraceViewGeometryTest, CirclesOnTheEllipsesEdgeOrInADegenerateBoxAreNotInside)
{
    struct Case
    {
        int dx, dy, r, a, b;
        bool inside;
    };
    const Case cases[] = {
        {0, 0, 5, 10, 10, true},   {0, 8, 2, 20, 10, false},  // reaches the edge along-ship
        {18, 0, 2, 20, 10, false},                            // reaches the edge athwart-ship
        {10, 0, 2, 20, 10, true},  {0, 0, 0, 0, 0, false},    // a box under 2 pixels
        {0, 0, 2, 5, 0, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CEchoTraceView::InsideEllipse(c.dx, c.dy, c.r, c.a, c.b), c.inside)
            << c.dx << " " << c.dy << " " << c.r << " " << c.a << " " << c.b;

    // Beams without widths are round 10 degrees, whatever the type; types
    // above the split beam are round.
    for (int type : {0, 1, 2}) {
        const CEchoTraceView::Beam beam = CEchoTraceView::BeamShape(type, 0.0, 0.0);
        EXPECT_DOUBLE_EQ(beam.a, 10.0);
        EXPECT_DOUBLE_EQ(beam.b, 10.0);
        EXPECT_DOUBLE_EQ(beam.q, 1.0);
    }
    EXPECT_DOUBLE_EQ(CEchoTraceView::BeamShape(1, 4.0, 8.0).q, 2.0);
    EXPECT_DOUBLE_EQ(CEchoTraceView::BeamShape(3, 4.0, 8.0).q, 1.0);
}

TEST_F(EchoTraceViewTest, ColoursBelowTheThresholdAreNotShown)
{
    doc.m_presentation = CEchoTraceDoc::kHistogram;
    host.threshold = 5;
    Size(400, 300);
    // One echo in each bin of 1.5 dB from -60 dB.
    std::vector<TSTarget> all;
    for (int i = 0; i < 24; ++i)
        all.push_back(Echo(15.0, -60.0 + 1.5 * i + 0.1, 0.0, 0.0));
    Ping({});
    Ping(all);
    const CEchoTraceView::Box& P = view->HistogramArea();
    ASSERT_GT(P.Width(), 24);
    for (int c = 0; c <= 12; ++c)
        EXPECT_EQ(CountIn(CEchoTraceView::kFirstBar + c, P.left, P.top, P.right, P.bottom) > 0, c >= 5) << c;

    // Echo outlines: foreground above the threshold, background at it.
    doc.m_presentation = CEchoTraceDoc::kEchoTrace;
    view->GetSurface()->Fill(CEchoTraceView::kBackground);
    Ping({Echo(15.0, -44.0, 0.0, 0.0)});  // colour 6
    EXPECT_GT(CountIn(CEchoTraceView::kForeground, 0, Title(), 400, 300), 0);
    view->GetSurface()->Fill(CEchoTraceView::kBackground);
    Ping({Echo(15.0, -47.0, 0.0, 0.0)});  // colour 5
    EXPECT_GT(CountIn(CEchoTraceView::kFirstEcho + 5, 0, Title(), 400, 300), 0);
    EXPECT_EQ(CountIn(CEchoTraceView::kForeground, 0, Title(), 400, 300), 0);
}

TEST_F(EchoTraceViewTest, ANarrowHistogramHasNoLabels)
{
    doc.m_presentation = CEchoTraceDoc::kHistogram;
    Size(100, 300);
    Ping({});
    Ping({Echo(15.0, -50.0, 0.0, 0.0)});
    const CEchoTraceView::Box& P = view->HistogramArea();
    // The whole drawing area, labels dropped: the bars reach its sides and
    // stop 10 pixels from its bottom.
    EXPECT_EQ(P.left, 0);
    EXPECT_EQ(P.right, 100);
    EXPECT_EQ(P.bottom, 300);
    const int bin6 = 100 / 24 * 6;
    EXPECT_EQ(At(bin6 + 2, 300 - 11), CEchoTraceView::kFirstBar + 3);
    EXPECT_EQ(CountIn(CEchoTraceView::kForeground, 0, 300 - 9, 100, 300), 0) << "no label text below";

    // Wide enough: the plot area is inset and labelled.
    Size(400, 300);
    Ping({Echo(15.0, -50.0, 0.0, 0.0)});
    EXPECT_GT(view->HistogramArea().left, 0);
    EXPECT_GT(CountIn(CEchoTraceView::kForeground, 0, view->HistogramArea().bottom + 6, 400, 300), 0);
}

TEST_F(EchoTraceViewTest, ASquarePaneShowsTheHistogramAboveTheEchoTrace)
{
    doc.m_presentation = CEchoTraceDoc::kBoth;
    const int H = Title();
    Size(300, 300 + H);  // a square below the title
    Ping({});
    Ping({Echo(15.0, -50.0, 0.0, 0.0)});
    const int half = H + 150;
    EXPECT_LE(view->HistogramArea().bottom, half);
    EXPECT_GT(CountIn(CEchoTraceView::kBeamOutline, 0, half, 300, 300 + H), 0);
    EXPECT_EQ(CountIn(CEchoTraceView::kBeamOutline, 0, 0, 300, half - 1), 0);
    // A wide pane puts them side by side.
    Size(600, 200);
    Ping({Echo(15.0, -50.0, 0.0, 0.0)});
    EXPECT_LE(view->HistogramArea().right, 300);
    EXPECT_GT(CountIn(CEchoTraceView::kBeamOutline, 300, 0, 600, 200), 0);
}

TEST_F(EchoTraceViewTest, TrackingDrawsTheLinksBetweenPings)
{
    doc.m_presentation = CEchoTraceDoc::kEchoTrace;
    Size(300, 300);
    auto picture = [&] {
        view->GetSurface()->Fill(CEchoTraceView::kBackground);
        Ping({Echo(15.0, -50.0, -3.0, -3.0)});
        Ping({Echo(15.1, -50.0, 3.0, 3.0)});  // linked to the echo before
        return view->SurfaceImage().copy();
    };
    const QImage plain = picture();
    host.tracking = true;
    const QImage tracked = picture();
    // The line between the two centres crosses the beam's centre.
    const int H = Title();
    const int box = 300 - H - 10;
    const int cx = 5 + box / 2, cy = H + 5 + box / 2;
    EXPECT_NE(plain.pixelIndex(cx, cy), CEchoTraceView::kForeground);
    EXPECT_EQ(tracked.pixelIndex(cx, cy), CEchoTraceView::kForeground);
}

TEST_F(EchoTraceViewTest, TooSmallPanesDrawNothing)
{
    doc.m_presentation = CEchoTraceDoc::kBoth;
    // An index the view never draws with marks what was left untouched.
    const int untouched = 1;
    auto drawn = [&](int w, int h) {
        view->GetSurface()->Fill(untouched);
        Ping({Echo(15.0, -50.0, 0.0, 0.0)});
        return w * h - CountIn(untouched, 0, 0, w, h);
    };
    for (const QSize size : {QSize(9, 40), QSize(40, 9)}) {
        Size(size.width(), size.height());
        SCOPED_TRACE(size.width());
        EXPECT_TRUE(view->IsTooSmall());
        ASSERT_NE(view->GetSurface(), nullptr);
        EXPECT_EQ(drawn(size.width(), size.height()), 0);
        // Nor does the window show the surface.
        view->GetSurface()->Fill(CEchoTraceView::kForeground);
        const QImage shown = view->grab().toImage();
        EXPECT_NE(shown.pixel(2, 2), view->GetColourTable()[CEchoTraceView::kForeground]);
    }
    Size(10, 40);
    EXPECT_FALSE(view->IsTooSmall());
    EXPECT_GT(drawn(10, 40), 0);
}

TEST_F(EchoTraceViewTest, TitleShowsTheCompanionsMeanLayerValueBySounderModel)
{
    // An echogram that integrates a uniform layer, so that its mean layer
    // value is not the 0 of no value.
    struct LayerChannel : CStubEchogramChannel
    {
        bool GetBottomDepth(double& depth) override
        {
            depth = 50.0;
            return true;
        }
        void UpdateDocument(IEchoIntegrator& integrator) override
        {
            std::vector<std::int16_t> sv(1000, static_cast<std::int16_t>(-60.0 * 85.0413592));
            integrator.IntegrateLayers(sv.data(), 1000, 50.0, 0.1, 0.0, 3.0);
        }
    } layerChannel;
    CTestDisplayContext integrating;
    integrating.model = SounderModel::TQ30;
    CEchogramDoc layered(integrating.Context());
    layered.SetEchogramChannel(&layerChannel);
    layered.SetColumnLength(100);
    layered.SetTotalRows(100);
    layered.m_rangeReference = CEchogramDoc::SURFACE;
    layered.m_start = 2.0;
    layered.m_range = 30.0;
    layered.SetViewCount(20);
    for (int i = 0; i < 4; ++i)
        layered.OnSourceUpdate(1);
    const double mean = layered.GetMeanLayerValue();
    ASSERT_GT(mean, 0.0);
    doc.SetCompanion(&layered);

    struct Case
    {
        SounderModel model;
        const char* label;
    };
    for (const Case& c :
         {Case{SounderModel::TQ30, "sA"}, Case{SounderModel::TOTAL, "sA"}, Case{SounderModel::RM30, "Biomass"}}) {
        SCOPED_TRACE(c.label);
        MakeView(c.model);
        Size(300, 200);
        Ping({});
        const int H = Title();
        // The strip as the text would look right-aligned in it.
        QFont font("Arial");
        font.setPixelSize(13);
        font.setStyleStrategy(QFont::NoAntialias);
        char value[32];
        std::snprintf(value, sizeof value, " : %8.1f ", mean);
        const QString text = QString(c.label) + value;
        QImage expected(300, H, QImage::Format_Grayscale8);
        expected.fill(QColor(CEchoTraceView::kBackground, CEchoTraceView::kBackground, CEchoTraceView::kBackground));
        {
            QPainter p(&expected);
            p.setFont(font);
            p.setPen(QColor(CEchoTraceView::kForeground, CEchoTraceView::kForeground, CEchoTraceView::kForeground));
            const QFontMetrics metrics(font);
            p.drawText(300 - metrics.horizontalAdvance(text), metrics.ascent(), text);
        }
        int differ = 0, ink = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < 300; ++x) {
                differ += At(x, y) != qGray(expected.pixel(x, y)) ? 1 : 0;
                ink += At(x, y) == CEchoTraceView::kForeground ? 1 : 0;
            }
        EXPECT_GT(ink, 0);
        EXPECT_EQ(differ, 0);
    }
}

TEST_F(EchoTraceViewTest, ToolTipOfTheBinUnderTheMouse)
{
    doc.m_presentation = CEchoTraceDoc::kHistogram;
    view->show();
    struct Case
    {
        int w, h;
        int sizeScale;
        // Where over the plot area: 0 its left edge, 1 its last column, -1
        // above it (the title strip).
        int where;
        const char* tip;
    };
    const Case cases[] = {
        {400, 300, CEchoTraceDoc::kTs, 0, "-60.0dB"},
        {400, 300, CEchoTraceDoc::kTs, 1, "-24.0dB"},  // bin 24, the top of the scale
        {400, 300, CEchoTraceDoc::kLengthCm, 0, "10  cm"},
        {400, 300, CEchoTraceDoc::kTs, -1, ""},
        {20, 300, CEchoTraceDoc::kTs, 0, ""},  // narrower than its 24 bins
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + " " + std::to_string(c.where));
        doc.m_sizeScale = c.sizeScale;
        // -42 dB, 10 cm at b = -62, at the left edge for the length case.
        channel.scale.SetValueBySelector(2, c.sizeScale == CEchoTraceDoc::kLengthCm ? -42.0 : -60.0);
        Size(c.w, c.h);
        Ping({});
        const CEchoTraceView::Box& P = view->HistogramArea();
        ASSERT_GT(P.Height(), 0);
        const QPoint at(c.where == 1 ? P.right - 1 : P.left, c.where < 0 ? P.top - 1 : (P.top + P.bottom) / 2);
        QToolTip::hideText();
        ASSERT_TRUE(shelltest::WaitFor([] { return !QToolTip::isVisible(); }));
        QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
        QApplication::sendEvent(view.get(), &help);
        if (*c.tip) {
            EXPECT_TRUE(QToolTip::isVisible());
            EXPECT_EQ(QToolTip::text().toStdString(), c.tip);
        } else {
            EXPECT_FALSE(QToolTip::isVisible()) << QToolTip::text().toStdString();
            EXPECT_FALSE(help.isAccepted());
        }
    }
    QToolTip::hideText();
}

TEST_F(EchoTraceViewTest, PaletteQueryRefillsTheSurface)
{
    doc.m_presentation = CEchoTraceDoc::kBoth;
    Size(300, 300);
    Ping({Echo(15.0, -50.0, 0.0, 0.0)});
    ASSERT_LT(CountIn(CEchoTraceView::kBackground, 0, 0, 300, 300), 300 * 300);
    EXPECT_EQ(SendMessage(view->GetSafeHwnd(), CEchoTraceView::WM_QUERYNEWPALETTE, 0, 0), 0);
    EXPECT_EQ(CountIn(CEchoTraceView::kBackground, 0, 0, 300, 300), 300 * 300);
}

TEST_F(EchoTraceViewTest, ACircleThatTouchesTheBeamsEdgeIsNotDrawn)
{
    doc.m_presentation = CEchoTraceDoc::kEchoTrace;
    // A beam box of 100 pixels below the title, 5 pixels in: half axes of
    // 50, circles of radius 6 for the newest ping. A circle touches the
    // ellipse where (|dy| + 6, |dx| + 6) is (30, 40) or (40, 30).
    const int b = 50;
    Size(300, Title() + 10 + 2 * b);
    // The angle of an offset in pixels: a round 8-degree beam is drawn to 6.
    auto angle = [&](int pixels) { return (std::abs(pixels) + 0.5) * 6.0 / b * (pixels < 0 ? -1 : 1); };
    struct Case
    {
        int reach;  // how far beyond touching (pixels, along-ship)
        bool drawn;
    };
    for (const Case& c : {Case{0, false}, Case{1, false}, Case{-1, true}}) {
        SCOPED_TRACE(c.reach);
        // Pings without echoes push the case before out of the pings drawn.
        for (int k = 1; k < CEchoTraceView::kPingsDrawn; ++k)
            Ping({});
        view->GetSurface()->Fill(CEchoTraceView::kBackground);
        // In three quadrants, each of its own colour.
        const int along = 24 + c.reach, across = 34;
        Ping({Echo(12.0, -50.0, angle(along), angle(across)), Echo(13.0, -44.0, angle(-along), angle(-across)),
              Echo(14.0, -38.0, angle(across + c.reach), angle(-24))});
        for (int k : {4, 6, 8})
            EXPECT_EQ(CountIn(CEchoTraceView::kFirstEcho + k, 0, Title(), 300, view->GetHeight()) > 0, c.drawn) << k;
    }
}

TEST(EchoTraceViewTextTest, ToolTipsAndLabelsBySizeScale)
{
    const CEchoTraceView::Box area{10, 10, 260, 100};  // bins of 10 pixels, 25 of them
    // At the right edge: bin 24, the top of the scale (-60 + 12 x 3).
    EXPECT_EQ(CEchoTraceView::TipText(259, area, -60.0, 3.0, CEchoTraceDoc::kTs, -62.0), "-24.0dB");
    EXPECT_EQ(CEchoTraceView::TipText(10, area, -60.0, 3.0, CEchoTraceDoc::kTs, -62.0), "-60.0dB");
    EXPECT_EQ(CEchoTraceView::TipText(25, area, -60.0, 3.0, CEchoTraceDoc::kTs, -62.0), "-58.5dB");
    // A weight of 0.5 kg: length (5e4)^(1/3) cm.
    const double half = -62.0 + 20.0 * std::log10(std::cbrt(50000.0));
    EXPECT_EQ(CEchoTraceView::TipText(10, area, half, 3.0, CEchoTraceDoc::kWeight, -62.0), "0.50kg");
    EXPECT_EQ(CEchoTraceView::TipText(10, area, -62.0 + 20.0, 3.0, CEchoTraceDoc::kLengthCm, -62.0), "10  cm");
    EXPECT_EQ(CEchoTraceView::TipText(10, area, -62.0, 3.0, CEchoTraceDoc::kLengthInch, -62.0), "0.4 in");
    // An area narrower than its bins has no tips.
    EXPECT_EQ(CEchoTraceView::TipText(12, {10, 10, 33, 100}, -60.0, 3.0, CEchoTraceDoc::kTs, -62.0), "");

    EXPECT_EQ(CEchoTraceView::LabelText(1500.0, CEchoTraceDoc::kLengthCm), "XXX  ");
    EXPECT_EQ(CEchoTraceView::LabelText(15.0, CEchoTraceDoc::kLengthInch), "15    ");
    EXPECT_EQ(CEchoTraceView::LabelText(0.5, CEchoTraceDoc::kWeight), "0.50  ");
    EXPECT_EQ(CEchoTraceView::LabelText(2.5, CEchoTraceDoc::kWeight), "2.5   ");
    EXPECT_EQ(CEchoTraceView::LabelText(-42.0, CEchoTraceDoc::kTs), "-42   ");
    EXPECT_DOUBLE_EQ(CEchoTraceView::SizeValue(-42.0, CEchoTraceDoc::kLengthCm, -62.0), 10.0);
}
