// The survey control exchange owned by a running sounder: the sounder makes
// it with its channels and ends it after its own workers. Destroying the
// sounder while the exchange's worker is in the middle of a cycle (commands
// arriving, the host asked for ping modes and the recorder's state, the
// operator switching survey control) leaves nothing running and nothing
// freed under a thread.
#include "outputs/HBX.h"

#include "base/RegistrySupport.h"
#include "platform/TempHives.h"
#include "sim/hbx/HbxCodec.h"
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"
#include "testsupport/Wait.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/TestInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace {

using namespace std::chrono_literals;

// What the exchange asks of the program, counted; the recorder's state
// flips with every toggle, as the recorder's command does.
class CCountingHbxHost final : public IHbxHost
{
public:
    void RequestPingMode(int, DWORD, int, double, int) override { ++requests; }
    int StoredPingMode() override { return CEchoSounder::kMaximumRate; }
    bool IsRecording() override { return recording.load(); }
    void PostRecordToggle() override
    {
        ++toggles;
        recording = !recording.load();
    }
    void PointNetworkOutput(std::uint32_t, std::uint16_t) override { ++points; }
    void StatusText(const std::string& text) override
    {
        std::lock_guard lock(m_lock);
        m_status.push_back(text);
    }

    std::atomic<int> requests{0}, toggles{0}, points{0};
    std::atomic<bool> recording{false};

private:
    std::mutex m_lock;
    std::vector<std::string> m_status;
};

// The program's part: the sounder's exchange, on ports of the test.
class CSurveySounderHost final : public CTestEchoSounderHost
{
public:
    CSurveySounderHost(IHbxHost& hbxHost, CHBX::Options options) : m_hbxHost(hbxHost), m_options(options) {}
    std::unique_ptr<ISurveyControl> CreateSurveyControl(CEchoSounder& sounder) override
    {
        auto hbx = std::make_unique<CHBX>(m_hbxHost, sounder, SounderModel::QY310, m_options);
        made = hbx.get();
        return hbx;
    }
    std::atomic<CHBX*> made{nullptr};

private:
    IHbxHost& m_hbxHost;
    const CHBX::Options m_options;
};

std::uint16_t FreePort()
{
    CSocket s;
    s.Create(CSocket::Udp);
    s.Bind(SocketAddress(SocketAddress::kLoopback, 0));
    return s.LocalAddress().port;
}

TEST(HBXThreads, DestroyingTheSounderMidCycle)
{
    CTempHives hives;
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    CTransceiverInstallation installation;
    installation.Initialize();
    CTestTransceiver::Options unit;
    unit.name = "A";
    InstallTestChannels(installation, unit.name, 1);

    CSocket announcements, status, sender;
    for (CSocket* s : {&announcements, &status}) {
        ASSERT_TRUE(s->Create(CSocket::Udp));
        ASSERT_TRUE(s->Bind(SocketAddress(SocketAddress::kLoopback, 0)));
    }
    ASSERT_TRUE(sender.Create(CSocket::Udp));
    CHBX::Options options;
    options.receivePort = FreePort();
    options.announcement = SocketAddress(SocketAddress::kLoopback, announcements.LocalAddress().port);
    options.cycleMs = 1;

    CCountingHbxHost hbxHost;
    CSurveySounderHost host(hbxHost, options);
    host.createTransceiver = [&](TransceiverType, int, const InstalledTransceiverInfo&, HKEY) {
        return std::unique_ptr<CTransceiver>(std::make_unique<CTestTransceiver>(unit));
    };
    CEchoSounder::Context context;
    context.host = &host;
    context.installation = &installation;
    context.workerStartDelayMs = 0;

    // The survey program, sending all it can as fast as it can.
    std::atomic<bool> stop{false};
    const std::vector<std::vector<std::uint8_t>> commands = {
        hbxsim::Command("P00"),        hbxsim::Ports(status.LocalAddress().port, status.LocalAddress().port),
        hbxsim::Command("P02"),        hbxsim::Command("P10"),
        hbxsim::Command("P03"),        hbxsim::Command("P20"),
        hbxsim::Logging("2", "line1"), hbxsim::Logging("1", "line1"),
        hbxsim::Logging("0", "line1"), hbxsim::Ports(0, 0, 10),
    };
    std::thread survey([&] {
        for (std::size_t i = 0; !stop.load(); ++i) {
            const auto& c = commands[i % commands.size()];
            sender.SendTo(c.data(), c.size(), SocketAddress(SocketAddress::kLoopback, options.receivePort));
            std::this_thread::sleep_for(200us);
        }
    });

    for (int round = 0; round < 5; ++round) {
        auto sounder = std::make_unique<CEchoSounder>();
        ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                    CEchoSounder::kTriggerInternal, 0, "", 1));
        CHBX* hbx = host.made.load();
        ASSERT_NE(hbx, nullptr);
        ASSERT_TRUE(zv::test::WaitUntil([&] { return hbx->IsRunning(); }, 10s));
        // The survey program's commands are taken.
        const int points = hbxHost.points.load();
        ASSERT_TRUE(zv::test::WaitUntil([&] { return hbxHost.points.load() > points; }, 20s));
        // The operator switches survey control off and on again, as the
        // operation dialog does on the user-interface thread: single step
        // is asked for once more.
        sounder->SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 0);
        const std::uint64_t off = hbx->Cycles();
        ASSERT_TRUE(zv::test::WaitUntil([&] { return hbx->Cycles() > off + 1; }, 20s));
        const int requests = hbxHost.requests.load();
        sounder->SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 1);
        ASSERT_TRUE(zv::test::WaitUntil([&] { return hbxHost.requests.load() > requests; }, 20s));
        // Destroyed at once, with the worker in whatever part of its cycle
        // it is, the commands still coming.
        sounder.reset();
        host.made = nullptr;
    }
    stop = true;
    survey.join();
    // The commands were taken: pinging and recording requested, the network
    // output pointed.
    EXPECT_GT(hbxHost.requests.load(), 0);
    EXPECT_GT(hbxHost.points.load(), 0);
    EXPECT_GT(hbxHost.toggles.load(), 0);
    reg.CloseRootKeys();
}

}  // namespace
