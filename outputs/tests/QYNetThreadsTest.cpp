// Per-ping sending and single telegrams from two threads on the one guarded
// socket, as the ping-data and user-interface threads do.
#include "outputs/QYNet.h"

#include <gtest/gtest.h>

#include <thread>

namespace {
class OneChannel : public IQYNetPingSource
{
public:
    int GetChannelCount() override { return 1; }
    bool GetChannelPing(int, SQYNetChannelPing& c) override
    {
        c.processed = true;
        c.depth = 12.0;
        return true;
    }
    bool GetSamples(int, std::int16_t*, int, double, double, int, int) override { return true; }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>&) override { return 0; }
    double GetEnvironmentSoundVelocity() override { return 1500.0; }
    bool GetWaterTemperature(double&) override { return false; }
};
}  // namespace

TEST(QYNetThreads, PingAndRelayShareTheSocket)
{
    CSocket listener;
    ASSERT_TRUE(listener.Create(CSocket::Udp));
    ASSERT_TRUE(listener.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
    listener.SetReceiveBufferSize(1 << 20);
    CQYNet net;
    CQYNet::Settings s;
    s.DestPort = listener.LocalAddress().port;
    s.RelayNavigation = 1;
    s.DepthDatagram = {1, 0, 0, 0};
    net.ApplySettings(s);
    constexpr int kRounds = 300;
    OneChannel ping;
    std::thread pings([&] {
        for (int i = 0; i < kRounds; ++i)
            net.SendPingDatagrams(ping);
    });
    for (int i = 0; i < kRounds; ++i)
        net.SendNavigation("$GPGGA,1", 0);
    pings.join();
    int depth = 0, relay = 0;
    char b[64];
    for (int i = 0; i < 2 * kRounds; ++i) {
        const int n = listener.ReceiveFrom(b, sizeof b, nullptr, 2000);
        ASSERT_GT(n, 0);
        (b[0] == 'D' ? depth : relay)++;
    }
    EXPECT_EQ(depth, kRounds);
    EXPECT_EQ(relay, kRounds);
}
