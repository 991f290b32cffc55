// What the GEO unit sends, as its socket thread takes it: each datagram (a
// 16-bit size, then its bytes) goes through the port, headers and text
// telegrams to their readers and the channels' data into their raw data
// buffers; between datagrams the input may read every buffer out as the
// receive thread does.
#include "fuzz/support/FuzzEnvironment.h"
#include "fuzz/support/FuzzInput.h"

#include "transceivers/QYNetPortGeo.h"
#include "transceivers/RawDataBuffer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace {

class COwner final : public IGeoPortOwner
{
public:
    std::array<std::unique_ptr<CRawDataBuffer>, geo::kMaxChannels> buffers;
    int absent = -1;
    bool resend = false;

    void SendToUnit(const geo::Bytes&) override {}
    void OnHeaderText(const std::string&, std::uint64_t) override {}
    CRawDataBuffer* ChannelBuffer(int channel) override
    {
        if (channel < 0 || channel >= geo::kMaxChannels || channel == absent)
            return nullptr;
        return buffers[static_cast<std::size_t>(channel)].get();
    }
    int GetChannelSetting(int channel) override { return 100 + channel; }
    bool TakeResendFlag() override { return std::exchange(resend, false); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    CFuzzInput in(data, size);
    static COwner owner;
    for (auto& b : owner.buffers)
        b = std::make_unique<CRawDataBuffer>();
    CQYNetPortGeo port(owner);
    std::vector<std::uint8_t> out;
    std::uint64_t time = 0;
    while (!in.Empty()) {
        switch (in.Byte() % 4) {
        case 1: {
            const std::string_view d = in.Sized();
            port.OnReceive(reinterpret_cast<const std::uint8_t*>(d.data()), d.size(), ++time);
            break;
        }
        case 2:
            for (auto& b : owner.buffers) {
                std::int32_t sequence = 0;
                std::uint64_t at = 0;
                while (b->GetEntryCount() > 0)
                    b->Read(out, sequence, at);
            }
            break;
        case 3:
            owner.resend = true;
            break;
        default:
            owner.absent = in.Byte() % 5;
            break;
        }
    }
    return 0;
}
