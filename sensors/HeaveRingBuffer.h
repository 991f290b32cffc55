// The motion sensor's history: the last 2000 samples, each with its stamp,
// and the motion at any time between them by linear interpolation. The
// reader thread (telegrams), the units' threads (analog samples) and the
// ping-data thread (look-ups, the clear after a clock change) reach it at
// once, so every operation holds the buffer's own lock.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>

class CHeaveRingBuffer
{
public:
    static constexpr int kEntries = 2000;
    // A look-up this much later than the newest sample still gets it; a
    // later one gets zeros (the sensor has gone quiet).
    static constexpr std::uint64_t kHoldTime = 10'000ULL * 10'000ULL;  // 10 s in 100 ns units

    // Heave in cm, roll and pitch in 0.01 degree; the heading (0.01 degree,
    // binary telegrams only) is kept but never read back.
    struct Sample
    {
        std::uint64_t stamp = 0;  // file time
        std::int16_t heave = 0;
        std::int16_t roll = 0;
        std::int16_t pitch = 0;
        std::int16_t heading = 0;
    };
    // The motion at a time, in the stored units (interpolated, so not whole).
    struct Motion
    {
        double heave = 0.0;
        double roll = 0.0;
        double pitch = 0.0;
    };

    CHeaveRingBuffer() = default;
    CHeaveRingBuffer(const CHeaveRingBuffer&) = delete;
    CHeaveRingBuffer& operator=(const CHeaveRingBuffer&) = delete;

    void Clear();
    // False when the stamp is not newer than the newest sample's (a repeat
    // or a clock set back): the sample is refused.
    bool Add(const Sample& sample);
    Motion ValueAt(std::uint64_t time) const;
    Sample Newest() const;

private:
    static int Older(int i) { return i == 0 ? kEntries - 1 : i - 1; }
    static int Newer(int i) { return i == kEntries - 1 ? 0 : i + 1; }

    mutable std::mutex m_lock;
    std::array<Sample, kEntries> m_entries{};
    int m_newest = 0;
    Sample m_newestSample;
};
