#include "transceivers/SampleRingBuffer.h"

#include "platform/ByteReader.h"
#include "platform/FileTime.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// A packed sample word is the upper half of a single-precision float.
float UnpackHalf(WORD w)
{
    return std::bit_cast<float>(static_cast<DWORD>(w) << 16);
}

// How far before now, in file-time units, a moment seconds back lies; 0 when
// that is no time back from now: not a number, not positive, or before the
// file-time epoch, which only a sample rate that is no rate can give.
std::uint64_t SecondsBefore(double seconds, std::uint64_t now)
{
    const double units = seconds * 1e7;
    return units > 0.0 && units < static_cast<double>(now) ? static_cast<std::uint64_t>(units) : 0;
}

}  // namespace

CSampleRingBuffer::CSampleRingBuffer(int channelCount, int readerMargin, int samples)
    : m_channelCount(std::max(channelCount, 1)),
      m_samples(std::max(samples, 2)),
      m_lastChannelCount(static_cast<DWORD>(std::max(channelCount, 1))),
      m_readerMargin(std::clamp(readerMargin, 1, m_samples - 1))
{
    m_buffers.resize(static_cast<std::size_t>(m_channelCount));
    for (auto& b : m_buffers) {
        b.first = std::make_unique<float[]>(static_cast<std::size_t>(m_samples));
        b.second = std::make_unique<float[]>(static_cast<std::size_t>(m_samples));
        b.sampleNumber = std::make_unique<DWORD[]>(static_cast<std::size_t>(m_samples));
    }
}

CSampleRingBuffer::~CSampleRingBuffer() = default;

int CSampleRingBuffer::WrapIndex(long long index) const
{
    long long r = index % m_samples;
    if (r < 0)
        r += m_samples;
    return static_cast<int>(r);
}

void CSampleRingBuffer::Reset()
{
    std::lock_guard<std::mutex> lock(m_slotLock);
    m_slots.fill(PingRecord{});
    m_readIndex = 0;
    m_writeIndex = 0;
    m_lastWrittenStart = m_lastWrittenEnd = 0;
    m_readSlot = 0;
    m_writeSlot = 0;
}

void CSampleRingBuffer::SetLostSamplesHandler(std::function<void()> handler, std::chrono::milliseconds minInterval)
{
    m_lostHandler = std::move(handler);
    m_lostInterval = minInterval;
}

void CSampleRingBuffer::ReportLoss()
{
    ++m_lostEvents;
    const auto now = std::chrono::steady_clock::now();
    if (m_lostReported && now - m_lastLostReport < m_lostInterval)
        return;
    m_lostReported = true;
    m_lastLostReport = now;
    if (m_lostHandler)
        m_lostHandler();
}

int CSampleRingBuffer::DistanceToReader() const
{
    const int readerPos = WrapIndex(static_cast<long long>(m_readIndex.load()) - m_readerMargin);
    return WrapIndex(static_cast<long long>(readerPos) - m_writeIndex.load());
}

