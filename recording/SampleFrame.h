// A sample datagram ("RAW0"), framed, as the pieces of one gathered write,
// so that its sample blocks go to the file from where the channel holds them
// rather than through a copy: the first length word and the fixed header
// built here, the blocks borrowed, zeros behind a block shorter than the
// power block, and the length word again. The blocks must stay where they
// are until the pieces have been written. It does not move, since its pieces
// point into it.
#pragma once

#include "recording/DatagramFormat.h"
#include "recording/DatagramRecords.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zv::recording {

class CSampleFrame
{
public:
    CSampleFrame() = default;
    CSampleFrame(const CSampleFrame&) = delete;
    CSampleFrame& operator=(const CSampleFrame&) = delete;

    // The flags are set from the blocks that are present; trace arrays are
    // written only when both are given.
    void Set(const SSampleData& data);
    std::span<const std::span<const std::uint8_t>> Pieces() const { return {m_pieces.data(), m_count}; }
    std::size_t BodySize() const { return m_bodySize; }

private:
    template <class T>
    void AddBlock(std::span<const T> values, std::size_t p, [[maybe_unused]] std::vector<std::uint8_t>& swapped);
    void Add(const void* bytes, std::size_t n);

    // Header, four blocks each with its fill, trailing length word.
    static constexpr std::size_t kMaxPieces = 1 + 4 * 2 + 1;

    std::array<std::uint8_t, 4 + kRawData> m_head{};
    std::array<std::uint8_t, 4> m_tail{};
    std::array<std::span<const std::uint8_t>, kMaxPieces> m_pieces;
    std::size_t m_count = 0;
    std::size_t m_bodySize = 0;
    // Read by every fill; only ever zeros.
    std::vector<std::uint8_t> m_zeros;
    // The blocks in the record's byte order on a host whose order is not.
    std::array<std::vector<std::uint8_t>, 4> m_swapped;
};

}  // namespace zv::recording
