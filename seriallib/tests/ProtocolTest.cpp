// Receive framing of every protocol, fed byte by byte as the port's reader
// does, with a window collecting what is posted.
#include "SercorTestSupport.h"

#include "seriallib/ASCII.h"
#include "seriallib/ModBus.h"
#include "seriallib/MoviraVN1500.h"
#include "seriallib/MoviraZelvar.h"
#include "seriallib/NMEA.h"
#include "seriallib/Quelto.h"
#include "seriallib/RAW.h"
#include "seriallib/Sercor32.h"
#include "seriallib/ZLT2_300.h"

#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

enum class Kind { Ascii, AsciiCrLf, Raw, Nmea, Quelto, Zlt, Modbus, MoviraZelvar, MoviraVN1500 };

std::unique_ptr<CProtocol> Make(Kind kind, CSercor* port, HWND owner)
{
    switch (kind) {
    case Kind::Ascii:
        return std::make_unique<CASCII>(port, PROT_RECEIVE, owner);
    case Kind::AsciiCrLf: {
        auto p = std::make_unique<CASCII>(port, PROT_RECEIVE, owner);
        p->SetTerminator(TRUE, TRUE);
        return p;
    }
    case Kind::Raw:
        return std::make_unique<CRAW>(port, PROT_RECEIVE, owner);
    case Kind::Nmea:
        return std::make_unique<CNMEA>(port, PROT_RECEIVE, owner);
    case Kind::Quelto:
        return std::make_unique<CQuelto>(port, PROT_RECEIVE, owner);
    case Kind::Zlt:
        return std::make_unique<CZLT2_300>(port, PROT_RECEIVE, owner);
    case Kind::Modbus:
        return std::make_unique<CModBus>(port, PROT_RECEIVE, owner);
    case Kind::MoviraZelvar:
        return std::make_unique<CMoviraZelvar>(port, PROT_RECEIVE, owner);
    case Kind::MoviraVN1500:
        return std::make_unique<CMoviraVN1500>(port, PROT_RECEIVE, owner);
    }
    return nullptr;
}

std::string Quelto(const std::string& payload)
{
    CTarnMessage out;
    CQuelto::MakeFullQueltoMsg(out, CTarnMessage(payload, 16));
    return static_cast<std::string>(out);
}

std::string ModbusFrame(const std::string& payload)
{
    const WORD crc =
        CModBus::ComputeCS(reinterpret_cast<const BYTE*>(payload.data()), static_cast<UINT>(payload.size()));
    return payload + Bytes({crc & 0xFF, crc >> 8});
}

struct Counts
{
    DWORD received, start, end, checksum, line, length;
};

struct HostileRow
{
    const char* legend;
    Kind kind;
    std::string input;
    std::vector<std::string> expected;
    Counts counts;
    std::size_t block = 1024;
};

