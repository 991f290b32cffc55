#include "display/EchogramInteraction.h"

#include "base/DepthUnit.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSurface = 0, kBottom = 1, kTrawl = 2, kSlope = 3, kSidescan = 4;
constexpr double kPi = 3.14159265;

// The preset `steps` away from the one nearest `value` (in the depth unit),
// kept within the table; back in metres.
double StepRange(double metres, int mode, int steps)
{
    const int index = std::clamp(CDepthUnit::FindRange(CDepthUnit::FromMeters(metres), mode) + steps, 0,
                                 CDepthUnit::GetRangeCount(mode));
    return CDepthUnit::ToMeters(CDepthUnit::GetRange(index, mode));
}

double StepRangeStart(double metres, int mode, int steps)
{
    const int index = std::clamp(CDepthUnit::FindRangeStart(CDepthUnit::FromMeters(metres), mode) + steps, 0,
                                 CDepthUnit::GetRangeStartCount(mode));
    return CDepthUnit::ToMeters(CDepthUnit::GetRangeStart(index, mode));
}

double StepFine(double metres, int steps)
{
    const int index =
        std::clamp(CDepthUnit::FindFineStep(CDepthUnit::FromMeters(metres)) + steps, 0, CDepthUnit::GetFineStepCount());
    return CDepthUnit::ToMeters(CDepthUnit::GetFineStep(index));
}

// A whole number of the depth unit rounded down to a multiple of step.
double DownToStep(double value, long step)
{
    const long v = static_cast<long>(value);
    return static_cast<double>(v - v % step);
}

}  // namespace

double CEchogramInteraction::WheelThreshold(double level, int delta)
{
    if (delta < 0 && level - 1.0 > -100.0)
        return level - 1.0;
    if (delta > 0 && level + 1.0 <= 0.0)
        return level + 1.0;
    return level;
}

bool CEchogramInteraction::StepInterval(double& seconds, int delta)
{
    const double next = seconds + delta / 1000000.0;
    if (!(next > 0.0) || !std::isfinite(next))
        return false;
    seconds = next;
    return true;
}

bool CEchogramInteraction::StripWheel(SWindow& w, int delta, bool shift)
{
    if (delta == 0)
        return false;
    // A negative delta (the wheel turned towards the user) widens the window.
    const int wider = delta < 0 ? 1 : -1;
    switch (w.reference) {
    case kSurface:
        if (!w.autoRange && (w.autoStart || !shift)) {
            w.range = StepRange(w.range, CDepthUnit::kModeSurface, wider);
            w.surfaceRange = w.range;
        } else {
            w.start = StepRangeStart(w.start, CDepthUnit::kModeSurface, wider);
            w.surfaceStart = w.start;
        }
        return true;
    case kBottom:
        if (!shift) {
            const double above = StepRangeStart(w.range - w.start, CDepthUnit::kModeBottom, wider);
            w.start = w.range - above;
        } else {
            const double range = StepRange(w.range, CDepthUnit::kModeBottom, -wider);
            w.start = w.start - w.range + range;
            w.range = range;
            w.bottomRange = range;
        }
        w.bottomOffset = w.start;
        return true;
    case kTrawl:
        w.trawlMargin = StepFine(w.trawlMargin, wider);
        w.range = 2.0 * w.trawlMargin + (w.trawlOpeningValid ? w.trawlOpening : 0.0);
        w.start = (w.trawlDepthValid ? w.trawlDepth : 0.0) - w.trawlMargin;
        return true;
    case kSlope:
        // Narrowed no further than to a window of some degrees: a window of
        // none has no rows.
        if (wider < 0 && !(w.range - 2.0 > 0.0))
            return false;
        w.range += 2.0 * wider;
        w.start += wider;
        w.slopeRange = w.range;
        w.slopeOffset = w.start;
        return true;
    case kSidescan:
    default:
        return false;
    }
}

double CEchogramInteraction::AutoRange(double d, double range)
{
    if (!(d > 0.0) || d > kMaxDepth)
        return range;
    if (d <= 0.2 * range)
        return StepRange(d, CDepthUnit::kModeSurface, -1);
    if (d > 0.8 * range)
        return StepRange(d, CDepthUnit::kModeSurface, 2);
    return range;
}

