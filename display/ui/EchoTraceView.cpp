#include "display/ui/EchoTraceView.h"

#include "base/StringTable.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

QColor Index(int i)
{
    return QColor(i, i, i);
}

std::string Format(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// A solid 1-pixel pen of a palette entry.
QPen Pen(int index)
{
    QPen pen(Index(index));
    pen.setWidth(1);
    return pen;
}

}  // namespace

CEchoTraceView::CEchoTraceView(CEchoTraceDoc* document, const SViewContext& context, QWidget* parent)
    : CSCView(context, parent), m_document(document)
{
    m_scaleFont = QFont("Arial");
    m_scaleFont.setStyleStrategy(QFont::NoAntialias);
    m_titleFont = QFont("Arial");
    m_titleFont.setPixelSize(13);
    m_titleFont.setStyleStrategy(QFont::NoAntialias);
    if (m_document)
        m_document->AddView(this);
}

CEchoTraceView::~CEchoTraceView()
{
    if (m_document)
        m_document->RemoveView(this);
}

void CEchoTraceView::OnInitialUpdate()
{
    CSCView::OnInitialUpdate();
    if (!HasMemoryDC()) {
        CreateMemoryDC();
        CreateDibSection();
    }
    FillSurface();
}

void CEchoTraceView::FillSurface()
{
    if (GetSurface() && GetSurface()->GetBits())
        GetSurface()->Fill(kBackground);
}

int CEchoTraceView::RealizeViewPalette()
{
    return CSCView::RealizeViewPalette();
}

LRESULT CEchoTraceView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_QUERYNEWPALETTE) {
        RealizeViewPalette();
        FillSurface();
        update();
        return 0;
    }
    return CSCView::OnMessage(message, wParam, lParam);
}

void CEchoTraceView::resizeEvent(QResizeEvent* event)
{
    CSCView::resizeEvent(event);
    if (HasMemoryDC() && !GetSurface())
        CreateDibSection();
    const int cx = event->size().width(), cy = event->size().height();
    if (cx > 9 && cy > 9) {
        m_tooSmall = 0;
        m_fontRebuild = 1;
        FillSurface();
        update();
    } else {
        m_tooSmall = 1;
        m_fontRebuild = 0;
    }
}

void CEchoTraceView::OnDraw(QPainter& painter)
{
    if (!m_tooSmall)
        DrawSurface(painter);
}

double CEchoTraceView::FishConstant() const
{
    return GetContext().Host().GetFishConstant();
}

double CEchoTraceView::SizeValue(double ts, int sizeScale, double fishConstant)
{
    const double length = std::pow(10.0, (ts - fishConstant) / 20.0);
    switch (sizeScale) {
    case CEchoTraceDoc::kLengthCm:
        return length;
    case CEchoTraceDoc::kLengthInch:
        return length / 2.54;
    case CEchoTraceDoc::kWeight:
        return length * length * length / 100000.0;
    default:
        return ts;
    }
}

const char* CEchoTraceView::Unit(int sizeScale)
{
    switch (sizeScale) {
    case CEchoTraceDoc::kLengthCm:
        return "cm";
    case CEchoTraceDoc::kLengthInch:
        return "in";
    case CEchoTraceDoc::kWeight:
        return "kg";
    default:
        return "dB";
    }
}

std::string CEchoTraceView::LabelText(double value, int sizeScale)
{
    std::string text;
    if (sizeScale == CEchoTraceDoc::kTs)
        text = Format("%-4.0f", value);
    else if (sizeScale == CEchoTraceDoc::kWeight && value < 1.0)
        text = Format("%-4.2f", value);
    else if (value >= 1000.0)
        text = "XXX";
    else
        text = Format(value >= 10.0 ? "%-4.0f" : "%-4.1f", value);
    return text + "  ";
}

std::string CEchoTraceView::TipText(int x, const Box& area, double level, double interval, int sizeScale,
                                    double fishConstant)
{
    const int binWidth = area.Width() / CEchoTraceDoc::kBins;
    // An area narrower than its bins has no bin under the mouse.
    if (binWidth <= 0)
        return {};
    const int bin = std::min((x - area.left) / binWidth, CEchoTraceDoc::kBins);
    const double ts = level + bin * interval / 2.0;
    if (sizeScale == CEchoTraceDoc::kTs)
        return Format("%-5.1f", ts) + "dB";
    const double value = SizeValue(ts, sizeScale, fishConstant);
    std::string text;
    if (sizeScale == CEchoTraceDoc::kWeight && value < 1.0)
        text = Format("%-4.2f", value);
    else
        text = Format(value >= 10.0 ? "%-4.0f" : "%-4.1f", value);
    return text + Unit(sizeScale);
}

