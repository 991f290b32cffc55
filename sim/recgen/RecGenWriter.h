// The generator's own writer of the recorded datagram stream. It shares no
// code with the recorder on purpose: it is written straight from the layout
// tables, so reading its files checks the program against an independent
// source.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace zv::recgen {

// One datagram body under construction; Frame() wraps it in its lengths.
class CRecGenBody
{
public:
    CRecGenBody(const char type[4], std::uint64_t time);
    void U16(std::uint16_t v);
    void I16(std::int16_t v) { U16(std::uint16_t(v)); }
    void U32(std::uint32_t v);
    void F32(float v);
    void Zeros(std::size_t n) { m_b.insert(m_b.end(), n, 0); }
    // A text in a fixed area of n bytes, NUL-terminated, rest zero.
    void FixedText(const std::string& s, std::size_t n);
    // A text, NUL, then zeros up to a multiple of 4, capped at max bytes.
    void PaddedText(const std::string& s, std::size_t max);
    std::size_t Size() const { return m_b.size(); }
    std::vector<std::uint8_t> Frame() const;

private:
    // Room for n more bytes at the end; where they start.
    std::size_t Grow(std::size_t n);
    std::vector<std::uint8_t> m_b;
};

class CRecGenWriter
{
public:
    ~CRecGenWriter();
    bool Open(const std::string& path, std::string* error);
    bool Write(const CRecGenBody& body);
    bool Close();
    std::uint64_t BytesWritten() const { return m_bytes; }

private:
    std::FILE* m_file = nullptr;
    std::uint64_t m_bytes = 0;
};

}  // namespace zv::recgen
