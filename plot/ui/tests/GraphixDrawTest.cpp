#include "plot/ui/Graphix.h"

#include "plot/ui/FHRuler.h"
#include "plot/ui/FVRuler.h"
#include "plot/ui/GraphContainer.h"
#include "plot/ui/GraphView.h"
#include "plot/ui/tests/PlotTestSupport.h"

#include <QPaintEvent>

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using plottest::CountColour;
using plottest::PixelsOf;
using plottest::SameColour;

const QRgb kRed = qRgb(255, 0, 0);
const QRgb kBlue = qRgb(0, 0, 255);
const QRgb kWhite = qRgb(255, 255, 255);
const QRgb kBlack = qRgb(0, 0, 0);
constexpr PlotColour kRedCurve = 0x0000FF;

// Records the areas the plot window paints.
class PaintRecorder : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted |= static_cast<QPaintEvent*>(event)->region();
        return false;
    }
    QRegion painted;
};

// A plot window of 400 x 300 pixels over x 0..400 and y 0..300, with the
// points view hidden: the point (x, 300 - y) lies on the pixel (x, y).
class GraphixDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.ShowPointsWindow(false);
        view.resize(400 + 15, 300 + 15);
        view.show();
        graphix = view.GetGraphix();
        ASSERT_EQ(graphix->size(), QSize(400, 300));
        view.SetAxisRanges(0, 400, 0, 300, 1);
    }
    const QImage& Surface() const { return *graphix->GetSurface().GetSurface(); }
    void Sentinel() { graphix->GetSurface().GetSurface()->setPixel(390, 290, kBlue); }
    bool SentinelKept() const { return SameColour(Surface().pixel(390, 290), kBlue); }
    int Curve(bool markers) { return view.AddGraph(kRedCurve, markers, "c", 1); }
    void Add(int slot, double x, double y, int redraw = 0) { view.AddPoint(slot, x, y, redraw, 1, -1, 1); }
    static std::vector<std::string> Square(int cx, int cy)
    {
        std::vector<std::string> out;
        for (int y = cy - 2; y <= cy + 2; ++y)
            for (int x = cx - 2; x <= cx + 2; ++x)
                out.push_back(std::to_string(x) + "," + std::to_string(y));
        return out;
    }

    QApplication& app = plottest::QtApp();  // before any widget
    CGraphView view;
    CGraphix* graphix = nullptr;
};

TEST_F(GraphixDrawTest, MarkersAreFivePixelsSquare)
{
    view.SetRangeOptions(plot::DF_MARKERS, 0);
    const int slot = Curve(false);
    Add(slot, 100, 200);
    graphix->Redraw(false);
    EXPECT_EQ(PixelsOf(Surface(), kRed, QRect(80, 80, 40, 40)), Square(100, 100));
    EXPECT_EQ(CountColour(Surface(), kRed, Surface().rect()), 25);
}

TEST_F(GraphixDrawTest, FirstMarkerFollowsTheFlagTheOthersTheCurve)
{
    view.SetRangeOptions(0, 0);
    const int slot = Curve(true);
    Add(slot, 100, 200);
    Add(slot, 150, 200);
    graphix->Redraw(false);
    EXPECT_TRUE(SameColour(Surface().pixel(125, 100), kRed));  // the line
    EXPECT_TRUE(SameColour(Surface().pixel(125, 101), kWhite));
    EXPECT_TRUE(SameColour(Surface().pixel(148, 98), kRed));   // the second point's marker
    EXPECT_TRUE(SameColour(Surface().pixel(98, 98), kWhite));  // none at the first

    view.SetRangeOptions(plot::DF_MARKERS, 0);
    EXPECT_TRUE(SameColour(Surface().pixel(98, 98), kRed));
}

TEST_F(GraphixDrawTest, PointsOnThePixelOfTheLastDrawnOneAreSkipped)
{
    view.SetRangeOptions(0, 0);
    const int slot = Curve(true);
    Add(slot, 100.2, 200.3);  // pixel (100, 99)
    Add(slot, 100.7, 200.6);  // pixel (100, 99) again: no marker, no line
    graphix->Redraw(false);
    EXPECT_EQ(CountColour(Surface(), kRed, Surface().rect()), 0);

    Add(slot, 200, 200);  // pixel (200, 100)
    graphix->Redraw(false);
    EXPECT_TRUE(SameColour(Surface().pixel(100, 99), kRed));
    EXPECT_TRUE(SameColour(Surface().pixel(98, 97), kWhite));
    EXPECT_EQ(PixelsOf(Surface(), kRed, QRect(198, 98, 5, 5)), Square(200, 100));
}

TEST_F(GraphixDrawTest, GridLinesLieOnTheRulersTicks)
{
    view.SetRangeOptions(plot::DF_GRID, 0);
    graphix->Redraw(false);
    const QImage& image = Surface();
    const auto lines = [&](const CTickLayout& ticks, int across, int along, bool vertical) {
        std::set<int> expected;
        for (double p : ticks.positions) {
            if (p < across)
                expected.insert(static_cast<int>(p));
        }
        std::set<int> found;
        for (int i = 0; i < across; ++i) {
            const QRect line = vertical ? QRect(i, 0, 1, along) : QRect(0, i, along, 1);
            if (CountColour(image, kBlack, line) > along / 4)
                found.insert(i);
        }
        EXPECT_GE(expected.size(), 3u);
        EXPECT_EQ(found, expected);
    };
    CGraphContainer* container = view.GetContainer();
    lines(graphix->GetXScale().Layout(container->GetHRuler()->GetLabelCapacity()), 400, 300, true);
    lines(graphix->GetYScale().Layout(container->GetVRuler()->GetLabelCapacity()), 300, 400, false);
}

