#include "sounder/EchoSounder.h"
#include "sounder/tests/TestEchoSounderHost.h"

#include "base/AppIds.h"
#include "engine/Channel.h"
#include "engine/MultiPulse.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "testsupport/Wait.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverTypeTable.h"
#include "transceivers/tests/TestInstallation.h"
#include "transceivers/tests/TestTransceiver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <ostream>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Something the workers do, counted, that the test thread can wait for.
class CEvents
{
public:
    void Note(const std::string& what)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_counts[what];
    }
    int Count(const std::string& what)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_counts[what];
    }
    bool WaitFor(const std::string& what, int atLeast, std::chrono::milliseconds timeout = 20s)
    {
        return zv::test::WaitUntil([&] { return Count(what) >= atLeast; }, timeout);
    }

private:
    std::mutex m_lock;
    std::map<std::string, int> m_counts;
};

// Logs what each channel does with its ping.
class CLoggingLinks : public IChannelLinks
{
public:
    explicit CLoggingLinks(CCallLog& log) : m_log(log) {}
    void OnDepthOutputs(const DepthReport& r) override { m_log.Add("channel.ping " + r.SourceName); }
    bool FindExternalDepthWindow(const std::string& name, ExternalDepthWindow&) override
    {
        m_log.Add("channel.data " + name);
        return false;
    }

private:
    CCallLog& m_log;
};

class EchoSounderRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        installation.Initialize();
    }
    void TearDown() override { reg.CloseRootKeys(); }

    // Installs a unit with the given channels and how the test wants it made.
    void AddUnit(CTestTransceiver::Options options, TransceiverType type = TransceiverType::HXU)
    {
        options.log = &log;
        options.links = &links;
        InstallTestChannels(installation, options.name, options.channels, type);
        units.push_back(options);
    }

    CEchoSounder::Context MakeContext()
    {
        CEchoSounder::Context c;
        host = CTestEchoSounderHost{};
        c.host = &host;
        c.installation = &installation;
        c.model = SounderModel::QY310;
        c.workerStartDelayMs = 0;
        host.createTransceiver = [this](TransceiverType, int index, const InstalledTransceiverInfo&, HKEY) {
            auto t = std::make_unique<CTestTransceiver>(units[static_cast<std::size_t>(index)]);
            made.push_back(t.get());
            return std::unique_ptr<CTransceiver>(std::move(t));
        };
        auto& h = host;
        h.geographicAddPing = [this](std::uint64_t) { log.Add("geo"); };
        h.storeWritePing = [this] { log.Add("store"); };
        h.lx750SendPing = [this] { log.Add("lx750"); };
        h.networkOutputSendPing = [this] { log.Add("network"); };
        h.remoteDisplaySendDepth = [this] { log.Add("remote"); };
        h.serialOutputSendPing = [this] { log.Add("serial"); };
        h.documentsNotify = [this]() {
            log.Add("documents");
            events.Note("ping");
        };
        h.storeIsRecordingXtf = [] { return true; };
        h.storeWriteXtfPing = [this] { log.Add("xtf"); };
        h.statusMessage = [this](unsigned id) {
            events.Note(id == CEchoSounder::IDS_INTERVAL_NOT_MET ? "Cannot meet ping interval requirement"
                                                                 : std::to_string(id));
        };
        h.warning = [this](const std::string& text) { events.Note("warning " + text); };
        return c;
    }

    CTempHives hives;
    CRegistrySupport reg;
    CTransceiverInstallation installation;
    CCallLog log;
    CLoggingLinks links{log};
    CEvents events;
    CTestEchoSounderHost host;
    std::vector<CTestTransceiver::Options> units;
    std::vector<CTestTransceiver*> made;
};

std::vector<std::string> Only(const std::vector<std::string>& all, const std::set<std::string>& keep)
{
    std::vector<std::string> out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out), [&](const auto& e) { return keep.count(e) > 0; });
    return out;
}

}  // namespace

