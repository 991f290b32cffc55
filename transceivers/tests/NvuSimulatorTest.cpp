// The simulated wide-band unit on loopback, spoken to by hand and through the
// program's TFTP client: its answers to the connect sequence, its filter and
// firmware transfers, a ping on every channel in both sample formats, and
// its answer to a unit search's broadcast in a network namespace.
#include "sim/nvu/NvuSimulator.h"

#include "platform/ByteReader.h"
#include "testsupport/NetNamespace.h"
#include "transceivers/Tftp.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Command(const char* code, std::size_t length, std::uint32_t word = 0)
{
    Bytes b(length, 0);
    const auto size = static_cast<std::uint32_t>(length);
    std::memcpy(b.data(), &size, 4);
    std::memcpy(b.data() + 4, code, std::min<std::size_t>(std::strlen(code), 4));
    if (length >= 12)
        std::memcpy(b.data() + 8, &word, 4);
    return b;
}

std::string Code(const Bytes& d)
{
    std::string code(reinterpret_cast<const char*>(d.data() + 4), 4);
    code.erase(code.find_last_not_of('\0') + 1);
    return code;
}

struct Unit
{
    CNvuSimulator sim;
    CSocket socket;
    SocketAddress address;
    explicit Unit(CNvuSimulator::Settings s) : sim(Patch(s))
    {
        started = sim.Start();
        socket.Create(CSocket::Udp);
        socket.Bind(SocketAddress(SocketAddress::kLoopback, 0));
        address = SocketAddress(SocketAddress::kLoopback, sim.GetPort());
    }
    static CNvuSimulator::Settings Patch(CNvuSimulator::Settings s)
    {
        s.address = SocketAddress::kLoopback;
        s.port = 0;
        s.tftpPort = 0;
        return s;
    }
    void Send(const Bytes& d) { socket.SendTo(d.data(), d.size(), address); }
    Bytes Next()
    {
        Bytes b(4096);
        const int n = socket.ReceiveFrom(b.data(), b.size(), nullptr, 20000);
        b.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return b;
    }
    std::string NextInfo()
    {
        const Bytes d = Next();
        if (d.size() < 17 || Code(d) != "INFO")
            return "?";
        return reinterpret_cast<const char*>(d.data() + 16);
    }
    bool started = false;
};

TEST(NvuSimulator, AnswersTheConnectSequenceAndAcknowledgesFiltersByTftp)
{
    Unit unit({});
    ASSERT_TRUE(unit.started);
    unit.Send(Command("VR", 12, 77));
    const Bytes va = unit.Next();
    ASSERT_EQ(Code(va), "VA");
    const std::string text(reinterpret_cast<const char*>(va.data() + 44));
    EXPECT_NE(text.find("Serial no.6699\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Firmware Filename: nvu4_main_05032024_v101.xsvf"), std::string::npos) << text;

    unit.Send(Command("HD", 8));
    EXPECT_EQ(unit.NextInfo(), "HD");
    unit.Send(Command("HC", 16));
    EXPECT_EQ(unit.NextInfo(), "HC");
    unit.Send(Command("RC#", 52));
    EXPECT_EQ(unit.NextInfo(), "RC#");

    const fs::path folder = fs::temp_directory_path() / ("zvnvusim" + std::to_string(getpid()));
    fs::create_directories(folder);
    CTftp client;
    for (int c = 0; c < 4; ++c) {
        const fs::path file = folder / ("rx" + std::to_string(c) + "filter.txt");
        std::ofstream(file) << "64 0 1 1.0\n" << std::string(700, '1');
        std::string why;
        ASSERT_TRUE(client.TftpPutFile(file.string(), "127.0.0.1", 1, unit.sim.GetTftpPort(), &why)) << why;
        EXPECT_EQ(unit.NextInfo(), file.filename().string());
    }
    EXPECT_EQ(unit.sim.GetFiles().at("rx2filter.txt").size(), 711u);
    fs::remove_all(folder);

    unit.Send(Command("SYNC", 8));
    EXPECT_EQ(unit.NextInfo(), "SYNC");
    unit.Send(Command("TC", 28));
    EXPECT_EQ(unit.NextInfo(), "TC");
    unit.Send(Command("DCSR", 8));
    EXPECT_EQ(Code(unit.Next()), "DCSA");
}

