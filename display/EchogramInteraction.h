// What the operator does to an echogram, worked out without a window: the
// wheel's threshold, range and start steps, the automatic range and start
// that follow the bottom, the tool tip's texts and the depths under the
// pointer. Pure functions of the values they are given; the document
// gathers its settings, calls these and writes the results back under its
// settings lock.
#pragma once

#include <string>

class CEchogramInteraction
{
public:
    // Depths beyond this are no depth of a sounder (m).
    static constexpr double kMaxDepth = 15000.0;

    // The colour scale's start level after one wheel step over the picture:
    // down by 1 dB while it stays above -100, up by 1 dB while it stays at or
    // below 0. Only the sign of the delta counts.
    static double WheelThreshold(double level, int delta);

    // The fixed interval (s) after a wheel step of the left button: delta /
    // 1,000,000 added. False, and the interval kept, when the step would
    // leave no positive interval.
    static bool StepInterval(double& seconds, int delta);

    // The document's window values that the wheel over the scale strip moves,
    // with the trawl's depth and opening that a trawl window is built from.
    struct SWindow
    {
        int reference = 0;
        double range = 0.0;
        double start = 0.0;
        bool autoRange = false;
        bool autoStart = false;
        double surfaceRange = 0.0;
        double surfaceStart = 0.0;
        double bottomRange = 0.0;
        double bottomOffset = 0.0;
        double slopeRange = 0.0;
        double slopeOffset = 0.0;
        double trawlMargin = 0.0;
        bool trawlDepthValid = false;
        double trawlDepth = 0.0;
        bool trawlOpeningValid = false;
        double trawlOpening = 0.0;
    };
    // One wheel step over the scale strip; shift is Shift or the left button
    // held. False when nothing changed (the side-scan reference has no step;
    // a slope window is never narrowed to nothing).
    static bool StripWheel(SWindow& window, int delta, bool shift);

    // The surface range that follows the depth d (m): one preset below the
    // preset nearest d when d lies in the top fifth, two above it when d
    // lies below four fifths; unchanged for no depth (d <= 0, d > 15000).
    static double AutoRange(double depth, double range);
    // The surface start that keeps the depth d (m) in the window's middle
    // three fifths, on whole steps of a fifth of the range. d = 0 keeps the
    // start. False (the start kept) for a depth outside 0 to 15000 m or a
    // range that is not positive: a damaged ping, not a reason to stop.
    static bool AutoStart(double depth, double start, double range, double& result);

    // What a tool tip and a click read of the view and its document.
    struct SPointerView
    {
        int reference = 0;
        double start = 0.0;
        double range = 0.0;
        int width = 0;   // W
        int height = 0;  // H
        int margin = 0;  // M, the scale strip
        int rowBytes = 0;
        bool rows = false;  // pings as rows
        double left = 0.0;  // extents of a side-looking row
        double right = 0.0;
        double beamAngle = 0.0;  // the channel's, degrees
        bool hasDepth = false;   // the channel's depth of the last ping
        double depth = 0.0;
        double threshold = 0.0;  // the colour scale's start level, dB
    };
    // The tool tip's text at a point.
    static std::string ToolTipText(const SPointerView& view, int x, int y);
    // A tool at a point: its id (x + 10 y + 1) and text; -1 for no tool (the
    // scale strip, and every tenth call, so that the tip is made anew as
    // the mouse moves); -2 without a tool record to fill. counter is the
    // call counter shared by all views.
    struct SToolHit
    {
        std::string text;
        int left = 0, top = 0, right = 0, bottom = 0;  // the point +/- 5, in the window
    };
    static int ToolHitTest(const SPointerView& view, int x, int y, unsigned& counter, SToolHit* tool);

    // The marker value of a pointer row by reference (depth, height above the
    // bottom or angle).
    static double MarkerValueAt(int reference, double start, double range, int height, bool rows, int y);
    // The depth under the pointer row of a surface or trawl window.
    static double DepthAt(double start, double range, int height, int y);
    // The marker line's label: "%6.2fdeg" on a slope window, else the value
    // in the depth unit and its symbol.
    static std::string MarkerLabel(int reference, double value);
    // The measuring line's text: its length along the track, its height and
    // its angle.
    static std::string MeasuringText(double distance, double height);
};
