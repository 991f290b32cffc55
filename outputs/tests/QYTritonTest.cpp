// The raw-data output: its settings, destination and switch, the
// configuration it asks of the recorder, and the recorder's stream through
// it as the acquisition program's own decoder (sim/rawsink) reads it.
#include "outputs/QYTriton.h"

#include "base/RegistrySupport.h"
#include "platform/TempHives.h"
#include "recording/tests/StoreFixture.h"
#include "sim/rawsink/RawStreamDecoder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using zv::sim::CRawStreamDecoder;
using zv::sim::SRawDatagram;

class CountingRecorder : public IRawDataRecorder
{
public:
    void WriteConfiguration() override { ++requests; }
    int requests = 0;
};

class QYTritonTest : public ::testing::Test
{
protected:
    QYTritonTest()
    {
        listener.Create(CSocket::Udp);
        listener.Bind(SocketAddress(SocketAddress::kLoopback, 0));
        listener.SetReceiveBufferSize(1 << 22);
    }

    // Points the output at the listener and switches it on as the dialog does.
    void Enable()
    {
        const CQYTriton::DialogValues opened = out.GetDialogValues();
        CQYTriton::DialogValues on = opened;
        on.port = listener.LocalAddress().port;
        on.enabled = true;
        out.ApplyDialogValues(opened, on);
    }

    std::vector<std::vector<std::uint8_t>> Drain()
    {
        CSocket marker;
        marker.Create(CSocket::Udp);
        marker.SendTo("END", 3, listener.LocalAddress());
        std::vector<std::vector<std::uint8_t>> got;
        std::vector<std::uint8_t> b(70000);
        for (;;) {
            const int n = listener.ReceiveFrom(b.data(), b.size(), nullptr, 2000);
            if (n < 0 || (n == 3 && std::memcmp(b.data(), "END", 3) == 0))
                break;
            got.emplace_back(b.begin(), b.begin() + n);
        }
        return got;
    }

    CSocket listener;
    CountingRecorder recorder;
    CQYTriton out{nullptr, recorder};
};

TEST_F(QYTritonTest, WithTheDefaultsNothingGoes)
{
    EXPECT_EQ(out.GetSettings().DestPort, 4711u);
    EXPECT_EQ(out.GetSettings().DestAddr, "127.0.0.1");
    EXPECT_FALSE(out.IsEnabled());
    EXPECT_FALSE(out.IsTimerRunning());
    out.OnConfigTimer();
    EXPECT_EQ(recorder.requests, 0);
}

// "Output Enabled" asks for a configuration at once and starts the timer,
// whose every tick asks again; switching off stops both.
TEST_F(QYTritonTest, SwitchingOnAsksForTheConfigurationAndStartsTheTimer)
{
    Enable();
    EXPECT_TRUE(out.IsEnabled());
    EXPECT_EQ(recorder.requests, 1);
    EXPECT_TRUE(out.IsTimerRunning());
    out.OnConfigTimer();
    EXPECT_EQ(recorder.requests, 2);

    const CQYTriton::DialogValues opened = out.GetDialogValues();
    CQYTriton::DialogValues off = opened;
    off.enabled = false;
    out.ApplyDialogValues(opened, off);
    EXPECT_FALSE(out.IsEnabled());
    EXPECT_FALSE(out.IsTimerRunning());
    out.OnConfigTimer();
    EXPECT_EQ(recorder.requests, 2);
    const std::uint8_t body[] = {1, 2, 3, 4};
    EXPECT_FALSE(out.Send(body));
}

// The address and port change only where they were edited; an address that
// does not parse is no destination, never a broadcast; a typed
// 255.255.255.255 is one.
TEST_F(QYTritonTest, DestinationFromTheDialog)
{
    Enable();
    const std::uint8_t body[] = {'R', 'A', 'W', '0'};
    EXPECT_TRUE(out.Send(body));
    EXPECT_EQ(Drain().size(), 1u);

    CQYTriton::DialogValues opened = out.GetDialogValues();
    CQYTriton::DialogValues edited = opened;
    edited.address = {255, 255, 255, 255};
    out.ApplyDialogValues(opened, edited);
    EXPECT_EQ(out.GetSettings().DestAddr, "255.255.255.255");
    EXPECT_TRUE(out.IsEnabled());
    EXPECT_EQ(out.GetSettings().DestPort, listener.LocalAddress().port) << "the port was not edited";
}

