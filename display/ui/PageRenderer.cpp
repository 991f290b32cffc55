#include "display/ui/PageRenderer.h"

#include "platform/FileTime.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <cmath>
#include <cstdio>

namespace {

QFont MakeFont(int pixelHeight, bool bold = false)
{
    QFont font("Arial");
    font.setPixelSize(std::max(1, pixelHeight));
    font.setWeight(bold ? QFont::DemiBold : QFont::Normal);
    // A page holds page colours only: no blended edge may appear.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

int Nearest(const CPageRenderer::Colours& colours, QRgb target)
{
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < CPrinterPage::kColours; ++i) {
        const QRgb c = colours[static_cast<std::size_t>(i)];
        const long dr = qRed(c) - qRed(target), dg = qGreen(c) - qGreen(target), db = qBlue(c) - qBlue(target);
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}

// Where each text goes on an output of the given size, scaled from the
// page: the row first rescaled to the page height it was queued on (a row
// below the page is put 10 rows above its foot).
void Place(std::vector<SPrintedText>& texts, const QFontMetrics& metrics, bool vertical, double pageWidth,
           double pageHeight, double outWidth, double outHeight)
{
    for (SPrintedText& t : texts) {
        double y = t.y;
        if (t.pageHeight > 0.0 && t.pageHeight != pageHeight)
            y = y * pageHeight / t.pageHeight;
        if (y >= pageHeight)
            y = pageHeight - 10;
        const int x = static_cast<int>(t.x * outWidth / pageWidth);
        const int row = static_cast<int>(y * outHeight / pageHeight);
        const int along = metrics.horizontalAdvance(QString::fromStdString(t.text));
        const int across = metrics.height();
        t.left = x;
        t.right = x + (vertical ? across : along);
        const int extent = vertical ? along : across;
        if (t.topAnchored || t.below) {
            t.top = row;
            t.bottom = row + extent;
        } else {
            t.top = row - extent;
            t.bottom = row;
        }
    }
}

// Each text at the left and foot of its rectangle; vertical texts read
// upwards.
void Draw(QPainter& painter, const std::vector<SPrintedText>& texts, bool vertical, bool opaque, QColor back)
{
    const QFontMetrics metrics(painter.font());
    for (const SPrintedText& t : texts) {
        if (t.suppressed)
            continue;
        if (opaque)
            painter.fillRect(QRect(QPoint(t.left, t.top), QPoint(t.right - 1, t.bottom - 1)), back);
        painter.save();
        if (vertical) {
            painter.translate(t.left + metrics.ascent(), t.bottom);
            painter.rotate(-90);
            painter.drawText(0, 0, QString::fromStdString(t.text));
        } else {
            painter.drawText(t.left, t.bottom - metrics.descent(), QString::fromStdString(t.text));
        }
        painter.restore();
    }
}

}  // namespace

std::string CPageRenderer::StartText(std::uint64_t fileTime)
{
    SYSTEMTIME t;
    if (!CFileTime::ToLocalSystemTime(fileTime, t))
        return std::string();
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d   %02d %02d %04d", t.wHour, t.wMinute, t.wSecond, t.wDay, t.wMonth,
                  t.wYear);
    return text;
}

QImage CPageRenderer::ToImage(const CPrinterPage& page, const Colours& colours)
{
    QImage image(page.Width(), page.Height(), QImage::Format_Indexed8);
    QVector<QRgb> table(colours.begin(), colours.end());
    image.setColorTable(table);
    for (int y = 0; y < page.Height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < page.Width(); ++x)
            line[x] = page.Pixel(x, y);
    }
    return image;
}

void CPageRenderer::DrawHistory(SPage& p, int fileNumber)
{
    CPrinterPage& page = p.page;
    if (!page.IsValid())
        return;
    // Drawn as grey values that are page colours: grey i writes colour i.
    QImage image(page.Width(), page.Height(), QImage::Format_Grayscale8);
    for (int y = 0; y < page.Height(); ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < page.Width(); ++x)
            line[x] = page.Pixel(x, y);
    }
    const int black = Nearest(p.printer, qRgb(0, 0, 0));
    const int white = Nearest(p.printer, qRgb(255, 255, 255));
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        painter.setPen(QColor(black, black, black));
        const QColor back(white, white, white);
        const double w = page.Width(), h = page.Height();

        painter.setFont(MakeFont(14));
        Place(p.scales, QFontMetrics(painter.font()), false, w, h, w, h);
        Draw(painter, p.scales, false, false, back);

        painter.setFont(MakeFont(14));
        Place(p.texts, QFontMetrics(painter.font()), true, w, h, w, h);
        CPrinterTexts::Thin(p.texts);
        Draw(painter, p.texts, true, !p.transparentTexts, back);

        painter.setFont(MakeFont(kHeaderHeight - 2, true));
        const QFontMetrics header(painter.font());
        char file[32];
        std::snprintf(file, sizeof file, "  File %d", fileNumber);
        const QString line = QString::fromStdString(StartText(p.startTime) + file);
        painter.drawText(0, page.Height() - kHeaderHeight + header.ascent(), line);
    }
    for (int y = 0; y < page.Height(); ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < page.Width(); ++x)
            page.SetPixel(x, y, line[x]);
    }
    // The file keeps the history colours.
    std::vector<RGBQUAD>& table = page.Bitmap().ColourTable();
    table.resize(CPrinterPage::kColours);
    for (int i = 0; i < CPrinterPage::kColours; ++i) {
        const QRgb c = p.history[static_cast<std::size_t>(i)];
        table[static_cast<std::size_t>(i)] =
            RGBQUAD{static_cast<BYTE>(qBlue(c)), static_cast<BYTE>(qGreen(c)), static_cast<BYTE>(qRed(c)), 0};
    }
}

bool CPageRenderer::PrintPaper(QPrinter& printer, SPage& p)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRect area = printer.pageLayout().paintRectPixels(printer.resolution());
    const int width = area.width(), height = area.height();
    const int dpi = printer.logicalDpiX();
    const double pw = p.page.Width(), ph = p.page.Height();

    painter.drawImage(QRect(0, 0, width, static_cast<int>(height * 0.97)), ToImage(p.page, p.printer));

    painter.setPen(Qt::black);
    painter.setFont(MakeFont(dpi * 100 / 650));
    const int footRow = static_cast<int>(height * 0.975);
    const QFontMetrics pageFont(painter.font());
    painter.drawText(width / 2 - 20, footRow + pageFont.ascent(), QString("Page %1").arg(p.pageNumber));
    painter.drawText(0, footRow + pageFont.ascent(), QString::fromStdString(StartText(p.startTime)));

    painter.setFont(MakeFont(dpi * 80 / 650));
    Place(p.scales, QFontMetrics(painter.font()), false, pw, ph, width, height);
    Draw(painter, p.scales, false, false, Qt::white);

    painter.setFont(MakeFont(dpi * 60 / 650));
    Place(p.texts, QFontMetrics(painter.font()), true, pw, ph, width, height);
    CPrinterTexts::Thin(p.texts);
    Draw(painter, p.texts, true, !p.transparentTexts, Qt::white);
    return painter.end();
}
