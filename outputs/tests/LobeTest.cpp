// The lobe link: replies to the menu-path commands, echo-trace telegrams and
// the monitor of received lines.
#include "outputs/Lobe.h"

#include "engine/TSDetection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// 2026-12-11 13:24:05.25 UTC.
constexpr std::uint64_t kTime = 134'100'194'452'500'000ULL;

class CCapturingLobe final : public CLobe
{
public:
    using CLobe::CLobe;
    std::vector<std::string> sent;

protected:
    void SendText(const std::string& text) override { sent.push_back(text); }
};

CLobe::Links TwoChannels()
{
    CLobe::Links links;
    links.fileVersion = [] { return std::string("1.2.3.4"); };
    links.channelItems = [](int channel) -> std::optional<CLobe::SChannelItems> {
        if (channel > 1)
            return std::nullopt;
        CLobe::SChannelItems c;
        c.pulseLength = channel == 0 ? 0.000256 : 0.001024;
        c.maxPower = 2000.4;
        c.gain = 26.5;
        c.angleSensitivityAlongship = 21.9;
        c.angleSensitivityAthwartship = 21.8;
        c.beamWidthAlongship = 7.1;
        c.beamWidthAthwartship = 7.05;
        c.offsetAlongship = -0.05;
        c.offsetAthwartship = 0.125;
        return c;
    };
    return links;
}

class Lobe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    CCapturingLobe lobe{TwoChannels()};
};

TEST_F(Lobe, TimeFieldIsLocalHundredths)
{
    EXPECT_EQ(CLobe::TimeField(kTime), "13240525");
}

TEST_F(Lobe, Replies)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/TE", ""},
        {"TEST/Version", ""},
        {"/TEST MENU/Version", "PR,13240525,/TEST MENU/Version=TQ250 1.2.3.4\r\r\n"},
        {"/TEST", ""},
        {"/SER/Telegram", ""},
        {"/SER/Telegram/Format=2", "PE,13240525/SER/Telegram/Format=2\r\r\n"},
        {"/TRANSCEIVER/Transceiver-2 Menu/Pulse Length",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/Pulse Length=1.024 ms\r\r\n"},
        {"/TRANSCEIVER/Transceiver-1 Menu/Pulse Length",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-1 Menu/Pulse Length=0.256 ms\r\r\n"},
        {"/TRANSCEIVER/Bandwidth", "PR,13240525,/TRANSCEIVER MENU/Transceiver-1 Menu/Bandwidth=Unknown\r\r\n"},
        {"/TRANSCEIVER/2/Max. Power", "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/Max. Power=2000 W\r\r\n"},
        {"/TRANSCEIVER/2/TS Transd. Gain",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/TS Transd. Gain=26.50 dB\r\r\n"},
        {"/TRANSCEIVER/2/Angle Sens.Along",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/Angle Sens.Along=21.90\r\r\n"},
        {"/TRANSCEIVER/2/Angle Sens.Athw.",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/Angle Sens.Athw.=21.80\r\r\n"},
        {"/TRANSCEIVER/2/3 dB Beamw.Athw.",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/3 dB Beamw.Athw.=7.05 dg\r\r\n"},
        {"/TRANSCEIVER/2/Alongship Offset",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/Alongship Offset=-0.05 dg\r\r\n"},
        {"/TRANSCEIVER/2/Athw.ship Offset",
         "PR,13240525,/TRANSCEIVER MENU/Transceiver-2 Menu/Athw.ship Offset=0.12 dg\r\r\n"},
        // "3 dB" names the third channel, which is not there.
        {"/TRANSCEIVER/3 dB Beamw.Along", ""},
        {"/TRANSCEIVER/2/Frequency", ""},
        {"/OTHER/Version", ""},
        {"/TEST%s%n/Version%s", "PR,13240525,/TEST MENU/Version=TQ250 1.2.3.4\r\r\n"},
    };
    for (const auto& [command, reply] : cases)
        EXPECT_EQ(lobe.Reply(command, kTime), reply) << command;
}

TEST_F(Lobe, EchoTraceSwitchAndTelegrams)
{
    SingleTargetRecord record;
    record.Count = 3;
    for (int i = 0; i < 3; ++i)
        record.Targets[static_cast<std::size_t>(i)] = {10.5 + i, -45.04, -47.25, 0.314, -1.5, 99.0};
    // Off at start; and without an open line nothing goes even when on.
    lobe.SendTelegram(0, kTime, record);
    lobe.HandleCommand("/SER/Telegram/Echo-Trace=1", kTime);
    EXPECT_TRUE(lobe.IsEchoTraceOn());
    ASSERT_EQ(lobe.sent.size(), 1u);
    EXPECT_EQ(lobe.sent[0], "PE,13240525/SER/Telegram/Echo-Trace=1\r\r\n");
    lobe.SendTelegram(0, kTime, record);
    EXPECT_EQ(lobe.sent.size(), 1u);
    lobe.HandleCommand("/SER/Telegram/Echo-Trace=0", kTime);
    EXPECT_FALSE(lobe.IsEchoTraceOn());
    lobe.HandleCommand("/SER/Telegram/Echo-Trace=3", kTime);
    EXPECT_TRUE(lobe.IsEchoTraceOn());

    EXPECT_EQ(CLobe::EchoTraceTelegram(1, kTime, record), "E2,13240525, 3,\r\n"
                                                          "  10.50,-45.0,-47.2,  0.31, -1.50,\r\n"
                                                          "  11.50,-45.0,-47.2,  0.31, -1.50,\r\n"
                                                          "  12.50,-45.0,-47.2,  0.31, -1.50,\r\r\n");
    EXPECT_EQ(CLobe::EchoTraceTelegram(-1, kTime, record), "");
    record.Count = 0;
    EXPECT_EQ(CLobe::EchoTraceTelegram(0, kTime, record), "");
    // A count past the record's room reads only the room.
    record.Count = 60000;
    const std::string all = CLobe::EchoTraceTelegram(0, kTime, record);
    EXPECT_EQ(all.substr(0, 20), "E1,13240525,100,\r\n  ");
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 101);
}

// The monitor shows lines only while visible, and never grows past its
// limit however long the dialog takes to refresh.
TEST_F(Lobe, MonitorIsCutOnAppend)
{
    lobe.TakeLine("/TEST MENU/Version", kTime);
    EXPECT_EQ(lobe.GetMonitorText(), "");
    lobe.SetMonitorVisible(true);
    lobe.TakeLine("/TEST MENU/Version", kTime);
    lobe.TakeLine("x", kTime);
    EXPECT_EQ(lobe.GetMonitorText(), "/TEST MENU/Version\r\nx");
    const std::uint64_t revision = lobe.GetMonitorRevision();
    for (int i = 0; i < 500; ++i) {
        lobe.TakeLine("/SER/Telegram/Echo-Trace=" + std::to_string(i), kTime);
        ASSERT_LE(lobe.GetMonitorText().size(), CLobe::kMonitorLimit);
    }
    EXPECT_GT(lobe.GetMonitorRevision(), revision);
    const std::string text = lobe.GetMonitorText();
    EXPECT_EQ(text.substr(text.size() - 30), "/SER/Telegram/Echo-Trace=499\r\n");
    lobe.ClearMonitor();
    EXPECT_EQ(lobe.GetMonitorText(), "");
}

}  // namespace
