// The link in a started application: which objects exist by model, and a
// network telegram travelling decoder -> history -> network output.
#include "outputs/NavNetLink.h"

#include "app/Pelmaris.h"
#include "app/base/RegistrySupport.h"
#include "app/tests/ShellTestSupport.h"
#include "engine/EchoSounder.h"

#include <gtest/gtest.h>

using namespace app;
using namespace shelltest;

namespace {

class NavNetLinkTest : public ::testing::Test {
protected:
    std::unique_ptr<CPelmaris> Make()
    {
        auto pelmaris = std::make_unique<CPelmaris>();
        pelmaris->frameFactory = [](CPelmaris&, unsigned) -> std::unique_ptr<IMainFrame> {
            return std::make_unique<FakeFrame>();
        };
        return pelmaris;
    }
    ShellEnvironment env;
};

TEST_F(NavNetLinkTest, ObjectsByModel)
{
    for (const char* model : {"QY310", "RM30"}) {
        auto pelmaris = Make();
        CNavNetLink link(*pelmaris);
        ASSERT_TRUE(pelmaris->InitInstance({model}));
        EXPECT_NE(pelmaris->GetGeographicInfo(), nullptr) << model;
        ASSERT_NE(link.Annotation(), nullptr) << model;
        // The event command needs a running sounder.
        EXPECT_FALSE(pelmaris->RouteCommand(CAnnotation::kEventCommand)) << model;
        EXPECT_EQ(pelmaris->GetQYNet() != nullptr, std::string(model) == "QY310") << model;
        pelmaris->CloseSensors();
    }
}

TEST_F(NavNetLinkTest, NetworkTelegramReachesHistoryAndIsRelayed)
{
    CSocket listener;
    ASSERT_TRUE(listener.Create(CSocket::Udp));
    ASSERT_TRUE(listener.Bind(SocketAddress(SocketAddress::kLoopback, 0)));
    auto pelmaris = Make();
    CNavNetLink link(*pelmaris);
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    CRegistrySupport().SetDword(CRegistrySupport::UserRootKey(), "Navigation", "PositionSource", 2);
    CQYNet* net = pelmaris->GetQYNet();
    ASSERT_NE(net, nullptr);
    CQYNet::Settings s = net->GetSettings();
    s.DestAddr = "127.0.0.1";
    s.DestPort = listener.LocalAddress().port;
    s.RelayNavigation = 1;
    net->ApplySettings(s);
    pelmaris->GetGeographicInfo()->EnsureHistoryLength(5);

    link.ParseNmeaTelegram("$HEHDT,123.5,T", 134'000'000'000'000'000ULL, kNmeaFromNetwork);
    EXPECT_DOUBLE_EQ(pelmaris->GetGeographicInfo()->GetHeadingAtTime(134'000'000'000'000'000ULL), 123.5);
    char b[64] = {};
    const int n = listener.ReceiveFrom(b, sizeof b, nullptr, 2000);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(b, static_cast<std::size_t>(n)), "$HEHDT,123.5,T");
    pelmaris->CloseSensors();
}

TEST_F(NavNetLinkTest, SentencesReachTheRecorderOnlyWhileASounderWithARecorderRuns)
{
    auto pelmaris = Make();
    CNavNetLink link(*pelmaris);
    ASSERT_TRUE(pelmaris->InitInstance({"QY310"}));
    // Never started: only its presence matters here.
    CEchoSounder sounder;
    bool running = false, recording = false;
    pelmaris->operation.echoSounder = [&]() { return running ? &sounder : nullptr; };
    link.hasRecorder = [&] { return recording; };
    std::vector<std::string> stored;
    link.storeSentence = [&](const std::string& sentence, std::uint64_t) { stored.push_back(sentence); };

    const std::string heading = "$HEHDT,123.5,T";
    const std::string otherPosition = "$GPGGK,120000.00,010120,5957.5555,N,01043.0000,E,3,08,1.2,EHT55.0,M";
    struct Case { bool running, recording; std::vector<std::string> expected; };
    const Case cases[] = {
        {false, true, {}},
        {true, false, {}},
        {true, true, {heading, otherPosition}},
    };
    for (const Case& c : cases) {
        running = c.running;
        recording = c.recording;
        stored.clear();
        link.ParseNmeaTelegram(heading, 134'000'000'000'000'000ULL, kNmeaFromNetwork);
        link.ParseNmeaTelegram(otherPosition, 134'000'000'000'000'000ULL, kNmeaFromNetwork);
        EXPECT_EQ(stored, c.expected) << "running " << c.running << " recording " << c.recording;
    }
    pelmaris->operation.echoSounder = nullptr;
    pelmaris->CloseSensors();
}

}  // namespace