TEST(QYTritonSettings, AddressThatDoesNotParseAndPortModulo)
{
    CTempHives hives;
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                             nullptr),
              ERROR_SUCCESS);
    CRegistrySupport reg;
    reg.SetString(root, "QYTriton", "DestAddr", "acquisition-pc");
    reg.SetDword(root, "QYTriton", "DestPort", 65536 + 4000);
    reg.SetDword(root, "QYTriton", "OutputDatagrams", 1);
    CountingRecorder recorder;
    {
        CQYTriton out(root, recorder);
        EXPECT_FALSE(out.IsEnabled());
        const std::uint8_t body[] = {1, 2, 3, 4};
        EXPECT_FALSE(out.Send(body));
        EXPECT_TRUE(out.IsTimerRunning());
        EXPECT_EQ(out.GetDialogValues().port, 4000u);
        EXPECT_EQ(out.GetDialogValues().address, (std::array<int, 4>{0, 0, 0, 0}));
    }
    // Missing values come back as their defaults, written back.
    HKEY other = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Other", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &other, nullptr),
              ERROR_SUCCESS);
    {
        CQYTriton out(other, recorder);
    }
    DWORD port = 0, on = 7;
    std::string address;
    EXPECT_TRUE(reg.GetDword(other, "QYTriton", "DestPort", port, FALSE));
    EXPECT_TRUE(reg.GetDword(other, "QYTriton", "OutputDatagrams", on, FALSE));
    EXPECT_TRUE(reg.GetString(other, "QYTriton", "DestAddr", address, FALSE));
    EXPECT_EQ(port, 4711u);
    EXPECT_EQ(on, 0u);
    EXPECT_EQ(address, "127.0.0.1");
    RegCloseKey(other);
    RegCloseKey(root);
}

TEST_F(QYTritonTest, SocketOpensAgainAfterAFailedSend)
{
    Enable();
    const std::vector<std::uint8_t> tooLarge(70000, 0);
    EXPECT_FALSE(out.Send(tooLarge));
    EXPECT_FALSE(out.IsReady());
    const std::uint8_t body[] = {'C', 'O', 'N', '0'};
    EXPECT_TRUE(out.Send(body));
    EXPECT_EQ(Drain().size(), 1u);
}

// The recorder's stream through the output: the configuration with "DUMMY"
// first, then every channel's samples of each ping, and the configuration
// again when asked; the acquisition side reads them all.
TEST_F(QYTritonTest, RecorderStreamReachesTheAcquisitionSide)
{
    using namespace zv::recording;
    Enable();
    test::CFakeSounder sounder(2, 300);
    test::CFakeEvents events;
    CStore store(sounder, events, &out, SStoreSettings{});
    sounder.SetPing(1, 1000);
    store.WritePing();
    sounder.SetPing(2, 2000);
    store.WritePing();
    store.WriteNmeaToFiles("$GPGGA,1", 2500);
    store.WriteConfigurationToUdp();

    std::vector<std::string> types;
    std::vector<SRawDatagram> samples;
    for (const auto& body : Drain()) {
        SRawDatagram d;
        std::string why;
        ASSERT_TRUE(CRawStreamDecoder::Decode(body, d, why)) << why;
        types.push_back(d.type);
        if (d.type == "CON0") {
            EXPECT_EQ(d.text1, "DUMMY");
            EXPECT_EQ(d.text2, "DUMMY");
            EXPECT_EQ(d.channels.size(), 2u);
        }
        if (d.type == "RAW0")
            samples.push_back(d);
    }
    EXPECT_EQ(types, (std::vector<std::string>{"CON0", "RAW0", "RAW0", "RAW0", "RAW0", "NME0", "CON0"}));
    ASSERT_EQ(samples.size(), 4u);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const int ping = int(i / 2) + 1, channel = int(i % 2);
        EXPECT_EQ(samples[i].channel, channel + 1);
        ASSERT_EQ(samples[i].power.size(), 300u);
        EXPECT_EQ(samples[i].power[299], test::CFakeSounder::Expected(ping, channel, 299));
    }
    EXPECT_EQ(store.UdpFailedCount(), 0u);
}

}  // namespace
