#include "display/ui/SCView.h"

#include "base/AppIds.h"
#include "platform/MessageBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <vector>

namespace {

// Copper scale of side-scan echograms, weakest to strongest: red, green, blue.
constexpr BYTE kCopper[12][3] = {
    {0xFE, 0xC7, 0x6B}, {0xFD, 0xB7, 0x41}, {0xFC, 0x91, 0x37}, {0xFB, 0x7E, 0x3C},
    {0xF9, 0x65, 0x15}, {0xDE, 0x53, 0x07}, {0xBF, 0x47, 0x06}, {0x91, 0x37, 0x05},
    {0x69, 0x23, 0x00}, {0x32, 0x0F, 0x00}, {0x22, 0x0B, 0x00}, {0x1C, 0x09, 0x00},
};

QRgb Identity(int i)
{
    return qRgb(i, 0, 0);
}

void IllegalBackground()
{
    MessageBox(0, "Illegal background color", "Ostrival", MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

CSCView::CSCView(const SViewContext& context, QWidget* parent) : QWidget(parent), m_context(context), m_table(256)
{
    for (int i = 0; i < 256; ++i)
        m_table[i] = Identity(i);
    // The surface is the whole picture: Qt need not clear behind it.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_hwnd = CreateMessageWindow([this](HWND, UINT message, WPARAM w, LPARAM l) { return OnMessage(message, w, l); });
}

CSCView::~CSCView()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    m_memoryDC = false;
    m_surface.reset();
}

LRESULT CSCView::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == app::WM_ES_BACKGROUNDCOLOR)
        return SetBackgroundColor(wParam, lParam);
    if (message == app::WM_ES_COLORTABLE)
        return SetColorTable(wParam, lParam);
    return 0;
}

void CSCView::OnInitialUpdate()
{
    // The view palette of the window context has no stand-in: the colour
    // table is all a view needs. No initial OnUpdate either.
}

int CSCView::CreateMemoryDC()
{
    m_memoryDC = true;
    if (m_context.Host().GetDisplayDepth() > 8)
        SendMessage(GetMainWindow(), app::WM_ES_BACKGROUNDCOLOR, 0, 0);
    return 1;
}

int CSCView::CreateDibSection()
{
    if (!m_memoryDC)
        return 0;
    auto next = std::make_unique<CDIBSection>();
    // Negative height: rows top-down, as an image expects them.
    if (next->Create(m_width, -m_height, 8, DIB_PAL_COLORS) && next->CreateSection()) {
        m_surface = std::move(next);
    } else {
        // A surface of size 0 cannot be made: the view has none for now.
        m_surface.reset();
    }
    return 1;
}

int CSCView::RealizeViewPalette()
{
    if (m_surface)
        m_surface->ResetColourTable();
    ColourTableChanged();
    update();
    return 0;
}

void CSCView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    OnSize(event->size().width(), event->size().height());
}

void CSCView::OnSize(int cx, int cy)
{
    m_width = cx;
    m_height = cy;
    if (!m_memoryDC)
        return;
    if (m_surface)
        CreateDibSection();
    PostMessage(GetMainWindow(), app::WM_ES_BACKGROUNDCOLOR, 0, 0);
}

LRESULT CSCView::SetBackgroundColor(WPARAM palette, LPARAM lParam)
{
    const auto* block = reinterpret_cast<const LOGPALETTE*>(lParam);
    if (!CPaletteControl::IsPaletteBlock(block))
        return 0;
    // Entries 0..234 of the palette show at slots 10..244.
    for (int i = 0; i < 235; ++i) {
        const PALETTEENTRY& e = block->palPalEntry[static_cast<std::size_t>(i)];
        m_table[10 + i] = qRgb(e.peRed, e.peGreen, e.peBlue);
    }
    const QRgb bg = m_table[CPaletteControl::kBackgroundIndex];
    const QRgb text = m_table[CPaletteControl::kTextIndex];
    m_backgroundColour = RGB(static_cast<BYTE>(qRed(bg)), static_cast<BYTE>(qGreen(bg)), static_cast<BYTE>(qBlue(bg)));
    m_textColour = RGB(static_cast<BYTE>(qRed(text)), static_cast<BYTE>(qGreen(text)), static_cast<BYTE>(qBlue(text)));

    if (IsSideScan()) {
        const SSideScanScales scales = m_context.Host().GetSideScanScales();
        const int bgRed = qRed(bg);
        if (scales.greyScaleOnSidescan == 1) {
            const int step = (qRed(text) - bgRed) / 7;
            if (bgRed == 0 || bgRed > 200) {
                const int base = bgRed == 0 ? 3 : 255;
                // Limited to the grey range: wrapping would turn the
                // strongest echoes dark.
                for (int k = 1; k <= CPaletteControl::kEchoColourCount; ++k) {
                    const int g = std::clamp(base + k * step, 0, 255);
                    m_table[159 + k] = qRgb(g, g, g);
                }
            } else {
                // No base grey for this background: the scale stays as it was.
                IllegalBackground();
            }
        }
        if (scales.copperOnSidescan == 1) {
            if (bgRed >= 1 && bgRed <= 200)
                IllegalBackground();
            for (int k = 0; k < CPaletteControl::kEchoColourCount; ++k)
                m_table[CPaletteControl::kFirstEchoIndex + k] = qRgb(kCopper[k][0], kCopper[k][1], kCopper[k][2]);
        }
    }
    ColourTableChanged();
    update();
    OnColorChange(static_cast<int>(palette), block);
    return 0;
}

