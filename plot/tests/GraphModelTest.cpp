#include "plot/GraphModel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What a pane heard, one line a message: "code slot index newIndex flag" for
// point records, "code axis redraw" and "code x1 x2 y1 y2 flags redraw".
std::string Describe(const CGraphMessage& m)
{
    std::string s = std::to_string(m.code);
    if (const auto* p = std::get_if<CGraphPointRecord>(&m.record)) {
        for (int v : {p->slot, p->index, p->newIndex, p->flag})
            s += " " + std::to_string(v);
    } else if (const auto* a = std::get_if<CGraphAxisRecord>(&m.record)) {
        s += " " + std::to_string(a->axis) + " " + std::to_string(a->redraw);
    } else if (const auto* r = std::get_if<CGraphRangeRecord>(&m.record)) {
        for (double v : {r->ranges.x1, r->ranges.x2, r->ranges.y1, r->ranges.y2})
            s += " " + std::to_string(static_cast<int>(v));
        s += " " + std::to_string(r->displayFlags) + " " + std::to_string(r->redraw);
    }
    return s;
}

class RecordingPane : public IGraphPane
{
public:
    long OnGraphMessage(const CGraphMessage& m) override
    {
        heard.push_back(Describe(m));
        return 0;
    }
    std::vector<std::string> heard;
};

// A plot pane that keeps ranges and flags as the plot window does.
class RecordingPlot : public IGraphPlotPane
{
public:
    long OnGraphMessage(const CGraphMessage& m) override
    {
        heard.push_back(Describe(m));
        if (const auto* r = std::get_if<CGraphRangeRecord>(&m.record)) {
            ranges = r->ranges;
            flags = r->displayFlags;
        }
        return 0;
    }
    CPlotRanges GetAxisRanges() const override { return ranges; }
    unsigned GetDisplayFlags() const override { return flags; }
    void FitToData() override { ++fits; }
    void SetEditMode(int m) override { mode = m; }

    std::vector<std::string> heard;
    CPlotRanges ranges{0, 10, 0, 10};
    unsigned flags = plot::kInitialDisplayFlags;
    int fits = 0;
    int mode = -1;
};

class Model : public CGraphModel
{
public:
    using CGraphModel::SetPointsVisibleFlag;
};

class GraphModelTest : public ::testing::Test
{
protected:
    void SetUp() override { model.SetPanes(&plotPane, &list); }
    void Clear()
    {
        list.heard.clear();
        plotPane.heard.clear();
    }
    using Pts = std::vector<std::pair<double, double>>;
    Pts Points(int slot) const
    {
        Pts out;
        for (const CPlotPoint& p : model.GetGraph(slot)->Points())
            out.emplace_back(p.x, p.y);
        return out;
    }

    Model model;
    RecordingPane list;
    RecordingPlot plotPane;
};

TEST_F(GraphModelTest, SlotsFillFromZeroAndTheThirtyThirdIsRefused)
{
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(model.AddGraph(0, false, "g" + std::to_string(i), 1), i);
    Clear();
    EXPECT_EQ(model.AddGraph(0, false, "extra", 1), -1);
    EXPECT_TRUE(list.heard.empty());
    EXPECT_TRUE(plotPane.heard.empty());

    EXPECT_EQ(model.RemoveGraph(5, 1), 5);
    EXPECT_EQ(list.heard, std::vector<std::string>{"6 5 0 0 1"});
    EXPECT_EQ(model.GetGraphCount(), 31);
    EXPECT_EQ(model.AddGraph(0, false, "again", 0), 5);
    EXPECT_EQ(plotPane.heard.back(), "5 5 0 0 0");
}

TEST_F(GraphModelTest, IterationSkipsEmptySlotsAndEndsAtMinusOne)
{
    for (int i = 0; i < 4; ++i)
        model.AddGraph(0, false, "g", 0);
    model.RemoveGraph(0, 0);
    model.RemoveGraph(2, 0);
    int slot = -7;
    std::vector<int> seen;
    for (CGraphProp* g = model.GetFirstGraph(slot); g; g = model.GetNextGraph(slot))
        seen.push_back(slot);
    EXPECT_EQ(seen, (std::vector<int>{1, 3}));
    EXPECT_EQ(model.GetNextGraph(slot), nullptr);
}

