#include "plot/ui/PointsView.h"

#include "plot/ui/GraphPropertySheet.h"
#include "plot/ui/GraphSplitter.h"
#include "plot/ui/PViewPointCombo.h"
#include "plot/ui/PointEdit.h"
#include "plot/ui/PointList.h"
#include "plot/ui/tests/PlotTestSupport.h"

#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Rows = std::vector<std::string>;

// A plot view with the points view in column 1, axes in m/s and m with one
// decimal, and two curves: "A" in slot 0, kept sorted by velocity, with the
// points (1500, 0), (1501, -10), (1502, -20), and "B" in slot 1 with
// (1490, -5).
struct Plot
{
    Plot()
    {
        view.SetAxisCaption("Sound velocity", "m/s", 1, plot::kAxisX, 0);
        view.SetAxisCaption("Depth", "m", 1, plot::kAxisY, 0);
        points = new CPointsView;
        view.SetPointsPane(points, points);
        view.resize(700, 400);
        view.show();
        view.AddGraph(0x0000FF, true, "A", 1, true);
        view.AddGraph(0x00FF00, true, "B", 1);
        for (const auto& [x, y] : {std::pair{1500.0, 0.0}, {1501.0, -10.0}, {1502.0, -20.0}})
            view.AddPoint(0, x, y, 1, 1, -1, 1);
        view.AddPoint(1, 1490, -5, 1, 1, -1, 1);
    }
    CPointList& List() const { return *points->GetList(); }
    // "depth|velocity" per row.
    Rows ListRows() const
    {
        Rows out;
        for (int row = 0; row < List().GetItemCount(); ++row)
            out.push_back((List().GetItemText(row, 0) + "|" + List().GetItemText(row, 1)).toStdString());
        return out;
    }
    std::vector<int> ComboSlots() const
    {
        std::vector<int> out;
        for (int i = 0; i < points->GetCombo()->count(); ++i)
            out.push_back(points->GetCombo()->itemData(i).toInt());
        return out;
    }
    void Select(int row) { List().SetItemState(row, CListCtrlEx::LVIS_SELECTED, CListCtrlEx::LVIS_SELECTED); }

    QApplication& app = plottest::QtApp();  // before any widget
    CGraphView view;
    CPointsView* points = nullptr;
};

const Rows kRowsOfA{"0.0 m|1500.0 m/s", "10.0 m|1501.0 m/s", "20.0 m|1502.0 m/s"};

