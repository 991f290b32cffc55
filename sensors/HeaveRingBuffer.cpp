#include "sensors/HeaveRingBuffer.h"

namespace {

CHeaveRingBuffer::Motion ValuesOf(const CHeaveRingBuffer::Sample& s)
{
    return {static_cast<double>(s.heave), static_cast<double>(s.roll), static_cast<double>(s.pitch)};
}

}  // namespace

void CHeaveRingBuffer::Clear()
{
    std::lock_guard lock(m_lock);
    m_entries.fill(Sample{});
    m_newest = 0;
    m_newestSample = Sample{};
}

bool CHeaveRingBuffer::Add(const Sample& sample)
{
    std::lock_guard lock(m_lock);
    if (sample.stamp <= m_entries[static_cast<std::size_t>(m_newest)].stamp)
        return false;
    m_newest = Newer(m_newest);
    m_entries[static_cast<std::size_t>(m_newest)] = sample;
    m_newestSample = sample;
    return true;
}

CHeaveRingBuffer::Sample CHeaveRingBuffer::Newest() const
{
    std::lock_guard lock(m_lock);
    return m_newestSample;
}

CHeaveRingBuffer::Motion CHeaveRingBuffer::ValueAt(std::uint64_t time) const
{
    std::lock_guard lock(m_lock);
    const Sample& newest = m_entries[static_cast<std::size_t>(m_newest)];
    if (time >= newest.stamp) {
        if (time - newest.stamp <= kHoldTime)
            return ValuesOf(newest);
        return {};
    }
    // Back from the newest to the first sample not newer than the time. An
    // entry never written (stamp 0, after a clear) ends the walk: before the
    // oldest sample the oldest one holds.
    int i = m_newest;
    for (int steps = 0; steps < kEntries - 1 && m_entries[static_cast<std::size_t>(i)].stamp > time; ++steps) {
        const int older = Older(i);
        if (m_entries[static_cast<std::size_t>(older)].stamp == 0)
            break;
        i = older;
    }
    const Sample& a = m_entries[static_cast<std::size_t>(i)];
    if (a.stamp > time || i == m_newest)
        return ValuesOf(a);
    const Sample& b = m_entries[static_cast<std::size_t>(Newer(i))];
    // Times in ms, as the sensor's samples are far apart against that.
    const double span = static_cast<double>(b.stamp - a.stamp) / 1e4;
    const double offset = static_cast<double>(time - a.stamp) / 1e4;
    Motion m = ValuesOf(a);
    if (span > 0.0 && offset > 0.0) {
        const double f = offset / span;
        m.heave += (b.heave - a.heave) * f;
        m.roll += (b.roll - a.roll) * f;
        m.pitch += (b.pitch - a.pitch) * f;
    }
    return m;
}
