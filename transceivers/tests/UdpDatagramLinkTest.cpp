// The UDP road of a network unit, on loopback: each path leaves from its own
// socket, only the unit's address is heard, and a stop ends every wait.
#include "transceivers/UdpDatagramLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kOtherLoopback = 0x7F000002;

struct Unit
{
    CSocket socket;
    SocketAddress address;
    Unit()
    {
        EXPECT_TRUE(socket.Create(CSocket::Udp) && socket.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
        address = socket.LocalAddress();
    }
    // The text of one datagram and where it came from.
    std::string Take(SocketAddress& from)
    {
        char buffer[64];
        const int n = socket.ReceiveFrom(buffer, sizeof buffer, &from, 2000);
        return n < 0 ? "(none)" : std::string(buffer, static_cast<std::size_t>(n));
    }
};

bool SendText(IDatagramLink& link, IDatagramLink::Path path, const std::string& text)
{
    return link.Send(path, reinterpret_cast<const BYTE*>(text.data()), text.size());
}

TEST(UdpDatagramLink, EachPathHasItsSocketAndOnlyTheUnitIsHeard)
{
    Unit unit;
    auto link = CUdpDatagramLink::Open(unit.address, "T1");
    ASSERT_TRUE(link);

    SocketAddress command, data, parting;
    ASSERT_TRUE(SendText(*link, IDatagramLink::kCommand, "VR"));
    EXPECT_EQ(unit.Take(command), "VR");
    ASSERT_TRUE(SendText(*link, IDatagramLink::kData, "TI"));
    EXPECT_EQ(unit.Take(data), "TI");
    ASSERT_TRUE(SendText(*link, IDatagramLink::kParting, "HD"));
    EXPECT_EQ(unit.Take(parting), "HD");
    EXPECT_NE(command.port, data.port);
    EXPECT_NE(parting.port, command.port);
    EXPECT_NE(parting.port, data.port);

    // The unit answers on the command socket; a stranger there is dropped.
    CSocket stranger;
    ASSERT_TRUE(stranger.Create(CSocket::Udp) && stranger.Bind(SocketAddress(kOtherLoopback, 0)));
    ASSERT_EQ(stranger.SendTo("XX", 2, command, 1000), 2);
    BYTE buffer[16];
    EXPECT_EQ(link->Receive(buffer, sizeof buffer, 2000), IDatagramLink::kForeign);
    ASSERT_EQ(unit.socket.SendTo("VA", 2, command, 1000), 2);
    ASSERT_EQ(link->Receive(buffer, sizeof buffer, 2000), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer), 2), "VA");
    EXPECT_EQ(link->Receive(buffer, sizeof buffer, 10), IDatagramLink::kTimeout);

    // Stopped, the link waits no more; the parting word still goes out.
    link->Stop();
    EXPECT_EQ(link->Receive(buffer, sizeof buffer, 60000), IDatagramLink::kStopped);
    ASSERT_TRUE(SendText(*link, IDatagramLink::kParting, "HD"));
    EXPECT_EQ(unit.Take(parting), "HD");
}

}  // namespace
