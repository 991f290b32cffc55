#include "engine/ChannelInput.h"

#include "engine/RawPower.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

// The words of one kind staged so far (`count` of them) and n more from
// `words`: taken over whole when none are staged yet and the buffer is as
// large as the staging one, else copied behind them as far as they fit.
template <class T>
void Exchange(std::vector<T>& staged, int& count, std::vector<T>& words, int n)
{
    const std::size_t room = std::min(staged.size() - static_cast<std::size_t>(count), words.size());
    const int take = std::clamp(n, 0, static_cast<int>(room));
    if (count == 0 && words.size() == staged.size()) {
        staged.swap(words);
        count = take;
        return;
    }
    std::copy_n(words.begin(), take, staged.begin() + count);
    count += take;
}

}  // namespace

ChannelPing::ChannelPing(int capacity)
    : Power(static_cast<std::size_t>(capacity), rawpower::kNoEcho),
      Angles(static_cast<std::size_t>(capacity), 0),
      Trace1(static_cast<std::size_t>(capacity), 0.0),
      Trace2(static_cast<std::size_t>(capacity), 0.0),
      Trace3(static_cast<std::size_t>(capacity), 0u)
{}

CChannelInput::CChannelInput(int capacity)
    : m_capacity(std::max(capacity, 0)),
      m_ping(m_capacity),
      m_spare(static_cast<std::size_t>(m_capacity), rawpower::kNoEcho)
{}

const std::int16_t* CChannelInput::SetSampleBlock(std::uint32_t blockId, int stride, int count,
                                                  const std::int16_t* words, int availableWords)
{
    if (stride <= 0 || stride > ChannelPingRecord::kMaxWords || count < 0 || !words || availableWords < 0) {
        m_errors.fetch_add(1, std::memory_order_relaxed);
        return words;
    }
    // Only whole samples that are really in the source and fit the record.
    const int rows = std::min({count, ChannelPingRecord::kMaxWords / stride, availableWords / stride});
    const int n = rows * stride;
    std::lock_guard lock(m_lock);
    m_ping.Record.BlockId = blockId;
    m_ping.Record.Stride = static_cast<std::uint16_t>(stride);
    m_ping.Record.Count = static_cast<std::uint16_t>(rows);
    std::memcpy(m_ping.Record.Words, words, static_cast<std::size_t>(n) * sizeof(std::int16_t));
    return words + n;
}

void CChannelInput::AddPowerSamples(const std::int16_t* words, int n, int blockNumber)
{
    std::lock_guard lock(m_lock);
    const int pos = m_ping.PowerCount;
    const int take = std::clamp(n, 0, m_capacity - pos);
    if (words)
        std::copy_n(words, take, m_ping.Power.begin() + pos);
    else
        std::fill_n(m_ping.Power.begin() + pos, take, rawpower::kNoEcho);
    m_ping.PowerCount = pos + take;
    m_powerBlock = blockNumber + 1;
}

void CChannelInput::AddAngleSamples(const std::uint16_t* words, int n, int blockNumber)
{
    std::lock_guard lock(m_lock);
    const int pos = m_ping.AngleCount;
    const int take = std::clamp(n, 0, m_capacity - pos);
    if (words)
        std::copy_n(words, take, m_ping.Angles.begin() + pos);
    else
        std::fill_n(m_ping.Angles.begin() + pos, take, std::uint16_t{0});
    m_ping.AngleCount = pos + take;
    m_angleBlock = blockNumber + 1;
}

void CChannelInput::ExchangePowerSamples(std::vector<std::int16_t>& words, int n, int blockNumber)
{
    std::lock_guard lock(m_lock);
    Exchange(m_ping.Power, m_ping.PowerCount, words, n);
    m_powerBlock = blockNumber + 1;
}

void CChannelInput::ExchangeAngleSamples(std::vector<std::uint16_t>& words, int n, int blockNumber)
{
    std::lock_guard lock(m_lock);
    Exchange(m_ping.Angles, m_ping.AngleCount, words, n);
    m_angleBlock = blockNumber + 1;
}

