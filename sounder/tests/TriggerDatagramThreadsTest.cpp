// The trigger datagram goes out as a broadcast, so this test runs in a
// network namespace of its own: it starts itself again under "unshare -rn",
// brings the loopback device up there and listens on it.
#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"

#include "platform/TempHives.h"
#include "testsupport/Wait.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

namespace {

using namespace std::chrono_literals;

constexpr const char* kInsideVariable = "ZELVAR_TEST_IN_NETNS";

// Runs this test binary again inside a new user and network namespace, with
// only the named test; true when it passed there.
bool RunInsideNamespace(const std::string& filter)
{
    char self[PATH_MAX] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv(kInsideVariable, "1", 1);
        const std::string arg = "--gtest_filter=" + filter;
        ::execlp("unshare", "unshare", "-rn", self, arg.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid)
        return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct PingCounter
{
    std::mutex lock;
    int pings = 0;
    void Note()
    {
        std::lock_guard<std::mutex> g(lock);
        ++pings;
    }
    bool WaitFor(int n)
    {
        return zv::test::WaitUntil(
            [&] {
                std::lock_guard<std::mutex> g(lock);
                return pings >= n;
            },
            20s);
    }
};

void RunScenario(const std::string& adapterAddress, const std::string& destination, const std::string& expectedTo)
{
    CTempHives hives;
    CRegistrySupport reg;
    ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    CTrList e;
    e.transceiverId = "NET";
    e.channelNo = 1;
    const std::string description = "NET 1";
    e.FormatDescription(&description, TransceiverType::HXU);
    installation.WriteChannelEntry(e, key);
    reg.CloseKey(key);

    CTestTransceiver* unit = nullptr;
    PingCounter counter;
    CTestEchoSounderHost host;
    CEchoSounder::Context c;
    c.host = &host;
    c.installation = &installation;
    c.workerStartDelayMs = 0;
    c.adapterAddress = adapterAddress;
    c.triggerDestination = destination;
    host.createTransceiver = [&](TransceiverType, int, const InstalledTransceiverInfo&, HKEY) {
        CTestTransceiver::Options o;
        o.name = "NET";
        o.sharedTrigger = true;
        auto t = std::make_unique<CTestTransceiver>(o);
        unit = t.get();
        return std::unique_ptr<CTransceiver>(std::move(t));
    };
    host.documentsNotify = [&] { counter.Note(); };
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(c, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_TRUE(unit && unit->IsListening());
    EXPECT_EQ(sounder->GetTriggerDestination(), expectedTo);
    ASSERT_TRUE(counter.WaitFor(2));
    sounder->SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerExternal, 0, 0, 0);
    ASSERT_TRUE(counter.WaitFor(5));
    const auto datagrams = unit->GetTriggerDatagrams();
    sounder.reset();
    ASSERT_GE(datagrams.size(), 5u);
    EXPECT_EQ(datagrams.front(), std::string("TI\0\0", 4));
    EXPECT_EQ(datagrams.back(), std::string("TE\0\0", 4));
    for (const auto& d : datagrams)
        EXPECT_TRUE(d == std::string("TI\0\0", 4) || d == std::string("TE\0\0", 4));
    reg.CloseRootKeys();
}

}  // namespace

TEST(TriggerDatagram, ReachesALoopbackListener)
{
    if (!std::getenv(kInsideVariable)) {
        EXPECT_TRUE(RunInsideNamespace("TriggerDatagram.ReachesALoopbackListener"));
        return;
    }
    ASSERT_EQ(std::system("ip link set lo up"), 0);
    // The loopback device reports no broadcast address of its own: its
    // class's directed broadcast stands in.
    RunScenario("127.0.0.1", "", "127.255.255.255");
    // A destination that is set wins.
    RunScenario("127.0.0.1", "127.0.0.1", "127.0.0.1");
}

TEST(TriggerDatagram, DestinationComesFromTheAdapterElseTheAddressClass)
{
    const char* saved = std::getenv("ZELVAR_ADAPTERS");
    const std::string keep = saved ? saved : "";
    ::setenv("ZELVAR_ADAPTERS", "eth1=10.1.2.3/24", 1);
    struct Case
    {
        const char* legend;
        const char* adapter;
        const char* set;
        const char* expected;
    };
    const Case cases[] = {
        {"the adapter's own net, not its class", "10.1.2.3", "", "10.1.2.255"},
        {"class A without an adapter", "10.9.9.9", "", "10.255.255.255"},
        {"class B", "172.16.5.4", "", "172.16.255.255"},
        {"class C", "192.168.0.7", "", "192.168.0.255"},
        {"class D", "230.1.1.1", "", "255.255.255.255"},
        {"no adapter address", "", "", "255.255.255.255"},
        {"a destination that is set", "10.1.2.3", "127.0.0.1", "127.0.0.1"},
    };
    for (const Case& c : cases) {
        CEchoSounder::Context context;
        context.adapterAddress = c.adapter;
        context.triggerDestination = c.set;
        CEchoSounder sounder;  // nothing installed: no worker starts
        EXPECT_TRUE(sounder.Create(context, nullptr, CEchoSounder::kNormal, 0, nullptr, CEchoSounder::kTriggerInternal,
                                   0, "", 0));
        EXPECT_FALSE(sounder.AreThreadsRunning());
        EXPECT_EQ(sounder.GetTriggerDestination(), c.expected) << c.legend;
    }
    if (saved)
        ::setenv("ZELVAR_ADAPTERS", keep.c_str(), 1);
    else
        ::unsetenv("ZELVAR_ADAPTERS");
}
