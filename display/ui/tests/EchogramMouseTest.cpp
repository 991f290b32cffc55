// The echogram view under the mouse: the wheel, tool tips, clicks, the right
// button's dialogs and the annotation message, on real views with Qt's
// events.
#include "display/ui/EchogramView.h"

#include "app/ui/tests/QtTestSupport.h"
#include "base/AppIds.h"
#include "base/DepthUnit.h"
#include "display/EchogramDoc.h"
#include "display/tests/StubEchogramChannel.h"
#include "display/tests/TempFolder.h"
#include "display/tests/TestDisplayContext.h"
#include "engine/Channel.h"
#include "engine/Slope.h"
#include "platform/MessageBox.h"
#include "sensors/GeographicInfo.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QResizeEvent>
#include <QScreen>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {
constexpr std::int16_t kWeak = -9000;
constexpr std::uint64_t kT0 = 133000000000000000ULL;
constexpr std::uint64_t kSecond = 10000000ULL;
constexpr double kSpeed = 2.0;  // m/s

// Weak samples, with a bottom echo at echoDepth (m) when it is positive.
class WeakChannel : public CStubEchogramChannel
{
public:
    double echoDepth = 0.0;
    bool GetPingSamples(std::int16_t* out, int n, double range, double start, int, int) override
    {
        for (int i = 0; i < n; ++i) {
            const double depth = start + range * i / std::max(1, n);
            out[i] = echoDepth > 0.0 && depth >= echoDepth && depth < echoDepth + 4.0 ? -1200 : kWeak;
        }
        return true;
    }
};

// What the view reads of its channel, and what the wheel sets there. The
// slope history is a real tracker's, fed a depth each ping as the channel
// feeds it before its views update.
struct MouseChannel : IEchogramViewChannel
{
    double bottom = 0.0;  // none while not positive
    std::map<int, double> thresholds;
    CSlope slope;

    void GetColorScale(CColorScaleSettings& scale) override
    {
        for (int selector = 0; selector <= 4; ++selector)
            scale.SetValueBySelector(selector, -20.0);
        scale.SetInterval(2.5);
    }
    bool GetDepth(double& d) override
    {
        d = bottom;
        return bottom > 0.0;
    }
    bool IsSkipping() override { return false; }
    void SetSlopeHistorySize(int columns) override { slope.SetHistorySize(columns); }
    int GetSlopeHalfPointCount() override { return 0; }
    void UpdateSlopeValidity(bool) override {}
    bool GetSlopeAngle(double&) override { return false; }
    bool GetSecondSide(const std::string&, std::vector<std::int16_t>&) override { return false; }
    std::uint64_t GetPingTime() override { return 0; }
    double GetSoundVelocity() override { return 1500.0; }
    double GetThreshold(int selector) override { return thresholds[selector]; }
    void SetThreshold(int selector, double level) override { thresholds[selector] = level; }
    double GetBeamAngle() override { return 7.0; }
    bool IsSlopeEnabled() override { return slope.IsEnabled(); }
    bool GetSlopeHistoryValue(int back, double& value) override { return slope.GetHistoryValue(back, value); }
    double GetSlopeDistance(int a, int b) override { return slope.GetDistance(a, b); }
};

struct FakeEnvironment : IEchogramViewEnvironment
{
    bool fixed = false;
    double interval = 1.0;
    bool simplePinger = false;
    std::vector<int> corrections;
    bool GetFixedInterval(double& seconds) const override
    {
        seconds = interval;
        return fixed;
    }
    void SetFixedInterval(double seconds) override { interval = seconds; }
    bool AddTimingCorrection(int delta) override
    {
        if (!simplePinger)
            return false;
        corrections.push_back(delta);
        return true;
    }
};

// The view as the window system paints it: each paint's region recorded.
class ProbeView : public CEchogramView
{
public:
    using CEchogramView::CEchogramView;
    QRegion painted;

protected:
    void OnDraw(QPainter& painter) override
    {
        painted += PaintRegion();
        CEchogramView::OnDraw(painter);
    }
};

