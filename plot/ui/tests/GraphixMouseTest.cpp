#include "plot/ui/Graphix.h"

#include "plot/ui/GraphView.h"
#include "plot/ui/tests/PlotTestSupport.h"

#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

namespace {

using Pts = std::vector<std::pair<double, double>>;

// A plot window of 400 x 300 pixels over x 0..400 and y 0..300, with the
// points view hidden: the point (x, 300 - y) lies on the pixel (x, y).
class GraphixMouseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view.ShowPointsWindow(false);
        view.resize(415, 315);
        view.show();
        graphix = view.GetGraphix();
        ASSERT_EQ(graphix->size(), QSize(400, 300));
        view.SetAxisRanges(0, 400, 0, 300, 1);
        view.SetRangeOptions(plot::DF_MARKERS, 0);
    }
    void Click(QPoint at) { QTest::mouseClick(graphix, Qt::LeftButton, {}, at); }
    void Drag(QPoint from, QPoint to)
    {
        QTest::mousePress(graphix, Qt::LeftButton, {}, from);
        QTest::mouseMove(graphix, (from + to) / 2);
        QTest::mouseMove(graphix, to);
        QTest::mouseRelease(graphix, Qt::LeftButton, {}, to);
    }
    Pts Points(int slot) const
    {
        Pts out;
        for (const CPlotPoint& p : view.GetGraph(slot)->Points())
            out.emplace_back(p.x, p.y);
        return out;
    }
    std::map<int, QAction*> MenuActions(QMenu& menu)
    {
        std::map<int, QAction*> out;
        for (QAction* a : menu.actions()) {
            if (a->menu()) {
                for (auto [id, sub] : MenuActions(*a->menu()))
                    out[id] = sub;
            } else if (!a->isSeparator()) {
                out[a->data().toInt()] = a;
            }
        }
        return out;
    }

    QApplication& app = plottest::QtApp();  // before any widget
    CGraphView view;
    CGraphix* graphix = nullptr;
};

TEST_F(GraphixMouseTest, TheFirstEditModeChangesNoData)
{
    EXPECT_EQ(graphix->GetEditMode(), plot::EM_ZOOM);
}

TEST_F(GraphixMouseTest, DeleteTakesAPointThreePixelsAwayNotFour)
{
    view.AddGraph(0, false, "c", 0);
    view.AddPoint(0, 100, 200, 0, 0, -1, 1);  // pixel (100, 100)
    view.SetDeleteMode();
    Click({104, 100});
    Click({100, 96});
    EXPECT_EQ(Points(0).size(), 1u);
    Click({103, 100});
    EXPECT_TRUE(Points(0).empty());
    EXPECT_EQ(view.Undo(), 0);
    EXPECT_EQ(Points(0), (Pts{{100, 200}}));
}

TEST_F(GraphixMouseTest, DragMovesThePointAndOneUndoPutsItBack)
{
    auto* pane = new plottest::RecordingPane;
    view.SetPointsPane(pane, pane);
    view.ShowPointsWindow(true);
    graphix = view.GetGraphix();
    view.SetAxisRanges(0, graphix->width(), 0, graphix->height(), 1);
    const int h = graphix->height();
    view.AddGraph(0, false, "c", 0);
    view.AddPoint(0, 100, h - 100.0, 0, 0, -1, 1);
    view.AddPoint(0, 200, h - 100.0, 0, 0, -1, 1);
    view.SetPickMode();
    pane->heard.clear();
    Drag({101, 101}, {150, 60});
    EXPECT_EQ(Points(0), (Pts{{150, h - 60.0}, {200, h - 100.0}}));
    // The list hears of the drag's moves without list updates, then one with.
    ASSERT_FALSE(pane->heard.empty());
    EXPECT_EQ(pane->heard.front(), "3 0 0 0 0");
    EXPECT_EQ(pane->heard.back(), "3 0 0 0 1");
    EXPECT_EQ(view.GetUndoCount(), 1u);
    EXPECT_EQ(view.Undo(), 0);
    EXPECT_EQ(Points(0), (Pts{{100, h - 100.0}, {200, h - 100.0}}));
}

