// One channel's datagram store between the GEO unit's socket thread, which
// writes each datagram of a channel's ping as it arrives (in fragments), and
// the unit's receive thread, which reads whole datagrams out in order.
//
// The data area is a ring that goes back to its start whenever a datagram
// would pass its end, so a datagram is always stored in one piece. A writer
// that would overwrite what the reader has not taken yet is refused: the
// newer datagram is lost, never an older one half overwritten.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class CTransceiver;

class CRawDataBuffer
{
public:
    static constexpr int kEntries = 10000;
    static constexpr std::uint32_t kWrapPosition = 1000000;

    // Results of Write.
    static constexpr int kStored = 0;
    static constexpr int kOverrun = 1;  // would overwrite what the reader has not taken
    static constexpr int kForeign = 7;  // a fragment of another datagram than the open one
    static constexpr int kTooLong = 8;  // the fragments pass the datagram's total length
    static constexpr int kNotOpen = 9;  // a later fragment without a first one

    CRawDataBuffer();

    void SetOwner(CTransceiver* owner, int channelIndex);

    // Stores one fragment of the datagram of the sequence number; fragment 0
    // opens it (and reserves total bytes), last closes it. A refused fragment
    // drops the whole datagram.
    int Write(const std::uint8_t* bytes, std::uint32_t length, std::int32_t sequence, int fragment, bool last,
              std::uint64_t time, std::uint32_t total);
    // Drops the datagram being written.
    void Abandon();
    // Copies the oldest complete datagram out (bytes gets its length); its
    // length, or 0 when none is ready.
    std::uint32_t Read(std::vector<std::uint8_t>& bytes, std::int32_t& sequence, std::uint64_t& time);

    // Complete datagrams not read yet, and the newest one's sequence (-1
    // without one).
    int GetEntryCount() const;
    std::int32_t GetNewestSequence() const;

private:
    struct Entry
    {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
        std::int32_t sequence = 0;
        std::uint64_t time = 0;
    };
    bool OverlapsUnread(std::uint32_t start, std::uint32_t end) const;

    mutable std::mutex m_lock;
    std::vector<Entry> m_index = std::vector<Entry>(kEntries);
    std::vector<std::uint8_t> m_data = std::vector<std::uint8_t>(kWrapPosition);
    std::uint32_t m_writePosition = 0;
    int m_readEntry = 0;
    int m_writeEntry = 0;
    bool m_writing = false;
    std::uint32_t m_reservedEnd = 0;
    std::uint64_t m_unreadBytes = 0;
    CTransceiver* m_owner = nullptr;
    int m_channelIndex = 0;
};
