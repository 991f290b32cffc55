#include "base/Archive.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

void Utf8Append(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Reading in slices bounds what a corrupt length can make us allocate by
// what the data really holds.
constexpr size_t kStringSlice = 64 * 1024;

}  // namespace

const char* CArchiveException::what() const noexcept
{
    switch (m_cause) {
    case endOfFile:
        return "archive: unexpected end of data";
    case readOnly:
        return "archive: writing to a loading archive";
    case writeOnly:
        return "archive: reading from a storing archive";
    case badIndex:
    case badClass:
    case badSchema:
        return "archive: unexpected data format";
    default:
        return "archive error";
    }
}

CArchive::CArchive(CFile* file, UINT mode, int bufferSize)
    : m_loading((mode & load) != 0),
      m_flushOnDelete((mode & bNoFlushOnDelete) == 0),
      m_file(file),
      m_buffer(static_cast<size_t>(std::max(bufferSize, 128)))
{}

CArchive::CArchive(std::vector<BYTE>& buffer, UINT mode)
    : m_loading((mode & load) != 0), m_flushOnDelete(false), m_memory(&buffer)
{
    if (m_loading) {
        m_data = buffer.data();
        m_dataSize = buffer.size();
    }
}

CArchive::CArchive(const BYTE* data, size_t size)
    : m_loading(true), m_flushOnDelete(false), m_data(data), m_dataSize(data != nullptr ? size : 0)
{}

CArchive::~CArchive()
{
    if (!m_closed && m_flushOnDelete && !m_loading && m_file != nullptr) {
        try {
            Flush();
        } catch (...) {
            // A destructor cannot report; Close() is the way to see errors.
        }
    }
}

std::string CArchive::FileName() const
{
    return m_file != nullptr ? m_file->GetFilePath() : std::string();
}

void CArchive::ThrowEndOfFile() const
{
    throw CArchiveException(CArchiveException::endOfFile, FileName());
}

void CArchive::CheckLoading() const
{
    if (!m_loading)
        throw CArchiveException(CArchiveException::writeOnly, FileName());
    if (m_closed)
        throw CArchiveException(CArchiveException::genericException, FileName());
}

void CArchive::CheckStoring() const
{
    if (m_loading)
        throw CArchiveException(CArchiveException::readOnly, FileName());
    if (m_closed)
        throw CArchiveException(CArchiveException::genericException, FileName());
}

UINT CArchive::Read(void* buffer, UINT count)
{
    CheckLoading();
    auto* out = static_cast<BYTE*>(buffer);
    if (m_file == nullptr) {
        const size_t n = std::min<size_t>(count, m_dataSize - m_dataPos);
        if (n > 0)
            std::memcpy(out, m_data + m_dataPos, n);
        m_dataPos += n;
        return static_cast<UINT>(n);
    }
    size_t done = 0;
    while (done < count) {
        if (m_bufferPos == m_bufferEnd) {
            // Large reads bypass the buffer.
            if (count - done >= m_buffer.size())
                return static_cast<UINT>(done + m_file->Read(out + done, static_cast<UINT>(count - done)));
            m_bufferPos = 0;
            m_bufferEnd = m_file->Read(m_buffer.data(), static_cast<UINT>(m_buffer.size()));
            if (m_bufferEnd == 0)
                break;
        }
        const size_t n = std::min(count - done, m_bufferEnd - m_bufferPos);
        std::memcpy(out + done, m_buffer.data() + m_bufferPos, n);
        m_bufferPos += n;
        done += n;
    }
    return static_cast<UINT>(done);
}

void CArchive::ReadExactly(void* buffer, size_t count)
{
    if (Read(buffer, static_cast<UINT>(count)) != count)
        ThrowEndOfFile();
}

void CArchive::Write(const void* buffer, UINT count)
{
    CheckStoring();
    const auto* in = static_cast<const BYTE*>(buffer);
    if (m_memory != nullptr) {
        m_memory->insert(m_memory->end(), in, in + count);
        return;
    }
    if (m_file == nullptr)
        throw CArchiveException(CArchiveException::genericException);
    size_t done = 0;
    while (done < count) {
        if (m_bufferEnd == m_buffer.size())
            Flush();
        const size_t n = std::min<size_t>(count - done, m_buffer.size() - m_bufferEnd);
        std::memcpy(m_buffer.data() + m_bufferEnd, in + done, n);
        m_bufferEnd += n;
        done += n;
    }
}

void CArchive::Flush()
{
    if (m_loading || m_file == nullptr || m_closed)
        return;
    if (m_bufferEnd > 0) {
        const size_t n = m_bufferEnd;
        // Empty the buffer first: a failed write must not be retried by the
        // destructor with the same bytes.
        m_bufferEnd = 0;
        m_file->Write(m_buffer.data(), static_cast<UINT>(n));
    }
}

void CArchive::Close()
{
    if (m_closed)
        return;
    Flush();
    m_closed = true;
}

void CArchive::Abort()
{
    m_bufferEnd = 0;
    m_bufferPos = 0;
    m_closed = true;
}

CArchive& CArchive::operator<<(BYTE v)
{
    Write(&v, 1);
    return *this;
}

CArchive& CArchive::operator<<(WORD v)
{
    BYTE b[2];
    CByteWriter(b, sizeof b).U16(0, v);
    Write(b, sizeof b);
    return *this;
}

CArchive& CArchive::operator<<(DWORD v)
{
    BYTE b[4];
    CByteWriter(b, sizeof b).U32(0, v);
    Write(b, sizeof b);
    return *this;
}