bool CEchogramInteraction::AutoStart(double d, double start, double range, double& result)
{
    result = start;
    if (d == 0.0)
        return true;
    if (!(d >= 0.0 && d <= kMaxDepth) || !(range > 0.0) || !std::isfinite(range))
        return false;
    if (!(start >= 0.0))
        start = 0.0;
    long step = static_cast<long>(range) / 5;
    if (step == 0)
        step = 1;
    const double D = CDepthUnit::FromMeters(d), R = CDepthUnit::FromMeters(range), S = CDepthUnit::FromMeters(start);
    double next = S;
    if (D <= S + 0.2 * R)
        next = std::trunc(R / 2.0) >= D ? 0.0 : DownToStep(std::trunc(D - R / 2.0), step);
    else if (D >= S + 0.8 * R)
        next = DownToStep(std::trunc(D - R / 2.0), step);
    else if (static_cast<long>(std::trunc(S)) % step != 0)
        next = DownToStep(std::trunc(D - std::trunc(R / 2.0)), step);
    else {
        result = start;  // kept as it stands, not through the unit and back
        return true;
    }
    result = CDepthUnit::ToMeters(std::clamp(next, 0.0, kMaxDepth));
    return true;
}

std::string CEchogramInteraction::ToolTipText(const SPointerView& v, int x, int y)
{
    const double h = v.height > 0 ? v.height : 1;
    if (v.reference == kSlope)
        return CNumberText::Format("%5.2fdeg", v.start - v.range * y / h);
    const std::string unit = CDepthUnit::GetUnitSymbol();
    if (v.reference == kSidescan) {
        const double l = -v.left, e = v.right;
        const double b = v.rowBytes > 0 ? v.rowBytes : 1;
        return CNumberText::Format("%5.2f%s", CDepthUnit::FromMeters(std::fabs(l + (e - l) * x / b)), unit.c_str());
    }
    std::string depthPart = "???.??";
    std::string footprintPart;
    bool haveDepth = false;
    double depth = 0.0;  // under the pointer: a depth, or a height above the bottom
    double z = 0.0;      // where the footprint is measured
    bool haveZ = false;
    switch (v.reference) {
    case kSurface:
    case kTrawl:
        depth = v.rows ? v.start + v.range * (v.height - y) / h : v.start + v.range * y / h;
        haveDepth = true;
        z = depth;
        haveZ = true;
        break;
    case kBottom:
        depth = v.range * y / h - v.start;
        haveDepth = true;
        if (v.hasDepth && v.depth + depth >= 0.0) {
            z = v.depth + depth;
            haveZ = true;
        }
        break;
    default:
        break;
    }
    if (haveDepth)
        depthPart = CNumberText::Format("%5.2f%s", CDepthUnit::FromMeters(depth), unit.c_str());
    if (haveZ) {
        const double half = v.beamAngle / 2.0;
        footprintPart = CNumberText::Format("  %5.2f%s", CDepthUnit::FromMeters(2.0 * z * std::tan(half * kPi / 180.0)),
                                            unit.c_str());
    }
    return depthPart + footprintPart + CNumberText::Format("  %5.1f dB", v.threshold);
}

int CEchogramInteraction::ToolHitTest(const SPointerView& v, int x, int y, unsigned& counter, SToolHit* tool)
{
    ++counter;
    if (!tool)
        return -2;
    if (x > v.width - v.margin || counter % 10 == 0)
        return -1;
    tool->text = ToolTipText(v, x, y);
    tool->left = std::max(0, x - 5);
    tool->top = std::max(0, y - 5);
    tool->right = std::min(v.width, x + 5);
    tool->bottom = std::min(v.height, y + 5);
    return x + 10 * y + 1;
}

double CEchogramInteraction::MarkerValueAt(int reference, double start, double range, int height, bool rows, int y)
{
    const double h = height > 0 ? height : 1;
    switch (reference) {
    case kSurface:
    case kTrawl:
        return rows ? range - start - range * y / h : start + range * y / h;
    case kBottom:
        return range * y / h - start;
    default:
        return start - range * y / h;
    }
}

double CEchogramInteraction::DepthAt(double start, double range, int height, int y)
{
    return start + range * y / (height > 0 ? height : 1);
}

std::string CEchogramInteraction::MarkerLabel(int reference, double value)
{
    if (reference == kSlope)
        return CNumberText::Format("%6.2fdeg", value);
    return CNumberText::Format("%6.2f%s", CDepthUnit::FromMeters(value), CDepthUnit::GetUnitSymbol().c_str());
}

std::string CEchogramInteraction::MeasuringText(double distance, double height)
{
    const double angle = std::atan2(height, distance) * 180.0 / 3.14;
    const double whole = std::trunc(distance);
    const int metres = std::fabs(whole) < 1e9 ? static_cast<int>(whole) : 0;
    return CNumberText::Format("%dm %.1fm %.1fdeg", metres, height, angle);
}
