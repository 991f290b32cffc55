// Walks a recorded datagram stream held in memory (a mapped file or a
// buffer) without ever reading outside it. A frame counts only when its
// leading length, its body and its trailing copy of the length all lie inside
// the stream and the two lengths agree; anything else is skipped one byte at
// a time until a whole frame is found again.
#pragma once

#include "recording/DatagramRecords.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace zv::recording {

struct SDatagramView
{
    std::size_t offset = 0;  // of the leading length word in the stream
    std::uint32_t type = 0;
    FileTime time = 0;
    const std::uint8_t* body = nullptr;
    std::size_t size = 0;  // body length L
    std::size_t FrameSize() const { return size + kFrameWords; }
};

class CDatagramReader
{
public:
    CDatagramReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    // The next whole frame at or after the read offset; false at the end.
    // The read offset moves past the frame returned.
    bool Next(SDatagramView& out);
    // The whole frame at exactly this offset, without resynchronising.
    bool FrameAt(std::size_t offset, SDatagramView& out) const;

    std::size_t Offset() const { return m_offset; }
    void Seek(std::size_t offset) { m_offset = offset < m_size ? offset : m_size; }
    std::size_t Size() const { return m_size; }
    // Bytes passed over while resynchronising since construction.
    std::size_t SkippedBytes() const { return m_skipped; }

    // Body parsers: each checks every count against the body and fills the
    // result only for a body that holds all it claims. The reason for a
    // refusal goes to *why when given.
    static bool ParseConfiguration(const SDatagramView& d, SConfiguration& out, std::string* why = nullptr);
    static bool ParseSample(const SDatagramView& d, SSampleView& out, std::string* why = nullptr);
    // "NME0" and "TAG0": the text up to its NUL or the end of the body.
    static bool ParseText(const SDatagramView& d, std::string& out);
    static bool ParseProfile(const SDatagramView& d, std::uint32_t& kind, std::string& text);
    static bool ParseDepth(const SDatagramView& d, std::vector<SDepthEntry>& out, std::string* why = nullptr);

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
    std::size_t m_skipped = 0;
};

}  // namespace zv::recording