TEST_F(GraphixMouseTest, DragInASortedCurveKeepsHoldOfItsPoint)
{
    view.AddGraph(0, false, "sorted", 0, true);
    for (double x : {100.0, 150.0, 200.0})
        view.AddPoint(0, x, 200, 0, 0, -1, 1);
    view.SetPickMode();
    Drag({100, 100}, {250, 90});  // past both others
    EXPECT_EQ(Points(0), (Pts{{150, 200}, {200, 200}, {250, 210}}));
    view.Undo();
    EXPECT_EQ(Points(0), (Pts{{100, 200}, {150, 200}, {200, 200}}));
}

TEST_F(GraphixMouseTest, AddGoesBeforeTheFirstPointBelowTheClick)
{
    view.AddGraph(0, false, "profile", 0);
    for (double y : {300.0, 250.0, 200.0})  // pixels 0, 50, 100 down
        view.AddPoint(0, 100, y, 0, 0, -1, 1);
    view.SetAddMode();
    Click({120, 70});  // value 230
    EXPECT_EQ(Points(0), (Pts{{100, 300}, {100, 250}, {120, 230}, {100, 200}}));
    Click({130, 150});
    EXPECT_EQ(Points(0).back(), (std::pair<double, double>{130, 150}));
    EXPECT_EQ(view.GetUndoCount(), 2u);
}

TEST_F(GraphixMouseTest, EditingModesNeedACurveInSlotZero)
{
    view.AddGraph(0, false, "first", 0);
    view.AddGraph(0, false, "second", 0);
    view.AddPoint(1, 100, 200, 0, 0, -1, 1);
    view.RemoveGraph(0, 0);
    for (int mode : {plot::EM_DELETE, plot::EM_PICK, plot::EM_ADD}) {
        graphix->SetEditMode(mode);
        Drag({100, 100}, {120, 120});
    }
    EXPECT_EQ(Points(1), (Pts{{100, 200}}));
    EXPECT_EQ(view.GetUndoCount(), 0u);
}

TEST_F(GraphixMouseTest, BandZoomsTheSameAreaWhicheverWayItIsDrawn)
{
    view.SetZoomMode();
    Click({50, 50});
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{0, 400, 0, 300}));
    EXPECT_EQ(view.GetUndoCount(), 0u);

    Drag({40, 60}, {240, 160});
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{40, 240, 140, 240}));
    EXPECT_FALSE(graphix->IsTrackerActive());
    view.Undo();
    Drag({240, 160}, {40, 60});
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{40, 240, 140, 240}));
    graphix->OnCommand(plot::ID_GRAPH_BACK);
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{0, 400, 0, 300}));
}

TEST_F(GraphixMouseTest, PanShiftsTheRangesAndUndoReturnsThem)
{
    view.SetPanMode();
    Drag({100, 100}, {130, 80});
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{-30, 370, -20, 280}));
    EXPECT_EQ(view.Undo(), 0);
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{0, 400, 0, 300}));
}

TEST_F(GraphixMouseTest, TrackerMovesWithTheMouseAndADoubleClickZoomsToIt)
{
    view.SetZoomMode();
    graphix->OnCommand(plot::ID_GRAPH_TRACKER);
    ASSERT_TRUE(graphix->IsTrackerActive());
    EXPECT_EQ(graphix->GetTracker().GetRect(), QRect(QPoint(5, 5), QPoint(49, 49)));
    Click({300, 200});  // outside: nothing
    EXPECT_TRUE(graphix->IsTrackerActive());
    Drag({25, 25}, {125, 75});  // inside: moves it
    EXPECT_EQ(graphix->GetTracker().GetRect(), QRect(QPoint(105, 55), QPoint(149, 99)));
    Drag({149, 99}, {199, 149});  // the bottom right handle
    EXPECT_EQ(graphix->GetTracker().GetRect(), QRect(QPoint(105, 55), QPoint(199, 149)));
    QTest::mouseDClick(graphix, Qt::LeftButton, {}, {150, 100});
    EXPECT_FALSE(graphix->IsTrackerActive());
    EXPECT_EQ(view.GetAxisRanges(), (CPlotRanges{105, 200, 150, 245}));
}

