// What the QY42 unit sends, as the transceiver's receive thread takes it:
// each datagram (a 16-bit size, then its bytes) goes where its code says,
// samples into the ring buffer and the rest to their readers. Between
// datagrams the input may start a ping as a trigger does, stand in a lost
// datagram as the time-out does, or read the finished pings' samples into
// power values as the data thread does, with any filter type. The status
// and version answers also go to the hardware status window, open.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "transceivers/HardwareStatus.h"
#include "transceivers/QY42.h"
#include "transceivers/QY42Telegrams.h"
#include "transceivers/SampleRingBuffer.h"
#include "transceivers/TransceiverInstallation.h"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr int kRingSamples = 16384;
constexpr int kRingMargin = 256;

class CNoUnits final : public CHardwareStatus::IUnits
{
public:
    bool IsSounderRunning() const override { return false; }
    void ForEachTransceiver(const std::function<void(int, CTransceiver&)>&) override {}
};

class CNoView final : public CHardwareStatus::IView
{
public:
    void ShowFields(const CHardwareStatus::Fields&) override {}
    void ShowReport(const std::string&) override {}
};

void Dispatch(CSampleRingBuffer& ring, CHardwareStatus& status, std::string_view datagram)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(datagram.data());
    const std::size_t size = std::min(datagram.size(), qy42::kMaxReceived);
    const std::string code = qy42::CodeOf(bytes, size);
    if (code == "RSD#") {
        ring.WriteSamples(bytes, size);
    } else if (code == "TSS#") {
        ring.ModifyPingRecord(ring.GetWriteSlot(), [](CSampleRingBuffer::PingRecord& p) { p.triggerStatusSeen = 1; });
        ring.NextPing();
    } else if (code == "ACI") {
        qy42::ReadAuxiliaryInput(bytes, size);
    } else if (code == "INFO") {
        qy42::ReadInformation(bytes, size);
    } else if (code == "VA") {
        qy42::ReadVersionAnswer(bytes, size);
        status.FormatStatus(bytes, size);
    } else if (code == "DCSA") {
        status.ShowStatus(bytes, size);
    }
}

// The finished pings' samples into power values, block by block.
void ReadPings(CSampleRingBuffer& ring, int filterType, int des2, const CQY42::FilterRecord& filter)
{
    static std::vector<double> power(CQY42::kMaxPingSamples);
    static std::vector<std::int16_t> words(CQY42::kMaxPingSamples);
    while (ring.GetReadSlot() != ring.GetWriteSlot()) {
        const int slot = ring.GetReadSlot();
        const auto r = ring.GetPingRecord(slot);
        const int count = static_cast<int>(
            std::min<DWORD>(std::min(r.samplesReceived, r.samplesRequested), CQY42::kMaxListedSamples));
        CQY42::ConvertSamples(ring, static_cast<int>(r.startIndex), count, 0, filterType, des2, filter, power.data(),
                              words.data());
        ring.SetReadIndex(static_cast<int>(r.startIndex) + count);
        ring.SetReadSlot(slot + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    // A short ring with a short reader margin wraps and overruns as the
    // unit's full one does, at a cost per input small enough to explore.
    CSampleRingBuffer ring(1, kRingMargin, kRingSamples);
    static CTransceiverInstallation installation;
    static CNoUnits units;
    CNoView view;
    CHardwareStatus status(installation, units);
    status.Open(view);
    CQY42::FilterRecord filter;
    filter.length = 3;
    filter.divisor = 4;
    for (int c = 0; c < filter.length; ++c)
        filter.real[static_cast<std::size_t>(c)] = filter.imaginary[static_cast<std::size_t>(c)] = 1.0f;
    while (!in.Empty()) {
        switch (in.Byte() % 4) {
        case 0: {  // a trigger: the next ping wants this many samples
            const DWORD samples = in.Dword() % (CQY42::kMaxPingSamples + 1);
            ring.ModifyPingRecord(ring.GetWriteSlot(), [samples](CSampleRingBuffer::PingRecord& p) {
                p = CSampleRingBuffer::PingRecord{};
                p.requested = 1;
                p.samplesRequested = samples;
                p.firstBlockPending = 1;
            });
            break;
        }
        case 1:
            Dispatch(ring, status, in.Sized());
            break;
        case 2: {  // the receive time-out's stand-in for a lost datagram
            const std::vector<BYTE> placeholder(CQY42::kPlaceholderSize, 0);
            ring.WriteSamples(placeholder.data(), placeholder.size());
            break;
        }
        default: {
            const std::uint8_t how = in.Byte();
            ReadPings(ring, how % 6, 1 + (how >> 3), filter);
            break;
        }
        }
    }
    return 0;
}