TEST_F(EchoSounderRun, SavedChannelSettingsAreLoadedBeforeTheFirstPingStarts)
{
    // The workers copy the channel records for every ping: the saved
    // settings must be in them before the first copy, not written beside it.
    class CLoadingTransceiver : public CTestTransceiver
    {
    public:
        using CTestTransceiver::CTestTransceiver;
        int LoadChannelSettings() override
        {
            const auto* owner = dynamic_cast<const CEchoSounder*>(GetEchoSounder());
            loads.push_back(owner && owner->AreThreadsRunning() ? "load while running" : "load");
            return 1;
        }
        std::vector<std::string> loads;
    };
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a);
    CLoadingTransceiver* unit = nullptr;
    auto context = MakeContext();
    host.createTransceiver = [&](TransceiverType, int, const InstalledTransceiverInfo&, HKEY) {
        auto t = std::make_unique<CLoadingTransceiver>(units[0]);
        unit = t.get();
        return std::unique_ptr<CTransceiver>(std::move(t));
    };
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(unit->loads, std::vector<std::string>{"load"});
    ASSERT_TRUE(events.WaitFor("ping", 1));
    sounder.reset();
}

TEST_F(EchoSounderRun, WideBandRateRingTakesTheFirstChannelsTraceRateEachTriggerRound)
{
    // The unit's first channel counts 8 trace steps per ping for a trace
    // value of 40, handed with each ping as the wide-band unit hands its
    // traces: a rate of 5, which the trigger thread averages over five
    // rounds, the first ones with the zeros the ring starts with.
    class CTracingTransceiver : public CTestTransceiver
    {
    public:
        using CTestTransceiver::CTestTransceiver;
        void ProcessPing(std::uint64_t pingTime) override
        {
            CChannel* first = GetChannelId(0);
            const float traces[3] = {1.0f, 2.0f, 3.0f};
            const std::uint32_t counter[3] = {m_counter, 0, 0};
            first->AddFloatSamples(traces, traces, counter, 40.0f, 3, 0.0);
            CTestTransceiver::ProcessPing(pingTime);
            m_counter += 8;
        }
        std::uint32_t m_counter = 100;
    };
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a, TransceiverType::NVU);
    auto context = MakeContext();
    context.model = SounderModel::QYNVU;
    auto sounder = std::make_unique<CEchoSounder>();
    // The text each round starts with: what the rounds before made of it.
    std::mutex lock;
    std::vector<std::string> texts;
    units[0].onStart = [&, s = sounder.get()] {
        std::lock_guard<std::mutex> hold(lock);
        texts.push_back(s->GetPingRateText());
    };
    host.createTransceiver = [&](TransceiverType, int, const InstalledTransceiverInfo&, HKEY) {
        return std::unique_ptr<CTransceiver>(std::make_unique<CTracingTransceiver>(units[0]));
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    EXPECT_TRUE(zv::test::WaitUntil([&] {
        std::lock_guard<std::mutex> hold(lock);
        return !texts.empty() && texts.back() == " 5.0 Hz";
    })) << sounder->GetPingRateText();
    sounder.reset();
    // Each rate's round added a fifth of it to the mean.
    std::vector<std::string> rising;
    for (const std::string& t : texts)
        if (!t.empty() && t != " 0.0 Hz" && (rising.empty() || rising.back() != t))
            rising.push_back(t);
    rising.resize(std::min<std::size_t>(rising.size(), 5));
    EXPECT_EQ(rising, (std::vector<std::string>{" 1.0 Hz", " 2.0 Hz", " 3.0 Hz", " 4.0 Hz", " 5.0 Hz"}));
}