std::vector<HostileRow> HostileRows()
{
    const std::string eight(8, '\x33');
    return {
        {"ASCII: overlong line is dropped up to its CR, the next line survives",
         Kind::Ascii,
         std::string(5000, 'x') + "\rOK\r",
         {"OK"},
         {1, 0, 0, 0, 0, 1}},
        {"ASCII: endless input without terminator is bounded and counted once",
         Kind::Ascii,
         std::string(20000, 'y'),
         {},
         {0, 0, 0, 0, 1, 1}},
        {"ASCII CRLF: a CR not followed by LF stays in the line",
         Kind::AsciiCrLf,
         "AB\rC\r\n",
         {"AB\rC"},
         {1, 0, 0, 0, 0, 0}},
        {"ASCII CRLF: LF without CR is kept and the line is cut by the time-out",
         Kind::AsciiCrLf,
         "AB\n",
         {},
         {0, 0, 0, 0, 1, 0}},
        {"ASCII CRLF: lines split across blocks",
         Kind::AsciiCrLf,
         "first\r\nsecond\r\n",
         {"first", "second"},
         {2, 0, 0, 0, 0, 0},
         3},
        {"RAW: 200 bytes in one block",
         Kind::Raw,
         std::string(200, 'r'),
         {std::string(80, 'r'), std::string(80, 'r'), std::string(40, 'r')},
         {3, 0, 0, 0, 0, 0}},
        {"NMEA: 4 characters of leading garbage", Kind::Nmea, "junk$GPGGA*56\r\n", {"GPGGA"}, {1, 4, 0, 0, 0, 0}},
        {"NMEA: wrong checksum", Kind::Nmea, "$ABC*00\r\n", {}, {0, 0, 0, 1, 0, 0}},
        {"NMEA: no CR after the checksum", Kind::Nmea, "$AB*03X", {}, {0, 0, 1, 0, 0, 0}},
        {"NMEA: sentence without checksum", Kind::Nmea, "$ABC\r\n", {"ABC"}, {1, 0, 0, 0, 0, 0}},
        {"NMEA: lower-case checksum digits",
         Kind::Nmea,
         "$GPGGA*56\r\n$AZ*1b\r\n",
         {"GPGGA", "AZ"},
         {2, 0, 0, 0, 0, 0}},
        {"NMEA: interrupted sentence swallows the next start and fails its checksum",
         Kind::Nmea,
         "$GPG$GPGGA*56\r\n",
         {},
         {0, 0, 0, 1, 0, 0}},
        {"NMEA: endless body is a length error, then assembly waits for the next $",
         Kind::Nmea,
         "$" + std::string(1100, 'A') + "$X*58\r\n",
         {"X"},
         {1, 75, 0, 0, 0, 1}},
        {"Quelto: two bytes of leading garbage",
         Kind::Quelto,
         Bytes({0x00, 0x11}) + Quelto("\x01\x02"),
         {"\x01\x02"},
         {1, 2, 0, 0, 0, 0}},
        {"Quelto: wrong end byte", Kind::Quelto, Bytes({0x55, 0, 0, 1, 2, 0x58, 0, 0xAB}), {}, {0, 0, 1, 0, 0, 0}},
        {"Quelto: length 0xFFFF must not wrap to a short telegram",
         Kind::Quelto,
         Bytes({0x55, 0xFF, 0xFF}) + Quelto("ok"),
         {"ok"},
         {1, 0, 0, 0, 0, 1}},
        {"Quelto: length field 0x0FFF is one byte too long",
         Kind::Quelto,
         Bytes({0x55, 0xFF, 0x0F}),
         {},
         {0, 0, 0, 0, 0, 1}},
        {"Quelto: telegram inside a damaged one is recovered",
         Kind::Quelto,
         Bytes({0x55, 0x07, 0x00, 0x11, 0x55, 0x00, 0x00, 0x01, 0x02, 0x58, 0x00, 0xAA, 0x00, 0x00, 0xAA}),
         {"\x01\x02"},
         {1, 0, 0, 1, 0, 0}},
        {"Quelto: a telegram cut short swallows the start of the next",
         Kind::Quelto,
         Quelto("abcd").substr(0, 5) + Quelto("xy"),
         {},
         {0, 2, 0, 1, 0, 1}},
        {"ZLT: a good telegram", Kind::Zlt, Bytes({0x31, 0x32, 0x03, 0x40}), {"12"}, {1, 0, 0, 0, 0, 0}},
        {"ZLT: end byte alone", Kind::Zlt, Bytes({0x40}), {}, {0, 0, 1, 0, 0, 0}},
        {"ZLT: checksum byte without payload", Kind::Zlt, Bytes({0x00, 0x40}), {}, {0, 0, 1, 0, 0, 0}},
        {"ZLT: wrong checksum", Kind::Zlt, Bytes({0x31, 0x32, 0x00, 0x40}), {}, {0, 0, 0, 1, 0, 0}},
        {"ZLT: endless telegram is dropped up to its end byte",
         Kind::Zlt,
         std::string(5000, 'z') + Bytes({0x40, 0x31, 0x32, 0x03, 0x40}),
         {"12"},
         {1, 0, 0, 0, 0, 1}},
        {"Modbus: a good frame loses its CRC",
         Kind::Modbus,
         ModbusFrame(Bytes({1, 3, 0, 0, 0, 1})),
         {Bytes({1, 3, 0, 0, 0, 1})},
         {1, 0, 0, 0, 0, 0}},
        {"Modbus: a flipped bit", Kind::Modbus, Bytes({1, 3, 0, 0, 0, 1, 0x84, 0x0B}), {}, {0, 0, 0, 1, 0, 0}},
        {"Modbus: three bytes with a matching CRC are no frame",
         Kind::Modbus,
         ModbusFrame(Bytes({0x11})),
         {},
         {0, 0, 0, 1, 0, 0}},
        {"Modbus: silence alone is no checksum error", Kind::Modbus, "", {}, {0, 0, 0, 0, 0, 0}},
        {"Movira: garbage before 0x90 0x90",
         Kind::MoviraZelvar,
         Bytes({0x12, 0x90, 0x90}) + eight,
         {Bytes({0x90, 0x90}) + eight},
         {1, 1, 0, 0, 0, 0}},
        {"Movira: a bad second byte keeps the first",
         Kind::MoviraZelvar,
         Bytes({0x91, 0x55, 0x90}) + eight,
         {Bytes({0x91, 0x90}) + eight},
         {1, 1, 0, 0, 0, 0}},
        {"Movira VN1500: 0x90 is no first byte",
         Kind::MoviraVN1500,
         Bytes({0x90, 0x00, 0x90}) + eight,
         {Bytes({0x00, 0x90}) + eight},
         {1, 1, 0, 0, 0, 0}},
        {"Movira: telegram cut by silence", Kind::MoviraZelvar, Bytes({0xA0, 0x90, 1}), {}, {0, 0, 0, 0, 1, 0}},
    };
}

