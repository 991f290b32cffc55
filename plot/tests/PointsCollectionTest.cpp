#include "plot/GraphProp.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<std::pair<double, double>> Pairs(const CPointsCollection& c)
{
    std::vector<std::pair<double, double>> out;
    for (const CPlotPoint& p : c.Points())
        out.emplace_back(p.x, p.y);
    return out;
}

using Pts = std::vector<std::pair<double, double>>;

TEST(PointsCollection, SortedAddReplacesOrKeepsAnEqualX)
{
    CPointsCollection replace(true, false);
    replace.AddPoint(3, 0, true);
    replace.AddPoint(7, 0, true);
    EXPECT_EQ(replace.AddPoint(5, 1, true), 1);
    EXPECT_EQ(replace.AddPoint(5, 2, true), 1);
    EXPECT_EQ(Pairs(replace), (Pts{{3, 0}, {5, 2}, {7, 0}}));

    CPointsCollection keep(true, true);
    keep.AddPoint(3, 0, true);
    keep.AddPoint(7, 0, true);
    keep.AddPoint(5, 1, true);
    EXPECT_EQ(keep.AddPoint(5, 2, true), 1);
    EXPECT_EQ(Pairs(keep), (Pts{{3, 0}, {5, 2}, {5, 1}, {7, 0}}));

    // In front, at the end, and between.
    EXPECT_EQ(keep.AddPoint(1, 0, true), 0);
    EXPECT_EQ(keep.AddPoint(9, 0, true), 5);
    EXPECT_EQ(keep.AddPoint(6, 0, true), 4);
}

TEST(PointsCollection, ReplacedDuplicateLeavesTheExtentWideUntilRecomputed)
{
    CPointsCollection c(true, false);
    c.AddPoint(1, 100, true);
    c.AddPoint(2, 0, true);
    c.AddPoint(1, 5, false);
    EXPECT_EQ(c.GetExtent().maxY, 100);
    c.AddPoint(1, 6, true);
    EXPECT_EQ(c.GetExtent().maxY, 6);
}

TEST(PointsCollection, UnsortedAddAppendsWhateverX)
{
    CPointsCollection c(false, false);
    EXPECT_EQ(c.AddPoint(5, 0, true), 0);
    EXPECT_EQ(c.AddPoint(1, 0, true), 1);
    EXPECT_EQ(c.AddPoint(5, 9, true), 2);
    EXPECT_EQ(Pairs(c), (Pts{{5, 0}, {1, 0}, {5, 9}}));
    const CPlotExtent& e = c.GetExtent();
    EXPECT_EQ(std::make_tuple(e.maxX, e.maxY, e.minX, e.minY), std::make_tuple(5.0, 9.0, 1.0, 0.0));
}