// Sample datagram, little-endian:
//   0 length  4 code  8 word  12 sample rate (float, Hz)  16 sample count n (u16)
//   18 channel count c (u8)  19 format (u8: non-zero float pairs, zero packed 16-bit pairs)
//   20 word  24 ping start sample number  28 first sample number
//   32 n x c samples, channel-interleaved
int CSampleRingBuffer::WriteSamples(const BYTE* datagram, std::size_t size)
{
    if (datagram == nullptr || size < 4) {
        ++m_malformed;
        return kMalformed;
    }
    std::lock_guard<std::mutex> lock(m_slotLock);
    PingRecord& slot = m_slots[static_cast<std::size_t>(m_writeSlot.load())];

    CByteReader r(datagram, size);
    const bool placeholder = r.U32(0) == 0 && m_anyWritten;
    float rate;
    DWORD n, c, pingStart, first;
    const float* values = nullptr;  // two a sample and channel; none for a placeholder
    if (placeholder) {
        // Stands in for a datagram the link lost: it carries no samples, so
        // the numbers are carried on from what came before.
        rate = m_slots[static_cast<std::size_t>(WrapSlot(m_writeSlot.load() - 1))].sampleRate;
        n = m_lastSampleCount;
        c = m_lastChannelCount;
        pingStart = slot.startSeen ? slot.startSampleNumber : m_lastPingStart;
        const DWORD gap =
            slot.samplesRequested > slot.samplesReceived ? slot.samplesRequested - slot.samplesReceived : 0;
        first = m_lastFirstSample + (gap > 45 ? gap : m_lastSampleCount);
    } else {
        if (size < kHeaderSize) {
            ++m_malformed;
            return kMalformed;
        }
        rate = r.F32(12);
        n = r.U16(16);
        c = r.U8(18);
        pingStart = r.U32(24);
        first = r.U32(28);
        const std::size_t count = static_cast<std::size_t>(n) * c * 2;
        const bool floatPairs = r.U8(19) != 0;
        const auto pairs = floatPairs ? r.ArrayOf<float>(kHeaderSize, count) : CByteReader::Array<float>();
        const auto packed = floatPairs ? CByteReader::Array<WORD>() : r.ArrayOf<WORD>(kHeaderSize, count);
        if (c == 0 || c > static_cast<DWORD>(m_channelCount) || r.Failed()) {
            ++m_malformed;
            return kMalformed;
        }
        m_values.resize(count);
        pairs.CopyTo(std::span(m_values));
        for (std::size_t k = 0; k < packed.size(); ++k)
            m_values[k] = UnpackHalf(packed[k]);
        values = m_values.data();
    }
    if (!(rate > 0.0f) || !std::isfinite(rate))
        rate = 0.0f;

    // Samples missing between the last datagram and this one become zeros
    // without a sample number, so that positions in the ring stay true.
    DWORD fill = 0;
    bool startAtFill = false;
    const DWORD lastEnd = m_lastFirstSample + m_lastSampleCount;
    if (first > pingStart && first != lastEnd) {
        if (slot.startSeen) {
            fill = first > lastEnd ? first - lastEnd : 0;
        } else {
            fill = first - pingStart;
            startAtFill = true;
        }
        const DWORD open =
            slot.samplesRequested > slot.samplesReceived ? slot.samplesRequested - slot.samplesReceived : 0;
        fill = std::min(fill, open);
    }

    // Refuse the whole datagram before anything moves when it would run
    // into samples the data thread has not read yet.
    const long long total = static_cast<long long>(fill) + n;
    if (total > DistanceToReader()) {
        ReportLoss();
        return kOverrun;
    }

    const std::uint64_t now = CFileTime::Now();
    int w = m_writeIndex.load();
    m_lastWrittenStart = w;
    const std::size_t prevSlot = static_cast<std::size_t>(WrapSlot(m_writeSlot.load() - 1));
    auto recordStart = [&](DWORD startNumber, double samplesAgo) {
        const DWORD previousStartIndex = m_slots[prevSlot].startIndex;
        slot.startTime = now - SecondsBefore(rate > 0.0f ? samplesAgo / rate : 0.0, now);
        slot.startIndex = static_cast<DWORD>(w);
        slot.startSampleNumber = startNumber;
        slot.sampleRate = rate;
        slot.startSeen = 1;
        m_lastPingStart = startNumber;
        if (m_intervalStatistics) {
            const PingRecord& p = m_slots[prevSlot];
            slot.gapAtStart = p.samplesRequested > p.samplesProcessed ? p.samplesRequested - p.samplesProcessed : 0;
            const int between = WrapIndex(static_cast<long long>(w) - previousStartIndex);
            slot.pingRate = between > 0 ? rate / static_cast<float>(between) : 0.0f;
        }
    };

    if (startAtFill && fill > 0)
        recordStart(pingStart, fill);
    for (DWORD i = 0; i < fill; ++i) {
        for (auto& b : m_buffers) {
            b.first[static_cast<std::size_t>(w)] = 0.0f;
            b.second[static_cast<std::size_t>(w)] = 0.0f;
            b.sampleNumber[static_cast<std::size_t>(w)] = kNoSample;
        }
        w = w + 1 == m_samples ? 0 : w + 1;
    }
    if (slot.startSeen) {
        slot.samplesReceived += fill;
        slot.samplesWritten += fill;
    }

    DWORD received = 0;
    for (DWORD i = 0; i < n; ++i) {
        const DWORD number = first + i;
        for (DWORD ch = 0; ch < static_cast<DWORD>(m_channelCount); ++ch) {
            float a = 0.0f, b = 0.0f;
            if (values != nullptr && ch < c) {
                const std::size_t k = (static_cast<std::size_t>(i) * c + ch) * 2;
                a = values[k];
                b = values[k + 1];
            }
            StructBuffer& buf = m_buffers[ch];
            buf.first[static_cast<std::size_t>(w)] = a;
            buf.second[static_cast<std::size_t>(w)] = b;
            buf.sampleNumber[static_cast<std::size_t>(w)] = number;
        }
        if (number == pingStart)
            recordStart(pingStart, static_cast<double>(n - i));
        if (slot.startSeen)
            ++received;
        w = w + 1 == m_samples ? 0 : w + 1;
    }
    slot.samplesReceived += received;
    slot.samplesWritten += received;
    m_lastWrittenEnd = w;
    m_writeIndex.store(w, std::memory_order_release);

    m_lastFirstSample = first;
    m_lastSampleCount = n;
    m_lastChannelCount = c;
    m_anyWritten = true;
    if (placeholder || fill > 0)
        ReportLoss();

    return NextPingLocked();
}

