// The echogram of one echogram document. Every ping moves the picture one
// column left and writes the new column into the view's surface (see
// CEchogramPicture); painting copies the surface and draws the range scale
// beside it. Side-looking documents turn the picture: pings are rows, the
// scale is a header across the top. With the slope reference each ping draws
// the bottom's angle instead of its samples.
//
// A ping only writes the surface and notes what changed: the window is
// brought up to date at most once a screen frame, by scrolling what it
// shows by the pings since (the view is opaque, so only the exposed columns
// are painted) and repainting the labels the pings wrote, and the scale
// when its values changed. Without a usable scroll (after a resize, a
// cleared or turned picture, a hidden window) the whole area is repainted.
//
// User-interface thread only: OnUpdate runs when the document has its views
// updated.
#pragma once

#include "display/EchogramInteraction.h"
#include "display/EchogramMarks.h"
#include "display/EchogramPicture.h"
#include "display/PrintedEchogram.h"
#include "display/ui/SCView.h"

#include <QElapsedTimer>
#include <QFont>
#include <QStaticText>
#include <QTimer>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class CEchogramDoc;
class CExternalDepth;
class QPainter;

// What an echogram view reads of its document's channel and tells its slope
// tracker; the view reads the real channel unless a test puts its own in.
class IEchogramViewChannel
{
public:
    virtual ~IEchogramViewChannel() = default;
    // The channel's colour scale as it is now (one lock for the ping's
    // column, not one a sample).
    virtual void GetColorScale(CColorScaleSettings& scale) = 0;
    // The channel's current bottom depth (m); false when none.
    virtual bool GetDepth(double& depth) = 0;
    // True while the channel skips its display.
    virtual bool IsSkipping() = 0;
    virtual void SetSlopeHistorySize(int columns) = 0;
    virtual int GetSlopeHalfPointCount() = 0;
    virtual void UpdateSlopeValidity(bool valid) = 0;
    // The slope angle in degrees; false while the fit is not valid.
    virtual bool GetSlopeAngle(double& degrees) = 0;
    // Samples of the external source of this name, the other side of a
    // side-looking echogram; false when there is none.
    virtual bool GetSecondSide(const std::string& name, std::vector<std::int16_t>& samples) = 0;
    // The last ping's time (100 ns units since 1601, UTC); 0 when none.
    virtual std::uint64_t GetPingTime() = 0;
    // The channel's sound velocity (m/s).
    virtual double GetSoundVelocity() = 0;

    // What the mouse and the wheel read and change; none by default.
    // The colour scale's start level of a selector (dB), read and set under
    // the channel's lock.
    virtual double GetThreshold(int selector) { return 0.0; }
    virtual void SetThreshold(int selector, double level) {}
    // The channel's beam angle (degrees).
    virtual double GetBeamAngle() { return 0.0; }
    virtual bool IsSlopeEnabled() { return false; }
    virtual bool GetSlopeHistoryValue(int placesBack, double& value) { return false; }
    virtual double GetSlopeDistance(int a, int b) { return 0.0; }
    // The trawl's depth and opening (m) with their valid flags.
    virtual void GetTrawl(bool& depthValid, double& depth, bool& openingValid, double& opening)
    {
        depthValid = openingValid = false;
    }
};

class CEchogramView : public CSCView, public IPrintedEchogram
{
    Q_OBJECT
public:
    // The second side as the external depth table holds it under a name;
    // false without a table or an entry of that name.
    static bool ReadSecondSide(const CExternalDepth* table, const std::string& name,
                               std::vector<std::int16_t>& samples);

    // The application and sounder the view reaches through its context.
    using Environment = IEchogramViewEnvironment;

    explicit CEchogramView(CEchogramDoc* document, const SViewContext& context = {}, QWidget* parent = nullptr);
    ~CEchogramView() override;

    // The channel the view reads; null: its document's real channel again.
    void SetChannelAccess(IEchogramViewChannel* channel);
    CEchogramDoc* GetDocument() const { return m_document; }

    void OnInitialUpdate();
    // The per-ping update.
    void OnUpdate() override;
    int IsSideScan() const override;
    int RealizeViewPalette() override;

    bool IsEnabled() const { return m_enabled; }
    const CEchogramPicture& Picture() const { return m_picture; }
    int GetScaleMargin() const { return m_picture.GetScaleMargin(); }
    int GetTopMargin() const { return EchogramMapping::TopMargin(GetHeight()); }
    // Q: the columns by which the slope echogram lags.
    int GetSlopeLag() const { return m_q; }

    // What the history printing copies of it.
    void CopyNewestLine(CPrinterPage& page, const CPrinterPage::ColourMap& map, int x, int& y, double scale) override;
    void AddLineExtent(int& y) const override;
    CEchogramDoc* GetPrintedDocument() const override { return m_document; }
    bool ShowsScale() const override { return GetScaleMargin() > 0; }