CEchoTraceView::Beam CEchoTraceView::BeamShape(int beamType, double alongship, double athwartship)
{
    Beam beam;
    beam.a = athwartship * 0.75;
    beam.b = alongship * 0.75;
    // A beam without widths, of whatever type, is drawn as a round 10
    // degrees rather than divided by.
    if (!(beam.a >= 0.1) || !(beam.b >= 0.1)) {
        beam.a = 10.0;
        beam.b = 10.0;
    }
    // Beam types above the split beam have no shape of their own: round.
    beam.q = beamType > 1 ? 1.0 : beam.a / beam.b;
    return beam;
}

bool CEchoTraceView::InsideEllipse(int dx, int dy, int r, int a, int b)
{
    if (a <= 0 || b <= 0)
        return false;
    const double y = (std::abs(dy) + r) / static_cast<double>(b);
    const double x = (std::abs(dx) + r) / static_cast<double>(a);
    return y * y + x * x < 1.0;
}

void CEchoTraceView::OnUpdate()
{
    if (m_tooSmall || !m_document)
        return;
    m_colourThreshold = GetContext().Host().GetColourThreshold();
    m_histogramArea = Box{};
    const CEchoTraceDoc::SShownTrace& shown = m_document->Shown();
    QImage grey = DrawImage();
    if (shown.hasChannel && !grey.isNull()) {
        QPainter p(&grey);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        Box area{0, 0, GetWidth(), GetHeight()};
        DrawTitle(p, shown, area);
        switch (m_document->m_presentation) {
        case CEchoTraceDoc::kHistogram:
            DrawHistogram(p, shown, area);
            break;
        case CEchoTraceDoc::kEchoTrace:
            DrawEchoTrace(p, shown, area);
            break;
        default: {
            const int w = area.Width(), h = area.Height();
            Box first = area, second = area;
            if (h >= w) {
                first.bottom -= h / 4 + h / 4;
                second.top += h / 4 + h / 4;
            } else {
                first.right -= w / 4 + w / 4;
                second.left += w / 4 + w / 4;
            }
            DrawHistogram(p, shown, first);
            DrawEchoTrace(p, shown, second);
            break;
        }
        }
    }
    update();
}

void CEchoTraceView::DrawTitle(QPainter& p, const CEchoTraceDoc::SShownTrace& shown, Box& area)
{
    const QFontMetrics metrics(m_titleFont);
    const int h = metrics.height();
    if (area.Height() <= h)
        return;
    const Box strip{area.left, area.top, area.right, area.top + h};
    area.top += h;
    const bool rm30 = GetContext().model == SounderModel::RM30;
    const std::string text =
        app::Strings().Load(rm30 ? IDS_BIOMASS : IDS_SA) + Format(" : %8.1f ", shown.meanLayerValue);
    p.fillRect(QRect(strip.left, strip.top, strip.Width(), strip.Height()), Index(kBackground));
    const QString shownText = QString::fromStdString(text);
    const int width = metrics.horizontalAdvance(shownText);
    if (width < strip.right) {
        p.setFont(m_titleFont);
        p.setPen(Index(kForeground));
        p.drawText(strip.right - width, strip.top + metrics.ascent(), shownText);
    }
}

