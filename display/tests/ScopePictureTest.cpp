// The scope pane's arithmetic without a window: A-scope bars in the surface
// bytes, axis limits and labels of the debug curves, where bottom candidates
// land on the amplitude samples, the information panel's lines and the
// debug columns' layout.
#include "display/ScopePicture.h"
#include "display/ScopeDebugSettings.h"

#include "engine/RawPower.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

// A pane of 110 x 20 pixels: (width - 10) / 2 = 50 pixels a side at most.
struct Pane
{
    static constexpr int kWidth = 110, kHeight = 20, kStride = 112;
    std::vector<BYTE> bits = std::vector<BYTE>(kStride * kHeight, CScopePicture::kBackground);
    std::vector<std::int16_t> column = std::vector<std::int16_t>(kHeight, rawpower::kNoEcho);
    CColorScaleSettings scale;
    CScopePicture picture;
    CScopePicture::SColumn input;

    Pane()
    {
        scale.SetInterval(3.0);
        scale.SetLevel(2, -70.0);  // echogram type 1
        scale.SetLevel(4, -40.0);  // type 3, the bottom's
        input.values = column.data();
        input.delivered = kHeight;
        input.echogramType = 1;
    }
    void Draw()
    {
        bits.assign(bits.size(), CScopePicture::kBackground);
        picture.DrawAScope(bits.data(), kStride, kWidth, kHeight, input, scale);
    }
    BYTE At(int x, int y) const { return bits[static_cast<std::size_t>(y) * kStride + x]; }
    // The bar of a row: its first pixel and length (0 when none); the
    // centre line is drawn over its middle.
    std::pair<int, int> Bar(int y) const
    {
        int first = -1, last = -2;
        for (int x = 0; x < kWidth; ++x)
            if (At(x, y) >= 160 && At(x, y) <= 171) {
                if (first < 0)
                    first = x;
                last = x;
            }
        return {first, last - first + 1};
    }
};

}  // namespace

TEST(ScopeAScope, BarLengthAndColourFollowTheStepsAboveTheStartLevel)
{
    Pane pane;
    // -70 dB is -5952.9 raw units; a step of 3 dB is 255.1 units.
    pane.column[3] = -5952;        // just at the start level
    pane.column[5] = -5952 + 256;  // one step above
    pane.column[7] = 0;            // far above: the longest bar
    pane.column[9] = -5952 - 1;    // below the scale
    pane.column[11] = rawpower::kNoEcho;
    pane.Draw();
    EXPECT_EQ(pane.Bar(3).second, 0) << "colour 1, no length";
    EXPECT_EQ(pane.picture.GetRowColour(3), 1);
    EXPECT_EQ(pane.Bar(5), std::make_pair(55 - 4, 8));
    EXPECT_EQ(pane.At(52, 5), 161) << "colour 2";
    EXPECT_EQ(pane.Bar(7), std::make_pair(55 - 49, 98)) << "(width - 10) / 2 less one raw unit";
    EXPECT_EQ(pane.At(10, 7), 171);
    EXPECT_EQ(pane.Bar(9).second, 0);
    EXPECT_EQ(pane.picture.GetRowColour(9), 0);
    EXPECT_EQ(pane.Bar(11).second, 0);
    // Value 0 is never drawn; the centre line runs from row 1 to the
    // second-last row.
    pane.column[0] = 0;
    pane.Draw();
    EXPECT_EQ(pane.Bar(0).second, 0);
    EXPECT_EQ(pane.At(55, 0), CScopePicture::kBackground);
    EXPECT_EQ(pane.At(55, 1), 79);
    EXPECT_EQ(pane.At(55, Pane::kHeight - 2), 79);
    EXPECT_EQ(pane.At(55, Pane::kHeight - 1), CScopePicture::kBackground);
}

