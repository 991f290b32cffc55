#include "plot/ui/RectTracker.h"

#include <QPainter>

#include <algorithm>

QRect CRectTracker::Bounds() const
{
    return m_rect.adjusted(-1, -1, 1, 1);
}

QRect CRectTracker::Handle(int hit) const
{
    const int s = kHandleSize;
    const int l = Left();
    const int t = Top();
    const int r = Right() - s;
    const int b = Bottom() - s;
    const int cx = (Left() + Right() - s) / 2;
    const int cy = (Top() + Bottom() - s) / 2;
    const QPoint corners[] = {{l, t}, {r, t}, {r, b}, {l, b}, {cx, t}, {r, cy}, {cx, b}, {l, cy}};
    return QRect(corners[hit], QSize(s, s));
}

void CRectTracker::Draw(QPainter& p) const
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    p.setBrush(QBrush(QColor(0, 0, 0, 96), Qt::BDiagPattern));
    p.drawRect(m_rect);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(m_rect.adjusted(0, 0, -1, -1));
    for (int hit = HitTopLeft; hit <= HitLeft; ++hit)
        p.fillRect(Handle(hit), Qt::black);
    p.restore();
}

int CRectTracker::HitTest(QPoint point) const
{
    for (int hit = HitTopLeft; hit <= HitLeft; ++hit) {
        if (Handle(hit).contains(point))
            return hit;
    }
    return m_rect.contains(point) ? HitMiddle : HitNothing;
}

Qt::CursorShape CRectTracker::CursorFor(int hit)
{
    switch (hit) {
    case HitTopLeft:
    case HitBottomRight:
        return Qt::SizeFDiagCursor;
    case HitTopRight:
    case HitBottomLeft:
        return Qt::SizeBDiagCursor;
    case HitTop:
    case HitBottom:
        return Qt::SizeVerCursor;
    case HitLeft:
    case HitRight:
        return Qt::SizeHorCursor;
    case HitMiddle:
        return Qt::SizeAllCursor;
    default:
        return Qt::ArrowCursor;
    }
}

void CRectTracker::Drag(const CRectTracker& start, int hit, int dx, int dy)
{
    int l = start.Left();
    int t = start.Top();
    int r = start.Right();
    int b = start.Bottom();
    const bool moveLeft = hit == HitTopLeft || hit == HitBottomLeft || hit == HitLeft || hit == HitMiddle;
    const bool moveRight = hit == HitTopRight || hit == HitBottomRight || hit == HitRight || hit == HitMiddle;
    const bool moveTop = hit == HitTopLeft || hit == HitTopRight || hit == HitTop || hit == HitMiddle;
    const bool moveBottom = hit == HitBottomLeft || hit == HitBottomRight || hit == HitBottom || hit == HitMiddle;
    l += moveLeft ? dx : 0;
    r += moveRight ? dx : 0;
    t += moveTop ? dy : 0;
    b += moveBottom ? dy : 0;
    SetRect(std::min(l, r), std::min(t, b), std::max(l, r), std::max(t, b));
}
