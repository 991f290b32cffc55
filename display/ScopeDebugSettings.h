// The switches of a scope pane: its display mode, the traces it shows in
// its engineering displays, their scaling and axis limits, and the columns
// in which the pane draws one selected trace each. The scope view owns one
// (through its debug dialog, which edits it in place) and reads it at every
// paint. Nothing of it is stored: a new pane starts with the defaults.
#pragma once

#include <string>

class CScopeDebugSettings
{
public:
    // Rectangle of a column in pane pixels.
    struct Rect
    {
        int left = 0, top = 0, right = 0, bottom = 0;
        int Width() const { return right - left; }
        int Height() const { return bottom - top; }
    };
    // Columns by trace.
    enum Column : int {
        kAmplitude = 0,
        kAlongship = 1,
        kAthwartship = 2,
        kAd1 = 3,  // .. kAd1 + 3
        kNvuAbsolute = 7,
        kNvuReal = 8,
        kNvuImaginary = 9,
        kNvuCurrent = 10,
        kNvuPhase = 11,
        kNvuImpedance = 12,
        kNvu16Bit = 13,
        kColumnCount = 14,
    };
    enum class Mode { Scope, Analog, Numeric, Motion };
    // Room below the A/D columns for the gain texts and their legend.
    static constexpr int kAdFoot = 71;

    Mode GetMode() const;
    // The mode buttons: each sets the flags as its click does.
    void SelectScope();
    void SelectAnalog();
    void SelectNumeric();
    void SelectMotion();

    // Axis limits typed as text: a finite number replaces the value; empty
    // text or text that is no finite number keeps it.
    void SetMaximumText(const std::string& text) { TakeNumber(text, maximum); }
    void SetMinimumText(const std::string& text) { TakeNumber(text, minimum); }

    // The pane's client size; lays the columns out again.
    void SetRange(int cx, int cy);
    // Lays the selected traces' columns out side by side; unselected ones
    // keep their rectangles. Returns the column width.
    int ApplySettings();
    // The selected A/D output flags (n = 1..4).
    bool IsAdSelected(int n) const { return adOutput[n - 1] != 0; }
    bool AnyAdSelected() const { return adOutput[0] || adOutput[1] || adOutput[2] || adOutput[3]; }

    int analogMode = 0;
    int scopeMode = 1;
    int motionMode = 0;
    Rect columns[kColumnCount] = {};
    int sampleKind = 0;  // 0 power, 1 Sv
    int adOutput[4] = {};
    int alongship = 0;
    int amplitude = 1;
    int athwartship = 0;
    int testTone = 0;
    int horizontalScaling = 0;
    int verticalScaling = 0;
    int kindChoice = 0;
    int nvuAbsolute = 0;
    int nvuImaginary = 0;
    int nvuReal = 0;
    int bottomCandidates = 0;
    int useMaximum = 1;
    int useMinimum = 1;
    int nvuCurrent = 0;
    int nvuImpedance = 0;
    int nvuPhase = 0;
    int nvu16Bit = 0;
    double maximum = 30.0;
    double minimum = -170.0;
    int paneHeight = 0;
    int paneWidth = 0;

private:
    static void TakeNumber(const std::string& text, double& value);
};