class EchogramMouseTest : public ::testing::Test
{
public:
    void SetUp() override
    {
        shelltest::QtApp();
        CDepthUnit::SetUnit(CDepthUnit::kMeter);
        CChannel::Construction cc;
        cc.SourceName = "T38";
        channel = std::make_unique<CChannel>(cc);
        doc.SetChannel(channel.get());
        doc.SetEchogramChannel(&samples);
        doc.m_rangeReference = CEchogramDoc::SURFACE;
        doc.m_range = doc.m_surfaceRange = 100.0;
        doc.m_start = doc.m_surfaceStart = 0.0;
        doc.m_scale = false;
        program.updateViews = [](CAbstractESDoc& d) { d.UpdateAllViews(); };
        history.sendAnnotation = [this](const std::string& prefix, const std::string& text) {
            sent.push_back(prefix + " " + text);
        };
        context.geographicHistory = &history;
        context.echogramEnvironment = &environment;
        MakeView();
    }
    void MakeView()
    {
        auto made = std::make_unique<ProbeView>(&doc, context);
        probe = made.get();
        view = std::move(made);
        view->SetChannelAccess(&access);
        view->resize(200, 100);
        QResizeEvent event(QSize(200, 100), QSize());
        QApplication::sendEvent(view.get(), &event);
        view->OnInitialUpdate();
    }
    // One ping a second at kSpeed; the slope tracker takes its depth first.
    void Ping(double slopeDepth = 0.0)
    {
        ++pings;
        access.slope.AddPoint(slopeDepth, kSpeed, kT0 + pings * kSecond);
        doc.OnSourceUpdate(1);
    }
    void Wheel(QPoint at, int delta, Qt::KeyboardModifiers keys = {}, Qt::MouseButtons buttons = {})
    {
        QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), buttons, keys, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(view.get(), &event);
    }
    // The picture's pixels of index 255 (the position mark's) in a box.
    int MarkPixels(QRect box) const
    {
        int n = 0;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                n += view->Picture().At(x, y) == 0xFF;
        return n;
    }

    CTestDisplayContext program;
    WeakChannel samples;
    MouseChannel access;
    FakeEnvironment environment;
    CGeographicInfo history;
    std::vector<std::string> sent;
    SViewContext context;
    std::unique_ptr<CChannel> channel;
    CEchogramDoc doc{program.Context()};
    std::unique_ptr<CEchogramView> view;
    ProbeView* probe = nullptr;
    std::uint64_t pings = 0;
    CPaletteControl palettes;

    // The colours the program starts with, for a screenshot that shows what
    // an operator sees (the test's own table is index i as red i).
    void ShowProgramColours()
    {
        palettes.SelectPalette(2);
        SendMessage(view->GetSafeHwnd(), app::WM_ES_BACKGROUNDCOLOR, 2,
                    reinterpret_cast<LPARAM>(palettes.GetLogPalette(2)));
    }
};
}  // namespace

TEST_F(EchogramMouseTest, RightButtonOpensTheSettingsLeftOfTheStripTheRangeOnItAndTheFilterWithCtrlShift)
{
    std::string ran;
    program.settingsDialog = [&](auto&, const CEchogramDoc::DialogOpened&) {
        ran = "settings";
        return IDCANCEL;
    };
    program.rangeDialog = [&](auto&, const CEchogramDoc::DialogOpened&) {
        ran = "range";
        return IDCANCEL;
    };
    program.filterDialog = [&](auto&, const CEchogramDoc::DialogOpened&) {
        ran = "filter";
        return IDCANCEL;
    };
    const Qt::KeyboardModifiers both = Qt::ControlModifier | Qt::ShiftModifier;
    struct Case
    {
        bool rows;
        QPoint at;
        Qt::KeyboardModifiers keys;
        const char* dialog;
    } cases[] = {
        {false, {145, 50}, {}, "settings"}, {false, {146, 50}, {}, "range"},    {false, {180, 50}, {}, "range"},
        {false, {20, 50}, both, "filter"},  {false, {180, 50}, both, "filter"}, {true, {20, 21}, {}, "settings"},
        {true, {20, 20}, {}, "range"},      {true, {20, 21}, both, "filter"},
    };
    for (const Case& c : cases) {
        doc.m_sidescan = c.rows;
        doc.m_rangeReference = c.rows ? CEchogramDoc::SIDESCAN : CEchogramDoc::SURFACE;
        Ping();  // turns the picture
        ran.clear();
        QTest::mouseClick(view.get(), Qt::RightButton, c.keys, c.at);
        EXPECT_EQ(ran, c.dialog) << c.rows << " " << c.at.x() << "," << c.at.y();
    }
}

