// An output is detached from its slot while other threads keep handing on
// depths and texts, as an output object is closed while the sounder still
// pings: once Detach has returned, no call is in the output and none comes.
#include "outputs/OutputSlot.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <thread>

namespace {

class CWatchedOutput final : public IOutput
{
public:
    void TakeDepth(const DepthReport&) override { Call(); }
    void TakeText(const OutputText&) override { Call(); }
    std::atomic<bool> detached{false};
    std::atomic<int> calls{0};
    std::atomic<int> late{0};

private:
    void Call()
    {
        if (detached)
            ++late;
        ++calls;
        // Stays in the call a little, so that a Detach meets it there.
        for (int i = 0; i < 20; ++i)
            std::this_thread::yield();
        if (detached)
            ++late;
    }
};

}  // namespace

TEST(OutputSlotThreads, NoCallReachesAnOutputOnceItIsDetached)
{
    constexpr std::size_t kOutputs = 300;
    std::array<CWatchedOutput, kOutputs> outputs;
    COutputSlot slot("network output");
    std::atomic<bool> stop{false};
    const std::string status = "ok";
    std::thread pings([&] {
        DepthReport report;
        while (!stop)
            slot.TakeDepth(report);
    });
    std::thread texts([&] {
        while (!stop)
            slot.TakeText({OutputTextKind::Status, status});
    });
    for (CWatchedOutput& output : outputs) {
        slot.Attach(output);
        while (output.calls == 0)
            std::this_thread::yield();
        slot.Detach();
        output.detached = true;
    }
    stop = true;
    pings.join();
    texts.join();
    for (const CWatchedOutput& output : outputs)
        EXPECT_EQ(output.late, 0);
}