TEST_F(GraphModelTest, EmptySlotsAndRefusedIndicesAnswerMinusOneAndTellNobody)
{
    model.AddGraph(0, false, "g", 0);
    model.AddPoint(0, 1, 1, 0, 0, -1, 1);
    Clear();
    struct Row
    {
        const char* what;
        int result;
    };
    const Row rows[] = {
        {"remove empty slot", model.RemoveGraph(3, 1)},
        {"remove slot 40", model.RemoveGraph(40, 1)},
        {"add to empty slot", model.AddPoint(3, 1, 1, 1, 1, -1, 0)},
        {"add to slot -1", model.AddPoint(-1, 1, 1, 1, 1, -1, 0)},
        {"insert beyond the end", model.AddPoint(0, 1, 1, 1, 1, 2, 0)},
        {"insert at -2", model.AddPoint(0, 1, 1, 1, 1, -2, 0)},
        {"move in empty slot", model.MovePoint(3, 0, 1, 1, 1, 0, 1)},
        {"move beyond the end", model.MovePoint(0, 1, 1, 1, 1, 0, 1)},
        {"delete in empty slot", model.DeletePoint(3, 0, 1, 0)},
        {"delete beyond the end", model.DeletePoint(0, 1, 1, 0)},
        {"delete at -1", model.DeletePoint(0, -1, 1, 0)},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.result, -1) << r.what;
    EXPECT_TRUE(list.heard.empty());
    EXPECT_TRUE(plotPane.heard.empty());
    EXPECT_EQ(model.GetUndoCount(), 0u);
    EXPECT_EQ(Points(0), (Pts{{1, 1}}));
}

TEST_F(GraphModelTest, PointNoticesReachThePanesInOrder)
{
    model.AddGraph(0, false, "g", 1);
    Clear();
    EXPECT_EQ(model.AddPoint(0, 1, 1, 1, 1, -1, 0), 0);
    EXPECT_EQ(model.AddPoint(0, 2, 2, 0, 0, -1, 0), 1);  // list flag 0: plot only
    EXPECT_EQ(model.AddPoint(0, 0, 0, 1, 1, 0, 0), 0);   // inserted in front
    EXPECT_EQ(model.MovePoint(0, 1, 5, 5, 1, 0, 0), 1);
    EXPECT_EQ(model.DeletePoint(0, 2, 0, 0), 2);
    model.NotifyPropertiesChanged(0, 1);
    model.SetAxisCaption("Depth", "m", 1, plot::kAxisY, 1);
    model.UpdatePointsWindow();
    EXPECT_EQ(list.heard, (std::vector<std::string>{"1 0 0 0 1", "1 0 0 0 1", "3 0 1 1 0", "2 0 2 0 0", "9 0 0 0 1",
                                                    "11 0 1", "12"}));
    EXPECT_EQ(plotPane.heard, (std::vector<std::string>{"1 0 0 0 1", "1 0 1 0 0", "1 0 0 0 1", "3 0 1 1 1", "2 0 2 0 0",
                                                        "9 0 0 0 1", "11 0 1"}));
}

TEST_F(GraphModelTest, HiddenPointsWindowHearsOnlyOfCurvesComingAndGoing)
{
    model.SetPointsVisibleFlag(false);
    model.AddGraph(0, false, "g", 1);
    model.AddPoint(0, 1, 1, 1, 1, -1, 0);
    model.MovePoint(0, 0, 2, 2, 1, 0, 1);
    model.DeletePoint(0, 0, 1, 0);
    model.NotifyPropertiesChanged(0, 1);
    model.SetAxisCaption("", "", 3, plot::kAxisX, 1);
    model.UpdatePointsWindow();
    model.RemoveGraph(0, 1);
    EXPECT_EQ(list.heard, (std::vector<std::string>{"5 0 0 0 1", "6 0 0 0 1"}));
    EXPECT_EQ(plotPane.heard.size(), 7u);
}

TEST_F(GraphModelTest, RangesAndOptionsGoToThePlotOnlyWithTheOtherHalfKept)
{
    model.SetAxisRanges(1, 2, 3, 4, 1);
    model.SetRangeOptions(14, 0);
    EXPECT_EQ(plotPane.heard, (std::vector<std::string>{"10 1 2 3 4 11 1", "10 1 2 3 4 14 0"}));
    EXPECT_TRUE(list.heard.empty());
    EXPECT_EQ(model.GetDisplayFlags(), 14u);

    CGraphModel alone;
    alone.SetAxisRanges(1, 2, 3, 4, 1);
    EXPECT_EQ(alone.GetDisplayFlags(), 0u);
    EXPECT_EQ(alone.GetAxisRanges(), CPlotRanges{});
}

TEST_F(GraphModelTest, EditModesAndFitArePassedToThePlot)
{
    model.SetPanMode();
    EXPECT_EQ(plotPane.mode, plot::EM_PAN);
    model.SetDeleteMode();
    EXPECT_EQ(plotPane.mode, plot::EM_DELETE);
    model.FitToData();
    EXPECT_EQ(plotPane.fits, 1);
}

