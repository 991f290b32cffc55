#include "transceivers/QY42.h"

#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "engine/MultiPulse.h"
#include "engine/RawPower.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "sim/qy42/QY42Simulator.h"
#include "sounder/EchoSounder.h"
#include "testsupport/MultiPulseTrace.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"
#include "testsupport/qy42/QY42LinkFixture.h"
#include "testsupport/qy42/QY42SimulatorLink.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/UdpDatagramLink.h"

#include "sounder/tests/TestEchoSounderHost.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string Hex(const std::vector<BYTE>& b)
{
    std::string s;
    char two[3];
    for (BYTE x : b) {
        std::snprintf(two, sizeof two, "%02x", x);
        s += two;
    }
    return s;
}

// ---------------------------------------------------------------------------
// Golden bytes: both codecs are pinned to the wire, so neither can drift with
// the other.

struct Golden
{
    const char* legend;
    std::vector<BYTE> bytes;
    const char* hex;
};

TEST(QY42Telegrams, ProgramTelegramsMatchTheirGoldenBytes)
{
    qy42::TransmitSettings s;
    s.channel = 0;
    s.amplitude = 2.0f;
    s.effectivePulseLength = 0.5f;
    s.frequencyValue = 1.0f;
    s.sweepValue = 0.25f;
    const Golden rows[] = {
        {"halt: length and code only", qy42::Halt(), "0800000048440000"},
        {"version request carries its token", qy42::VersionRequest(0x01020304), "0c0000005652000004030201"},
        {"halt clear: two zero words", qy42::HaltClear(),
         "1000000048430000"
         "0000000000000000"},
        {"status request", qy42::StatusRequest(), "0800000044435352"},
        {"interface configure for channel 0", qy42::InterfaceConfigure(0), "1000000046504130ffff0040ffff024c"},
        {"external trigger with the samples requested", qy42::Trigger(true, 1234), "1000000054450000d204000000000000"},
        {"internal trigger", qy42::Trigger(false, 100),
         "1000000054490000"
         "6400000000000000"},
        {"set-up complete", qy42::SetupComplete(), "1c00000054430000ffffffff0000000000000000ffff200000000000"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Hex(r.bytes), r.hex) << r.legend;

    const auto rc = qy42::ReceiveConfigure();
    ASSERT_EQ(rc.size(), 52u);
    EXPECT_EQ(Hex(std::vector<BYTE>(rc.begin(), rc.begin() + 8)), "3400000052432300");
    for (std::size_t i = 8; i < rc.size(); ++i)
        EXPECT_EQ(rc[i], i == 44 ? 1 : 0) << "receive configure byte " << i;

    const auto tsp = qy42::TransmitParameters(s);
    EXPECT_EQ(Hex(tsp), "5000000054535023"
                        "00000000"
                        "000000000000000000000000"
                        "0000803f0000803f"
                        "000000000000000000000000000000000000000000000000"
                        "00000040"
                        "0000003f"
                        "00000000"
                        "00000000"
                        "0000803f"
                        "0000803e");
    EXPECT_EQ(Hex(qy42::PulseConfigure(26.5f, 0.001f)), "1c000000545043000000000000"
                                                        "00d441"
                                                        "6f12833a"
                                                        "00504348"
                                                        "00000000");
}

TEST(QY42Telegrams, SimulatorTelegramsReadByTheProgram)
{
    const auto info = CQY42Simulator::MakeInfo(4, 7, "TC");
    EXPECT_EQ(Hex(info), "13000000494e464f04000000070000005443"
                         "00");
    const auto i = qy42::ReadInformation(info.data(), info.size());
    ASSERT_TRUE(i);
    EXPECT_EQ(i->type, 4u);
    EXPECT_EQ(i->number, 7u);
    EXPECT_EQ(i->text, "TC");

    const auto va = CQY42Simulator::MakeVersionAnswer(true, "V1");
    ASSERT_EQ(va.size(), 47u);
    EXPECT_EQ(Hex(std::vector<BYTE>(va.begin(), va.begin() + 8)), "2f00000056410000");
    EXPECT_EQ(va[16], 0x02);
    const auto a = qy42::ReadVersionAnswer(va.data(), va.size());
    ASSERT_TRUE(a);
    EXPECT_TRUE(a->refused);
    EXPECT_EQ(a->version, "V1");

    const auto rsd = CQY42Simulator::MakeSamples(10000.0f, 1000, 1000, {0.5f, -0.25f});
    EXPECT_EQ(Hex(rsd), "28000000525344230000000000401c4601000101000000"
                        "00e8030000e8030000"
                        "0000003f000080be");
    CSampleRingBuffer ring(1);
    EXPECT_EQ(ring.WriteSamples(rsd.data(), rsd.size()), CSampleRingBuffer::kStored);
    float re = 0, im = 0;
    DWORD number = 0;
    ring.ReadSample(&im, &re, &number, 0, 0);
    EXPECT_EQ(re, 0.5f);
    EXPECT_EQ(im, -0.25f);
    EXPECT_EQ(number, 1000u);
}

TEST(QY42Telegrams, ShortOrForeignDatagramsAreRefused)
{
    const std::vector<BYTE> shortInfo = {12, 0, 0, 0, 'I', 'N', 'F', 'O', 1, 0, 0, 0};
    EXPECT_FALSE(qy42::ReadInformation(shortInfo.data(), shortInfo.size()));
    const auto va = CQY42Simulator::MakeVersionAnswer(false, "X");
    EXPECT_FALSE(qy42::ReadVersionAnswer(va.data(), 16)) << "flags byte beyond the end";
    EXPECT_FALSE(qy42::ReadInformation(va.data(), va.size())) << "another code";
    EXPECT_FALSE(qy42::ReadAuxiliaryInput(va.data(), 31));
    // A text without its NUL ends at the datagram's end.
    auto info = CQY42Simulator::MakeInfo(3, 1, "rx0filter.txt");
    info.pop_back();
    const auto i = qy42::ReadInformation(info.data(), info.size());
    ASSERT_TRUE(i);
    EXPECT_EQ(i->text, "rx0filter.txt");
    EXPECT_EQ(qy42::CodeOf(info.data(), 7), "");
}

// ---------------------------------------------------------------------------
// Transmit and decimation arithmetic.

TEST(QY42Transmit, FrequencyPulseAndAmplitude)
{
    struct Row
    {
        const char* legend;
        double frequency, pulse, fmPulse;
        bool fm, passive;
        float transmit, amplitude;
    };
    const Row rows[] = {
        {"500 kHz CW moves to 497 kHz", 500000, 0.001, 0, false, false, 497000.0f, std::sqrt(20.0f)},
        {"500 kHz FM moves to 482 kHz", 500000, 0.001, 0.002, true, false, 482000.0f, std::sqrt(20.0f)},
        {"38 kHz is 4 MHz / 105", 38000, 0.001, 0, false, false, static_cast<float>(4000000.0 / 105), std::sqrt(20.0f)},
        {"passive sends amplitude 0", 200000, 0.001, 0, false, true, 200000.0f, 0.0f},
        {"no frequency does not divide by zero", 0, 0.001, 0, false, false, 4000000.0f, std::sqrt(20.0f)},
    };
    for (const auto& r : rows) {
        float tf = 0;
        const auto s = CQY42::ComputeTransmit(r.frequency, r.pulse, r.fmPulse, r.fm, 1000.0, r.passive, tf);
        EXPECT_FLOAT_EQ(tf, r.transmit) << r.legend;
        EXPECT_FLOAT_EQ(s.amplitude, r.amplitude) << r.legend;
        const double pulse = r.fm ? r.fmPulse : r.pulse;
        const double periods = s.effectivePulseLength * tf;
        EXPECT_NEAR(periods, std::round(pulse * tf), 1e-3) << r.legend << ": whole periods";
        if (r.fm) {
            EXPECT_FLOAT_EQ(s.frequencyValue, static_cast<float>(tf - 0.5 / pulse)) << r.legend;
            EXPECT_GT(s.sweepValue, 0.0f) << r.legend;
        } else {
            EXPECT_FLOAT_EQ(s.frequencyValue, tf) << r.legend;
            EXPECT_EQ(s.sweepValue, 0.0f) << r.legend;
        }
    }
}

TEST(QY42Decimation, FactorsNeverBelowOneAndNoDivisionByZero)
{
    struct Row
    {
        const char* legend;
        double pulse;
        int ticks;
        int total, des1, des2, des3;
    };
    const Row rows[] = {
        {"1 ms at 10 kHz (200 ticks)", 0.001, 200, 500, 2, 1, 2},
        {"short pulse keeps Des1 at 1", 0.0001, 200, 50, 1, 1, 1},
        {"clock count 0 from a damaged record", 0.001, 0, 500, 1, 1, 1},
        {"clock count slower than the unit's clock", 0.001, 3000000, 500, 1, 1, 1},
        {"no pulse", 0.0, 200, 0, 1, 1, 1},
    };
    for (const auto& r : rows) {
        const auto d = CQY42::ComputeDecimation(r.pulse, r.ticks);
        EXPECT_EQ(d.total, r.total) << r.legend;
        EXPECT_EQ(d.des1, r.des1) << r.legend;
        EXPECT_EQ(d.des2, r.des2) << r.legend;
        EXPECT_EQ(d.des3, r.des3) << r.legend;
    }
}

// ---------------------------------------------------------------------------
// The driver against the simulated unit: in the process, over a link that
// hands the datagrams across, and end to end over UDP inside a network
// namespace of the test's own, so no datagram leaves the machine.

constexpr std::uint32_t kSimAddress = 0x7F000002;

using nettest::Checks;
using nettest::RunNamespaceTest;
using zv::test::QY42Capability;
using zv::test::QY42FastTimings;
using zv::test::WaitUntil;

InstalledTransceiverInfo Info()
{
    return zv::test::QY42Info(kSimAddress);
}

void RunInProcess(const std::function<int()>& body)
{
    EXPECT_EQ(body(), 0);
}

// The road between the driver and the simulated unit.
enum class Road { InProcess, Udp };

std::unique_ptr<IDatagramLink> MakeLink(Road road, CQY42Simulator& sim)
{
    if (road == Road::InProcess)
        return std::make_unique<zv::test::CQY42SimulatorLink>(sim);
    return CUdpDatagramLink::Open(SocketAddress(kSimAddress, qy42::kUnitPort), "QY42");
}

// The simulator answers on its own socket for the UDP road; in the process
// the driver's link starts it.
bool StartSimulator(CQY42Simulator& sim, Road road)
{
    return road == Road::InProcess || sim.Start();
}

// An engine with one installed QY42 unit on the road to the simulator.
struct Sounder
{
    explicit Sounder(CQY42Simulator& unitSim, Road unitRoad = Road::InProcess) : sim(unitSim), road(unitRoad) {}

    CQY42Simulator& sim;
    Road road;
    CTempHives hives;
    CRegistrySupport reg;
    CTransceiverInstallation installation;
    CTestEchoSounderHost host;
    CQY42* unit = nullptr;
    std::atomic<int> pings{0};
    std::atomic<int> linkLost{0};
    std::atomic<int> linkLostStillRaised{0};    // alarms that found the flag not yet cleared
    std::atomic<int> pingsAfterPlaceholder{0};  // pings delivered once a placeholder was written
    CTestTransceiverServices services;
    UnitTimings timings = QY42FastTimings();
    std::function<void()> eachPing;  // on the ping-data thread, as the documents are told
    int rateMode = CEchoSounder::kMaximumRate;
    // Last, so it goes first: its unit and workers stop before what they
    // call goes.
    CEchoSounder sounder;

    bool Begin()
    {
        if (!reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"))
            return false;
        installation.Initialize();
        HKEY key = installation.OpenChannelsKey();
        installation.WriteChannelEntry(zv::test::QY42ChannelEntry(kSimAddress), key);
        reg.CloseKey(key);

        CEchoSounder::Context c;
        c.host = &host;
        c.installation = &installation;
        c.workerStartDelayMs = 0;
        host.createTransceiver = [this](TransceiverType type, int, const InstalledTransceiverInfo&, HKEY) {
            std::unique_ptr<CTransceiver> t;
            if (type == TransceiverType::QY42) {
                auto q =
                    std::make_unique<CQY42>(Info(), QY42Capability(), nullptr, services, timings, MakeLink(road, sim));
                unit = q.get();
                t = std::move(q);
            }
            return t;
        };
        host.documentsNotify = [this]() {
            // The echogram asks for its range every ping.
            if (unit && unit->GetChannel())
                unit->GetChannel()->RequestRange(60.0);
            if (unit && unit->GetPlaceholders() > 0)
                ++pingsAfterPlaceholder;
            if (eachPing)
                eachPing();
            ++pings;
        };
        host.linkLost = [this] {
            if (sounder.IsLinkLost())
                ++linkLostStillRaised;
            ++linkLost;
        };
        return sounder.Create(c, nullptr, CEchoSounder::kNormal, rateMode, nullptr, CEchoSounder::kTriggerInternal, 0,
                              "", 0);
    }
    ~Sounder() { reg.CloseRootKeys(); }
};

int FiftyPingsWithTheBottomAtTheSimulatedDepth(Road road)
{
    Checks check;
    CQY42Simulator::Settings s;
    s.bottomDepth = 30.0;
    s.targets = {{12.0, 0.05f}, {20.0, 0.05f}};
    CQY42Simulator sim(s);
    if (!StartSimulator(sim, road))
        return 2;
    {
        Sounder run(sim, road);
        check(run.Begin(), "sounder created");
        check(run.unit && run.unit->IsRunning(), "unit running");
        check(WaitUntil([&] { return run.pings.load() >= 50; }, 60s), "50 pings");
        // The strongest echo of the ping marks the bottom, and the
        // channel's bottom detector finds it there.
        CChannel::ParameterCopy copy;
        run.unit->GetChannel()->GetChannelParameters(copy);
        const auto peak = std::max_element(copy.Power.begin(), copy.Power.end());
        const long at = peak == copy.Power.end() ? -1 : static_cast<long>(peak - copy.Power.begin());
        check(copy.Power.size() > static_cast<std::size_t>(sim.BottomSample()), "ping reaches the bottom");
        check(std::abs(at - sim.BottomSample()) <= 2,
              "echo peak at sample " + std::to_string(at) + ", bottom at " + std::to_string(sim.BottomSample()));
        const double depth = run.unit->GetChannel()->GetBottomDepth();
        check(std::abs(depth - 30.0) <= 2 * 0.0001 * 1500.0 * 0.5,
              "detected bottom at " + std::to_string(depth) + " m, simulated 30 m");
        check(run.unit->GetPingsCompleted() >= 50, "every ping completed");
        // Only the ping in flight may be triggered and not yet complete.
        check(sim.GetTriggers() <= run.unit->GetPingsCompleted() + 1,
              "no ping lost: " + std::to_string(sim.GetTriggers()) + " triggers, " +
                  std::to_string(run.unit->GetPingsCompleted()) + " completed");
        check(run.unit->GetPlaceholders() == 0, "no placeholder");
        check(run.unit->GetGapEvents() == 0, "no gap");
        check(run.unit->GetSetupState() == CQY42::kSetupComplete, "set-up state 255");
        check(run.unit->GetVersion() == "QY42 SIM 1.0", "version text");
        check(sim.GetTransmitFrequency() == 200000.0f, "transmit set-up reached the unit");
    }
    // The unit is halted when the program lets it go.
    check(WaitUntil([&] {
              const auto codes = sim.GetReceivedCodes();
              return !codes.empty() && codes.back() == "HD";
          }),
          "halt at the end");
    return check.failures;
}

TEST(QY42Link, FiftyPingsWithTheBottomAtTheSimulatedDepth)
{
    RunInProcess([] { return FiftyPingsWithTheBottomAtTheSimulatedDepth(Road::InProcess); });
}

// The same over UDP: the sockets, the unit's address and port, the parting
// halt from a socket of its own.
TEST(QY42Link, FiftyPingsOverUdpEndToEnd)
{
    RunNamespaceTest([] { return FiftyPingsWithTheBottomAtTheSimulatedDepth(Road::Udp); });
}

// Multipulse on the unit: over a flat bottom the tracker locks on after
// five pings and paces the pings at the bottom's two-way travel time; a jump
// of the bottom beyond its window lets go after five misses, and the new
// bottom is locked on five pings later.
TEST(QY42Link, MultipulseLocksOnAFlatBottomAndLetsGoOfAJump)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        s.bottomDepth = 30.0;
        CQY42Simulator sim(s);
        Sounder run(sim);
        run.rateMode = CEchoSounder::kMultiPulse;
        zv::test::CMultiPulseTrace trace;
        run.eachPing = [&] {
            const CMultiPulse* tracker = run.sounder.GetMultiPulse();
            trace.Add({run.unit->GetChannel()->GetBottomDepth(), tracker ? tracker->GetState() : -1,
                       run.sounder.GetRateMode() == CEchoSounder::kInterval, run.sounder.GetInterval()});
            // Range enough for the bottom after its jump.
            run.unit->GetChannel()->RequestRange(150.0);
        };
        if (!check(run.Begin(), "sounder created") || !check(run.sounder.IsMultiPulse(), "multipulse"))
            return check.failures;
        check(WaitUntil([&] { return trace.Size() >= 15; }, 60s), "15 pings over the flat bottom");
        const std::size_t jump = trace.Size();
        sim.SetBottomDepth(80.0);
        check(WaitUntil([&] { return trace.Size() >= jump + 25; }, 60s), "25 pings after the jump");
        // Two samples of 0.075 m.
        zv::test::CheckLockAndJump(trace.Steps(), 30.0, 80.0, jump, 1500.0, 0.15, check);
        return check.failures;
    });
}

