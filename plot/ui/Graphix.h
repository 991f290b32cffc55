// The plot window: draws the visible curves, their markers and the grid into
// an off-screen picture and copies it to the screen; edits the points of the
// curve in slot 0 with the mouse (delete, pick and drag, add), zooms with a
// rubber band or the rectangle tracker, pans, shows the values under the
// mouse as a tooltip, and answers message 50000 and its own commands.
#pragma once

#include "plot/AxisScale.h"
#include "plot/GraphMessage.h"
#include "plot/GraphProp.h"
#include "plot/GraphixMath.h"
#include "plot/ui/GraphDib.h"
#include "plot/ui/RectTracker.h"

#include <QColor>
#include <QWidget>

#include <memory>
#include <optional>

class CGraphContainer;
class CGraphView;
class QMenu;

class CGraphix : public QWidget
{
public:
    CGraphix(CGraphView* view, CGraphContainer* container);

    // Ranges that are not finite are refused; the same ranges redraw nothing.
    void SetAxisRanges(double x1, double x2, double y1, double y2, bool redraw);
    CPlotRanges GetAxisRanges() const { return m_ranges; }
    // Answers the flags before.
    unsigned SetDisplayFlags(unsigned flags, bool redraw);
    unsigned GetDisplayFlags() const { return m_flags; }
    void SetEditMode(int mode) { m_mode = mode; }
    int GetEditMode() const { return m_mode; }
    void FitToData();

    long OnGraphMessage(const CGraphMessage& message);
    // False for a command the window does not carry out.
    bool OnCommand(int id);
    std::unique_ptr<QMenu> BuildContextMenu();

    // Draws everything into the surface and marks it drawn; copies it to
    // the screen when asked.
    void Redraw(bool toScreen);

    const CGraphDib& GetSurface() const { return m_dib; }
    CGraphDib& GetSurface() { return m_dib; }
    const CAxisScale& GetXScale() const { return m_xs; }
    const CAxisScale& GetYScale() const { return m_ys; }
    const QString& GetToolTipText() const { return m_tipText; }
    bool IsTrackerActive() const { return m_trackerActive; }
    const CRectTracker& GetTracker() const { return m_tracker; }
    bool HasPreviousRanges() const { return m_previous.has_value(); }

    static QColor ColourOf(PlotColour colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void RebuildScales();
    graphix::CPixel PixelOf(double x, double y) const { return graphix::ToPixel(m_xs, m_ys, x, y); }
    void DrawCurves(QPainter& p) const;
    void DrawGrid(QPainter& p);
    // Draws the segment cut to the window; false when none of it shows.
    bool DrawSegment(QPainter& p, graphix::CPixel a, graphix::CPixel b, QRect* drawn) const;
    bool DrawMarker(QPainter& p, graphix::CPixel at) const;
    void PointAdded(const CGraphPointRecord& record);
    const CGraphProp* EditedCurve() const;
    void UpdateToolTip(QPoint pos, QPoint globalPos);
    void PanTo(QPoint pos);
    QRect BandRect() const;
    void ZoomToTracker();
    void PushRangesUndo();
    void Fit(bool x, bool y);

    CGraphView* m_view;
    CGraphContainer* m_container;
    CGraphDib m_dib{0, 0};
    CPlotRanges m_ranges;
    unsigned m_flags;
    int m_tipCountdown = 4;
    QString m_tipText;
    QColor m_background{Qt::white};
    bool m_trackerActive = false;
    CRectTracker m_tracker;
    std::optional<CPlotRanges> m_previous;
    bool m_banding = false;
    QPoint m_anchor;
    QPoint m_current;
    bool m_panning = false;
    QPoint m_panFrom;
    bool m_dragging = false;
    int m_pick = -1;
    // The tracker while the user moves it or one of its handles.
    int m_trackHit = CRectTracker::HitNothing;
    CRectTracker m_trackStart;
    QPoint m_trackFrom;
    CAxisScale m_xs;
    CAxisScale m_ys;
    int m_mode;
};