void CEchoTraceView::DrawHistogram(QPainter& p, const CEchoTraceDoc::SShownTrace& shown, const Box& r)
{
    const int w = r.Width(), h = r.Height();
    if (m_fontRebuild) {
        m_fontRebuild = 0;
        const int s = std::min(w / 20, h / 13);
        const int n = s <= 7 ? 7 : (s - 7) / 2 + 7;
        m_scaleFont.setPixelSize(std::max(1, static_cast<int>(n * 1.85)));
    }
    p.save();
    p.setFont(m_scaleFont);
    p.setPen(Pen(kForeground));
    p.setBrush(Index(kBackground));
    p.setBackground(Index(kBackground));
    const QFontMetrics metrics(m_scaleFont);
    const int H = metrics.height();
    const int C = std::max(1, metrics.averageCharWidth());
    const double level = shown.scale.GetValueBySelector(2);
    const double interval = shown.scale.GetInterval();
    m_tipLevel = level;
    m_tipInterval = interval;
    const int sizeScale = m_document->m_sizeScale;

    m_histogramArea = r;
    Box P = r;
    if (w <= 20 * C || h <= 7 * H) {
        P.top += 10;
        P.bottom -= 10;
    } else {
        const int mx = ((w - 10 * C) % 12) / 2 + 5 * C;
        P = Box{r.left + mx, r.top + 2 * H, r.right - mx, r.bottom - 2 * H};
        m_histogramArea = P;
        const int textTop = r.bottom + H / 2 - 2 * H;
        auto text = [&](int x, int top, const std::string& s) {
            p.drawText(x, top + metrics.ascent(), QString::fromStdString(s));
        };
        for (int k = 0; k < 3; ++k) {
            const int xk = P.left + (P.Width() / 2) * k;
            const double ts = level + k * 6.0 * interval;
            text(r.left + k * (P.Width() / 2) + static_cast<int>(3.25 * C), textTop,
                 LabelText(SizeValue(ts, sizeScale, FishConstant()), sizeScale));
            p.drawLine(xk, P.bottom + 5, xk, P.bottom);
            const int yk = P.bottom - (P.Height() / 2) * k;
            text(r.left + C, yk - H / 2, Format("%.0f", 25.0 * k));
            p.drawLine(P.left - 5, yk, P.left, yk);
        }
        text(r.left + P.Width() + 7 * C, textTop, Unit(sizeScale));
        p.drawLine(P.right, P.bottom, P.right + C, P.bottom);
        text(P.left - C, P.top - H, "%");
    }

    const std::uint32_t total = shown.histogram.total;
    p.fillRect(QRect(P.left, P.top, std::max(0, P.Width()), std::max(0, P.Height())), Index(kBackground));
    const int bw = P.Width() / CEchoTraceDoc::kBins;
    for (int i = 0; i < CEchoTraceDoc::kBins && bw > 0 && P.Height() > 0; ++i) {
        const std::uint64_t percent =
            total ? std::uint64_t{shown.histogram.bins[static_cast<std::size_t>(i)]} * 100 / total : 0;
        const int height = static_cast<int>(
            std::min<std::uint64_t>(static_cast<std::uint64_t>(P.Height()), percent * P.Height() / 50));
        const int c = (i + 1) / 2;
        if (height <= 0 || c < m_colourThreshold)
            continue;
        const int x0 = P.left + i * bw, x1 = P.left + (i + 1) * bw;
        const int top = P.bottom - height;
        p.fillRect(QRect(x0, top, bw, height), Index(kFirstBar + c));
        p.drawLine(x0, P.bottom, x0, top);
        p.drawLine(x0, top, x1 - 1, top);
        p.drawLine(x1 - 1, top, x1 - 1, P.bottom);
    }
    p.drawLine(P.left, P.bottom, P.right, P.bottom);
    p.drawLine(P.left, P.top, P.left, P.bottom);
    p.restore();
}

