// The general-purpose HXU unit against the simulated one on loopback: its
// datagram readers against the simulator's own encoding, the start-up talk,
// pings through the engine, and the receive thread's faults.
#include "transceivers/HXU.h"

#include "base/AppIds.h"
#include "base/CommandTarget.h"
#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/TempHives.h"
#include "sim/hxu/HxuSimulator.h"
#include "sounder/EchoSounder.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/TransceiverInstallation.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/UdpDatagramLink.h"

#include "sounder/tests/TestEchoSounderHost.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using nettest::Checks;
using zv::test::WaitUntil;

constexpr const char* kName = "HXU-H 1";

UnitTimings Fast()
{
    UnitTimings t;
    t.hxuAnswerWaitMs = 300;
    t.hxuReceiveWaitMs = 100;
    t.hxuBlockWaitMs = 500;
    t.hxuLastBlockWaitMs = 500;
    t.hxuDownloadPauseMs = 10;
    t.hxuStartPauseMs = 0;
    return t;
}

InstalledTransceiverInfo Info(const std::string& name = kName)
{
    InstalledTransceiverInfo info;
    info.type = TransceiverType::HXU;
    info.unitAddress = 0x7F000001;
    info.channelCount = 2;
    info.transceiverId = name;
    return info;
}

TransceiverChannelRecord Channel(int number, int kHz)
{
    TransceiverChannelRecord c;
    c.channelNo = number;
    c.frequencyKHz = kHz;
    c.frequency = kHz * 1000.0;
    c.txPowerMax = 1000.0;
    c.description = "T" + std::to_string(kHz) + " " + std::to_string(kHz) + " kHz";
    const double pulses[5] = {0.000256, 0.000512, 0.001024, 0.002048, 0.004096};
    for (int i = 0; i < 5; ++i) {
        c.pulseLength[i] = pulses[i];
        c.sampleInterval[i] = 0.0001;
        c.gain[i] = 26.0;
    }
    return c;
}

// Two channels in the unit's first and third slot.
std::vector<TransceiverChannelRecord> Channels()
{
    return {Channel(1, 38), Channel(3, 200)};
}

std::unique_ptr<IDatagramLink> LinkTo(const CHxuSimulator& sim)
{
    return CUdpDatagramLink::Open(SocketAddress(0x7F000001, sim.Port()), "HXU");
}

CHxuSimulator::Settings SimSettings()
{
    CHxuSimulator::Settings s;
    s.port = 0;
    s.identity = kName;
    s.fragmentSamples = 200;
    return s;
}

// The sounder as the unit sees it: what it was handed, counted.
class CFakeOwner final : public ITransceiverOwner
{
public:
    std::atomic<int> pingTimes{0};
    std::atomic<int> unlocks{0};
    std::atomic<int> skips{0};
    int GetRateMode() const override { return 0; }
    std::uint64_t UpdatePingTime(std::uint64_t) override
    {
        ++pingTimes;
        return 0;
    }
    void UnlockSemaphore() override { ++unlocks; }
    void SetSkip() override { ++skips; }
    // What the sounder answers the unit at its mode set: the step flag, and
    // multipulse's and pinger mode's scaled values.
    int step = 0;
    std::optional<double> tracked;
    std::optional<double> pinger;
    int GetStep(int) const override { return step; }
    std::optional<double> GetMultiPulseScaledDepth() const override { return tracked; }
    std::optional<double> GetPingerScaledParameter() const override { return pinger; }
    void SetLinkLost() override {}
    bool IsStopping() const override { return false; }
};

