#include "plot/GraphModel.h"

#include <algorithm>

namespace {

// A sorted curve without duplicates keeps one point per x: the index of the
// point (other than `except`) that a point of this x would replace, or -1.
int ReplacedBy(const CGraphProp& graph, double x, int except)
{
    if (!graph.IsSorted() || graph.KeepsDuplicates())
        return -1;
    const auto& points = graph.Points();
    for (size_t i = 0; i < points.size(); ++i) {
        if (static_cast<int>(i) != except && points[i].x == x)
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

void CGraphModel::SetPanes(IGraphPlotPane* plot, IGraphPane* points)
{
    m_plot = plot;
    m_points = points;
}

void CGraphModel::ToPoints(const CGraphMessage& message) const
{
    if (m_points)
        m_points->OnGraphMessage(message);
}

void CGraphModel::ToPlot(const CGraphMessage& message) const
{
    if (m_plot)
        m_plot->OnGraphMessage(message);
}

void CGraphModel::Notify(int code, const CGraphPointRecord& record, bool toPoints) const
{
    const CGraphMessage message{code, record};
    if (toPoints)
        ToPoints(message);
    ToPlot(message);
}

CGraphProp* CGraphModel::GetGraph(int slot) const
{
    if (slot < 0 || slot >= kMaxGraphs)
        return nullptr;
    return m_graphs[static_cast<size_t>(slot)].get();
}

int CGraphModel::AddGraph(PlotColour colour, bool marker, const std::string& name, int flag, bool sorted,
                          bool keepDuplicates)
{
    for (int slot = 0; slot < kMaxGraphs; ++slot) {
        auto& graph = m_graphs[static_cast<size_t>(slot)];
        if (graph)
            continue;
        graph = std::make_unique<CGraphProp>(colour, marker, name, true, true, -1, sorted, keepDuplicates);
        ++m_count;
        Notify(plot::GN_GRAPH_ADDED, {slot, 0, 0, flag}, true);
        return slot;
    }
    return -1;
}

int CGraphModel::RemoveGraph(int slot, int redraw)
{
    if (!GetGraph(slot))
        return -1;
    m_graphs[static_cast<size_t>(slot)].reset();
    --m_count;
    // A later curve in the slot must not take this one's undo records.
    std::erase_if(m_undo, [slot](const CUndoInfo& u) { return u.kind != CUndoInfo::RangesChanged && u.slot == slot; });
    Notify(plot::GN_GRAPH_REMOVED, {slot, 0, 0, redraw}, true);
    return slot;
}

CGraphProp* CGraphModel::FindGraphFrom(int first, int& slot)
{
    for (int s = first; s < kMaxGraphs; ++s) {
        if (m_graphs[static_cast<size_t>(s)]) {
            m_cursor = s;
            slot = s;
            return m_graphs[static_cast<size_t>(s)].get();
        }
    }
    m_cursor = -1;
    return nullptr;
}

CGraphProp* CGraphModel::GetFirstGraph(int& slot)
{
    return FindGraphFrom(0, slot);
}

CGraphProp* CGraphModel::GetNextGraph(int& slot)
{
    return m_cursor < 0 ? nullptr : FindGraphFrom(m_cursor + 1, slot);
}

int CGraphModel::AddPoint(int slot, double x, double y, int redraw, int listFlag, int index, int noUndo)
{
    CGraphProp* graph = GetGraph(slot);
    if (!graph)
        return -1;
    double oldX = 0.0;
    double oldY = 0.0;
    const bool replaces = graph->GetPoint(ReplacedBy(*graph, x, -1), oldX, oldY) >= 0;
    const int at = index == -1 ? graph->AddPoint(x, y, true) : graph->InsertAt(index, x, y, true);
    if (at < 0)
        return -1;
    if (replaces) {
        // The point of that x took the new values: its row changes, and
        // Undo gives it its old ones back.
        if (!noUndo)
            PushUndo({CUndoInfo::PointMoved, slot, oldX, oldY, 0, 0, 0, 0, at});
        Notify(plot::GN_POINT_MOVED, {slot, at, at, redraw}, listFlag && m_pointsVisible);
        return at;
    }
    if (!noUndo)
        PushUndo({CUndoInfo::PointAdded, slot, x, y, 0, 0, 0, 0, at});
    Notify(plot::GN_POINT_ADDED, {slot, at, 0, redraw}, listFlag && m_pointsVisible);
    return at;
}

int CGraphModel::MoveAndNotify(CGraphProp& graph, int slot, int index, double x, double y, int plotRedraw, int listFlag)
{
    const int newIndex = graph.MovePoint(index, x, y, true);
    if (m_pointsVisible)
        ToPoints({plot::GN_POINT_MOVED, CGraphPointRecord{slot, index, newIndex, listFlag}});
    ToPlot({plot::GN_POINT_MOVED, CGraphPointRecord{slot, index, newIndex, plotRedraw}});
    return newIndex;
}

int CGraphModel::MovePoint(int slot, int index, double x, double y, int plotRedraw, int noUndo, int listFlag)
{
    CGraphProp* graph = GetGraph(slot);
    double oldX = 0.0;
    double oldY = 0.0;
    // Moved onto another point's x, a curve of one point per x would drop
    // that point.
    if (!graph || graph->GetPoint(index, oldX, oldY) < 0 || ReplacedBy(*graph, x, index) >= 0)
        return -1;
    const int newIndex = MoveAndNotify(*graph, slot, index, x, y, plotRedraw, listFlag);
    if (!noUndo) {
        PushUndo({CUndoInfo::PointMoved, slot, oldX, oldY, 0, 0, 0, 0, newIndex});
    } else if (!m_undo.empty()) {
        // A drag records its first move only; in a sorted curve the point
        // may change places while it goes on, and its record follows it.
        CUndoInfo& last = m_undo.front();
        if (last.kind == CUndoInfo::PointMoved && last.slot == slot && last.index == index)
            last.index = newIndex;
    }
    return newIndex;
}

int CGraphModel::DeletePoint(int slot, int index, int redraw, int noUndo)
{
    CGraphProp* graph = GetGraph(slot);
    double x = 0.0;
    double y = 0.0;
    if (!graph || graph->GetPoint(index, x, y) < 0)
        return -1;
    if (!noUndo)
        PushUndo({CUndoInfo::PointDeleted, slot, x, y, 0, 0, 0, 0, index});
    graph->RemovePoint(index, true);
    Notify(plot::GN_POINT_DELETED, {slot, index, 0, redraw}, m_pointsVisible);
    return index;
}

int CGraphModel::Undo()
{
    if (m_undo.empty())
        return 0;
    const CUndoInfo u = m_undo.front();
    m_undo.pop_front();
    switch (u.kind) {
    case CUndoInfo::PointAdded:
        DeletePoint(u.slot, u.index, 1, 1);
        break;
    case CUndoInfo::PointMoved:
        if (CGraphProp* graph = GetGraph(u.slot);
            graph && u.index >= 0 && u.index < graph->GetCount() && ReplacedBy(*graph, u.x, u.index) < 0)
            MoveAndNotify(*graph, u.slot, u.index, u.x, u.y, 1, 1);
        break;
    case CUndoInfo::PointDeleted:
        AddPoint(u.slot, u.x, u.y, 1, 1, u.index, 1);
        break;
    case CUndoInfo::RangesChanged:
        SetAxisRanges(u.x1, u.x2, u.y1, u.y2, 1);
        break;
    default:
        break;
    }
    return m_undo.empty() ? 0 : 1;
}

void CGraphModel::SetAxisRanges(double x1, double x2, double y1, double y2, int redraw)
{
    if (m_plot)
        ToPlot({plot::GN_RANGES, CGraphRangeRecord{{x1, x2, y1, y2}, m_plot->GetDisplayFlags(), redraw}});
}

void CGraphModel::SetRangeOptions(unsigned displayFlags, int redraw)
{
    if (m_plot)
        ToPlot({plot::GN_RANGES, CGraphRangeRecord{m_plot->GetAxisRanges(), displayFlags, redraw}});
}

CPlotRanges CGraphModel::GetAxisRanges() const
{
    return m_plot ? m_plot->GetAxisRanges() : CPlotRanges{};
}

unsigned CGraphModel::GetDisplayFlags() const
{
    return m_plot ? m_plot->GetDisplayFlags() : 0;
}

void CGraphModel::SetAxisCaption(const std::string& caption, const std::string& unit, int decimals, int axis,
                                 int redraw)
{
    CAxisFormat& format = axis == plot::kAxisX ? m_xFormat : m_yFormat;
    format.SetCaption(caption);
    format.SetUnit(unit);
    format.SetDecimals(decimals);
    const CGraphMessage message{plot::GN_AXIS_FORMAT, CGraphAxisRecord{axis, redraw}};
    if (m_pointsVisible)
        ToPoints(message);
    ToPlot(message);
}

std::string CGraphModel::FormatAxisValue(double value, int axis, int selector) const
{
    return GetAxisFormat(axis).Format(value, selector);
}

bool CGraphModel::GetDataExtent(CPlotExtent& data) const
{
    bool any = false;
    CPlotExtent all;
    for (const auto& graph : m_graphs) {
        if (!graph || !graph->IsVisible() || graph->GetCount() == 0)
            continue;
        const CPlotExtent& e = graph->GetExtent();
        if (!any) {
            all = e;
            any = true;
            continue;
        }
        all.minX = std::min(all.minX, e.minX);
        all.maxX = std::max(all.maxX, e.maxX);
        all.minY = std::min(all.minY, e.minY);
        all.maxY = std::max(all.maxY, e.maxY);
    }
    if (any)
        data = all;
    return any;
}

void CGraphModel::FitToData()
{
    if (m_plot)
        m_plot->FitToData();
}

void CGraphModel::SetEditMode(int mode)
{
    if (m_plot)
        m_plot->SetEditMode(mode);
}

void CGraphModel::RefreshPoints()
{
    ToPoints({plot::GN_REFRESH_LIST, {}});
}

void CGraphModel::NotifyPropertiesChanged(int slot, int redraw)
{
    Notify(plot::GN_GRAPH_CHANGED, {slot, 0, 0, redraw}, m_pointsVisible);
}

void CGraphModel::UpdatePointsWindow()
{
    if (m_pointsVisible)
        ToPoints({plot::GN_REFRESH_LIST, {}});
}

std::string CGraphModel::BuildCopyText() const
{
    std::vector<const CGraphProp*> visible;
    for (const auto& graph : m_graphs) {
        if (graph && graph->IsVisible())
            visible.push_back(graph.get());
    }
    if (visible.empty())
        return {};
    std::string text;
    for (size_t i = 0; i < visible.size(); ++i)
        text += visible[i]->GetName() + (i + 1 < visible.size() ? "\t\t" : "\t");
    text += "\r\n";
    for (size_t i = 0; i < visible.size(); ++i) {
        if (i > 0)
            text += '\t';
        text += m_xFormat.GetCaption() + ", " + m_xFormat.GetUnit() + '\t' + m_yFormat.GetCaption() + ", " +
                m_yFormat.GetUnit();
    }
    text += "\r\n";
    for (int row = 0;; ++row) {
        bool any = false;
        for (size_t i = 0; i < visible.size(); ++i) {
            if (i > 0)
                text += '\t';
            double x = 0.0;
            double y = 0.0;
            if (visible[i]->GetPoint(row, x, y) < 0) {
                text += '\t';
                continue;
            }
            any = true;
            text += m_xFormat.Format(x, CAxisFormat::Number) + '\t' + m_yFormat.Format(y, CAxisFormat::Number);
        }
        text += "\r\n";
        if (!any)
            return text;
    }
}
