// The points of one curve as (x, y) pairs with their extent, optionally kept
// in ascending x order. Used on the user-interface thread only.
#pragma once

#include <vector>

struct CPlotPoint
{
    double x = 0.0;
    double y = 0.0;
};

// Largest and smallest x and y; all 0.0 for an empty collection.
struct CPlotExtent
{
    double maxX = 0.0;
    double maxY = 0.0;
    double minX = 0.0;
    double minY = 0.0;
};

class CPointsCollection
{
public:
    CPointsCollection(bool sorted, bool keepDuplicates);

    int GetCount() const { return static_cast<int>(m_points.size()); }
    const std::vector<CPlotPoint>& Points() const { return m_points; }
    const CPlotExtent& GetExtent() const { return m_extent; }
    bool IsSorted() const { return m_sorted; }
    bool KeepsDuplicates() const { return m_keepDuplicates; }

    // The index, or -1 (outputs untouched) for an index not in 0..count-1.
    int GetPoint(int index, double& x, double& y) const;

    // The index at which the point now stands. The extent is always widened
    // by the point; recompute rescans it, which matters only after a
    // replaced duplicate.
    int AddPoint(double x, double y, bool recompute);

    // Before the point at index in an unsorted collection; at index == count
    // or in a sorted collection as AddPoint. -1 for an index outside
    // 0..count, and nothing changes.
    int InsertAt(int index, double x, double y, bool recompute);

    void RemovePoint(int index, bool recompute);

    // The index where the point stands afterwards (another one in a sorted
    // collection when x changed order), -1 for an index outside 0..count-1.
    int MovePoint(int index, double x, double y, bool recompute);

    void RecalcExtent();

private:
    void Widen(double x, double y);

    std::vector<CPlotPoint> m_points;
    CPlotExtent m_extent;
    bool m_sorted;
    bool m_keepDuplicates;
};