TEST_F(GraphixDrawTest, PointAddedAtAnEndDrawsItsSegmentAndCopiesItsRectangle)
{
    view.SetRangeOptions(plot::DF_MARKERS, 0);
    const int slot = Curve(false);
    Add(slot, 100, 200);  // (100, 100)
    Add(slot, 150, 250);  // (150, 50)
    graphix->Redraw(false);
    QCoreApplication::processEvents();
    Sentinel();
    PaintRecorder recorder;
    graphix->installEventFilter(&recorder);
    Add(slot, 200, 280, 1);  // (200, 20)
    QCoreApplication::processEvents();
    graphix->removeEventFilter(&recorder);

    EXPECT_TRUE(SentinelKept());
    EXPECT_TRUE(SameColour(Surface().pixel(175, 35), kRed));  // the new segment
    EXPECT_EQ(PixelsOf(Surface(), kRed, QRect(198, 18, 5, 5)), Square(200, 20));
    EXPECT_EQ(recorder.painted.boundingRect(), QRect(QPoint(146, 16), QPoint(204, 54)));

    // At the front: the segment to point 1.
    view.AddPoint(slot, 50, 290, 1, 1, 0, 1);  // (50, 10)
    EXPECT_TRUE(SentinelKept());
    EXPECT_TRUE(SameColour(Surface().pixel(75, 55), kRed));

    // In between: the whole picture again.
    view.AddPoint(slot, 120, 120, 1, 1, 2, 1);
    EXPECT_FALSE(SentinelKept());
}

TEST_F(GraphixDrawTest, FirstPointOfACurveGetsOnlyItsMarker)
{
    view.SetRangeOptions(plot::DF_MARKERS, 0);
    graphix->Redraw(false);
    const int slot = Curve(false);
    Add(slot, 300, 100, 1);  // (300, 200)
    EXPECT_EQ(PixelsOf(Surface(), kRed, Surface().rect()), Square(300, 200));
}

TEST_F(GraphixDrawTest, AutoRangeMovesTheViolatedEndAndRedrawsAll)
{
    view.SetRangeOptions(plot::DF_AUTO_RANGE, 0);
    const int slot = Curve(false);
    Add(slot, 100, 100);
    graphix->Redraw(false);
    Sentinel();
    Add(slot, 500, 150, 1);
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{0, 500, 0, 300}));
    EXPECT_FALSE(SentinelKept());
    EXPECT_EQ(view.GetContainer()->GetHRuler()->GetLastValue(), 500);

    Sentinel();
    Add(slot, 250, 150, 1);  // inside: drawn in place
    EXPECT_TRUE(SentinelKept());
}

TEST_F(GraphixDrawTest, SameOrUnusableRangesRedrawNothing)
{
    Sentinel();
    view.SetAxisRanges(0, 400, 0, 300, 1);
    EXPECT_TRUE(SentinelKept());
    view.SetAxisRanges(0, std::nan(""), 0, 300, 1);
    view.SetAxisRanges(0, 400, -INFINITY, 300, 1);
    view.SetAxisRanges(-1e308, 1e308, 0, 300, 1);
    view.SetAxisRanges(0, 400, 1e308, -1e308, 1);
    EXPECT_TRUE(SentinelKept());
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{0, 400, 0, 300}));
    view.SetAxisRanges(0, 401, 0, 300, 1);
    EXPECT_FALSE(SentinelKept());
}

TEST_F(GraphixDrawTest, DeepZoomStillDrawsTheLineAcrossTheWindow)
{
    view.SetRangeOptions(0, 0);
    const int slot = Curve(false);
    Add(slot, 0, 150);
    Add(slot, 400, 150);
    // Both points lie some 10^12 pixels outside.
    view.SetAxisRanges(199.9999999, 200.0000001, 0, 300, 0);
    graphix->Redraw(false);
    EXPECT_TRUE(SameColour(Surface().pixel(0, 150), kRed));
    EXPECT_TRUE(SameColour(Surface().pixel(399, 150), kRed));
    EXPECT_EQ(CountColour(Surface(), kRed, Surface().rect()), 400);
}

TEST_F(GraphixDrawTest, FitToDataOnOneDepthAndAFastConstantProfile)
{
    view.SetRangeOptions(plot::DF_MARKERS, 0);
    const int slot = Curve(false);
    Add(slot, 1500, -100);
    view.FitToData();
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{1400, 1700, -100, -100}));
    // One depth: every value on the bottom pixel.
    EXPECT_EQ(graphix->GetYScale().ValueToPixel(-100), 300);
    EXPECT_GT(CountColour(Surface(), kRed, Surface().rect()), 0);

    view.RemoveGraph(slot, 0);
    const int constant = Curve(true);
    for (int depth = 0; depth <= 300; depth += 50)
        Add(constant, 1800, -depth);
    view.FitToData();
    const CPlotRanges r = view.GetAxisRanges();
    EXPECT_EQ(r.x1, 1400);
    EXPECT_GT(r.x2, 1800);
    // Every marker whole in the window.
    for (int depth = 0; depth <= 300; depth += 50) {
        const graphix::CPixel at = graphix::ToPixel(graphix->GetXScale(), graphix->GetYScale(), 1800, -depth);
        const int x = static_cast<int>(at.x);
        const int y = static_cast<int>(at.y);
        EXPECT_EQ(PixelsOf(Surface(), kRed, QRect(x - 2, y - 2, 5, 5)), Square(x, y)) << depth;
    }
}

}  // namespace
