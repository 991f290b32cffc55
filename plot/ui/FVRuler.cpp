#include "plot/ui/FVRuler.h"

#include "plot/AxisScale.h"
#include "plot/RulerText.h"

#include <QPainter>

int FVRuler::GetLabelCapacity()
{
    return CapacityFor(height() - m_endMargin - m_startOffset, 12, 8, 900);
}

void FVRuler::DrawTick(QPainter& p, int at, int length)
{
    const int right = width() - 1;
    Line(p, {right, at}, {right - length, at});
}

std::string FVRuler::LabelOf(double value, int exponent) const
{
    return ruler::VerticalLabel(value, exponent);
}

bool FVRuler::LabelFits(int at, int half, int captionWidth) const
{
    return ruler::VerticalLabelVisible(at, half, 0, m_startOffset, height() - 1, captionWidth);
}

void FVRuler::DrawLabel(QPainter& p, int at, int half, const QString& text)
{
    // Rising from below the pixel, the top of the letters to the left.
    p.save();
    p.translate(width() - 1 - p.fontMetrics().height(), at + half);
    p.rotate(-90);
    p.drawText(0, p.fontMetrics().ascent(), text);
    p.restore();
}

void FVRuler::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int start = m_startOffset;
    PaintFace(p, 0, start);
    // The last column and row inside the window.
    const int right = width() - 1;
    const int bottom = height() - 1;
    if (bottom <= m_startOffset + m_endMargin + 5 || right < 14)
        return;

    p.setFont(MakeFont(11, 6, 900, 0x22));
    p.setPen(Qt::black);
    const QString caption = QString::fromStdString(m_caption);
    const int cw = p.fontMetrics().horizontalAdvance(caption) + 4;
    PaintTicks(p, CAxisScale(bottom - m_endMargin, start, m_first, m_last), cw);
    // The caption's reference point lies 16 + cw below the top.
    DrawLabel(p, 16 + cw, 0, caption);
}