TEST(QY42Link, DroppedDatagramsAreGapFilledAndCounted)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        s.dropEvery = 7;
        CQY42Simulator sim(s);
        Sounder run(sim);
        check(run.Begin(), "sounder created");
        check(WaitUntil([&] { return run.pings.load() >= 10; }, 60s), "pings go on");
        check(sim.GetDatagramsDropped() > 0, "datagrams dropped");
        check(run.unit->GetGapEvents() > 0, "gaps counted");
        check(run.unit->GetPingsCompleted() >= 10, "pings completed despite gaps");
        return check.failures;
    });
}

TEST(QY42Link, UnitSendingInRealTimeLosesNoPing)
{
    // A unit sends each ping's samples as it takes them, so the last ones
    // come close to when the next ping could start.
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        s.realTime = true;
        CQY42Simulator sim(s);
        {
            Sounder run(sim);
            check(run.Begin(), "sounder created");
            check(WaitUntil([&] { return run.pings.load() >= 20; }, 60s), "20 pings");
            check(sim.GetTriggers() <= run.unit->GetPingsCompleted() + 1,
                  "no ping lost: " + std::to_string(sim.GetTriggers()) + " triggers, " +
                      std::to_string(run.unit->GetPingsCompleted()) + " completed");
            check(run.unit->GetPlaceholders() == 0, "no placeholder");
            check(run.unit->GetGapEvents() == 0, "no gap");
        }
        return check.failures;
    });
}

