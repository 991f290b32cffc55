// The BOOTP server of the wide-band units and its address table: the
// table's file (good and bad lines, the default range, a change saved and
// read again), the handling of one request without a socket, the server on
// loopback ports of its own (its replies, its event-log records, ports it
// cannot bind, its stop), and in network namespaces of the test's own on
// the real ports: Debian's bootpc over a veth pair, requests built with
// scapy, and the simulated unit booting by BOOTP and TFTP after "RES".
#include "transceivers/Bootp.h"

#include "base/AppIds.h"

#include "platform/NetworkAdapters.h"
#include "platform/tests/EventLogFixture.h"
#include "sim/nvu/NvuSimulator.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <net/if.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct TempFolder
{
    fs::path path;
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "zvbootpXXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string Text() const { return path.string() + "/"; }
};

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Sets an environment variable for the life of the object.
class CEnvironmentVariable
{
public:
    CEnvironmentVariable(const char* name, const std::string& value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~CEnvironmentVariable()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

constexpr std::uint8_t kUnit[6] = {0x02, 0x00, 0x00, 0x00, 0x1a, 0x2b};
constexpr const char* kUnitText = "02:00:00:00:1a:2b";

// A unit's request as the simulated unit makes it.
Bytes Request(std::uint32_t xid = 0x01020304, const std::uint8_t (&hardware)[6] = kUnit)
{
    return CNvuSimulator::MakeBootRequest(xid, hardware);
}

std::string Dotted(const std::uint8_t* p)
{
    return std::to_string(p[0]) + "." + std::to_string(p[1]) + "." + std::to_string(p[2]) + "." + std::to_string(p[3]);
}

std::string FileField(const Bytes& reply)
{
    const auto* text = reinterpret_cast<const char*>(reply.data() + CBootp::kFile);
    return std::string(text, strnlen(text, CBootp::kFileSize));
}

// A table text that gives every address of the default range away.
std::string FullRangeText()
{
    std::vector<sIp> entries;
    for (std::uint32_t ip = CIpAddressTable::kFirstAddress; ip <= CIpAddressTable::kLastAddress; ++ip) {
        char mac[18];
        std::snprintf(mac, sizeof mac, "02:00:00:00:01:%02x", ip & 0xFF);
        entries.push_back({mac, SocketAddress::IpText(ip)});
    }
    return CIpAddressTable::Format(entries);
}

// ---------------------------------------------------------------------------
// The address table's file

struct SParseCase
{
    const char* legend;
    std::string text;
    std::vector<sIp> expected;
};

class IpAddressTableParse : public ::testing::TestWithParam<SParseCase>
{};

TEST_P(IpAddressTableParse, TakesEntriesAndSkipsBadLines)
{
    EXPECT_EQ(CIpAddressTable::Parse(GetParam().text), GetParam().expected);
}

const sIp kA{"02:00:00:00:1a:2b", "192.168.0.150"};
const sIp kB{"0a:1b:2c:3d:4e:5f", "10.0.0.7"};

INSTANTIATE_TEST_SUITE_P(
    Lines, IpAddressTableParse,
    ::testing::Values(
        SParseCase{"two lines as written",
                   "MAC=02:00:00:00:1a:2b\tIP=192.168.0.150\r\nMAC=0a:1b:2c:3d:4e:5f\tIP=10.0.0.7\r\n",
                   {kA, kB}},
        SParseCase{"line feeds alone, the last line unended",
                   "MAC=02:00:00:00:1a:2b\tIP=192.168.0.150\nMAC=0a:1b:2c:3d:4e:5f\tIP=10.0.0.7",
                   {kA, kB}},
        SParseCase{"upper-case digits are taken in lower case", "MAC=0A:1B:2C:3D:4E:5F\tIP=10.0.0.7\r\n", {kB}},
        SParseCase{"empty text", "", {}}, SParseCase{"MAC with nothing after it, at the end", "MAC", {}},
        SParseCase{"MAC= with nothing after it", "MAC=", {}},
        SParseCase{"the words alone, over and over", "MACMACMAC=IP=IP\tMAC=\r\n\r\n", {}},
        SParseCase{"no tab before IP", "MAC=02:00:00:00:1a:2b IP=192.168.0.150\r\n", {}},
        SParseCase{"hardware address one digit short", "MAC=02:00:00:00:1a:2\tIP=192.168.0.150\r\n", {}},
        SParseCase{"hardware address with dashes", "MAC=02-00-00-00-1a-2b\tIP=192.168.0.150\r\n", {}},
        SParseCase{"hardware address with a non-digit", "MAC=02:00:00:00:1g:2b\tIP=192.168.0.150\r\n", {}},
        SParseCase{"address byte above 255", "MAC=02:00:00:00:1a:2b\tIP=192.168.0.256\r\n", {}},
        SParseCase{"address of three bytes", "MAC=02:00:00:00:1a:2b\tIP=192.168.0\r\n", {}},
        SParseCase{"address with text after it", "MAC=02:00:00:00:1a:2b\tIP=192.168.0.150x\r\n", {}},
        SParseCase{"address empty", "MAC=02:00:00:00:1a:2b\tIP=\r\n", {}},
        SParseCase{"the any address", "MAC=02:00:00:00:1a:2b\tIP=0.0.0.0\r\n", {}},
        SParseCase{"the broadcast address", "MAC=02:00:00:00:1a:2b\tIP=255.255.255.255\r\n", {}},
        SParseCase{
            "a zero byte inside the address", std::string("MAC=02:00:00:00:1a:2b\tIP=10.0") + '\0' + ".0.7\r\n", {}},
        SParseCase{
            "a bad line between good ones",
            "MAC=02:00:00:00:1a:2b\tIP=192.168.0.150\r\ngarbage\tIP=1.2.3.4\r\nMAC=0a:1b:2c:3d:4e:5f\tIP=10.0.0.7\r\n",
            {kA, kB}},
        SParseCase{"a unit listed twice keeps its first line",
                   "MAC=02:00:00:00:1a:2b\tIP=192.168.0.150\r\nMAC=02:00:00:00:1A:2B\tIP=10.0.0.7\r\n",
                   {kA}}),
    [](const ::testing::TestParamInfo<SParseCase>& info) { return "case" + std::to_string(info.index); });

TEST(IpAddressTable, NewUnitsGetTheNextFreeAddressesOfTheRangeUntilItIsFull)
{
    TempFolder folder;
    WriteFile(folder.path / CIpAddressTable::kFileName,
              "MAC=0a:00:00:00:00:01\tIP=192.168.0.150\r\nMAC=0a:00:00:00:00:02\tIP=192.168.0.152\r\n");
    CIpAddressTable table(folder.Text());
    ASSERT_TRUE(table.Load());
    EXPECT_EQ(table.GiveAddress("0a:00:00:00:00:02"), "192.168.0.152") << "a known unit keeps its address";
    EXPECT_EQ(table.GiveAddress("0a:00:00:00:00:03"), "192.168.0.151") << "the gap first";
    EXPECT_EQ(table.GiveAddress("0A:00:00:00:00:04"), "192.168.0.153");
    EXPECT_EQ(table.Find("0a:00:00:00:00:04"), "192.168.0.153");
    EXPECT_EQ(table.GiveAddress("not an address"), std::nullopt);

    WriteFile(folder.path / CIpAddressTable::kFileName, FullRangeText());
    ASSERT_TRUE(table.Load());
    ASSERT_EQ(table.Entries().size(), 101u);
    EXPECT_EQ(table.GiveAddress("0a:00:00:00:00:05"), std::nullopt) << "every address is taken";
    EXPECT_EQ(table.Entries().size(), 101u);
    EXPECT_EQ(table.GiveAddress("02:00:00:00:01:fa"), "192.168.0.250") << "a unit of the table is still answered";
}

TEST(IpAddressTable, AnAddressSetIsSavedWholeAndReadBack)
{
    TempFolder folder;
    const fs::path file = folder.path / "data" / CIpAddressTable::kFileName;
    CIpAddressTable table((folder.path / "data").string());
    ASSERT_TRUE(table.Load()) << "no file yet: an empty table";
    EXPECT_TRUE(table.Entries().empty());
    ASSERT_EQ(table.GiveAddress(kUnitText), "192.168.0.150");
    EXPECT_TRUE(table.SetAddress("0A:1B:2C:3D:4E:5F", "10.0.0.7"));
    EXPECT_TRUE(table.SetAddress("02-00-00-00-1A-2B", "192.168.0.199")) << "a unit of the table moves, named as "
                                                                           "its own text names it";
    EXPECT_FALSE(table.SetAddress(kUnitText, "192.168.0.300"));
    EXPECT_FALSE(table.SetAddress("02:00:00:00:1a", "192.168.0.1"));
    EXPECT_EQ(ReadFile(file), "MAC=02:00:00:00:1a:2b\tIP=192.168.0.199\r\nMAC=0a:1b:2c:3d:4e:5f\tIP=10.0.0.7\r\n");

    CIpAddressTable again((folder.path / "data").string());
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.Entries(), table.Entries());
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.path / "data"))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{CIpAddressTable::kFileName}) << "no temporary file is left";
}