TEST_F(EchoSounderRun, EveryPingTakesTheFixedRoad)
{
    CTestTransceiver::Options a;
    a.name = "A";
    a.channels = 2;
    a.seed = 11;
    AddUnit(a);
    CTestTransceiver::Options b;
    b.name = "B";
    b.seed = 12;
    AddUnit(b);

    std::vector<std::int16_t> firstPing;
    auto sounder = std::make_unique<CEchoSounder>();
    auto context = MakeContext();
    host.documentsNotify = [&]() {
        log.Add("documents");
        if (firstPing.empty()) {
            CChannel::ParameterCopy copy;
            sounder->GetChannel(1)->GetChannelParameters(copy);
            firstPing = copy.Power;
        }
        events.Note("ping");
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_TRUE(sounder->AreThreadsRunning());
    EXPECT_EQ(sounder->GetChannelCount(), 3);
    // Each unit numbers its own channels; the sounder numbers them all.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(sounder->GetChannel(i)->GetChannelId(), i);
    ASSERT_TRUE(events.WaitFor("ping", 3));
    sounder.reset();

    const std::vector<std::string> cycle = {"geo",
                                            "A.process",
                                            "B.process",
                                            "store",
                                            "channel.ping A1",
                                            "channel.data A1",
                                            "channel.ping A2",
                                            "channel.data A2",
                                            "channel.ping B1",
                                            "channel.data B1",
                                            "lx750",
                                            "network",
                                            "remote",
                                            "serial",
                                            "documents",
                                            "xtf",
                                            "A.request",
                                            "B.request"};
    const auto pingSide = Only(log.Entries(), std::set<std::string>(cycle.begin(), cycle.end()));
    ASSERT_GE(pingSide.size(), 3 * cycle.size());
    for (std::size_t i = 0; i < 3 * cycle.size(); ++i)
        EXPECT_EQ(pingSide[i], cycle[i % cycle.size()]) << "entry " << i;

    const std::vector<std::string> trigger = {"A.start", "B.start", "A.prepare", "B.prepare", "A.trigger", "B.trigger"};
    const auto triggerSide = Only(log.Entries(), std::set<std::string>(trigger.begin(), trigger.end()));
    ASSERT_GE(triggerSide.size(), 3 * trigger.size());
    for (std::size_t i = 0; i < 3 * trigger.size(); ++i)
        EXPECT_EQ(triggerSide[i], trigger[i % trigger.size()]) << "entry " << i;
    const auto all = log.Entries();
    EXPECT_LT(std::find(all.begin(), all.end(), "B.trigger"), std::find(all.begin(), all.end(), "geo"));

    // The samples went through the ring buffer into the channel unchanged.
    ASSERT_EQ(firstPing.size(), 500u);
    for (int i : {0, 299, 300, 301, 499})
        EXPECT_EQ(firstPing[static_cast<std::size_t>(i)], CTestTransceiver::ExpectedPower(11, 0, 1, i, 300)) << i;
}

// A clock telegram's request is taken by the ping-data thread between pings:
// the clock is set there once, with the times the decoder handed over, and
// the request stays pending until it is done.
TEST_F(EchoSounderRun, AClockRequestIsSetOnceFromThePingDataThread)
{
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a);
    auto context = MakeContext();
    std::mutex lock;
    std::thread::id pingThread;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> sets;
    std::vector<std::thread::id> setThreads;
    std::atomic<bool> pendingWhileSetting{false};
    auto sounder = std::make_unique<CEchoSounder>();
    host.documentsNotify = [&] {
        {
            std::lock_guard<std::mutex> guard(lock);
            pingThread = std::this_thread::get_id();
        }
        events.Note("ping");
    };
    host.clockFromTelegram = [&](std::uint64_t received, std::uint64_t telegram) {
        pendingWhileSetting = sounder->IsPcClockRequestPending();
        {
            std::lock_guard<std::mutex> guard(lock);
            sets.emplace_back(received, telegram);
            setThreads.push_back(std::this_thread::get_id());
        }
        events.Note("clock");
    };
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_TRUE(events.WaitFor("ping", 1));
    EXPECT_EQ(events.Count("clock"), 0) << "nothing is set unasked";
    sounder->SetPingRecord(130'000'000'000'000'000ULL, 130'000'000'050'000'000ULL);
    ASSERT_TRUE(events.WaitFor("clock", 1));
    const int pings = events.Count("ping");
    ASSERT_TRUE(events.WaitFor("ping", pings + 3));
    EXPECT_FALSE(sounder->IsPcClockRequestPending());
    sounder.reset();

    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(sets.size(), 1u) << "one request, one setting";
    EXPECT_EQ(sets[0].first, 130'000'000'000'000'000ULL);
    EXPECT_EQ(sets[0].second, 130'000'000'050'000'000ULL);
    EXPECT_EQ(setThreads[0], pingThread);
    EXPECT_NE(setThreads[0], std::this_thread::get_id());
    EXPECT_TRUE(pendingWhileSetting.load());
}

TEST_F(EchoSounderRun, OneStepGivesExactlyOnePing)
{
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a);
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(MakeContext(), nullptr, CEchoSounder::kNormal, CEchoSounder::kSingleStep, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    app::CCmdUI step;
    step.id = app::cmd::STEP;
    ASSERT_TRUE(sounder->OnUpdateCommand(step));
    EXPECT_TRUE(step.enabled);
    for (int n = 1; n <= 2; ++n) {
        EXPECT_TRUE(sounder->OnCommand(app::cmd::STEP));
        ASSERT_TRUE(events.WaitFor("ping", n));
    }
    EXPECT_EQ(made.at(0)->GetTriggers(), 2);
    // Outside single-step mode the command is greyed.
    sounder->SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 0);
    ASSERT_TRUE(sounder->OnUpdateCommand(step));
    EXPECT_FALSE(step.enabled);
    sounder.reset();
    EXPECT_GE(events.Count("ping"), 2);
}

// A channel state set while the sounder runs reaches each channel's record,
// which the unit transmits by, and the channel itself with the next ping.
TEST_F(EchoSounderRun, ChannelStateReachesTheRecordsBeforeTheNextTrigger)
{
    CTestTransceiver::Options a;
    a.name = "A";
    a.channels = 2;
    AddUnit(a);
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(MakeContext(), nullptr, CEchoSounder::kNormal, CEchoSounder::kSingleStep, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    const auto modes = [&] {
        std::vector<int> out;
        for (int c = 0; c < 2; ++c) {
            CChannel* channel = sounder->GetChannel(c);
            out.push_back(made.at(0)->FindRecord(channel)->transceiverMode);
            out.push_back(channel->GetParameters().TransceiverMode);
        }
        return out;
    };
    sounder->OnStep();
    ASSERT_TRUE(events.WaitFor("ping", 1));
    EXPECT_EQ(modes(), std::vector<int>(4, CTransceiver::kActive));

    sounder->SetChannelsState(CTransceiver::kPassive);
    sounder->OnStep();
    ASSERT_TRUE(events.WaitFor("ping", 2));
    EXPECT_EQ(modes(), std::vector<int>(4, CTransceiver::kPassive));
}

TEST_F(EchoSounderRun, UnitReportingMinusOneDoesNotHoldTheOthers)
{
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a);
    CTestTransceiver::Options geo;
    geo.name = "G";
    geo.bufferedPings = -1;
    AddUnit(geo);
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(MakeContext(), nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    EXPECT_TRUE(events.WaitFor("ping", 3));
    sounder.reset();
}

// The trigger thread waits for a unit that still holds a ping; its wait
// ends when the ping-data thread takes the ping, not when a pass's time
// runs out, and a stop ends it too. With a pass of ten minutes the pings
// below only come if the taking of each ping wakes the trigger thread.
TEST_F(EchoSounderRun, TakingAPingEndsTheTriggerThreadsWait)
{
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a);
    auto context = MakeContext();
    context.transceiverPassTicks = 600LL * 10'000'000;
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kInterval, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0, 0));
    EXPECT_TRUE(events.WaitFor("ping", 20));
    // The sounder deletes its units with it.
    EXPECT_GE(made.at(0)->GetTriggers(), 20);
    sounder.reset();
}