TEST(ScopeAScope, PingFilterShowsAnEchoFromItsSecondPing)
{
    Pane pane;
    pane.input.pingFilter = true;
    pane.column[6] = 0;
    pane.Draw();
    EXPECT_EQ(pane.Bar(6).second, 98) << "the memory starts at 1: a first drawing shows";
    pane.column[6] = rawpower::kNoEcho;
    pane.Draw();
    pane.column[6] = 0;
    pane.Draw();
    EXPECT_EQ(pane.Bar(6).second, 0) << "an echo of one ping after an empty one";
    pane.Draw();
    EXPECT_EQ(pane.Bar(6).second, 98) << "the same echo in the next ping";
}

TEST(ScopeAScope, SidescanTurnsTheColumnAndTheBottomLine)
{
    Pane pane;
    pane.column[4] = 0;
    pane.input.bottomRow = 6;
    pane.Draw();
    EXPECT_EQ(pane.Bar(4).second, 98);
    EXPECT_EQ(pane.At(0, 6), 79) << "bottom line at its row";
    pane.input.sidescan = true;
    pane.Draw();
    EXPECT_EQ(pane.Bar(4).second, 0);
    EXPECT_EQ(pane.Bar(Pane::kHeight - 1 - 4).second, 98);
    EXPECT_EQ(pane.At(0, Pane::kHeight - 6 - 1), 79);
    EXPECT_NE(pane.At(0, 6), 79);
}

TEST(ScopeAScope, BelowASubstitutedBottomTheBottomScaleColours)
{
    Pane pane;
    // -50 dB: three steps above type 1's start, below the bottom's (-40).
    const auto raw = static_cast<std::int16_t>(-50.0 / rawpower::kDbPerUnit);
    pane.column[4] = raw;
    pane.column[8] = raw;
    pane.input.bottomSubstituted = true;
    pane.input.bottomRow = 8;
    pane.Draw();
    EXPECT_GT(pane.Bar(4).second, 0);
    EXPECT_EQ(pane.Bar(8).second, 0);
    EXPECT_EQ(pane.picture.GetRowColour(8), 0);
}