class CAnswers final : public ITransceiverDialogs
{
public:
    std::vector<int> noContact;  // answers in turn; then Cancel
    int reprogram = 0;
    int noContactAsked = 0;
    int reprogramAsked = 0;
    std::string unitVersion, fileVersion;
    int RunChannel(TransceiverDialogValues&, const DialogOpened&) override { return 0; }
    int RunGeoChannel(GeoTransceiverDialogValues&, const DialogOpened&) override { return 0; }
    int RunAdvanced(const AdvancedTransceiverDialogValues&, const DialogOpened&) override { return 0; }
    int RunHxuNoContact(const std::string&) override
    {
        const std::size_t at = static_cast<std::size_t>(noContactAsked++);
        return at < noContact.size() ? noContact[at] : 0;
    }
    int RunHxuReprogram(const std::string&, const std::string& unit, const std::string& file) override
    {
        ++reprogramAsked;
        unitVersion = unit;
        fileVersion = file;
        return reprogram;
    }
};

// ---------------------------------------------------------------------------
// Datagrams

TEST(HxuTelegrams, ReadsTheSimulatedUnitsDatagrams)
{
    const auto v = CHxuSimulator::EncodeVersion("HXU-H 7", "2.31", true, "DSP halted");
    const auto version = hxu::ReadVersionReply(v.data(), v.size());
    ASSERT_TRUE(version);
    EXPECT_EQ(version->identity, "HXU-H 7");
    EXPECT_EQ(version->version, "2.31");
    EXPECT_TRUE(version->fatal);
    EXPECT_EQ(version->error, "DSP halted");

    const std::vector<std::int16_t> power = {-7000, -1700, 5};
    const auto p = CHxuSimulator::EncodeFragment(2, 800, power, 4096, {{1, 2, 3}}, 3, 4);
    ASSERT_EQ(hxu::KindOf(p.data(), p.size()), hxu::Kind::Samples);
    const auto f = hxu::ReadFragment(p.data(), p.size());
    ASSERT_TRUE(f);
    EXPECT_EQ(f->slot, 2);
    EXPECT_EQ(f->first, 800u);
    EXPECT_EQ(f->thermistor, 4096);
    EXPECT_EQ(f->motion[2], 3);
    EXPECT_EQ(f->status, 3);
    EXPECT_EQ(f->power, power);
    EXPECT_EQ(f->adCount, 4);
    ASSERT_EQ(f->adWords.size(), 16u);
    EXPECT_EQ(f->adWords[15], 0x10Fu);

    const auto ad = CHxuSimulator::EncodeRawBlock(1, 9, 3, std::vector<std::int16_t>(12, -4));
    ASSERT_EQ(hxu::KindOf(ad.data(), ad.size()), hxu::Kind::RawBlock);
    const auto r = hxu::ReadRawBlock(ad.data(), ad.size());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->slot, 1);
    EXPECT_EQ(r->blockId, 9u);
    EXPECT_EQ(r->stride, 3);
    EXPECT_EQ(r->count, 4);
    EXPECT_EQ(r->words.size(), 12u);

    const auto e = CHxuSimulator::EncodeText('E', "overheated");
    ASSERT_EQ(hxu::KindOf(e.data(), e.size()), hxu::Kind::Error);
    EXPECT_EQ(hxu::ReadText(e.data(), e.size()), "overheated");
    const auto cr = CHxuSimulator::EncodeBlockReply(12);
    EXPECT_EQ(hxu::ReadCodeBlockReply(cr.data(), cr.size()), 12u);
}

