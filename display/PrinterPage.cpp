#include "display/PrinterPage.h"

#include <algorithm>
#include <cstring>

CPrinterPage::CPrinterPage() : m_bitmap(std::make_unique<CDIBSection>()) {}

CPrinterPage::CPrinterPage(const CPrinterPage& other) : CPrinterPage()
{
    *this = other;
}

CPrinterPage::CPrinterPage(CPrinterPage&& other) noexcept : CPrinterPage()
{
    *this = std::move(other);
}

CPrinterPage& CPrinterPage::operator=(CPrinterPage&& other) noexcept
{
    if (this == &other)
        return *this;
    std::swap(m_bitmap, other.m_bitmap);
    m_width = other.m_width;
    m_height = other.m_height;
    m_stride = other.m_stride;
    other.m_bitmap->Destroy();
    other.m_width = other.m_height = 0;
    other.m_stride = 0;
    return *this;
}

CPrinterPage& CPrinterPage::operator=(const CPrinterPage& other)
{
    if (this == &other)
        return *this;
    m_bitmap->Destroy();
    m_width = m_height = 0;
    m_stride = 0;
    if (other.IsValid() && Create(other.m_width, other.m_height)) {
        std::memcpy(m_bitmap->GetBits(), other.m_bitmap->GetBits(), other.m_bitmap->GetHeader().biSizeImage);
        m_bitmap->ColourTable() = other.m_bitmap->ColourTable();
    }
    return *this;
}

bool CPrinterPage::Create(int width, int height)
{
    m_width = m_height = 0;
    // Positive height: rows bottom-up, as the file has them.
    if (width <= 0 || height <= 0 || !m_bitmap->Create(width, height, 4, DIB_RGB_COLORS) ||
        !m_bitmap->CreateSection()) {
        m_bitmap->Destroy();
        return false;
    }
    m_width = width;
    m_height = height;
    m_stride = CDIBSection::RowBytes(width, 4);
    return true;
}

BYTE* CPrinterPage::Row(int y)
{
    return m_bitmap->GetBits() + static_cast<std::size_t>(m_height - 1 - y) * m_stride;
}

const BYTE* CPrinterPage::Row(int y) const
{
    return m_bitmap->GetBits() + static_cast<std::size_t>(m_height - 1 - y) * m_stride;
}

BYTE CPrinterPage::Pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return 0;
    const BYTE b = Row(y)[x / 2];
    return x % 2 == 0 ? static_cast<BYTE>(b >> 4) : static_cast<BYTE>(b & 0x0F);
}

void CPrinterPage::SetPixel(int x, int y, BYTE colour)
{
    if (x < 0 || y < 0 || x >= m_width || y >= m_height)
        return;
    BYTE& b = Row(y)[x / 2];
    colour &= 0x0F;
    b = x % 2 == 0 ? static_cast<BYTE>((b & 0x0F) | (colour << 4)) : static_cast<BYTE>((b & 0xF0) | colour);
}

void CPrinterPage::FillColumn(int x, int y, int count, BYTE colour)
{
    if (x < 0 || x >= m_width)
        return;
    const int first = std::max(y, 0);
    const int last = std::min<long long>(static_cast<long long>(y) + count, m_height);
    for (int row = first; row < last; ++row)
        SetPixel(x, row, colour);
}

void CPrinterPage::CopyColumn(int x, int y, int height, const BYTE* source, int count, std::ptrdiff_t stride,
                              const ColourMap& map)
{
    if (x < 0 || x >= m_width || height <= 0 || count <= 0 || !source)
        return;
    const int first = std::max(y, 0);
    const int last = static_cast<int>(std::min<long long>(static_cast<long long>(y) + height, m_height));
    const int shift = x % 2 == 0 ? 4 : 0;
    const BYTE keep = x % 2 == 0 ? 0x0F : 0xF0;
    BYTE* bits = m_bitmap->GetBits();
    const std::ptrdiff_t column = x / 2;
    for (int row = first; row < last; ++row) {
        const long long from = static_cast<long long>(row - y) * count / height;
        const BYTE colour = map[source[from * stride]] & 0x0F;
        BYTE& b = bits[static_cast<std::size_t>(m_height - 1 - row) * m_stride + static_cast<std::size_t>(column)];
        b = static_cast<BYTE>((b & keep) | (colour << shift));
    }
}

void CPrinterPage::Clear(BYTE colour)
{
    if (!IsValid())
        return;
    colour &= 0x0F;
    m_bitmap->Fill(static_cast<BYTE>(colour << 4 | colour));
}

void CPrinterPage::CarryColumns(const CPrinterPage& older, int columns)
{
    if (!IsValid() || !older.IsValid())
        return;
    const int last = std::min({columns, older.m_width - 1, m_width - 1});
    for (int x = 0; x <= last; ++x)
        for (int row = 0; row < m_height; ++row)
            SetPixel(x, row, older.Pixel(x, static_cast<int>(static_cast<long long>(row) * older.m_height / m_height)));
}