TEST(ScopeAScope, ZeroStepAndOversizedPanesDrawNoBarAndNoFault)
{
    Pane pane;
    pane.scale.SetInterval(0.0);
    pane.column[5] = 0;
    pane.Draw();
    EXPECT_EQ(pane.Bar(5).second, 0) << "a scale without a step has no bar length";
    EXPECT_EQ(pane.picture.GetRowColour(5), 12);

    struct Case
    {
        double v, m;
        int width, half;
        const char* legend;
    } cases[] = {
        {100.0, 0.0, 110, -1, "zero scale"},
        {100.0, -5.0, 110, -1, "negative scale"},
        {100.0, std::nan(""), 110, -1, "scale no number"},
        {-50.0, 200.0, 110, 0, "below the start"},
        {1e9, 200.0, 110, 49, "clamped to the scale less one"},
        {0.5, 0.5, 110, 0, "scale below one unit"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CScopePicture::HalfBar(c.v, c.m, c.width), c.half) << c.legend;

    // A pane taller than the memory's first rows gets rows of its own.
    CScopePicture tall;
    tall.FitRows(2500);
    EXPECT_EQ(tall.GetRowCount(), 2500);
    EXPECT_EQ(tall.GetRowColour(2499), 1);
}

TEST(ScopeLines, EndPointExcludedAndClippedToTheSurface)
{
    Pane pane;
    CScopePicture::Line(pane.bits.data(), Pane::kStride, Pane::kWidth, Pane::kHeight, 2, 3, 2, 8, 200);
    for (int y = 0; y < Pane::kHeight; ++y)
        EXPECT_EQ(pane.At(2, y), y >= 3 && y < 8 ? 200 : CScopePicture::kBackground) << y;
    // From far off the surface across it: only the pixels inside are written.
    CScopePicture::Line(pane.bits.data(), Pane::kStride, Pane::kWidth, Pane::kHeight, -1000000, 10, 1000000, 10, 201);
    for (int x = 0; x < Pane::kWidth; ++x)
        EXPECT_EQ(pane.At(x, 10), 201) << x;
    EXPECT_EQ(pane.bits[10 * Pane::kStride + Pane::kWidth], CScopePicture::kBackground) << "the row's padding";
}

TEST(ScopeAxis, LimitsMeanAndLabelsByMagnitude)
{
    const double values[] = {1.0, 2.0, 6.0};
    CScopePicture::SAxis axis;
    ASSERT_TRUE(CScopePicture::FormatAxisValue(values, 3, {}, axis));
    EXPECT_EQ(axis.maximum, 6.0);
    EXPECT_EQ(axis.minimum, 1.0);
    EXPECT_EQ(axis.mean, 3.0);
    EXPECT_EQ(axis.maxLabel, "6.00 ");
    EXPECT_EQ(axis.minLabel, "1.00 V");
    // Ticked limits win.
    ASSERT_TRUE(CScopePicture::FormatAxisValue(values, 3, {true, true, 30.0, -170.0}, axis));
    EXPECT_EQ(axis.maxLabel, "30.00 ");
    EXPECT_EQ(axis.minLabel, "-170.00 ");

    struct Case
    {
        double value;
        const char* max;
        const char* min;
    } cases[] = {
        {5e-10, "500.000000 p", "500.000000 p"}, {2.5e-8, "25.00 n", "25.000000 n"}, {4e-5, "40.00 u", "40.00 u"},
        {-0.25, "-250.00 m", "-250.00 m"},       {-3.0, "-3.00 ", "-3.00 "},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CScopePicture::FormatAxisLabel(c.value, false), c.max) << c.value;
        EXPECT_EQ(CScopePicture::FormatAxisLabel(c.value, true), c.min) << c.value;
    }
    EXPECT_EQ(CScopePicture::FormatReference(0.0005), "500.0u");
    EXPECT_EQ(CScopePicture::FormatReference(0.05), "50.00m");
    EXPECT_EQ(CScopePicture::FormatReference(0.5), "500.0m");
    EXPECT_EQ(CScopePicture::FormatReference(12.0), "12.00");
}

TEST(ScopeAxis, EmptyFlatAndDamagedCurvesHaveNoAxis)
{
    const double flat[] = {4.0, 4.0};
    const double damaged[] = {1.0, std::numeric_limits<double>::infinity()};
    CScopePicture::SAxis axis;
    EXPECT_FALSE(CScopePicture::FormatAxisValue(flat, 0, {}, axis)) << "no values";
    EXPECT_FALSE(CScopePicture::FormatAxisValue(nullptr, 2, {}, axis));
    EXPECT_FALSE(CScopePicture::FormatAxisValue(damaged, 2, {}, axis));
    ASSERT_TRUE(CScopePicture::FormatAxisValue(flat, 2, {}, axis));
    EXPECT_FALSE(CScopePicture::IsDrawableAxis(axis.minimum, axis.maximum, 2)) << "flat data: max = min";
    EXPECT_FALSE(CScopePicture::IsDrawableAxis(-1.0, 1.0, 0));
    EXPECT_TRUE(CScopePicture::IsDrawableAxis(-1.0, 1.0, 2));
    EXPECT_EQ(CScopePicture::TraceX(0.0, 10, 100, -1.0, 1.0), 60);
    EXPECT_EQ(CScopePicture::TraceX(1e300, 10, 100, -1.0, 1.0), 1000000) << "far off the pane, no overflow";
}

