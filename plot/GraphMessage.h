// Message 50000, by which the plot view tells its two panes of every change,
// as a direct call on each pane. The record lives on the sender's stack for
// the duration of the call only.
#pragma once

#include "plot/PlotIds.h"

#include <variant>

struct CPlotRanges
{
    double x1 = 0.0;  // left
    double x2 = 0.0;  // right
    double y1 = 0.0;  // bottom
    double y2 = 0.0;  // top

    bool operator==(const CPlotRanges&) const = default;
};

// Codes 1-3, 5-7, 9. The flag is the redraw or list flag the code names.
struct CGraphPointRecord
{
    int slot = 0;
    int index = 0;
    int newIndex = 0;
    int flag = 0;
};

// Code 10.
struct CGraphRangeRecord
{
    CPlotRanges ranges;
    unsigned displayFlags = 0;
    int redraw = 0;
};

// Code 11.
struct CGraphAxisRecord
{
    int axis = 0;  // plot::kAxisX or plot::kAxisY
    int redraw = 0;
};

struct CGraphMessage
{
    int code = 0;
    std::variant<std::monostate, CGraphPointRecord, CGraphRangeRecord, CGraphAxisRecord> record;
};

// A pane of the plot view: the plot container in column 0 and the points
// view in column 1.
class IGraphPane
{
public:
    virtual ~IGraphPane() = default;
    virtual long OnGraphMessage(const CGraphMessage& message) = 0;
};

// The plot pane also answers for the plot window's ranges and flags and
// takes the view's fit and edit-mode requests.
class IGraphPlotPane : public IGraphPane
{
public:
    virtual CPlotRanges GetAxisRanges() const = 0;
    virtual unsigned GetDisplayFlags() const = 0;
    virtual void FitToData() = 0;
    virtual void SetEditMode(int mode) = 0;
};