TEST(HxuTelegrams, RefusesDatagramsThatLieAboutWhatTheyHold)
{
    auto fragment = [](int adCount) {
        return CHxuSimulator::EncodeFragment(0, 0, std::vector<std::int16_t>(10, -5000), 0, {}, 0, adCount);
    };
    struct Case
    {
        const char* legend;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Case> cases;
    auto cut = fragment(0);
    cut.resize(31);
    cases.push_back({"a fragment of 31 bytes", cut});
    auto overlong = fragment(0);
    overlong[28] = 11;
    cases.push_back({"a count one past the samples", overlong});
    auto angles = fragment(0);
    angles[26] = 1;
    cases.push_back({"angles the fragment does not hold", angles});
    auto two = fragment(1);
    two[32 + 20] = 2;
    cases.push_back({"an AD count of 2", two});
    auto shortBlock = fragment(4);
    shortBlock.resize(shortBlock.size() - 4);
    cases.push_back({"a diagnostics block cut short", shortBlock});
    auto digit = fragment(0);
    digit[1] = '4';
    cases.push_back({"a fifth channel", digit});
    for (const Case& c : cases)
        EXPECT_FALSE(hxu::ReadFragment(c.bytes.data(), c.bytes.size())) << c.legend;

    auto ad = CHxuSimulator::EncodeRawBlock(0, 1, 0, {});
    EXPECT_FALSE(hxu::ReadRawBlock(ad.data(), ad.size())) << "a raw block of stride 0";
    ad = CHxuSimulator::EncodeRawBlock(0, 1, 2, {});
    EXPECT_FALSE(hxu::ReadRawBlock(ad.data(), 15)) << "a raw block of 15 bytes";
    const auto v = CHxuSimulator::EncodeVersion(kName, "1", false, "");
    EXPECT_FALSE(hxu::ReadVersionReply(v.data(), 279)) << "a version reply without its fatal word";
    const std::uint8_t e[4] = {'E', 0, 0, 0};
    EXPECT_EQ(hxu::ReadText(e, 4), "") << "an error without text";
}

TEST(HxuTelegrams, ThermistorAndMotionWords)
{
    struct Case
    {
        std::uint16_t word;
        double ohms;
    };
    // (10 v / (1 - v) - 1) kOhm with v = (word + 8) / 65536; the divider's
    // top words give no reading instead of a division by zero.
    const Case cases[] = {{0, 0.0}, {32760, 9000.0}, {65527, 655349000.0}, {65528, 0.0}, {65535, 0.0}};
    for (const Case& c : cases)
        EXPECT_NEAR(CHXU::ThermistorOhms(c.word), c.ohms, 1e-6 * std::max(1.0, c.ohms)) << c.word;
    EXPECT_EQ(CHXU::MotionHundredths(0x4000), 514);
    EXPECT_EQ(CHXU::MotionHundredths(0xFFFF), 2055);
    EXPECT_EQ(CHXU::MotionHundredths(0x000F), 0);
}

TEST(HxuTelegrams, SoftwareVersionLine)
{
    EXPECT_EQ(hxu::SoftwareVersion("VERSION=2.40  \r\n"), "2.40");
    EXPECT_EQ(hxu::SoftwareVersion(":VERSION=1.1"), "1.1");
    EXPECT_FALSE(hxu::SoftwareVersion(":10000000C2"));
}

// ---------------------------------------------------------------------------
// Start-up talk

TEST(HxuStartUp, ContactIdentityAndFatalState)
{
    struct Case
    {
        const char* legend;
        SounderModel model;
        std::string identity;
        bool fatal;
        bool silent;
        std::vector<int> retries;
        CHXU::StartState state;
        int queries;
    };
    const Case cases[] = {
        {"the unit answers", SounderModel::QY310, kName, false, false, {}, CHXU::StartState::Running, 1},
        {"no answer: Retry, then Cancel", SounderModel::QY310, kName, false, true, {1}, CHXU::StartState::NoContact, 2},
        {"no segment mark", SounderModel::QY210, "HXU-S 1", false, false, {}, CHXU::StartState::WrongType, 1},
        {"another unit than installed",
         SounderModel::QY310,
         "HXU-H 2",
         false,
         false,
         {},
         CHXU::StartState::WrongType,
         1},
        {"a unit in a fatal state", SounderModel::QY310, kName, true, false, {}, CHXU::StartState::UnitFatal, 1},
        {"any segment for the TOTAL model",
         SounderModel::TOTAL,
         "HXU-S 1",
         false,
         false,
         {},
         CHXU::StartState::Running,
         1},
    };
    for (const Case& c : cases) {
        CHxuSimulator::Settings s = SimSettings();
        s.identity = c.identity;
        s.fatal = c.fatal;
        CHxuSimulator sim(s);
        ASSERT_TRUE(sim.Start());
        if (c.silent)
            sim.SetFault(CHxuSimulator::Fault::Silent);
        CTestTransceiverServices services;
        services.model = c.model;
        CAnswers answers;
        answers.noContact = c.retries;
        services.dialogs = &answers;
        std::vector<unsigned> beeps;
        services.beep = [&](unsigned hz, unsigned ms) { beeps.push_back(hz * 10000 + ms); };
        ClearMessageBoxRecord();
        CHXU unit(Info(c.identity == "HXU-S 1" ? c.identity : kName), Channels(), nullptr, services, Fast(),
                  LinkTo(sim), 0, "");
        EXPECT_EQ(unit.GetStartState(), c.state) << c.legend;
        EXPECT_EQ(sim.GetVersionQueries(), static_cast<std::uint64_t>(c.queries)) << c.legend;
        EXPECT_EQ(unit.GetChannelCount(), c.state == CHXU::StartState::Running ? 2 : 0) << c.legend;
        const auto fed = services.GetFed();
        const bool wrongType = c.state == CHXU::StartState::WrongType;
        EXPECT_EQ(fed.status, wrongType ? std::vector<unsigned>{app::ids::HXU_WRONG_TYPE} : std::vector<unsigned>{})
            << c.legend;
        if (c.state == CHXU::StartState::Running) {
            EXPECT_TRUE(WaitUntil([&] { return sim.GetConnects() == 1; })) << c.legend << ": connected";
            // The alarm commands reach the unit; the debug dialog is
            // offered while someone can show it.
            EXPECT_TRUE(unit.OnCommand(app::cmd::HXU_ALARM_ON));
            EXPECT_TRUE(WaitUntil([&] { return sim.GetAlarm() == 1; })) << c.legend;
            EXPECT_TRUE(unit.OnCommand(app::cmd::HXU_ALARM_OFF));
            EXPECT_TRUE(WaitUntil([&] { return sim.GetAlarm() == 0; })) << c.legend;
            app::CCmdUI ui;
            ui.id = app::cmd::DEBUG_HXU;
            EXPECT_TRUE(unit.OnUpdateCommand(ui) && ui.enabled) << c.legend;
        } else {
            // A unit that could not be started gives up each ping at once,
            // so that the sounder's other units go on pinging.
            CFakeOwner owner;
            unit.SetEchoSounder(&owner);
            std::int64_t duration = 0;
            unit.Start(duration);
            EXPECT_EQ(owner.unlocks.load(), 1) << c.legend;
            EXPECT_EQ(sim.GetModeSets(), 0u) << c.legend;
            unit.SetEchoSounder(nullptr);
        }
        if (c.silent) {
            EXPECT_EQ(answers.noContactAsked, 2) << c.legend;
        }
        if (c.fatal) {
            EXPECT_EQ(beeps, std::vector<unsigned>{1000u * 10000 + 2000}) << c.legend;
            const auto boxes = MessageBoxRecord();
            ASSERT_EQ(boxes.size(), 1u) << c.legend;
            EXPECT_EQ(boxes[0].caption, "Error from HXU Transceiver");
            EXPECT_NE(boxes[0].text.find("DSP halted"), std::string::npos);
        }
    }
}

// The software file's check and download: the file's version against the
// unit's, the operator's answer, and the unit's replies to the code blocks.
TEST(HxuStartUp, SoftwareCheckAndDownload)
{
    struct Case
    {
        const char* legend;
        std::string unitVersion;
        std::string firstLine;
        int lines;  // after the first
        int answer;
        CHxuSimulator::Fault fault;
        bool asked;
        bool downloaded;
        const char* box;  // the box's text begins so; empty: none
    };
    const Case cases[] = {
        {"a newer file, downloaded", "1.00", "VERSION=2.40", 23, 1, CHxuSimulator::Fault::None, true, true,
         "The new software is now downloaded"},
        {"whole blocks only", "1.00", "VERSION=2.40", 20, 1, CHxuSimulator::Fault::None, true, true,
         "The new software is now downloaded"},
        {"the operator says no", "1.00", "VERSION=2.40", 23, 0, CHxuSimulator::Fault::None, true, false, ""},
        {"a block answered with another number", "1.00", "VERSION=2.40", 23, 1, CHxuSimulator::Fault::WrongBlock, true,
         false, "Unexpected HXU reply!!!"},
        {"the same version", "2.40", "VERSION=2.40", 23, 1, CHxuSimulator::Fault::None, false, false, ""},
        {"the simulated unit", "HXUSIM", "VERSION=2.40", 23, 1, CHxuSimulator::Fault::None, false, false, ""},
        {"no version mark", "1.00", ":10000000", 23, 1, CHxuSimulator::Fault::None, false, false,
         "Keyword 'VERSION=' not found"},
    };
    CTempHives folder;  // a private folder for the file
    const std::string path = folder.Folder() + "/HXUProg.hex";
    for (const Case& c : cases) {
        std::string body;
        for (int i = 0; i < c.lines; ++i)
            body += ":10" + std::to_string(1000 + i) + "00C2E0\n";
        {
            std::ofstream file(path);
            file << c.firstLine << "  \n" << body;
        }
        CHxuSimulator::Settings s = SimSettings();
        s.version = c.unitVersion;
        CHxuSimulator sim(s);
        ASSERT_TRUE(sim.Start());
        sim.SetFault(c.fault);
        CTestTransceiverServices services;
        CAnswers answers;
        answers.reprogram = c.answer;
        services.dialogs = &answers;
        int beeps = 0;
        services.beep = [&](unsigned hz, unsigned ms) { beeps += hz == 1000 && ms == 1000; };
        ClearMessageBoxRecord();
        CHXU unit(Info(), Channels(), nullptr, services, Fast(), LinkTo(sim), 0, path);
        EXPECT_TRUE(unit.IsRunning()) << c.legend << ": the unit runs on either software";
        EXPECT_EQ(answers.reprogramAsked, c.asked ? 1 : 0) << c.legend;
        if (c.asked) {
            EXPECT_EQ(answers.unitVersion, c.unitVersion) << c.legend;
            EXPECT_EQ(answers.fileVersion, "2.40") << c.legend;
        }
        EXPECT_EQ(unit.SoftwareDownloaded(), c.downloaded) << c.legend;
        EXPECT_EQ(sim.SoftwareComplete(), c.downloaded) << c.legend;
        if (c.downloaded) {
            EXPECT_EQ(sim.GetSoftware(), body) << c.legend << ": the file after its first line";
        }
        const bool tried = c.asked && c.answer == 1;
        EXPECT_EQ(sim.GetVersionQueries(), tried ? 2u : 1u) << c.legend << ": a second handshake after a download";
        EXPECT_EQ(beeps, c.fault == CHxuSimulator::Fault::WrongBlock ? 1 : 0) << c.legend;
        const auto boxes = MessageBoxRecord();
        if (*c.box == '\0') {
            EXPECT_TRUE(boxes.empty()) << c.legend;
        } else {
            ASSERT_EQ(boxes.size(), 1u) << c.legend;
            EXPECT_EQ(boxes[0].text.rfind(c.box, 0), 0u) << c.legend << ": " << boxes[0].text;
        }
    }
}

// ---------------------------------------------------------------------------
// Pings through the engine

int FiftyPingsThroughTheEngine()
{
    Checks check;
    CHxuSimulator::Settings s = SimSettings();
    s.status = 0;
    CHxuSimulator sim(s);
    if (!check(sim.Start(), "simulator started"))
        return 1;
    CTempHives hives;
    CRegistrySupport reg;
    check(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"), "root keys");
    CTransceiverInstallation installation;
    installation.Initialize();
    HKEY key = installation.OpenChannelsKey();
    CTrList e;
    e.transceiverId = kName;
    e.channelNo = 1;
    e.type = TransceiverType::HXU;
    e.unitAddress = 0x7F000001;
    e.frequencyKHz = 38;
    e.frequency = 38000.0;
    e.txPower = 1000.0;
    e.minMedMaxTxPower = "100 500 1000";
    e.sampleInterval = "0.0001";
    e.minMedMaxPulseLength = "0.000256 0.000512 0.001024 0.002048 0.004096";
    e.gain = "26";
    const std::string description = "T38 38 kHz";
    e.FormatDescription(&description, TransceiverType::HXU);
    installation.WriteChannelEntry(e, key);
    reg.CloseKey(key);

    CTestTransceiverServices services;
    CTestEchoSounderHost host;
    CHXU* unit = nullptr;
    std::atomic<int> pings{0};
    host.createTransceiver = [&](TransceiverType type, int index, const InstalledTransceiverInfo&, HKEY) {
        std::unique_ptr<CTransceiver> t;
        if (type == TransceiverType::HXU) {
            auto h = std::make_unique<CHXU>(Info(), Channels(), nullptr, services, Fast(), LinkTo(sim), index, "");
            unit = h.get();
            t = std::move(h);
        }
        return t;
    };
    host.documentsNotify = [&] {
        for (int slot = 0; slot < 4; ++slot)
            if (CChannel* c = unit ? unit->GetSlotChannel(slot) : nullptr)
                c->RequestRange(60.0);
        ++pings;
    };
    {
        CEchoSounder sounder;
        CEchoSounder::Context c;
        c.host = &host;
        c.installation = &installation;
        c.workerStartDelayMs = 0;
        // The unit asks for the trigger broadcast; here it goes to loopback.
        c.triggerDestination = "127.0.0.1";
        check(sounder.Create(c, nullptr, CEchoSounder::kNormal, CEchoSounder::kMaximumRate, nullptr,
                             CEchoSounder::kTriggerInternal, 0, "", 0),
              "sounder created");
        check(unit && unit->IsRunning(), "unit running");
        check(WaitUntil([&] { return pings.load() >= 50; }, 60s), "50 pings, not " + std::to_string(pings.load()));
        if (unit) {
            check(unit->GetPingsCompleted() >= 50, "the unit's pings completed");
            for (int slot : {0, 2}) {
                CChannel* channel = unit->GetSlotChannel(slot);
                if (!check(channel != nullptr, "channel in slot " + std::to_string(slot)))
                    continue;
                const double distance = channel->GetNextParameters().SampleDistance;
                const double expected = sim.BottomSample(0.0001) * distance;
                const double found = channel->GetBottomDepth();
                check(std::abs(found - expected) <= 2.0 * distance, "slot " + std::to_string(slot) + " bottom " +
                                                                        std::to_string(found) + " m, the unit's " +
                                                                        std::to_string(expected) + " m");
            }
            check(unit->GetSlotChannel(1) == nullptr && unit->GetSlotChannel(3) == nullptr, "absent slots stay empty");
            check(sim.GetModeSets() >= 50, "a mode set per ping");
            check(sim.GetSamples(0) >= 800 && sim.GetSamples(2) >= 800 && sim.GetSamples(1) == 0,
                  "the mode set asks the installed slots for their range");
            const auto fed = services.GetFed();
            check(fed.thermistorOhms.size() >= 50 && fed.thermistorOhms.back() == 9000.0,
                  "a thermistor reading per ping");
            check(std::all_of(fed.thermistorUnits.begin(), fed.thermistorUnits.end(),
                              [](const std::string& n) { return n == kName; }) &&
                      std::all_of(fed.analogMotionUnits.begin(), fed.analogMotionUnits.end(),
                                  [](const std::string& n) { return n == kName; }),
                  "the readings under the unit's name");
            check(!fed.analogMotion.empty() && fed.analogMotion.back().heave == 514 &&
                      fed.analogMotion.back().roll == 1028 && fed.analogMotion.back().pitch == 1542,
                  "motion voltages of every fragment");
            check(fed.status.empty(), "no status message on a clean link");
        }
    }
    check(WaitUntil([&] { return sim.GetDisconnects() == 1; }), "the unit was told goodbye");
    reg.CloseRootKeys();
    return check.failures;
}

TEST(HxuEngine, FiftyPingsFindTheBottomOnEveryChannel)
{
    nettest::RunNamespaceTest(FiftyPingsThroughTheEngine);
}

// ---------------------------------------------------------------------------
// The receive thread's faults, the unit driven as the trigger thread would

struct Driven
{
    CHxuSimulator sim{SimSettings()};
    CTestTransceiverServices services;
    CFakeOwner owner;
    std::unique_ptr<CHXU> unit;

    bool Begin()
    {
        if (!sim.Start())
            return false;
        unit = std::make_unique<CHXU>(Info(), Channels(), nullptr, services, Fast(), LinkTo(sim), 0, "");
        unit->SetEchoSounder(&owner);
        return unit->IsRunning() && WaitUntil([&] { return sim.GetConnects() == 1; });
    }
    // The time limit is set before the mode set goes, so that no fragment
    // the unit answers with can come before it.
    void Ping(int timeLimit = 100000000)
    {
        // The echogram asks for its range every ping.
        for (int slot : {0, 2})
            unit->GetSlotChannel(slot)->RequestRange(60.0);
        int shared = 0;
        unit->PrepareTrigger(shared, &timeLimit);
        unit->SetUp(timeLimit);
        std::int64_t d = 0;
        unit->Start(d);
    }
    int Count(unsigned id) const
    {
        const auto s = services.GetFed().status;
        return static_cast<int>(std::count(s.begin(), s.end(), id));
    }
};

TEST(HxuReceive, SilenceGapAndStrayFragments)
{
    Driven d;
    ASSERT_TRUE(d.Begin());
    d.Ping();
    ASSERT_TRUE(WaitUntil([&] { return d.owner.pingTimes.load() == 1; })) << "a clean ping";
    d.unit->ProcessPing(CFileTime::Now());

    // A gap in each channel: the channel gets the missing samples as a
    // block to fill, and the ping is whole.
    d.sim.SetFault(CHxuSimulator::Fault::Gap);
    d.Ping();
    ASSERT_TRUE(WaitUntil([&] { return d.owner.pingTimes.load() == 2; })) << "the ping with a gap completes";
    EXPECT_EQ(d.Count(app::ids::HXU_LOST_SAMPLES), 2);
    const int expected = static_cast<int>(d.sim.GetSamples(0));
    d.unit->ProcessPing(CFileTime::Now());
    CChannel::ParameterCopy copy;
    d.unit->GetSlotChannel(0)->GetChannelParameters(copy);
    EXPECT_EQ(static_cast<int>(copy.Power.size()), expected) << "the filled block has the ping's length";
    EXPECT_EQ(d.owner.unlocks.load(), 0);

    // A count past the datagram's end: dropped and counted, the rest of the
    // ping fills the gap.
    d.sim.SetFault(CHxuSimulator::Fault::OverlongData);
    d.Ping();
    ASSERT_TRUE(WaitUntil([&] { return d.owner.pingTimes.load() == 3; }));
    EXPECT_EQ(d.unit->GetDroppedDatagrams(), 1u);

    // A fragment out of any ping, once the ping's time is up: the ping is
    // given up and passed over, without a status message.
    d.sim.SetFault(CHxuSimulator::Fault::StrayFragment);
    d.Ping(0);
    ASSERT_TRUE(WaitUntil([&] { return d.owner.skips.load() == 1; })) << "the late ping is skipped";
    EXPECT_EQ(d.owner.unlocks.load(), 1);
    EXPECT_EQ(d.Count(app::ids::HXU_LOST_CONTACT), 0);
    // The rest of the given-up ping comes in before the next mode set, so
    // that it cannot be taken for the next ping.
    ASSERT_TRUE(WaitUntil([&] { return d.sim.GetPings() == 4 && d.unit->GetReceivedDatagrams() == d.sim.GetSent(); }));
    EXPECT_EQ(d.owner.pingTimes.load(), 3) << "the given-up ping's data is not a ping";

    // Six silent waits during a ping: lost contact once, the ping released
    // and the unit connected again.
    d.sim.SetFault(CHxuSimulator::Fault::SilentPings);
    d.Ping();
    ASSERT_TRUE(WaitUntil([&] { return d.sim.GetConnects() == 2; })) << "connected again";
    EXPECT_EQ(d.Count(app::ids::HXU_LOST_CONTACT), 1);
    EXPECT_EQ(d.owner.unlocks.load(), 2);
    d.sim.SetFault(CHxuSimulator::Fault::None);
    d.Ping();
    ASSERT_TRUE(WaitUntil([&] { return d.owner.pingTimes.load() == 4; })) << "pinging again";
    EXPECT_EQ(d.Count(app::ids::HXU_LOST_SAMPLES), 3) << "the overlong fragment's samples";
}

// The samples the mode set asks for: one for a silent channel; else the
// range multipulse tracks (its scaled depth / sound velocity / sample
// interval) before pinger mode's time (scaled parameter / sample interval)
// before the channel's own range; never 0.
TEST(HxuModeSet, SamplesToSendByRateMode)
{
    Driven d;
    d.services.soundVelocity = [] { return 1480.0; };
    ASSERT_TRUE(d.Begin());
    struct Row
    {
        const char* legend;
        int step;
        std::optional<double> tracked, pinger;
        std::uint32_t samples;
    } rows[] = {
        // 60 m of range at 0.1 ms and 1480 m/s: 60 / 0.074 m, rounded.
        {"the channel's own range", 0, std::nullopt, std::nullopt, 811},
        // 300.25 samples' worth of range, and 400.25 samples' worth of time.
        {"multipulse's scaled depth", 0, 44.437, std::nullopt, 300},
        {"pinger mode's scaled interval", 0, std::nullopt, 0.040025, 400},
        {"multipulse before pinger mode", 0, 44.437, 0.040025, 300},
        {"a silent channel takes one sample", 1, 44.437, 0.040025, 1},
        {"a count of 0 becomes 1", 0, 1e-6, std::nullopt, 1},
    };
    int pings = 0;
    for (const Row& r : rows) {
        d.owner.step = r.step;
        d.owner.tracked = r.tracked;
        d.owner.pinger = r.pinger;
        const auto sets = d.sim.GetModeSets();
        d.Ping();
        ASSERT_TRUE(WaitUntil([&] { return d.sim.GetModeSets() > sets; })) << r.legend;
        EXPECT_EQ(d.sim.GetSamples(0), r.samples) << r.legend;
        EXPECT_EQ(d.sim.GetSamples(2), r.samples) << r.legend << ", the second channel";
        ASSERT_TRUE(WaitUntil([&] { return d.owner.pingTimes.load() == pings + 1; })) << r.legend;
        ++pings;
        d.unit->ProcessPing(CFileTime::Now());
    }
}

TEST(HxuReceive, AUnitErrorStopsTheUnitWithItsBox)
{
    Driven d;
    ASSERT_TRUE(d.Begin());
    ClearMessageBoxRecord();
    d.sim.SetFault(CHxuSimulator::Fault::Fatal);
    d.Ping();
    ASSERT_TRUE(WaitUntil([&] { return d.owner.unlocks.load() == 1; })) << "the waiting ping is released";
    EXPECT_TRUE(d.unit->IsFatal());
    EXPECT_FALSE(d.unit->IsReady());
    int shared = 1;
    d.unit->PrepareTrigger(shared, nullptr);
    EXPECT_EQ(shared, 0) << "no more trigger asked for";
    ASSERT_TRUE(WaitUntil([] { return !MessageBoxRecord().empty(); }));
    const auto boxes = MessageBoxRecord();
    EXPECT_EQ(boxes[0].caption, "Error from HXU Transceiver");
    EXPECT_NE(boxes[0].text.find("DSP halted"), std::string::npos);
    // A second error shows nothing more.
    d.sim.SetFault(CHxuSimulator::Fault::Fatal);
    std::int64_t duration = 0;
    d.unit->Start(duration);
    EXPECT_EQ(d.sim.GetModeSets(), 1u) << "a fatal unit gets no mode set";
    EXPECT_EQ(MessageBoxRecord().size(), 1u);
}

}  // namespace
