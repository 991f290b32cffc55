// The post-processing output on all its threads at once, in a network
// namespace of the test's own where a broadcast would be seen: pings (with
// the replay path of the vessel log) on one thread, the vessel-log timer on
// another, forwarded telegrams on a third, while the dialog points the
// output at an address that does not parse, at a port nobody listens on and
// at two sinks in turn.
#include "outputs/LX750.h"

#include "sensors/SpeedSource.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

class Speed : public ISpeedSource
{
public:
    bool GetSpeedKnots(double& knots) const override
    {
        knots = 400.0;  // a step or more every tick and ping
        return true;
    }
};

class Ping : public IQYNetPingSource
{
public:
    std::atomic<std::uint64_t> time{133'000'000'000'000'000ULL};
    int GetChannelCount() override { return 2; }
    bool GetChannelPing(int, SQYNetChannelPing& c) override
    {
        c.pingTime = time += 10'000'000;
        c.depth = 30.0;
        c.transducer = "T38 38 kHz";
        return true;
    }
    bool GetSamples(int, std::int16_t* out, int n, double, double, int, int) override
    {
        std::fill(out, out + n, std::int16_t(-100));
        return true;
    }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>& out) override
    {
        out.assign(3, {1.0f, 2.0f, 3.0f, 4.0f, 5.0f});
        return 3;
    }
    double GetEnvironmentSoundVelocity() override { return 1500.0; }
    bool GetWaterTemperature(double&) override { return false; }
};

constexpr std::uint16_t kSinkA = 20200, kSinkB = 20201, kNobody = 20202;

}  // namespace

TEST(LX750Threads, DestinationChangesWhilePingsRunAndNothingIsBroadcast)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcasts routed to loopback"))
            return check.failures;
        nettest::CDestinationWatch a(kSinkA), b(kSinkB);
        if (!check(a.IsBound() && b.IsBound(), "watches bound"))
            return check.failures;

        Speed speed;
        Ping ping;
        std::atomic<bool> replaying{false}, stop{false};
        std::atomic<int> pings{0};
        CLX750 out(nullptr, speed, [&] { return replaying.load(); });
        CLX750::Settings s;
        s.DestAddr = "no.such.address";
        s.DestPort = kSinkA;
        s.EchoTraceDatagram = s.EchogramDatagram = s.VesselLogDatagram = s.NavigationDatagram = s.ParameterDatagram = 1;
        s.EchogramSurfaceCount = 20;
        s.EchogramBottomCount = 10;
        out.ApplySettings(s);

        std::thread pingThread([&] {
            while (!stop) {
                out.SendPingDatagrams(ping);
                ++pings;
            }
        });
        std::thread timerThread([&] {
            while (!stop)
                out.OnVesselLogTimer();
        });
        std::thread decoderThread([&] {
            while (!stop)
                out.ForwardTelegram("$GPVTG,45.0,T,,M,8.0,N,14.8,K*6B");
        });
        // The dialog, on this thread: each destination for a stretch of
        // pings, the replay switched meanwhile, Distance edited.
        struct Step
        {
            std::array<int, 4> address;
            std::uint32_t port;
        };
        const Step steps[] = {
            {{127, 0, 0, 1}, kNobody}, {{127, 0, 0, 1}, kSinkA}, {{127, 0, 0, 2}, kSinkB}, {{127, 0, 0, 1}, kSinkA}};
        const auto waitForPings = [&] {
            const int until = pings + 50;
            check(zv::test::WaitUntil([&] { return pings >= until; }), "pings go on");
        };
        waitForPings();
        check(!out.IsReady(), "no destination while the address does not parse");
        for (const Step& step : steps) {
            const CLX750::DialogValues opened = out.GetDialogValues();
            CLX750::DialogValues edited = opened;
            edited.address = step.address;
            edited.port = step.port;
            edited.distance = opened.distance + 1.0;
            out.ApplyDialogValues(opened, edited);
            replaying = !replaying;
            waitForPings();
        }
        stop = true;
        pingThread.join();
        timerThread.join();
        decoderThread.join();

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
