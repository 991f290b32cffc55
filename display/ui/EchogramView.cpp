#include "display/ui/EchogramView.h"

#include "app/DepthUnit.h"
#include "display/EchogramDoc.h"
#include "engine/Channel.h"

#include <QPainter>
#include <QResizeEvent>

#include <cmath>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{
// Height under which the document stops taking pings.
constexpr int kFreezeHeight = 15;
// A surface of this size or less is not drawn on.
constexpr int kMinimumSide = 5;

double ToDepthUnit(double metres, int reference)
{
    return reference == CEchogramDoc::SLOPE ? metres : CDepthUnit::FromMeters(metres);
}
} // namespace

CEchogramView::CEchogramView(CEchogramDoc* document, QWidget* parent) : CSCView(parent), m_document(document)
{
    m_access = DefaultAccess();
}

CEchogramView::~CEchogramView()
{
    m_picture.Detach();
    if (m_document)
        m_document->SetViewCount(0);
}

CEchogramView::ChannelAccess CEchogramView::DefaultAccess()
{
    ChannelAccess access;
    access.level = [this](double db, int selector) {
        CChannel* channel = m_document ? m_document->GetChannel() : nullptr;
        return channel ? channel->GetColorIndex(db, selector) : 0;
    };
    access.depth = [this](double& depth) {
        CChannel* channel = m_document ? m_document->GetChannel() : nullptr;
        return channel && channel->ProcessPing(&depth);
    };
    access.skipping = [this] {
        CChannel* channel = m_document ? m_document->GetChannel() : nullptr;
        return channel && channel->GetSkip() == 1;
    };
    return access;
}

void CEchogramView::OnInitialUpdate()
{
    CSCView::OnInitialUpdate();
    if (!HasMemoryDC())
    {
        CreateMemoryDC();
        CreateDibSection();
        if (GetSurface() && GetSurface()->GetBits())
            GetSurface()->Fill(EchogramMapping::kMarker);
    }
    Reattach();
}

void CEchogramView::resizeEvent(QResizeEvent* event)
{
    // The old picture survives the new surface: kept aside, then stretched
    // to the new height and aligned at the right edge.
    std::vector<BYTE> old;
    const int oldWidth = m_picture.GetWidth(), oldHeight = m_picture.GetHeight();
    const int oldArea = oldWidth - m_picture.GetScaleMargin();
    if (m_enabled)
        for (int row = 0; row < oldHeight; ++row)
            for (int x = 0; x < oldArea; ++x)
                old.push_back(m_picture.At(x, row));
    CSCView::resizeEvent(event);
    // The base only remakes a surface it has; a view whose initial update
    // came before its first size gets its surface here.
    if (HasMemoryDC() && !GetSurface())
        CreateDibSection();
    if (m_document)
    {
        m_document->SetColumnLength(GetHeight());
        m_document->SetTotalRows(GetWidth());
        m_document->m_frozen = GetHeight() < kFreezeHeight;
    }
    // The base made a new surface of the new size: start it as background.
    if (GetSurface() && GetSurface()->GetBits())
        GetSurface()->Fill(EchogramMapping::kBackground);
    Reattach();
    if (m_enabled && !old.empty())
        CarryOver(old, oldArea, oldHeight);
}

void CEchogramView::CarryOver(const std::vector<BYTE>& old, int oldArea, int oldHeight)
{
    BYTE* bits = GetSurface()->GetBits();
    const int stride = static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8));
    const int area = GetWidth() - m_picture.GetScaleMargin();
    const int shift = area - oldArea; // >= 0: new columns on the left stay background
    for (int row = 0; row < GetHeight(); ++row)
    {
        const int from = static_cast<int>(static_cast<long long>(row) * oldHeight / GetHeight());
        for (int x = std::max(0, shift); x < area; ++x)
        {
            const int ox = x - shift;
            if (ox >= 0 && ox < oldArea)
                bits[static_cast<std::size_t>(row) * stride + x] = old[static_cast<std::size_t>(from) * oldArea + ox];
        }
    }
}

void CEchogramView::Reattach()
{
    CDIBSection* surface = GetSurface();
    const bool usable = surface && surface->GetBits() && GetWidth() > kMinimumSide && GetHeight() > kMinimumSide;
    if (usable)
        m_picture.Attach(surface->GetBits(), GetWidth(), GetHeight(),
                         static_cast<int>(CDIBSection::RowBytes(GetWidth(), 8)));
    else
        m_picture.Detach();
    m_enabled = m_picture.IsAttached();
    if (m_document)
        m_document->SetViewCount(m_enabled ? GetWidth() - m_picture.GetScaleMargin() : 0);
}