class HostileStream : public ::testing::TestWithParam<HostileRow>
{};

TEST_P(HostileStream, IsCountedAndResynchronises)
{
    const HostileRow& row = GetParam();
    CReceiverWindow window;
    CSercor32 port;
    auto protocol = Make(row.kind, &port, window.Hwnd());
    Feed(*protocol, row.input, row.block);
    // The line goes quiet after the input, as it would.
    protocol->ErrorCallback(COM_RX_TIMEOUT);
    window.Pump();
    EXPECT_EQ(window.Texts(), row.expected);
    const tag_PROT_STATISTICS s = StatsOf(*protocol);
    EXPECT_EQ(s.MessagesReceived, row.counts.received);
    EXPECT_EQ(s.StartCharErrors, row.counts.start);
    EXPECT_EQ(s.EndCharErrors, row.counts.end);
    EXPECT_EQ(s.ChecksumErrors, row.counts.checksum);
    EXPECT_EQ(s.LineErrors, row.counts.line);
    EXPECT_EQ(s.LengthErrors, row.counts.length);
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileStream, ::testing::ValuesIn(HostileRows()),
                         [](const ::testing::TestParamInfo<HostileRow>& info) {
                             return "Row" + std::to_string(info.index);
                         });

TEST(ProtocolReceive, QuietLineCountsNoLineError)
{
    for (Kind kind : {Kind::Ascii, Kind::AsciiCrLf, Kind::Raw, Kind::Nmea, Kind::Quelto, Kind::Zlt, Kind::Modbus,
                      Kind::MoviraZelvar}) {
        CSercor32 port;
        auto protocol = Make(kind, &port, 0);
        for (int i = 0; i < 5; ++i)
            protocol->ErrorCallback(COM_RX_TIMEOUT);
        const tag_PROT_STATISTICS s = StatsOf(*protocol);
        EXPECT_EQ(s.LineErrors + s.ChecksumErrors, 0u) << static_cast<int>(kind);
    }
}

TEST(ProtocolReceive, ErrorReportCountsALineErrorAndDropsThePartialMessage)
{
    for (Kind kind : {Kind::Ascii, Kind::Raw, Kind::Nmea, Kind::Quelto, Kind::Zlt, Kind::Modbus, Kind::MoviraZelvar}) {
        CReceiverWindow window;
        CSercor32 port;
        auto protocol = Make(kind, &port, window.Hwnd());
        // Half of something every protocol would have started on.
        protocol->ReceiveCallback(kind == Kind::Nmea ? '$' : (kind == Kind::Quelto ? 0x55 : 0x90), FALSE);
        protocol->ErrorCallback(COM_ERROR_REPORT);
        EXPECT_EQ(StatsOf(*protocol).LineErrors, 1u) << static_cast<int>(kind);
        EXPECT_TRUE(protocol->GetRxMessage()->IsEmpty()) << static_cast<int>(kind);
    }
}