TEST_F(EchogramMouseTest, AViewDestroyedWhileItsDialogRunsIsNotTouched)
{
    program.settingsDialog = [&](auto&, const CEchogramDoc::DialogOpened&) {
        view.reset();  // the frame torn down by a stop meanwhile
        return IDCANCEL;
    };
    QTest::mousePress(view.get(), Qt::RightButton, {}, QPoint(20, 50));
    EXPECT_EQ(view, nullptr);
    Ping();  // the document goes on without it
}

TEST_F(EchogramMouseTest, WheelOverThePictureMovesTheThresholdOfTheDocumentsSelector)
{
    doc.m_echogramType = CEchogramDoc::SV_20;
    access.thresholds[CEchogramDoc::SV_20] = -99.0;
    Wheel({20, 50}, -120);
    EXPECT_EQ(access.thresholds[CEchogramDoc::SV_20], -99.0);
    Wheel({20, 50}, 120);
    Wheel({20, 50}, 240);  // only the sign counts
    EXPECT_EQ(access.thresholds[CEchogramDoc::SV_20], -97.0);
    EXPECT_EQ(access.thresholds[CEchogramDoc::SS_20], 0.0) << "the other selectors stay";
    EXPECT_EQ(doc.m_range, 100.0);
}

// Each selector's level stays within -99 and 0 dB, and only the document's
// selector moves, in either orientation.
TEST_F(EchogramMouseTest, WheelStopsEachSelectorsThresholdAtMinus99And0)
{
    const int selectors[] = {CEchogramDoc::NOTVG, CEchogramDoc::SV_20, CEchogramDoc::TS_40, CEchogramDoc::SS_20,
                             CEchogramDoc::LOG30};
    struct Step
    {
        double level;
        int delta;
        double expected;
    } steps[] = {
        {-99.0, -120, -99.0}, {-98.0, -120, -99.0}, {-98.5, -120, -99.5}, {-99.5, -120, -99.5},
        {0.0, 120, 0.0},      {-1.0, 120, 0.0},     {-0.5, 120, -0.5},    {-60.0, 120, -59.0},
    };
    for (const bool rows : {false, true}) {
        doc.m_sidescan = rows;
        doc.m_rangeReference = rows ? CEchogramDoc::SIDESCAN : CEchogramDoc::SURFACE;
        Ping();  // turns the picture
        const QPoint at(20, 50);
        for (const int selector : selectors)
            for (const Step& step : steps) {
                for (const int other : selectors)
                    access.thresholds[other] = -30.0;
                doc.m_echogramType = selector;
                access.thresholds[selector] = step.level;
                Wheel(at, step.delta);
                EXPECT_EQ(access.thresholds[selector], step.expected)
                    << rows << " selector " << selector << " from " << step.level << " by " << step.delta;
                for (const int other : selectors)
                    if (other != selector) {
                        EXPECT_EQ(access.thresholds[other], -30.0) << selector << " moved " << other;
                    }
            }
    }
    EXPECT_EQ(doc.m_range, 100.0);
}

TEST_F(EchogramMouseTest, WheelOverTheStripMovesTheWindowUnderTheDocumentsLock)
{
    const QPoint strip(180, 50);
    Wheel(strip, -120);
    EXPECT_EQ(doc.m_range, 150.0);
    EXPECT_EQ(doc.m_surfaceRange, 150.0);
    doc.m_surfaceAutoRange = true;
    Wheel(strip, -120);
    EXPECT_EQ(doc.m_range, 150.0) << "with automatic range the start moves";
    EXPECT_EQ(doc.m_start, 2.0);
    EXPECT_EQ(doc.m_surfaceStart, 2.0);

    doc.m_rangeReference = CEchogramDoc::BOTTOM;
    doc.m_range = 25.0;
    doc.m_start = 15.0;
    Wheel(strip, -120, Qt::ShiftModifier);
    EXPECT_EQ(doc.m_range, 15.0);
    EXPECT_EQ(doc.m_bottomRange, 15.0);
    EXPECT_EQ(doc.m_start, 5.0);
}

TEST_F(EchogramMouseTest, CtrlWheelOverTheStripShiftsASimplePingersPingsAndNothingElse)
{
    const QPoint strip(180, 50);
    environment.simplePinger = true;
    Wheel(strip, 120, Qt::ControlModifier);
    Wheel(strip, -240, Qt::ControlModifier);
    EXPECT_EQ(environment.corrections, (std::vector<int>{120, -240}));
    EXPECT_EQ(doc.m_range, 100.0);
    environment.simplePinger = false;
    Wheel(strip, -120, Qt::ControlModifier);
    EXPECT_EQ(doc.m_range, 150.0) << "without one the wheel moves the window";
}

