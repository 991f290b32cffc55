#include "plot/ui/Graphix.h"

#include "plot/ui/FHRuler.h"
#include "plot/ui/FVRuler.h"
#include "plot/ui/GraphContainer.h"
#include "plot/ui/GraphPropertySheet.h"
#include "plot/ui/GraphView.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

using graphix::CPixel;

namespace {

// Markers reach 3 pixels beyond their point: what lies further outside the
// window is not drawn.
constexpr int kMargin = 8;

// The rectangle with both points as corners (QRect::normalized() would
// step in by one where the points come in reverse).
QRect Spanned(QPoint a, QPoint b)
{
    return QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                 QPoint(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

void UseCurvePen(QPainter& p, const CGraphProp& graph)
{
    const CPenDesc pen = graph.CreatePen();
    p.setPen(QPen(CGraphix::ColourOf(pen.colour), pen.width));
    p.setBrush(CGraphix::ColourOf(graph.CreateBrush().colour));
}

}  // namespace

CGraphix::CGraphix(CGraphView* view, CGraphContainer* container)
    : QWidget(container),
      m_view(view),
      m_container(container),
      m_flags(plot::kInitialDisplayFlags),
      m_mode(plot::EM_ZOOM)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

QColor CGraphix::ColourOf(PlotColour colour)
{
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

void CGraphix::RebuildScales()
{
    m_xs = CAxisScale(0, width(), m_ranges.x1, m_ranges.x2);
    m_ys = CAxisScale(height(), 0, m_ranges.y1, m_ranges.y2);
}

void CGraphix::SetAxisRanges(double x1, double x2, double y1, double y2, bool redraw)
{
    const CPlotRanges ranges{x1, x2, y1, y2};
    // A span beyond a double (-1e308..1e308) is as unusable as an infinite
    // end: every pixel would map to inf or nan, and so would clicked points.
    if (!std::isfinite(x2 - x1) || !std::isfinite(y2 - y1) || ranges == m_ranges)
        return;
    m_ranges = ranges;
    RebuildScales();
    m_container->GetVRuler()->SetRange(y1, y2, true);
    m_container->GetHRuler()->SetRange(x1, x2, true);
    Redraw(redraw);
}

unsigned CGraphix::SetDisplayFlags(unsigned flags, bool redraw)
{
    const unsigned old = m_flags;
    if (flags != old) {
        m_flags = flags;
        Redraw(redraw);
    }
    return old;
}

void CGraphix::Redraw(bool toScreen)
{
    QImage* image = m_dib.GetSurface();
    if (!image)
        return;
    {
        QPainter p(image);
        p.fillRect(QRect(-1, -1, width() + 2, height() + 2), m_background);
        DrawCurves(p);
        if (m_flags & plot::DF_GRID)
            DrawGrid(p);
    }
    m_dib.SetDrawn(true);
    if (toScreen)
        update();
}

bool CGraphix::DrawSegment(QPainter& p, CPixel a, CPixel b, QRect* drawn) const
{
    if (!graphix::ClipSegment(a, b, -kMargin, -kMargin, width() + kMargin, height() + kMargin))
        return false;
    const QPoint from(static_cast<int>(a.x), static_cast<int>(a.y));
    const QPoint to(static_cast<int>(b.x), static_cast<int>(b.y));
    p.drawLine(from, to);
    if (drawn)
        *drawn = Spanned(from, to);
    return true;
}

bool CGraphix::DrawMarker(QPainter& p, CPixel at) const
{
    if (!(at.x >= -kMargin && at.x <= width() + kMargin && at.y >= -kMargin && at.y <= height() + kMargin))
        return false;
    // Outline and fill cover (x - 2, y - 2) to (x + 2, y + 2).
    p.drawRect(static_cast<int>(at.x) - 2, static_cast<int>(at.y) - 2, 4, 4);
    return true;
}

void CGraphix::DrawCurves(QPainter& p) const
{
    for (int slot = 0; slot < CGraphModel::kMaxGraphs; ++slot) {
        const CGraphProp* graph = m_view->GetGraph(slot);
        if (!graph || !graph->IsVisible() || graph->GetCount() == 0)
            continue;
        UseCurvePen(p, *graph);
        const auto& points = graph->Points();
        CPixel last = PixelOf(points[0].x, points[0].y);
        if (m_flags & plot::DF_MARKERS)
            DrawMarker(p, last);
        const bool markers = graph->HasMarkers();
        for (size_t i = 1; i < points.size(); ++i) {
            const CPixel at = PixelOf(points[i].x, points[i].y);
            if (at.x == last.x && at.y == last.y)
                continue;
            if (markers)
                DrawMarker(p, at);
            DrawSegment(p, last, at, nullptr);
            last = at;
        }
    }
}

void CGraphix::DrawGrid(QPainter& p)
{
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    p.setBackgroundMode(Qt::TransparentMode);
    const CTickLayout xs = m_xs.Layout(m_container->GetHRuler()->GetLabelCapacity());
    for (double x : xs.positions)
        p.drawLine(static_cast<int>(x), 0, static_cast<int>(x), height());
    const CTickLayout ys = m_ys.Layout(m_container->GetVRuler()->GetLabelCapacity());
    for (double y : ys.positions)
        p.drawLine(0, static_cast<int>(y), width(), static_cast<int>(y));
}

void CGraphix::PointAdded(const CGraphPointRecord& record)
{
    const CGraphProp* graph = m_view->GetGraph(record.slot);
    double x = 0.0;
    double y = 0.0;
    if (!graph || !graph->IsVisible() || graph->GetPoint(record.index, x, y) < 0)
        return;
    if (m_flags & plot::DF_AUTO_RANGE) {
        CPlotRanges wide = m_ranges;
        wide.x1 = x < wide.x1 ? x : wide.x1;
        wide.x2 = x > wide.x2 ? x : wide.x2;
        wide.y1 = y < wide.y1 ? y : wide.y1;
        wide.y2 = y > wide.y2 ? y : wide.y2;
        if (wide != m_ranges) {
            SetAxisRanges(wide.x1, wide.x2, wide.y1, wide.y2, record.flag != 0);
            return;
        }
    }
    if (!record.flag)
        return;
    const int count = graph->GetCount();
    if (record.index != 0 && record.index != count - 1) {
        Redraw(true);
        return;
    }
    QImage* image = m_dib.GetSurface();
    if (!image)
        return;
    QPainter p(image);
    UseCurvePen(p, *graph);
    const CPixel at = PixelOf(x, y);
    QRect dirty;
    if (count > 1) {
        double nx = 0.0;
        double ny = 0.0;
        graph->GetPoint(record.index == 0 ? 1 : count - 2, nx, ny);
        DrawSegment(p, PixelOf(nx, ny), at, &dirty);
    }
    if ((m_flags & plot::DF_MARKERS) && DrawMarker(p, at))
        dirty |= QRect(static_cast<int>(at.x), static_cast<int>(at.y), 1, 1);
    if (!dirty.isNull())
        update(dirty.adjusted(-4, -4, 4, 4) & rect());
}

long CGraphix::OnGraphMessage(const CGraphMessage& message)
{
    const auto* point = std::get_if<CGraphPointRecord>(&message.record);
    switch (message.code) {
    case plot::GN_POINT_ADDED:
        if (point)
            PointAdded(*point);
        return 0;
    case plot::GN_POINT_DELETED:
    case plot::GN_POINT_MOVED:
    case plot::GN_GRAPH_REMOVED:
    case plot::GN_GRAPH_CLEARED:
    case plot::GN_GRAPH_CHANGED:
        Redraw(point && point->flag);
        break;
    case plot::GN_RANGES:
        if (const auto* r = std::get_if<CGraphRangeRecord>(&message.record)) {
            SetDisplayFlags(r->displayFlags, r->redraw);
            SetAxisRanges(r->ranges.x1, r->ranges.x2, r->ranges.y1, r->ranges.y2, r->redraw);
        }
        break;
    case plot::GN_AXIS_FORMAT:
        if (const auto* a = std::get_if<CGraphAxisRecord>(&message.record)) {
            FRuler* ruler = a->axis == plot::kAxisX ? static_cast<FRuler*>(m_container->GetHRuler())
                                                    : static_cast<FRuler*>(m_container->GetVRuler());
            const CAxisFormat& format = m_view->GetAxisFormat(a->axis);
            ruler->SetCaption(format.GetUnit(), format.GetCaption() + ", " + format.GetUnit());
            if (a->redraw)
                ruler->repaint();
        }
        break;
    default:
        break;
    }
    return 0;
}

void CGraphix::paintEvent(QPaintEvent* event)
{
    if (m_dib.Exists() && !m_dib.IsDrawn())
        Redraw(false);
    QPainter p(this);
    const QRect r = event->rect();
    m_dib.Blit(p, r.left(), r.top(), r.right() + 1, r.bottom() + 1);
    if (m_trackerActive || m_banding)
        m_tracker.Draw(p);
}

void CGraphix::resizeEvent(QResizeEvent*)
{
    RebuildScales();
    m_dib.Resize(width(), height(), true, 0);
}

const CGraphProp* CGraphix::EditedCurve() const
{
    return m_view->GetGraph(0);
}

void CGraphix::PushRangesUndo()
{
    CUndoInfo info;
    info.kind = CUndoInfo::RangesChanged;
    info.x1 = m_ranges.x1;
    info.x2 = m_ranges.x2;
    info.y1 = m_ranges.y1;
    info.y2 = m_ranges.y2;
    m_view->PushUndo(info);
}

void CGraphix::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const double x = m_xs.PixelToValue(pos.x());
    const double y = m_ys.PixelToValue(pos.y());
    const CGraphProp* curve = EditedCurve();
    switch (m_mode) {
    case plot::EM_DELETE:
        if (curve) {
            const int index = graphix::NearestPoint(*curve, m_xs, m_ys, pos.x(), pos.y());
            if (index >= 0)
                m_view->DeletePoint(0, index, 1, 0);
        }
        break;
    case plot::EM_PICK:
        if (curve) {
            const int index = graphix::NearestPoint(*curve, m_xs, m_ys, pos.x(), pos.y());
            if (index >= 0) {
                m_pick = m_view->MovePoint(0, index, x, y, 1, 0, 0);
                m_dragging = m_pick >= 0;
            }
        }
        break;
    case plot::EM_ADD:
        if (curve)
            m_view->AddPoint(0, x, y, 1, 1, graphix::AddIndex(*curve, y), 0);
        break;
    case plot::EM_ZOOM:
        if (m_trackerActive) {
            m_trackHit = m_tracker.HitTest(pos);
            m_trackStart = m_tracker;
            m_trackFrom = pos;
        } else {
            m_banding = true;
            m_anchor = m_current = pos;
            m_tracker.SetRect(pos.x(), pos.y(), pos.x(), pos.y());
        }
        break;
    case plot::EM_PAN:
        PushRangesUndo();
        m_panning = true;
        m_panFrom = pos;
        break;
    default:
        break;
    }
}

void CGraphix::UpdateToolTip(QPoint pos, QPoint globalPos)
{
    const std::string x = m_view->FormatAxisValue(m_xs.PixelToValue(pos.x()), plot::kAxisX, CAxisFormat::WithUnit);
    const std::string y = m_view->FormatAxisValue(m_ys.PixelToValue(pos.y()), plot::kAxisY, CAxisFormat::WithUnit);
    m_tipText = QString::fromStdString("x=" + x + ", y=" + y);
    if (m_flags & plot::DF_MOUSE_TIP)
        QToolTip::showText(globalPos, m_tipText, this);
    else
        QToolTip::hideText();
}

void CGraphix::PanTo(QPoint pos)
{
    const CPlotRanges r = graphix::Pan(m_ranges, m_xs, m_ys, m_panFrom.x(), m_panFrom.y(), pos.x(), pos.y());
    m_panFrom = pos;
    SetAxisRanges(r.x1, r.x2, r.y1, r.y2, true);
}

QRect CGraphix::BandRect() const
{
    return Spanned(m_anchor, m_current);
}

void CGraphix::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (--m_tipCountdown <= 0) {
        m_tipCountdown = 4;
        UpdateToolTip(pos, event->globalPosition().toPoint());
    }
    if (m_panning) {
        PanTo(pos);
    } else if (m_banding) {
        const QRect old = BandRect();
        m_current = pos;
        const QRect band = BandRect();
        m_tracker.SetRect(band.left(), band.top(), band.right(), band.bottom());
        update((old | band).adjusted(-2, -2, 2, 2));
    } else if (m_dragging) {
        const int index = m_view->MovePoint(0, m_pick, m_xs.PixelToValue(pos.x()), m_ys.PixelToValue(pos.y()), 1, 1, 0);
        m_dragging = index >= 0;
        m_pick = index;
    } else if (m_trackHit != CRectTracker::HitNothing) {
        const QRect old = m_tracker.Bounds();
        m_tracker.Drag(m_trackStart, m_trackHit, pos.x() - m_trackFrom.x(), pos.y() - m_trackFrom.y());
        update(old | m_tracker.Bounds());
    }
    if (m_trackerActive) {
        const int hit = m_trackHit != CRectTracker::HitNothing ? m_trackHit : m_tracker.HitTest(pos);
        setCursor(CRectTracker::CursorFor(hit));
    } else {
        unsetCursor();
    }
}

void CGraphix::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        std::unique_ptr<QMenu> menu = BuildContextMenu();
        if (m_view->ContextMenuHook(*menu))
            menu->exec(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    if (m_panning) {
        PanTo(pos);
        m_panning = false;
    }
    if (m_banding) {
        m_banding = false;
        m_current = pos;
        const QRect band = BandRect();
        update(band.adjusted(-2, -2, 2, 2));
        // A band without width or height would show one value on its axis.
        if (band.width() > 1 && band.height() > 1) {
            m_tracker.SetRect(band.left(), band.top(), band.right(), band.bottom());
            m_trackerActive = true;
            ZoomToTracker();
        }
    }
    if (m_dragging) {
        m_view->MovePoint(0, m_pick, m_xs.PixelToValue(pos.x()), m_ys.PixelToValue(pos.y()), 1, 1, 1);
        m_dragging = false;
    }
    m_trackHit = CRectTracker::HitNothing;
}

void CGraphix::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_trackerActive)
        ZoomToTracker();
}

