// Staging area between a transceiver and its channel. The transceiver writes
// a ping piecewise into it; CChannel::AddPing then takes the whole ping over
// by exchanging buffers, so the channel holds one complete ping while the
// input fills the next.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <mutex>
#include <vector>

// The raw sample block of a ping as the unit sends it: a 32-bit id, the
// number of words per sample, the sample count and at most 750 words.
// 1508 bytes, i.e. 377 32-bit words, when laid out without padding.
struct ChannelPingRecord
{
    static constexpr int kMaxWords = 750;
    std::uint32_t BlockId = 0;
    std::uint16_t Stride = 0;
    std::uint16_t Count = 0;
    std::int16_t Words[kMaxWords] = {};
};
static_assert(sizeof(ChannelPingRecord) == 1508);

// AD converter diagnostics: count (1 or 4) and four 32-bit words per AD.
struct AdDiagnostics
{
    static constexpr int kMaxAds = 4;
    std::int32_t AdCount = 0;
    std::uint32_t Words[kMaxAds * 4] = {};
};
static_assert(sizeof(AdDiagnostics) == 68);

// AD values: count (1 or 4) and two 32-bit words per AD.
struct AdValues
{
    static constexpr int kMaxAds = 4;
    std::int32_t AdCount = 0;
    std::uint32_t Words[kMaxAds * 2] = {};
};
static_assert(sizeof(AdValues) == 36);

// Everything of one ping that moves from the input to the channel at once.
// The vectors keep their capacity for the whole life of the channel; a
// hand-over swaps them, it never copies samples.
struct ChannelPing
{
    explicit ChannelPing(int capacity = 0);

    std::vector<std::int16_t> Power;  // raw power words
    int PowerCount = 0;
    std::vector<std::uint16_t> Angles;  // alongship in the high byte, athwartship in the low
    int AngleCount = 0;
    ChannelPingRecord Record;
    AdDiagnostics Diagnostics;
    AdValues Values;
    std::uint32_t Header[8] = {};
    double Motion[6] = {};  // the twelve input-parameter words; heave is last
    // Wide-band traces.
    std::vector<double> Trace1;
    std::vector<double> Trace2;
    std::vector<std::uint32_t> Trace3;
    int TraceCount = 0;
    float TraceFloat = 0.0f;
    double TraceDouble = 0.0;
    double SampleInterval = 0.0;
    std::uint64_t PingTime = 0;
};

// Hook through which pinger mode may shorten a ping's power samples.
class IPingerSamples
{
public:
    virtual ~IPingerSamples() = default;
    // Returns the number of samples to keep, at most count.
    virtual int ProcessSamples(std::int16_t* samples, int count) = 0;
};

class CChannelInput
{
public:
    explicit CChannelInput(int capacity);
    CChannelInput(const CChannelInput&) = delete;
    CChannelInput& operator=(const CChannelInput&) = delete;

    int GetCapacity() const { return m_capacity; }

    // Returns the source pointer behind the words taken. A stride of 0 or a
    // block without a single whole sample is dropped and counted.
    const std::int16_t* SetSampleBlock(std::uint32_t blockId, int stride, int count, const std::int16_t* words,
                                       int availableWords);
    void AddPowerSamples(const std::int16_t* words, int n, int blockNumber);
    void AddAngleSamples(const std::uint16_t* words, int n, int blockNumber);
    // As AddPowerSamples(words.data(), n, blockNumber) and AddAngleSamples,
    // for a source that stages a whole ping in a buffer as large as the
    // input: the ping's first words are taken over by exchanging buffers, and
    // `words` comes back holding one of the input's, whose words are stale.
    // Words beyond the staged count are never read, so both hold the same
    // ping. Later words, or a buffer of another size, are copied.
    void ExchangePowerSamples(std::vector<std::int16_t>& words, int n, int blockNumber);
    void ExchangeAngleSamples(std::vector<std::uint16_t>& words, int n, int blockNumber);
    void AddFloatSamples(const float* first, const float* second, const std::uint32_t* third, float floatValue, int n,
                         double doubleValue);
    void SetInputHeader(const std::uint32_t words[8]);
    void SetInputParameters(const std::uint32_t words[12]);
    // AD count 1 or 4; any other count drops the block and is counted.
    bool SetDiagnostics(int adCount, const std::uint32_t* perAdWords);
    bool SetAdDiagnostics(int adCount, const std::uint32_t* perAdWords);

    void SetSoundVelocity(double metresPerSecond);
    double GetSoundVelocity() const;
    std::uint64_t GetPingTime() const;

    // Ping-timing records: each transmission with the window of its echoes.
    void SetPingInfoRecording(bool on);
    void AddPingInfo(std::uint64_t pingTime, double rangeMetres);
    std::size_t GetPingInfoCount() const;

    // Hands the staged ping to the channel's set of buffers and restarts the
    // input. Called under the channel lock.
    void TakePing(ChannelPing& target, double sampleInterval, IPingerSamples* pinger);

    // Current head of the third trace buffer (a running counter of the unit).
    std::uint32_t GetTraceCounter() const;

    int GetPowerPosition() const;
    int GetBlockNumber() const;
    // The depth-filter switch: nonzero has the depth documents smooth the
    // channel's depth with their median. Off until something sets it.
    void SetDepthFilter(std::int32_t on) { m_depthFilter.store(on, std::memory_order_relaxed); }
    std::int32_t GetDepthFilter() const { return m_depthFilter.load(std::memory_order_relaxed); }

    // Number of malformed blocks dropped so far.
    int GetErrorCount() const { return m_errors.load(std::memory_order_relaxed); }

private:
    struct PingInfo
    {
        std::uint64_t Start = 0;  // 100-ns units
        std::uint64_t End = 0;
        std::uint64_t PingTime = 0;
    };

    void AlignToPingInfo(double sampleInterval);

    const int m_capacity;
    // Intake runs on a receive thread, TakePing on the ping-data thread:
    // this lock keeps them apart. It is never held while calling out.
    mutable std::mutex m_lock;
    ChannelPing m_ping;
    std::vector<std::int16_t> m_spare;
    int m_powerBlock = 0;
    int m_angleBlock = 0;
    double m_soundVelocity = 1500.0;
    std::uint64_t m_pingTime = 0;
    bool m_recording = false;
    std::list<PingInfo> m_pingInfo;
    std::atomic<int> m_errors{0};
    std::atomic<std::int32_t> m_depthFilter{0};
};