TEST_F(EchogramMouseTest, LeftButtonWheelStepsTheFixedIntervalButNeverToNothing)
{
    const QPoint strip(180, 50);
    environment.fixed = true;
    environment.interval = 0.0002;
    Wheel(strip, 120, {}, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(environment.interval, 0.00032);
    Wheel(strip, -120, {}, Qt::LeftButton);
    Wheel(strip, -120, {}, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(environment.interval, 0.00008);
    Wheel(strip, -120, {}, Qt::LeftButton);
    EXPECT_DOUBLE_EQ(environment.interval, 0.00008) << "a step to no interval is refused";
    EXPECT_EQ(doc.m_range, 100.0);
    EXPECT_EQ(doc.m_start, 0.0);
}

TEST_F(EchogramMouseTest, ToolTipShowsDepthFootprintAndThreshold)
{
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    access.thresholds[doc.m_echogramType] = -70.0;
    Ping();
    // The counter is shared: start this case right after a tenth call.
    while (CEchogramView::ToolHitCounter() % 10 != 0)
        ++CEchogramView::ToolHitCounter();
    const QPoint at(10, 25);
    QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
    QApplication::sendEvent(view.get(), &help);
    EXPECT_EQ(QToolTip::text(), "25.00 m   3.06 m  -70.0 dB");
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            shelltest::Screenshot(*w, "echogram-tooltip");
    QToolTip::hideText();
    CEchogramInteraction::SToolHit tool;
    EXPECT_EQ(view->OnToolHitTest(QPoint(160, 25), &tool), -1) << "no tool on the strip";
}

TEST_F(EchogramMouseTest, CtrlClickSetsTheMarkerAndTheDragMovesIt)
{
    doc.m_variableDepth = true;
    doc.m_resetRequest = true;  // a picture of background
    Ping();
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::ControlModifier, QPoint(20, 25));
    EXPECT_EQ(doc.m_variableDepthValue, 25.0);
    QMouseEvent move(QEvent::MouseMove, QPointF(30, 40), view->mapToGlobal(QPointF(30, 40)), Qt::NoButton,
                     Qt::LeftButton, Qt::ControlModifier);
    QApplication::sendEvent(view.get(), &move);
    EXPECT_EQ(doc.m_variableDepthValue, 40.0);
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(30, 40));
    QMouseEvent after(QEvent::MouseMove, QPointF(30, 60), view->mapToGlobal(QPointF(30, 60)), Qt::NoButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(view.get(), &after);
    EXPECT_EQ(doc.m_variableDepthValue, 40.0) << "the release ended the drag";

    const QImage shot = view->grab().toImage();
    const QRgb marker = view->GetColourTable()[193];
    EXPECT_EQ(shot.pixel(100, 40), marker) << "the marker line";
    EXPECT_NE(shot.pixel(100, 39), marker);
}

TEST_F(EchogramMouseTest, ShiftClickDrawsTheMeasuringLineFromTheStoredDepthUntilTheRelease)
{
    const int area = 200 - view->GetScaleMargin();
    ASSERT_EQ(area, 146);
    samples.echoDepth = 40.0;
    doc.m_resetRequest = true;
    access.slope.SetHistoryOn(true);
    // The bottom at 40 m, except the ping 45 back from the newest (x = 100)
    // at 50 m.
    for (int k = 0; k < 150; ++k) {
        samples.echoDepth = k == 104 ? 50.0 : 40.0;
        Ping(samples.echoDepth);
    }
    samples.echoDepth = 40.0;
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    QTest::mousePress(view.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 30));
    ASSERT_TRUE(view->IsMeasuring());
    EXPECT_EQ(view->MeasuringStart(), QPoint(100, 50)) << "the row of the stored depth";
    const auto moveTo = [&](QPoint to) {
        QMouseEvent move(QEvent::MouseMove, QPointF(to), view->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                         Qt::ShiftModifier);
        QApplication::sendEvent(view.get(), &move);
    };
    moveTo({120, 60});
    EXPECT_EQ(view->MeasuringEnd(), QPoint(120, 60));
    Ping(40.0);
    EXPECT_EQ(view->MeasuringStart(), QPoint(99, 50)) << "the start moves on with the picture";

    // From the 50 m ping, now 46 back, to 60 m under the end, 25 back: 21
    // pings at 2 m/s, 10 m up.
    const QFontMetrics metrics(view->font());
    const auto drawn = [&] {
        QImage shot = view->grab().toImage();
        const QRgb line = view->GetColourTable()[CPaletteControl::kTextIndex];
        int pixels = 0;
        const QRect box = view->MeasuringTextBox();
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < area; ++x)
                pixels += box.contains(x, y) && shot.pixel(x, y) == line;
        return pixels;
    };
    const int line = drawn();
    EXPECT_EQ(view->MeasuringText(), "42m -10.0m -13.4deg");
    const int width = metrics.horizontalAdvance(view->MeasuringText());
    ASSERT_GT(width + 120, area);
    EXPECT_EQ(view->MeasuringTextBox(), QRect(std::max(0, 120 - width), 60 - metrics.height(), width, metrics.height()))
        << "left of the end point, which is near the strip, its foot on the end's row";
    EXPECT_GT(line, 30) << "the text is drawn there";
    const QImage shot = view->grab().toImage();
    EXPECT_EQ(shot.pixel(99, 50), view->GetColourTable()[CPaletteControl::kTextIndex]) << "the line's start";
    ShowProgramColours();
    shelltest::Screenshot(*view, "echogram-measuring-line");

    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(120, 60));
    EXPECT_FALSE(view->IsMeasuring());

    // Wherever the line ends, its text stays inside the echogram area.
    struct Case
    {
        QPoint press, end;
        const char* text;
        QPoint topLeft;  // x -1: as far left of the end point as it is wide
    } cases[] = {
        {{2, 30}, {10, 60}, "16m -20.0m -51.4deg", {10, 60 - metrics.height()}},
        {{99, 30}, {140, 3}, "82m 47.0m 29.8deg", {-1, 0}},
        {{40, 30}, {50, 60}, "20m -20.0m -45.0deg", {0, 60 - metrics.height()}},
    };
    // The first fits right of its end, the second left of it, the last would
    // start left of x 0.
    ASSERT_LE(10 + metrics.horizontalAdvance(cases[0].text), area);
    ASSERT_GE(140, metrics.horizontalAdvance(cases[1].text));
    ASSERT_GT(metrics.horizontalAdvance(cases[2].text), 50);
    ASSERT_GT(50 + metrics.horizontalAdvance(cases[2].text), area);
    for (const Case& c : cases) {
        QTest::mousePress(view.get(), Qt::LeftButton, Qt::ShiftModifier, c.press);
        moveTo(c.end);
        EXPECT_GT(drawn(), 15) << c.text;
        EXPECT_EQ(view->MeasuringText(), c.text);
        const QRect box = view->MeasuringTextBox();
        const QPoint topLeft(c.topLeft.x() >= 0 ? c.topLeft.x() : c.end.x() - box.width(), c.topLeft.y());
        EXPECT_EQ(box.topLeft(), topLeft) << c.text;
        EXPECT_LE(box.right(), area - 1) << c.text;
        QTest::mouseRelease(view.get(), Qt::LeftButton, {}, c.end);
    }

    QTest::mousePress(view.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(0, 30));
    EXPECT_FALSE(view->IsMeasuring()) << "no stored depth, no line";
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(0, 30));
}

