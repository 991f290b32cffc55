// The texts a printed page carries beside its echograms: status,
// annotation and navigation texts and the range texts along the page's
// columns, and the marks of the range scales. A text is kept where it was
// queued, in page pixels, and placed when the page is drawn; where two
// texts meet, the one of lower priority gives way.
#pragma once

#include <string>
#include <vector>

struct SPrintedText
{
    // Priorities: status and navigation texts, annotations, range and scale texts.
    enum Priority : int { kStatus = 0, kAnnotation = 1, kRange = 2 };

    int x = 0;  // page column
    int y = 0;  // page row
    // Height of the page when the text was queued; the row is rescaled to
    // the page it is drawn on.
    double pageHeight = 0.0;
    bool topAnchored = false;
    std::string text;
    bool suppressed = false;
    // Where it was drawn, set when the page is drawn.
    int left = 0, top = 0, right = 0, bottom = 0;
    int priority = kStatus;
    // Extends from y away from the top (1), or ends at y (0).
    bool below = true;
};

class CPrinterTexts
{
public:
    // Marks every text that meets a later one of higher or equal priority,
    // and every later one that meets a text of higher priority: the
    // survivors do not overlap. The rectangles must be set.
    static void Thin(std::vector<SPrintedText>& texts);

    // "<channel> <W> W <pulse> <length> m": the pulse in ms, or in us when
    // it lasts 0.1 ms or less.
    static std::string SounderDetails(const std::string& channel, double watts, double pulseSeconds, double metres);
    // "<from> <-> <to> <unit> <dB> dB <TVG>" of a TVG record; the TVG by the
    // echogram's type.
    static std::string Tvg(double from, double to, const std::string& unit, double db, int echogramType);
    // What a range is compared by, and a range value as printed (at most 10
    // characters).
    static std::string RangeKey(double start, double end, const std::string& unit);
    static std::string RangeValue(double value, const std::string& unit);
    // The step between scale marks over a span with a number of depth
    // lines; 0 (no marks) without lines or span.
    static double ScaleStep(double start, double end, int lines);
    static std::string ScaleMark(double value, double step, double end);
};
