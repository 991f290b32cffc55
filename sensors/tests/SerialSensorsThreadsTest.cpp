// The serial sensors on a pseudo-terminal through the real serial component
// (registered into temporary hives), and the trawl's readings shared between
// the reader thread and the ping threads.
#include "base/AppIds.h"
#include "base/FramePayloads.h"
#include "platform/MessageDispatcher.h"
#include "platform/OwnerThreadRelease.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "sensors/Environment.h"
#include "sensors/GyroCompass.h"
#include "sensors/Heave.h"
#include "sensors/Navigation.h"
#include "sensors/SvpProbe.h"
#include "sensors/SvpProfileStore.h"
#include "sensors/Trawl.h"
#include "serialcom/device/DepthTelegramSources.h"
#include "serialcom/tests/TovrelixTestSupport.h"
#include "testsupport/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

void SetPort(const std::string& settingId, const std::string& port)
{
    HKEY key = nullptr;
    const std::string section = "Software\\Zelvar\\Tovrelix\\" + settingId + "COM settings";
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, "Port", 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                            static_cast<DWORD>(port.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// Pumps this thread's messages (the monitor's timers and refreshes, the
// frame's telegrams) until the condition holds.
bool PumpFor(const std::function<bool()>& condition)
{
    return PumpUntil(condition, std::chrono::seconds(10));
}

class LineTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(RunRegSvr(false), 0);
        m_frame = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message == app::WM_ES_TELEGRAM)
                if (const auto* t = CurrentPayload<app::TimedText>())
                    telegrams.push_back(t->text);
            return 0;
        });
        SetMainWindow(m_frame);
    }
    void TearDown() override
    {
        SetMainWindow(0);
        DestroyWindow(m_frame);
        CoFreeUnusedLibraries();
    }

    CTempHives hives;
    CPtyPair pty;
    CLiveSensorHost host;
    CNoDepthTelegramSources sources;
    std::vector<std::string> telegrams;

private:
    HWND m_frame = 0;
};

// Lines of the navigation line reach the decoder's message; with depth
// output on, the chosen channel's depth goes out on the same line.
TEST_F(LineTest, NavigationReadsItsLineAndSendsTheDepth)
{
    SetPort("Navigation", pty.Name());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\Navigation", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_SUCCESS);
    CNavigation navigation(host, sources);
    ASSERT_EQ(navigation.OpenPort(), 0);
    navigation.Load(key);
    RegCloseKey(key);
    EXPECT_EQ(navigation.GetRxProtocolName(), "ASCII");
    EXPECT_EQ(navigation.GetTxProtocolName(), "");

    pty.Write(
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n$GPVTG,054.7,T,034.4,M,005.5,N,,\r\n");
    ASSERT_TRUE(PumpFor([&] { return telegrams.size() == 2; }));
    EXPECT_EQ(telegrams[1], "$GPVTG,054.7,T,034.4,M,005.5,N,,");

    CNavigation::Settings s = navigation.GetSettings();
    s.DepthOutput = 1;
    s.DepthTelegram = 0;
    s.ChannelSource = "T38 38 kHz";
    navigation.StoreSettings(s);
    EXPECT_EQ(navigation.GetTxProtocolName(), "ASCII");
    EXPECT_EQ(navigation.SendDepthTelegram("T38 38 kHz", 0, 0, 10.0, 0.0, 0.0, 0.0), 0);
    EXPECT_EQ(pty.Read(31), "$SDDBS,32.81,f,10.00,M,5.47,F\r\n");

    // An ASCII layout ended by line feeds alone.
    s.NavigationProtocol = CNavigation::kProtocolAscii;
    s.AsciiProtocol = 2;
    navigation.StoreSettings(s);
    EXPECT_EQ(navigation.GetRxProtocolName(), "ASCII_LF");
    pty.Write("POS 59.1 10.2\n");
    ASSERT_TRUE(PumpFor([&] { return telegrams.size() == 3; }));
    EXPECT_EQ(telegrams[2], "POS 59.1 10.2");
    navigation.ClosePort();
}

// A probe that nobody has polled is woken after each reading by twelve
// carriage returns; once the program has sent it a command (here the
// cast's start) its readings get no answer. The transmit protocol ends
// each of them with a line feed.
TEST_F(LineTest, ProbeUnpolledGetsTwelveReturnsAfterEachReading)
{
    SetPort("SvpProbe", pty.Name());
    CEnvironment environment;
    CSvpProfileStore store([] { return std::string(); }, [] { return SounderModel::QY210; });
    CSvpProbe probe(environment, store, host);
    ASSERT_EQ(probe.StartReader(), 0);
    ASSERT_TRUE(PumpFor([&] { return probe.GetTxProtocolName() == "ASCII"; }));
    std::string twelve;
    for (int i = 0; i < 12; ++i)
        twelve += "\r\n";
    const auto logged = [&](std::size_t lines) {
        const std::string text = probe.Monitor().Text();
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) == lines;
    };

    pty.Write("0001 10.08 x 1492.31\r\n");
    ASSERT_TRUE(PumpFor([&] { return logged(1); }));
    EXPECT_EQ(pty.Read(twelve.size()), twelve);
    pty.Write("SV 1490.5\r\n");
    ASSERT_TRUE(PumpFor([&] { return logged(2); }));
    EXPECT_EQ(pty.Read(twelve.size()), twelve) << "each reading, while nothing was sent";

    probe.StartCast();
    EXPECT_EQ(pty.Read(7), "\r\nM\r\n\r\n");
    pty.Write("0001 20.16 x 1491.0\r\n");
    ASSERT_TRUE(PumpFor([&] { return logged(3); }));
    EXPECT_EQ(pty.Read(1, 500), "") << "a polled probe is not woken";
    probe.StopReader();
}

