#include "display/DIBSection.h"

#include "base/Archive.h"
#include "base/File.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kCaption = "Ostrival";

bool ValidBitCount(int bits)
{
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Reads exactly count bytes or throws: a short file is a damaged file.
void ReadAll(CFile& file, void* buffer, UINT count)
{
    if (file.Read(buffer, count) != count)
        throw CFileException(CFileException::endOfFile, 0, file.GetFilePath());
}

}  // namespace

DWORD CDIBSection::RowBytes(int width, int bitCount)
{
    const std::uint64_t bits =
        static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(width))) * static_cast<std::uint64_t>(bitCount);
    return static_cast<DWORD>((bits + 31) / 32 * 4);
}

void CDIBSection::Refuse(const char* text)
{
    MessageBox(0, text, kCaption, MB_OK | MB_ICONEXCLAMATION);
}

void CDIBSection::SetColourCountFromBits(int bitCount)
{
    switch (bitCount) {
    case 1:
        m_colourCount = 2;
        break;
    case 4:
        m_colourCount = 16;
        break;
    case 8:
        m_colourCount = 256;
        break;
    case 16:
    case 24:
    case 32:
        m_colourCount = 0;
        break;
    default:
        break;
    }
}

void CDIBSection::SetColourCountFromHeader()
{
    if (m_header.biClrUsed != 0) {
        m_colourCount = m_header.biClrUsed;
    } else {
        SetColourCountFromBits(m_header.biBitCount);
        m_header.biClrUsed = m_colourCount;
    }
}

void CDIBSection::ComputeImageSize()
{
    // Rows top-down have a negative height; the size is the same.
    if (m_header.biSizeImage == 0)
        m_header.biSizeImage = RowBytes(m_header.biWidth, m_header.biBitCount) *
                               static_cast<DWORD>(std::abs(static_cast<std::int64_t>(m_header.biHeight)));
}

BOOL CDIBSection::Create(int width, int height, int bitCount, UINT usage)
{
    Destroy();
    if (!ValidBitCount(bitCount) || width < 0 || width > kMaxSide || height < -kMaxSide || height > kMaxSide)
        return FALSE;
    SetColourCountFromBits(bitCount);
    m_header = BITMAPINFOHEADER{};
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_header.biBitCount = static_cast<WORD>(bitCount);
    m_header.biClrUsed = m_colourCount;
    m_header.biClrImportant = m_colourCount;
    ComputeImageSize();
    m_table.assign(m_colourCount, RGBQUAD{});
    m_usage = usage;
    m_headerOwner = 1;
    return TRUE;
}

BYTE* CDIBSection::CreateSection(void*)
{
    if (m_headerOwner == 0 || !m_bits.empty() || m_bitsOwner != 0 || m_header.biSizeImage == 0)
        return nullptr;
    m_bits.assign(m_header.biSizeImage, 0);
    m_bitsOwner = 2;
    m_headerOwner = 2;
    return m_bits.data();
}

BOOL CDIBSection::Fill(BYTE value)
{
    if (m_colourCount == 0 || m_headerOwner == 0 || m_bits.empty())
        return FALSE;
    std::memset(m_bits.data(), value, m_bits.size());
    return TRUE;
}

BOOL CDIBSection::ResetColourTable(void*)
{
    if (m_usage == DIB_RGB_COLORS)
        return FALSE;
    for (DWORD i = 0; i < m_colourCount && i < m_table.size(); ++i)
        m_table[i] = RGBQUAD{0, 0, static_cast<BYTE>(i), 0};
    return TRUE;
}

void CDIBSection::GetSize(SIZE& size) const
{
    if (m_headerOwner == 0) {
        size = SIZE{};
        return;
    }
    size.cx = m_header.biWidth;
    size.cy = m_header.biHeight;
}

void CDIBSection::Destroy()
{
    m_bits.clear();
    m_bits.shrink_to_fit();
    m_table.clear();
    m_header = BITMAPINFOHEADER{};
    m_colourCount = 0;
    m_headerOwner = 0;
    m_bitsOwner = 0;
}

BOOL CDIBSection::Save(CFile& file) const
{
    if (m_headerOwner == 0)
        return FALSE;
    const DWORD n = static_cast<DWORD>(m_table.size());
    const DWORD offBits = kFileHeaderSize + kInfoHeaderSize + 4 * n;
    // File header (two reserved words stay zero), information header, and
    // the colour table as blue, green, red, reserved.
    std::vector<BYTE> head(offBits, 0);
    CByteWriter w(head);
    w.U16(0, kSignature);
    w.U32(2, offBits + m_header.biSizeImage);
    w.U32(10, offBits);
    w.U32(14, m_header.biSize);
    w.I32(18, m_header.biWidth);
    w.I32(22, m_header.biHeight);
    w.U16(26, m_header.biPlanes);
    w.U16(28, m_header.biBitCount);
    w.U32(30, m_header.biCompression);
    w.U32(34, m_header.biSizeImage);
    w.I32(38, m_header.biXPelsPerMeter);
    w.I32(42, m_header.biYPelsPerMeter);
    w.U32(46, m_header.biClrUsed);
    w.U32(50, m_header.biClrImportant);
    for (std::size_t i = 0; i < m_table.size(); ++i) {
        const RGBQUAD& q = m_table[i];
        const BYTE quad[4] = {q.rgbBlue, q.rgbGreen, q.rgbRed, q.rgbReserved};
        w.Bytes(kFileHeaderSize + kInfoHeaderSize + 4 * i, quad, sizeof quad);
    }
    try {
        file.Write(head.data(), static_cast<UINT>(head.size()));
        // Bits that were never made are written as zeros, so the file still
        // has the size its header gives.
        if (m_bits.size() >= m_header.biSizeImage) {
            file.Write(m_bits.data(), m_header.biSizeImage);
        } else {
            std::vector<BYTE> zeros(m_header.biSizeImage, 0);
            file.Write(zeros.data(), static_cast<UINT>(zeros.size()));
        }
    } catch (const CException&) {
        return FALSE;
    }
    return TRUE;
}

