// The plot window's arithmetic on pixels and values: picking points with the
// mouse, panning, zooming to a rectangle, fitting the ranges to the data and
// clipping lines to the window. Pixels are those of the plot window's client
// area; points map to pixels truncated toward zero.
#pragma once

#include "plot/AxisScale.h"
#include "plot/GraphMessage.h"
#include "plot/PointsCollection.h"

namespace graphix {

// A click picks a point closer than this, in squared pixels.
inline constexpr double kPickDistance2 = 16.0;

struct CPixel
{
    double x = 0.0;
    double y = 0.0;
};

// The point's pixel, truncated toward zero but kept in double: far outside
// the window after a deep zoom it does not fit an int.
CPixel ToPixel(const CAxisScale& xs, const CAxisScale& ys, double x, double y);

// The point nearest to the pixel (cx, cy), the first of equally near ones,
// when it is closer than kPickDistance2; else -1.
int NearestPoint(const CPointsCollection& curve, const CAxisScale& xs, const CAxisScale& ys, int cx, int cy);

// Where a click adds a point with value y: before the first point lying
// below it, else at the end.
int AddIndex(const CPointsCollection& curve, double y);

// The ranges moved so that the value under `from` comes under `to`.
CPlotRanges Pan(const CPlotRanges& ranges, const CAxisScale& xs, const CAxisScale& ys, int fromX, int fromY, int toX,
                int toY);

// The values of a pixel rectangle, whichever way it was drawn: left and
// right give x, bottom and top give y.
CPlotRanges RectToRanges(const CAxisScale& xs, const CAxisScale& ys, int left, int top, int right, int bottom);

// The profile editor's fit: velocities at least 1400 to 1700, widened (with a
// margin) to take in the data; depths with 2 % of their span beyond each end.
CPlotRanges FitToData(const CPlotExtent& data);

// Fit commands: the data's span on the chosen axes, the others kept. One
// value v shows 0.9 v to 1.1 v, and 0 shows -1 to 1.
CPlotRanges FitAxes(const CPlotExtent& data, const CPlotRanges& current, bool fitX, bool fitY);

// Cuts the segment to the rectangle; false when nothing of it lies inside or
// a coordinate is not a number.
bool ClipSegment(CPixel& a, CPixel& b, double left, double top, double right, double bottom);

}  // namespace graphix