TEST(PointsView, CodesTable)
{
    struct Row
    {
        const char* legend;
        std::function<void(CGraphView&, CPointsView&)> act;
        Rows rows;
        int current;
    };
    const Row table[] = {
        {"1: a point of the current curve",
         [](CGraphView& v, CPointsView&) { v.AddPoint(0, 1499, -30, 1, 1, -1, 1); },
         {"30.0 m|1499.0 m/s", "0.0 m|1500.0 m/s", "10.0 m|1501.0 m/s", "20.0 m|1502.0 m/s"},
         0},
        {"1: a point of another curve", [](CGraphView& v, CPointsView&) { v.AddPoint(1, 1499, -30, 1, 1, -1, 1); },
         kRowsOfA, 0},
        {"1 with the list flag 0 reaches no list",
         [](CGraphView& v, CPointsView&) { v.AddPoint(0, 1499, -30, 1, 0, -1, 1); }, kRowsOfA, 0},
        {"2: current",
         [](CGraphView& v, CPointsView&) { v.DeletePoint(0, 1, 1, 1); },
         {"0.0 m|1500.0 m/s", "20.0 m|1502.0 m/s"},
         0},
        {"2: another", [](CGraphView& v, CPointsView&) { v.DeletePoint(1, 0, 1, 1); }, kRowsOfA, 0},
        {"3: current, to another row",
         [](CGraphView& v, CPointsView&) { v.MovePoint(0, 0, 1505, -5, 1, 1, 1); },
         {"10.0 m|1501.0 m/s", "20.0 m|1502.0 m/s", "5.0 m|1505.0 m/s"},
         0},
        {"3: another", [](CGraphView& v, CPointsView&) { v.MovePoint(1, 0, 1505, -5, 1, 1, 1); }, kRowsOfA, 0},
        {"5: a new curve leaves the current one", [](CGraphView& v, CPointsView&) { v.AddGraph(0, false, "C", 1); },
         kRowsOfA, 0},
        {"6: another curve removed", [](CGraphView& v, CPointsView&) { v.RemoveGraph(1, 1); }, kRowsOfA, 0},
        {"6: the current curve removed, one left",
         [](CGraphView& v, CPointsView&) { v.RemoveGraph(0, 1); },
         {"5.0 m|1490.0 m/s"},
         1},
        {"7: current",
         [](CGraphView&, CPointsView& p) {
             p.OnGraphMessage({plot::GN_GRAPH_CLEARED, CGraphPointRecord{0, 0, 0, 1}});
         },
         {},
         0},
        {"7: another",
         [](CGraphView&, CPointsView& p) {
             p.OnGraphMessage({plot::GN_GRAPH_CLEARED, CGraphPointRecord{1, 0, 0, 1}});
         },
         kRowsOfA, 0},
        {"9: changes no row", [](CGraphView& v, CPointsView&) { v.NotifyPropertiesChanged(0, 1); }, kRowsOfA, 0},
        {"11: new formats",
         [](CGraphView& v, CPointsView&) { v.SetAxisCaption("Depth", "ft", 0, plot::kAxisY, 1); },
         {"0 ft|1500.0 m/s", "10 ft|1501.0 m/s", "20 ft|1502.0 m/s"},
         0},
        {"12: refilled from the curve",
         [](CGraphView& v, CPointsView&) {
             v.GetGraph(0)->RemovePoint(0, true);
             v.UpdatePointsWindow();
         },
         {"10.0 m|1501.0 m/s", "20.0 m|1502.0 m/s"},
         0},
    };
    for (const Row& row : table) {
        Plot p;
        ASSERT_EQ(p.ListRows(), kRowsOfA);
        row.act(p.view, *p.points);
        EXPECT_EQ(p.ListRows(), row.rows) << row.legend;
        EXPECT_EQ(p.points->GetCurrentSlot(), row.current) << row.legend;
        std::vector<int> occupied;
        for (int slot = 0; slot < CGraphModel::kMaxGraphs; ++slot) {
            if (p.view.GetGraph(slot))
                occupied.push_back(slot);
        }
        EXPECT_EQ(p.ComboSlots(), occupied) << row.legend;
        EXPECT_EQ(p.points->GetCombo()->itemData(p.points->GetCombo()->currentIndex()).toInt(), row.current)
            << row.legend;
    }
}

TEST(PointsView, LastCurveRemovedEmptiesTheListAndTheNextOneIsSelected)
{
    Plot p;
    p.view.RemoveGraph(1, 1);
    p.view.RemoveGraph(0, 1);
    EXPECT_EQ(p.points->GetCurrentSlot(), -1);
    EXPECT_TRUE(p.ListRows().empty());
    EXPECT_EQ(p.points->GetCombo()->count(), 0);
    EXPECT_EQ(p.points->BuildListMenu(), nullptr);

    const int slot = p.view.AddGraph(0, false, "C", 1);
    p.view.AddPoint(slot, 1480, -2, 1, 1, -1, 1);
    EXPECT_EQ(p.points->GetCurrentSlot(), slot);
    EXPECT_EQ(p.ListRows(), (Rows{"2.0 m|1480.0 m/s"}));
}