BOOL CDIBSection::Load(CFile& file)
{
    BYTE fileHeader[kFileHeaderSize];
    try {
        if (file.Read(fileHeader, kFileHeaderSize) != kFileHeaderSize) {
            Refuse("read error 1");
            return FALSE;
        }
    } catch (const CException&) {
        Refuse("read error 1");
        return FALSE;
    }
    CByteReader fh(fileHeader, kFileHeaderSize);
    if (fh.U16(0) != kSignature) {
        Refuse("Invalid bitmap file");
        return FALSE;
    }
    Destroy();
    try {
        const ULONGLONG length = file.GetLength();
        const std::uint32_t offBits = fh.U32(10);
        BYTE info[kInfoHeaderSize];
        ReadAll(file, info, kInfoHeaderSize);
        CByteReader ih(info, kInfoHeaderSize);
        BITMAPINFOHEADER h;
        h.biSize = ih.U32(0);
        h.biWidth = ih.I32(4);
        h.biHeight = ih.I32(8);
        h.biPlanes = ih.U16(12);
        h.biBitCount = ih.U16(14);
        h.biCompression = ih.U32(16);
        h.biSizeImage = ih.U32(20);
        h.biXPelsPerMeter = ih.I32(24);
        h.biYPelsPerMeter = ih.I32(28);
        h.biClrUsed = ih.U32(32);
        h.biClrImportant = ih.U32(36);

        // Every size and offset is checked against the file and against
        // the others before it is used.
        const std::uint64_t tableStart = std::uint64_t{kFileHeaderSize} + h.biSize;
        bool bad = h.biSize < kInfoHeaderSize || tableStart > offBits || offBits > length;
        bad = bad || h.biPlanes != 1 || !ValidBitCount(h.biBitCount) || h.biCompression != 0;
        bad = bad || h.biWidth <= 0 || h.biWidth > kMaxSide || h.biHeight == 0 || h.biHeight > kMaxSide ||
              h.biHeight < -kMaxSide;
        const std::uint64_t maxColours = h.biBitCount <= 8 ? (1u << h.biBitCount) : 256u;
        bad = bad || h.biClrUsed > maxColours;
        if (bad) {
            Refuse("Invalid bitmap file");
            return FALSE;
        }
        m_header = h;
        m_header.biSize = kInfoHeaderSize;  // what this program keeps and writes
        SetColourCountFromBits(h.biBitCount);
        const std::uint64_t needed =
            std::uint64_t{RowBytes(h.biWidth, h.biBitCount)} * static_cast<std::uint64_t>(std::abs(h.biHeight));
        if (m_header.biSizeImage == 0)
            ComputeImageSize();
        const std::uint64_t fileColours = (offBits - tableStart) / 4;
        const std::uint64_t colourSlots = h.biClrUsed != 0 ? h.biClrUsed : m_colourCount;
        if (m_header.biSizeImage < needed || std::uint64_t{offBits} + m_header.biSizeImage > length ||
            fileColours < std::min<std::uint64_t>(colourSlots, h.biClrUsed)) {
            Destroy();
            Refuse("Invalid bitmap file");
            return FALSE;
        }

        // The colour table: as many entries as the file has, up to the slots.
        m_table.assign(static_cast<std::size_t>(std::max<std::uint64_t>(colourSlots, m_colourCount)), RGBQUAD{});
        const std::size_t present = static_cast<std::size_t>(std::min<std::uint64_t>(fileColours, m_table.size()));
        file.SeekToBegin();
        std::vector<BYTE> skip(static_cast<std::size_t>(tableStart));
        ReadAll(file, skip.data(), static_cast<UINT>(skip.size()));
        std::vector<BYTE> raw(present * 4);
        if (!raw.empty())
            ReadAll(file, raw.data(), static_cast<UINT>(raw.size()));
        for (std::size_t i = 0; i < present; ++i)
            m_table[i] = RGBQUAD{raw[4 * i], raw[4 * i + 1], raw[4 * i + 2], raw[4 * i + 3]};
        // A gap between the table and the bits is skipped.
        const std::uint64_t gap = offBits - tableStart - raw.size();
        if (gap > 0) {
            std::vector<BYTE> g(static_cast<std::size_t>(gap));
            ReadAll(file, g.data(), static_cast<UINT>(g.size()));
        }
        m_bits.assign(m_header.biSizeImage, 0);
        ReadAll(file, m_bits.data(), m_header.biSizeImage);
        m_bitsOwner = 1;
        m_headerOwner = 1;
        m_usage = DIB_RGB_COLORS;
        SetColourCountFromHeader();
        m_table.resize(m_colourCount);
        m_header.biClrUsed = m_colourCount;
        m_header.biClrImportant = m_colourCount;
    } catch (const CException&) {
        Destroy();
        Refuse("Read error 1");
        return FALSE;
    }
    return TRUE;
}

void CDIBSection::Serialize(CArchive& ar)
{
    ar.Flush();
    CFile* file = ar.GetFile();
    if (!file)
        return;
    if (ar.IsStoring())
        Save(*file);
    else
        Load(*file);
}
