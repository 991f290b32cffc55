// Per-ping sending and single telegrams from two threads on the one guarded
// socket, as the ping-data and user-interface threads do.
#include "outputs/QYNet.h"
#include "outputs/QYNetPort.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
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

// A profile the importer refuses asks for a box on the port's reader; the
// reader goes on reading while nobody answers it, and the refusals of the
// same text make one box.
TEST(QYNetThreads, ReaderGoesOnWhileARefusedProfileWaitsForTheOperator)
{
    ClearMessageBoxRecord();
    std::atomic<int> questions{0};
    SetMessageBoxPresenter([&](HWND, const std::string&, const std::string&, UINT) {
        ++questions;
        return IDOK;
    });
    std::atomic<int> decoded{0};
    CQYNetPort port;
    CQYNetPort::Links links;
    links.isReplaying = [] { return false; };
    const std::string telegram = "$GPZDA,120000.00,01,01,2026,00,00*6F";
    // What no profile took goes on to the decoder: the refused texts too.
    links.parseNmea = [&](const std::string& text, std::uint64_t) { decoded += text == telegram ? 1 : 0; };
    links.storeProfile = [](const CSvpProfile&) { return true; };
    port.SetLinks(links);
    ASSERT_TRUE(port.Create(0, SocketAddress::kLoopback));
    port.StartReader();
    CSocket sender;
    ASSERT_TRUE(sender.Create(CSocket::Udp));
    const SocketAddress to(SocketAddress::kLoopback, port.LocalPort());
    int sent = 0;
    for (const std::string bad : {"SV", "SV", "CALC 0  0  0"}) {
        ASSERT_EQ(sender.SendTo(bad.data(), bad.size(), to), static_cast<int>(bad.size()));
        for (int i = 0; i < 1000; ++i, ++sent) {
            ASSERT_EQ(sender.SendTo(telegram.data(), telegram.size(), to), static_cast<int>(telegram.size()));
            // Paced to what the reader takes, so that only a reader that
            // stopped loses any.
            ASSERT_TRUE(zv::test::WaitUntil([&] { return decoded >= sent - 50; }, std::chrono::seconds(10)))
                << "the reader stopped after " << decoded << " telegrams";
        }
    }
    // This thread has not looked at its queue once.
    EXPECT_TRUE(zv::test::WaitUntil([&] { return decoded == sent; }));
    EXPECT_EQ(questions, 0);
    EXPECT_TRUE(PumpUntil([&] { return MessageBoxRecord().size() == 2; }, std::chrono::seconds(10)));
    EXPECT_EQ(questions, 2);  // two texts: the CALC and the other format's
    port.Close();
    SetMessageBoxPresenter(nullptr);
}
