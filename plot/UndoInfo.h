// One undo record of the plot view: what a point operation or a range change
// overwrote, and where.
#pragma once

struct CUndoInfo
{
    enum Kind { PointAdded = 0, PointMoved = 1, PointDeleted = 2, RangesChanged = 3 };

    int kind = PointAdded;
    int slot = 0;    // the curve, for the point kinds
    double x = 0.0;  // the point before a move or delete
    double y = 0.0;
    double x1 = 0.0;  // the ranges before a change
    double x2 = 0.0;
    double y1 = 0.0;
    double y2 = 0.0;
    int index = 0;  // where the point stands now (added, moved) or stood (deleted)
};