TEST(PointsView, AHiddenListHearsOnlyOfCurvesAddedAndRemoved)
{
    Plot p;
    p.view.ShowPointsWindow(false);
    p.view.AddPoint(0, 1499, -30, 1, 1, -1, 1);
    p.view.DeletePoint(0, 0, 1, 1);
    p.view.SetAxisCaption("Depth", "ft", 0, plot::kAxisY, 1);
    EXPECT_EQ(p.ListRows(), kRowsOfA);
    p.view.AddGraph(0, false, "C", 1);
    EXPECT_EQ(p.ComboSlots(), (std::vector<int>{0, 1, 2}));

    p.view.ShowPointsWindow(true);
    EXPECT_EQ(p.ListRows(), (Rows{"0 ft|1500.0 m/s", "10 ft|1501.0 m/s", "20 ft|1502.0 m/s"}));
}

TEST(PointsView, PaintingIsHeldWhileARecordSaysNotToRedraw)
{
    Plot p;
    std::vector<bool> painting;
    QObject::connect(p.List().model(), &QAbstractItemModel::rowsInserted,
                     [&] { painting.push_back(p.points->updatesEnabled()); });
    p.view.AddPoint(0, 1499, -30, 0, 1, -1, 1);  // redraw 0
    p.view.AddPoint(0, 1498, -40, 1, 1, -1, 1);  // redraw 1
    p.view.MovePoint(0, 0, 1497, -40, 1, 1, 0);  // list flag 0
    p.view.MovePoint(0, 0, 1496, -40, 1, 1, 1);  // list flag 1
    EXPECT_EQ(painting, (std::vector<bool>{false, true, false, true}));
    EXPECT_TRUE(p.points->updatesEnabled());
}

TEST(PointsView, SparseSlotsAreSelectedByTheirEntries)
{
    Plot p;
    p.view.AddGraph(0, false, "C", 1);
    p.view.AddPoint(2, 1480, -2, 1, 1, -1, 1);
    p.view.RemoveGraph(1, 1);
    // Entry 1 stands for slot 2.
    p.points->GetCombo()->setCurrentIndex(1);
    EXPECT_EQ(p.points->GetCurrentSlot(), 2);
    EXPECT_EQ(p.ListRows(), (Rows{"2.0 m|1480.0 m/s"}));
}

TEST(PointsView, AFirstUpdateWithoutSlotZeroTakesTheLowestCurve)
{
    plottest::QtApp();
    CGraphView view;
    auto* points = new CPointsView;
    view.SetPointsPane(points, points);
    view.AddGraph(0, false, "A", 1);
    view.AddGraph(0, false, "B", 1);
    view.AddPoint(1, 1490, -5, 1, 1, -1, 1);
    view.RemoveGraph(0, 1);
    view.resize(700, 400);
    view.show();  // the first update: code 12
    EXPECT_EQ(points->GetCurrentSlot(), 1);
    EXPECT_EQ(points->GetCombo()->currentIndex(), 0);
    EXPECT_EQ(points->GetList()->GetItemText(0, 1), QStringLiteral("1490.000 "));
}