CArchive& CArchive::operator<<(ULONGLONG v)
{
    BYTE b[8];
    CByteWriter(b, sizeof b).U64(0, v);
    Write(b, sizeof b);
    return *this;
}

CArchive& CArchive::operator<<(float v)
{
    return *this << std::bit_cast<DWORD>(v);
}

CArchive& CArchive::operator<<(double v)
{
    return *this << std::bit_cast<ULONGLONG>(v);
}

CArchive& CArchive::operator<<(const std::string& v)
{
    const std::uint64_t n = v.size();
    if (n < 0xFF) {
        *this << static_cast<BYTE>(n);
    } else if (n < 0xFFFE) {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(n);
    } else if (n < 0xFFFFFFFFULL) {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(n);
    } else {
        *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(0xFFFFFFFF)
              << static_cast<ULONGLONG>(n);
    }
    // Write takes a 32-bit count; go in slices.
    size_t done = 0;
    while (done < v.size()) {
        const size_t slice = std::min<size_t>(v.size() - done, 0x40000000);
        Write(v.data() + done, static_cast<UINT>(slice));
        done += slice;
    }
    return *this;
}

CArchive& CArchive::operator>>(BYTE& v)
{
    ReadExactly(&v, 1);
    return *this;
}

CArchive& CArchive::operator>>(char& v)
{
    BYTE b = 0;
    *this >> b;
    v = static_cast<char>(b);
    return *this;
}

CArchive& CArchive::operator>>(std::int8_t& v)
{
    BYTE b = 0;
    *this >> b;
    v = static_cast<std::int8_t>(b);
    return *this;
}

CArchive& CArchive::operator>>(WORD& v)
{
    BYTE b[2];
    ReadExactly(b, sizeof b);
    v = CByteReader(b, sizeof b).U16(0);
    return *this;
}

CArchive& CArchive::operator>>(std::int16_t& v)
{
    WORD w = 0;
    *this >> w;
    v = static_cast<std::int16_t>(w);
    return *this;
}

CArchive& CArchive::operator>>(DWORD& v)
{
    BYTE b[4];
    ReadExactly(b, sizeof b);
    v = CByteReader(b, sizeof b).U32(0);
    return *this;
}

CArchive& CArchive::operator>>(LONG& v)
{
    DWORD d = 0;
    *this >> d;
    v = static_cast<LONG>(d);
    return *this;
}

CArchive& CArchive::operator>>(ULONGLONG& v)
{
    BYTE b[8];
    ReadExactly(b, sizeof b);
    v = CByteReader(b, sizeof b).U64(0);
    return *this;
}

CArchive& CArchive::operator>>(LONGLONG& v)
{
    ULONGLONG u = 0;
    *this >> u;
    v = static_cast<LONGLONG>(u);
    return *this;
}

CArchive& CArchive::operator>>(unsigned long long& v)
{
    ULONGLONG u = 0;
    *this >> u;
    v = u;
    return *this;
}

CArchive& CArchive::operator>>(long long& v)
{
    ULONGLONG u = 0;
    *this >> u;
    v = static_cast<long long>(u);
    return *this;
}

CArchive& CArchive::operator>>(float& v)
{
    DWORD bits = 0;
    *this >> bits;
    v = std::bit_cast<float>(bits);
    return *this;
}

CArchive& CArchive::operator>>(double& v)
{
    ULONGLONG bits = 0;
    *this >> bits;
    v = std::bit_cast<double>(bits);
    return *this;
}

CArchive& CArchive::operator>>(bool& v)
{
    LONG b = 0;
    *this >> b;
    v = b != 0;
    return *this;
}

std::uint64_t CArchive::ReadStringLength(bool& wide)
{
    BYTE b = 0;
    *this >> b;
    if (b < 0xFF)
        return b;
    WORD w = 0;
    *this >> w;
    if (w == 0xFFFE) {
        // Marker of a UTF-16 string; its length prefix follows afresh, once:
        // a second 0xFFFE there is a 16-bit length, not another marker.
        wide = true;
        *this >> b;
        if (b < 0xFF)
            return b;
        *this >> w;
    }
    if (w < 0xFFFF)
        return w;
    DWORD d = 0;
    *this >> d;
    if (d < 0xFFFFFFFF)
        return d;
    ULONGLONG q = 0;
    *this >> q;
    return q;
}

CArchive& CArchive::operator>>(std::string& v)
{
    bool wide = false;
    const std::uint64_t length = ReadStringLength(wide);
    const std::uint64_t bytes = wide ? length * 2 : length;
    if (wide && length > (UINT64_MAX / 2))
        ThrowEndOfFile();
    std::string raw;
    std::uint64_t done = 0;
    while (done < bytes) {
        const size_t slice = static_cast<size_t>(std::min<std::uint64_t>(bytes - done, kStringSlice));
        const size_t at = raw.size();
        raw.resize(at + slice);
        ReadExactly(raw.data() + at, slice);
        done += slice;
    }
    if (!wide) {
        v = std::move(raw);
        return *this;
    }
    std::string out;
    out.reserve(raw.size());
    CByteReader units(raw.data(), raw.size());
    for (size_t i = 0; i < raw.size(); i += 2) {
        std::uint32_t unit = units.U16(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 3 < raw.size()) {
            const std::uint32_t low = units.U16(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                Utf8Append(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (unit >= 0xD800 && unit < 0xE000)
            unit = 0xFFFD;  // lone surrogate
        Utf8Append(out, unit);
    }
    v = std::move(out);
    return *this;
}
