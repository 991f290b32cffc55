// The remote display: which pings go out, in which format, and its settings
// with the transmit protocol they call for.
#include "outputs/RDDialog.h"

#include "base/RegistrySupport.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr std::uint64_t kSecond = 10'000'000;
// A file time in 2026.
constexpr std::uint64_t kPingTime = 134'100'194'452'500'000ULL;

class CFakePings final : public IQYNetPingSource
{
public:
    std::vector<SQYNetChannelPing> channels;
    int GetChannelCount() override { return static_cast<int>(channels.size()); }
    bool GetChannelPing(int index, SQYNetChannelPing& out) override
    {
        if (index < 0 || index >= GetChannelCount())
            return false;
        out = channels[static_cast<std::size_t>(index)];
        return true;
    }
    bool GetSamples(int, std::int16_t*, int, double, double, int, int) override { return false; }
    int GetSingleTargets(int, std::vector<std::array<float, 5>>&) override { return 0; }
    double GetEnvironmentSoundVelocity() override { return 1500.0; }
    bool GetWaterTemperature(double&) override { return false; }
};

class CCapturingDisplay final : public CRDDialog
{
public:
    using CRDDialog::CRDDialog;
    std::vector<std::string> sent;

protected:
    void SendText(const std::string& text) override { sent.push_back(text); }
};

class RDDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pings.channels.resize(2);
        pings.channels[0].depth = 12.34;
        pings.channels[1].depth = 1234.56;
        pings.channels[1].transducerDepth = 5.0;
    }
    void Ping(std::uint64_t time)
    {
        for (SQYNetChannelPing& c : pings.channels)
            c.pingTime = time;
        display.SendDepth(pings);
    }

    bool replaying = false;
    CFakePings pings;
    CCapturingDisplay display{[this] { return replaying; }};
};

TEST_F(RDDialog, DepthTexts)
{
    const std::pair<double, const char*> cases[] = {
        {12.34, "  12.3\r\n"}, {1234.56, "1234.6\r\n"}, {5.0, "   5.0\r\n"}, {0.0, "   0.0\r\n"}};
    for (const auto& [depth, text] : cases)
        EXPECT_EQ(CRDDialog::DepthText(CRDDialog::kRD1, 0, kPingTime, depth, 0.0, 0.0, 0.0), text) << depth;
    EXPECT_EQ(CRDDialog::DepthText(7, 0, kPingTime, 12.0, 0.0, 0.0, 0.0), "");
    const std::string nmea = CRDDialog::DepthText(CRDDialog::kNMEA, 1, kPingTime, 12.34, 5.0, 0.0, 0.0);
    EXPECT_EQ(nmea.rfind("$", 0), 0u) << nmea;
    EXPECT_NE(nmea.find('*'), std::string::npos) << nmea;
}

// Pings 0.1 s apart: every second one goes out; a replay wound back starts
// afresh.
TEST_F(RDDialog, AtMostFiveTimesASecond)
{
    display.ApplySettings({1, CRDDialog::kRD1, 0});
    for (int i = 0; i < 10; ++i)
        Ping(kPingTime + static_cast<std::uint64_t>(i) * kSecond / 10);
    EXPECT_EQ(display.sent.size(), 5u);
    Ping(kPingTime - kSecond);
    EXPECT_EQ(display.sent.size(), 6u);
    EXPECT_EQ(display.sent.back(), "  12.3\r\n");
    EXPECT_EQ(display.GetReplayPingTime(), 0u);
    replaying = true;
    Ping(kPingTime + 5 * kSecond);
    EXPECT_EQ(display.GetReplayPingTime(), kPingTime + 5 * kSecond);
}

TEST_F(RDDialog, ChosenChannelOnly)
{
    display.ApplySettings({1, CRDDialog::kRD1, 1});
    Ping(kPingTime);
    ASSERT_EQ(display.sent.size(), 1u);
    EXPECT_EQ(display.sent[0], "1234.6\r\n");
    // Past the last channel, an unknown format, output off: nothing.
    for (const CRDDialog::Settings& s :
         {CRDDialog::Settings{1, CRDDialog::kRD1, 2}, CRDDialog::Settings{1, 5, 0}, CRDDialog::Settings{0, 0, 0}}) {
        display.ApplySettings(s);
        Ping(kPingTime + 10 * kSecond);
    }
    EXPECT_EQ(display.sent.size(), 1u);
}

TEST_F(RDDialog, SettingsAndTransmitProtocol)
{
    EXPECT_EQ(CRDDialog::TransmitProtocol({1, 0, 0}), "ASCII");
    EXPECT_EQ(CRDDialog::TransmitProtocol({0, 1, 3}), "");
    EXPECT_EQ(CRDDialog::TransmitProtocol({2, 0, 0}), "");

    CTempHives hives;
    HKEY root = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root,
                             nullptr),
              0);
    CRegistrySupport reg;
    DWORD value = 9;
    // Missing values are written back with their defaults.
    EXPECT_TRUE(display.SetSettingsKey(root));
    EXPECT_TRUE(reg.GetDword(root, "", "RemoteFormat", value, FALSE));
    EXPECT_EQ(value, 0u);
    display.ApplySettings({1, CRDDialog::kNMEA, 3});
    CCapturingDisplay other{[] { return false; }};
    other.SetSettingsKey(root);
    EXPECT_EQ(other.GetSettings(), (CRDDialog::Settings{1, CRDDialog::kNMEA, 3}));
    other.Reset();
    display.ReadSettings(root);
    EXPECT_EQ(display.GetSettings(), CRDDialog::Settings{});
    RegCloseKey(root);
}

}  // namespace