TEST(PointsView, ListFollowsItsFormAndTheViewsHeight)
{
    Plot p;
    CPointList& list = p.List();
    EXPECT_EQ(list.GetHighlightMode(), 2);
    EXPECT_FALSE(list.IsSortEnabled());
    EXPECT_FALSE(list.GetHeaderCtrl()->IsDragEnabled());
    EXPECT_EQ(list.GetHeaderCtrl()->count(), 2);
    EXPECT_EQ(list.model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Sound Vel"));
    EXPECT_EQ(list.geometry().bottom() + 1, p.points->height() - 5);
    EXPECT_LT(list.x(), p.points->GetCombo()->x() + 1);
    p.view.resize(700, 60);
    EXPECT_EQ(list.height(), 30);
}

TEST(PointsView, ComboEntriesShowTheCurvesColour)
{
    Plot p;
    CPViewPointCombo* combo = p.points->GetCombo();
    const QImage shot = combo->grab().toImage();
    const QRect field = combo->rect().adjusted(4, 4, -4, -4);
    // Curve A is red (0x0000FF).
    EXPECT_GT(plottest::CountColour(shot, qRgb(255, 0, 0), field), 20);
    EXPECT_EQ(plottest::CountColour(shot, qRgb(0, 255, 0), field), 0);
}

TEST(PointsView, AListOfOneDecimalShowsDepthAndVelocity)
{
    Plot p;
    p.points->GetCombo()->setCurrentIndex(1);
    p.view.AddPoint(1, 1500.0, -12.5, 1, 1, -1, 1);
    EXPECT_EQ(p.List().GetItemText(1, 0), QStringLiteral("12.5 m"));
    EXPECT_EQ(p.List().GetItemText(1, 1), QStringLiteral("1500.0 m/s"));
}

TEST(PointsView, MenusByTheSelection)
{
    Plot p;
    const auto ids = [](QMenu& menu) {
        std::vector<int> out;
        for (QAction* a : menu.actions()) {
            if (!a->isSeparator())
                out.push_back(a->data().toInt());
        }
        return out;
    };
    std::unique_ptr<QMenu> empty = p.points->BuildListMenu();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->objectName(), QStringLiteral("134"));
    EXPECT_EQ(empty->title(), QStringLiteral("Menu for empty list"));
    EXPECT_EQ(ids(*empty), (std::vector<int>{33776, 33791, 33802, 33786, 33787}));
    EXPECT_EQ(empty->actions().front()->text(), QStringLiteral("Add point"));

    p.Select(1);
    std::unique_ptr<QMenu> row = p.points->BuildListMenu();
    EXPECT_EQ(row->objectName(), QStringLiteral("132"));
    EXPECT_EQ(row->title(), QStringLiteral("Point view RB menu"));
    EXPECT_EQ(ids(*row), (std::vector<int>{33773, 33774, 33775, 33776, 33791, 33802, 33786, 33787}));
}

TEST(PointsView, RightButtonSelectsTheRowAndOpensItsMenu)
{
    Plot p;
    QWidget* port = p.List().viewport();
    const QPoint at = p.List().visualRect(p.List().model()->index(2, 0)).center();
    QString shown;
    QTimer::singleShot(0, [&shown] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            shown = menu->objectName();
            menu->close();
        }
    });
    QTest::mousePress(port, Qt::RightButton, {}, at);
    EXPECT_EQ(shown, QStringLiteral("132"));
    EXPECT_EQ(p.List().GetFirstSelected(), 2);
}

TEST(PointsView, AddPointWithoutASelectedRowAppends)
{
    Plot p;
    auto answer = plottest::WhenModal<CPointEdit>([](CPointEdit& d) {
        EXPECT_EQ(d.findChild<QLineEdit*>(QStringLiteral("1007"))->text(), QStringLiteral("0"));
        d.findChild<QLineEdit*>(QStringLiteral("1007"))->setText(QStringLiteral("40"));
        d.findChild<QLineEdit*>(QStringLiteral("1008"))->setText(QStringLiteral("1503.5"));
        d.accept();
    });
    p.points->OnCommand(plot::ID_POINT_INSERT_AFTER);
    EXPECT_EQ(p.ListRows().back(), "40.0 m|1503.5 m/s");
    EXPECT_EQ(p.view.GetGraph(0)->Points().back().y, -40.0);
    EXPECT_EQ(p.view.GetUndoCount(), 1u);
}

TEST(PointsView, InsertBeforeAndAfterTheSelectedRow)
{
    Plot p;
    p.view.AddGraph(0, false, "C", 1);  // unsorted: the place is kept
    p.view.AddPoint(2, 1480, -1, 1, 1, -1, 1);
    p.view.AddPoint(2, 1481, -2, 1, 1, -1, 1);
    p.points->GetCombo()->setCurrentIndex(2);
    p.Select(1);
    const auto insert = [&p](int id, const char* depth) {
        auto answer = plottest::WhenModal<CPointEdit>([depth](CPointEdit& d) {
            d.findChild<QLineEdit*>(QStringLiteral("1007"))->setText(QString::fromLatin1(depth));
            d.findChild<QLineEdit*>(QStringLiteral("1008"))->setText(QStringLiteral("1490"));
            d.accept();
        });
        p.points->OnCommand(id);
    };
    insert(plot::ID_POINT_INSERT_BEFORE, "7");
    EXPECT_EQ(p.ListRows(), (Rows{"1.0 m|1480.0 m/s", "7.0 m|1490.0 m/s", "2.0 m|1481.0 m/s"}));
    p.Select(0);
    insert(plot::ID_POINT_INSERT_AFTER, "8");
    EXPECT_EQ(p.ListRows(), (Rows{"1.0 m|1480.0 m/s", "8.0 m|1490.0 m/s", "7.0 m|1490.0 m/s", "2.0 m|1481.0 m/s"}));
}

