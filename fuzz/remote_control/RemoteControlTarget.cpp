// Any bytes as a remote-control telegram: interpreted against a host that
// checks each request is one the telegrams can make.
#include "outputs/RemoteControl.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

class CCheckingHost final : public IRemoteControlHost
{
public:
    bool recording = false;
    bool IsRecording() override { return recording; }
    void PostRecordToggle() override {}
    void RequestPingMode(int mode, double interval, DWORD trigger) override
    {
        if (mode < 0 || mode > 2 || trigger != CRemoteControl::kTrigger || !std::isfinite(interval) || interval < 0.0 ||
            interval > CRemoteControl::kMaxIntervalSeconds)
            std::abort();
    }
    void RequestHistory(bool) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view telegram(reinterpret_cast<const char*>(data), size);
    CCheckingHost host;
    CRemoteControl control(host);
    control.Execute(telegram);
    host.recording = true;
    control.Execute(telegram);
    return 0;
}
