#include "recording/SampleFrame.h"

#include "platform/ByteWriter.h"
#include "recording/DatagramWriter.h"

#include <algorithm>
#include <bit>

namespace zv::recording {

void CSampleFrame::Set(const SSampleData& data)
{
    const std::size_t p = data.power.size();
    const std::uint16_t flags = CDatagramWriter::SampleFlags(data);
    m_bodySize = CDatagramWriter::SampleBodySize(data);
    CByteWriter(m_head).U32(0, std::uint32_t(m_bodySize));
    CDatagramWriter::BuildSampleHeader(data, std::span(m_head).subspan<4, kRawData>());
    CByteWriter(m_tail).U32(0, std::uint32_t(m_bodySize));

    // Blocks shorter than the power block are filled up with zeros, so that
    // the layout readers compute from the one count always holds. Sized
    // before any fill points into it.
    const auto fill = [p](std::size_t n, std::size_t size) { return (p - std::min(p, n)) * size; };
    std::size_t zeros = 0;
    if (flags & kRawFlagAngle)
        zeros = fill(data.angle.size(), sizeof(std::int16_t));
    if (flags & kRawFlagTrace)
        zeros = std::max({zeros, fill(data.trace1.size(), sizeof(float)), fill(data.trace2.size(), sizeof(float))});
    if (m_zeros.size() < zeros)
        m_zeros.resize(zeros);

    m_count = 0;
    Add(m_head.data(), m_head.size());
    AddBlock(data.power, p, m_swapped[0]);
    if (flags & kRawFlagAngle)
        AddBlock(data.angle, p, m_swapped[1]);
    if (flags & kRawFlagTrace) {
        AddBlock(data.trace1, p, m_swapped[2]);
        AddBlock(data.trace2, p, m_swapped[3]);
    }
    Add(m_tail.data(), m_tail.size());
}

template <class T>
void CSampleFrame::AddBlock(std::span<const T> values, std::size_t p,
                            [[maybe_unused]] std::vector<std::uint8_t>& swapped)
{
    const std::span<const T> taken = values.first(std::min(p, values.size()));
    if constexpr (std::endian::native == std::endian::little) {
        // The host's bytes are the record's: the block goes out as it lies.
        Add(taken.data(), taken.size_bytes());
    } else {
        swapped.resize(taken.size_bytes());
        CByteWriter(swapped).Array(0, taken);
        Add(swapped.data(), swapped.size());
    }
    Add(m_zeros.data(), (p - taken.size()) * sizeof(T));
}

void CSampleFrame::Add(const void* bytes, std::size_t n)
{
    if (n)
        m_pieces[m_count++] = std::span(static_cast<const std::uint8_t*>(bytes), n);
}

}  // namespace zv::recording