TEST(PointsView, EditAndDeleteWithoutASelectedRowDoNothing)
{
    Plot p;
    bool asked = false;
    auto answer = plottest::WhenModal<QDialog>([&asked](QDialog& d) {
        asked = true;
        d.reject();
    });
    p.points->OnCommand(plot::ID_POINT_EDIT);
    p.points->OnCommand(plot::ID_POINT_DELETE);
    QCoreApplication::processEvents();
    EXPECT_FALSE(asked);
    EXPECT_EQ(p.ListRows(), kRowsOfA);
}

TEST(PointsView, DeleteAsksWithNoAsDefault)
{
    Plot p;
    p.Select(1);
    QString text;
    bool noIsDefault = false;
    const auto answer = [&](QMessageBox::StandardButton button) {
        return plottest::WhenModal<QMessageBox>([&, button](QMessageBox& box) {
            text = box.text();
            noIsDefault = box.defaultButton() == box.button(QMessageBox::No);
            box.button(button)->click();
        });
    };
    {
        auto no = answer(QMessageBox::No);
        p.points->OnCommand(plot::ID_POINT_DELETE);
    }
    EXPECT_EQ(text, QStringLiteral("Delete selected point?"));
    EXPECT_TRUE(noIsDefault);
    EXPECT_EQ(p.ListRows(), kRowsOfA);
    EXPECT_EQ(p.view.GetUndoCount(), 0u);

    auto yes = answer(QMessageBox::Yes);
    p.points->OnCommand(plot::ID_POINT_DELETE);
    EXPECT_EQ(p.ListRows(), (Rows{"0.0 m|1500.0 m/s", "20.0 m|1502.0 m/s"}));
    EXPECT_EQ(p.view.GetGraph(0)->GetCount(), 2);
}

TEST(PointsView, EditShowsTheRowRoundedAndMovesThePlotsPoint)
{
    Plot p;
    p.view.SetAxisRanges(1400, 1600, -100, 0, 1);
    p.view.MovePoint(0, 1, 1501.04, -10.46, 1, 1, 1);
    p.Select(1);
    CGraphix* graphix = p.view.GetGraphix();
    QString depth;
    QString velocity;
    auto answer = plottest::WhenModal<CPointEdit>([&](CPointEdit& d) {
        depth = d.findChild<QLineEdit*>(QStringLiteral("1007"))->text();
        velocity = d.findChild<QLineEdit*>(QStringLiteral("1008"))->text();
        d.findChild<QLineEdit*>(QStringLiteral("1007"))->setText(QStringLiteral("47"));
        d.findChild<QLineEdit*>(QStringLiteral("1008"))->setText(QStringLiteral("1547"));
        d.accept();
    });
    p.points->OnCommand(plot::ID_POINT_EDIT);
    EXPECT_EQ(depth, QStringLiteral("10.5"));
    EXPECT_EQ(velocity, QStringLiteral("1501"));
    const CPlotPoint moved = p.view.GetGraph(0)->Points().back();
    EXPECT_EQ(moved.x, 1547.0);
    EXPECT_EQ(moved.y, -47.0);
    EXPECT_EQ(p.ListRows().back(), "47.0 m|1547.0 m/s");
    // The plot shows the point's marker where it went (off the grid lines).
    const graphix::CPixel at = graphix::ToPixel(graphix->GetXScale(), graphix->GetYScale(), 1547.0, -47.0);
    const QImage* surface = graphix->GetSurface().GetSurface();
    EXPECT_TRUE(plottest::SameColour(surface->pixel(static_cast<int>(at.x), static_cast<int>(at.y)), qRgb(255, 0, 0)));
}