TEST_F(EchoSounderRun, StartsNothingWithoutChannelsAndRefusesTypesItCannotRun)
{
    {
        CEchoSounder empty;
        EXPECT_TRUE(empty.Create(MakeContext(), nullptr, CEchoSounder::kNormal, 0, nullptr,
                                 CEchoSounder::kTriggerInternal, 0, "", 0));
        EXPECT_FALSE(empty.AreThreadsRunning());
    }
    // A program's own table: a type row it registered for another model.
    CTransceiverTypeTable registered;
    registered.Register({TransceiverType::GEO, {SounderModel::QY210}, nullptr});
    struct Case
    {
        const char* legend;
        TransceiverType type;
        SounderModel model;
        const CTransceiverTypeTable* types = nullptr;
    };
    const Case cases[] = {
        {"a type no transceiver class has", static_cast<TransceiverType>(7), SounderModel::QY310},
        {"the wide-band unit outside its model", TransceiverType::NVU, SounderModel::QY310},
        {"the general-purpose unit on the wide-band model", TransceiverType::HXU, SounderModel::QYNVU},
        {"a registered type outside the models of its row", TransceiverType::GEO, SounderModel::QY310, &registered},
    };
    for (const Case& c : cases) {
        units.clear();
        CTestTransceiver::Options u;
        u.name = "U" + std::to_string(static_cast<int>(c.type)) + std::to_string(static_cast<int>(c.model));
        AddUnit(u, c.type);
        auto context = MakeContext();
        context.model = c.model;
        context.transceiverTypes = c.types;
        const int warningsBefore = events.Count("warning Unsupported Transceiver Type");
        CEchoSounder sounder;
        EXPECT_FALSE(sounder.Create(context, nullptr, CEchoSounder::kNormal, 0, nullptr, CEchoSounder::kTriggerInternal,
                                    0, "", 0))
            << c.legend;
        EXPECT_FALSE(sounder.AreThreadsRunning()) << c.legend;
        EXPECT_EQ(sounder.GetTransceiverCount(), 0) << c.legend;
        EXPECT_EQ(events.Count("warning Unsupported Transceiver Type"), warningsBefore + 1) << c.legend;
        // Take the unit out again for the next case.
        HKEY key = installation.OpenChannelsKey();
        reg.DeleteKey(key, u.name + " 1");
        reg.CloseKey(key);
    }
}