TEST_F(EchogramMouseTest, APingRepaintsTheMarkerLinesBandsAndTheWholeAreaWhileAMeasuringLineShows)
{
    doc.m_variableDepth = true;
    doc.m_variableDepthValue = 25.0;
    access.slope.SetHistoryOn(true);
    // Pings all across the area, under the label too.
    for (int k = 0; k < 150; ++k)
        Ping(50.0);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    Ping();
    ASSERT_TRUE(shelltest::WaitFor([&] { return !view->HasPendingUpdates() && !probe->painted.isEmpty(); }));
    QCoreApplication::processEvents();
    const int area = 200 - view->GetScaleMargin();
    const int band = QFontMetrics(view->font()).height() + 2;
    const auto covered = [&](const QRect& r) { return (QRegion(r) - probe->painted).isEmpty(); };
    const auto pingAndPaint = [&] {
        probe->painted = QRegion();
        Ping();
        view->FlushUpdates();
        return shelltest::WaitFor([&] { return !probe->painted.isEmpty(); });
    };

    // What the window shows, scrolled and repainted in part, against a
    // paint of the whole view.
    const auto showsAsPainted = [&] {
        const auto picture = [&](const QImage& image) {
            return image.convertToFormat(QImage::Format_RGB32).copy(0, 0, area, 100);
        };
        const QImage shown = view->screen()->grabWindow(view->winId()).toImage();
        return shown.size() == QSize(200, 100) && picture(shown) == picture(view->grab().toImage());
    };

    // The picture moves along the line: only the label, which moved with
    // it, is repainted.
    const int label = QFontMetrics(view->font()).horizontalAdvance(QStringLiteral(" 25.00m"));
    ASSERT_TRUE(pingAndPaint());
    EXPECT_TRUE(covered(QRect(0, 25, label, band))) << "the label stays where it is";
    EXPECT_FALSE(covered(QRect(0, 25, area - 1, band))) << "the line moved along itself";
    EXPECT_FALSE(covered(QRect(0, 60, area - 1, 1))) << "not the whole area";
    for (int k = 0; k < 5; ++k)
        ASSERT_TRUE(pingAndPaint());
    EXPECT_TRUE(showsAsPainted()) << "line and label where they were, the picture moved on under them";

    // A value set elsewhere (its dialog): the next ping repaints the old
    // band and the new one.
    doc.m_variableDepthValue = 60.0;
    ASSERT_TRUE(pingAndPaint());
    EXPECT_TRUE(covered(QRect(0, 25, area, band)));
    EXPECT_TRUE(covered(QRect(0, 60, area, band)));
    EXPECT_FALSE(covered(QRect(0, 90, area - 1, 1)));
    EXPECT_TRUE(showsAsPainted()) << "nothing left of the old line";

    QTest::mousePress(view.get(), Qt::LeftButton, Qt::ShiftModifier, QPoint(100, 30));
    ASSERT_TRUE(view->IsMeasuring());
    QCoreApplication::processEvents();
    ASSERT_TRUE(pingAndPaint());
    EXPECT_TRUE(covered(QRect(0, 0, area, 100))) << "the line's start moved with the picture";
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(100, 30));
}

