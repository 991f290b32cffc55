// The page the printing builds ping by ping: a 16-colour bitmap, one pixel
// column per printed ping, written as a history file as it stands (rows
// bottom-up, 4 bits a pixel). Its colours are page colours 0..15; a map
// from the views' palette indices turns an echogram's pixels into them.
//
// Not thread-safe: its owner keeps it under its own lock.
#pragma once

#include "display/DIBSection.h"

#include <array>
#include <cstdint>
#include <memory>

class CPrinterPage
{
public:
    static constexpr int kColours = 16;
    // A view's palette index to the page colour that prints it.
    using ColourMap = std::array<BYTE, 256>;

    CPrinterPage();
    CPrinterPage(const CPrinterPage& other);
    CPrinterPage& operator=(const CPrinterPage& other);
    // A page handed on keeps its pixels where they are; the one it came
    // from is left without a page.
    CPrinterPage(CPrinterPage&& other) noexcept;
    CPrinterPage& operator=(CPrinterPage&& other) noexcept;

    // A page of colour 0; false (and no page) for a size no bitmap can have.
    bool Create(int width, int height);
    bool IsValid() const { return m_width > 0 && m_height > 0; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    BYTE Pixel(int x, int y) const;
    void SetPixel(int x, int y, BYTE colour);
    // `count` pixels of column x from row y down, clipped to the page.
    void FillColumn(int x, int y, int count, BYTE colour);
    // Column x from row y down, `height` rows tall, takes `count` source
    // pixels (each `stride` bytes after the last) stretched by the nearest
    // pixel and turned into page colours by `map`.
    void CopyColumn(int x, int y, int height, const BYTE* source, int count, std::ptrdiff_t stride,
                    const ColourMap& map);
    void Clear(BYTE colour = 0);
    // Columns 0..columns of an older page of another size, each stretched
    // to this page's height (the left margin and the current column survive
    // a change of the screen).
    void CarryColumns(const CPrinterPage& older, int columns);

    // The bitmap as a history file holds it; its colour table is the one
    // the file gets.
    CDIBSection& Bitmap() { return *m_bitmap; }
    const CDIBSection& Bitmap() const { return *m_bitmap; }

private:
    BYTE* Row(int y);
    const BYTE* Row(int y) const;

    std::unique_ptr<CDIBSection> m_bitmap;
    int m_width = 0;
    int m_height = 0;
    DWORD m_stride = 0;
};