// The pings the channel took, each as its sample count and where its power
// rises above the noise: a ping of its own samples from the simulated unit
// shows its bottom there once, at the bottom sample.
struct TakenPings
{
    std::mutex lock;
    std::vector<std::string> pings;

    // Notes the ping the channel holds; answers how many it has taken.
    std::size_t Note(const CChannel& channel)
    {
        CChannel::ParameterCopy copy;
        channel.GetChannelParameters(copy);
        const std::int16_t noise = rawpower::PowerToRaw(1e-4);
        std::string seen = std::to_string(copy.Power.size()) + " samples, echoes at";
        for (std::size_t i = 0; i < copy.Power.size(); ++i)
            if (copy.Power[i] > noise && (i == 0 || copy.Power[i - 1] <= noise))
                seen += " " + std::to_string(i);
        std::lock_guard<std::mutex> guard(lock);
        pings.push_back(seen);
        return pings.size();
    }

    // The first ping goes out before the echogram has asked for its range
    // and ends above the bottom; the next ones up to count are checked.
    void CheckOwnSamples(Checks& check, std::size_t count, int bottom)
    {
        const std::string own = " samples, echoes at " + std::to_string(bottom);
        std::lock_guard<std::mutex> guard(lock);
        check(pings.size() >= count, std::to_string(pings.size()) + " pings taken");
        for (std::size_t p = 1; p < count && p < pings.size(); ++p)
            check(pings[p].size() > own.size() && pings[p].compare(pings[p].size() - own.size(), own.size(), own) == 0,
                  "ping " + std::to_string(p) + " holds its own samples: " + pings[p]);
    }
};

