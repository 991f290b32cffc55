// The survey control exchange against the survey program's own codec
// (sim/hbx): golden bytes of the datagrams, the command table, and the
// worker on loopback with a short cycle.
#include "outputs/HBX.h"
#include "sim/hbx/HbxCodec.h"
#include "sounder/EchoSounder.h"
#include "testsupport/NetNamespace.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::tm Noon()
{
    std::tm t{};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 11;
    t.tm_hour = 13;
    t.tm_min = 4;
    t.tm_sec = 5;
    return t;
}

TEST(HBX, HeadAndAnnouncementGoldenBytes)
{
    const std::vector<std::uint8_t> a = CHBX::Announcement(CHBX::kModelQY310, Noon(), 2012, CHBX::kNoAddress);
    ASSERT_EQ(a.size(), 108u);
    // Model 310, 20261211, 47045000 ms, counter 1, serial 310.
    const std::vector<std::uint8_t> head{0x02, '0',  0x36, 0x01, 0x5B, 0x29, 0x35, 0x01,
                                         0x88, 0xD9, 0xCD, 0x02, 0x01, 0x00, 0x36, 0x01};
    EXPECT_EQ(std::vector<std::uint8_t>(a.begin(), a.begin() + 16), head);
    EXPECT_EQ(std::vector<std::uint8_t>(a.begin() + 16, a.begin() + 20), (std::vector<std::uint8_t>{0xDC, 0x07, 0, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(a.begin() + 92, a.begin() + 96), (std::vector<std::uint8_t>(4, 0x30)));

    const hbxsim::SDatagram d = hbxsim::Decode(CHBX::Announcement(CHBX::kModelTQ30, Noon(), 2012, 0x7F000005));
    ASSERT_EQ(d.kind, hbxsim::SDatagram::EKind::Announcement) << d.reason;
    EXPECT_EQ(d.head.date, 20261211u);
    EXPECT_EQ(d.head.timeMs, 47045000u);
    EXPECT_EQ(d.commandPort, 2012u);
    EXPECT_EQ(d.surveyAddress, 0x7F000005u);
}

// The head of the other numbered models, byte for byte, as the sounder
// writes it and as the survey program's codec reads it.
TEST(HBX, HeadGoldenBytesOfEachModelNumber)
{
    const struct
    {
        SounderModel model;
        const char* name;
        std::uint16_t number;
        std::vector<std::uint8_t> head;
    } cases[] = {
        {SounderModel::TQ30,
         "TQ30",
         2030,
         {0x02, '0', 0xEE, 0x07, 0x5B, 0x29, 0x35, 0x01, 0x88, 0xD9, 0xCD, 0x02, 0x01, 0x00, 0xEE, 0x07}},
        {SounderModel::QYNVU,
         "QYNVU",
         5000,
         {0x02, '0', 0x88, 0x13, 0x5B, 0x29, 0x35, 0x01, 0x88, 0xD9, 0xCD, 0x02, 0x01, 0x00, 0x88, 0x13}},
    };
    for (const auto& c : cases) {
        const std::vector<std::uint8_t> ours =
            CHBX::Announcement(CHBX::ModelNumber(c.model), Noon(), 2012, CHBX::kNoAddress);
        EXPECT_EQ(std::vector<std::uint8_t>(ours.begin(), ours.begin() + 16), c.head) << c.name;

        std::vector<std::uint8_t> golden = c.head;
        golden.resize(CHBX::kAnnouncementSize, 0);
        const hbxsim::SDatagram d = hbxsim::Decode(golden);
        ASSERT_EQ(d.kind, hbxsim::SDatagram::EKind::Announcement) << c.name << " " << d.reason;
        EXPECT_EQ(d.head.model, c.number) << c.name;
        EXPECT_EQ(d.head.serial, c.number) << c.name;
        EXPECT_EQ(hbxsim::ModelName(d.head.model), c.name);
        EXPECT_EQ(d.head.date, 20261211u) << c.name;
        EXPECT_EQ(d.head.timeMs, 47045000u) << c.name;
    }
}

// Every model has its own number, and the survey program knows it.
TEST(HBX, ModelNumbersAgreeWithThePeer)
{
    const std::pair<SounderModel, const char*> models[] = {
        {SounderModel::QY210, "QY210"}, {SounderModel::QY310, "QY310"}, {SounderModel::RM30, "RM30"},
        {SounderModel::TQ30, "TQ30"},   {SounderModel::TOTAL, "TOTAL"}, {SounderModel::QYNVU, "QYNVU"}};
    for (const auto& [model, name] : models)
        EXPECT_EQ(hbxsim::ModelName(CHBX::ModelNumber(model)), name);
}

TEST(HBX, RepliesDecode)
{
    const hbxsim::SDatagram q = hbxsim::Decode(CHBX::QueryReply(CHBX::kModelQYNVU, Noon()));
    ASSERT_EQ(q.kind, hbxsim::SDatagram::EKind::QueryReply) << q.reason;
    EXPECT_EQ(q.word16, 99);
    EXPECT_EQ(q.word18, 1);
    EXPECT_EQ(q.result, "QY dummy result");

    const std::vector<std::uint8_t> clock = CHBX::ClockReply(Noon());
    ASSERT_EQ(clock.size(), 268u);
    const hbxsim::SDatagram c = hbxsim::Decode(clock);
    ASSERT_EQ(c.kind, hbxsim::SDatagram::EKind::ClockReply) << c.reason;
    EXPECT_EQ(c.text, "CS,13040500,DATE:20261211");
}

TEST(HBX, CommandsStandAtOffsetThree)
{
    const auto command = [](std::string text) {
        return CHBX::Command(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    };
    using E = CHBX::ECommand;
    const std::pair<std::string, E> cases[] = {
        {"HBXP00", E::Register},      {"HBXPU0", E::Ports}, {"HBXP03", E::Query}, {"HBXP02", E::StopPinging},
        {"HBXP10", E::ResumePinging}, {"HBXP20", E::Clock}, {"HBXS00", E::Known}, {"HBXP30", E::Known},
        {"HBXQYL,LOG=1", E::Logging}, {"P00HBX", E::None},  {"P00", E::None},     {"HBXP0", E::None},
        {"HBX P00", E::None},         {"HBXp00", E::None},  {"", E::None},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(command(text), expected) << text;
}

TEST(HBX, LoggingRequests)
{
    const std::pair<const char*, int> cases[] = {
        {"HBXQYL,LOG=1,FIL=x,", 1},
        {"HBXQYL,LOG=0,FIL=x,", 0},
        {"HBXQYL,LOG=2,FIL=", 2},
        {"HBXQYL,LOG=,FIL=x,", -1},
        {"HBXQYL,FIL=x,LOG=1", 1},
        {"HBXQYL,LOG=x1,FIL=", -1},
        {"HBXQYL,LOG=3,FIL=", -1},
        {"HBXQYL,LOG=99999999999999999999", -1},
        {"HBXQYL", -1},
        {"HBXQYL,LOG=-1,FIL=", -1},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(CHBX::LoggingRequest(text), expected) << text;
}

// What the exchange asked of the program.
class CRecordingHost final : public IHbxHost
{
public:
    struct SRequest
    {
        int mode;
        DWORD trigger;
        int companion;
        double interval;
        int hbx;
    };
    void RequestPingMode(int mode, DWORD trigger, int companion, double interval, int hbx) override
    {
        std::lock_guard lock(m_lock);
        requests.push_back({mode, trigger, companion, interval, hbx});
    }
    int StoredPingMode() override { return 2; }
    bool IsRecording() override
    {
        std::lock_guard lock(m_lock);
        return recording;
    }
    void PostRecordToggle() override
    {
        std::lock_guard lock(m_lock);
        ++toggles;
    }
    void PointNetworkOutput(std::uint32_t address, std::uint16_t port) override
    {
        std::lock_guard lock(m_lock);
        network = SocketAddress(address, port);
    }
    void StatusText(const std::string& text) override
    {
        std::lock_guard lock(m_lock);
        status.push_back(text);
    }
    template <class F>
    auto With(F f)
    {
        std::lock_guard lock(m_lock);
        return f();
    }

    std::vector<SRequest> requests;
    bool recording = false;
    int toggles = 0;
    SocketAddress network;
    std::vector<std::string> status;

private:
    std::mutex m_lock;
};

std::uint16_t FreePort()
{
    CSocket s;
    s.Create(CSocket::Udp);
    s.Bind(SocketAddress(SocketAddress::kLoopback, 0));
    return s.LocalAddress().port;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

class HBXWorker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (CSocket* s : {&announcements, &status, &replies}) {
            ASSERT_TRUE(s->Create(CSocket::Udp));
            ASSERT_TRUE(s->Bind(SocketAddress(SocketAddress::kLoopback, 0)));
        }
        ASSERT_TRUE(sender.Create(CSocket::Udp));
        options.receivePort = FreePort();
        options.announcement = SocketAddress(SocketAddress::kLoopback, announcements.LocalAddress().port);
        options.cycleMs = 20;
        sounder.SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 5'000'000, 0);
    }

    void Send(const std::vector<std::uint8_t>& datagram)
    {
        ASSERT_EQ(sender.SendTo(datagram.data(), datagram.size(),
                                SocketAddress(SocketAddress::kLoopback, options.receivePort)),
                  static_cast<int>(datagram.size()));
    }
    // The next datagram of a socket, decoded; Bad when none comes.
    hbxsim::SDatagram Next(CSocket& socket, int timeoutMs = 5000)
    {
        std::vector<std::uint8_t> buffer(70000);
        const int n = socket.ReceiveFrom(buffer.data(), buffer.size(), nullptr, timeoutMs);
        if (n < 0)
            return {};
        return hbxsim::Decode(std::span(buffer.data(), static_cast<std::size_t>(n)));
    }
    // Drops what has come so far on a socket.
    static void Drain(CSocket& socket)
    {
        std::vector<std::uint8_t> buffer(70000);
        while (socket.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 0) >= 0) {
        }
    }
    // Waits until the worker has done two more cycles, so that a datagram
    // sent before has been taken.
    void TwoCycles(CHBX& hbx)
    {
        const std::uint64_t start = hbx.Cycles();
        ASSERT_TRUE(WaitUntil([&] { return hbx.Cycles() >= start + 2; }));
    }
    std::size_t Requests()
    {
        return host.With([&] { return host.requests.size(); });
    }

    CRecordingHost host;
    CEchoSounder sounder;
    CHBX::Options options;
    CSocket announcements, status, replies, sender;
};

TEST_F(HBXWorker, SurveyProgramDrivesTheSounder)
{
    CHBX hbx(host, sounder, SounderModel::QY310, options);
    ASSERT_TRUE(hbx.IsRunning());
    TwoCycles(hbx);
    // Survey control off: silent, and what comes meanwhile waits.
    EXPECT_EQ(Next(announcements, 0).kind, hbxsim::SDatagram::EKind::Bad);
    Send(hbxsim::Command("P02"));
    TwoCycles(hbx);
    EXPECT_EQ(Requests(), 0u);

    // On: one single step with the sounder's values; the P02 that waited is
    // dropped, not run now.
    sounder.SetMode(CEchoSounder::kInterval, CEchoSounder::kTriggerInternal, 0, 5'000'000, 1);
    const hbxsim::SDatagram first = Next(announcements);
    ASSERT_EQ(first.kind, hbxsim::SDatagram::EKind::Announcement) << first.reason;
    EXPECT_EQ(first.surveyAddress, CHBX::kNoAddress);
    EXPECT_EQ(first.commandPort, options.receivePort);
    TwoCycles(hbx);
    host.With([&] {
        ASSERT_EQ(host.requests.size(), 1u);
        EXPECT_EQ(host.requests[0].mode, CEchoSounder::kSingleStep);
        EXPECT_EQ(host.requests[0].trigger, CEchoSounder::kTriggerInternal);
        EXPECT_DOUBLE_EQ(host.requests[0].interval, 0.5);
        EXPECT_EQ(host.requests[0].hbx, 1);
    });

    // Registration: its address in the announcements from now on.
    Send(hbxsim::Command("P00"));
    TwoCycles(hbx);
    Drain(announcements);
    EXPECT_EQ(Next(announcements).surveyAddress, SocketAddress::kLoopback);

    // A short PU0 or one with port 0 points nothing anywhere.
    Send(hbxsim::Ports(status.LocalAddress().port, replies.LocalAddress().port, 23));
    Send(hbxsim::Ports(0, replies.LocalAddress().port));
    TwoCycles(hbx);
    TwoCycles(hbx);
    EXPECT_EQ(Next(status, 0).kind, hbxsim::SDatagram::EKind::Bad);
    EXPECT_EQ(host.With([&] { return host.network.port; }), 0);

    Send(hbxsim::Ports(status.LocalAddress().port, replies.LocalAddress().port));
    const hbxsim::SDatagram s = Next(status);
    EXPECT_EQ(s.kind, hbxsim::SDatagram::EKind::Status) << s.reason;
    EXPECT_EQ(host.With([&] { return host.network; }),
              SocketAddress(SocketAddress::kLoopback, replies.LocalAddress().port));

    Send(hbxsim::Command("P03"));
    bool query = false;
    for (int i = 0; i < 20 && !query; ++i)
        query = Next(status).kind == hbxsim::SDatagram::EKind::QueryReply;
    EXPECT_TRUE(query);
    Send(hbxsim::Command("P20"));
    EXPECT_EQ(Next(replies).kind, hbxsim::SDatagram::EKind::ClockReply);

    // Stop, then resume with the application's stored mode.
    Send(hbxsim::Command("P02"));
    TwoCycles(hbx);
    Send(hbxsim::Command("P10"));
    TwoCycles(hbx);
    host.With([&] {
        ASSERT_EQ(host.requests.size(), 3u);
        EXPECT_EQ(host.requests[1].mode, CEchoSounder::kSingleStep);
        EXPECT_EQ(host.requests[2].mode, 2);
    });

    // Off and on again: single step once more.
    sounder.SetMode(CEchoSounder::kInterval, CEchoSounder::kTriggerInternal, 0, 5'000'000, 0);
    TwoCycles(hbx);
    sounder.SetMode(CEchoSounder::kInterval, CEchoSounder::kTriggerInternal, 0, 5'000'000, 1);
    TwoCycles(hbx);
    host.With([&] {
        ASSERT_EQ(host.requests.size(), 4u);
        EXPECT_EQ(host.requests[3].mode, CEchoSounder::kSingleStep);
    });
    EXPECT_TRUE(host.With([&] { return host.status.empty(); }));
}

// LOG=0 stops, 1 starts, 2 restarts, each only in the state it changes.
TEST_F(HBXWorker, LoggingFollowsTheRecordersState)
{
    sounder.SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 1);
    CHBX hbx(host, sounder, SounderModel::TQ30, options);
    TwoCycles(hbx);
    const struct
    {
        const char* log;
        bool recording;
        int toggles;
    } cases[] = {{"0", false, 0}, {"0", true, 1}, {"1", false, 1}, {"1", true, 0},
                 {"2", false, 0}, {"2", true, 2}, {"7", true, 0},  {"", true, 0}};
    for (const auto& c : cases) {
        host.With([&] {
            host.recording = c.recording;
            host.toggles = 0;
        });
        Send(hbxsim::Logging(c.log, "line7"));
        TwoCycles(hbx);
        EXPECT_EQ(host.With([&] { return host.toggles; }), c.toggles) << c.log << " " << c.recording;
    }
}

// One datagram per cycle: three sent at once take three cycles.
TEST_F(HBXWorker, OneDatagramPerCycle)
{
    options.cycleMs = 100;
    sounder.SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 1);
    CHBX hbx(host, sounder, SounderModel::QY310, options);
    ASSERT_TRUE(WaitUntil([&] { return Requests() == 1; }));
    const std::uint64_t start = hbx.Cycles();
    for (int i = 0; i < 3; ++i)
        Send(hbxsim::Command("P02"));
    // The third is taken in the third cycle at the earliest.
    ASSERT_TRUE(WaitUntil([&] { return Requests() == 4; }));
    EXPECT_GE(hbx.Cycles(), start + 2);
}

