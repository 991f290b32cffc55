// The remote display's and the lobe link's texts against the far ends' own
// codec (sim/linepeer): what the program sends reads back as the values it
// was made from, and texts that break the layouts are refused.
#include "engine/TSDetection.h"
#include "outputs/Lobe.h"
#include "outputs/RDDialog.h"
#include "sim/linepeer/LineCodec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

using linepeer::SDisplayLine;
using linepeer::SLobeMessage;

// 2026-12-11 13:24:05.25 UTC.
constexpr std::uint64_t kTime = 134'100'194'452'500'000ULL;

// The text with its checksum, as a depth telegram carries it.
std::string WithChecksum(const std::string& text)
{
    unsigned char sum = 0;
    for (std::size_t i = 1; i < text.size(); ++i)
        sum = static_cast<unsigned char>(sum ^ static_cast<unsigned char>(text[i]));
    char tail[4];
    std::snprintf(tail, sizeof tail, "*%02X", sum);
    return text + tail;
}

TEST(LinePeerCodec, RemoteDisplayLinesReadBackAsTheirDepth)
{
    const double transducer = 5.0, heave = 0.25;
    for (const double depth : {12.34, 5.0, 1234.56, 0.0, 61.27, 999.99, 1500.25, 12345.6}) {
        for (const DWORD format : {CRDDialog::kRD1, CRDDialog::kNMEA}) {
            std::string text = CRDDialog::DepthText(format, 0, kTime, depth, transducer, 0.0, heave);
            // The line's transmit protocol ends a telegram with CR LF.
            if (!text.ends_with("\r\n"))
                text += "\r\n";
            const SDisplayLine line = linepeer::DecodeDisplayLine(text);
            if (format == CRDDialog::kRD1) {
                ASSERT_EQ(line.kind, SDisplayLine::EKind::Number) << text << line.reason;
                EXPECT_NEAR(line.depth, depth, 0.05 + 1e-9) << text;
            } else {
                ASSERT_EQ(line.kind, SDisplayLine::EKind::Telegram) << text << line.reason;
                const double step = depth < 1000 ? 0.005 : depth < 10000 ? 0.05 : 0.5;
                EXPECT_NEAR(line.depth, depth, step + 0.005 + 1e-9) << text;
                EXPECT_NEAR(line.offset, transducer + heave, 0.005 + 1e-9) << text;
            }
        }
    }
}

TEST(LinePeerCodec, RemoteDisplayRefusesBrokenLines)
{
    const std::string cases[] = {
        "12.3\r\n",
        "  12.34\r\n",
        "   12.3\n",
        "   12.3",
        " 1234.6\r\n",
        "  12,3\r\n",
        "  12.3\r\r\n",
        "$SDDPT,56.27,5.25*00\r\n",
        WithChecksum("$SDDPT,1000.00,5.00") + "\r\n",
        WithChecksum("$SDDPT,56.3,5.00") + "\r\n",
        WithChecksum("$SDDPT,56.27") + "\r\n",
        WithChecksum("$SDDBT,56.27,5.00") + "\r\n",
        WithChecksum("$SDDPT,56.27,5.0") + "\r\n",
        "$SDDPT,56.27,5.00\r\n",
        "",
    };
    for (const std::string& text : cases)
        EXPECT_EQ(linepeer::DecodeDisplayLine(text).kind, SDisplayLine::EKind::Bad) << text;
    // The well-made neighbours of some of them.
    EXPECT_EQ(linepeer::DecodeDisplayLine(WithChecksum("$SDDPT,56.27,5.00") + "\r\n").kind,
              SDisplayLine::EKind::Telegram);
    EXPECT_EQ(linepeer::DecodeDisplayLine(WithChecksum("$SDDPT,995.5,5.00") + "\r\n").kind,
              SDisplayLine::EKind::Telegram);
    EXPECT_EQ(linepeer::DecodeDisplayLine("1234.6\r\n").kind, SDisplayLine::EKind::Number);
}

class CCapturingLobe final : public CLobe
{
public:
    using CLobe::CLobe;

protected:
    void SendText(const std::string&) override {}
};