// Runs a sounder against the simulated unit with the lag arm() puts into its
// hooks (it sets lagged once the lag happened) until count pings are taken;
// each must hold its own samples.
using ArmLag = std::function<void(Sounder&, CQY42Simulator&, TakenPings&, std::atomic<bool>& lagged)>;
int RunLagging(std::size_t count, const std::string& lag, const ArmLag& arm)
{
    Checks check;
    CQY42Simulator sim(CQY42Simulator::Settings{});
    TakenPings taken;
    std::atomic<bool> lagged{false};
    Sounder run(sim);
    run.eachPing = [&] { taken.Note(*run.unit->GetChannel()); };
    arm(run, sim, taken, lagged);
    check(run.Begin(), "sounder created");
    check(WaitUntil([&] { return run.pings.load() >= static_cast<int>(count); }), "pings go on");
    check(lagged.load(), lag);
    taken.CheckOwnSamples(check, count, sim.BottomSample());
    return check.failures;
}

// The ping-data thread may fall behind the unit (a document waiting for the
// window, a file opened for a new line). Pings that come back meanwhile wait
// in the ring: handed to the channel before it took the one before, their
// samples would join that ping and leave their own empty.
TEST(QY42Link, PingsThatComeBackWhileThePingDataThreadLagsKeepTheirOwnSamples)
{
    constexpr std::size_t kLagging = 2;
    RunInProcess([] {
        return RunLagging(kLagging + 4, "two pings came back while the ping-data thread lagged",
                          [](Sounder& run, CQY42Simulator&, TakenPings& taken, std::atomic<bool>& lagged) {
                              run.eachPing = [&] {
                                  if (taken.Note(*run.unit->GetChannel()) != kLagging)
                                      return;
                                  // Two more pings come back before this one is done with.
                                  const std::uint64_t completed = run.unit->GetPingsCompleted();
                                  lagged = WaitUntil([&] {
                                      return run.unit->GetBufferedPings() >= 2 ||
                                             run.unit->GetPingsCompleted() >= completed + 2;
                                  });
                              };
                          });
    });
}

