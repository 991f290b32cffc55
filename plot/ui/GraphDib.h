// The plot window's off-screen picture: curves, markers and grid are drawn
// into it, and painting copies rectangles of it to the screen, so the plot
// never flickers. 32 bits a pixel: QPainter draws lines into it an order of
// magnitude faster than into 15-bit pixels.
#pragma once

#include <QImage>

class QPainter;

class CGraphDib
{
public:
    // Created filled with byte 0.
    CGraphDib(int width, int height);

    // Releases the surface and makes it anew at the stored size; it stays
    // absent when that size is empty. Clears the drawn flag.
    bool Create(bool fill, unsigned char fillByte);
    // The same size keeps the surface (and the drawn flag) and only fills.
    void Resize(int width, int height, bool fill, unsigned char fillByte);
    // Every pixel becomes the grey of the byte (0 black, 255 white).
    void Fill(unsigned char byte);
    void Release();

    bool Exists() const { return !m_image.isNull(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The picture to draw into, or none while the surface is absent.
    QImage* GetSurface() { return Exists() ? &m_image : nullptr; }
    const QImage* GetSurface() const { return Exists() ? &m_image : nullptr; }

    bool IsDrawn() const { return m_drawn; }
    void SetDrawn(bool drawn) { m_drawn = drawn; }

    // Copies the rectangle (right and bottom exclusive) to the same place
    // on the target, cut to the picture.
    void Blit(QPainter& target, int left, int top, int right, int bottom) const;

private:
    int m_width;
    int m_height;
    QImage m_image;
    bool m_drawn = false;
};
