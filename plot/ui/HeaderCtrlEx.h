// The header of CListCtrlEx. While its drag switch is on, a column pressed
// and dragged along the header shows a triangle where it would be put down,
// and letting go there tells the drop callback; the header itself moves no
// column. With the switch off (as the system leaves it) it is a plain header.
#pragma once

#include <QHeaderView>
#include <QPolygon>
#include <QRect>

#include <functional>
#include <vector>

class CHeaderCtrlEx : public QHeaderView
{
public:
    // The dragged column and the column before which it was put down (the
    // column count for the end).
    using DropCallback = std::function<void(int column, int position)>;

    explicit CHeaderCtrlEx(QWidget* parent = nullptr);

    void SetDragEnabled(bool on) { m_dragEnabled = on; }
    bool IsDragEnabled() const { return m_dragEnabled; }
    void SetDropCallback(DropCallback callback) { m_dropCallback = std::move(callback); }

    bool IsDragging() const { return m_dragging; }
    int GetDropPosition() const { return m_dropPosition; }
    // The area the triangle covers, empty before the first one.
    QRect GetMarkerRect() const { return m_markerRect; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void MoveMarker(int x);

    bool m_dragEnabled = false;
    bool m_pressed = false;
    bool m_dragging = false;
    std::vector<int> m_widths;  // during a drag
    int m_pressedColumn = -1;
    int m_dropPosition = -1;
    QRect m_markerRect;
    QPolygon m_marker;
    DropCallback m_dropCallback;
};