class LinePeerLobe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    static CLobe::Links Links()
    {
        CLobe::Links links;
        links.fileVersion = [] { return std::string("1.20.3.4"); };
        links.channelItems = [](int channel) -> std::optional<CLobe::SChannelItems> {
            if (channel > 1)
                return std::nullopt;
            CLobe::SChannelItems c;
            c.pulseLength = 0.001024;
            c.maxPower = 1999.6;
            c.gain = -26.5;
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
    CCapturingLobe lobe{Links()};
};

TEST_F(LinePeerLobe, RepliesReadBackAsTheirItems)
{
    const struct
    {
        const char* item;
        double number;
        const char* unit;
    } items[] = {
        {"Pulse Length", 1.024, "ms"},    {"Bandwidth", 0.0, "Unknown"},    {"Max. Power", 2000.0, "W"},
        {"TS Transd. Gain", -26.5, "dB"}, {"Angle Sens.Along", 21.9, ""},   {"Angle Sens.Athw.", 21.8, ""},
        {"3 dB Beamw.Along", 7.1, "dg"},  {"3 dB Beamw.Athw.", 7.05, "dg"}, {"Alongship Offset", -0.05, "dg"},
        {"Athw.ship Offset", 0.12, "dg"},
    };
    for (const auto& item : items) {
        const std::string reply = lobe.Reply(std::string("/TRANSCEIVER/Transceiver-2 Menu/") + item.item, kTime);
        const SLobeMessage m = linepeer::DecodeLobeMessage(reply);
        ASSERT_EQ(m.kind, SLobeMessage::EKind::Reply) << reply << m.reason;
        EXPECT_EQ(m.time, "13240525");
        EXPECT_EQ(m.channel, 2) << reply;
        EXPECT_EQ(m.item, item.item);
        EXPECT_EQ(m.unit, item.unit) << reply;
        EXPECT_NEAR(m.number, item.number, 1e-9) << reply;
    }
    const SLobeMessage version = linepeer::DecodeLobeMessage(lobe.Reply("/TEST MENU/Version", kTime));
    ASSERT_EQ(version.kind, SLobeMessage::EKind::Reply) << version.reason;
    EXPECT_EQ(version.value, "TQ250 1.20.3.4");
    const SLobeMessage echo = linepeer::DecodeLobeMessage(lobe.Reply("/SER/Telegram/Echo-Trace=1", kTime));
    ASSERT_EQ(echo.kind, SLobeMessage::EKind::Echo) << echo.reason;
    EXPECT_EQ(echo.command, "/SER/Telegram/Echo-Trace=1");
}

TEST_F(LinePeerLobe, EchoTraceTelegramsReadBackAsTheirTargets)
{
    SingleTargetRecord record;
    record.Count = 3;
    for (int i = 0; i < 3; ++i)
        record.Targets[static_cast<std::size_t>(i)] = {10.5 + 100 * i, -45.04, -47.26, 0.314, -1.5 - i, 99.0};
    const std::string telegram = CLobe::EchoTraceTelegram(1, kTime, record);
    // Fed a byte at a time, it comes out whole once its end has come.
    linepeer::CLobeDecoder decoder;
    std::vector<SLobeMessage> messages;
    for (char c : telegram)
        for (SLobeMessage& m : decoder.Feed(std::string_view(&c, 1)))
            messages.push_back(std::move(m));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(decoder.Pending().empty());
    const SLobeMessage& m = messages[0];
    ASSERT_EQ(m.kind, SLobeMessage::EKind::Telegram) << telegram << m.reason;
    EXPECT_EQ(m.channel, 2);
    EXPECT_EQ(m.time, "13240525");
    ASSERT_EQ(m.targets.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        const auto values = record.Targets[i].Values();
        const double steps[5] = {0.005, 0.05, 0.05, 0.005, 0.005};
        for (std::size_t f = 0; f < 5; ++f)
            EXPECT_NEAR(m.targets[i][f], values[f], steps[f] + 1e-9) << i << " " << f;
    }
}

TEST(LinePeerCodec, LobeRefusesBrokenMessages)
{
    const char* cases[] = {
        "PR,13240525,/TEST MENU/Version=TQ250 1.2.3.4\r\n",
        "PR,1324052,/TEST MENU/Version=TQ250 1.2.3.4\r\r\n",
        "PR,25240525,/TEST MENU/Version=TQ250 1.2.3.4\r\r\n",
        "PR,13240525/TEST MENU/Version=TQ250 1.2.3.4\r\r\n",
        "PR,13240525,/TEST MENU/Version=TQ250 1.2.3\r\r\n",
        "PR,13240525,/TEST MENU/Version=TQ250 1..3.4\r\r\n",
        "PR,13240525,/TEST MENU/Version=1.2.3.4\r\r\n",
        "PR,13240525,/TRANSCEIVER MENU/Transceiver-1 Menu/Pulse Length=1.02 ms\r\r\n",
        "PR,13240525,/TRANSCEIVER MENU/Transceiver-1 Menu/Pulse Length=1.024\r\r\n",
        "PR,13240525,/TRANSCEIVER MENU/Transceiver-1 Menu/Max. Power=2000.0 W\r\r\n",
        "PR,13240525,/TRANSCEIVER MENU/Transceiver-1 Menu/Bandwidth=0\r\r\n",
        "PR,13240525,/TRANSCEIVER MENU/Transceiver- Menu/Bandwidth=Unknown\r\r\n",
        "PR,13240525,/TRANSCEIVER MENU/Transceiver-1 Menu/Frequency=38000\r\r\n",
        "PE,13240525/TEST MENU/Version\r\r\n",
        "E1,13240525, 2,\r\n  10.50,-45.0,-47.3,  0.31, -1.50,\r\r\n",
        "E1,13240525, 1,\r\n  10.5,-45.0,-47.3,  0.31, -1.50,\r\r\n",
        "E1,13240525, 1,\r\n  10.50,-45.0,-47.3,  0.31, -1.50\r\r\n",
        "E1,13240525, 1,\r\n  10.50,-45.0,-47.3,  0.31, -1.50,x\r\r\n",
        "E0,13240525, 1,\r\n  10.50,-45.0,-47.3,  0.31, -1.50,\r\r\n",
        "E1,13240525, 0,\r\r\n",
        // Numbers no channel or target count has, nor an int or a size.
        "E6213240525,13240525, 1,\r\n  10.50,-45.0,-47.3,  0.31, -1.50,\r\r\n",
        "E1,13240525,99999999999999999999,\r\n  10.50,-45.0,-47.3,  0.31, -1.50,\r\r\n",
        "X1,13240525\r\r\n",
        "",
    };
    for (const char* text : cases)
        EXPECT_EQ(linepeer::DecodeLobeMessage(text).kind, SLobeMessage::EKind::Bad) << text;
    EXPECT_EQ(linepeer::DecodeLobeMessage("E1,13240525, 1,\r\n  10.50,-45.0,-47.3,  0.31, -1.50,\r\r\n").kind,
              SLobeMessage::EKind::Telegram);
}

}  // namespace
