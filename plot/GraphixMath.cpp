#include "plot/GraphixMath.h"

#include <algorithm>
#include <cmath>

namespace graphix {

CPixel ToPixel(const CAxisScale& xs, const CAxisScale& ys, double x, double y)
{
    return {std::trunc(xs.ValueToPixel(x)), std::trunc(ys.ValueToPixel(y))};
}

int NearestPoint(const CPointsCollection& curve, const CAxisScale& xs, const CAxisScale& ys, int cx, int cy)
{
    double best = 1000.0;
    int found = -1;
    const auto& points = curve.Points();
    for (size_t i = 0; i < points.size(); ++i) {
        const CPixel p = ToPixel(xs, ys, points[i].x, points[i].y);
        const double dx = p.x - cx;
        const double dy = p.y - cy;
        const double d = dx * dx + dy * dy;
        if (d < best) {
            best = d;
            found = static_cast<int>(i);
        }
    }
    return best < kPickDistance2 ? found : -1;
}

int AddIndex(const CPointsCollection& curve, double y)
{
    const auto& points = curve.Points();
    const auto below = std::find_if(points.begin(), points.end(), [y](const CPlotPoint& p) { return p.y < y; });
    return static_cast<int>(below - points.begin());
}

CPlotRanges Pan(const CPlotRanges& ranges, const CAxisScale& xs, const CAxisScale& ys, int fromX, int fromY, int toX,
                int toY)
{
    const double dx = xs.PixelToValue(fromX) - xs.PixelToValue(toX);
    const double dy = ys.PixelToValue(fromY) - ys.PixelToValue(toY);
    return {ranges.x1 + dx, ranges.x2 + dx, ranges.y1 + dy, ranges.y2 + dy};
}

CPlotRanges RectToRanges(const CAxisScale& xs, const CAxisScale& ys, int left, int top, int right, int bottom)
{
    return {xs.PixelToValue(std::min(left, right)), xs.PixelToValue(std::max(left, right)),
            ys.PixelToValue(std::max(top, bottom)), ys.PixelToValue(std::min(top, bottom))};
}

CPlotRanges FitToData(const CPlotExtent& data)
{
    constexpr double kLowVelocity = 1400.0;
    constexpr double kHighVelocity = 1700.0;
    const double low = std::min(kLowVelocity, data.minX);
    const double high = std::max(kHighVelocity, data.maxX);
    const double margin = 0.02 * (high - low);
    const double d = 0.02 * (data.maxY - data.minY);
    return {low < kLowVelocity ? low - margin : low, high > kHighVelocity ? high + margin : high, data.minY - d,
            data.maxY + d};
}

namespace {

void FitOne(double low, double high, double& first, double& last)
{
    if (low != high) {
        first = low;
        last = high;
    } else if (low == 0.0) {
        first = -1.0;
        last = 1.0;
    } else {
        first = std::min(0.9 * low, 1.1 * low);
        last = std::max(0.9 * low, 1.1 * low);
    }
}

}  // namespace

CPlotRanges FitAxes(const CPlotExtent& data, const CPlotRanges& current, bool fitX, bool fitY)
{
    CPlotRanges r = current;
    if (fitX)
        FitOne(data.minX, data.maxX, r.x1, r.x2);
    if (fitY)
        FitOne(data.minY, data.maxY, r.y1, r.y2);
    return r;
}

bool ClipSegment(CPixel& a, CPixel& b, double left, double top, double right, double bottom)
{
    // Liang-Barsky: the part of a + t (b - a), t in 0..1, inside the box.
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    double t0 = 0.0;
    double t1 = 1.0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {a.x - left, right - a.x, a.y - top, bottom - a.y};
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(p[i]) || !std::isfinite(q[i]))
            return false;
        if (p[i] == 0.0) {
            if (q[i] < 0.0)
                return false;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return false;
    }
    const CPixel start = a;
    if (t1 < 1.0)
        b = {start.x + t1 * dx, start.y + t1 * dy};
    if (t0 > 0.0)
        a = {start.x + t0 * dx, start.y + t0 * dy};
    return true;
}

}  // namespace graphix