TEST(IpAddressTable, ATableThatCannotBeWrittenStillGivesTheAddress)
{
    TempFolder folder;
    WriteFile(folder.path / "plain", "a file where the folder should be");
    CIpAddressTable table((folder.path / "plain").string());
    bool saved = true;
    EXPECT_EQ(table.GiveAddress(kUnitText, &saved), "192.168.0.150");
    EXPECT_FALSE(saved);
    EXPECT_FALSE(table.SetAddress(kUnitText, "192.168.0.160"));
    EXPECT_EQ(table.Find(kUnitText), "192.168.0.160") << "kept until the program ends";
    EXPECT_EQ(ReadFile(folder.path / "plain"), "a file where the folder should be");
}

// ---------------------------------------------------------------------------
// One request, without a socket

struct SRequestCase
{
    const char* legend;
    std::size_t size;  // the request is the unit's, cut or zero-padded to this
    std::size_t at;    // then these bytes are written at
    std::string bytes;
    bool answered;
};

class BootpRequest : public ::testing::TestWithParam<SRequestCase>
{};

TEST_P(BootpRequest, OnlyAUnitsBootRequestIsAnswered)
{
    const SRequestCase& c = GetParam();
    Bytes request = Request();
    request.resize(c.size, 0);
    std::memcpy(request.data() + c.at, c.bytes.data(), c.bytes.size());
    CIpAddressTable table("");
    Bytes reply;
    const auto outcome =
        CBootp::HandleRequest(request.data(), request.size(), table, "/trlist/ppc_code_nvu.mcs", &reply);
    EXPECT_EQ(outcome, c.answered ? CBootp::Outcome::Answered : CBootp::Outcome::Ignored);
    if (!c.answered) {
        EXPECT_TRUE(table.Entries().empty()) << "no address is given";
        return;
    }
    ASSERT_EQ(reply.size(), CBootp::kMessageSize);
    EXPECT_EQ(reply[0], CBootp::kReply);
    EXPECT_EQ(Dotted(reply.data() + CBootp::kYourAddress), "192.168.0.150");
    EXPECT_EQ(Dotted(reply.data() + CBootp::kServerAddress), "0.0.0.0");
    EXPECT_EQ(FileField(reply), "/trlist/ppc_code_nvu.mcs");
    EXPECT_TRUE(std::all_of(reply.begin() + CBootp::kFile + 24, reply.begin() + CBootp::kFile + CBootp::kFileSize,
                            [](std::uint8_t b) { return b == 0; }))
        << "the rest of the file field is zero";
    // Everything else as received: the xid, the hardware address, the
    // server name and the vendor area.
    const std::size_t kept = std::min(request.size(), CBootp::kMessageSize);
    for (std::size_t i = 1; i < kept; ++i) {
        const bool changed = (i >= CBootp::kYourAddress && i < CBootp::kServerAddress + 4) ||
                             (i >= CBootp::kFile && i < CBootp::kFile + CBootp::kFileSize);
        if (!changed) {
            ASSERT_EQ(reply[i], request[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(table.Find(kUnitText), "192.168.0.150");
}

INSTANTIATE_TEST_SUITE_P(
    Requests, BootpRequest,
    ::testing::Values(
        SRequestCase{"the unit's request", 300, 0, "", true}, SRequestCase{"without a vendor area", 236, 0, "", true},
        SRequestCase{"one byte short of a message", 235, 0, "", false}, SRequestCase{"empty", 0, 0, "", false},
        SRequestCase{"1500 bytes with a vendor area", 1500, 236, std::string(1264, '\x63'), true},
        SRequestCase{"a reply, not a request", 300, 0, std::string(1, '\x02'), false},
        SRequestCase{"token ring, not Ethernet", 300, 1, std::string(1, '\x06'), false},
        SRequestCase{"file NVUX", 300, 108, "NVUX", false}, SRequestCase{"file nvu", 300, 108, "nvu", false},
        SRequestCase{"file empty", 300, 108, std::string(4, '\0'), false},
        SRequestCase{"file NVU with no terminator in all 128 bytes", 300, 111, std::string(125, 'U'), false},
        SRequestCase{"file NVU, then bytes after its terminator", 300, 112, "junk", true}),
    [](const ::testing::TestParamInfo<SRequestCase>& info) { return "case" + std::to_string(info.index); });

TEST(BootpRequestLimits, APathOfTheWholeFileFieldOrARangeTakenGetsNoAnswer)
{
    const Bytes request = Request();
    CIpAddressTable table("");
    Bytes reply;
    const std::string fits = "/" + std::string(109, 'f') + "/ppc_code_nvu.mcs";
    ASSERT_EQ(fits.size(), 127u);
    EXPECT_EQ(CBootp::HandleRequest(request.data(), request.size(), table, fits, &reply), CBootp::Outcome::Answered);
    EXPECT_EQ(FileField(reply), fits) << "127 characters and the terminator fill the field";
    EXPECT_EQ(reply[CBootp::kFile + 127], 0);

    CIpAddressTable empty("");
    const std::string whole = "/" + std::string(110, 'f') + "/ppc_code_nvu.mcs";
    EXPECT_EQ(CBootp::HandleRequest(request.data(), request.size(), empty, whole, &reply),
              CBootp::Outcome::PathTooLong);
    EXPECT_TRUE(empty.Entries().empty()) << "no address is given for a path that cannot go out";

    TempFolder folder;
    WriteFile(folder.path / CIpAddressTable::kFileName, FullRangeText());
    CIpAddressTable full(folder.Text());
    ASSERT_TRUE(full.Load());
    EXPECT_EQ(CBootp::HandleRequest(request.data(), request.size(), full, fits, &reply), CBootp::Outcome::RangeFull);
}

// ---------------------------------------------------------------------------
// The server on loopback ports of its own

class BootpServer : public EventLogFixture
{
protected:
    void SetUp() override
    {
        EventLogFixture::SetUp();
        ASSERT_TRUE(m_unit.Create(CSocket::Udp));
        ASSERT_TRUE(m_unit.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
    }

    std::unique_ptr<CBootp> Start(const std::string& bootFolder)
    {
        CBootp::Settings settings;
        settings.tableFolder = m_table.Text();
        settings.bootFolder = bootFolder;
        settings.network.serverPort = 0;
        settings.network.tftpPort = 0;
        settings.network.clientPort = m_unit.LocalAddress().port;
        settings.network.replyDestination = SocketAddress::kLoopback;
        return std::make_unique<CBootp>(settings);
    }

    // Sends the requests, then the probe, a request the server answers;
    // the replies up to the probe's, its own last. The server answers in
    // order, so a request's reply comes before the probe's or never.
    std::vector<Bytes> Exchange(const CBootp& server, const std::vector<Bytes>& requests, const Bytes& probe)
    {
        const SocketAddress to(SocketAddress::kLoopback, server.BootpPort());
        for (const Bytes& request : requests)
            m_unit.SendTo(request.data(), request.size(), to);
        m_unit.SendTo(probe.data(), probe.size(), to);
        std::vector<Bytes> replies;
        for (;;) {
            Bytes buffer(2048);
            const int n = m_unit.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 10000);
            if (n < 0)
                return replies;
            buffer.resize(static_cast<std::size_t>(n));
            replies.push_back(buffer);
            if (n >= 8 && std::equal(buffer.begin() + 4, buffer.begin() + 8, probe.begin() + 4))
                return replies;
        }
    }

    std::vector<std::string> Records() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : Lines())
            if (line.find("BOOTP server") != std::string::npos || line.find("TFTP server") != std::string::npos)
                lines.push_back(line);
        return lines;
    }

    CEnvironmentVariable m_adapters{CNetworkAdapters::kOverrideVariable, "lo=127.0.0.1/8"};
    TempFolder m_table;
    TempFolder m_boot;
    CSocket m_unit;
};

TEST_F(BootpServer, AUnitAskingTwiceGetsOneAddressAndTheTableOneLine)
{
    auto server = Start(m_boot.Text());
    ASSERT_NE(server->BootpPort(), 0);
    EXPECT_TRUE(server->GetStartFailures().empty());
    const auto replies = Exchange(*server, {Request(1)}, Request(2));
    ASSERT_EQ(replies.size(), 2u);
    for (const Bytes& reply : replies) {
        ASSERT_EQ(reply.size(), CBootp::kMessageSize);
        EXPECT_EQ(Dotted(reply.data() + CBootp::kYourAddress), "192.168.0.150");
        EXPECT_EQ(FileField(reply), m_boot.Text() + "ppc_code_nvu.mcs");
    }
    EXPECT_EQ(ReadFile(m_table.path / CIpAddressTable::kFileName), "MAC=02:00:00:00:1a:2b\tIP=192.168.0.150\r\n");
    EXPECT_TRUE(zv::test::WaitUntil([&] { return server->GetAnswered() == 2; })) << "counted once the reply is out";
    EXPECT_TRUE(Records().empty());
}

TEST_F(BootpServer, TheReplyGoesOutOfEveryAdapterThatCanSendIt)
{
    // The second adapter's address is none of this machine's: its socket
    // cannot be bound, and it is passed over.
    CEnvironmentVariable adapters(CNetworkAdapters::kOverrideVariable,
                                  "a=127.0.0.1/8;b=10.254.254.254/8;c=127.0.0.3/8");
    auto server = Start(m_boot.Text());
    const Bytes request = Request(1);
    m_unit.SendTo(request.data(), request.size(), SocketAddress(SocketAddress::kLoopback, server->BootpPort()));
    ASSERT_TRUE(zv::test::WaitUntil([&] { return server->GetHandled() == 1; }));
    std::vector<SocketAddress> senders;
    Bytes buffer(2048);
    SocketAddress from;
    while (m_unit.ReceiveFrom(buffer.data(), buffer.size(), &from, 0) == static_cast<int>(CBootp::kMessageSize))
        senders.push_back(from);
    EXPECT_EQ(senders,
              (std::vector<SocketAddress>{{0x7F000001, server->BootpPort()}, {0x7F000003, server->BootpPort()}}));
}

TEST_F(BootpServer, AFullRangeIsRecordedOnceAndLeavesTheUnitUnanswered)
{
    WriteFile(m_table.path / CIpAddressTable::kFileName, FullRangeText());
    auto server = Start(m_boot.Text());
    Bytes late = Request(1);
    late[CBootp::kHardwareAddress + 5] = 0x77;
    const std::uint8_t known[6] = {0x02, 0x00, 0x00, 0x00, 0x01, 0x96};  // a unit of the table
    const auto replies = Exchange(*server, {late, late, late}, Request(2, known));
    ASSERT_EQ(replies.size(), 1u) << "only the probe is answered";
    EXPECT_EQ(Dotted(replies[0].data() + CBootp::kYourAddress), "192.168.0.150");
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u) << "one record of a lasting fault";
    EXPECT_NE(records[0].find("02:00:00:00:1a:77"), std::string::npos) << records[0];
    EXPECT_NE(records[0].find("192.168.0.150-192.168.0.250"), std::string::npos) << records[0];
}

TEST_F(BootpServer, ABootPathLongerThanTheFileFieldIsRecordedAndNeverHandedOut)
{
    const fs::path deep = m_boot.path / std::string(120, 'd');
    fs::create_directories(deep);
    auto server = Start(deep.string());
    const auto records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find(server->BootPath()), std::string::npos);
    const Bytes request = Request(1);
    const SocketAddress to(SocketAddress::kLoopback, server->BootpPort());
    m_unit.SendTo(request.data(), request.size(), to);
    ASSERT_TRUE(zv::test::WaitUntil([&] { return server->GetHandled() == 1; }));
    EXPECT_EQ(server->GetAnswered(), 0);
    Bytes buffer(2048);
    EXPECT_EQ(m_unit.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 0), CSocket::kTimeout) << "no reply came";
    EXPECT_FALSE(fs::exists(m_table.path / CIpAddressTable::kFileName)) << "no address was given";
    EXPECT_EQ(Records().size(), 1u);
}