// A completed ping the engine has not taken yet still holds the channel's
// input when the link is lost and set up again: the set-up must not let the
// pings after it in.
TEST(QY42Link, RelinkWhileACompletedPingWaitsForTheEngineKeepsEachPingsOwnSamples)
{
    constexpr int kWaiting = 2;
    RunInProcess([] {
        std::atomic<int> completedPings{0};
        return RunLagging(kWaiting + 4, "set up again while a completed ping waited",
                          [&](Sounder& run, CQY42Simulator& sim, TakenPings&, std::atomic<bool>& lagged) {
                              // Before the engine takes this ping from the channel, the next
                              // one is cut off, the link is lost and set up again, and a ping
                              // comes back.
                              run.host.geographicAddPing = [&](std::uint64_t) {
                                  if (++completedPings != kWaiting)
                                      return;
                                  const std::uint64_t completed = run.unit->GetPingsCompleted();
                                  const auto setups = sim.GetSetups();
                                  sim.SilenceDuringNextPing();
                                  const bool lost = WaitUntil([&] { return run.unit->GetLinkLosses() >= 1; });
                                  sim.SetSilent(false);
                                  lagged = lost && WaitUntil([&] {
                                               return sim.GetSetups() > setups &&
                                                      (run.unit->GetBufferedPings() >= 1 ||
                                                       run.unit->GetPingsCompleted() > completed);
                                           });
                              };
                          });
    });
}

// The trigger thread starts the next ping once the unit's ring has room,
// while the ping-data thread may just have handed the last one to the
// channel and neither processed nor drawn it yet: the next ping must still
// reach the bottom, not end a few metres down in noise that a detector can
// take for one.
TEST(QY42Link, PingStartedBeforeTheLastIsProcessedStillReachesTheBottom)
{
    constexpr int kHeld = 2;
    RunInProcess([] {
        std::atomic<int> written{0};
        return RunLagging(kHeld + 3, "a ping was triggered while the last one waited to be processed",
                          [&](Sounder& run, CQY42Simulator& sim, TakenPings&, std::atomic<bool>& lagged) {
                              // The recorder takes each ping after the channel's AddPing and
                              // before its processing.
                              run.host.storeWritePing = [&] {
                                  if (++written != kHeld)
                                      return;
                                  const std::uint64_t triggers = sim.GetTriggers();
                                  lagged = WaitUntil([&] { return sim.GetTriggers() > triggers; });
                              };
                          });
    });
}

TEST(QY42Link, SilentUnitGivesPlaceholderAndAlarmThenRelinks)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        CQY42Simulator sim(s);
        Sounder run(sim);
        check(run.Begin(), "sounder created");
        check(WaitUntil([&] { return run.pings.load() >= 3; }), "pings before the silence");
        const auto setups = sim.GetSetups();
        sim.SilenceDuringNextPing();
        check(WaitUntil([&] { return run.unit->GetPlaceholders() >= 1; }), "placeholder written");
        // The cut ping, completed by the placeholder, still travels the
        // whole road to the documents while the unit is silent.
        check(WaitUntil([&] { return run.pingsAfterPlaceholder.load() >= 1; }), "placeholder ping delivered");
        check(WaitUntil([&] { return run.linkLost.load() >= 1; }), "link-lost alarm raised");
        check(run.unit->GetLinkLosses() == 1, "the unit reported one loss");
        check(!run.unit->IsReady(), "the unit must be set up again");
        check(run.linkLostStillRaised.load() == 0, "the trigger thread cleared the flag before the alarm");
        check(!run.sounder.IsLinkLost(), "flag cleared");
        sim.SetSilent(false);
        check(WaitUntil([&] { return sim.GetSetups() > setups; }), "set-up again");
        const int before = run.pings.load();
        check(WaitUntil([&] { return run.pings.load() >= before + 5; }), "pings resume after re-link");
        check(run.linkLost.load() == 1, "one alarm for one loss, not " + std::to_string(run.linkLost.load()));
        check(!run.sounder.IsLinkLost(), "flag still clear after the re-link");
        return check.failures;
    });
}

TEST(QY42Link, RefusingUnitIsNeverUsed)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        s.refuse = true;
        CQY42Simulator sim(s);
        {
            std::atomic<int> beeps{0};
            std::atomic<unsigned> beepHz{0}, beepMs{0};
            CTestTransceiverServices services;
            services.beep = [&](unsigned hz, unsigned ms) {
                beepHz = hz;
                beepMs = ms;
                ++beeps;
            };
            CQY42 unit(Info(), QY42Capability(), nullptr, services, QY42FastTimings(),
                       std::make_unique<zv::test::CQY42SimulatorLink>(sim));
            check(unit.IsRefused(), "refusal seen");
            check(beeps.load() == 1 && beepHz.load() == 1000 && beepMs.load() == 2000, "one beep of 1000 Hz, 2 s");
            check(!unit.IsRunning(), "not running");
            check(unit.GetChannelCount() == 0, "no channel");
            std::int64_t d = 0;
            unit.Start(d);
            check(unit.Trigger(0) == 0, "no trigger sent");
            check(unit.RequestStatus() == 1, "no status request sent");
        }
        for (const auto& c : sim.GetReceivedCodes())
            check(c == "VR", "only version requests reached the unit, not " + c);
        return check.failures;
    });
}

TEST(QY42Link, MotionTimeIsPingStartPlusOffset)
{
    // The sample number of a motion record is an offset from the ping's
    // start: taken as an absolute time it would land near the year 1601.
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        CQY42Simulator sim(s);
        Sounder run(sim);
        check(run.Begin(), "sounder created");
        check(WaitUntil([&] { return run.pings.load() >= 2; }), "pings");
        std::vector<BYTE> aci(32, 0);
        aci[0] = 32;
        aci[4] = 'A';
        aci[5] = 'C';
        aci[6] = 'I';
        aci[8] = 100;  // sample 100 after the start
        check(sim.SendToProgram(aci), "motion sent");
        check(WaitUntil([&] { return run.unit->GetMotionTime() != 0; }), "motion taken");
        const std::uint64_t t = run.unit->GetMotionTime();
        const std::uint64_t now = CFileTime::Now();
        check(t > now - 600000000ull && t < now + 600000000ull, "motion time within a minute of now");
        return check.failures;
    });
}