TEST_F(GraphModelTest, UndoReversesEachKindOnTheCurveItCameFrom)
{
    model.AddGraph(0, false, "first", 0);
    model.AddGraph(0, false, "second", 0);
    model.AddPoint(0, 9, 9, 0, 0, -1, 1);
    model.AddPoint(1, 1500.7, -12.9, 0, 0, -1, 1);
    model.AddPoint(1, 1510, -20, 0, 0, -1, 1);
    EXPECT_EQ(model.Undo(), 0);  // nothing to undo
    EXPECT_EQ(Points(1), (Pts{{1500.7, -12.9}, {1510, -20}}));

    model.AddPoint(1, 1520, -30, 1, 1, -1, 0);
    model.MovePoint(1, 0, 1490, -5, 1, 0, 1);
    model.DeletePoint(1, 1, 1, 0);
    plotPane.ranges = {1, 2, 3, 4};
    model.PushUndo({CUndoInfo::RangesChanged, 0, 0, 0, 1400, 1700, -300, 0, 0});
    Clear();

    EXPECT_EQ(model.Undo(), 1);
    EXPECT_EQ(plotPane.heard.back(), "10 1400 1700 -300 0 11 1");
    EXPECT_EQ(model.Undo(), 1);
    EXPECT_EQ(Points(1), (Pts{{1490, -5}, {1510, -20}, {1520, -30}}));
    EXPECT_EQ(list.heard.back(), "1 1 1 0 1");
    EXPECT_EQ(model.Undo(), 1);
    EXPECT_EQ(Points(1), (Pts{{1500.7, -12.9}, {1510, -20}, {1520, -30}}));
    EXPECT_EQ(model.Undo(), 0);
    EXPECT_EQ(Points(1), (Pts{{1500.7, -12.9}, {1510, -20}}));
    EXPECT_EQ(Points(0), (Pts{{9, 9}}));
    EXPECT_EQ(model.GetUndoCount(), 0u);
}

