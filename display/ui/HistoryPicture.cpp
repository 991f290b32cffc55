#include "display/ui/HistoryPicture.h"

#include "base/File.h"
#include "display/DIBSection.h"

#include <QPaintEvent>
#include <QPainter>

CHistoryPicture::CHistoryPicture(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
}

QImage CHistoryPicture::ToImage(const CDIBSection& dib, const std::optional<Colours>& colours)
{
    const BITMAPINFOHEADER& h = dib.GetHeader();
    const BYTE* bits = dib.GetBits();
    const int width = h.biWidth;
    const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const int bitCount = h.biBitCount;
    if (!bits || width <= 0 || height <= 0 || h.biCompression != 0)
        return {};
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24)
        return {};
    const DWORD rowBytes = CDIBSection::RowBytes(width, bitCount);
    // The bits are as long as the header's image size, which a file may
    // give shorter than its rows.
    if (static_cast<std::uint64_t>(rowBytes) * static_cast<std::uint64_t>(height) > h.biSizeImage)
        return {};

    std::array<QRgb, 256> table{};
    const auto& fileTable = dib.ColourTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (colours && i < kColourCount) {
            const COLORREF c = (*colours)[i];
            table[i] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        } else if (i < fileTable.size()) {
            table[i] = qRgb(fileTable[i].rgbRed, fileTable[i].rgbGreen, fileTable[i].rgbBlue);
        } else {
            table[i] = qRgb(0, 0, 0);
        }
    }

    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        // Files keep their rows bottom-up unless the height is negative.
        const int row = h.biHeight > 0 ? height - 1 - y : y;
        const BYTE* src = bits + static_cast<std::size_t>(row) * rowBytes;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            switch (bitCount) {
            case 1:
                out[x] = table[(src[x / 8] >> (7 - x % 8)) & 1];
                break;
            case 4:
                out[x] = table[(x % 2 ? src[x / 2] : src[x / 2] >> 4) & 0x0F];
                break;
            case 8:
                out[x] = table[src[x]];
                break;
            default:
                out[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
                break;
            }
        }
    }
    return image;
}

bool CHistoryPicture::ShowFile(const std::string& path)
{
    CFile file;
    if (!file.Open(path, CFile::modeRead | CFile::shareDenyNone))
        return false;
    CDIBSection dib;
    if (!dib.Load(file))
        return false;
    QImage image = ToImage(dib, m_colours);
    if (image.isNull())
        return false;
    m_image = std::move(image);
    m_file = path;
    update();
    return true;
}

void CHistoryPicture::SetColors(const Colours& colours)
{
    m_colours = colours;
    const COLORREF background = colours[0];
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(GetRValue(background), GetGValue(background), GetBValue(background)));
    setPalette(p);
    // The picture shown takes the colours at once.
    if (!m_file.empty())
        ShowFile(std::string(m_file));
}

void CHistoryPicture::Print(QPainter& painter, const QRect& page, unsigned flags) const
{
    if (m_image.isNull())
        return;
    const int half = page.width() / 2;
    const bool right = (flags >> 16) == 1;
    const QRect target(page.left() + (right ? half : 0), page.top(), half, page.height());
    const QSize size = m_image.size().scaled(target.size(), Qt::KeepAspectRatio);
    const QRect placed(target.left() + (target.width() - size.width()) / 2,
                       target.top() + (target.height() - size.height()) / 2, size.width(), size.height());
    painter.drawImage(placed, m_image);
}

void CHistoryPicture::paintEvent(QPaintEvent*)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(rect(), m_image);
}
