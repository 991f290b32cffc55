// Where the marks of an echogram view land in its picture: the rows of
// depths in the document's window, the dash patterns, the minute of a ping,
// the columns of across-track distances, and the depth grid's geometry and
// labels. Small pure functions, so that each placement can be checked
// without a window; the view draws what they say.
//
// A window that is no window (a range of 0 or less, or not a number) and a
// depth that is not a number give no row at all, so that nothing is cast
// from an infinite row.
#pragma once

#include <cstdint>
#include <string>

namespace EchogramMarks {

// Draw, draw, skip, skip over successive pings: the dashed marks.
class CDashes
{
public:
    // Whether this ping draws; moves the pattern on.
    bool Next();

private:
    int m_first = 0;
    int m_second = 0;
};

// The top of the document's window for a range reference: start for the
// surface and trawl references, depth - start for the bottom reference
// (false without a depth); false for the references without a depth window.
bool WindowTop(int reference, double start, bool hasDepth, double depth, double& top);
// True when a depth lies strictly inside the window (top, top + range).
bool InsideWindow(double depth, double top, double range);
// Row of a depth in a window of `height` rows: trunc((depth - top) / range
// x height); -1 for no window or no number, at most `height` (below the
// picture) however far the depth lies.
int MarkRow(double depth, double top, double range, int height);
// Row of the marker value v, rounded half away from zero: in the window
// from top to top + range, for the surface, trawl and bottom references;
// -1 when v is not strictly inside.
int MarkerRow(double v, double top, double range, int height);
// Row of the marker value on the slope echogram, whose top is `start`
// degrees: trunc((start - v) / range x height); -1 outside (start - range,
// start).
int SlopeMarkerRow(double v, double start, double range, int height);

// The minute (0..59) of a ping time (100 ns units since 1601, UTC); -1 for
// no time.
int MinuteOf(std::uint64_t fileTime);
// Whether the minute tick is due: the minute moved on by one, or to 0.
bool MinuteTickDue(int remembered, int minute);

// Column of an across-track distance in a row of `width` columns that runs
// from -left to right: trunc((distance + left) x width / (right + left)).
// Equal extents are moved apart by 0.1, as the samples' split is; false
// when the column lies outside 0..width - 1.
bool AcrossTrackColumn(double distance, double left, double right, int width, int& column);

// The depth grid of a window: lines every step metres from the start.
struct SDepthGrid
{
    double start = 0.0;
    double end = 0.0;
    double range = 0.0;
    int lineCount = 0;  // the document's line count the grid was made for
    double step = 0.0;
    int lines = 0;  // lines drawn
    bool halfStep = false;
    bool quarterStep = false;

    // False for a window without range or a line count of 0 or less.
    static bool Make(double start, double range, int lineCount, int height, SDepthGrid& grid);
    bool IsFor(double s, double r, int n) const { return s == start && s + r == end && r == range && n == lineCount; }
    // Depth of line k (1..lines).
    double Depth(int k) const { return start + k * step; }
    // Rows of the line at depth t: 2 at whole metres of a half or quarter
    // step grid and every 5 m from the start, else 1.
    int LineRows(double t) const;
    // The label of the line at depth t.
    std::string Label(double t) const;
};

// The range-change labels ("%.0f" of a value) and the sound-speed label.
std::string FormatRangeLabel(double value);
std::string FormatSoundSpeed(double metresPerSecond);

}  // namespace EchogramMarks
