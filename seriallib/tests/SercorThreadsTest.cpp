// The port with its reader, ticker and transmit threads, over the in-memory
// line and over pseudo-terminals.
#include "SercorTestSupport.h"

#include "seriallib/ASCII.h"
#include "seriallib/ModBus.h"
#include "seriallib/NMEA.h"
#include "seriallib/Quelto.h"
#include "seriallib/RAW.h"
#include "seriallib/Sercor32.h"
#include "seriallib/ZLT2_300.h"

#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SerialBackendFake.h"
#include "platform/TempHives.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

using namespace std::chrono_literals;

namespace {

std::string UniqueName(const char* stem)
{
    static std::atomic<int> n{0};
    return std::string("FAKE_") + stem + std::to_string(++n);
}

std::string AsText(const std::vector<BYTE>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

// A pseudo-terminal whose slave the port opens by path; the test is the far
// end on the master.
class CPty
{
public:
    CPty()
    {
        char name[256] = {};
        if (::openpty(&m_Master, &m_Slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty");
        m_Path = name;
    }
    ~CPty()
    {
        CloseMaster();
        if (m_Slave >= 0)
            ::close(m_Slave);
    }
    const std::string& Path() const { return m_Path; }
    void Write(const std::string& bytes) const
    {
        ASSERT_EQ(::write(m_Master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // Reads until count bytes came or the line stays silent for the wait.
    std::string Read(std::size_t count, int waitMs = 10000) const
    {
        std::string got;
        while (got.size() < count) {
            pollfd fd{m_Master, POLLIN, 0};
            if (::poll(&fd, 1, waitMs) <= 0)
                break;
            char buffer[512];
            const ssize_t n = ::read(m_Master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }
    void CloseMaster()
    {
        if (m_Master >= 0)
            ::close(m_Master);
        m_Master = -1;
    }

private:
    int m_Master = -1;
    int m_Slave = -1;
    std::string m_Path;
};

TEST(SercorFake, InjectedBytesReachTheReceiveProtocolAsMessages)
{
    auto line = CFakeSerialLine::Create(UniqueName("rx"));
    CReceiverWindow window;
    CSercor32 port;
    CNMEA nmea(&port, PROT_RECEIVE, window.Hwnd());
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 4800, 8, NOPARITY, ONESTOPBIT, TRUE));
    EXPECT_EQ(line->Settings().baud, 4800u);
    line->InjectBytes("$GPGGA*56\r\n$BAD*00\r\n$X*58\r\n");
    ASSERT_TRUE(window.WaitFor(2));
    EXPECT_EQ(window.Texts(), (std::vector<std::string>{"GPGGA", "X"}));
    tag_COM_STATISTICS com;
    port.GetStatistics(&com);
    EXPECT_EQ(com.BytesReceived, 27u);
    EXPECT_EQ(StatsOf(nmea).ChecksumErrors, 1u);
}

TEST(SercorFake, LineErrorsAndModemEventsReachStatisticsAndOwner)
{
    auto line = CFakeSerialLine::Create(UniqueName("ev"));
    CReceiverWindow window;
    CSercor32 port;
    CASCII ascii(&port, PROT_RECEIVE, window.Hwnd());
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    ASSERT_TRUE(port.SetEventMask(EV_CTS | EV_RING | EV_ERR));

    line->InjectBytes("half a li");
    ASSERT_TRUE(PumpUntil(
        [&] {
            tag_COM_STATISTICS s;
            port.GetStatistics(&s);
            return s.BytesReceived == 9;
        },
        10s));
    line->InjectLineError(CE_RXPARITY | CE_FRAME | CE_BREAK);
    ASSERT_TRUE(window.WaitForMessage(WM_SERCOR_ERR));
    line->InjectModemEvent(EV_CTS | EV_DSR, MS_CTS_ON | MS_DSR_ON);
    ASSERT_TRUE(window.WaitForMessage(WM_SERCOR_CTS));
    line->InjectLineError(CE_OVERRUN);
    ASSERT_TRUE(PumpUntil(
        [&] {
            tag_COM_STATISTICS s;
            port.GetStatistics(&s);
            return s.OverrunErrors == 1;
        },
        10s));

    tag_COM_STATISTICS com;
    port.GetStatistics(&com);
    EXPECT_EQ(com.ParityErrors, 1u);
    EXPECT_EQ(com.FramingErrors, 1u);
    EXPECT_EQ(com.OtherErrors, 1u);  // the break
    EXPECT_EQ(com.OverrunErrors, 1u);
    // Each report drops what the protocol was assembling and counts it.
    EXPECT_EQ(StatsOf(ascii).LineErrors, 2u);
    EXPECT_EQ(window.Count(WM_SERCOR_DSR), 0u);  // not in the mask
    for (const auto& r : window.m_Received)
        if (r.message == WM_SERCOR_CTS) {
            EXPECT_EQ(r.wParam, MS_CTS_ON);
        }
}

TEST(SercorFake, SentTelegramsGoOutFramedAndInOrder)
{
    struct Row
    {
        const char* legend;
        std::function<std::unique_ptr<CProtocol>(CSercor*)> make;
        std::vector<std::string> sends;
        std::string wire;
    };
    const auto asciiCrLf = [](CSercor* port) {
        auto p = std::make_unique<CASCII>(port, PROT_TRANSMIT, 0);
        p->SetTerminator(TRUE, TRUE);
        return std::unique_ptr<CProtocol>(std::move(p));
    };
    const Row rows[] = {
        {"ASCII CR LF: each line ends in CR LF once", asciiCrLf, {"X", "X\r\n", "X\n", "X\r"}, "X\r\nX\r\nX\r\nX\r\n"},
        {"ASCII default: CR only, never doubled",
         [](CSercor* port) { return std::unique_ptr<CProtocol>(std::make_unique<CASCII>(port, PROT_TRANSMIT, 0)); },
         {"a", "b\r"},
         "a\rb\r"},
        {"NMEA: $, body, upper-case XOR, CR LF",
         [](CSercor* port) { return std::unique_ptr<CProtocol>(std::make_unique<CNMEA>(port, PROT_TRANSMIT, 0)); },
         {"GPGGA", "AZ"},
         "$GPGGA*56\r\n$AZ*1B\r\n"},
        {"Quelto: start, length, payload, sum, end",
         [](CSercor* port) { return std::unique_ptr<CProtocol>(std::make_unique<CQuelto>(port, PROT_TRANSMIT, 0)); },
         {Bytes({1, 2})},
         Bytes({0x55, 0x00, 0x00, 0x01, 0x02, 0x58, 0x00, 0xAA})},
        {"ZLT2_300: payload, XOR, 0x40",
         [](CSercor* port) { return std::unique_ptr<CProtocol>(std::make_unique<CZLT2_300>(port, PROT_TRANSMIT, 0)); },
         {"12"},
         Bytes({0x31, 0x32, 0x03, 0x40})},
        {"Modbus: payload and CRC low byte first",
         [](CSercor* port) { return std::unique_ptr<CProtocol>(std::make_unique<CModBus>(port, PROT_TRANSMIT, 0)); },
         {Bytes({1, 3, 0, 0, 0, 1})},
         Bytes({1, 3, 0, 0, 0, 1, 0x84, 0x0A})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        auto line = CFakeSerialLine::Create(UniqueName("tx"));
        CSercor32 port;
        ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 115200, 8, NOPARITY, ONESTOPBIT, TRUE));
        auto protocol = row.make(&port);
        // The framing protocols space telegrams; that is not under test.
        port.SetTxDelay(0);
        for (const auto& text : row.sends)
            EXPECT_TRUE(protocol->Send(text));
        ASSERT_TRUE(line->WaitWritten(row.wire.size(), 10s));
        protocol.reset();
        EXPECT_EQ(AsText(line->Written()), row.wire);
        EXPECT_EQ(StatsOf(*row.make(nullptr)).MessagesSent, 0u);
    }
}

TEST(SercorFake, RefusedMessagesAreCountedNotSentAndNeverBlockTheQueue)
{
    auto line = CFakeSerialLine::Create(UniqueName("fail"));
    CSercor32 port;
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    CRAW raw(&port, PROT_TRANSMIT, 0);
    line->FailWrites(true);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(raw.Send("lost"));
    ASSERT_TRUE(PumpUntil(
        [&] {
            tag_COM_STATISTICS s;
            port.GetStatistics(&s);
            return s.OtherErrors == 3;
        },
        10s));
    // One attempt per telegram, not a retry loop.
    EXPECT_EQ(line->WriteCalls(), 3u);
    line->FailWrites(false);
    ASSERT_TRUE(raw.Send("kept"));
    ASSERT_TRUE(line->WaitWritten(4, 10s));
    EXPECT_EQ(AsText(line->Written()), "kept");
    EXPECT_TRUE(PumpUntil(
        [&] {
            tag_COM_STATISTICS s;
            port.GetStatistics(&s);
            return s.BytesSent == 4;
        },
        10s));
}

TEST(SercorFake, EmptyWaitsWriteNothingToTheLine)
{
    auto line = CFakeSerialLine::Create(UniqueName("idle"));
    CSercor32 port;
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    line->InjectSilence(8);
    ASSERT_TRUE(PumpUntil([&] { return port.GetEmptyWaits() >= 8; }, 10s));
    EXPECT_EQ(line->WriteCalls(), 0u);
    EXPECT_TRUE(line->Written().empty());
}

TEST(SercorFake, ClosingReturnsWhenTheLineHasGoneAndStopsSending)
{
    auto line = CFakeSerialLine::Create(UniqueName("gone"));
    CReceiverWindow window;
    auto port = std::make_unique<CSercor32>();
    CRAW raw(port.get(), PROT_RXTX, window.Hwnd());
    ASSERT_TRUE(port->CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    line->Hangup();
    raw.Send("into the void");
    EXPECT_TRUE(port->Close());
    EXPECT_FALSE(line->IsOpen());
    // A closed port refuses; the protocol frees what it refused.
    EXPECT_TRUE(raw.Send("after close"));
    ASSERT_TRUE(PumpUntil([&] { return raw.GetQueueCount() == 0; }, 10s));
}

TEST(SercorFake, ProtocolsComeAndGoWhileBytesArrive)
{
    // A protocol must never be freed while the reader or the ticker is in
    // it; run under the sanitizers, a use after free fails here.
    auto line = CFakeSerialLine::Create(UniqueName("life"));
    CReceiverWindow window;
    CSercor32 port;
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 115200, 8, NOPARITY, ONESTOPBIT, TRUE));
    std::atomic<bool> stop{false};
    std::atomic<bool> attached{false};
    std::thread feeder([&] {
        // Fed before the first protocol is there, every byte could pass by
        // unread by any.
        zv::test::WaitUntil([&] { return attached.load(); });
        for (int i = 0; i < 2000 && !stop.load(); ++i)
            line->InjectBytes(std::string(40, 'a') + "\r$X*58\r\n");
    });
    for (int i = 0; i < 200; ++i) {
        auto protocol = (i % 2) ? std::unique_ptr<CProtocol>(std::make_unique<CASCII>(&port, PROT_RXTX, window.Hwnd()))
                                : std::unique_ptr<CProtocol>(std::make_unique<CNMEA>(&port, PROT_RXTX, window.Hwnd()));
        attached = true;
        protocol->Send("x");
        if (auto* ascii = dynamic_cast<CASCII*>(protocol.get()))
            ascii->SetTerminator(TRUE, TRUE);
        window.Pump();
    }
    stop = true;
    feeder.join();
    EXPECT_EQ(port.GetRxProtocol(), nullptr);
    EXPECT_EQ(port.GetTxProtocol(), nullptr);
    tag_COM_STATISTICS s;
    port.GetStatistics(&s);
    EXPECT_GT(s.BytesReceived, 0u);
    EXPECT_GT(window.Count(WM_SERCOR_MESSAGE), 0u);
}

TEST(SercorFake, PortNoneOpensNothingAndDiscardsQueuedMessages)
{
    CSercor32 port;
    ASSERT_TRUE(port.CreateEx(CSercor::s_szPortNone, 9600, 8, NOPARITY, ONESTOPBIT, FALSE));
    EXPECT_TRUE(port.IsPortNone());
    EXPECT_FALSE(port.GetPortHandle());
    CTarnMessage* message = new CTarnMessage(std::string("x"), 16);
    EXPECT_FALSE(port.Send(message));
    delete message;
    CASCII ascii(&port, PROT_TRANSMIT, 0);
    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(ascii.Send("dropped"));
    ASSERT_TRUE(PumpUntil([&] { return ascii.GetQueueCount() == 0; }, 10s));
    EXPECT_EQ(StatsOf(ascii).MessagesSent, 5u);
}

TEST(SercorFake, AFailedOpenSaysIllegalSetupUnlessSilent)
{
    ClearMessageBoxRecord();
    CSercor32 port;
    EXPECT_FALSE(port.CreateEx("/nonexistent/tty", 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    EXPECT_TRUE(MessageBoxRecord().empty());
    EXPECT_NE(port.GetLastError().find("/nonexistent/tty"), std::string::npos);
    EXPECT_FALSE(port.CreateEx("/nonexistent/tty", 9600, 8, NOPARITY, ONESTOPBIT, FALSE));
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_EQ(MessageBoxRecord()[0].text, "Illegal setup!");
    auto line = CFakeSerialLine::Create(UniqueName("bits"));
    EXPECT_FALSE(port.CreateEx(line->Name().c_str(), 9600, 9, NOPARITY, ONESTOPBIT, TRUE));
}

TEST(SercorSettings, CharacterTimeAndEffectiveTimeouts)
{
    struct Row
    {
        const char* legend;
        int baud, parity, stopBits;
        DWORD charTime;
    };
    const Row rows[] = {
        {"8N1 at 9600", 9600, NOPARITY, ONESTOPBIT, 10416},
        {"8E2 at 9600", 9600, EVENPARITY, TWOSTOPBITS, 12500},
        {"8N1 at 4800", 4800, NOPARITY, ONESTOPBIT, 20833},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.legend);
        auto line = CFakeSerialLine::Create(UniqueName("ct"));
        CSercor32 port;
        ASSERT_TRUE(port.CreateEx(line->Name().c_str(), row.baud, 8, row.parity, row.stopBits, TRUE));
        EXPECT_EQ(port.GetCharTime(), row.charTime);
        EXPECT_EQ(port.GetMessageIn100ns(5), 5 * row.charTime);
    }

    struct TimeoutRow
    {
        const char* legend;
        int baud;
        DWORD c, r, effective;
    };
    const TimeoutRow timeouts[] = {
        {"below the reference baud the time-out stretches", 4800, 10, 9600, 20},
        {"above it, it stays", 19200, 10, 9600, 10},
        {"without a reference baud it is as set", 4800, 10, 0, 10},
        {"time-out 0: return at once with what is there", 4800, 0, 9600, 0},
    };
    for (const TimeoutRow& row : timeouts) {
        SCOPED_TRACE(row.legend);
        CSercor32 port;
        port.CreateEx(CSercor::s_szPortNone, row.baud, 8, NOPARITY, ONESTOPBIT, TRUE);
        port.SetTimeouts(row.c, 45, row.r);
        EXPECT_EQ(port.GetEffectiveRxTimeout(), row.effective);
        EXPECT_EQ(port.GetRxTotalTimeout(), 10 * row.c);
        EXPECT_EQ(port.GetTxDelay(), 4u);
    }
}

TEST(SercorSettings, SectionLoadsDefaultsStoresAndConfigureCancelChangesNothing)
{
    CTempHives hives;
    // No COM name may reach a real device of the machine running the tests.
    for (int n = 1; n <= 16; ++n)
        SetComPortPath(n, "/nonexistent/ttyS" + std::to_string(n - 1));
    CSercor32 port;
    EXPECT_FALSE(port.Create("GpsPort", TRUE));
    port.Close();
    EXPECT_EQ(port.GetPortName(), "COM1");
    EXPECT_EQ(port.GetBaud(), 9600);

    HKEY key = nullptr;
    const std::string path = std::string(kSercorProfileKey) + "\\GpsPort";
    EXPECT_NE(RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);

    bool asked = false;
    SetSercorHooks({[&](CComOptions& options) {
                        asked = true;
                        EXPECT_EQ(options.ports.back(), "None");
                        options.baud = "4800";
                        return false;
                    },
                    nullptr, nullptr});
    EXPECT_TRUE(port.Configure(TRUE));
    EXPECT_TRUE(asked);
    EXPECT_EQ(port.GetBaud(), 9600);
    EXPECT_NE(RegOpenKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);

    SetSercorHooks({[&](CComOptions& options) {
                        options.port = options.ports.back();
                        options.baud = "4800";
                        options.dataBits = "seven";  // not a number: kept
                        options.parity = EVENPARITY;
                        return true;
                    },
                    nullptr, nullptr});
    EXPECT_TRUE(port.Configure(TRUE));
    SetSercorHooks({});
    EXPECT_TRUE(port.IsPortNone());
    EXPECT_EQ(port.GetPortName(), "NONE");
    EXPECT_EQ(port.GetBaud(), 4800);
    EXPECT_EQ(port.GetDataBits(), 8);

    CSercor32 again;
    again.Create("GpsPort", TRUE);
    EXPECT_EQ(again.GetPortName(), "NONE");
    EXPECT_EQ(again.GetBaud(), 4800);
    EXPECT_EQ(again.GetParity(), EVENPARITY);
    EXPECT_TRUE(again.IsPortNone());
    for (int n = 1; n <= 16; ++n)
        SetComPortPath(n, "");
}

TEST(SercorPty, BytesReachTheProtocolWithTimeStampsAndTelegramsGoOutFramed)
{
    CPty pty;
    CReceiverWindow window;
    CSercor32 port;
    CNMEA nmea(&port, PROT_RXTX, window.Hwnd());
    ASSERT_TRUE(port.CreateEx(pty.Path().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE)) << port.GetLastError();
    const std::string sentences = "$GPGGA*56\r\n$GPZDA,1*55\r\n";
    const std::uint64_t before = CFileTime::Now();
    pty.Write(sentences);
    ASSERT_TRUE(window.WaitFor(2));
    const std::uint64_t after = CFileTime::Now();
    EXPECT_EQ(window.Texts(), (std::vector<std::string>{"GPGGA", "GPZDA,1"}));
    // The first byte is dated back by the block's duration and the
    // character time-out; the second sentence follows by its predecessor's
    // 11 characters.
    const std::uint64_t backdating = sentences.size() * 10416ULL + 10 * 10'000ULL;
    EXPECT_GE(window.m_Received[0].time + backdating, before);
    EXPECT_LE(window.m_Received[0].time, after);
    EXPECT_EQ(window.m_Received[1].time - window.m_Received[0].time, 11 * 10416ULL);

    EXPECT_TRUE(nmea.Send("GPGGA"));
    EXPECT_TRUE(nmea.Send("AZ"));
    EXPECT_EQ(pty.Read(19), "$GPGGA*56\r\n$AZ*1B\r\n");
}

TEST(SercorPty, ClosingReturnsPromptlyWhenThePeerHasGone)
{
    auto pty = std::make_unique<CPty>();
    CReceiverWindow window;
    CSercor32 port;
    CASCII ascii(&port, PROT_RXTX, window.Hwnd());
    ASSERT_TRUE(port.CreateEx(pty->Path().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    pty->Write("line\r");
    ASSERT_TRUE(window.WaitFor(1));
    pty.reset();  // both ends of the far side gone
    ascii.Send("nobody listens");
    // Returns: the reader's wait and any write are woken, not waited out.
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.GetPortHandle());
}

TEST(SercorPty, APortIsOpenedOnlyOnce)
{
    CPty pty;
    CSercor32 first;
    CSercor32 second;
    ASSERT_TRUE(first.CreateEx(pty.Path().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    EXPECT_FALSE(second.CreateEx(pty.Path().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    first.Close();
    EXPECT_TRUE(second.CreateEx(pty.Path().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
}

TEST(SerialBackendNames, ComNamesMapToDevicePaths)
{
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(SerialDevicePath("com12"), "/dev/ttyS11");
    EXPECT_EQ(SerialDevicePath("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDevicePath("COMX"), "");
    EXPECT_EQ(SerialDevicePath("COM"), "");
    SetComPortPath(3, "/dev/ttyACM0");
    EXPECT_EQ(SerialDevicePath("COM3"), "/dev/ttyACM0");
    SetComPortPath(3, "");
    EXPECT_EQ(SerialDevicePath("COM3"), "/dev/ttyS2");
}

}  // namespace

// A line that takes no bytes: a minute of per-ping telegrams at 20 a second
// (on the queue's own clock) keeps the queue within its bound, never makes
// the sender wait, and counts what it drops; once the line takes bytes
// again the newest telegram is the next to go out.
TEST(SercorFake, AStuckLineBoundsTheQueueAndDropsTheOldest)
{
    auto line = CFakeSerialLine::Create(UniqueName("stuck"));
    CSercor32 port;
    ASSERT_TRUE(port.CreateEx(line->Name().c_str(), 9600, 8, NOPARITY, ONESTOPBIT, TRUE));
    port.SetTxDelay(0);
    auto raw = std::make_unique<CRAW>(&port, PROT_TRANSMIT, HWND{0});
    std::atomic<long long> nowMs{0};
    raw->SetQueueClock([&] { return CMsgQueue::Clock::time_point(std::chrono::milliseconds(nowMs.load())); });
    line->HoldWrites(true);
    std::size_t most = 0;
    for (int ping = 0; ping < 20 * 60; ++ping) {
        nowMs += 50;
        ASSERT_TRUE(raw->Send("PING " + std::to_string(ping) + "\r\n"));
        most = std::max(most, raw->GetQueueCount());
    }
    EXPECT_LE(most, CMsgQueue::kMaxMessages);
    // Whether a telegram goes as the oldest of a full queue or as stale when
    // the transmitter gives up a write depends on how the threads ran; each
    // one dropped is counted once, under one of the two.
    EXPECT_GE(raw->GetQueueDroppedFull() + raw->GetQueueDroppedStale(), 20u * 60u - CMsgQueue::kMaxMessages - 2u);

    // The line was stuck long enough that every waiting telegram is stale.
    nowMs += 3000;
    ASSERT_TRUE(raw->Send("CURRENT\r\n"));
    line->HoldWrites(false);
    ASSERT_TRUE(zv::test::WaitUntil(
        [&] {
            const std::string written = AsText(line->Written());
            return written.find("CURRENT\r\n") != std::string::npos;
        },
        10s));
    const std::string written = AsText(line->Written());
    // At most the telegram whose write was under way when the line freed.
    EXPECT_LE(std::count(written.begin(), written.end(), '\n'), 2) << written;
    EXPECT_GT(raw->GetQueueDroppedStale(), 0u);

    // Stopping the protocol while a write waits for the held line ends.
    line->HoldWrites(true);
    ASSERT_TRUE(raw->Send("HELD\r\n"));
    ASSERT_TRUE(zv::test::WaitUntil([&] { return raw->GetQueueCount() == 0; }, 10s));
    raw.reset();
    EXPECT_EQ(AsText(line->Written()).find("HELD"), std::string::npos);
}
