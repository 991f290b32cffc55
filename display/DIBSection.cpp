#include "display/DIBSection.h"

#include "app/base/Archive.h"
#include "app/base/File.h"
#include "platform/MessageBox.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kCaption = "Ostrival";

std::uint16_t Get16(const BYTE* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Get32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::vector<BYTE>& out, std::uint16_t v)
{
    out.push_back(static_cast<BYTE>(v));
    out.push_back(static_cast<BYTE>(v >> 8));
}
void Put32(std::vector<BYTE>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<BYTE>(v >> (8 * i)));
}

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

} // namespace

DWORD CDIBSection::RowBytes(int width, int bitCount)
{
    const std::uint64_t bits = static_cast<std::uint64_t>(std::abs(static_cast<std::int64_t>(width))) *
                               static_cast<std::uint64_t>(bitCount);
    return static_cast<DWORD>((bits + 31) / 32 * 4);
}

void CDIBSection::Refuse(const char* text) { MessageBox(0, text, kCaption, MB_OK | MB_ICONEXCLAMATION); }

void CDIBSection::SetColourCountFromBits(int bitCount)
{
    switch (bitCount) {
    case 1: m_colourCount = 2; break;
    case 4: m_colourCount = 16; break;
    case 8: m_colourCount = 256; break;
    case 16:
    case 24:
    case 32: m_colourCount = 0; break;
    default: break;
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
    std::vector<BYTE> head;
    head.reserve(offBits);
    Put16(head, kSignature);
    Put32(head, offBits + m_header.biSizeImage);
    Put16(head, 0);
    Put16(head, 0);
    Put32(head, offBits);
    Put32(head, m_header.biSize);
    Put32(head, static_cast<std::uint32_t>(m_header.biWidth));
    Put32(head, static_cast<std::uint32_t>(m_header.biHeight));
    Put16(head, m_header.biPlanes);
    Put16(head, m_header.biBitCount);
    Put32(head, m_header.biCompression);
    Put32(head, m_header.biSizeImage);
    Put32(head, static_cast<std::uint32_t>(m_header.biXPelsPerMeter));
    Put32(head, static_cast<std::uint32_t>(m_header.biYPelsPerMeter));
    Put32(head, m_header.biClrUsed);
    Put32(head, m_header.biClrImportant);
    for (const RGBQUAD& q : m_table) {
        head.push_back(q.rgbBlue);
        head.push_back(q.rgbGreen);
        head.push_back(q.rgbRed);
        head.push_back(q.rgbReserved);
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
    if (Get16(fileHeader) != kSignature) {
        Refuse("Invalid bitmap file");
        return FALSE;
    }
    Destroy();
    try {
        const ULONGLONG length = file.GetLength();
        const std::uint32_t offBits = Get32(fileHeader + 10);
        BYTE info[kInfoHeaderSize];
        ReadAll(file, info, kInfoHeaderSize);
        BITMAPINFOHEADER h;
        h.biSize = Get32(info);
        h.biWidth = static_cast<std::int32_t>(Get32(info + 4));
        h.biHeight = static_cast<std::int32_t>(Get32(info + 8));
        h.biPlanes = Get16(info + 12);
        h.biBitCount = Get16(info + 14);
        h.biCompression = Get32(info + 16);
        h.biSizeImage = Get32(info + 20);
        h.biXPelsPerMeter = static_cast<std::int32_t>(Get32(info + 24));
        h.biYPelsPerMeter = static_cast<std::int32_t>(Get32(info + 28));
        h.biClrUsed = Get32(info + 32);
        h.biClrImportant = Get32(info + 36);

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
        m_header.biSize = kInfoHeaderSize; // what this program keeps and writes
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
