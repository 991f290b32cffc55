#include "plot/ui/GraphView.h"

#include "plot/ui/FHRuler.h"
#include "plot/ui/FVRuler.h"
#include "plot/ui/GraphContainer.h"
#include "plot/ui/GraphSplitter.h"
#include "plot/ui/Graphix.h"
#include "plot/ui/PointList.h"
#include "plot/ui/PointsView.h"
#include "plot/ui/tests/PlotTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

using Heard = std::vector<std::string>;

class GraphViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pane = new plottest::RecordingPane;
        view.SetPointsPane(pane, pane);
        view.resize(600, 400);
        view.show();
    }
    int PaneWidth() const { return view.GetSplitter()->sizes().value(1); }

    QApplication& app = plottest::QtApp();  // before any widget
    CGraphView view;
    plottest::RecordingPane* pane = nullptr;
};

TEST_F(GraphViewTest, PointsPaneIsAtMost180PixelsWide)
{
    EXPECT_EQ(PaneWidth(), 180);
    view.resize(900, 400);
    EXPECT_EQ(PaneWidth(), 180);
    // Dragged wider, the pane comes back to its size at the next resize.
    CGraphSplitter* splitter = view.GetSplitter();
    const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
    splitter->setSizes({100, total - 100});
    view.resize(901, 400);
    EXPECT_EQ(PaneWidth(), 180);
    // Narrower is allowed.
    splitter->setSizes({total - 50, 50});
    view.resize(902, 400);
    EXPECT_GE(PaneWidth(), 50);
    EXPECT_LT(PaneWidth(), 60);
}

TEST_F(GraphViewTest, HidingThePointsWindowGivesThePlotTheWholeWidth)
{
    pane->heard.clear();
    view.ShowPointsWindow(false);
    EXPECT_FALSE(view.IsPointsWindowVisible());
    EXPECT_TRUE(pane->isHidden());
    EXPECT_EQ(view.GetContainer()->width(), view.width());
    view.AddGraph(0, false, "c", 1);
    view.AddPoint(0, 1, 1, 1, 1, -1, 0);
    EXPECT_EQ(pane->heard, (Heard{"5 0 0 0 1"}));

    view.ShowPointsWindow(true);
    EXPECT_TRUE(view.IsPointsWindowVisible());
    EXPECT_FALSE(pane->isHidden());
    EXPECT_EQ(PaneWidth(), 180);
    EXPECT_EQ(pane->heard.back(), "12");
}

TEST_F(GraphViewTest, APlainViewListsItsPointsBesideThePlot)
{
    CGraphView plain;
    plain.resize(600, 400);
    plain.show();
    auto* points = dynamic_cast<CPointsView*>(plain.GetSplitter()->widget(1));
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(plain.GetSplitter()->sizes().value(1), 180);
    plain.AddGraph(0, false, "c", 1);
    plain.AddPoint(0, 1500, -12.5, 1, 1, -1, 0);
    EXPECT_EQ(points->GetList()->GetItemCount(), 1);

    plain.GetGraphix()->OnCommand(plot::ID_GRAPH_POINTS_WINDOW);
    EXPECT_FALSE(plain.IsPointsWindowVisible());
    EXPECT_EQ(plain.GetContainer()->width(), 600);
}

TEST_F(GraphViewTest, CopyPutsTheTextOnTheClipboard)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    view.CopyAsText();
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));  // no curve: left alone

    view.AddGraph(0, false, "Profile", 0);
    view.SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 0);
    view.SetAxisCaption("Depth", "m", 1, plot::kAxisY, 0);
    view.AddPoint(0, 1500, -12.5, 0, 0, -1, 1);
    view.GetGraphix()->OnCommand(plot::ID_GRAPH_COPY);
    EXPECT_EQ(clipboard->text(),
              QStringLiteral("Profile\t\r\nSound velocity, m/s\tDepth, m\r\n1500.0\t-12.5\r\n\t\r\n"));
}

TEST_F(GraphViewTest, AxisFormatsReachTheRulers)
{
    view.SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 1);
    view.SetAxisCaption("Depth", "m", 1, plot::kAxisY, 0);
    FHRuler* h = view.GetContainer()->GetHRuler();
    FVRuler* v = view.GetContainer()->GetVRuler();
    EXPECT_EQ(h->GetCaption(), "m/s");
    EXPECT_EQ(h->toolTip(), QStringLiteral("Sound velocity, m/s"));
    EXPECT_EQ(v->GetCaption(), "m");
    EXPECT_EQ(v->toolTip(), QStringLiteral("Depth, m"));
    view.SetAxisRanges(1400, 1700, -300, 0, 1);
    EXPECT_EQ(h->GetFirstValue(), 1400);
    EXPECT_EQ(v->GetFirstValue(), -300);
}

TEST_F(GraphViewTest, PanesFindTheirView)
{
    EXPECT_EQ(CGraphView::FromChild(pane), &view);
    EXPECT_EQ(CGraphView::FromChild(view.GetGraphix()), &view);
    EXPECT_EQ(CGraphView::FromChild(nullptr), nullptr);
    QWidget stranger;
    EXPECT_EQ(CGraphView::FromChild(&stranger), nullptr);
}

TEST_F(GraphViewTest, ReplacedPointsViewStopsHearing)
{
    auto* second = new plottest::RecordingPane;
    view.SetPointsPane(second, second);
    EXPECT_EQ(view.GetSplitter()->count(), 2);
    view.AddGraph(0, false, "c", 1);
    EXPECT_EQ(second->heard, (Heard{"5 0 0 0 1"}));
}

}  // namespace
