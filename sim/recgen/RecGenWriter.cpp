#include "sim/recgen/RecGenWriter.h"

#include "platform/ByteWriter.h"

#include <cerrno>
#include <cstring>

namespace zv::recgen {

CRecGenBody::CRecGenBody(const char type[4], std::uint64_t time)
{
    m_b.assign(type, type + 4);
    U32(std::uint32_t(time & 0xFFFFFFFFu));
    U32(std::uint32_t(time >> 32));
}

std::size_t CRecGenBody::Grow(std::size_t n)
{
    const std::size_t at = m_b.size();
    m_b.resize(at + n);
    return at;
}

void CRecGenBody::U16(std::uint16_t v)
{
    const std::size_t at = Grow(2);
    CByteWriter(m_b).U16(at, v);
}

void CRecGenBody::U32(std::uint32_t v)
{
    const std::size_t at = Grow(4);
    CByteWriter(m_b).U32(at, v);
}

void CRecGenBody::F32(float v)
{
    const std::size_t at = Grow(4);
    CByteWriter(m_b).F32(at, v);
}

void CRecGenBody::FixedText(const std::string& s, std::size_t n)
{
    const std::size_t k = s.size() < n ? s.size() : n - 1;
    m_b.insert(m_b.end(), s.begin(), s.begin() + std::ptrdiff_t(k));
    Zeros(n - k);
}

void CRecGenBody::PaddedText(const std::string& s, std::size_t max)
{
    const std::size_t start = m_b.size();
    const std::size_t room = max - start - 1;
    const std::size_t k = s.size() < room ? s.size() : room;
    m_b.insert(m_b.end(), s.begin(), s.begin() + std::ptrdiff_t(k));
    m_b.push_back(0);
    while (m_b.size() % 4 != 0 && m_b.size() < max)
        m_b.push_back(0);
}

std::vector<std::uint8_t> CRecGenBody::Frame() const
{
    const std::uint32_t n = std::uint32_t(m_b.size());
    std::vector<std::uint8_t> out(m_b.size() + 8);
    CByteWriter w(out);
    w.U32(0, n);
    w.Bytes(4, m_b.data(), m_b.size());
    w.U32(4 + m_b.size(), n);
    return out;
}

CRecGenWriter::~CRecGenWriter()
{
    Close();
}

bool CRecGenWriter::Open(const std::string& path, std::string* error)
{
    Close();
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        if (error)
            *error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    m_bytes = 0;
    return true;
}

bool CRecGenWriter::Write(const CRecGenBody& body)
{
    if (!m_file)
        return false;
    const std::vector<std::uint8_t> f = body.Frame();
    if (std::fwrite(f.data(), 1, f.size(), m_file) != f.size())
        return false;
    m_bytes += f.size();
    return true;
}

bool CRecGenWriter::Close()
{
    if (!m_file)
        return true;
    const bool ok = std::fclose(m_file) == 0;
    m_file = nullptr;
    return ok;
}

}  // namespace zv::recgen