TEST(NvuSimulator, UnitsAnswerTheSearchBroadcastFromTheirOwnAddresses)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
            return 1;
        // Two units on the machine, each on the unit port of its own address.
        std::map<std::uint32_t, std::uint32_t> serialOf{{0x7F000002, 0x1A2B}, {0x7F000003, 0x00C0FFEE}};
        std::vector<std::unique_ptr<CNvuSimulator>> units;
        for (const auto& [address, serial] : serialOf) {
            CNvuSimulator::Settings s;
            s.address = address;
            s.tftpPort = 0;
            s.discoveryPort = 12346;
            s.serial = serial;
            units.push_back(std::make_unique<CNvuSimulator>(s));
            if (!check(units.back()->Start(), "unit started"))
                return 1;
        }
        // The search asks from the adapter's address and its own port.
        CSocket search;
        search.Create(CSocket::Udp);
        search.SetBroadcast(true);
        if (!check(search.Bind(SocketAddress(SocketAddress::kLoopback, 12348)), "search socket"))
            return 1;
        const Bytes request = Command("VR", 12);
        search.SendTo(request.data(), request.size(), SocketAddress(0xFFFFFFFF, 12346));
        std::map<std::uint32_t, int> answers;
        for (std::size_t i = 0; i < serialOf.size(); ++i) {
            Bytes va(2048);
            SocketAddress from;
            const int n = search.ReceiveFrom(va.data(), va.size(), &from, 20000);
            if (!check(n > 44, "an answer"))
                break;
            va.resize(static_cast<std::size_t>(n));
            ++answers[from.ip];
            check(from.port == 12346, "from the unit port");
            check(Code(va) == "VA", "a version answer");
            CByteReader r(va.data(), va.size());
            check(r.U32(0) == va.size(), "its length");
            const std::uint32_t serial = serialOf.count(from.ip) ? serialOf[from.ip] : 0;
            check(r.U32(20) == serial, "the serial number at +20");
            const std::string text(reinterpret_cast<const char*>(va.data() + 44));
            char ethernet[32];
            std::snprintf(ethernet, sizeof ethernet, "Ethernet: 02-00-%02X-%02X-%02X-%02X\r\n", serial >> 24,
                          serial >> 16 & 0xFF, serial >> 8 & 0xFF, serial & 0xFF);
            for (const std::string& part :
                 {"Serial no." + std::to_string(serial) + "\r\n", std::string(ethernet),
                  std::string("PPC Embedded Software\r\nRev 1."), std::string("PPC Download Software\r\nRev 2."),
                  std::string("Firmware Filename: nvu4_main_05032024_v101.xsvf\r\n")})
                check(text.find(part) != std::string::npos, "text holds " + part + " in " + text);
        }
        check(answers.size() == 2 && answers.begin()->second == 1, "each unit answered once");
        // The search's answer leaves the units talking to no program.
        for (const auto& unit : units)
            check(unit->GetReceivedCodes().empty(), "no datagram taken as the program's");
        return check.failures;
    });
}

TEST(NvuSimulator, PingsEveryChannelWithItsBottomInBothFormats)
{
    for (bool floats : {true, false}) {
        SCOPED_TRACE(floats ? "float samples" : "16-bit samples");
        CNvuSimulator::Settings s;
        s.floatSamples = floats;
        Unit unit(s);
        ASSERT_TRUE(unit.started);
        unit.Send(Command("VR", 12));
        ASSERT_EQ(Code(unit.Next()), "VA");
        const std::uint32_t samples = 500;
        unit.Send(Command("RI", 12, samples));
        unit.Send(Command("TE", 16, samples));
        EXPECT_EQ(Code(unit.Next()), "TSS#");
        EXPECT_EQ(Code(unit.Next()), "ACI");
        std::map<int, std::vector<float>> power;
        std::uint32_t seen = 0;
        std::uint32_t start = 0;
        while (seen < samples) {
            const Bytes d = unit.Next();
            ASSERT_EQ(Code(d), "RSD#");
            ASSERT_LE(d.size(), 2008u);
            CByteReader r(d.data(), d.size());
            const int channels = r.U8(18);
            const std::uint32_t count = r.U16(16);
            ASSERT_EQ(channels, 4);
            if (seen == 0)
                start = r.U32(24);
            ASSERT_EQ(r.U32(24), start);
            ASSERT_EQ(r.U32(28), start + seen);
            ASSERT_EQ(d.size(), 32 + count * channels * 2 * (floats ? 4u : 2u));
            for (std::uint32_t k = 0; k < count; ++k)
                for (int c = 0; c < channels; ++c) {
                    const std::size_t i = (k * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)) * 2;
                    const float re = floats ? r.F32(32 + 4 * i)
                                            : std::bit_cast<float>(static_cast<std::uint32_t>(r.U16(32 + 2 * i)) << 16);
                    power[c].push_back(re * re);
                }
            seen += count;
        }
        for (int c = 0; c < 4; ++c) {
            const auto& p = power[c];
            const auto peak = std::max_element(p.begin(), p.end()) - p.begin();
            EXPECT_EQ(peak, unit.sim.BottomSample(c)) << "channel " << c;
        }
    }
}

TEST(NvuSimulator, FirmwareReadBackAndItsFaults)
{
    const fs::path folder = fs::temp_directory_path() / ("zvnvufw" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path firmware = folder / "nvu4_main_01062025_v1020.xsvf";
    std::string bytes(3000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i * 7);
    std::ofstream(firmware, std::ios::binary) << bytes;
    const fs::path back = folder / "nvu4_ReadBack.xsvf";
    const auto read = [&back] {
        std::ifstream in(back, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };

    struct Row
    {
        const char* legend;
        bool bad;
        bool broken;
        bool putOk;
        bool same;
    };
    for (const Row& row : {Row{"sound unit", false, false, true, true}, Row{"bad read-back", true, false, true, false},
                           Row{"broken transfer", false, true, false, false}}) {
        SCOPED_TRACE(row.legend);
        CNvuSimulator::Settings s;
        s.badReadBack = row.bad;
        s.breakTransfer = row.broken;
        Unit unit(s);
        ASSERT_TRUE(unit.started);
        CTftp::Timing quick;
        quick.second = std::chrono::milliseconds(20);
        CTftp client(quick);
        EXPECT_EQ(client.TftpPutFile(firmware.string(), "127.0.0.1", 1, unit.sim.GetTftpPort()), row.putOk);
        if (!row.putOk)
            continue;
        ASSERT_TRUE(client.TftpPutFile(back.string(), "127.0.0.1", 0, unit.sim.GetTftpPort()));
        EXPECT_EQ(read() == bytes, row.same);
        unit.Send(Command("VR", 12));
        ASSERT_EQ(Code(unit.Next()), "VA");
        unit.Send(Command("RES", 12, 2));
        EXPECT_EQ(unit.NextInfo(), "Programming succeeded.");
    }
    fs::remove_all(folder);
}

}  // namespace
