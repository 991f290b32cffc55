// Hand-over of sample datagrams from a network transceiver's receive thread
// to its data thread: the last 1,000,000 complex samples per channel and a
// ring of ten ping records that tell where each ping lies in the stream.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class CSampleRingBuffer
{
public:
    static constexpr int kSamples = 1000000;
    static constexpr int kSlots = 10;
    static constexpr int kDefaultReaderMargin = 10000;
    // Wire layout of a sample datagram: this many header bytes before the
    // channel-interleaved samples.
    static constexpr std::size_t kHeaderSize = 32;
    static constexpr DWORD kNoSample = 0xFFFFFFFFu;

    // WriteSamples / NextPing results.
    static constexpr int kStored = 0;
    static constexpr int kOverrun = 1;
    static constexpr int kPingComplete = 4;
    // A datagram that does not hold what its header announces.
    static constexpr int kMalformed = -1;

    struct StructBuffer
    {
        std::unique_ptr<float[]> first;   // in-phase part
        std::unique_ptr<float[]> second;  // quadrature part
        std::unique_ptr<DWORD[]> sampleNumber;
        std::array<DWORD, kSlots> header1{}, header2{}, header3{};
    };

    struct PingRecord
    {
        DWORD startSampleNumber = 0;
        DWORD startIndex = 0;
        float sampleRate = 0.0f;
        DWORD requested = 0;
        DWORD receiving = 0;
        DWORD samplesRequested = 0;
        DWORD samplesReceived = 0;
        DWORD samplesProcessed = 0;
        DWORD blocksProcessed = 0;
        BYTE startSeen = 0;
        DWORD gapBefore = 0;
        DWORD gapAtStart = 0;
        DWORD gapAtCompletion = 0;
        float pingRate = 0.0f;
        std::uint64_t startTime = 0;  // file time
        DWORD samplesWritten = 0;
        BYTE triggerStatusSeen = 0;
        BYTE firstBlockPending = 0;
    };

    // samples: the ring's length per channel; the unit's drivers take the
    // full length, a fuzz run a short ring that is cheap to make.
    CSampleRingBuffer(int channelCount, int readerMargin = kDefaultReaderMargin, int samples = kSamples);
    ~CSampleRingBuffer();
    CSampleRingBuffer(const CSampleRingBuffer&) = delete;
    CSampleRingBuffer& operator=(const CSampleRingBuffer&) = delete;

    void Reset();
    int WriteSamples(const BYTE* datagram, std::size_t size);
    int NextPing();
    int ReadSample(float* second, float* first, DWORD* sampleNumber, int index, int channel) const;
    // count samples of a channel from index on, across the ring's end as
    // often as it takes; zeros for a channel the ring does not have.
    void ReadSamples(float* second, float* first, int index, int count, int channel) const;
    void SetPingHeader(int channel, DWORD word1, DWORD word2, DWORD word3);
    DWORD GetPingHeader1(int channel) const;
    DWORD GetPingHeader2(int channel) const;
    DWORD GetPingHeader3(int channel) const;

    int GetChannelCount() const { return m_channelCount; }
    void SetIntervalStatistics(bool on) { m_intervalStatistics = on; }

    // Ping records are shared by the receive thread, the data thread and the
    // thread that starts pings; each access is one short critical section.
    PingRecord GetPingRecord(int slot) const;
    template <typename F>
    void ModifyPingRecord(int slot, F&& change)
    {
        std::lock_guard<std::mutex> lock(m_slotLock);
        change(m_slots[static_cast<std::size_t>(WrapSlot(slot))]);
    }
    int GetWriteSlot() const { return m_writeSlot.load(std::memory_order_acquire); }
    int GetReadSlot() const { return m_readSlot.load(std::memory_order_acquire); }
    void SetReadSlot(int slot) { m_readSlot.store(WrapSlot(slot), std::memory_order_release); }
    int GetWriteIndex() const { return m_writeIndex.load(std::memory_order_acquire); }
    int GetReadIndex() const { return m_readIndex.load(std::memory_order_acquire); }
    void SetReadIndex(int index) { m_readIndex.store(WrapIndex(index), std::memory_order_release); }

    // Lost data (gaps, placeholders, overruns) is reported through this hook,
    // at most once per interval, so a lossy link cannot flood the status bar.
    void SetLostSamplesHandler(std::function<void()> handler,
                               std::chrono::milliseconds minInterval = std::chrono::seconds(1));
    std::uint64_t GetLostSampleEvents() const { return m_lostEvents.load(); }
    std::uint64_t GetMalformedDatagrams() const { return m_malformed.load(); }

    int GetSampleCount() const { return m_samples; }
    int WrapIndex(long long index) const;
    static int WrapSlot(int slot) { return ((slot % kSlots) + kSlots) % kSlots; }

private:
    int NextPingLocked();
    void ReportLoss();
    int DistanceToReader() const;

    int m_channelCount;
    int m_samples;
    DWORD m_lastFirstSample = 0;
    DWORD m_lastSampleCount = 45;
    DWORD m_lastChannelCount;
    DWORD m_lastPingStart = 0;
    bool m_anyWritten = false;
    bool m_intervalStatistics = false;
    std::vector<StructBuffer> m_buffers;
    std::vector<float> m_values;  // the samples of the datagram being written, as floats in its order
    mutable std::mutex m_slotLock;
    std::array<PingRecord, kSlots> m_slots{};
    std::atomic<int> m_readIndex{0};
    std::atomic<int> m_writeIndex{0};
    int m_lastWrittenStart = 0;
    int m_lastWrittenEnd = 0;
    std::atomic<int> m_readSlot{0};
    std::atomic<int> m_writeSlot{0};
    int m_readerMargin;

    std::function<void()> m_lostHandler;
    std::chrono::milliseconds m_lostInterval{1000};
    std::chrono::steady_clock::time_point m_lastLostReport{};
    bool m_lostReported = false;
    std::atomic<std::uint64_t> m_lostEvents{0};
    std::atomic<std::uint64_t> m_malformed{0};
};