TEST_F(GraphixMouseTest, TooltipEveryFourthMoveWithValuesAndUnits)
{
    view.SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 0);
    view.SetAxisCaption("Depth", "m", 0, plot::kAxisY, 0);
    for (int i = 0; i < 3; ++i)
        QTest::mouseMove(graphix, {100 + i, 100});
    EXPECT_TRUE(graphix->GetToolTipText().isEmpty());
    QTest::mouseMove(graphix, {150, 120});
    EXPECT_EQ(graphix->GetToolTipText(), QStringLiteral("x=150.0 m/s, y=180 m"));
}

TEST_F(GraphixMouseTest, MenuChecksFollowTheFlagsAndThePointsWindow)
{
    view.SetRangeOptions(plot::DF_GRID, 0);
    {
        std::unique_ptr<QMenu> menu = graphix->BuildContextMenu();
        auto actions = MenuActions(*menu);
        EXPECT_TRUE(actions.at(plot::ID_GRAPH_GRID)->isChecked());
        EXPECT_FALSE(actions.at(plot::ID_GRAPH_MOUSE_TIP)->isChecked());
        EXPECT_FALSE(actions.at(plot::ID_GRAPH_POINTS_WINDOW)->isChecked());
        EXPECT_TRUE(actions.at(plot::ID_GRAPH_PROPERTIES)->isEnabled());
        EXPECT_EQ(actions.at(plot::ID_GRAPH_GRID)->text(), QStringLiteral("Axis"));
        EXPECT_EQ(actions.at(plot::ID_GRAPH_POINTS_WINDOW)->text(), QStringLiteral("Visible"));
        actions.at(plot::ID_GRAPH_MOUSE_TIP)->trigger();
        actions.at(plot::ID_GRAPH_GRID)->trigger();
        actions.at(plot::ID_GRAPH_POINTS_WINDOW)->trigger();
    }
    EXPECT_EQ(view.GetDisplayFlags(), plot::DF_MOUSE_TIP);
    EXPECT_TRUE(view.IsPointsWindowVisible());

    std::unique_ptr<QMenu> menu = graphix->BuildContextMenu();
    auto actions = MenuActions(*menu);
    EXPECT_TRUE(actions.at(plot::ID_GRAPH_MOUSE_TIP)->isChecked());
    EXPECT_FALSE(actions.at(plot::ID_GRAPH_GRID)->isChecked());
    EXPECT_TRUE(actions.at(plot::ID_GRAPH_POINTS_WINDOW)->isChecked());
    actions.at(plot::ID_GRAPH_POINTS_WINDOW)->trigger();
    EXPECT_FALSE(view.IsPointsWindowVisible());
}

// A view whose hook keeps the menu shut and counts the hooked commands.
class HookedView : public CGraphView
{
public:
    bool ContextMenuHook(QMenu& menu) override
    {
        ++menus;
        return open;
    }
    bool CommandHook(int id) override
    {
        commands.push_back(id);
        return true;
    }
    int menus = 0;
    bool open = false;
    std::vector<int> commands;
};

TEST(GraphixMenu, RightButtonOpensTheMenuUnlessTheViewSaysNo)
{
    plottest::QtApp();
    HookedView view;
    view.resize(415, 315);
    view.show();
    CGraphix* graphix = view.GetGraphix();
    QTest::mouseClick(graphix, Qt::RightButton, {}, {100, 100});
    EXPECT_EQ(view.menus, 1);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);

    view.open = true;
    QMenu* shown = nullptr;
    QTimer::singleShot(0, [&shown] {
        shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (shown)
            shown->close();
    });
    QTest::mouseClick(graphix, Qt::RightButton, {}, {100, 100});
    EXPECT_NE(shown, nullptr);

    EXPECT_TRUE(graphix->OnCommand(plot::ID_GRAPH_HOOK_FIRST));
    EXPECT_TRUE(graphix->OnCommand(plot::ID_GRAPH_HOOK_LAST));
    EXPECT_FALSE(graphix->OnCommand(plot::ID_GRAPH_HOOK_LAST + 1));  // not the window's
    EXPECT_EQ(view.commands, (std::vector<int>{40000, 40013}));
}

}  // namespace