TEST_F(EchogramMouseTest, ClickSendsThePingsPositionAndMarksItWithAnXButNotNearTheTop)
{
    samples.echoDepth = 40.0;
    // Pings across the area, of which the history has the last 60.
    for (int i = 0; i < 90; ++i)
        Ping();
    history.EnsureHistoryLength(200);
    history.ParseNavigationTelegram("$GPGGA,1,5900.0000,N,01000.0000,E", kT0);
    history.ParseNavigationTelegram("$GPGGA,1,5902.0000,N,01002.0000,E", kT0 + 100 * kSecond);
    for (int i = 1; i <= 60; ++i) {
        history.AddPing(kT0 + i * kSecond);
        Ping();
    }
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(100, 29));  // T + 10 is 30
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(MarkPixels(QRect(90, 15, 20, 30)), 0);

    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(100, 60));  // 46 pings back
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "VGR 5900.2800000,1000.2800000,60.00,0") << "the 14th ping's position";
    EXPECT_GT(MarkPixels(QRect(92, 52, 17, 17)), 5) << "the X at the point";
    EXPECT_EQ(MarkPixels(QRect(0, 0, 200, 100)), MarkPixels(QRect(92, 52, 17, 17))) << "and nowhere else";
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    ShowProgramColours();
    shelltest::Screenshot(*view, "echogram-position-mark");
    history.AddPing(kT0 + 61 * kSecond);
    Ping();
    EXPECT_GT(MarkPixels(QRect(91, 52, 17, 17)), 5) << "and it moves on with the picture";

    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(10, 60));
    EXPECT_EQ(sent.size(), 1u) << "a ping the history no longer has";

    // A double click marks the point as well; one of the right button does
    // nothing.
    const auto doubleClick = [&](Qt::MouseButton button, QPoint at) {
        QMouseEvent click(QEvent::MouseButtonDblClick, QPointF(at), view->mapToGlobal(QPointF(at)), button, button, {});
        QApplication::sendEvent(view.get(), &click);
    };
    doubleClick(Qt::RightButton, {120, 80});
    EXPECT_EQ(sent.size(), 1u);
    doubleClick(Qt::LeftButton, {120, 80});  // 26 back: the 35th of 61 pings
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], "VGR 5900.7000000,1000.7000000,80.00,0");
    EXPECT_GT(MarkPixels(QRect(112, 72, 17, 17)), 5);
    doubleClick(Qt::LeftButton, {120, 20});
    EXPECT_EQ(sent.size(), 2u) << "nor near the top";
}

