#include "plot/ui/FRuler.h"

#include "plot/AxisScale.h"
#include "plot/RulerText.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

FRuler::FRuler(QWidget* parent) : QWidget(parent), m_startOffset(ruler::kStartOffset) {}

void FRuler::SetRange(double first, double last, bool redrawNow)
{
    m_first = first;
    m_last = last;
    if (redrawNow)
        repaint();
}

void FRuler::SetCaption(const std::string& caption, const std::string& tooltip)
{
    m_caption = caption;
    m_tooltip = tooltip;
    setToolTip(QString::fromStdString(tooltip));
}

QFont FRuler::MakeFont(int height, int width, int escapement, int pitchAndFamily)
{
    m_font.height = height;
    m_font.width = width;
    m_font.escapement = escapement;
    if (pitchAndFamily >= 0)
        m_font.pitchAndFamily = pitchAndFamily;
    const bool fixed = (m_font.pitchAndFamily & 0xF0) == 0x30;
    QFont font(fixed ? QStringLiteral("Monospace") : QStringLiteral("Sans Serif"));
    font.setStyleHint(fixed ? QFont::TypeWriter : QFont::SansSerif);
    font.setPixelSize(height);
    font.setWeight(static_cast<QFont::Weight>(std::clamp(m_font.weight, 1, 1000)));
    // The description gives the average character width; Qt stretches to it.
    const int average = QFontMetrics(font).averageCharWidth();
    if (average > 0 && average != width)
        font.setStretch(std::clamp(100 * width / average, 1, 4000));
    return font;
}

int FRuler::CapacityFor(int length, int height, int width, int escapement)
{
    const QFont font = MakeFont(height, width, escapement);
    return ruler::LabelCapacity(length, QFontMetrics(font).horizontalAdvance(QLatin1String(ruler::kCapacitySample)));
}

void FRuler::Line(QPainter& p, QPoint a, QPoint b)
{
    if (a == b)
        return;
    const QPoint step((b.x() > a.x()) - (b.x() < a.x()), (b.y() > a.y()) - (b.y() < a.y()));
    p.drawLine(a, b - step);
}

void FRuler::PaintFace(QPainter& p, int left, int top)
{
    p.fillRect(QRect(0, 0, width() + 1, height() + 1), QColor(192, 192, 192));
    const int right = width() - 1;
    const int bottom = height() - 1;
    p.setPen(Qt::black);
    Line(p, {left, bottom}, {right, bottom});
    Line(p, {right, bottom}, {right, top});
    p.setPen(Qt::white);
    Line(p, {right, top}, {left, top});
    Line(p, {left, top}, {left, bottom});
}

void FRuler::PaintTicks(QPainter& p, const CAxisScale& scale, int captionWidth)
{
    const CTickLayout ticks = scale.Layout(GetLabelCapacity());
    const double lo = std::min(scale.FirstPixel(), scale.LastPixel());
    const double hi = std::max(scale.FirstPixel(), scale.LastPixel());
    for (int i = 0; i < ticks.GetCount(); ++i) {
        const int at = static_cast<int>(ticks.positions[static_cast<size_t>(i)]);
        const double v = ticks.values[static_cast<size_t>(i)];
        DrawTick(p, at, 3);
        const QString label = QString::fromStdString(LabelOf(v, ticks.exponent));
        const int half = p.fontMetrics().horizontalAdvance(label) / 2;
        if (LabelFits(at, half, captionWidth))
            DrawLabel(p, at, half, label);
        for (int side : {-1, 1}) {
            const double minor = scale.ValueToPixel(ruler::MinorTickValue(v, ticks.step, ticks.exponent, side));
            if (minor >= lo && minor <= hi)
                DrawTick(p, static_cast<int>(minor), 2);
        }
    }
}
