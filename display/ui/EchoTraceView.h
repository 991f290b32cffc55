// The echo trace pane left of an echogram: the TS distribution of the
// recent pings as a bar histogram labelled in fish length, weight or TS,
// and the beam's cross-section with the accepted single echoes of the last
// four pings as circles at their angles; above both a title strip with the
// companion echogram's mean layer value. A tool tip over the histogram
// gives the size under the mouse; the right button opens the settings.
//
// Each ping's update draws into the view's surface from what the document
// handed over with the ping; painting only copies the surface. User-
// interface thread only.
#pragma once

#include "display/EchoTraceDoc.h"
#include "display/ui/SCView.h"

#include <QFont>
#include <QRect>

#include <string>

class CEchoTraceView : public CSCView
{
    Q_OBJECT
public:
    static constexpr unsigned IDS_BIOMASS = 45136;
    static constexpr unsigned IDS_SA = 45139;
    static constexpr int kPingsDrawn = 4;
    static constexpr UINT WM_QUERYNEWPALETTE = 0x30F;
    // Palette entries the pane draws with.
    static constexpr BYTE kBackground = 78;
    static constexpr BYTE kForeground = 79;
    static constexpr BYTE kBeamAxes = 39;
    static constexpr BYTE kBeamOutline = 193;
    static constexpr BYTE kFirstBar = 160;
    static constexpr BYTE kFirstEcho = 159;

    explicit CEchoTraceView(CEchoTraceDoc* document, const SViewContext& context = {}, QWidget* parent = nullptr);
    ~CEchoTraceView() override;
    CEchoTraceDoc* GetDocument() const { return m_document; }

    void OnInitialUpdate();
    void OnUpdate() override;
    int RealizeViewPalette() override;

    // A rectangle as the drawing steps reckon: right and bottom exclusive.
    struct Box
    {
        int left = 0, top = 0, right = 0, bottom = 0;
        int Width() const { return right - left; }
        int Height() const { return bottom - top; }
    };
    // The histogram's plot area of the last update (empty: none, so no tips).
    const Box& HistogramArea() const { return m_histogramArea; }
    int GetColourThreshold() const { return m_colourThreshold; }
    bool IsTooSmall() const { return m_tooSmall != 0; }

    // A TS (dB) in a size scale with the fish constant b: length in cm or
    // inches, weight in kg, or the TS itself.
    static double SizeValue(double ts, int sizeScale, double fishConstant);
    static const char* Unit(int sizeScale);
    // The axis label of a value in a size scale, two blanks behind it.
    static std::string LabelText(double value, int sizeScale);
    // The tool tip at x over a plot area: the text, or empty for none (an
    // area narrower than its 24 bins).
    static std::string TipText(int x, const Box& area, double level, double interval, int sizeScale,
                               double fishConstant);
    // The beam's half widths as drawn (degrees), athwartship and alongship,
    // and the aspect ratio.
    struct Beam
    {
        double a = 10.0;
        double b = 10.0;
        double q = 1.0;
    };
    static Beam BeamShape(int beamType, double alongship, double athwartship);
    // Whether a circle of radius r offset by (dx, dy) from the centre lies
    // inside an ellipse of half axes a and b; never inside a degenerate one.
    static bool InsideEllipse(int dx, int dy, int r, int a, int b);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void OnDraw(QPainter& painter) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FillSurface();
    void DrawTitle(QPainter& p, const CEchoTraceDoc::SShownTrace& shown, Box& area);
    void DrawHistogram(QPainter& p, const CEchoTraceDoc::SShownTrace& shown, const Box& r);
    void DrawEchoTrace(QPainter& p, const CEchoTraceDoc::SShownTrace& shown, const Box& r);
    double FishConstant() const;

    CEchoTraceDoc* m_document;
    Box m_histogramArea;
    int m_fontRebuild = 1;
    QFont m_scaleFont;
    QFont m_titleFont;
    int m_colourThreshold = 0;
    int m_tooSmall = 0;
    // The level and interval of the last histogram drawn, for its tips.
    double m_tipLevel = 0.0;
    double m_tipInterval = 0.0;
};