// Each live ping asks the motion sensor at its time and when the echo of the
// channel's last bottom comes back; the channel's heave is the mean of the
// two heaves at the transducer, roll and pitch are taken at both times.
TEST(QY42Link, EveryPingAsksTheMotionAtItsTimeAndAtItsEcho)
{
    RunInProcess([] {
        Checks check;
        // A heave that grows 1 cm a second (up to 10 cm), roll and pitch by
        // the time too.
        class CSlopes final : public IMotionSensor
        {
        public:
            static double Heave(std::uint64_t t) { return static_cast<double>(t % 100'000'000) / 1e9; }
            bool GetMotionAtTime(std::uint64_t t, const TransducerOffsets&, double out[4]) override
            {
                out[0] = Heave(t);
                out[1] = 1.0 + out[0];
                out[2] = 2.0 + out[0];
                out[3] = 2.0 * out[0];
                std::lock_guard lock(m_lock);
                asked.push_back(t);
                return true;
            }
            bool GetSensorOffsets(double&, double&, double&) const override { return false; }
            void ResetHistory() override {}
            std::vector<std::uint64_t> Asked()
            {
                std::lock_guard lock(m_lock);
                return asked;
            }

        private:
            std::mutex m_lock;
            std::vector<std::uint64_t> asked;
        } motion;
        CQY42Simulator::Settings s;
        s.bottomDepth = 30.0;
        // The same unit's analog inputs carry a motion sensor's voltages.
        s.motionVolts = [](std::uint64_t) { return std::array<float, 3>{1.237f, -4.5f, 6.0f}; };
        CQY42Simulator sim(s);
        Sounder run(sim);
        run.services.motion = &motion;
        std::atomic<int> checked{0};
        std::atomic<int> wrong{0};
        int bottoms = 0;
        run.eachPing = [&] {
            // The ping just processed asked twice: at its time, then later.
            const auto asked = motion.Asked();
            CChannel* channel = run.unit->GetChannel();
            // The first ping with a bottom looked up with none before it.
            if (asked.size() < 2 || !channel || channel->GetBottomDepth() <= 0.0 || ++bottoms < 2)
                return;
            const std::uint64_t t0 = asked[asked.size() - 2], t1 = asked.back();
            const double echo = static_cast<double>(t1 - t0) / 1e7;
            const double heave = CSlopes::Heave(t0) + CSlopes::Heave(t1);
            // About the two-way time of 30 m.
            if (std::abs(echo - 60.0 / run.unit->GetSoundVelocity()) > 0.002 ||
                std::abs(channel->GetLastPingValue() - heave) > 1e-9) {
                ++wrong;
            }
            ++checked;
        };
        check(run.Begin(), "sounder created");
        check(WaitUntil([&] { return checked.load() >= 5; }), "pings with a bottom");
        check(wrong.load() == 0, std::to_string(wrong.load()) + " pings with other motion");
        const auto fed = run.services.GetFed();
        check(!fed.analogMotion.empty() && fed.analogMotion[0].heave == 123 && fed.analogMotion[0].roll == -450 &&
                  fed.analogMotion[0].pitch == 600,
              "the motion voltages in hundredths, truncated");
        return check.failures;
    });
}

// What the unit has for the program's sensors and status window reaches
// them through its services: the motion voltages and the thermistor under
// the unit's name, the status answers, and the trawl data with each ping.
TEST(QY42Link, UnitFeedsTheProgramsSensorsAndStatusWindow)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator sim(CQY42Simulator::Settings{});
        Sounder run(sim);
        TrawlRecord trawl;
        trawl.depthState = TrawlRecord::kValid;
        trawl.depth = 12.5;
        trawl.openingState = TrawlRecord::kTooOld;
        trawl.opening = 20.25;
        run.services.trawl = trawl;
        check(run.Begin(), "sounder created");
        check(WaitUntil([&] { return run.pings.load() >= 2; }), "pings");

        std::uint32_t header[8] = {};
        run.unit->GetChannel()->GetStatusWords(header);
        double depth = 0.0, opening = 0.0;
        std::memcpy(&depth, &header[2], sizeof depth);
        std::memcpy(&opening, &header[6], sizeof opening);
        check(header[0] == 2 && depth == 12.5 && header[4] == 1 && opening == 20.25,
              "the trawl record is the ping's input header");

        // Volts as the unit sends them and the hundredths the heave input
        // gets: truncated, cut to 16 bits, 0 for what is not a number.
        struct Row
        {
            float volts[3];
            std::int16_t hundredths[3];
        };
        const Row rows[] = {
            {{1.239f, -0.5f, 0.0f}, {123, -50, 0}},
            {{1e9f, -1e9f, std::nanf("")}, {32767, -32768, 0}},
        };
        for (const Row& r : rows) {
            auto aci = CQY42Simulator::MakeAuxiliaryInput(0, 0x00, r.volts, 1500.0f);
            check(sim.SendToProgram(aci), "auxiliary input sent");
        }
        check(WaitUntil([&] { return run.services.GetFed().thermistorOhms.size() == 2; }), "inputs taken");
        const auto fed = run.services.GetFed();
        check(fed.analogMotion.size() == 2, "one motion sample per input");
        for (std::size_t i = 0; i < fed.analogMotion.size() && i < 2; ++i) {
            const AnalogMotionSample& m = fed.analogMotion[i];
            check(m.heave == rows[i].hundredths[0] && m.roll == rows[i].hundredths[1] &&
                      m.pitch == rows[i].hundredths[2],
                  "motion in hundredths of a volt, row " + std::to_string(i));
            check(m.time != 0 && fed.analogMotionUnits[i] == "QY42", "stamped, under the unit's name");
        }
        check(fed.thermistorOhms == std::vector<double>{1500.0, 1500.0} && fed.thermistorUnits[0] == "QY42",
              "the thermistor's ohms under the unit's name");

        check(run.services.GetFed().statusShown == 0, "no status shown before it is asked for");
        check(run.unit->RequestStatus() == 0, "status requested");
        check(WaitUntil([&] {
                  const auto f = run.services.GetFed();
                  return f.statusShown >= 1 && f.statusFormatted >= 1;
              }),
              "the status and version answers reach the status window");
        return check.failures;
    });
}