    // The picture in the order it shows (the surface holds a ring).
    QImage ShowImage() const override;
    int SurfaceParts(const QRect& shown, SurfacePart (&parts)[kMaxSurfaceParts]) const override;
    // A rectangle of the picture (as it shows) was written outside a ping:
    // its colours are taken anew and it is repainted.
    void PictureChanged(const QRect& rect);

    // Colours of texts written into the picture, set by RealizeViewPalette.
    BYTE GetPictureTextIndex() const { return m_pictureText; }
    BYTE GetPictureBackgroundIndex() const { return m_pictureBackground; }

    // Scale values as written (top, bottom) in the depth unit.
    static std::string FormatScaleValue(double value, const std::string& unit);
    // Extent values of the header in row orientation.
    static std::string FormatExtentValue(double value);
    // Rows of the scale's ticks: k × H / 10 rounded, k = 1..9.
    static int TickRow(int k, int height);

    // The annotation message: the next ping marks its column and, with a
    // text (null: none), writes it. Nothing while the document is frozen.
    void SetAnnotation(const char* text);
    // Annotation columns and texts drawn so far.
    int GetAnnotationsShown() const { return m_annotationsShown; }
    int GetAnnotationTextsShown() const { return m_annotationTextsShown; }

    // The tool at a point of the window (see CEchogramInteraction::
    // ToolHitTest); the call counter is shared by all echogram views.
    int OnToolHitTest(const QPoint& point, CEchogramInteraction::SToolHit* tool);
    static unsigned& ToolHitCounter();
    // What the tool tip and the clicks read of the view now.
    CEchogramInteraction::SPointerView PointerView() const;

    // The measuring line while the left button draws it.
    bool IsMeasuring() const { return m_measuring; }
    QPoint MeasuringStart() const { return m_measureStart; }
    QPoint MeasuringEnd() const { return m_measureEnd; }
    // The measuring line's text and its box as last drawn.
    const QString& MeasuringText() const { return m_measureText; }
    QRect MeasuringTextBox() const { return m_measureTextBox; }
    // The depths of the external sources of the last rows (newest first),
    // which a click on a row sends with its position.
    const std::deque<double>& ExternalDepthHistory() const { return m_externalHistory; }