// Candidates on 100 samples of 0.1 m: the amplitude rises through the
// threshold (-50 dB) between samples 59 and 60.
TEST(ScopeCandidates, EdgeSearchAndCandidatesOutsideTheSamples)
{
    std::vector<double> amplitude(100, -90.0);
    for (int i = 60; i < 100; ++i)
        amplitude[static_cast<std::size_t>(i)] = -20.0;
    amplitude[59] = -60.0;
    amplitude[99] = -90.0;
    CScopePicture::SCandidateFrame frame;
    // Window from 1 m (s0 = 10), transducer at 0.5 m (O = 5), pulse 1 ms
    // (limit 2 x 8 = 16), minimum depth 2.5 m (20 samples below).
    ASSERT_TRUE(CScopePicture::MakeCandidateFrame(1.0, 0.1, 0.5, 0.001, 2.5, -50.0, frame));
    EXPECT_EQ(frame.s0, 10);
    EXPECT_EQ(frame.o, 5);
    EXPECT_EQ(frame.pulseLimit, 16);
    EXPECT_EQ(frame.lowerLimit, 20);
    EXPECT_FALSE(CScopePicture::MakeCandidateFrame(1.0, 0.0, 0.5, 0.001, 2.5, -50.0, frame)) << "no sample distance";
    ASSERT_TRUE(CScopePicture::MakeCandidateFrame(1.0, 0.1, 0.5, 0.001, 2.5, -50.0, frame));

    auto candidate = [](int start, bool valid = true, int total = 9) {
        SBottomCandidate c;
        c.valid = valid;
        c.total = total;
        c.start = start;
        return c;
    };
    struct Case
    {
        SBottomCandidate c;
        bool placed;
        int u;
        const char* legend;
    } cases[] = {
        {candidate(75), true, 59, "stepped back to the rising edge"},
        {candidate(60), true, 55, "below the threshold: stays"},
        {candidate(10), true, 20, "inside the pulse limit: not searched, raised to the lower limit"},
        {candidate(75, false), false, 0, "not confirmed"},
        {candidate(75, true, 0), false, 0, "no score"},
        {candidate(2), false, 0, "above the window"},
        {candidate(105), false, 0, "beyond the samples"},
        {candidate(104), false, 0, "its next sample beyond the samples"},
        {candidate(std::numeric_limits<int>::max()), false, 0, "far beyond, no wrap"},
    };
    for (const Case& c : cases) {
        int u = -1;
        double f = -1.0;
        EXPECT_EQ(CScopePicture::PlaceCandidate(c.c, frame, amplitude.data(), 100, u, f), c.placed) << c.legend;
        if (c.placed) {
            EXPECT_EQ(u, c.u) << c.legend;
        }
    }
    int u = 0;
    double f = 0.0;
    ASSERT_TRUE(CScopePicture::PlaceCandidate(candidate(75), frame, amplitude.data(), 100, u, f));
    EXPECT_NEAR(f, (-20.0 + 50.0) * 0.1 / 40.0, 1e-12) << "the threshold's place between the two samples";
    // The pane's 16 first samples cannot hold a lower limit of 20.
    EXPECT_FALSE(CScopePicture::PlaceCandidate(candidate(15), frame, amplitude.data(), 16, u, f));
}

