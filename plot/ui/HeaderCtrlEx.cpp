#include "plot/ui/HeaderCtrlEx.h"

#include "plot/HeaderDrop.h"

#include <QMouseEvent>
#include <QPainter>

CHeaderCtrlEx::CHeaderCtrlEx(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsMovable(false);
}

void CHeaderCtrlEx::mousePressEvent(QMouseEvent* event)
{
    if (m_dragEnabled && event->button() == Qt::LeftButton) {
        const int column = logicalIndexAt(event->position().toPoint());
        if (column >= 0) {
            m_pressedColumn = column;
            m_pressed = true;
        }
    }
    QHeaderView::mousePressEvent(event);
}

void CHeaderCtrlEx::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragEnabled) {
        QHeaderView::mouseMoveEvent(event);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        m_pressed = false;
        m_dragging = false;
        QHeaderView::mouseMoveEvent(event);
        return;
    }
    if (!m_pressed && !m_dragging) {
        QHeaderView::mouseMoveEvent(event);
        return;
    }
    if (!m_dragging) {
        // The press holds the mouse for this window until it is let go.
        m_pressed = false;
        m_dragging = true;
        m_dropPosition = m_pressedColumn;
        m_marker.clear();
        m_widths.clear();
        for (int i = 0; i < count(); ++i)
            m_widths.push_back(sectionSize(i));
        return;
    }
    MoveMarker(event->position().toPoint().x());
}

void CHeaderCtrlEx::MoveMarker(int x)
{
    const headerdrop::CDropTarget target = headerdrop::DropTargetAt(x + offset(), m_widths);
    if (target.position == m_dropPosition)
        return;
    m_dropPosition = target.position;
    viewport()->update(m_markerRect);
    const int h = height();
    const int p = target.pixel - offset();
    m_marker = QPolygon({QPoint(p, h), QPoint(p - h / 4, h / 2), QPoint(p + h / 4, h / 2)});
    m_markerRect = QRect(QPoint(p - h / 4 - 1, h - h / 2 - 1), QPoint(p + h / 4 + 1, h + 1));
    viewport()->update(m_markerRect);
}

void CHeaderCtrlEx::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragEnabled && m_dragging && event->button() == Qt::LeftButton) {
        m_dragging = false;
        m_widths.clear();
        viewport()->update();
        if (m_dropCallback && headerdrop::DropMoves(m_pressedColumn, m_dropPosition))
            m_dropCallback(m_pressedColumn, m_dropPosition);
    }
    QHeaderView::mouseReleaseEvent(event);
}

void CHeaderCtrlEx::paintEvent(QPaintEvent* event)
{
    QHeaderView::paintEvent(event);
    if (!m_dragging || m_marker.isEmpty())
        return;
    QPainter p(viewport());
    p.setPen(Qt::black);
    p.setBrush(Qt::white);
    p.drawPolygon(m_marker);
}