void CGraphix::ZoomToTracker()
{
    m_trackerActive = false;
    update(m_tracker.Bounds());
    const CPlotRanges r =
        graphix::RectToRanges(m_xs, m_ys, m_tracker.Left(), m_tracker.Top(), m_tracker.Right(), m_tracker.Bottom());
    m_previous = m_ranges;
    PushRangesUndo();
    SetAxisRanges(r.x1, r.x2, r.y1, r.y2, true);
}

void CGraphix::FitToData()
{
    CPlotExtent data;
    if (!m_view->GetDataExtent(data))
        return;
    m_previous = m_ranges;
    PushRangesUndo();
    const CPlotRanges r = graphix::FitToData(data);
    SetAxisRanges(r.x1, r.x2, r.y1, r.y2, true);
}

void CGraphix::Fit(bool x, bool y)
{
    CPlotExtent data;
    if (!m_view->GetDataExtent(data))
        return;
    m_previous = m_ranges;
    const CPlotRanges r = graphix::FitAxes(data, m_ranges, x, y);
    SetAxisRanges(r.x1, r.x2, r.y1, r.y2, true);
}

bool CGraphix::OnCommand(int id)
{
    switch (id) {
    case plot::ID_GRAPH_MARKERS:
        SetDisplayFlags(m_flags ^ plot::DF_MARKERS, true);
        return true;
    case plot::ID_GRAPH_MOUSE_TIP:
        m_flags ^= plot::DF_MOUSE_TIP;
        return true;
    case plot::ID_GRAPH_AUTO_RANGE:
        m_flags ^= plot::DF_AUTO_RANGE;
        return true;
    case plot::ID_GRAPH_TRACKER:
        update(m_tracker.Bounds());
        m_trackerActive = !m_trackerActive;
        if (m_trackerActive)
            m_tracker.SetRect(5, 5, 50, 50);
        update(m_tracker.Bounds());
        return true;
    case plot::ID_GRAPH_BACK:
        if (m_previous) {
            const CPlotRanges r = *m_previous;
            m_previous.reset();
            SetAxisRanges(r.x1, r.x2, r.y1, r.y2, true);
        }
        return true;
    case plot::ID_GRAPH_ZOOM_TRACKER:
        ZoomToTracker();
        return true;
    case plot::ID_GRAPH_FIT_X:
        Fit(true, false);
        return true;
    case plot::ID_GRAPH_FIT_Y:
        Fit(false, true);
        return true;
    case plot::ID_GRAPH_FIT_BOTH:
        Fit(true, true);
        return true;
    case plot::ID_GRAPH_POINTS_WINDOW:
        m_view->ShowPointsWindow(!m_view->IsPointsWindowVisible());
        return true;
    case plot::ID_GRAPH_GRID:
        SetDisplayFlags(m_flags ^ plot::DF_GRID, true);
        return true;
    case plot::ID_GRAPH_HOOK_FIRST:
    case plot::ID_GRAPH_HOOK_LAST:
        return m_view->CommandHook(id);
    case plot::ID_GRAPH_COPY:
        m_view->CopyAsText();
        return true;
    case plot::ID_GRAPH_PROPERTIES:
        CGraphPropertySheet::Run(*m_view, true, this);
        return true;
    default:
        return false;
    }
}