TEST(PointsView, APlotDragMovesTheRow)
{
    Plot p;
    p.view.SetAxisRanges(1400, 1600, -100, 0, 1);
    p.view.SetPickMode();
    CGraphix* graphix = p.view.GetGraphix();
    const graphix::CPixel from = graphix::ToPixel(graphix->GetXScale(), graphix->GetYScale(), 1501.0, -10.0);
    const QPoint start(static_cast<int>(from.x), static_cast<int>(from.y));
    const QPoint end = start + QPoint(0, 40);
    QTest::mousePress(graphix, Qt::LeftButton, {}, start);
    QTest::mouseMove(graphix, end);
    QTest::mouseRelease(graphix, Qt::LeftButton, {}, end);
    const CPlotPoint moved = p.view.GetGraph(0)->Points()[1];
    EXPECT_LT(moved.y, -20.0);
    const Rows rows = p.ListRows();
    EXPECT_EQ(rows.size(), 3u);
    EXPECT_EQ(QString::fromStdString(rows[1]).section('|', 0, 0),
              QString::fromStdString(p.view.FormatAxisValue(-moved.y, plot::kAxisY, CAxisFormat::WithUnit)));
}

TEST(PointsView, CopyPutsTheSameTextAsThePlot)
{
    Plot p;
    QClipboard* clipboard = QGuiApplication::clipboard();
    p.view.GetGraphix()->OnCommand(plot::ID_GRAPH_COPY);
    const QString fromPlot = clipboard->text();
    clipboard->setText(QStringLiteral("other"));
    p.points->OnCommand(plot::ID_POINTS_COPY);
    EXPECT_FALSE(fromPlot.isEmpty());
    EXPECT_EQ(clipboard->text(), fromPlot);
}

TEST(PointsView, HideAndRefresh)
{
    Plot p;
    p.view.GetGraph(0)->RemovePoint(2, true);
    p.points->OnCommand(plot::ID_POINTS_REFRESH);
    EXPECT_EQ(p.ListRows().size(), 2u);
    p.points->OnCommand(plot::ID_POINTS_HIDE);
    EXPECT_FALSE(p.view.IsPointsWindowVisible());
    EXPECT_TRUE(p.points->isHidden());
}

TEST(PointsView, PropertiesOpenThePointsWindowSheet)
{
    Plot p;
    QString title;
    int pages = 0;
    auto answer = plottest::WhenModal<CGraphPropertySheet>([&](CGraphPropertySheet& sheet) {
        title = sheet.windowTitle();
        pages = sheet.GetTabs()->count();
        sheet.accept();
    });
    p.points->OnCommand(plot::ID_POINTS_PROPERTIES);
    EXPECT_EQ(title, QStringLiteral("Points window properties"));
    EXPECT_EQ(pages, 2);
}

// Run by CTest a second time under Xvfb: another program reads what the
// points view copied.
TEST(PointsViewX, AnotherProgramReadsTheCopy)
{
    plottest::QtApp();
    const QString xclip = QStandardPaths::findExecutable(QStringLiteral("xclip"));
    if (QGuiApplication::platformName() != QStringLiteral("xcb") || xclip.isEmpty())
        GTEST_SKIP() << "needs an X display and xclip";
    Plot p;
    p.points->OnCommand(plot::ID_POINTS_COPY);
    const QString expected = QString::fromStdString(p.view.BuildCopyText());
    QProcess reader;
    reader.start(xclip, {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
    // The clipboard is served from this event loop while xclip asks.
    EXPECT_TRUE(QTest::qWaitFor([&reader] { return reader.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()), expected);
}

}  // namespace