    // Brings the window up to date with the pings since the last time;
    // what the frame timer runs. Nothing when nothing is pending.
    void FlushUpdates();
    bool HasPendingUpdates() const { return m_pendingLines > 0 || m_pendingAll || m_pendingScale; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool event(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnDraw(QPainter& painter) override;
    QImage PaintImage() const override { return m_colours; }
    void ColourTableChanged() override { RebuildColours(); }

private:
    // The wheel over the scale strip; true when the window changed.
    bool StripWheel(int delta, Qt::KeyboardModifiers keys, Qt::MouseButtons buttons);
    void RunDialog(Qt::KeyboardModifiers keys, const QPoint& p);
    // A position mark at a point: the ping's position sent, an "X" drawn.
    void PositionMark(const QPoint& p);
    // The marker value and the measuring line from the pointer.
    void TakeMarker(int y);
    void StartMeasuring(const QPoint& p);
    void DrawMeasuringLine(QPainter& painter);
    void DrawMarkerLine(QPainter& painter);
    // Row of the marker value in the shown window; -1 when outside.
    int MarkerLineRow() const;
    // The band of the marker line at a row: the line and its label below
    // it; and the label's box alone, all that a scroll along the line
    // leaves to repaint.
    QRect MarkerBand(int row) const;
    QRect MarkerLabelBox(int row) const;
    QString MarkerLabelText() const;
    // The automatic range and start of a surface window after a ping.
    void FollowBottom(double depth);
    void FocusFrame();
    void Reattach();
    // The old picture (oldWidth x oldHeight as it showed) into the new one.
    void CarryOver(const std::vector<BYTE>& old, int oldWidth, int oldArea, int oldHeight);
    void DrawScale(QPainter& painter);
    void DrawRowScale(QPainter& painter);
    // The scale's values as the document has them now, in the depth unit.
    std::pair<double, double> ScaleValues() const;
    void WritePing(CEchogramDoc& doc, CEchogramPicture::Column& column, bool hasDepth, double depth);

    // The marks and labels of the newest column (row), in the order the
    // ping draws them; h is the picture's height.
    void MarkLinkedWindow(int h);
    void MarkNetSensors(int h);
    void MarkExternalDepths(int h);
    void MarkExternalDepthsRow();
    void MarkPingerDepth(int h);
    void MarkMultiPulseDepths(double first, double second, int h);
    void MarkMarkerDepth(double value, int h);
    void DrawDepthGrid(int lineCount, int h);
    void MarkMinute(int rows);
    void MarkRangeChange(double top, double bottom);
    void MarkSoundSpeedChange(double velocity);
    void DrawAnnotationText(const std::string& text);
    void DrawAnnotationTextRow(const std::string& text);
    // The document's window: its top for the reference, with the channel's
    // depth of this ping; false for a reference without one.
    bool WindowTop(double& top) const;
    // Column runs of the marks; in row orientation they reach rows of
    // earlier pings, which are then labels of this ping too.
    void Run(BYTE colour, int row, int count);
    // Every third row of the newest column: a range or sound speed changed.
    void DottedLine();
    // The right edge of the echogram area, left of the slope strip.
    int LabelRight() const;
    // Writes a text into the picture without antialiasing, in colour index
    // `colour` over a background of `fill` (none when negative); `box` as
    // the picture shows. A turned text reads upwards from the box's foot.
    void WriteText(const QString& text, const QFont& font, const QRect& box, bool turned, BYTE colour, int fill);
    // The window's echogram area, the part of it that scrolls, and the scale.
    QRect AreaRect() const;
    QRect ScrollRect() const;
    QRect ScaleRect() const;
    // The colours of the surface, through the colour table: all of it, or
    // a rectangle of the picture as it shows.
    void RebuildColours();
    void ConvertColours(const QRect& shown);
    // A rectangle of the surface as it lies.
    void ConvertSurface(const QRect& lies);
    // Notes one ping's changes for the next frame.
    void NotePing(bool scaleChanged);
    // A rectangle of the picture written besides the newest line (a label).
    void NoteLabel(const QRect& rect) { m_labels += rect; }

    CEchogramDoc* m_document;
    std::unique_ptr<IEchogramViewChannel> m_ownAccess;
    IEchogramViewChannel* m_access = nullptr;
    CEchogramPicture m_picture;
    bool m_enabled = false;
    double m_scaleTop = 0.0;
    double m_scaleBottom = 0.0;
    int m_q = 0;
    // The last update drew a slope column: the printer copies from there.
    bool m_slopeReference = false;
    BYTE m_pictureText = CPaletteControl::kTextIndex;
    BYTE m_pictureBackground = EchogramMapping::kMarker;
    std::vector<std::int16_t> m_secondSide;
    CColorScaleSettings m_scale;

    // The channel's depth this ping.
    bool m_hasDepth = false;
    double m_depth = 0.0;
    // Fonts of the texts in the picture: turned texts along a column, the
    // depth grid's labels, texts across (the range labels and the texts of
    // row orientation).
    QFont m_columnFont;
    QFont m_gridFont;
    QFont m_rowFont;
    // The marks' memory from ping to ping.
    EchogramMarks::CDashes m_linkedDashes;
    EchogramMarks::CDashes m_gridDashes;
    EchogramMarks::SDepthGrid m_grid;
    int m_gridLabelCountdown = 10;
    bool m_gridLabelled = true;
    double m_lastRangeTop = 0.0;
    double m_lastRangeBottom = 0.0;
    int m_rangeLabelCountdown = 0;
    double m_lastSoundSpeed = 0.0;
    int m_soundSpeedCountdown = 0;
    int m_lastMinute = 0;
    // The marker: dragged with Ctrl and the left button; the row last drawn.
    bool m_markerDrag = false;
    int m_markerDrawnRow = -1;
    // The measuring line, from a stored depth to the pointer.
    bool m_measuring = false;
    QPoint m_measureStart;
    QPoint m_measureEnd;
    QString m_measureText;
    QRect m_measureTextBox;
    // External depths of the rows, newest first, at most max(W, H).
    std::deque<double> m_externalHistory;
    QFont m_markFont;
    // An automatic start refused a ping's depth or range; told once a run.
    bool m_autoStartRefused = false;
    int m_annotationsShown = 0;
    int m_annotationTextsShown = 0;
    bool m_annotationMark = false;
    bool m_annotationTextDue = false;
    std::string m_annotationText;
    // The surface in 32-bit colour, laid out as the surface (a ring too):
    // painting copies from it, so no paint converts palette indices. Each
    // ping converts the lines and labels it wrote; a new colour table or a
    // new surface converts all of it.
    QImage m_colours;

    // What the pings since the last frame left to show: lines to scroll in,
    // label rectangles (where they show now), the whole area, the scale.
    int m_pendingLines = 0;
    QRegion m_pendingLabels;
    bool m_pendingAll = true;
    bool m_pendingScale = false;
    // The scroll rectangle the pending lines belong to.
    QRect m_pendingScroll;
    // Labels the ping running now writes.
    QRegion m_labels;
    QTimer m_frameTimer;
    QElapsedTimer m_sinceFlush;

    // The scale's texts, laid out when they change.
    struct ScaleText
    {
        QString text;
        QFont laidFor;
        QStaticText laidOut;
        void Set(const QString& value, const QFont& font);
    };
    ScaleText m_topText;
    ScaleText m_bottomText;
    // The marker line's label as last drawn.
    ScaleText m_markerText;
};
