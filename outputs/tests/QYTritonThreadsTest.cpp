// The raw-data output while the recorder streams pings through it on one
// thread and the dialog and timer work on another, in a network namespace
// of the test's own where a broadcast would be seen: an address that does
// not parse, a port nobody listens on and two sinks in turn.
#include "outputs/QYTriton.h"

#include "recording/tests/StoreFixture.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

constexpr std::uint16_t kSinkA = 20300, kSinkB = 20301, kNobody = 20302;

class StoreConfiguration : public IRawDataRecorder
{
public:
    void WriteConfiguration() override
    {
        if (store)
            store->WriteConfigurationToUdp();
    }
    zv::recording::CStore* store = nullptr;
};

}  // namespace

TEST(QYTritonThreads, DestinationChangesWhileTheRecorderStreamsAndNothingIsBroadcast)
{
    nettest::RunNamespaceTest([] {
        using namespace zv::recording;
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcasts routed to loopback"))
            return check.failures;
        nettest::CDestinationWatch a(kSinkA), b(kSinkB);
        if (!check(a.IsBound() && b.IsBound(), "watches bound"))
            return check.failures;

        StoreConfiguration configuration;
        CQYTriton out(nullptr, configuration);
        test::CFakeSounder sounder(2, 500);
        test::CFakeEvents events;
        CStore store(sounder, events, &out, SStoreSettings{});
        configuration.store = &store;

        // Switched on at the first sink.
        CQYTriton::DialogValues opened = out.GetDialogValues();
        CQYTriton::DialogValues edited = opened;
        edited.enabled = true;
        edited.port = kSinkA;
        out.ApplyDialogValues(opened, edited);

        std::atomic<bool> stop{false};
        std::atomic<int> pings{0};
        std::thread recorder([&] {
            for (int ping = 1; !stop; ++ping) {
                sounder.SetPing(ping, FileTime(ping) * 10'000'000);
                store.WritePing();
                ++pings;
            }
        });
        const auto waitForPings = [&] {
            const int until = pings + 50;
            check(zv::test::WaitUntil([&] { return pings >= until; }), "pings go on");
        };
        struct Step
        {
            std::array<int, 4> address;
            std::uint32_t port;
        };
        // An address that does not parse ("999.0.0.1", as a hand-edited
        // setting may hold), a port nobody listens on, the two sinks.
        const Step steps[] = {{{999, 0, 0, 1}, kSinkA},
                              {{127, 0, 0, 1}, kNobody},
                              {{127, 0, 0, 1}, kSinkA},
                              {{127, 0, 0, 3}, kSinkB},
                              {{127, 0, 0, 1}, kSinkA}};
        for (const Step& step : steps) {
            opened = out.GetDialogValues();
            edited = opened;
            edited.address = step.address;
            edited.port = step.port;
            out.ApplyDialogValues(opened, edited);
            out.OnConfigTimer();
            waitForPings();
        }
        stop = true;
        recorder.join();

        a.Take(1000);
        b.Take(1000);
        check(!a.destinations.empty() && !b.destinations.empty(), "both sinks got datagrams");
        for (const auto* watch : {&a, &b})
            for (std::uint32_t to : watch->destinations)
                if (!check((to >> 24) == 127, "sent to " + SocketAddress::IpText(to)))
                    return check.failures;
        return check.failures;
    });
}

// An address that does not parse: the recorder sends nothing at all.
TEST(QYTritonThreads, AnAddressThatDoesNotParseSendsNothing)
{
    nettest::RunNamespaceTest([] {
        using namespace zv::recording;
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcasts routed to loopback"))
            return check.failures;
        nettest::CDestinationWatch watch(4711);
        StoreConfiguration configuration;
        CQYTriton out(nullptr, configuration);
        test::CFakeSounder sounder(1, 100);
        test::CFakeEvents events;
        CStore store(sounder, events, &out, SStoreSettings{});
        configuration.store = &store;
        CQYTriton::DialogValues opened = out.GetDialogValues();
        CQYTriton::DialogValues edited = opened;
        edited.enabled = true;
        out.ApplyDialogValues(opened, edited);
        check(out.IsEnabled(), "on at 127.0.0.1:4711");
        // An address that does not parse, as a hand-edited setting may hold.
        CQYTriton::DialogValues typo = out.GetDialogValues();
        typo.address = {300, 1, 1, 1};
        out.ApplyDialogValues(out.GetDialogValues(), typo);
        check(!out.IsEnabled(), "no destination for 300.1.1.1");
        for (int ping = 1; ping <= 20; ++ping) {
            sounder.SetPing(ping, FileTime(ping));
            store.WritePing();
        }
        watch.Take(300);
        check(watch.destinations.size() == 1, "only the configuration sent while it was on");
        return check.failures;
    });
}