TEST(QY42Link, EventInputClosingPostsOneEventCommandPerPress)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        CQY42Simulator sim(s);
        int events = 0;
        HWND frame = CreateMessageWindow([&](HWND, UINT message, WPARAM w, LPARAM) -> LRESULT {
            if (message == WM_COMMAND && w == CQY42::ID_EVENT_ANNOTATION)
                ++events;
            return 0;
        });
        SetMainWindow(frame);
        CTestTransceiverServices services;
        CQY42 unit(Info(), QY42Capability(), nullptr, services, QY42FastTimings(),
                   std::make_unique<zv::test::CQY42SimulatorLink>(sim));
        // Pressed, held, released, pressed again: two events.
        const BYTE flags[] = {0x02, 0x02, 0x00, 0x02, 0x03};
        for (BYTE f : flags) {
            std::vector<BYTE> aci(32, 0);
            aci[0] = 32;
            aci[4] = 'A';
            aci[5] = 'C';
            aci[6] = 'I';
            aci[12] = f;
            check(sim.SendToProgram(aci), "auxiliary input sent");
        }
        check(WaitUntil([&] { return unit.GetAuxiliaryInputs() == 5; }), "all inputs taken");
        PumpUntil([&] { return events >= 3; }, std::chrono::milliseconds(200));
        check(events == 2, "two presses, " + std::to_string(events) + " events");
        DestroyWindow(frame);
        return check.failures;
    });
}

// The unit's answer to the set-up comes on the receive thread, possibly after
// the first ping has started: it must not count that ping as all in the ring,
// or the next one would start over its slot while its samples still come.
TEST(QY42Link, LateSetUpAnswerLeavesThePingOnItsWay)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        CQY42Simulator sim(s);
        UnitTimings timings = QY42FastTimings();
        timings.receiveWaitMs = 1000;  // no silence is counted while the test runs
        CTestTransceiverServices services;
        CQY42 unit(Info(), QY42Capability(), nullptr, services, timings,
                   std::make_unique<zv::test::CQY42SimulatorLink>(sim));
        const auto answers = [&] {
            const std::string log = unit.GetInformationLog();
            int n = 0;
            for (auto at = log.find("Text: TC "); at != std::string::npos; at = log.find("Text: TC ", at + 1))
                ++n;
            return n;
        };
        check(WaitUntil([&] { return unit.IsReady() && answers() == 1; }), "set up");
        std::int64_t duration = 0;
        unit.Start(duration);  // never triggered: nothing of it comes
        check(!unit.IsReady(), "a started ping is on its way");
        check(sim.SendToProgram(CQY42Simulator::MakeInfo(4, 6, "TC")), "answer sent");
        check(WaitUntil([&] { return answers() == 2; }), "answer taken");
        check(!unit.IsReady(), "the ping is still on its way");
        return check.failures;
    });
}

TEST(QY42Link, EnvironmentReachesTheChannelEveryPing)
{
    RunInProcess([] {
        Checks check;
        CQY42Simulator::Settings s;
        CQY42Simulator sim(s);
        Sounder run(sim);
        std::atomic<double> velocity{1480.0};
        std::atomic<double> askedFrequency{0.0};
        run.services.soundVelocity = [&] { return velocity.load(); };
        run.services.absorption = [&](double f) {
            askedFrequency = f;
            return 0.05;
        };
        check(run.Begin(), "sounder created");
        CChannel* channel = run.unit ? run.unit->GetChannel() : nullptr;
        if (!channel)
            return check.failures + 1;
        auto distanceIs = [&](double v) {
            return std::abs(channel->GetParameters().SampleDistance - 0.0001 * v * 0.5) < 1e-12;
        };
        // The velocity the unit reports with its channel (what the recorder
        // writes beside each ping's sample interval) is the one it ranges with.
        auto reportedVelocity = [&] {
            std::string description, name;
            double f, g, b, bw, w1, w2, s1, s2, o1, o2, velocity = 0.0, t;
            int beamType;
            run.unit->GetChannelParameters(channel, description, name, f, g, b, bw, w1, w2, s1, s2, o1, o2, beamType,
                                           velocity, t);
            return velocity;
        };
        check(distanceIs(1480.0), "the channel is made with the environment's sound velocity");
        check(reportedVelocity() == 1480.0, "and reports it");
        check(channel->GetParameters().Absorption == 0.05, "and its absorption");
        check(askedFrequency.load() == 200000.0, "absorption asked for the channel's frequency");
        check(run.unit->GetSensitivityFactor() == CQY42::SensitivityFactor(CQY42::kDefaultLoad, CQY42::kReferenceLoad),
              "a unit without a load value takes the default load");
        check(WaitUntil([&] { return run.pings.load() >= 2; }), "pings");
        velocity = 1490.0;
        check(WaitUntil([&] { return distanceIs(1490.0); }), "a new sound velocity reaches the channel");
        check(reportedVelocity() == 1490.0, "and is reported with it");
        // An environment without a value keeps the last good one.
        velocity = std::nan("");
        const int before = run.pings.load();
        check(WaitUntil([&] { return run.pings.load() >= before + 3; }), "pings go on");
        check(distanceIs(1490.0), "no sample distance from a velocity that is not a number");
        check(reportedVelocity() == 1490.0, "nor a reported velocity");
        return check.failures;
    });
}