TEST_F(BootpServer, PortsTakenAreRecordedAndTheServerRunsWithout)
{
    // A socket without address reuse holds the port against the server's.
    CSocket holder;
    ASSERT_TRUE(holder.Create(CSocket::Udp));
    ASSERT_TRUE(holder.Bind(SocketAddress(0, 0)));
    CBootp::Settings settings;
    settings.tableFolder = m_table.Text();
    settings.bootFolder = m_boot.Text();
    settings.network.serverPort = holder.LocalAddress().port;
    settings.network.tftpPort = holder.LocalAddress().port;
    {
        CBootp server(settings);
        EXPECT_EQ(server.BootpPort(), 0);
        EXPECT_EQ(server.GetStartFailures(),
                  (std::vector<unsigned>{app::ids::BOOTP_PORT_UNAVAILABLE, app::ids::TFTP_PORT_UNAVAILABLE}));
        EXPECT_FALSE(server.IsBootpThreadRunning());
        EXPECT_FALSE(server.IsTftpThreadRunning());
        EXPECT_TRUE(server.SetAddress(kUnitText, "192.168.0.170")) << "the table is kept all the same";
    }
    const auto records = Records();
    ASSERT_EQ(records.size(), 2u);
    const std::string port = "port " + std::to_string(settings.network.serverPort);
    EXPECT_NE(records[0].find("BOOTP server: UDP " + port), std::string::npos) << records[0];
    EXPECT_NE(records[1].find("TFTP server: UDP " + port), std::string::npos) << records[1];
    EXPECT_NE(records[0].find(std::strerror(EADDRINUSE)), std::string::npos) << records[0];
}