TEST_F(EchogramMouseTest, ClickOnARowSendsItsPositionWithHeadingAcrossTrackAndTheRowsOwnExternalDepth)
{
    doc.m_sidescan = true;
    doc.m_rangeReference = CEchogramDoc::SIDESCAN;
    doc.m_externalDepth = true;
    doc.m_depthSourceName = "T38";
    doc.m_sidescanRange[0] = doc.m_sidescanRange[1] = 200.0;  // x = 150 is 100 m to starboard, x = 20 160 m to port
    history.EnsureHistoryLength(300);
    history.ParseNavigationTelegram("$GPGGA,1,5900.0000,N,01000.0000,E", kT0);
    history.ParseNavigationTelegram("$GPGGA,1,5902.0000,N,01002.0000,E", kT0 + 4 * kSecond);
    history.ParseHeadingTelegram("$HEHDT,90.0,T", kT0);
    history.ParseHeadingTelegram("$HEHDT,100.0,T", kT0 + 4 * kSecond);
    // Two pings the history has and the view never drew.
    history.AddPing(kT0 + kSecond / 10);
    history.AddPing(kT0 + kSecond / 10);
    for (int i = 1; i <= 14; ++i) {
        program.sources = {{"Geo", 5.0}, {"T38 38 kHz", i == 2 ? 60.0 : 28.0}};
        history.AddPing(kT0 + i * kSecond / 4);
        Ping();
    }
    ASSERT_TRUE(view->Picture().IsRowOrientation());
    ASSERT_EQ(view->GetTopMargin(), 20);
    ASSERT_EQ(view->ExternalDepthHistory().size(), 14u);

    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(150, 29));  // T + 10 is 30
    EXPECT_TRUE(sent.empty());

    // Rows count back from the newest, T; twelve back is the second ping,
    // at kT0 + 0.5 s, which had the external depth of 60 m.
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(150, 32));
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "SSG 5900.2500000,1000.2500000,HDT 91.25,80.00,60.00");
    EXPECT_GT(MarkPixels(QRect(142, 24, 17, 17)), 5) << "the X at the point";
    history.AddPing(kT0 + 15 * kSecond / 4);
    Ping();
    EXPECT_GT(MarkPixels(QRect(142, 25, 17, 17)), 5) << "and it moves down with the picture";

    // Eleven back (now twelve) is the third ping, 28 m below, to port.
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(20, 32));
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], "SSG 5900.3750000,1000.3750000,HDT 91.88,-157.53,28.00");

    // Fifteen back the history still has a ping, but the view has no row.
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, QPoint(150, 36));
    EXPECT_EQ(sent.size(), 2u);

    for (int i = 0; i < 250; ++i)
        Ping();
    EXPECT_EQ(view->ExternalDepthHistory().size(), 200u) << "at most max(W, H) rows";
    EXPECT_EQ(view->ExternalDepthHistory().front(), 28.0);
}

TEST_F(EchogramMouseTest, AnnotationMessageMarksTheNextColumnAndWritesAnyText)
{
    doc.m_eventMarker = true;
    const int newest = view->Picture().NewestColumn();
    const std::string texts[] = {"Trawl out", std::string(100 * 1024, 'W'), "bad \xC3\x28 \xFF\xFE utf-8"};
    for (const std::string& text : texts) {
        SendMessage(view->GetSafeHwnd(), app::WM_ES_ANNOTATION, 0, reinterpret_cast<LPARAM>(text.c_str()));
        Ping();
        for (int row = 0; row < 4; ++row)  // the text begins below
            EXPECT_EQ(view->Picture().At(newest, row), 193) << text.size();
    }
    SendMessage(view->GetSafeHwnd(), app::WM_ES_ANNOTATION, 0, 0);
    Ping();
    EXPECT_EQ(view->Picture().At(newest, 50), 193) << "without a text the column is marked";
    Ping();
    EXPECT_EQ(view->Picture().At(newest, 50), 78) << "once";

    doc.m_frozen = true;
    SendMessage(view->GetSafeHwnd(), app::WM_ES_ANNOTATION, 0, 0);
    doc.m_frozen = false;
    Ping();
    EXPECT_EQ(view->Picture().At(newest, 50), 78) << "a frozen document takes none";
}