int CSampleRingBuffer::NextPing()
{
    std::lock_guard<std::mutex> lock(m_slotLock);
    return NextPingLocked();
}

int CSampleRingBuffer::NextPingLocked()
{
    const int ws = m_writeSlot.load();
    PingRecord& s = m_slots[static_cast<std::size_t>(ws)];
    if (s.samplesRequested < 1 || s.samplesReceived < s.samplesRequested || !s.startSeen || !s.triggerStatusSeen)
        return kStored;
    if (m_intervalStatistics)
        s.gapAtCompletion = s.samplesRequested > s.samplesProcessed ? s.samplesRequested - s.samplesProcessed : 0;
    s.startSeen = 0;
    const int next = WrapSlot(ws + 1);
    PingRecord& ns = m_slots[static_cast<std::size_t>(next)];
    ns.samplesWritten = 0;
    if (m_intervalStatistics)
        ns.gapBefore = s.gapAtCompletion;
    m_writeSlot.store(next, std::memory_order_release);
    return kPingComplete;
}

int CSampleRingBuffer::ReadSample(float* second, float* first, DWORD* sampleNumber, int index, int channel) const
{
    if (channel < 0 || channel >= m_channelCount)
        return 0;
    const std::size_t i = static_cast<std::size_t>(WrapIndex(index));
    const StructBuffer& b = m_buffers[static_cast<std::size_t>(channel)];
    if (second)
        *second = b.second[i];
    if (first)
        *first = b.first[i];
    if (sampleNumber)
        *sampleNumber = b.sampleNumber[i];
    return 0;
}

void CSampleRingBuffer::ReadSamples(float* second, float* first, int index, int count, int channel) const
{
    if (count <= 0)
        return;
    if (channel < 0 || channel >= m_channelCount) {
        std::fill_n(second, count, 0.0f);
        std::fill_n(first, count, 0.0f);
        return;
    }
    const StructBuffer& b = m_buffers[static_cast<std::size_t>(channel)];
    int at = WrapIndex(index);
    for (int done = 0; done < count;) {
        const int n = std::min(count - done, m_samples - at);
        std::copy_n(b.second.get() + at, n, second + done);
        std::copy_n(b.first.get() + at, n, first + done);
        done += n;
        at = 0;
    }
}

void CSampleRingBuffer::SetPingHeader(int channel, DWORD word1, DWORD word2, DWORD word3)
{
    if (channel < 0 || channel >= m_channelCount)
        return;
    std::lock_guard<std::mutex> lock(m_slotLock);
    StructBuffer& b = m_buffers[static_cast<std::size_t>(channel)];
    const std::size_t s = static_cast<std::size_t>(m_writeSlot.load());
    b.header1[s] = word1;
    b.header2[s] = word2;
    b.header3[s] = word3;
}

DWORD CSampleRingBuffer::GetPingHeader1(int channel) const
{
    if (channel < 0 || channel >= m_channelCount)
        return 1;
    std::lock_guard<std::mutex> lock(m_slotLock);
    return m_buffers[static_cast<std::size_t>(channel)].header1[static_cast<std::size_t>(m_readSlot.load())];
}

DWORD CSampleRingBuffer::GetPingHeader2(int channel) const
{
    if (channel < 0 || channel >= m_channelCount)
        return 1;
    std::lock_guard<std::mutex> lock(m_slotLock);
    return m_buffers[static_cast<std::size_t>(channel)].header2[static_cast<std::size_t>(m_readSlot.load())];
}

DWORD CSampleRingBuffer::GetPingHeader3(int channel) const
{
    if (channel < 0 || channel >= m_channelCount)
        return 1;
    std::lock_guard<std::mutex> lock(m_slotLock);
    return m_buffers[static_cast<std::size_t>(channel)].header3[static_cast<std::size_t>(m_readSlot.load())];
}

CSampleRingBuffer::PingRecord CSampleRingBuffer::GetPingRecord(int slot) const
{
    std::lock_guard<std::mutex> lock(m_slotLock);
    return m_slots[static_cast<std::size_t>(WrapSlot(slot))];
}