void CChannelInput::AddFloatSamples(const float* first, const float* second, const std::uint32_t* third,
                                    float floatValue, int n, double doubleValue)
{
    std::lock_guard lock(m_lock);
    const int take = std::clamp(n, 0, m_capacity);
    m_ping.TraceFloat = floatValue;
    m_ping.TraceDouble = doubleValue;
    m_ping.TraceCount = take;
    if (!first)
        return;
    for (int i = 0; i < take; ++i)
        m_ping.Trace1[static_cast<std::size_t>(i)] = first[i];
    if (second)
        for (int i = 0; i < take; ++i)
            m_ping.Trace2[static_cast<std::size_t>(i)] = second[i];
    if (third)
        std::copy_n(third, take, m_ping.Trace3.begin());
}

void CChannelInput::SetInputHeader(const std::uint32_t words[8])
{
    std::lock_guard lock(m_lock);
    std::memcpy(m_ping.Header, words, sizeof m_ping.Header);
}

void CChannelInput::SetInputParameters(const std::uint32_t words[12])
{
    static_assert(sizeof(ChannelPing::Motion) == 12 * sizeof(std::uint32_t));
    std::lock_guard lock(m_lock);
    std::memcpy(m_ping.Motion, words, sizeof m_ping.Motion);
}

bool CChannelInput::SetDiagnostics(int adCount, const std::uint32_t* perAdWords)
{
    if ((adCount != 1 && adCount != 4) || !perAdWords) {
        m_errors.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    std::lock_guard lock(m_lock);
    m_ping.Diagnostics = AdDiagnostics{};
    m_ping.Diagnostics.AdCount = adCount;
    std::copy_n(perAdWords, adCount * 4, m_ping.Diagnostics.Words);
    return true;
}

bool CChannelInput::SetAdDiagnostics(int adCount, const std::uint32_t* perAdWords)
{
    if ((adCount != 1 && adCount != 4) || !perAdWords) {
        m_errors.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    std::lock_guard lock(m_lock);
    m_ping.Values = AdValues{};
    m_ping.Values.AdCount = adCount;
    std::copy_n(perAdWords, adCount * 2, m_ping.Values.Words);
    return true;
}

void CChannelInput::SetSoundVelocity(double metresPerSecond)
{
    std::lock_guard lock(m_lock);
    m_soundVelocity = metresPerSecond;
}

double CChannelInput::GetSoundVelocity() const
{
    std::lock_guard lock(m_lock);
    return m_soundVelocity;
}

std::uint64_t CChannelInput::GetPingTime() const
{
    std::lock_guard lock(m_lock);
    return m_pingTime;
}

void CChannelInput::SetPingInfoRecording(bool on)
{
    std::lock_guard lock(m_lock);
    m_recording = on;
    if (!on)
        m_pingInfo.clear();
}

void CChannelInput::AddPingInfo(std::uint64_t pingTime, double rangeMetres)
{
    std::lock_guard lock(m_lock);
    m_pingTime = pingTime;
    if (!m_recording)
        return;
    // The window in which this transmission's echoes come back, at the
    // nominal 1500 m/s the timing was planned with.
    const double window = std::max(rangeMetres, 0.0) * 2.0 / 1500.0 * 1.0e7;
    PingInfo info;
    info.Start = pingTime;
    info.End = pingTime + static_cast<std::uint64_t>(std::min(window, 1.0e15));
    info.PingTime = pingTime;
    m_pingInfo.push_back(info);
    // A unit that stops answering must not let the list grow without end.
    while (m_pingInfo.size() > 64)
        m_pingInfo.pop_front();
}

std::size_t CChannelInput::GetPingInfoCount() const
{
    std::lock_guard lock(m_lock);
    return m_pingInfo.size();
}

// With several pings in the water, the samples of one reception may start
// with the tail of an earlier transmission. When a later transmission falls
// inside this reception, the ping is moved onto that transmission: its own
// samples keep their place behind k empty words, the first 35 % (the
// transmit pulse and the previous ping's tail) are blanked, and the count
// never grows past the capacity.
void CChannelInput::AlignToPingInfo(double sampleInterval)
{
    if (!m_recording || m_pingInfo.empty())
        return;
    const int count = m_ping.PowerCount;
    if (count <= 0 || !(sampleInterval > 0.0))
        return;
    const std::uint64_t start = m_pingInfo.front().Start;
    const double spanD = count * sampleInterval * 1.0e7;
    const std::uint64_t end = start + static_cast<std::uint64_t>(std::min(spanD, 1.0e15));

    auto it = std::next(m_pingInfo.begin());
    while (it != m_pingInfo.end() && it->End <= start)
        it = m_pingInfo.erase(it);
    auto hit = std::find_if(it, m_pingInfo.end(), [&](const PingInfo& p) { return p.Start > start && p.Start < end; });
    if (hit == m_pingInfo.end()) {
        m_pingInfo.pop_front();
        return;
    }

    const double offsetSeconds = static_cast<double>(hit->Start - start) / 1.0e7;
    const int k = static_cast<int>(std::min<std::int64_t>(rawpower::Trunc(offsetSeconds / sampleInterval), m_capacity));
    const int blanked = static_cast<int>(rawpower::Trunc(0.35 * count));
    const int newCount = std::min(m_capacity, k + count);
    int out = 0;
    for (; out < std::min(k + blanked, newCount); ++out)
        m_spare[static_cast<std::size_t>(out)] = rawpower::kNoEcho;
    for (int in = blanked; out < newCount && in < count; ++in, ++out)
        m_spare[static_cast<std::size_t>(out)] = m_ping.Power[static_cast<std::size_t>(in)];
    m_ping.PowerCount = out;
    m_ping.PingTime = hit->PingTime;
    m_pingInfo.erase(m_pingInfo.begin(), std::next(hit));
    m_spare.swap(m_ping.Power);
}

void CChannelInput::TakePing(ChannelPing& target, double sampleInterval, IPingerSamples* pinger)
{
    std::lock_guard lock(m_lock);
    m_ping.PingTime = m_pingTime;
    AlignToPingInfo(sampleInterval);
    if (pinger && m_ping.PowerCount > 0)
        m_ping.PowerCount =
            std::clamp(pinger->ProcessSamples(m_ping.Power.data(), m_ping.PowerCount), 0, m_ping.PowerCount);
    m_ping.SampleInterval = sampleInterval;

    std::swap(target, m_ping);

    // The input restarts empty; the buffers it got back hold the channel's
    // previous ping and are overwritten as the next one arrives.
    m_ping.PowerCount = 0;
    m_ping.AngleCount = 0;
    m_powerBlock = 0;
    m_angleBlock = 0;
    m_ping.Record.BlockId = 0;
    m_ping.Record.Stride = 0;
    m_ping.Record.Count = 0;
    m_ping.Diagnostics.AdCount = 0;
    m_ping.Values.AdCount = 0;
    // Header, motion and traces stay with the input as well, so a unit that
    // sends them only now and then keeps its last values.
    std::memcpy(m_ping.Header, target.Header, sizeof m_ping.Header);
    std::memcpy(m_ping.Motion, target.Motion, sizeof m_ping.Motion);
    m_ping.TraceCount = target.TraceCount;
    m_ping.TraceFloat = target.TraceFloat;
    m_ping.TraceDouble = target.TraceDouble;
    std::copy_n(target.Trace3.begin(), std::min<std::size_t>(1, target.Trace3.size()), m_ping.Trace3.begin());
}

std::uint32_t CChannelInput::GetTraceCounter() const
{
    std::lock_guard lock(m_lock);
    return m_ping.Trace3.empty() ? 0u : m_ping.Trace3[0];
}

int CChannelInput::GetPowerPosition() const
{
    std::lock_guard lock(m_lock);
    return m_ping.PowerCount;
}

int CChannelInput::GetBlockNumber() const
{
    std::lock_guard lock(m_lock);
    return m_powerBlock;
}