TEST_F(EchoSounderRun, StopEndsWhileADocumentWaitsForTheUserInterface)
{
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a);
    // The test thread plays the user-interface thread: it owns the main
    // window and does not handle messages until it deletes the sounder.
    std::atomic<int> handled{0};
    const HWND window = CreateMessageWindow([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT {
        ++handled;
        return 0;
    });
    ASSERT_NE(window, 0u);
    auto context = MakeContext();
    std::atomic<int> sendsFailed{0};
    host.documentsNotify = [&]() {
        events.Note("update in flight");
        bool ok = false;
        SendMessage(window, WM_USER + 0x6E, 0, 0, nullptr, &ok);
        if (!ok)
            ++sendsFailed;
    };
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_TRUE(events.WaitFor("update in flight", 1));
    sounder.reset();
    EXPECT_GE(handled.load() + sendsFailed.load(), 1);
    DestroyWindow(window);
}

namespace {

class ManualClockScope
{
public:
    explicit ManualClockScope(CManualClock& c) { CFileTime::SetClock(&c); }
    ~ManualClockScope() { CFileTime::SetClock(nullptr); }
};

}  // namespace

TEST_F(EchoSounderRun, IntervalScheduleHoldsAndSkipsMissedSlots)
{
    constexpr std::uint64_t kInterval = 5000000;  // 0.5 s
    CManualClock clock(CFileTime::kUnixEpoch, 1000000000);
    ManualClockScope scope(clock);
    const std::uint64_t t0 = CFileTime::Monotonic();
    std::mutex lock;
    std::vector<std::uint64_t> paced;
    CTestTransceiver::Options a;
    a.name = "A";
    a.onStart = [&] {
        const std::uint64_t now = CFileTime::Monotonic();
        if (now > t0) {
            std::lock_guard<std::mutex> g(lock);
            paced.push_back(now);
            // The first paced trigger cycle is slow: 2.6 intervals pass in it.
            if (paced.size() == 1)
                clock.Advance(kInterval * 26 / 10);
            events.Note("paced");
        }
        events.Note("start");
    };
    AddUnit(a);
    auto sounder = std::make_unique<CEchoSounder>();
    // Without an interval the pings follow each other while the clock stands.
    ASSERT_TRUE(sounder->Create(MakeContext(), nullptr, CEchoSounder::kNormal, CEchoSounder::kInterval, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_TRUE(events.WaitFor("start", 1));
    sounder->SetMode(CEchoSounder::kInterval, CEchoSounder::kTriggerInternal, 0, kInterval, 0);
    clock.Advance(kInterval);
    ASSERT_TRUE(events.WaitFor("paced", 1));
    // The missed slots are reported and skipped; the next ping keeps to the
    // grid instead of following at once.
    ASSERT_TRUE(events.WaitFor("Cannot meet ping interval requirement", 1));
    clock.Advance(kInterval * 4 / 10);
    ASSERT_TRUE(events.WaitFor("paced", 2));
    sounder.reset();
    std::lock_guard<std::mutex> g(lock);
    ASSERT_EQ(paced.size(), 2u);
    EXPECT_EQ(paced[0], t0 + kInterval);
    EXPECT_EQ(paced[1], t0 + 4 * kInterval);
    EXPECT_EQ(events.Count("Cannot meet ping interval requirement"), 1);
}

// Multipulse over a flat bottom locks on after five pings and paces the
// pings at the bottom's two-way travel time; a jump beyond the window lets
// go after five misses, and the pings run at the maximum rate again.
TEST_F(EchoSounderRun, MultipulsePacesAtTheTravelTimeAndLetsGoOfAJump)
{
    std::atomic<bool> jumped{false};
    int step = 0;  // ping-data thread only
    CTestTransceiver::Options a;
    a.name = "A";
    // After the jump the depth keeps moving by more than the window, so
    // that the tracker neither holds it nor finds it again.
    a.channelDepth = [&] { return jumped.load() ? 80.0 + 25.0 * (step++ % 12) : 30.0; };
    AddUnit(a);
    auto sounder = std::make_unique<CEchoSounder>();
    auto context = MakeContext();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMultiPulse, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    EXPECT_TRUE(sounder->IsMultiPulse());
    EXPECT_EQ(sounder->GetRateMode(), CEchoSounder::kMaximumRate) << "searching: full rate";
    ASSERT_TRUE(events.WaitFor("ping", 7));
    EXPECT_EQ(sounder->GetMultiPulse()->GetState(), 1);
    EXPECT_EQ(sounder->GetRateMode(), CEchoSounder::kInterval);
    EXPECT_EQ(sounder->GetInterval(), static_cast<std::int64_t>(2.0 * 30.0 / 1500.0 * 1e7));
    ASSERT_TRUE(sounder->GetMultiPulseScaledDepth());
    EXPECT_DOUBLE_EQ(*sounder->GetMultiPulseScaledDepth(), 2.0 * 30.0 / 1500.0 * 0.75 * 1500.0);

    jumped = true;
    const int seen = events.Count("ping");
    ASSERT_TRUE(events.WaitFor("ping", seen + 7));
    EXPECT_EQ(sounder->GetMultiPulse()->GetState(), 0) << "five misses let go";
    EXPECT_EQ(sounder->GetRateMode(), CEchoSounder::kMaximumRate);
    EXPECT_FALSE(sounder->GetMultiPulseScaledDepth());
    sounder.reset();
}

// A side-scan channel that publishes its side hands its pulse length, power
// and transceiver mode to its partner before the first trigger: both sides
// transmit alike. A channel without both flags hands nothing on.
TEST_F(EchoSounderRun, PairedSideScanChannelsTransmitAlike)
{
    CTestTransceiver::Options a;
    a.name = "A";
    a.channels = 3;
    AddUnit(a);
    auto sounder = std::make_unique<CEchoSounder>();
    auto context = MakeContext();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kSingleStep, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    CChannel* port = sounder->GetChannel(0);
    CChannel* starboard = sounder->GetChannel(1);
    CChannel* other = sounder->GetChannel(2);
    ASSERT_EQ(starboard->GetChannelName(), "A 2");
    ChannelParameters p = port->GetNextParameters();
    p.PulseLength = 0.000512;
    p.TransmitPower = 500.0;
    port->SetChannelParameters(p);
    port->SetEchogramInfo(true, true, "A 2", false);
    // Single step: nothing is triggered before the step below.
    // Only one of the two flags: no pairing, or its 2 ms would follow.
    ChannelParameters q = p;
    q.PulseLength = 0.002;
    other->SetChannelParameters(q);
    other->SetEchogramInfo(true, false, "A 2", false);
    sounder->OnStep();
    ASSERT_TRUE(events.WaitFor("ping", 1));
    const ChannelParameters s = starboard->GetNextParameters();
    EXPECT_EQ(s.PulseLength, 0.000512);
    EXPECT_EQ(s.TransmitPower, 500.0);
    double pulse = 0.0, power = 0.0, gain = 0.0, depth = 0.0;
    sounder->GetTransceiver(0)->GetChannelValues(starboard, pulse, power, gain, depth);
    EXPECT_EQ(pulse, 0.000512) << "the partner's record transmits it";
    EXPECT_EQ(power, 500.0);
    sounder->GetTransceiver(0)->GetChannelValues(port, pulse, power, gain, depth);
    EXPECT_EQ(pulse, 0.000512);
    EXPECT_EQ(sounder->GetChannel(0)->GetNextParameters().PulseLength, 0.000512);
    sounder.reset();
}

// With the simple pinger on, the first channel of the first unit that has
// channels is the pinger's: its name reads "... Pinger" and its record asks
// for a new transmit set-up; no other channel changes its name or flag. A
// first unit without channels leaves the pinger to the next.
namespace {

struct SimplePingerCase
{
    int firstUnitChannels;
    const char* pingerName;
};
void PrintTo(const SimplePingerCase& c, std::ostream* os)
{
    *os << "first unit with " << c.firstUnitChannels << " channels";
}

class EchoSounderSimplePinger : public EchoSounderRun, public ::testing::WithParamInterface<SimplePingerCase>
{};

}  // namespace

TEST_P(EchoSounderSimplePinger, ChannelCarriesItsName)
{
    const SimplePingerCase& row = GetParam();
    CTestTransceiver::Options a, b;
    a.name = "A";
    a.channels = std::max(row.firstUnitChannels, 1);
    b.name = "B";
    b.channels = 2;
    AddUnit(a);
    // Installed with a channel, yet the unit reports none.
    units.back().channels = row.firstUnitChannels;
    AddUnit(b);
    auto context = MakeContext();
    context.simplePinger = true;
    // No trigger comes within the test: nothing takes the marks.
    context.simplePingerInterval = 3600.0;
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_EQ(made.size(), 2u);
    ASSERT_EQ(sounder->GetChannelCount(), row.firstUnitChannels + 2);
    CTestTransceiver* unit = made[row.firstUnitChannels > 0 ? 0 : 1];
    CChannel* pinger = unit->GetChannelId(0);
    ASSERT_EQ(pinger, sounder->GetChannel(0));
    EXPECT_EQ(pinger->GetChannelName(), row.pingerName);
    EXPECT_TRUE(pinger->IsSimplePingerChannel());
    CTransceiver::StructChannelParameters copy;
    EXPECT_TRUE(unit->TakeForPing(*unit->FindRecord(pinger), copy)) << "the pinger's record is changed";
    for (int i = 1; i < sounder->GetChannelCount(); ++i) {
        EXPECT_EQ(sounder->GetChannel(i)->GetChannelName().find("Pinger"), std::string::npos) << i;
        EXPECT_FALSE(sounder->GetChannel(i)->IsSimplePingerChannel()) << i;
    }
    sounder.reset();
}

INSTANTIATE_TEST_SUITE_P(FirstUnit, EchoSounderSimplePinger,
                         ::testing::Values(SimplePingerCase{2, "A 1 Pinger"}, SimplePingerCase{0, "B 1 Pinger"}),
                         [](const auto& info) {
                             return info.param.firstUnitChannels > 0 ? "WithChannels" : "WithoutChannels";
                         });

// Any rate but pinger mode and multipulse ends pinger mode: a pause or a
// change of rate stops the pinger, or its channel would go on starting its
// samples at the pinger. Entering pinger mode leaves the pinger to its
// synchronisation.
TEST_F(EchoSounderRun, LeavingPingerModeStopsThePinger)
{
    CTestTransceiver::Options a;
    a.name = "A";
    AddUnit(a);
    auto context = MakeContext();
    std::atomic<bool> pingerActive{true};
    host.stopPinger = [&] { pingerActive = false; };
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(context, nullptr, CEchoSounder::kNormal, CEchoSounder::kPinger, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    EXPECT_TRUE(pingerActive.load()) << "starting in pinger mode";
    for (const int rate : {CEchoSounder::kSingleStep, CEchoSounder::kMaximumRate, CEchoSounder::kInterval}) {
        sounder->SetMode(CEchoSounder::kPinger, CEchoSounder::kTriggerInternal, 0, 0, 0);
        EXPECT_TRUE(pingerActive.load()) << "entering pinger mode, before rate " << rate;
        sounder->SetMode(rate, CEchoSounder::kTriggerInternal, 0, 10'000'000, 0);
        EXPECT_FALSE(pingerActive.load()) << "rate " << rate;
        EXPECT_FALSE(sounder->IsPinger()) << "rate " << rate;
        pingerActive = true;
    }
    sounder.reset();
}

// Pinger mode sets its own pulse length: started in it, and each time it is
// entered, every channel record of every unit asks for a new transmit
// set-up; another rate asks for none.
TEST_F(EchoSounderRun, PingerModeSetsEveryUnitsChannelsUpAfresh)
{
    CTestTransceiver::Options a, b;
    a.name = "A";
    a.channels = 2;
    b.name = "B";
    AddUnit(a);
    AddUnit(b);
    auto sounder = std::make_unique<CEchoSounder>();
    ASSERT_TRUE(sounder->Create(MakeContext(), nullptr, CEchoSounder::kNormal, CEchoSounder::kPinger, nullptr,
                                CEchoSounder::kTriggerInternal, 0, "", 0));
    ASSERT_EQ(made.size(), 2u);
    // The changed mark of each record, taken.
    const auto takeMarks = [&] {
        std::vector<bool> marks;
        for (CTestTransceiver* unit : made)
            for (int c = 0; c < unit->GetChannelCount(); ++c) {
                CTransceiver::StructChannelParameters copy;
                marks.push_back(unit->TakeForPing(*unit->FindRecord(unit->GetChannelId(c)), copy));
            }
        return marks;
    };
    EXPECT_EQ(takeMarks(), std::vector<bool>(3, true)) << "created in pinger mode";
    sounder->SetMode(CEchoSounder::kMaximumRate, CEchoSounder::kTriggerInternal, 0, 0, 0);
    EXPECT_EQ(takeMarks(), std::vector<bool>(3, false)) << "maximum rate";
    sounder->SetMode(CEchoSounder::kPinger, CEchoSounder::kTriggerInternal, 0, 0, 0);
    EXPECT_EQ(takeMarks(), std::vector<bool>(3, true)) << "pinger mode entered";
    sounder.reset();
}
