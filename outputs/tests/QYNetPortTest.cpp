// The network input on loopback: sizes, replay, and profiles in pieces.
#include "outputs/QYNetPort.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

std::string Fixture(const char* name)
{
    std::ifstream in(std::string(SENSORS_TEST_DATA) + "/" + name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class QYNetPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CQYNetPort::Links links;
        links.isReplaying = [this] { return replaying; };
        links.parseNmea = [this](const std::string& t, std::uint64_t) { decoded.push_back(t); };
        links.storeProfile = [this](const CSvpProfile& p) {
            stored.push_back(p.GetCount());
            return true;
        };
        port.SetLinks(links);
        ASSERT_TRUE(port.Create(0, SocketAddress::kLoopback));
        ASSERT_TRUE(sender.Create(CSocket::Udp));
    }
    void Send(const std::string& text)
    {
        ASSERT_EQ(sender.SendTo(text.data(), text.size(), SocketAddress(SocketAddress::kLoopback, port.LocalPort())),
                  static_cast<int>(text.size()));
        ASSERT_TRUE(port.OnReceive(2000));
    }
    CQYNetPort port;
    CSocket sender;
    bool replaying = false;
    std::vector<std::string> decoded;
    std::vector<int> stored;
};

TEST_F(QYNetPortTest, TakesDatagramsUpTo50000Bytes)
{
    ASSERT_TRUE(sender.SetReceiveBufferSize(1 << 18));
    Send(std::string(50000, 'x'));
    Send(std::string(60000, 'y'));  // cut to the buffer
    ASSERT_EQ(decoded.size(), 2u);
    EXPECT_EQ(decoded[0].size(), 50000u);
    EXPECT_EQ(decoded[1], std::string(50000, 'y'));
}

TEST_F(QYNetPortTest, NothingIsParsedDuringReplay)
{
    replaying = true;
    Send("$GPGGA,1,2,N,3,E");
    Send(Fixture("zelvar_a.txt"));
    EXPECT_TRUE(decoded.empty());
    EXPECT_TRUE(stored.empty());
}

TEST_F(QYNetPortTest, ProfileInPiecesIsAppliedOnceAndTelegramsAroundItAreDecoded)
{
    const std::string s10 = Fixture("s10_datagram.txt");
    const std::size_t cut = s10.size() / 2;
    Send("$GPGGA,1,5957.1,N,01045.6,E");
    Send(s10.substr(0, cut));
    EXPECT_TRUE(port.IsGathering());
    EXPECT_TRUE(stored.empty());
    Send(s10.substr(cut));
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_GT(stored[0], 0);
    EXPECT_FALSE(port.IsGathering());
    Send("$HEHDT,10.0,T");
    Send("\\");  // a lone end mark after the profile starts nothing
    EXPECT_EQ(stored.size(), 1u);
    EXPECT_FALSE(port.IsGathering());
    EXPECT_EQ(decoded.front(), "$GPGGA,1,5957.1,N,01045.6,E");
}

TEST_F(QYNetPortTest, WholeProfilesInOneDatagram)
{
    Send(Fixture("zelvar_a.txt"));
    Send(Fixture("calc_cast.txt"));
    EXPECT_EQ(stored.size(), 2u);
    EXPECT_TRUE(decoded.empty());
}

TEST(QYNetPortBuffer, TelegramsNeverFillTheProfileBuffer)
{
    CQYNetPort port;
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(port.ParseSvpDatagram("$GPGGA,1,5957.1,N,01045.6,E"), 0);
    EXPECT_FALSE(port.IsGathering());
    // A start whose end never comes is dropped at the bound.
    port.ParseSvpDatagram("CALC");
    EXPECT_TRUE(port.IsGathering());
    const std::string line(1000, '1');
    for (std::size_t n = 0; n <= CQYNetPort::kMaxProfileText / line.size(); ++n)
        port.ParseSvpDatagram(line);
    EXPECT_FALSE(port.IsGathering());
}

}  // namespace
