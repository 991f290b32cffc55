#include "platform/NetworkAdapters.h"
#include "platform/Socket.h"
#include "testsupport/NetNamespace.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <future>
#include <string>
#include <thread>

namespace {

const SocketAddress kAnyLoopbackPort(SocketAddress::kLoopback, 0);

CSocket BoundUdp()
{
    CSocket s;
    EXPECT_TRUE(s.Create(CSocket::Udp));
    EXPECT_TRUE(s.Bind(kAnyLoopbackPort));
    return s;
}

TEST(Socket, UdpDatagramCarriesItsSender)
{
    CSocket a = BoundUdp(), b = BoundUdp();
    const std::string text = "TI\0\0";
    ASSERT_EQ(a.SendTo(text.data(), 4, b.LocalAddress()), 4);
    char buffer[16];
    SocketAddress from;
    ASSERT_EQ(b.ReceiveFrom(buffer, sizeof buffer, &from, 5000), 4);
    EXPECT_EQ(from, a.LocalAddress());
    EXPECT_EQ(from.IpText(), "127.0.0.1");

    // A datagram larger than the buffer is cut, and the next wait times out.
    const std::string big(100, 'x');
    ASSERT_EQ(a.SendTo(big.data(), big.size(), b.LocalAddress()), 100);
    EXPECT_EQ(b.ReceiveFrom(buffer, 8, nullptr, 5000), 8);
    EXPECT_EQ(b.ReceiveFrom(buffer, sizeof buffer, nullptr, 0), CSocket::kTimeout);
}

TEST(Socket, StopWakesABlockedReceiveAndLatches)
{
    CSocket s = BoundUdp();
    auto waiting = std::async(std::launch::async, [&] {
        char buffer[8];
        return s.ReceiveFrom(buffer, sizeof buffer, nullptr, -1);
    });
    s.Stop();
    EXPECT_EQ(waiting.get(), CSocket::kStopped);
    // Stays stopped for later waits until reset.
    char buffer[8];
    EXPECT_EQ(s.ReceiveFrom(buffer, sizeof buffer, nullptr, -1), CSocket::kStopped);
    EXPECT_TRUE(s.IsStopped());
    s.ResetStop();
    EXPECT_FALSE(s.IsStopped());
    EXPECT_EQ(s.ReceiveFrom(buffer, sizeof buffer, nullptr, 0), CSocket::kTimeout);
}

TEST(Socket, OneStopEventEndsWaitsOnSeveralSockets)
{
    auto stop = std::make_shared<CStopEvent>();
    CSocket udp = BoundUdp();
    CSocket listener;
    ASSERT_TRUE(listener.Create(CSocket::Tcp));
    ASSERT_TRUE(listener.Bind(kAnyLoopbackPort));
    ASSERT_TRUE(listener.Listen());
    udp.SetStopEvent(stop);
    listener.SetStopEvent(stop);
    auto receive = std::async(std::launch::async, [&] {
        char b[4];
        return udp.ReceiveFrom(b, sizeof b, nullptr, -1);
    });
    auto accept = std::async(std::launch::async, [&] {
        CSocket connection;
        return listener.Accept(connection, nullptr, -1);
    });
    stop->Set();
    EXPECT_EQ(receive.get(), CSocket::kStopped);
    EXPECT_EQ(accept.get(), CSocket::kStopped);
}

TEST(Socket, TcpConnectAcceptSendAndPeerClose)
{
    CSocket listener;
    ASSERT_TRUE(listener.Create(CSocket::Tcp));
    ASSERT_TRUE(listener.SetReuseAddress(true));
    ASSERT_TRUE(listener.Bind(kAnyLoopbackPort));
    ASSERT_TRUE(listener.Listen());

    CSocket client;
    ASSERT_TRUE(client.Create(CSocket::Tcp));
    ASSERT_EQ(client.Connect(listener.LocalAddress(), 5000), 0);
    CSocket server;
    SocketAddress peer;
    ASSERT_EQ(listener.Accept(server, &peer, 5000), 0);
    EXPECT_EQ(peer, client.LocalAddress());

    // More than a socket buffer, so Send has to wait for room.
    std::string payload(4 << 20, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(i * 7);
    auto sent = std::async(std::launch::async, [&] { return client.Send(payload.data(), payload.size(), 10000); });
    std::string received;
    char buffer[65536];
    while (received.size() < payload.size()) {
        const int n = server.Receive(buffer, sizeof buffer, 10000);
        ASSERT_GT(n, 0);
        received.append(buffer, static_cast<size_t>(n));
    }
    EXPECT_EQ(sent.get(), static_cast<int>(payload.size()));
    EXPECT_EQ(received, payload);

    client.Close();
    EXPECT_EQ(server.Receive(buffer, sizeof buffer, 5000), 0) << "peer closed";
}

TEST(Socket, ConnectToAClosedPortFailsWithTheReason)
{
    CSocket probe;
    ASSERT_TRUE(probe.Create(CSocket::Tcp));
    ASSERT_TRUE(probe.Bind(kAnyLoopbackPort));
    const SocketAddress unused = probe.LocalAddress();  // bound but not listening
    CSocket client;
    ASSERT_TRUE(client.Create(CSocket::Tcp));
    EXPECT_EQ(client.Connect(unused, 5000), CSocket::kError);
    EXPECT_EQ(client.LastError(), ECONNREFUSED);

    CSocket closed;
    char b[1];
    EXPECT_EQ(closed.ReceiveFrom(b, 1, nullptr, 0), CSocket::kError) << "a socket never created";
}

TEST(Socket, BroadcastNeedsTheOptionAndStaysInANamespace)
{
    nettest::RunNamespaceTest([] {
        CSocket receiver;
        if (!receiver.Create(CSocket::Udp) || !receiver.Bind(SocketAddress(0, 0)))
            return 2;
        const std::uint16_t port = receiver.LocalAddress().port;
        CSocket sender;
        if (!sender.Create(CSocket::Udp))
            return 3;
        const SocketAddress broadcast(0x7FFFFFFF, port);  // 127.255.255.255
        if (sender.SendTo("TE\0\0", 4, broadcast) != CSocket::kError || sender.LastError() != EACCES)
            return 4;
        if (!sender.SetBroadcast(true) || sender.SendTo("TE\0\0", 4, broadcast) != 4)
            return 5;
        char buffer[8];
        if (receiver.ReceiveFrom(buffer, sizeof buffer, nullptr, 5000) != 4)
            return 6;
        // Only loopback exists here, and the loopback is no adapter.
        unsetenv(CNetworkAdapters::kOverrideVariable);
        if (!CNetworkAdapters::List().empty())
            return 7;
        return 0;
    });
}

TEST(NetworkAdapters, OverrideListsOnlyWhatItSays)
{
    const auto list = CNetworkAdapters::Parse(" sim0=127.0.0.1/8 ;127.0.0.2/24;bad;10.0.0.1/33;x=1.2.3/8;;");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "sim0");
    EXPECT_EQ(list[0].AddressText(), "127.0.0.1");
    EXPECT_EQ(list[0].mask, 0xFF000000u);
    EXPECT_EQ(SocketAddress::IpText(list[0].broadcast), "127.255.255.255");
    EXPECT_EQ(list[1].name, "adapter1");
    EXPECT_EQ(SocketAddress::IpText(list[1].broadcast), "127.0.0.255");

    setenv(CNetworkAdapters::kOverrideVariable, "", 1);
    EXPECT_TRUE(CNetworkAdapters::List().empty()) << "set but empty means no adapter";
    setenv(CNetworkAdapters::kOverrideVariable, "lo=127.0.0.1/8", 1);
    ASSERT_EQ(CNetworkAdapters::List().size(), 1u);
    unsetenv(CNetworkAdapters::kOverrideVariable);
}

}  // namespace