TEST(BootpStop, StoppingWakesAndJoinsBothThreads)
{
    TempFolder table;
    CBootp::Settings settings;
    settings.tableFolder = table.Text();
    settings.bootFolder = table.Text();
    settings.network.serverPort = 0;
    settings.network.tftpPort = 0;
    // A wait far longer than the test's: only a wake ends it.
    settings.waitMs = 24 * 3600 * 1000;
    auto server = std::make_unique<CBootp>(settings);
    ASSERT_TRUE(server->IsBootpThreadRunning());
    ASSERT_TRUE(server->IsTftpThreadRunning());
    std::atomic<bool> gone{false};
    std::thread stopper([&] {
        server.reset();
        gone = true;
    });
    const bool stopped = zv::test::WaitUntil([&] { return gone.load(); });
    EXPECT_TRUE(stopped) << "the destructor still waits for a thread";
    if (stopped)
        stopper.join();
    else
        stopper.detach();
}

// ---------------------------------------------------------------------------
// In network namespaces of the test's own, on the real ports

struct SRun
{
    int code = -1;
    std::string output;
};

// Runs a program without a shell and takes what it writes to its standard
// output; its errors go nowhere.
SRun RunCapture(const std::vector<std::string>& argv)
{
    SRun run;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    const bool started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe[1]);
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipe[0]);
    int status = 0;
    if (started && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.code = WEXITSTATUS(status);
    return run;
}