void CEchoTraceView::DrawEchoTrace(QPainter& p, const CEchoTraceDoc::SShownTrace& shown, const Box& area)
{
    Box r = area;
    if (r.Width() >= 11 && r.Height() >= 11)
        r = Box{r.left + 5, r.top + 5, r.right - 5, r.bottom - 5};
    const int w = r.Width(), h = r.Height();
    if (w <= 0 || h <= 0)
        return;
    const Beam beam = BeamShape(shown.beamType, shown.beamAlongship, shown.beamAthwartship);
    int boxWidth = w, boxHeight = h;
    if (w > h * beam.q)
        boxWidth = static_cast<int>(h * beam.q);
    else
        boxHeight = static_cast<int>(w / beam.q);
    const Box box{r.left, r.bottom - boxHeight, r.left + boxWidth, r.bottom};
    const int a = boxWidth / 2, b = boxHeight / 2;
    const int cx = box.left + a, cy = box.top + b;

    p.save();
    p.fillRect(QRect(box.left, box.top, boxWidth, boxHeight), Index(kBackground));
    p.setPen(Pen(kBeamOutline));
    p.setBrush(Index(kBackground));
    if (boxWidth > 1 && boxHeight > 1)
        p.drawEllipse(QRect(box.left, box.top, boxWidth - 1, boxHeight - 1));
    QPen dotted(Index(kBeamAxes));
    dotted.setStyle(Qt::DotLine);
    p.setPen(dotted);
    p.setBackgroundMode(Qt::OpaqueMode);
    p.setBackground(Index(kBackground));
    p.drawLine(r.left, cy, box.right, cy);
    p.drawLine(cx, box.top, cx, r.bottom);
    p.setBackgroundMode(Qt::TransparentMode);

    const int radius = std::min(boxWidth, boxHeight) / 25 + 2;
    if (!shown.windowFound) {
        p.restore();
        return;
    }
    const bool tracking = GetContext().Host().IsTrackingShown();
    struct Circle
    {
        QPoint centre;
        int index = 0;
    };
    static constexpr int kRoom = 10;
    Circle previous[kRoom], current[kRoom];
    int previousCount = 0;
    const int capacity = CEchoTraceDoc::kHistoryCapacity;
    const int j = m_document->ShownWriteIndex();
    int slot = j - kPingsDrawn + (j < kPingsDrawn ? capacity : 0);
    for (int t = 0; t < kPingsDrawn; ++t, slot = (slot + 1) % capacity) {
        const int rt = std::max(2, radius / (kPingsDrawn - t));
        int currentCount = 0;
        if (const auto& echoes = m_document->ShownSlot(slot)) {
            for (std::size_t i = 0; i < echoes->size(); ++i) {
                const CSingleEcho& e = (*echoes)[i];
                if (!e.IsAccepted() || !(e.GetDepth() >= shown.start && e.GetDepth() <= shown.end))
                    continue;
                const double dyf = e.GetAlongshipAngle() * b / beam.b;
                const double dxf = e.GetAthwartshipAngle() * a / beam.a;
                if (!std::isfinite(dyf) || !std::isfinite(dxf) || std::abs(dyf) > 1e6 || std::abs(dxf) > 1e6)
                    continue;
                const int dy = static_cast<int>(dyf), dx = static_cast<int>(dxf);
                if (!InsideEllipse(dx, dy, rt, a, b))
                    continue;
                const int k = shown.scale.GetColorIndex(e.GetTS(), 2);
                const QPen pen = Pen(m_colourThreshold < k ? kForeground : kBackground);
                p.setPen(pen);
                p.setBrush(Index(kFirstEcho + k));
                const QPoint centre(cx + dx, cy - dy);
                p.drawEllipse(centre, rt, rt);
                if (tracking && t >= 1)
                    for (int c = 0; c < previousCount; ++c)
                        if (previous[c].index == e.GetLink())
                            p.drawLine(previous[c].centre, centre);
                if (currentCount < kRoom)
                    current[currentCount++] = {centre, static_cast<int>(i)};
            }
        }
        std::copy_n(current, currentCount, previous);
        previousCount = currentCount;
    }
    p.restore();
}

bool CEchoTraceView::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return CSCView::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QPoint at = help->pos();
    const Box& area = m_histogramArea;
    const bool inside = at.x() >= area.left && at.x() < area.right && at.y() >= area.top && at.y() < area.bottom;
    const std::string text =
        inside && m_document ? TipText(at.x(), area, m_tipLevel, m_tipInterval, m_document->m_sizeScale, FishConstant())
                             : std::string();
    if (text.empty()) {
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    const QRect tool = QRect(at - QPoint(5, 5), at + QPoint(5, 5)) & rect();
    QToolTip::showText(help->globalPos(), QString::fromStdString(text), this, tool);
    return true;
}

void CEchoTraceView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton || !m_document) {
        CSCView::mousePressEvent(event);
        return;
    }
    // The frame may be torn down while the dialog runs: the document then
    // answers 0, and this view is looked at again only if it is still there.
    const QPointer<CEchoTraceView> self(this);
    if (m_document->OnEchoTraceSettings() == 0 || !self)
        return;
    FillSurface();
    update();
}
