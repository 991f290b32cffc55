// What a scope pane computes of a ping, apart from any drawing library: the
// A-scope bars written straight into the pane's surface of palette indices,
// the axis of a trace curve and its labels, where a bottom candidate lies,
// and the lines of the information panel. Every division here is guarded:
// a flat curve, an empty trace or a colour scale without a step draws
// nothing rather than a curve or bar of undefined size.
#pragma once

#include "engine/ChannelComponents.h"
#include "engine/ColorScaleSettings.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

class CScopePicture
{
public:
    // Rows the colour memory has before the pane asks for more.
    static constexpr int kMinimumRows = 2000;
    // Palette index of the background, and of echo level 1 less one.
    static constexpr BYTE kBackground = 78;
    static constexpr int kLevelBase = 159;

    CScopePicture();

    // Makes room in the row colour memory for a pane of this height; new
    // rows start at 1. Called on a resize, never while drawing.
    void FitRows(int height);
    int GetRowCount() const { return static_cast<int>(m_rowColours.size()); }
    BYTE GetRowColour(int row) const { return m_rowColours[static_cast<std::size_t>(row)]; }

    // One ping's column as the A-scope draws it.
    struct SColumn
    {
        const std::int16_t* values = nullptr;
        int delivered = 0;  // values beyond are no data
        int bottomRow = 0;
        bool bottomSubstituted = false;
        bool sidescan = false;
        bool pingFilter = false;
        int echogramType = 0;
    };
    // Writes the bars of the column into the surface rows (a top-down byte
    // buffer of width x height, stride bytes a row) and notes each row's
    // colour for the ping filter.
    void DrawAScope(BYTE* bits, int stride, int width, int height, const SColumn& column,
                    const CColorScaleSettings& scale);
    // The longest half bar, in pixels, for a value v raw units above the
    // start level with a bar scale of m raw units; -1 when the scale has no
    // length (nothing is drawn then).
    static int HalfBar(double v, double m, int width);

    // A 1-pixel line in colour index `colour` from (x0, y0) to (x1, y1),
    // the end point excluded as the window system draws lines; pixels
    // outside the surface are skipped. The debug curves draw thousands of
    // these a paint, straight into the surface.
    static void Line(BYTE* bits, int stride, int width, int height, int x0, int y0, int x1, int y1, BYTE colour);

    // The axis of a curve: its limits, mean and labels.
    struct SAxis
    {
        double maximum = 0.0, minimum = 0.0, mean = 0.0;
        std::string maxLabel, minLabel;
    };
    // Limits that replace the curve's own when used.
    struct SFixedLimits
    {
        bool useMaximum = false, useMinimum = false;
        double maximum = 0.0, minimum = 0.0;
    };
    // False for no values (no curve then).
    static bool FormatAxisValue(const double* values, int n, const SFixedLimits& fixed, SAxis& axis);
    static std::string FormatAxisLabel(double value, bool isMinimum);
    // The reference value's text under a curve.
    static std::string FormatReference(double value);
    // Whether a curve can be drawn between these limits.
    static bool IsDrawableAxis(double minimum, double maximum, int n);
    // x of a value in a column from left, width pixels wide.
    static int TraceX(double value, int left, int width, double minimum, double maximum);

    // The frame in which bottom candidates are placed on the amplitude
    // column of n samples.
    struct SCandidateFrame
    {
        double d = 0.0;  // sample distance (m)
        int s0 = 0;      // the window's first sample
        int o = 0;       // transducer depth in samples
        int pulseLimit = 0;
        int lowerLimit = 0;
        double threshold = 0.0;  // dB
    };
    // False when the sample distance is no positive number.
    static bool MakeCandidateFrame(double start, double d, double transducerDepth, double pulseLength,
                                   double minimumDepth, double threshold, SCandidateFrame& frame);
    // Where a candidate's edge lies on the amplitude samples (dB): its
    // sample u and the fraction f (m) to step back; false when it is not
    // drawn (invalid, unscored, above the window, or outside the samples).
    static bool PlaceCandidate(const SBottomCandidate& candidate, const SCandidateFrame& frame, const double* amplitude,
                               int n, int& u, double& f);

    // The information panel's values.
    struct SInfo
    {
        bool noiseFactor = false;  // the QYNVU model
        double noiseDb = 0.0;
        double bandwidthHz = 0.0;
        std::int16_t amplitudeRaw = 0;
        bool bottomFound = false;
        double bottomLevelDb = 0.0;
        bool splitBeam = false;
        std::uint16_t angleWord = 0;
    };
    struct SInfoLine
    {
        std::string label;
        int x = 0;
        std::string value;  // empty: none
    };
    // The panel's lines top to bottom; labels are the seven texts
    // "Transmitter:" to "Athwartship Angle:" in that order.
    static std::vector<SInfoLine> InfoLines(const std::string (&labels)[7], const SInfo& info);

private:
    std::vector<BYTE> m_rowColours;
};
