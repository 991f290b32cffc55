#include "plot/ui/GraphDib.h"

#include <QPainter>

CGraphDib::CGraphDib(int width, int height) : m_width(width), m_height(height)
{
    Create(true, 0);
}

bool CGraphDib::Create(bool fill, unsigned char fillByte)
{
    Release();
    if (m_width > 0 && m_height > 0)
        m_image = QImage(m_width, m_height, QImage::Format_RGB32);
    if (!Exists())
        return false;
    if (fill)
        Fill(fillByte);
    m_drawn = false;
    return true;
}

void CGraphDib::Resize(int width, int height, bool fill, unsigned char fillByte)
{
    if (width == m_width && height == m_height) {
        if (fill)
            Fill(fillByte);
        return;
    }
    m_width = width;
    m_height = height;
    Create(fill, fillByte);
}

void CGraphDib::Fill(unsigned char byte)
{
    if (Exists())
        m_image.fill(qRgb(byte, byte, byte));
}

void CGraphDib::Release()
{
    m_image = QImage();
}

void CGraphDib::Blit(QPainter& target, int left, int top, int right, int bottom) const
{
    if (!Exists())
        return;
    const QRect r = QRect(left, top, right - left, bottom - top) & m_image.rect();
    if (!r.isEmpty())
        target.drawImage(r.topLeft(), m_image, r);
}
