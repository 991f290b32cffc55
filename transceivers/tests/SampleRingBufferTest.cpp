#include "transceivers/SampleRingBuffer.h"

#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void Put32(std::vector<BYTE>& d, std::size_t at, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        d[at + i] = static_cast<BYTE>(v >> (8 * i));
}

void PutFloat(std::vector<BYTE>& d, std::size_t at, float f)
{
    DWORD bits;
    std::memcpy(&bits, &f, 4);
    Put32(d, at, bits);
}

// A float-format datagram whose sample k of channel ch is (number + ch, -number).
std::vector<BYTE> Datagram(DWORD pingStart, DWORD first, int n, int channels = 1, float rate = 10000.0f)
{
    std::vector<BYTE> d(CSampleRingBuffer::kHeaderSize + static_cast<std::size_t>(n) * channels * 8);
    Put32(d, 0, static_cast<DWORD>(d.size()));
    std::memcpy(&d[4], "SMP0", 4);
    PutFloat(d, 12, rate);
    d[16] = static_cast<BYTE>(n & 0xFF);
    d[17] = static_cast<BYTE>(n >> 8);
    d[18] = static_cast<BYTE>(channels);
    d[19] = 1;
    Put32(d, 24, pingStart);
    Put32(d, 28, first);
    for (int i = 0; i < n; ++i)
        for (int ch = 0; ch < channels; ++ch) {
            const std::size_t at = CSampleRingBuffer::kHeaderSize + (static_cast<std::size_t>(i) * channels + ch) * 8;
            PutFloat(d, at, static_cast<float>(first + i + ch));
            PutFloat(d, at + 4, -static_cast<float>(first + i));
        }
    return d;
}

int Write(CSampleRingBuffer& rb, const std::vector<BYTE>& d)
{
    return rb.WriteSamples(d.data(), d.size());
}

void StartPing(CSampleRingBuffer& rb, DWORD samples)
{
    rb.ModifyPingRecord(rb.GetWriteSlot(), [&](CSampleRingBuffer::PingRecord& r) {
        r = CSampleRingBuffer::PingRecord{};
        r.requested = 1;
        r.samplesRequested = samples;
        r.firstBlockPending = 1;
    });
}

void TriggerSeen(CSampleRingBuffer& rb)
{
    rb.ModifyPingRecord(rb.GetWriteSlot(), [](CSampleRingBuffer::PingRecord& r) { r.triggerStatusSeen = 1; });
}

float FirstAt(const CSampleRingBuffer& rb, int index, int ch = 0, DWORD* number = nullptr)
{
    float a = -1, b = -1;
    DWORD n = 0;
    rb.ReadSample(&b, &a, &n, index, ch);
    if (number)
        *number = n;
    return a;
}

}  // namespace

TEST(SampleRingBuffer, CompletesPingOnceAllSamplesAndTriggerStatusArrived)
{
    CManualClock clock(200000000);
    CFileTime::SetClock(&clock);
    CSampleRingBuffer rb(1);
    StartPing(rb, 100);
    TriggerSeen(rb);
    // Samples before the ping start are stored but do not count.
    EXPECT_EQ(Write(rb, Datagram(1010, 1000, 50)), CSampleRingBuffer::kStored);
    const auto r = rb.GetPingRecord(0);
    EXPECT_EQ(r.startSeen, 1);
    EXPECT_EQ(r.startIndex, 10u);
    EXPECT_EQ(r.startSampleNumber, 1010u);
    EXPECT_EQ(r.samplesReceived, 40u);
    // 40 samples remained after the start at 10 kHz: 4 ms before "now".
    EXPECT_EQ(r.startTime, 200000000u - 40000u);
    EXPECT_EQ(Write(rb, Datagram(1010, 1050, 50)), CSampleRingBuffer::kStored);
    EXPECT_EQ(Write(rb, Datagram(1010, 1100, 50)), CSampleRingBuffer::kPingComplete);
    EXPECT_EQ(rb.GetWriteSlot(), 1);
    EXPECT_EQ(rb.GetPingRecord(0).startSeen, 0);
    DWORD number = 0;
    EXPECT_EQ(FirstAt(rb, 10, 0, &number), 1010.0f);
    EXPECT_EQ(number, 1010u);
    CFileTime::SetClock(nullptr);
}

