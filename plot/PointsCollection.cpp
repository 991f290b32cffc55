#include "plot/PointsCollection.h"

#include <cstddef>

CPointsCollection::CPointsCollection(bool sorted, bool keepDuplicates)
    : m_sorted(sorted), m_keepDuplicates(keepDuplicates)
{}

int CPointsCollection::GetPoint(int index, double& x, double& y) const
{
    if (index < 0 || index >= GetCount())
        return -1;
    x = m_points[static_cast<size_t>(index)].x;
    y = m_points[static_cast<size_t>(index)].y;
    return index;
}

namespace {

void Grow(CPlotExtent& e, double x, double y)
{
    if (x > e.maxX)
        e.maxX = x;
    if (x < e.minX)
        e.minX = x;
    if (y > e.maxY)
        e.maxY = y;
    if (y < e.minY)
        e.minY = y;
}

}  // namespace

void CPointsCollection::Widen(double x, double y)
{
    if (m_points.empty())
        m_extent = {x, y, x, y};
    else
        Grow(m_extent, x, y);
}

int CPointsCollection::AddPoint(double x, double y, bool recompute)
{
    const int n = GetCount();
    Widen(x, y);
    if (!m_sorted || n == 0 || m_points.back().x < x) {
        m_points.push_back({x, y});
        return n;
    }
    if (m_points.front().x > x) {
        m_points.insert(m_points.begin(), {x, y});
        return 0;
    }
    int position = n;
    for (int i = 0; i < n; ++i) {
        CPlotPoint& p = m_points[static_cast<size_t>(i)];
        if (p.x == x) {
            if (m_keepDuplicates) {
                m_points.insert(m_points.begin() + i, {x, y});
            } else {
                p = {x, y};
                if (recompute)
                    RecalcExtent();
            }
            return i;
        }
        if (x < p.x) {
            position = i;
            break;
        }
    }
    m_points.insert(m_points.begin() + position, {x, y});
    return position;
}

int CPointsCollection::InsertAt(int index, double x, double y, bool recompute)
{
    if (index < 0 || index > GetCount())
        return -1;
    if (m_sorted || index == GetCount())
        return AddPoint(x, y, recompute);
    m_points.insert(m_points.begin() + index, {x, y});
    if (recompute)
        RecalcExtent();
    return index;
}

void CPointsCollection::RemovePoint(int index, bool recompute)
{
    if (index < 0 || index >= GetCount())
        return;
    m_points.erase(m_points.begin() + index);
    if (recompute)
        RecalcExtent();
}

int CPointsCollection::MovePoint(int index, double x, double y, bool recompute)
{
    if (index < 0 || index >= GetCount())
        return -1;
    RemovePoint(index, false);
    return m_sorted ? AddPoint(x, y, recompute) : InsertAt(index, x, y, recompute);
}

void CPointsCollection::RecalcExtent()
{
    m_extent = {};
    if (m_points.empty())
        return;
    m_extent = {m_points[0].x, m_points[0].y, m_points[0].x, m_points[0].y};
    for (const CPlotPoint& p : m_points)
        Grow(m_extent, p.x, p.y);
}