int CEchogramView::IsSideScan() const
{
    return m_document && m_document->m_sidescan ? 1 : 0;
}

int CEchogramView::RealizeViewPalette()
{
    CSCView::RealizeViewPalette();
    update();
    return 0;
}

void CEchogramView::OnUpdate()
{
    if (!m_enabled || !m_document || !m_document->GetChannel() || m_document->m_frozen)
        return;
    if (m_access.skipping && m_access.skipping())
        return;
    if (m_document->m_resetRequest)
    {
        m_picture.ClearEchogram();
        m_document->m_resetRequest = false;
    }
    m_picture.Shift();

    CEchogramDoc& doc = *m_document;
    CEchogramPicture::Column column;
    column.samples = doc.GetColumn();
    column.sampleCount = doc.GetColumnLengthDelivered();
    column.level = m_access.level;
    column.selector = doc.m_echogramType;
    column.secondScale = doc.IsBottomSubstituted();
    column.secondScaleStart = doc.GetBottomRow();
    column.allBackground = doc.m_contourLine;
    column.keepBackground = doc.m_pingFilter;
    column.bottomGap = doc.m_whiteLine;
    column.bottomLine = doc.m_bottomShown;
    column.range = doc.m_range;
    double depth = 0.0;
    column.hasDepth = m_access.depth && m_access.depth(depth);
    column.depth = depth;
    switch (doc.m_rangeReference)
    {
    case CEchogramDoc::SURFACE:
    case CEchogramDoc::TRAWL:
        column.reference = doc.m_start;
        break;
    case CEchogramDoc::BOTTOM:
        column.reference = depth - doc.m_start;
        break;
    default:
        column.reference = 0.0;
        break;
    }
    m_picture.WriteColumn(column);

    // Only the echogram area moved; the scale strip changes only with its values.
    const int margin = m_picture.GetScaleMargin();
    update(0, 0, GetWidth() - margin, GetHeight());
    const double top = ToDepthUnit(doc.GetRangeStart(), doc.m_rangeReference);
    const double bottom = ToDepthUnit(doc.GetRangeOffset(), doc.m_rangeReference);
    if (margin > 0 && (top != m_scaleTop || bottom != m_scaleBottom))
        update(GetWidth() - margin, 0, margin, GetHeight());
}

std::string CEchogramView::FormatScaleValue(double value, const std::string& unit)
{
    char text[64];
    if (value >= 1000.0)
        std::snprintf(text, sizeof text, "%5.0f", value);
    else
        std::snprintf(text, sizeof text, "%3.0f%s", value, unit.c_str());
    return text;
}

int CEchogramView::TickRow(int k, int height)
{
    const double y = static_cast<double>(k) * height / 10.0;
    return static_cast<int>(y >= 0.0 ? y + 0.5 : y - 0.5);
}

void CEchogramView::OnDraw(QPainter& painter)
{
    if (!m_enabled || !m_document || !m_document->GetChannel())
        return;
    DrawSurface(painter);
    DrawScale(painter);
}

void CEchogramView::DrawScale(QPainter& painter)
{
    const int margin = m_picture.GetScaleMargin();
    if (margin <= 19)
        return;
    const int w = GetWidth(), h = GetHeight();
    const int reference = m_document->m_rangeReference;
    m_scaleTop = ToDepthUnit(m_document->GetRangeStart(), reference);
    m_scaleBottom = ToDepthUnit(m_document->GetRangeOffset(), reference);
    const std::string unit = reference == CEchogramDoc::SLOPE ? "deg" : CDepthUnit::GetUnitSymbol();

    const QColor text = GetColourTable()[kTextIndex];
    painter.fillRect(w - margin, 0, margin, h, GetColourTable()[kBackgroundIndex]);
    painter.setPen(QPen(text, 1));
    const int textHeight = painter.fontMetrics().height();
    const int ascent = painter.fontMetrics().ascent();
    painter.drawText(w - margin + 3, ascent, QString::fromStdString(FormatScaleValue(m_scaleTop, unit)));
    if (2 * textHeight < h)
        painter.drawText(w - margin + 3, h - textHeight + ascent,
                         QString::fromStdString(FormatScaleValue(m_scaleBottom, unit)));
    painter.drawLine(w - margin, 0, w - margin, h);
    for (int k = 1; k <= 9; ++k)
    {
        const int y = TickRow(k, h);
        painter.drawLine(w - margin, y, w - margin + 5, y);
    }
}
