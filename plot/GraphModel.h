// The plot view's data: up to 32 curves, the two axis formats and the undo
// list. Every change goes through here and is told to the two panes, the
// points view first, by message 50000 (GraphMessage.h). The window side
// (CGraphView) derives from this and puts the panes in place.
#pragma once

#include "plot/AxisFormat.h"
#include "plot/GraphMessage.h"
#include "plot/GraphProp.h"
#include "plot/GraphixMath.h"
#include "plot/UndoInfo.h"

#include <array>
#include <deque>
#include <memory>
#include <string>

class CGraphModel
{
public:
    static constexpr int kMaxGraphs = 32;

    CGraphModel() = default;
    CGraphModel(const CGraphModel&) = delete;
    CGraphModel& operator=(const CGraphModel&) = delete;
    virtual ~CGraphModel() = default;

    // The panes that hear of every change; either may be absent.
    void SetPanes(IGraphPlotPane* plot, IGraphPane* points);
    IGraphPlotPane* GetPlotPane() const { return m_plot; }
    IGraphPane* GetPointsPane() const { return m_points; }

    // Curves. A slot outside 0..31 counts as empty.
    int AddGraph(PlotColour colour, bool marker, const std::string& name, int flag, bool sorted = false,
                 bool keepDuplicates = false);
    int RemoveGraph(int slot, int redraw);
    CGraphProp* GetGraph(int slot) const;
    int GetGraphCount() const { return m_count; }
    CGraphProp* GetFirstGraph(int& slot);
    CGraphProp* GetNextGraph(int& slot);

    // Point operations: -1 for an empty slot or an index the curve refuses,
    // and then nothing is recorded or told. AddPoint answers the index where
    // the point now stands (index -1 adds it as the curve orders it). In a
    // sorted curve without duplicates a point added on an x the curve has
    // replaces that point, told as a move; a move onto another point's x is
    // refused.
    int AddPoint(int slot, double x, double y, int redraw, int listFlag, int index, int noUndo);
    int MovePoint(int slot, int index, double x, double y, int plotRedraw, int noUndo, int listFlag);
    int DeletePoint(int slot, int index, int redraw, int noUndo);

    // Reverses the newest record; 1 while records remain, else 0.
    int Undo();
    void PushUndo(const CUndoInfo& info) { m_undo.push_front(info); }
    size_t GetUndoCount() const { return m_undo.size(); }

    // Ranges and display flags live in the plot window.
    void SetAxisRanges(double x1, double x2, double y1, double y2, int redraw);
    void SetRangeOptions(unsigned displayFlags, int redraw);
    CPlotRanges GetAxisRanges() const;
    unsigned GetDisplayFlags() const;

    // axis: plot::kAxisX or plot::kAxisY.
    void SetAxisCaption(const std::string& caption, const std::string& unit, int decimals, int axis, int redraw);
    const CAxisFormat& GetAxisFormat(int axis) const { return axis == plot::kAxisX ? m_xFormat : m_yFormat; }
    std::string FormatAxisValue(double value, int axis, int selector) const;

    // The union of the visible, non-empty curves' extents; false when there
    // is none (data untouched).
    bool GetDataExtent(CPlotExtent& data) const;

    void FitToData();
    void SetDeleteMode() { SetEditMode(plot::EM_DELETE); }
    void SetPickMode() { SetEditMode(plot::EM_PICK); }
    void SetAddMode() { SetEditMode(plot::EM_ADD); }
    void SetZoomMode() { SetEditMode(plot::EM_ZOOM); }
    void SetPanMode() { SetEditMode(plot::EM_PAN); }

    bool IsPointsWindowVisible() const { return m_pointsVisible; }
    void RefreshPoints();
    void NotifyPropertiesChanged(int slot, int redraw);
    void UpdatePointsWindow();

    // The visible curves as tab-separated text, CR LF line ends; empty
    // without a visible curve.
    std::string BuildCopyText() const;

protected:
    void SetPointsVisibleFlag(bool visible) { m_pointsVisible = visible; }

private:
    void SetEditMode(int mode);
    CGraphProp* FindGraphFrom(int first, int& slot);
    int MoveAndNotify(CGraphProp& graph, int slot, int index, double x, double y, int plotRedraw, int listFlag);
    // The points view first (when `toPoints`), then the plot.
    void Notify(int code, const CGraphPointRecord& record, bool toPoints) const;
    void ToPoints(const CGraphMessage& message) const;
    void ToPlot(const CGraphMessage& message) const;

    std::array<std::unique_ptr<CGraphProp>, kMaxGraphs> m_graphs;
    int m_count = 0;
    int m_cursor = -1;
    bool m_pointsVisible = true;
    CAxisFormat m_yFormat;
    CAxisFormat m_xFormat;
    std::deque<CUndoInfo> m_undo;
    IGraphPlotPane* m_plot = nullptr;
    IGraphPane* m_points = nullptr;
};