LRESULT CSCView::SetColorTable(WPARAM, LPARAM)
{
    for (int i = 0; i < 256; ++i)
        m_table[i] = Identity(i);
    m_textColour = PALETTEINDEX(CPaletteControl::kTextIndex);
    m_backgroundColour = PALETTEINDEX(CPaletteControl::kBackgroundIndex);
    ColourTableChanged();
    update();
    return 0;
}

QImage CSCView::SurfaceImage() const
{
    if (!m_surface || !m_surface->GetBits())
        return QImage();
    QImage image(m_surface->GetBits(), m_width, m_height, static_cast<qsizetype>(CDIBSection::RowBytes(m_width, 8)),
                 QImage::Format_Indexed8);
    image.setColorTable(m_table);
    return image;
}

QImage CSCView::DrawImage()
{
    if (!m_surface || !m_surface->GetBits())
        return QImage();
    return QImage(m_surface->GetBits(), m_width, m_height, static_cast<qsizetype>(CDIBSection::RowBytes(m_width, 8)),
                  QImage::Format_Grayscale8);
}

int CSCView::SurfaceParts(const QRect& shown, SurfacePart (&parts)[kMaxSurfaceParts]) const
{
    const QRect r = shown & QRect(0, 0, m_width, m_height);
    if (r.isEmpty())
        return 0;
    parts[0] = {r, r};
    return 1;
}

void CSCView::DrawSurface(QPainter& painter) const
{
    const QImage image = PaintImage();
    if (image.isNull())
        return;
    SurfacePart parts[kMaxSurfaceParts];
    if (m_paintRegion.rectCount() <= 1) {
        for (const QRect& shown : m_paintRegion) {
            const int n = SurfaceParts(shown, parts);
            for (int k = 0; k < n; ++k)
                painter.drawImage(parts[k].target, image, parts[k].source);
        }
        return;
    }
    // Under a clip of several rectangles (a ping's new column and a label
    // beside it) the raster engine copies an image span by span, and hands
    // a tall column's many spans to its thread pool: far slower than the
    // block copy it makes within one clip rectangle. So each rectangle is
    // copied under its own clip, with the pieces the region's bands cut a
    // column into joined again.
    std::vector<QRect> pieces(m_paintRegion.begin(), m_paintRegion.end());
    std::vector<QRect> joined;
    joined.reserve(pieces.size());
    for (const QRect& piece : pieces) {
        auto above = std::find_if(joined.begin(), joined.end(), [&piece](const QRect& r) {
            return r.left() == piece.left() && r.right() == piece.right() && r.bottom() + 1 == piece.top();
        });
        if (above != joined.end())
            above->setBottom(piece.bottom());
        else
            joined.push_back(piece);
    }
    const bool clipped = painter.hasClipping();
    for (const QRect& shown : joined) {
        if (clipped) {
            painter.save();
            painter.setClipRect(shown, Qt::IntersectClip);
        } else {
            painter.setClipRect(shown);
        }
        const int n = SurfaceParts(shown, parts);
        for (int k = 0; k < n; ++k)
            painter.drawImage(parts[k].target, image, parts[k].source);
        if (clipped)
            painter.restore();
    }
    if (!clipped)
        painter.setClipping(false);
}

void CSCView::paintEvent(QPaintEvent* event)
{
    m_paintRegion = event->region();
    QPainter painter(this);
    OnDraw(painter);
    m_paintRegion = QRegion();
}