// The heading input's line takes its transmit protocol a second after it
// opened, and only when switched on; closing before then cancels it.
TEST_F(LineTest, HeadingTakesItsTransmitProtocolLater)
{
    SetPort("GyroCompass", pty.Name());
    CGyroCompass heading(host);
    heading.SetEnabled(true);
    ASSERT_EQ(heading.OpenPort(), 0);
    EXPECT_EQ(heading.GetRxProtocolName(), "ASCII");
    EXPECT_EQ(heading.GetTxProtocolName(), "");
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(PumpFor([&] { return heading.GetTxProtocolName() == "ASCII"; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    pty.Write("$HEHDT,274.07,T\r\n$GPGGA,1\r\n$HEHDG,1.0,,,,\r\n");
    ASSERT_TRUE(PumpFor([&] { return telegrams.size() == 2; }));
    heading.ClosePort();

    CGyroCompass off(host);
    ASSERT_EQ(off.OpenPort(), 0);
    PumpUntil([] { return false; }, std::chrono::milliseconds(1300));
    EXPECT_EQ(off.GetTxProtocolName(), "");
}

// The motion sensor's line: its text telegram is stored from the reader
// thread, and with depth output on, once the line has settled, the chosen
// channel's depth goes out on the same line.
TEST_F(LineTest, HeaveReadsItsLineAndSendsTheDepth)
{
    SetPort("Heave", pty.Name());
    CHeave heave(host, sources);
    CHeave::Settings s = heave.GetSettings();
    s.Mode = CHeave::kModeSerial;
    s.SerialProtocol = CHeave::kProtocolAscii;
    s.DepthOutput = 1;
    s.ChannelSource = "T38 38 kHz";
    heave.StoreSettings(s);
    ASSERT_EQ(heave.OpenPort(), 0);
    EXPECT_EQ(heave.GetRxProtocolName(), "ASCII");
    ASSERT_TRUE(PumpFor([&] { return heave.GetTxProtocolName() == "ASCII"; }));

    pty.Write(":00A0F0 -0012F 0150  0200\r\n");
    ASSERT_TRUE(PumpFor([&] { return heave.GetNewestSample().stamp != 0; }));
    EXPECT_EQ(heave.GetNewestSample().heave, -12);
    EXPECT_EQ(heave.GetNewestSample().pitch, 200);

    EXPECT_EQ(heave.SendDepthTelegram("T38 38 kHz", 0, 0, 10.0, 0.0, 0.0, 0.0), 0);
    EXPECT_EQ(pty.Read(31), "$SDDBS,32.81,f,10.00,M,5.47,F\r\n");
    heave.ClosePort();
}

// Sensors closed while pings reach them through shares, their lines busy: a
// ping that holds the last share hands the sensor back, and it ends with its
// monitor's window on this thread (the user-interface thread), not on the
// ping's.
TEST_F(LineTest, SensorsClosedWhilePingingEndOnTheMakingThread)
{
    CPtyPair trawlPty;
    SetPort("Navigation", pty.Name());
    SetPort("Trawl", trawlPty.Name());
    COwnerThreadRelease release;
    auto navigation = release.MakeShared<CNavigation>(host, sources);
    auto trawl = release.MakeShared<CTrawl>(SounderModel::RM30, sources);
    ASSERT_EQ(navigation->OpenPort(), 0);
    ASSERT_EQ(trawl->OpenSerialPort(), 0);
    CNavigation::Settings n = navigation->GetSettings();
    n.DepthOutput = 1;
    n.ChannelSource = "T38 38 kHz";
    navigation->StoreSettings(n);
    CTrawl::Settings t = trawl->GetSettings();
    t.DepthOutput = 1;
    t.ChannelSource = "T38 38 kHz";
    trawl->StoreSettings(t);
    // Shown monitors: every line posts to its window.
    navigation->Monitor().SetVisible(true);
    trawl->Monitor().SetVisible(true);
    const HWND navigationMonitor = navigation->Monitor().Window();
    const HWND trawlMonitor = trawl->Monitor().Window();

    // The far ends: lines in, depth telegrams drained.
    std::atomic<bool> linesStop{false};
    std::thread lines([&] {
        while (!linesStop.load()) {
            pty.Write("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n");
            trawlPty.Write("$IIDPT,25.0,0.0\r\n$IIHFB,12.5,M\r\n");
            pty.Read(4096, 1);
            trawlPty.Read(4096, 1);
        }
    });

    // The links the pings take their shares from.
    std::mutex linkLock;
    std::shared_ptr<CNavigation> navigationLink = navigation;
    std::shared_ptr<CTrawl> trawlLink = trawl;
    std::atomic<int> pings{0};
    std::atomic<bool> pause{false}, paused{false}, resume{false};
    std::thread pinger([&] {
        for (std::uint64_t time = 134'000'000'000'000'000ULL;; time += 1'000'000) {
            std::shared_ptr<CNavigation> pingNavigation;
            std::shared_ptr<CTrawl> pingTrawl;
            {
                std::lock_guard lock(linkLock);
                pingNavigation = navigationLink;
                pingTrawl = trawlLink;
            }
            if (!pingNavigation)
                return;
            if (pause.load() && !paused.load()) {
                paused = true;
                while (!resume.load())
                    std::this_thread::yield();
            }
            pingNavigation->SendDepthTelegram("T38 38 kHz", 0, time, 40.0, -20.0, 0.0, 0.0);
            pingTrawl->SendDepthTelegram("T38 38 kHz", 0, time, 40.0, -20.0, 0.0, 0.0);
            TrawlRecord record;
            pingTrawl->GetTrawlData(record);
            ++pings;
        }
    });
    // A failed wait goes on to the end below: the threads are always joined.
    EXPECT_TRUE(PumpFor([&] { return pings.load() >= 200; }));

    // A ping holds its shares while the sensors are unlinked, closed and let
    // go here.
    pause = true;
    EXPECT_TRUE(PumpFor([&] { return paused.load(); }));
    {
        std::lock_guard lock(linkLock);
        navigationLink.reset();
        trawlLink.reset();
    }
    navigation->ClosePort();
    trawl->ClosePort();
    navigation.reset();
    trawl.reset();
    resume = true;
    pinger.join();
    linesStop = true;
    lines.join();

    EXPECT_TRUE(IsWindow(navigationMonitor));
    EXPECT_TRUE(IsWindow(trawlMonitor));
    EXPECT_TRUE(PumpFor([&] { return !IsWindow(navigationMonitor) && !IsWindow(trawlMonitor); }));
}

// The reader thread writes a reading with its time while the ping threads
// read them: a reader always sees a depth with its own time.
TEST(TrawlThreads, ReadingsAreWholeWhileTheLineArrives)
{
    CNoDepthTelegramSources sources;
    CTrawl trawl(SounderModel::TQ30, sources);
    constexpr std::uint64_t kEarly = 134'000'000'000'000'000ULL;
    constexpr std::uint64_t kLate = kEarly + 10'000'000;
    std::atomic<bool> stop{false};
    std::thread line([&] {
        for (int i = 0; !stop.load(); ++i) {
            if (i % 2)
                trawl.ParseTelegram("$IIDPT,10.0,0.0", kEarly);
            else
                trawl.ParseTelegram("$IIDPT,2000.0,0.0", kLate);
            trawl.ParseTelegram("$IIHFB,12.5,M", kLate);
        }
    });
    int torn = 0;
    for (int i = 0; i < 200000; ++i) {
        const CTrawl::Readings r = trawl.GetReadings();
        if (r.depthTime != 0 && (r.depth == 10.0) != (r.depthTime == kEarly))
            ++torn;
        TrawlRecord record;
        trawl.GetTrawlDataAt(record, kLate);
    }
    stop = true;
    line.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
