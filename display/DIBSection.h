// The program's device-independent bitmap: an info header with its colour
// table and the pixel bits. The views draw into an 8-bit section whose
// pixels are palette indices; the printer writes history pictures to bitmap
// files with Save and the history dialog reads them back with Load.
//
// A negative height means rows top-down (the views use that, so the bits
// can be shown as an image as they stand); files carry a positive height
// and rows bottom-up. Every size read from a file is checked against the
// file before anything is allocated or read.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <vector>

class CArchive;
class CFile;

struct RGBQUAD
{
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};

struct BITMAPINFOHEADER
{
    DWORD biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    WORD biPlanes = 1;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};

struct SIZE
{
    std::int32_t cx = 0;
    std::int32_t cy = 0;
};

constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT DIB_PAL_COLORS = 1;

class CDIBSection
{
public:
    static constexpr DWORD kFileHeaderSize = 14;
    static constexpr DWORD kInfoHeaderSize = 40;
    static constexpr WORD kSignature = 0x4D42;  // "BM"
    // Largest side accepted from a file; history pages are far smaller.
    static constexpr std::int32_t kMaxSide = 32768;

    CDIBSection() = default;
    virtual ~CDIBSection() { Destroy(); }
    CDIBSection(const CDIBSection&) = delete;
    CDIBSection& operator=(const CDIBSection&) = delete;

    // A new header in memory; no pixel bits yet. FALSE for a size or bit
    // count no bitmap can have.
    BOOL Create(int width, int height, int bitCount, UINT usage);
    // Allocates the bits of a header made by Create; null after Load or on
    // a second call.
    BYTE* CreateSection(void* deviceContext = nullptr);
    BOOL Load(CFile& file);
    BOOL Save(CFile& file) const;
    void Serialize(CArchive& ar);
    BOOL Fill(BYTE value);
    BOOL ResetColourTable(void* deviceContext = nullptr);
    void GetSize(SIZE& size) const;
    void Destroy();

    // Bytes per row, padded to 4.
    static DWORD RowBytes(int width, int bitCount);

    BYTE* GetBits() { return m_bits.empty() ? nullptr : m_bits.data(); }
    const BYTE* GetBits() const { return m_bits.empty() ? nullptr : m_bits.data(); }
    bool HasHeader() const { return m_headerOwner != 0; }
    const BITMAPINFOHEADER& GetHeader() const { return m_header; }
    std::vector<RGBQUAD>& ColourTable() { return m_table; }
    const std::vector<RGBQUAD>& ColourTable() const { return m_table; }
    DWORD GetColourCount() const { return m_colourCount; }
    UINT GetUsage() const { return m_usage; }
    bool IsSection() const { return m_bitsOwner == 2; }

private:
    void SetColourCountFromBits(int bitCount);
    void SetColourCountFromHeader();
    void ComputeImageSize();
    static void Refuse(const char* text);

    DWORD m_colourCount = 0;
    BITMAPINFOHEADER m_header;
    std::vector<RGBQUAD> m_table;
    std::vector<BYTE> m_bits;
    UINT m_usage = DIB_RGB_COLORS;
    int m_headerOwner = 0;  // 0 none, 1 Create or Load, 2 section
    int m_bitsOwner = 0;    // 0 none, 1 Load, 2 section
};