// The stop wakes the worker from its sleep: the destructor returns long
// before the cycle it interrupts would have ended.
TEST_F(HBXWorker, DestructionWakesTheCycleSleep)
{
    options.cycleMs = CHBX::Options{}.cycleMs;
    ASSERT_EQ(options.cycleMs, 990u);
    auto hbx = std::make_unique<CHBX>(host, sounder, SounderModel::QY310, options);
    ASSERT_TRUE(hbx->IsRunning());
    // The count goes up just before the sleep begins: the last time it was
    // seen unchanged is a moment before the sleep began.
    const std::uint64_t start = hbx->Cycles();
    auto unchanged = std::chrono::steady_clock::now();
    ASSERT_TRUE(WaitUntil([&] {
        const auto now = std::chrono::steady_clock::now();
        if (hbx->Cycles() > start)
            return true;
        unchanged = now;
        return false;
    }));
    hbx.reset();
    const auto elapsed = std::chrono::steady_clock::now() - unchanged;
    EXPECT_LT(elapsed, std::chrono::milliseconds(options.cycleMs))
        << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << " ms";
}

// A send that fails is told on the status bar once, not every cycle while
// it lasts; the worker goes on. In a namespace of its own without the
// broadcast route, the announcement cannot leave.
TEST(HBXSend, FailureIsToldOnce)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        CRecordingHost host;
        CEchoSounder sounder;
        sounder.SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 1);
        CHBX::Options options;
        options.receivePort = FreePort();
        options.cycleMs = 20;
        CHBX hbx(host, sounder, SounderModel::QY310, options);
        check(hbx.IsRunning(), "worker running");
        check(WaitUntil([&] { return hbx.Cycles() >= 10; }), "ten cycles");
        const std::vector<std::string> status = host.With([&] { return host.status; });
        check(status.size() == 1, "told once, told " + std::to_string(status.size()));
        check(!status.empty() && status[0].find("HBX: cannot send to 255.255.255.255:1999") == 0,
              status.empty() ? "no text" : status[0]);
        // Once the broadcast can leave, the worker goes on announcing.
        CSocket watch;
        check(watch.Create(CSocket::Udp) && watch.Bind(SocketAddress(0, 1999)), "announcement socket");
        check(nettest::RouteBroadcastToLoopback(), "broadcast route");
        std::vector<std::uint8_t> buffer(2000);
        const int n = watch.ReceiveFrom(buffer.data(), buffer.size(), nullptr, 10000);
        check(n > 0 && hbxsim::Decode(std::span(buffer.data(), static_cast<std::size_t>(n))).kind ==
                           hbxsim::SDatagram::EKind::Announcement,
              "announcement after the route");
        check(host.With([&] { return host.status.size(); }) == 1, "nothing more told");
        return check.failures;
    });
}

TEST_F(HBXWorker, PortInUseEndsTheWorker)
{
    CSocket taken;
    ASSERT_TRUE(taken.Create(CSocket::Udp));
    ASSERT_TRUE(taken.Bind(SocketAddress(0, options.receivePort)));
    CHBX hbx(host, sounder, SounderModel::QY310, options);
    EXPECT_FALSE(hbx.IsRunning());
    EXPECT_EQ(host.With([&] { return host.status.size(); }), 1u);
}

}  // namespace