TEST_F(EchogramMouseTest, AutomaticStartFollowsTheBottomAndKeepsItForADamagedDepth)
{
    const TempFolder folder;
    const std::string log = folder.File("events.log");
    setenv("ZELVAR_EVENTLOG_FILE", log.c_str(), 1);
    doc.m_range = 30.0;
    doc.m_surfaceAutoStart = true;
    access.bottom = 28.0;
    Ping();
    EXPECT_EQ(doc.m_start, 12.0);
    access.bottom = 20000.0;
    Ping();
    Ping();
    EXPECT_EQ(doc.m_start, 12.0) << "kept";
    doc.m_surfaceAutoRange = true;
    access.bottom = 90.0;
    Ping();
    EXPECT_EQ(doc.m_range, 200.0) << "the range follows too: two presets above 100 m";
    unsetenv("ZELVAR_EVENTLOG_FILE");
    std::ifstream in(log);
    std::string line;
    int records = 0;
    while (std::getline(in, line))
        records += line.find("Automatic start kept") != std::string::npos;
    EXPECT_EQ(records, 1) << "one record for the run of damaged pings";
}

TEST_F(EchogramMouseTest, ResizeTellsTheDocumentItsSizeAndFreezesItWhenTooLow)
{
    view->resize(200, 14);
    QResizeEvent event(QSize(200, 14), QSize(200, 100));
    QApplication::sendEvent(view.get(), &event);
    EXPECT_TRUE(doc.m_frozen);
    EXPECT_EQ(doc.GetColumnLength(), 14);
    EXPECT_EQ(doc.GetTotalRows(), 200);
}

// Moving the mouse over an echogram makes its channel's frame the active
// one, with the echogram in focus, however deep in the frame it sits.
TEST(EchogramMouseFocus, TheFrameUnderTheMouseBecomesActive)
{
    shelltest::QtApp();
    // The documents outlive the area, whose frames delete the views.
    CTestDisplayContext program;
    CEchogramDoc docs[2] = {CEchogramDoc(program.Context()), CEchogramDoc(program.Context())};
    QMdiArea area;
    area.resize(800, 400);
    CEchogramView* views[2] = {};
    QMdiSubWindow* frames[2] = {};
    for (int i = 0; i < 2; ++i) {
        // A pane inside the frame, as the channel frames' splitters hold it.
        auto* pane = new QWidget;
        auto* layout = new QVBoxLayout(pane);
        views[i] = new CEchogramView(&docs[i]);
        layout->addWidget(views[i]);
        frames[i] = area.addSubWindow(pane);
        frames[i]->setGeometry(0, i * 180, 700, 160);
        frames[i]->show();
    }
    area.show();
    area.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&area));
    area.setActiveSubWindow(frames[0]);
    ASSERT_EQ(area.activeSubWindow(), frames[0]);
    ASSERT_FALSE(views[1]->hasFocus());

    QTest::mouseMove(views[1], QPoint(50, 40));
    EXPECT_TRUE(shelltest::WaitFor([&] { return area.activeSubWindow() == frames[1]; }));
    EXPECT_TRUE(views[1]->hasFocus());
    QTest::mouseMove(views[0], QPoint(60, 30));
    EXPECT_TRUE(shelltest::WaitFor([&] { return area.activeSubWindow() == frames[0] && views[0]->hasFocus(); }));
}

namespace {
// The widget around an echogram, as a splitter's pane: each paint's region
// recorded.
class PaintedParent : public QWidget
{
public:
    QRegion painted;

protected:
    void paintEvent(QPaintEvent* event) override { painted += event->region(); }
};
}  // namespace

// A moved or resized echogram has the widget around it repainted whole, not
// only the strip the move uncovers.
TEST(EchogramMouseParent, AMoveOrAResizeRepaintsTheParent)
{
    shelltest::QtApp();
    CTestDisplayContext program;
    CEchogramDoc doc(program.Context());
    PaintedParent parent;
    parent.resize(400, 200);
    auto* view = new CEchogramView(&doc, {}, &parent);
    view->setGeometry(10, 10, 200, 100);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    ASSERT_TRUE(shelltest::WaitFor([&] { return !parent.painted.isEmpty(); }));
    QCoreApplication::processEvents();
    const auto repaintedAround = [&] {
        return shelltest::WaitFor(
            [&] { return (QRegion(parent.rect()) - view->geometry() - parent.painted).isEmpty(); });
    };

    parent.painted = QRegion();
    view->move(20, 30);
    EXPECT_TRUE(repaintedAround()) << "moved";
    parent.painted = QRegion();
    view->resize(150, 60);
    EXPECT_TRUE(repaintedAround()) << "resized";
}