TEST(SampleRingBuffer, ARateThatPutsTheStartBeforeTheEpochIsNoRate)
{
    // 40 samples back at these rates lie before 1601 (or past any file
    // time): the start is stamped "now", as for a datagram without a rate.
    CManualClock clock(200000000);
    CFileTime::SetClock(&clock);
    for (float rate : {1e-3f, 1e-30f, 0.0f}) {
        CSampleRingBuffer rb(1);
        StartPing(rb, 100);
        EXPECT_EQ(Write(rb, Datagram(1010, 1000, 50, 1, rate)), CSampleRingBuffer::kStored) << rate;
        EXPECT_EQ(rb.GetPingRecord(0).startTime, 200000000u) << rate;
    }
    CFileTime::SetClock(nullptr);
}

TEST(SampleRingBuffer, PingWithoutRequestOrTriggerStatusNeverCompletes)
{
    CSampleRingBuffer rb(1);
    StartPing(rb, 0);
    TriggerSeen(rb);
    for (DWORD k = 0; k < 5; ++k)
        EXPECT_EQ(Write(rb, Datagram(0, k * 100, 100)), CSampleRingBuffer::kStored);
    EXPECT_EQ(rb.NextPing(), CSampleRingBuffer::kStored);

    CSampleRingBuffer noStatus(1);
    StartPing(noStatus, 10);
    EXPECT_EQ(Write(noStatus, Datagram(0, 0, 100)), CSampleRingBuffer::kStored);
    TriggerSeen(noStatus);
    EXPECT_EQ(noStatus.NextPing(), CSampleRingBuffer::kPingComplete);
}

TEST(SampleRingBuffer, IndexWrapsBothWays)
{
    CSampleRingBuffer rb(1, 10);
    Write(rb, Datagram(0, 0, 1000));
    EXPECT_EQ(FirstAt(rb, 1000000), FirstAt(rb, 0));
    EXPECT_EQ(FirstAt(rb, 1000005), 5.0f);
    // Fill the ring up to its end, keeping the reader just behind.
    for (DWORD k = 1; k < 1000; ++k) {
        rb.SetReadIndex(static_cast<int>(k * 1000));
        ASSERT_EQ(Write(rb, Datagram(0, k * 1000, 1000)), CSampleRingBuffer::kStored) << k;
    }
    EXPECT_EQ(rb.GetWriteIndex(), 0);
    EXPECT_EQ(FirstAt(rb, -1), 999999.0f);
    EXPECT_EQ(rb.WrapIndex(-1), 999999);
    EXPECT_EQ(rb.WrapIndex(1000000), 0);
}

// A run read in one call is the samples one by one: across the ring's end,
// longer than the ring (round it again), and zeros for a channel it lacks.
TEST(SampleRingBuffer, RunsReadAcrossTheEndAsTheSamplesOneByOne)
{
    CSampleRingBuffer rb(2, 0, 1000);
    Write(rb, Datagram(0, 0, 800, 2));
    rb.SetReadIndex(rb.GetWriteIndex());
    Write(rb, Datagram(0, 800, 400, 2));
    ASSERT_EQ(rb.GetWriteIndex(), 200);
    for (int channel : {0, 1, 2}) {
        SCOPED_TRACE(channel);
        std::vector<float> first(2500, -1.0f), second(first.size(), -1.0f);
        rb.ReadSamples(second.data(), first.data(), -300, 2500, channel);
        for (int k = 0; k < 2500; ++k) {
            float a = 0.0f, b = 0.0f;
            rb.ReadSample(&b, &a, nullptr, k - 300, channel);
            ASSERT_EQ(first[static_cast<std::size_t>(k)], a) << k;
            ASSERT_EQ(second[static_cast<std::size_t>(k)], b) << k;
        }
        EXPECT_EQ(first[300], channel == 2 ? 0.0f : 1000.0f + static_cast<float>(channel));
    }
}

