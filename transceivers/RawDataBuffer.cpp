#include "transceivers/RawDataBuffer.h"

#include <algorithm>
#include <cstring>

CRawDataBuffer::CRawDataBuffer() = default;

void CRawDataBuffer::SetOwner(CTransceiver* owner, int channelIndex)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_owner = owner;
    m_channelIndex = channelIndex;
}

bool CRawDataBuffer::OverlapsUnread(std::uint32_t start, std::uint32_t end) const
{
    // The unread datagrams lie in ring order from the read entry's offset to
    // the write position.
    if (m_unreadBytes == 0)
        return false;
    const std::uint32_t from = m_index[static_cast<std::size_t>(m_readEntry)].offset;
    if (from < m_writePosition)
        return start < m_writePosition && end > from;
    // The unread data wraps (or fills the ring): it holds [from, the end)
    // and [0, write position).
    return end > from || start < m_writePosition;
}

int CRawDataBuffer::Write(const std::uint8_t* bytes, std::uint32_t length, std::int32_t sequence, int fragment,
                          bool last, std::uint64_t time, std::uint32_t total)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Entry& e = m_index[static_cast<std::size_t>(m_writeEntry)];
    if (fragment == 0) {
        m_writing = false;
        if (total > kWrapPosition || length > total)
            return kTooLong;
        std::uint32_t position = m_writePosition;
        if (position + total > kWrapPosition)
            position = 0;
        const int next = (m_writeEntry + 1) % kEntries;
        if (next == m_readEntry || OverlapsUnread(position, position + total))
            return kOverrun;
        m_writePosition = position;
        m_reservedEnd = position + total;
        e = Entry{position, 0, sequence, time};
        m_writing = true;
    } else {
        if (!m_writing)
            return kNotOpen;
        if (sequence != e.sequence)
            return kForeign;
        if (m_writePosition + length > m_reservedEnd) {
            // More than the datagram said it holds: none of it is trusted.
            m_writePosition = e.offset;
            m_writing = false;
            return kTooLong;
        }
    }
    std::memcpy(m_data.data() + m_writePosition, bytes, length);
    m_writePosition += length;
    e.length += length;
    if (last) {
        m_unreadBytes += e.length;
        m_writeEntry = (m_writeEntry + 1) % kEntries;
        m_reservedEnd = m_writePosition;
        m_writing = false;
    }
    return kStored;
}

void CRawDataBuffer::Abandon()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_writing)
        return;
    m_writePosition = m_index[static_cast<std::size_t>(m_writeEntry)].offset;
    m_writing = false;
}

std::uint32_t CRawDataBuffer::Read(std::vector<std::uint8_t>& bytes, std::int32_t& sequence, std::uint64_t& time)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_readEntry == m_writeEntry)
        return 0;
    Entry& e = m_index[static_cast<std::size_t>(m_readEntry)];
    bytes.assign(m_data.begin() + e.offset, m_data.begin() + e.offset + e.length);
    const std::uint32_t length = e.length;
    sequence = e.sequence;
    time = e.time;
    m_unreadBytes -= length;
    e = Entry{};
    m_readEntry = (m_readEntry + 1) % kEntries;
    return length;
}

int CRawDataBuffer::GetEntryCount() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return (m_writeEntry - m_readEntry + kEntries) % kEntries;
}

std::int32_t CRawDataBuffer::GetNewestSequence() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_readEntry == m_writeEntry)
        return -1;
    return m_index[static_cast<std::size_t>((m_writeEntry - 1 + kEntries) % kEntries)].sequence;
}