TEST(PointsCollection, InsertAtBoundsAndOrder)
{
    CPointsCollection c(false, false);
    c.AddPoint(1, 1, true);
    c.AddPoint(2, 2, true);
    EXPECT_EQ(c.InsertAt(-1, 9, 9, true), -1);
    EXPECT_EQ(c.InsertAt(3, 9, 9, true), -1);
    EXPECT_EQ(c.GetCount(), 2);
    EXPECT_EQ(c.InsertAt(2, 3, 3, true), 2);  // index == count appends
    EXPECT_EQ(c.InsertAt(0, 0, 0, true), 0);
    EXPECT_EQ(Pairs(c), (Pts{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));

    // Without recomputation the extent is not widened by an insertion.
    c.InsertAt(1, 50, 50, false);
    EXPECT_EQ(c.GetExtent().maxX, 3);

    CPointsCollection sorted(true, false);
    sorted.AddPoint(1, 0, true);
    sorted.AddPoint(3, 0, true);
    EXPECT_EQ(sorted.InsertAt(0, 2, 0, true), 1);  // sorts in, whatever the index
}

TEST(PointsCollection, MoveKeepsOrFindsTheIndex)
{
    CPointsCollection sorted(true, false);
    for (double x : {1.0, 2.0, 3.0})
        sorted.AddPoint(x, 0, true);
    EXPECT_EQ(sorted.MovePoint(0, 5, 0, true), 2);
    EXPECT_EQ(Pairs(sorted), (Pts{{2, 0}, {3, 0}, {5, 0}}));

    CPointsCollection plain(false, false);
    for (double x : {1.0, 2.0, 3.0})
        plain.AddPoint(x, 0, true);
    EXPECT_EQ(plain.MovePoint(0, 5, 0, true), 0);
    EXPECT_EQ(plain.MovePoint(3, 5, 0, true), -1);
    EXPECT_EQ(plain.MovePoint(-1, 5, 0, true), -1);
    EXPECT_EQ(Pairs(plain), (Pts{{5, 0}, {2, 0}, {3, 0}}));
}

TEST(PointsCollection, GetAndRemoveOutsideTheRange)
{
    CPointsCollection c(false, false);
    double x = 7;
    double y = 8;
    EXPECT_EQ(c.GetPoint(0, x, y), -1);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(7.0, 8.0));
    c.AddPoint(4, -3, true);
    c.RemovePoint(1, true);
    c.RemovePoint(-1, true);
    EXPECT_EQ(c.GetCount(), 1);
    c.RemovePoint(0, true);
    const CPlotExtent& e = c.GetExtent();
    EXPECT_EQ(std::make_tuple(e.maxX, e.maxY, e.minX, e.minY), std::make_tuple(0.0, 0.0, 0.0, 0.0));
}

TEST(PointsCollection, NotANumberIsKeptWithoutBreakingTheOrder)
{
    CPointsCollection c(true, false);
    c.AddPoint(1, 0, true);
    c.AddPoint(3, 0, true);
    c.AddPoint(std::nan(""), 0, true);
    c.AddPoint(2, 0, true);
    EXPECT_EQ(c.GetCount(), 4);
    EXPECT_EQ(c.Points()[1].x, 2);
}

TEST(GraphProp, CopyTakesPropertiesButNoPointsOrSorting)
{
    CGraphProp source(0x0000FF, true, "Profile", true, true, 4, true, true);
    source.AddPoint(1, 2, true);
    const CGraphProp copy(source);
    EXPECT_EQ(copy.GetCount(), 0);
    EXPECT_EQ(copy.GetName(), "Profile");
    EXPECT_EQ(copy.GetColor(), 0x0000FFu);
    EXPECT_EQ(copy.GetSlot(), 4);
    EXPECT_TRUE(copy.IsVisible());
    EXPECT_FALSE(copy.HasMarkers());
    EXPECT_FALSE(copy.IsSorted());
    EXPECT_TRUE(copy.HasPen());

    // A colour set on the copy leaves the source's pen alone.
    CGraphProp edited(source);
    edited.SetColor(0x00FF00);
    EXPECT_EQ(edited.CreatePen().colour, 0x00FF00u);
    EXPECT_EQ(source.CreatePen().colour, 0x0000FFu);
    EXPECT_EQ(edited.CreateBrush().colour, 0x00FF00u);
}

TEST(GraphProp, WithoutOwnPenEachUseGetsOneOfTheCurrentColour)
{
    CGraphProp g(0x112233, false, "g", true, false, -1, false, false);
    EXPECT_FALSE(g.HasPen());
    g.SetColor(0x445566);
    EXPECT_EQ(g.CreatePen().colour, 0x445566u);
    EXPECT_EQ(g.CreatePen().width, 1);
    EXPECT_EQ(g.CreateBrush().colour, 0x445566u);

    // Taking the properties of a curve without its own pen drops the pen.
    CGraphProp owner(0x0000FF, false, "o", true, true, -1, false, false);
    owner.CopyProperties(g);
    EXPECT_FALSE(owner.HasPen());
    EXPECT_EQ(owner.CreatePen().colour, 0x445566u);
}

}  // namespace