TEST(SampleRingBuffer, OverrunStoresNothingAndMovesNoState)
{
    CSampleRingBuffer rb(1, 10000);
    int lost = 0;
    rb.SetLostSamplesHandler([&] { ++lost; }, std::chrono::hours(1));
    // The reader sits at 0, so the writer may fill up to 990,000.
    DWORD next = 0;
    while (rb.GetWriteIndex() + 1000 <= 990000) {
        ASSERT_EQ(Write(rb, Datagram(0, next, 1000)), CSampleRingBuffer::kStored);
        next += 1000;
    }
    const int before = rb.GetWriteIndex();
    EXPECT_EQ(Write(rb, Datagram(0, next, 1000)), CSampleRingBuffer::kOverrun);
    EXPECT_EQ(rb.GetWriteIndex(), before);
    EXPECT_EQ(FirstAt(rb, before), 0.0f);
    EXPECT_EQ(lost, 1);

    // Once the reader moves on, the refused samples come back as a marked gap
    // rather than vanishing without trace.
    rb.SetReadIndex(500000);
    StartPing(rb, 5000);
    rb.ModifyPingRecord(rb.GetWriteSlot(), [](auto& r) { r.startSeen = 1; });
    EXPECT_EQ(Write(rb, Datagram(0, next + 1000, 1000)), CSampleRingBuffer::kStored);
    DWORD number = 0;
    FirstAt(rb, before, 0, &number);
    EXPECT_EQ(number, CSampleRingBuffer::kNoSample);
    EXPECT_EQ(FirstAt(rb, before + 1000, 0, &number), static_cast<float>(next + 1000));
    EXPECT_EQ(number, next + 1000);
    EXPECT_EQ(lost, 1) << "reports are limited to one per interval";
    EXPECT_EQ(rb.GetLostSampleEvents(), 2u);
}

TEST(SampleRingBuffer, GapBeforeStartIsZeroFilledAndStartsThePing)
{
    CSampleRingBuffer rb(1);
    int lost = 0;
    rb.SetLostSamplesHandler([&] { ++lost; });
    StartPing(rb, 60);
    TriggerSeen(rb);
    Write(rb, Datagram(100, 50, 20));  // 50..69, before the start
    // 70..119 lost; this datagram begins 20 samples after the start.
    EXPECT_EQ(Write(rb, Datagram(100, 120, 30)), CSampleRingBuffer::kStored);
    const auto r = rb.GetPingRecord(0);
    EXPECT_EQ(r.startSeen, 1);
    EXPECT_EQ(r.startIndex, 20u);
    EXPECT_EQ(r.samplesReceived, 50u);
    DWORD number = 0;
    FirstAt(rb, 20, 0, &number);
    EXPECT_EQ(number, CSampleRingBuffer::kNoSample);
    EXPECT_EQ(FirstAt(rb, 40, 0, &number), 120.0f);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(Write(rb, Datagram(100, 150, 10)), CSampleRingBuffer::kPingComplete);
}

TEST(SampleRingBuffer, InOrderDatagramsReportNoLoss)
{
    CSampleRingBuffer rb(4);
    int lost = 0;
    rb.SetLostSamplesHandler([&] { ++lost; });
    for (DWORD k = 0; k < 10; ++k)
        Write(rb, Datagram(0, k * 45, 45, 4));
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(FirstAt(rb, 100, 3), 103.0f);
}