std::unique_ptr<QMenu> CGraphix::BuildContextMenu()
{
    auto menu = std::make_unique<QMenu>(this);
    const auto add = [this](QMenu* to, int id, const char* text) {
        QAction* action = to->addAction(QString::fromLatin1(text));
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
        return action;
    };
    const auto check = [](QAction* action, bool on) {
        action->setCheckable(true);
        action->setChecked(on);
    };
    add(menu.get(), plot::ID_GRAPH_ZOOM_TRACKER, "Zoom to tracker");
    add(menu.get(), plot::ID_GRAPH_BACK, "Back");
    add(menu.get(), plot::ID_GRAPH_TRACKER, "Tracker");
    QMenu* fit = menu->addMenu(QStringLiteral("Fit to data"));
    add(fit, plot::ID_GRAPH_FIT_X, "Horizontal axis");
    add(fit, plot::ID_GRAPH_FIT_Y, "Vertical axis");
    add(fit, plot::ID_GRAPH_FIT_BOTH, "Both axes");
    menu->addSeparator();
    add(menu.get(), plot::ID_GRAPH_MARKERS, "Point markers");
    check(add(menu.get(), plot::ID_GRAPH_MOUSE_TIP, "Mouse coordinates"), m_flags & plot::DF_MOUSE_TIP);
    add(menu.get(), plot::ID_GRAPH_AUTO_RANGE, "Widen ranges automatically");
    QMenu* grid = menu->addMenu(QStringLiteral("Grid"));
    check(add(grid, plot::ID_GRAPH_GRID, "Axis"), m_flags & plot::DF_GRID);
    QMenu* points = menu->addMenu(QStringLiteral("Points window"));
    QAction* visible = add(points, plot::ID_GRAPH_POINTS_WINDOW, "Visible");
    check(visible, m_view->IsPointsWindowVisible());
    visible->setEnabled(m_view->GetPointsPane() != nullptr);
    menu->addSeparator();
    add(menu.get(), plot::ID_GRAPH_COPY, "Copy");
    add(menu.get(), plot::ID_GRAPH_PROPERTIES, "Properties...");
    return menu;
}