class ManualClockTest : public ::testing::Test
{
protected:
    void SetUp() override { CFileTime::SetClock(&m_Clock); }
    void TearDown() override { CFileTime::SetClock(nullptr); }
    CManualClock m_Clock{CFileTime::kUnixEpoch + 1'000'000'000ULL};
};

TEST_F(ManualClockTest, BackToBackMessagesAreStampedByTheirPredecessorsDuration)
{
    // An unopened port counts 1000 units per character.
    struct Row
    {
        const char* legend;
        Kind kind;
        std::string input;
        std::uint64_t firstToSecond;
    };
    const std::string body(8, 'b');
    const Row rows[] = {
        {"motion telegrams: 10 characters", Kind::MoviraZelvar, Bytes({0x90, 0x90}) + body + Bytes({0x90, 0x90}) + body,
         10'000},
        {"CR LF lines: text and terminator", Kind::AsciiCrLf, "abc\r\nde\r\n", 5'000},
        {"NMEA: $, body, checksum, CR LF", Kind::Nmea, "$GPGGA*56\r\n$X*58\r\n", 11'000},
        {"Quelto: header, payload, sum, end", Kind::Quelto, Quelto("ab") + Quelto("cd"), 8'000},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        CReceiverWindow window;
        CSercor32 port;
        auto protocol = Make(row.kind, &port, window.Hwnd());
        Feed(*protocol, row.input);
        window.Pump();
        ASSERT_EQ(window.Texts().size(), 2u);
        const std::uint64_t first = window.m_Received[0].time;
        EXPECT_EQ(first, CFileTime::Now() - 1000 * row.input.size());
        EXPECT_EQ(window.m_Received[1].time - first, row.firstToSecond);
    }
}

TEST_F(ManualClockTest, TheLineAfterAnOverlongOneIsStampedWhereItStarts)
{
    // The blocks arrive as the line delivers them, 1000 units a character:
    // the block that ends the overlong line starts inside it.
    CReceiverWindow window;
    CSercor32 port;
    auto protocol = Make(Kind::AsciiCrLf, &port, window.Hwnd());
    const std::string input = "a\r\n" + std::string(5000, 'x') + "\r\nde\r\n";
    const std::uint64_t start = CFileTime::Now();
    for (std::size_t at = 0; at < input.size(); at += 1024) {
        const std::size_t n = std::min<std::size_t>(1024, input.size() - at);
        m_Clock.Advance(1000 * n);
        protocol->ReportIncoming(static_cast<DWORD>(n), 0);
        for (std::size_t i = 0; i < n; ++i)
            protocol->ReceiveCallback(static_cast<BYTE>(input[at + i]), i + 1 == n);
    }
    window.Pump();
    ASSERT_EQ(window.Texts(), (std::vector<std::string>{"a", "de"}));
    EXPECT_EQ(window.m_Received[0].time, start);
    EXPECT_EQ(window.m_Received[1].time, start + 1000 * (3 + 5002));
    EXPECT_EQ(StatsOf(*protocol).LengthErrors, 1u);
}

TEST_F(ManualClockTest, AMessageEndingItsBlockLeavesTheNextForTheNextBlock)
{
    CReceiverWindow window;
    CSercor32 port;
    CASCII ascii(&port, PROT_RECEIVE, window.Hwnd());
    Feed(ascii, "one\r");
    m_Clock.Advance(5'000'000);
    Feed(ascii, "two\r");
    window.Pump();
    ASSERT_EQ(window.Texts(), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(window.m_Received[1].time - window.m_Received[0].time, 5'000'000u);
}

TEST_F(ManualClockTest, ReportIncomingStampsOnlyAnEmptyMessageWithStampingOn)
{
    CSercor32 port;
    CRAW raw(&port, PROT_RECEIVE, 0);
    raw.ReportIncoming(5, 10);
    EXPECT_EQ(raw.GetRxMessage()->GetTime(), CFileTime::Now() - 5 * 1000 - 100'000);
    raw.ReceiveCallback('a', FALSE);
    m_Clock.Advance(1000);
    raw.ReportIncoming(1, 0);
    EXPECT_EQ(raw.GetRxMessage()->GetTime(), CFileTime::Now() - 1000 - 5 * 1000 - 100'000);

    CModBus modbus(&port, PROT_RECEIVE, 0);
    modbus.ReportIncoming(5, 10);
    EXPECT_EQ(modbus.GetRxMessage()->GetTime(), 0u);
}

TEST(ProtocolReceive, AMessageWithNobodyToReceiveItIsFreed)
{
    // No owner and no main window: run under the address sanitizer, a leak
    // of the message fails the build's test run.
    ASSERT_EQ(GetMainWindow(), HWND{0});
    CSercor32 port;
    CNMEA nmea(&port, PROT_RECEIVE, 0);
    Feed(nmea, "$GPGGA*56\r\n");
    EXPECT_EQ(StatsOf(nmea).MessagesReceived, 1u);

    // A window that goes before its messages are delivered frees them too.
    auto window = std::make_unique<CReceiverWindow>();
    CRAW raw(&port, PROT_RECEIVE, window->Hwnd());
    Feed(raw, "abc");
    window.reset();
    MSG msg;
    while (PeekMessage(&msg))
        DispatchMessage(&msg);
}

TEST(ProtocolReceive, ComEventsArePostedInOrderWithTheirModemBits)
{
    CReceiverWindow window;
    CSercor32 port;
    CRAW raw(&port, PROT_RECEIVE, window.Hwnd());
    raw.ReportComState(EV_TXEMPTY | EV_CTS | EV_BREAK | EV_RLSD, MS_CTS_ON | MS_DSR_ON);
    window.Pump();
    ASSERT_EQ(window.m_Received.size(), 4u);
    EXPECT_EQ(window.m_Received[0].message, WM_SERCOR_BREAK);
    EXPECT_EQ(window.m_Received[1].message, WM_SERCOR_CTS);
    EXPECT_EQ(window.m_Received[1].wParam, MS_CTS_ON);
    EXPECT_EQ(window.m_Received[2].message, WM_SERCOR_RLSD);
    EXPECT_EQ(window.m_Received[2].wParam, 0u);
    EXPECT_EQ(window.m_Received[3].message, WM_SERCOR_TXEMPTY);
    EXPECT_EQ(window.m_Received[3].lParam, reinterpret_cast<LPARAM>(&raw));
}

TEST(ProtocolChecks, ChecksumsOfTheWireFormats)
{
    const BYTE request[] = {0x01, 0x03, 0x00, 0x00, 0x00, 0x01};
    EXPECT_EQ(CModBus::ComputeCS(request, 6), 0x0A84);
    EXPECT_EQ(CModBus::ComputeCS(nullptr, 0), 0xFFFF);
    const BYTE zlt[] = {0x31, 0x32};
    EXPECT_EQ(CZLT2_300::ComputeCS(zlt, 2), 0x03);
    EXPECT_EQ(CZLT2_300::ComputeCS(nullptr, 0), 0x00);
    EXPECT_EQ(Quelto("\x01\x02"), Bytes({0x55, 0x00, 0x00, 0x01, 0x02, 0x58, 0x00, 0xAA}));
    // A 4096-byte payload is the largest; the sum wraps modulo 65536.
    const std::string big(4096, '\xFF');
    const std::string framed = Quelto(big);
    ASSERT_EQ(framed.size(), 4096u + 6);
    EXPECT_EQ(static_cast<BYTE>(framed[1]), 0xFE);
    EXPECT_EQ(static_cast<BYTE>(framed[2]), 0x0F);
    CTarnMessage out;
    EXPECT_EQ(CQuelto::MakeFullQueltoMsg(out, CTarnMessage(std::string(4097, 'x'), 16)), FALSE);
}

TEST(QueltoMsg, LengthLimitIsAtTheLargestPayload)
{
    struct Row
    {
        const char* legend;
        BYTE high, low;
        MSG_RESULT result;
    };
    const Row rows[] = {
        {"0x0FFE: 4096 bytes", 0x0F, 0xFE, MSG_BYTE_TAKEN},
        {"0x0FFF: 4097 bytes", 0x0F, 0xFF, MSG_LENGTH_ERROR},
        {"0xFFFF would wrap to 1 in 16 bits", 0xFF, 0xFF, MSG_LENGTH_ERROR},
        {"0xFFFE would wrap to 0 in 16 bits", 0xFF, 0xFE, MSG_LENGTH_ERROR},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        CQueltoMsg msg;
        ASSERT_EQ(msg.NewByte(0x55), MSG_BYTE_TAKEN);
        ASSERT_EQ(msg.NewByte(row.low), MSG_BYTE_TAKEN);
        EXPECT_EQ(msg.NewByte(row.high), row.result);
    }
}

}  // namespace