TEST(SampleRingBuffer, MalformedDatagramsAreRefusedWithoutStoring)
{
    struct Case
    {
        const char* legend;
        std::vector<BYTE> bytes;
    };
    auto truncated = Datagram(0, 0, 10);
    truncated.resize(truncated.size() - 1);
    auto tooManyChannels = Datagram(0, 0, 4, 2);
    auto noChannels = Datagram(0, 0, 4);
    noChannels[18] = 0;
    auto countBeyondPayload = Datagram(0, 0, 4);
    countBeyondPayload[16] = 0xFF;
    const std::vector<Case> cases = {
        {"shorter than its header", std::vector<BYTE>(20, 1)},
        {"payload cut short", truncated},
        {"more channels than the buffer keeps", tooManyChannels},
        {"zero channels", noChannels},
        {"sample count beyond the payload", countBeyondPayload},
        {"zero length before any datagram", std::vector<BYTE>(CSampleRingBuffer::kHeaderSize, 0)},
    };
    for (const auto& c : cases) {
        CSampleRingBuffer rb(1);
        EXPECT_EQ(rb.WriteSamples(c.bytes.data(), c.bytes.size()), CSampleRingBuffer::kMalformed) << c.legend;
        EXPECT_EQ(rb.GetWriteIndex(), 0) << c.legend;
        EXPECT_EQ(rb.GetMalformedDatagrams(), 1u) << c.legend;
    }
}

TEST(SampleRingBuffer, PlaceholderStandsInForLostDatagram)
{
    CSampleRingBuffer rb(1);
    StartPing(rb, 90);
    TriggerSeen(rb);
    Write(rb, Datagram(0, 0, 45));
    std::vector<BYTE> placeholder(CSampleRingBuffer::kHeaderSize, 0);
    // The 45 samples still missing are under the threshold: the placeholder
    // continues right after the last datagram.
    EXPECT_EQ(rb.WriteSamples(placeholder.data(), placeholder.size()), CSampleRingBuffer::kPingComplete);
    DWORD number = 0;
    EXPECT_EQ(FirstAt(rb, 45, 0, &number), 0.0f);
    EXPECT_EQ(number, 45u);
    EXPECT_EQ(rb.GetLostSampleEvents(), 1u);
}

TEST(SampleRingBuffer, PackedSamplesAreUpperHalvesOfFloats)
{
    CSampleRingBuffer rb(1);
    std::vector<BYTE> d(CSampleRingBuffer::kHeaderSize + 4);
    Put32(d, 0, static_cast<DWORD>(d.size()));
    PutFloat(d, 12, 1000.0f);
    d[16] = 1;
    d[18] = 1;
    d[19] = 0;
    // 1.5f is 0x3FC00000, -2.0f is 0xC0000000.
    d[32] = 0xC0;
    d[33] = 0x3F;
    d[34] = 0x00;
    d[35] = 0xC0;
    ASSERT_EQ(rb.WriteSamples(d.data(), d.size()), CSampleRingBuffer::kStored);
    float first = 0, second = 0;
    rb.ReadSample(&second, &first, nullptr, 0, 0);
    EXPECT_EQ(first, 1.5f);
    EXPECT_EQ(second, -2.0f);
}

TEST(SampleRingBuffer, PingHeadersFollowTheSlots)
{
    CSampleRingBuffer rb(2);
    rb.SetPingHeader(1, 4, 5, 6);
    rb.SetPingHeader(7, 9, 9, 9);
    EXPECT_EQ(rb.GetPingHeader1(1), 4u);
    EXPECT_EQ(rb.GetPingHeader2(1), 5u);
    EXPECT_EQ(rb.GetPingHeader3(1), 6u);
    EXPECT_EQ(rb.GetPingHeader1(2), 1u);
    EXPECT_EQ(rb.GetPingHeader3(-1), 1u);
    rb.SetReadSlot(1);
    EXPECT_EQ(rb.GetPingHeader1(1), 0u);
}