TEST_F(GraphModelTest, UndoOfASortedDragPutsThePointBackWhereItWas)
{
    model.AddGraph(0, false, "sorted", 0, true);
    for (double x : {1.0, 2.0, 3.0, 4.0})
        model.AddPoint(0, x, x, 0, 0, -1, 1);
    // A drag: the first move with undo, the next ones without, each from the
    // index the previous answered.
    int at = model.MovePoint(0, 0, 2.5, 0, 1, 0, 0);
    EXPECT_EQ(at, 1);
    at = model.MovePoint(0, at, 3.5, 0, 1, 1, 0);
    EXPECT_EQ(at, 2);
    at = model.MovePoint(0, at, 5, 7, 1, 1, 1);
    EXPECT_EQ(at, 3);
    EXPECT_EQ(Points(0), (Pts{{2, 2}, {3, 3}, {4, 4}, {5, 7}}));
    EXPECT_EQ(model.Undo(), 0);
    EXPECT_EQ(Points(0), (Pts{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));
}

TEST_F(GraphModelTest, ASortedCurveWithoutDuplicatesLosesNoPointToAnEqualX)
{
    model.AddGraph(0, false, "one per x", 0, true, false);
    for (double x : {1.0, 5.0, 9.0})
        model.AddPoint(0, x, 1, 0, 0, -1, 1);
    Clear();
    // Added on an x the curve has: that point takes the new y, and the list
    // changes the row rather than gaining one.
    EXPECT_EQ(model.AddPoint(0, 5, 2, 1, 1, -1, 0), 1);
    EXPECT_EQ(Points(0), (Pts{{1, 1}, {5, 2}, {9, 1}}));
    EXPECT_EQ(list.heard, (std::vector<std::string>{"3 0 1 1 1"}));
    EXPECT_EQ(plotPane.heard, (std::vector<std::string>{"3 0 1 1 1"}));
    EXPECT_EQ(model.Undo(), 0);
    EXPECT_EQ(Points(0), (Pts{{1, 1}, {5, 1}, {9, 1}}));

    // Moved onto another point's x: refused, both points kept.
    Clear();
    EXPECT_EQ(model.MovePoint(0, 0, 9, 7, 1, 0, 1), -1);
    EXPECT_EQ(model.MovePoint(0, 0, 9, 7, 1, 1, 1), -1);
    EXPECT_EQ(Points(0), (Pts{{1, 1}, {5, 1}, {9, 1}}));
    EXPECT_TRUE(list.heard.empty());
    EXPECT_EQ(model.GetUndoCount(), 0u);
    // Its own x is no other point's.
    EXPECT_EQ(model.MovePoint(0, 2, 7, 1, 1, 0, 1), 2);
    // Nor does Undo move it back onto an x that another point took since.
    model.AddPoint(0, 9, 5, 1, 1, -1, 1);
    EXPECT_EQ(model.Undo(), 0);
    EXPECT_EQ(Points(0), (Pts{{1, 1}, {5, 1}, {7, 1}, {9, 5}}));
}

TEST_F(GraphModelTest, RemovedCurveTakesItsUndoRecordsAlong)
{
    model.AddGraph(0, false, "a", 0);
    model.AddPoint(0, 1, 1, 0, 0, -1, 0);
    model.RemoveGraph(0, 0);
    model.AddGraph(0, false, "b", 0);
    model.AddPoint(0, 2, 2, 0, 0, -1, 1);
    EXPECT_EQ(model.Undo(), 0);
    EXPECT_EQ(Points(0), (Pts{{2, 2}}));
}

TEST_F(GraphModelTest, DataExtentJoinsVisibleCurvesWithPoints)
{
    CPlotExtent e{7, 7, 7, 7};
    EXPECT_FALSE(model.GetDataExtent(e));
    model.AddGraph(0, false, "a", 0);
    model.AddGraph(0, false, "b", 0);
    model.AddGraph(0, false, "hidden", 0);
    EXPECT_FALSE(model.GetDataExtent(e));
    EXPECT_EQ(e.minX, 7);
    model.AddPoint(0, 1500, -10, 0, 0, -1, 1);
    model.AddPoint(1, 1480, -2, 0, 0, -1, 1);
    model.AddPoint(1, 1490, -50, 0, 0, -1, 1);
    model.AddPoint(2, 9999, 9999, 0, 0, -1, 1);
    model.GetGraph(2)->SetVisible(false);
    ASSERT_TRUE(model.GetDataExtent(e));
    EXPECT_EQ(std::make_tuple(e.minX, e.maxX, e.minY, e.maxY), std::make_tuple(1480.0, 1500.0, -50.0, -2.0));
}

TEST_F(GraphModelTest, CopyAsTextOfOneCurve)
{
    EXPECT_EQ(model.BuildCopyText(), "");
    model.AddGraph(0, false, "Profile", 0);
    model.SetAxisCaption("Sound velocity", "m/s", 3, plot::kAxisX, 0);
    model.SetAxisCaption("Depth", "m", 3, plot::kAxisY, 0);
    model.AddPoint(0, 1, 2, 0, 0, -1, 1);
    model.AddPoint(0, 3, 4, 0, 0, -1, 1);
    EXPECT_EQ(model.BuildCopyText(), "Profile\t\r\n"
                                     "Sound velocity, m/s\tDepth, m\r\n"
                                     "1.000\t2.000\r\n"
                                     "3.000\t4.000\r\n"
                                     "\t\r\n");
}

TEST_F(GraphModelTest, CopyAsTextOfUnevenCurvesSkipsHiddenOnes)
{
    model.AddGraph(0, false, "a", 0);
    model.AddGraph(0, false, "hidden", 0);
    model.AddGraph(0, false, "b", 0);
    model.SetAxisCaption("X", "u", 1, plot::kAxisX, 0);
    model.SetAxisCaption("Y", "v", 0, plot::kAxisY, 0);
    model.AddPoint(0, 1.25, -2.5, 0, 0, -1, 1);
    model.AddPoint(1, 5, 5, 0, 0, -1, 1);
    model.AddPoint(2, 3, 4, 0, 0, -1, 1);
    model.AddPoint(2, -0.04, 6.5, 0, 0, -1, 1);
    model.GetGraph(1)->SetVisible(false);
    EXPECT_EQ(model.BuildCopyText(), "a\t\tb\t\r\n"
                                     "X, u\tY, v\tX, u\tY, v\r\n"
                                     "1.2\t-2\t3.0\t4\r\n"
                                     "\t\t-0.0\t6\r\n"
                                     "\t\t\t\r\n");
}

TEST(AxisFormat, SelectorsDecimalsAndUnitsWrittenAsTheyStand)
{
    CAxisFormat f;
    f.SetCaption("Depth 100%");
    f.SetUnit("%s");
    struct Row
    {
        int decimals;
        double value;
        int selector;
        const char* text;
    };
    const Row rows[] = {
        {3, 2.5, 0, "2.500"},
        {3, 2.5, 1, "2.500 %s"},
        {1, -12.25, 2, "Depth 100%: -12.2 %s"},
        {0, 1499.5, 0, "1500"},
        {3, 2.5, 3, ""},
        {3, 2.5, -1, ""},
        {-4, 2.5, 0, "2"},             // clamped to 0
        {14, 0.5, 0, "0.5000000000"},  // clamped to 10
        {3, 1e20, 0, "100000000000000000000.000"},
    };
    for (const Row& r : rows) {
        f.SetDecimals(r.decimals);
        EXPECT_EQ(f.Format(r.value, r.selector), r.text) << r.decimals << " " << r.value << " " << r.selector;
    }
}

}  // namespace
