// The rectangle the user places over the plot to zoom into: a solid frame,
// hatched inside, with eight resize handles inside its corners and edges.
// Dragging a handle moves its edges, dragging inside moves the rectangle.
#pragma once

#include <QRect>
#include <Qt>

class QPainter;

class CRectTracker
{
public:
    enum Hit {
        HitNothing = -1,
        HitTopLeft = 0,
        HitTopRight,
        HitBottomRight,
        HitBottomLeft,
        HitTop,
        HitRight,
        HitBottom,
        HitLeft,
        HitMiddle
    };
    static constexpr int kHandleSize = 6;

    // left, top, right, bottom; right and bottom lie just outside.
    void SetRect(int left, int top, int right, int bottom) { m_rect = QRect(left, top, right - left, bottom - top); }
    QRect GetRect() const { return m_rect; }
    int Left() const { return m_rect.left(); }
    int Top() const { return m_rect.top(); }
    int Right() const { return m_rect.left() + m_rect.width(); }
    int Bottom() const { return m_rect.top() + m_rect.height(); }

    // The area to repaint when the tracker changes.
    QRect Bounds() const;
    void Draw(QPainter& p) const;
    int HitTest(QPoint point) const;
    static Qt::CursorShape CursorFor(int hit);
    // The rectangle `start` with what the hit grabbed moved by (dx, dy),
    // normalised: a handle dragged across the opposite edge turns it over.
    void Drag(const CRectTracker& start, int hit, int dx, int dy);

private:
    QRect Handle(int hit) const;

    QRect m_rect{10, 10, 40, 40};
};