// The operator confirms "Transceiver Settings" again and again on this
// thread while the unit pings (the threads label runs it under
// ThreadSanitizer too): each pulse length chosen reaches the unit with the
// next transmit set-up, and the pings go on.
TEST(QY42Link, TransceiverDialogConfirmedWhilePingingReachesTheNextSetUp)
{
    class CChoosing final : public ITransceiverDialogs
    {
    public:
        int pulse = 0;
        int RunChannel(TransceiverDialogValues& v, const DialogOpened&) override
        {
            v.pulseLength = v.pulseLengths[pulse];
            v.power = v.powerSteps[pulse];
            return 1;
        }
        int RunGeoChannel(GeoTransceiverDialogValues&, const DialogOpened&) override { return 0; }
        int RunAdvanced(const AdvancedTransceiverDialogValues&, const DialogOpened&) override { return 0; }
    };
    RunInProcess([] {
        Checks check;
        CQY42Simulator sim(CQY42Simulator::Settings{});
        Sounder run(sim);
        CChoosing dialogs;
        run.services.dialogs = &dialogs;
        check(run.Begin(), "sounder created");
        CChannel* channel = run.unit ? run.unit->GetChannel() : nullptr;
        if (!channel)
            return check.failures + 1;
        check(WaitUntil([&] { return run.pings.load() >= 2; }), "pings");
        const double table[5] = {0.0001, 0.0002, 0.0004, 0.0008, 0.0016};
        for (const int pulse : {3, 0, 4, 1, 2, 3}) {
            dialogs.pulse = pulse;
            check(run.unit->RunChannelDialog(channel) == 1, "confirmed");
            const int before = run.pings.load();
            const double expected = table[pulse];
            check(WaitUntil([&] {
                      return std::abs(sim.GetConfiguredPulseLength() - expected) < 1e-9 &&
                             std::abs(sim.GetTransmitPulseLength() - expected) < 1e-9 && run.pings.load() > before;
                  }),
                  "pulse length " + std::to_string(expected) + " in the next TSP# and TPC, not " +
                      std::to_string(sim.GetConfiguredPulseLength()));
        }
        check(std::abs(channel->GetParameters().PulseLength - 0.0008) < 1e-12, "the channel pings with it");
        return check.failures;
    });
}

TEST(QY42Transmit, SensitivityFactorOfTheLoad)
{
    struct Row
    {
        const char* legend;
        double a, b, factor;
    };
    const Row rows[] = {
        {"matched load takes all", 1000.0, 1000.0, 1000.0},
        {"the default load of 68 ohms", CQY42::kDefaultLoad, CQY42::kReferenceLoad,
         std::pow(136.0 / 1068.0, 2) * 1000.0},
        {"no load and no reference: 0, not a division by zero", 0.0, 0.0, 0.0},
    };
    for (const auto& r : rows)
        EXPECT_DOUBLE_EQ(CQY42::SensitivityFactor(r.a, r.b), r.factor) << r.legend;
}

TEST(QY42Filter, FilterLengthIsCheckedAgainstTheTables)
{
    CTestTransceiverServices services;
    CQY42 unit(InstalledTransceiverInfo{}, std::nullopt, nullptr, services, QY42FastTimings(), nullptr);
    CQY42::FilterRecord f;
    f.length = CQY42::kMaxFilterLength + 1;
    EXPECT_FALSE(unit.SetFilter(f));
    f.length = -1;
    EXPECT_FALSE(unit.SetFilter(f));
    f.length = 3;
    f.real.resize(2);
    EXPECT_FALSE(unit.SetFilter(f)) << "tables shorter than the length";
    f.real.resize(CQY42::kMaxFilterLength);
    f.divisor = 0;
    EXPECT_TRUE(unit.SetFilter(f)) << "divisor 0 is taken as 1";
    EXPECT_FALSE(unit.IsRunning()) << "a unit of another type is not driven";
}

TEST(QY42Filter, FilterTypesTurnSamplesIntoPower)
{
    // Four samples 1+1j, 2, 3j, 1-1j at ring positions 0..3.
    CSampleRingBuffer ring(1);
    const auto rsd = CQY42Simulator::MakeSamples(10000.0f, 0, 0, {1, 1, 2, 0, 0, 3, 1, -1});
    ASSERT_EQ(ring.WriteSamples(rsd.data(), rsd.size()), CSampleRingBuffer::kStored);
    CQY42::FilterRecord fir;
    fir.length = 2;
    fir.real[0] = 2.0f;  // 2 / divisor 2 = 1 on the newest sample
    fir.real[1] = 0.0f;
    fir.imaginary[1] = 2.0f;  // j on the sample Des2 back
    fir.divisor = 2;
    CQY42::FilterRecord zeroDivisor = fir;
    zeroDivisor.divisor = 0;  // taken as 1: twice the sum of the above
    struct Row
    {
        const char* legend;
        int type, des2;
        const CQY42::FilterRecord* filter;
        std::vector<double> power;
    };
    const CQY42::FilterRecord none;
    // Samples before the ping are zero; a tap reaching there adds nothing.
    const Row rows[] = {
        {"type 1: an eighth of the squared magnitude", 1, 2, &none, {0.25, 0.5, 1.125, 0.25}},
        {"type 5: power summed over Des2 samples, one value per Des2", 5, 2, &none, {2.0, 9.0 + 4.0}},
        // s1 + j*s0 = 1+1j; s2 + j*s1 = 5j; s3 + j*s2 = -2-1j.
        {"type 2: complex taps one sample apart", 2, 1, &fir, {2.0, 2.0, 25.0, 5.0}},
        // s2 + j*s0 = -1+4j.
        {"type 3: taps Des2 apart, one value per Des2", 3, 2, &fir, {2.0, 17.0}},
        {"a divisor of 0 acts as 1, not as a division by zero", 4, 2, &zeroDivisor, {8.0, 68.0}},
    };
    double power[8];
    std::int16_t words[8];
    for (const auto& r : rows) {
        const int n = CQY42::ConvertSamples(ring, 0, 4, 0, r.type, r.des2, *r.filter, power, words);
        ASSERT_EQ(n, static_cast<int>(r.power.size())) << r.legend;
        for (int k = 0; k < n; ++k) {
            EXPECT_DOUBLE_EQ(power[k], r.power[static_cast<std::size_t>(k)]) << r.legend << " value " << k;
            EXPECT_EQ(words[k], rawpower::PowerToRaw(power[k])) << r.legend;
        }
    }
}

}  // namespace