TEST(ScopeInfoPanel, LinesPerModelBottomAndBeam)
{
    const std::string labels[7] = {"Transmitter:",        "Receiver:",        "Channel:",          "Background Noise:",
                                   "Receiver Amplitude:", "Alongship Angle:", "Athwartship Angle:"};
    CScopePicture::SInfo info;
    info.noiseDb = -150.0;
    info.amplitudeRaw = static_cast<std::int16_t>(-100.0 / rawpower::kDbPerUnit);
    info.bottomFound = false;
    auto lines = CScopePicture::InfoLines(labels, info);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].label, "Channel:");
    EXPECT_EQ(lines[0].x, 5);
    EXPECT_EQ(lines[1].value, "-150.0 dBW");
    EXPECT_EQ(lines[2].label, "Receiver Amplitude:");
    EXPECT_EQ(lines[2].value, "-100.0 dBW");
    EXPECT_EQ(lines[3].label, "No bottom found");
    EXPECT_EQ(lines[3].x, 15);
    EXPECT_TRUE(lines[3].value.empty());

    info.noiseFactor = true;
    info.bandwidthHz = 1000.0;
    info.bottomFound = true;
    info.bottomLevelDb = -30.0;
    info.splitBeam = true;
    info.angleWord = 0x40C0;  // +90 alongship, -90 athwartship
    lines = CScopePicture::InfoLines(labels, info);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2].label, "Noise factor: ");
    EXPECT_EQ(lines[2].value, " 24.0 dBW");  // -150 - 10 log10(4.002e-18)
    EXPECT_EQ(lines[4].label, "Bottom s/n ratio:");
    EXPECT_EQ(lines[4].value, "120.0 dBW");
    EXPECT_EQ(lines[5].value, "+90.0 deg.");
    EXPECT_EQ(lines[6].value, "-90.0 deg.");
    info.bandwidthHz = 0.0;
    lines = CScopePicture::InfoLines(labels, info);
    EXPECT_TRUE(lines[2].value.empty()) << "no bandwidth, no factor";
}

TEST(ScopeDebugSettings, DefaultsModesAndLimitTexts)
{
    CScopeDebugSettings s;
    EXPECT_EQ(s.GetMode(), CScopeDebugSettings::Mode::Scope);
    EXPECT_TRUE(s.amplitude && s.useMaximum && s.useMinimum);
    EXPECT_EQ(s.maximum, 30.0);
    EXPECT_EQ(s.minimum, -170.0);
    s.SelectAnalog();
    EXPECT_EQ(s.GetMode(), CScopeDebugSettings::Mode::Analog);
    s.SelectScope();
    EXPECT_EQ(s.analogMode, 1) << "Scope after Debug Analog leaves the analog flag";
    EXPECT_EQ(s.GetMode(), CScopeDebugSettings::Mode::Scope);
    s.SelectMotion();
    EXPECT_EQ(s.GetMode(), CScopeDebugSettings::Mode::Motion);
    s.SelectNumeric();
    EXPECT_EQ(s.GetMode(), CScopeDebugSettings::Mode::Numeric);

    struct Case
    {
        const char* text;
        double expected;
    } cases[] = {{"12.5", 12.5}, {"", 12.5}, {"1e999", 12.5}, {"nan", 12.5}, {"-inf", 12.5}, {"abc", 0.0}, {"7x", 7.0}};
    for (const Case& c : cases) {
        s.SetMaximumText(c.text);
        EXPECT_EQ(s.maximum, c.expected) << '"' << c.text << '"';
    }
}

TEST(ScopeDebugSettings, ColumnsSideBySideWideBandFirstAdLast)
{
    CScopeDebugSettings s;
    s.amplitude = 0;
    s.SetRange(406, 300);
    EXPECT_EQ(s.ApplySettings(), 400) << "no trace: the full width less 6";

    s.amplitude = 1;
    s.nvuReal = 1;
    s.adOutput[0] = 1;
    s.adOutput[3] = 1;
    const int w = s.ApplySettings();
    EXPECT_EQ(w, 100);
    using R = CScopeDebugSettings::Rect;
    auto same = [](const R& a, const R& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    };
    EXPECT_TRUE(same(s.columns[CScopeDebugSettings::kNvuReal], R{5, 0, 93, 300}));
    EXPECT_TRUE(same(s.columns[CScopeDebugSettings::kAmplitude], R{105, 0, 193, 300}));
    EXPECT_TRUE(same(s.columns[CScopeDebugSettings::kAd1], R{208, 0, 298, 229}));
    EXPECT_TRUE(same(s.columns[CScopeDebugSettings::kAd1 + 3], R{308, 0, 403, 229}));
    // An unselected trace keeps its rectangle.
    s.nvuReal = 0;
    s.ApplySettings();
    EXPECT_TRUE(same(s.columns[CScopeDebugSettings::kNvuReal], R{5, 0, 93, 300}));
}