bool Installed(const std::string& program)
{
    return RunCapture({"sh", "-c", "command -v " + program}).code == 0;
}

// The values of bootpc's shell assignments (NAME='value').
std::map<std::string, std::string> Assignments(const std::string& output)
{
    std::map<std::string, std::string> values;
    for (const std::string& line : Lines(output)) {
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string value = line.substr(eq + 1);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
            value = value.substr(1, value.size() - 2);
        values[line.substr(0, eq)] = value;
    }
    return values;
}

std::string HardwareAddressOf(const char* interface)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, interface, IFNAMSIZ - 1);
    const bool ok = fd >= 0 && ::ioctl(fd, SIOCGIFHWADDR, &request) == 0;
    if (fd >= 0)
        ::close(fd);
    return ok ? CIpAddressTable::HardwareAddressText(reinterpret_cast<const std::uint8_t*>(request.ifr_hwaddr.sa_data))
              : std::string();
}

// The programs the tests run in a namespace bind port 68 and change links,
// which a process keeps the right to across exec only as root: inside a
// user namespace of its own, the test's user becomes its root. Where the
// namespace is of the network alone, the test runs as root already.
struct SOutsideUser
{
    uid_t uid = ::getuid();
    gid_t gid = ::getgid();

    void BecomeRootInside() const
    {
        auto put = [](const char* file, const std::string& text) {
            const int fd = ::open(file, O_WRONLY | O_CLOEXEC);
            if (fd < 0)
                return;
            if (::write(fd, text.data(), text.size()) < 0) {
            }
            ::close(fd);
        };
        put("/proc/self/setgroups", "deny");
        put("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
        put("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
    }
};

CBootp::Settings RealPorts(const TempFolder& table, const TempFolder& boot)
{
    CBootp::Settings settings;
    settings.tableFolder = table.Text();
    settings.bootFolder = boot.Text();
    return settings;
}

// bootpc sends hardware type 0 on the loopback interface: it asks over a
// veth pair, from zvb0, and the server answers from zvb1's address, whose
// broadcast leaves through zvb1 to reach it.
TEST(BootpNamespace, DebiansBootpcGetsTheTablesOrTheNextFreeAddressAndTheBootPath)
{
    for (const char* program : {"bootpc", "ip"})
        if (!Installed(program))
            GTEST_SKIP() << program << " is not installed (scripts/setup-debian.sh)";
    TempFolder table;
    TempFolder boot;
    const SOutsideUser user;
    nettest::RunNamespaceTest([&] {
        user.BecomeRootInside();
        nettest::Checks check;
        const std::vector<std::vector<std::string>> link{
            {"ip", "link", "add", "zvb0", "type", "veth", "peer", "name", "zvb1"},
            {"ip", "link", "set", "zvb0", "up"},
            {"ip", "link", "set", "zvb1", "up"},
            {"ip", "addr", "add", "10.167.0.1/24", "dev", "zvb1"},
            {"ip", "route", "add", "255.255.255.255/32", "dev", "zvb0"},
        };
        for (const auto& argv : link)
            if (!check(RunCapture(argv).code == 0, "ip " + argv[1] + " " + argv[2] + " " + argv[3]))
                return check.failures;
        CEnvironmentVariable adapters(CNetworkAdapters::kOverrideVariable, "zvb1=10.167.0.1/24");
        CBootp server(RealPorts(table, boot));
        check(server.GetStartFailures().empty(), "both servers started on ports 67 and 69");
        const std::string mac = HardwareAddressOf("zvb0");
        if (!check(CIpAddressTable::NormalHardwareAddress(mac).has_value(), "zvb0's hardware address: " + mac))
            return check.failures;
        const fs::path file = table.path / CIpAddressTable::kFileName;
        auto ask = [&](const std::string& expected, const std::string& round) {
            const SRun run =
                RunCapture({"bootpc", "--dev", "zvb0", "--bootfile", "NVU", "--returniffail", "--timeoutwait", "10"});
            auto values = Assignments(run.output);
            check(run.code == 0, round + ": bootpc succeeded:\n" + run.output);
            check(values["IPADDR"] == expected, round + ": IPADDR " + values["IPADDR"] + ", not " + expected);
            check(values["BOOTFILE"] == server.BootPath(), round + ": BOOTFILE " + values["BOOTFILE"]);
            check(ReadFile(file) == "MAC=" + mac + "\tIP=" + expected + "\r\n",
                  round + ": one line: " + ReadFile(file));
        };
        ask("192.168.0.150", "a new unit");
        ask("192.168.0.150", "the same unit again");
        check(server.SetAddress(mac, "192.168.0.177"), "address set");
        ask("192.168.0.177", "the address the table was given");
        return check.failures;
    });
}

TEST(BootpNamespace, OnlyTheGoodOfScapysRequestsIsAnswered)
{
    if (RunCapture({"/usr/bin/python3", "-c", "import scapy.layers.dhcp"}).code != 0)
        GTEST_SKIP() << "python3-scapy is not installed (scripts/setup-debian.sh)";
    TempFolder table;
    TempFolder boot;
    const SOutsideUser user;
    nettest::RunNamespaceTest([&] {
        user.BecomeRootInside();
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcasts routed to loopback"))
            return check.failures;
        CEnvironmentVariable adapters(CNetworkAdapters::kOverrideVariable, "lo=127.0.0.1/8");
        CBootp server(RealPorts(table, boot));
        check(server.GetStartFailures().empty(), "both servers started on ports 67 and 69");
        const SRun run = RunCapture({"/usr/bin/python3", ZELVAR_BOOTP_REQUESTS});
        const std::vector<std::string> expected{
            "reply good yiaddr=192.168.0.150 siaddr=0.0.0.0 file=" + server.BootPath() + " size=300", "done"};
        check(run.code == 0 && Lines(run.output) == expected, "the replies:\n" + run.output);
        check(ReadFile(table.path / CIpAddressTable::kFileName) == "MAC=02:00:00:00:00:09\tIP=192.168.0.150\r\n",
              "the good request's unit alone in the table");
        return check.failures;
    });
}

// The unit told to restart asks for its address and loads its boot file as
// the address change of unit discovery has it: the table holds the new
// address, "RES" goes to the unit, and it answers at that address.
TEST(BootpNamespace, TheSimulatedUnitBootsByBootpAndTftpAndAnswersAtItsNewAddress)
{
    TempFolder table;
    TempFolder boot;
    std::string image(1300, '\0');
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>(i * 7 + 3);
    WriteFile(boot.path / CBootp::kBootFileName, image);
    nettest::RunNamespaceTest([&] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcasts routed to loopback"))
            return check.failures;
        CEnvironmentVariable adapters(CNetworkAdapters::kOverrideVariable, "lo=127.0.0.1/8");
        CBootp server(RealPorts(table, boot));
        check(server.GetStartFailures().empty(), "both servers started on ports 67 and 69");
        CNvuSimulator::Settings settings;
        settings.address = 0x7F000002;
        settings.port = 0;
        settings.tftpPort = 0;
        settings.bootAfterReset = true;
        CNvuSimulator unit(settings);
        if (!check(unit.Start(), "the unit started"))
            return check.failures;
        std::uint8_t hardware[6];
        unit.GetHardwareAddress(hardware);
        check(server.SetAddress(CIpAddressTable::HardwareAddressText(hardware), "127.0.0.9"), "the new address set");

        CSocket program;
        program.Create(CSocket::Udp);
        program.Bind(SocketAddress(SocketAddress::kLoopback, 0));
        Bytes reset(12, 0);
        reset[0] = 12;
        std::memcpy(reset.data() + 4, "RES", 3);
        reset[8] = 1;
        program.SendTo(reset.data(), reset.size(), SocketAddress(0x7F000002, unit.GetPort()));
        check(zv::test::WaitUntil([&] { return unit.GetBoots() + unit.GetFailedBoots() > 0; }), "the unit booted");
        check(unit.GetBoots() == 1, "the boot succeeded");
        check(unit.GetAddress() == 0x7F000009, "the unit is at " + SocketAddress::IpText(unit.GetAddress()));
        check(unit.GetBootFileName() == server.BootPath(), "it asked for " + unit.GetBootFileName());
        const Bytes loaded = unit.GetBootFile();
        check(std::string(loaded.begin(), loaded.end()) == image, "it loaded the boot file whole");
        check(zv::test::WaitUntil([&] { return server.Tftp().GetCounters().served.load() == 1; }),
              "the TFTP server served it");

        Bytes version(12, 0);
        version[0] = 12;
        std::memcpy(version.data() + 4, "VR", 2);
        program.SendTo(version.data(), version.size(), SocketAddress(0x7F000009, unit.GetPort()));
        bool answered = false;
        Bytes buffer(4096);
        for (;;) {
            SocketAddress from;
            const int n = program.ReceiveFrom(buffer.data(), buffer.size(), &from, 10000);
            if (n < 0)
                break;
            if (n >= 8 && std::memcmp(buffer.data() + 4, "VA\0\0", 4) == 0) {
                answered = from.ip == 0x7F000009;
                break;
            }
        }
        check(answered, "VA from the new address");
        return check.failures;
    });
}

}  // namespace
