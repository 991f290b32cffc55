#include "display/EchogramMarks.h"

#include "display/EchogramDoc.h"
#include "platform/FileTime.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace EchogramMarks {

bool CDashes::Next()
{
    if (m_first++ < 2)
        return true;
    if (m_second++ >= 1)
        m_first = m_second = 0;
    return false;
}

bool WindowTop(int reference, double start, bool hasDepth, double depth, double& top)
{
    switch (reference) {
    case CEchogramDoc::SURFACE:
    case CEchogramDoc::TRAWL:
        top = start;
        return true;
    case CEchogramDoc::BOTTOM:
        top = depth - start;
        return hasDepth;
    default:
        return false;
    }
}

bool InsideWindow(double depth, double top, double range)
{
    return range > 0.0 && top < depth && depth < top + range;
}

namespace {
// A row from a fraction of the window, cut to -1 above it and `height`
// below it before it becomes an int.
int RowOf(double row, int height)
{
    if (std::isnan(row))
        return -1;
    if (row < 0.0)
        return -1;
    return static_cast<int>(std::min(row, static_cast<double>(height)));
}
}  // namespace

int MarkRow(double depth, double top, double range, int height)
{
    if (!(range > 0.0) || !std::isfinite(depth) || !std::isfinite(top) || height <= 0)
        return -1;
    return RowOf(std::trunc((depth - top) / range * height), height);
}

int MarkerRow(double v, double top, double range, int height)
{
    if (!InsideWindow(v, top, range) || height <= 0)
        return -1;
    return RowOf(std::round((v - top) / range * height), height);
}

int SlopeMarkerRow(double v, double start, double range, int height)
{
    if (!(range > 0.0) || !(start - range < v && v < start) || height <= 0)
        return -1;
    return RowOf(std::trunc((start - v) / range * height), height);
}

int MinuteOf(std::uint64_t fileTime)
{
    SYSTEMTIME time{};
    if (fileTime == 0 || !CFileTime::ToSystemTime(fileTime, time))
        return -1;
    return time.wMinute;
}

bool MinuteTickDue(int remembered, int minute)
{
    return minute != remembered && (minute == remembered + 1 || minute == 0);
}

bool AcrossTrackColumn(double distance, double left, double right, int width, int& column)
{
    double from = -left;
    if (right - from == 0.0)
        from += 0.1;
    const double x = std::trunc((distance - from) * width / (right - from));
    if (!(x >= 0.0 && x <= width - 1.0))
        return false;
    column = static_cast<int>(x);
    return true;
}

bool SDepthGrid::Make(double start, double range, int lineCount, int height, SDepthGrid& grid)
{
    if (!(range > 0.0) || !std::isfinite(range) || !std::isfinite(start) || lineCount <= 0 || height <= 0)
        return false;
    SDepthGrid g;
    g.start = start;
    g.end = start + range;
    g.range = range;
    g.lineCount = lineCount;
    g.step = range / lineCount;
    if (g.step < 0.5) {
        g.step = 0.25;
        g.quarterStep = true;
    } else if (g.step < 1.0) {
        g.step = 0.5;
        g.halfStep = true;
    } else {
        g.step = std::floor(g.step);
    }
    // Far more lines than rows (a damaged line count) would only smear the
    // picture, one loop of the ping a line.
    g.lines = static_cast<int>(std::min(std::trunc(range / g.step), 4.0 * height + 16.0));
    grid = g;
    return true;
}

int SDepthGrid::LineRows(double t) const
{
    if ((halfStep || quarterStep) && t == std::trunc(t))
        return 2;
    return std::fmod(t - start, 5.0) == 0.0 ? 2 : 1;
}

std::string SDepthGrid::Label(double t) const
{
    char text[64];
    if (halfStep || (end > 10.0 && end < 100.0))
        std::snprintf(text, sizeof text, "%6.1f", t);
    else if (quarterStep || end <= 10.0)
        std::snprintf(text, sizeof text, "%6.2f", t);
    else
        // Whole metres, without an int that a far depth would not fit.
        std::snprintf(text, sizeof text, "%.0f", std::trunc(t));
    return text;
}

std::string FormatRangeLabel(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

std::string FormatSoundSpeed(double metresPerSecond)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.0fm/s", metresPerSecond);
    return text;
}

}  // namespace EchogramMarks
