// Any bytes as a datagram of the survey control program: handled by the
// exchange's command handler against a host that checks each request is one
// a datagram can make.
#include "outputs/HBX.h"
#include "sounder/EchoSounder.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

class CCheckingHost final : public IHbxHost
{
public:
    bool recording = false;
    void RequestPingMode(int mode, DWORD, int, double interval, int) override
    {
        if ((mode != CEchoSounder::kSingleStep && mode != 2) || !std::isfinite(interval))
            std::abort();
    }
    int StoredPingMode() override { return 2; }
    bool IsRecording() override { return recording; }
    void PostRecordToggle() override {}
    void PointNetworkOutput(std::uint32_t, std::uint16_t port) override
    {
        if (port == 0)
            std::abort();
    }
    void StatusText(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CCheckingHost host;
    CEchoSounder sounder;
    CHBX::Options options;
    options.worker = false;
    CHBX exchange(host, sounder, SounderModel::QY310, options);
    const std::span<const std::uint8_t> datagram(data, size);
    exchange.HandleDatagram(datagram, SocketAddress(SocketAddress::kLoopback, 40000));
    host.recording = true;
    exchange.HandleDatagram(datagram, SocketAddress(SocketAddress::kLoopback, 40000));
    return 0;
}
