#include "plot/ui/FHRuler.h"

#include "plot/AxisScale.h"
#include "plot/RulerText.h"

#include <QPainter>

int FHRuler::GetLabelCapacity()
{
    return CapacityFor(width() - m_endMargin - m_startOffset, 14, 8, 0);
}

void FHRuler::DrawTick(QPainter& p, int at, int length)
{
    const int bottom = height() - 1;
    Line(p, {at, bottom}, {at, bottom - length});
}

std::string FHRuler::LabelOf(double value, int) const
{
    return ruler::HorizontalLabel(value);
}

bool FHRuler::LabelFits(int at, int half, int captionWidth) const
{
    return ruler::HorizontalLabelVisible(at, half, 0, m_startOffset, width() - 1, captionWidth);
}

void FHRuler::DrawLabel(QPainter& p, int at, int half, const QString& text)
{
    const QFontMetrics metrics = p.fontMetrics();
    p.drawText(at - half, height() - 1 - metrics.height() + metrics.ascent(), text);
}

void FHRuler::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int start = m_startOffset;
    PaintFace(p, start, 0);
    // The last column and row inside the window.
    const int right = width() - 1;
    const int bottom = height() - 1;
    if (bottom < 14 || right <= m_startOffset + m_endMargin + 5)
        return;

    p.setFont(MakeFont(12, 7, 0, 0x22));
    p.setPen(Qt::black);
    const QString caption = QString::fromStdString(m_caption);
    const int cw = p.fontMetrics().horizontalAdvance(caption) + 4;
    PaintTicks(p, CAxisScale(start, right - m_endMargin, m_first, m_last), cw);
    DrawLabel(p, right - cw - 1, 0, caption);
}
