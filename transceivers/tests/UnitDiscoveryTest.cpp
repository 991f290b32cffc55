// Unit discovery and the change of a unit's address: the readers of the
// units' answers, which answers give candidates, and the network road
// against the simulated units in a network namespace of the test's own.
#include "transceivers/UnitDiscovery.h"

#include "platform/NetworkAdapters.h"
#include "platform/Socket.h"
#include "sim/geo/GeoSimulator.h"
#include "sim/hxu/HxuSimulator.h"
#include "sim/nvu/NvuSimulator.h"
#include "testsupport/NetNamespace.h"
#include "testsupport/Wait.h"
#include "transceivers/Bootp.h"
#include "transceivers/tests/DiscoveryFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

using discoverytest::CInstallationRig;
using discoverytest::CScopedVariable;
using Bytes = CUnitDiscovery::Bytes;

namespace {

constexpr std::uint32_t kNvuAddress = 0x7F000002;
constexpr std::uint32_t kHxuAddress = 0x7F000003;
constexpr std::uint32_t kDeckAddress = 0x7F000004;
constexpr const char* kHxuEthernet = "0010F3A1B2C3";

bool Has(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

CTrList HxuEntry(int channelNo, std::uint32_t address, bool installed)
{
    CTrList e;
    e.type = TransceiverType::HXU;
    e.transceiverId = std::string("HXU-H 1 ") + kHxuEthernet;
    e.transducerSetting = "HXU";
    e.ethernetAddress = kHxuEthernet;
    e.channelNo = channelNo;
    e.frequency = channelNo == 1 ? 38000.0 : 200000.0;
    e.unitAddress = address;
    e.transducerName = installed ? "T38 38 kHz" : "NONE";
    e.installed = installed;
    e.FormatDescription(nullptr, e.type);
    return e;
}

CTrList NvuEntry(int channelNo, std::uint32_t address, bool installed)
{
    CTrList e;
    e.type = TransceiverType::NVU;
    e.transceiverId = "NVU 00001a2b";
    e.transducerSetting = "NVU 38 -H";
    e.ethernetAddress = "02-00-00-00-1A-2B";
    e.channelNo = channelNo;
    e.frequency = 38000.0;
    e.unitAddress = address;
    e.transducerName = installed ? "T38 38 kHz" : "NONE";
    e.installed = installed;
    e.FormatDescription(nullptr, e.type);
    return e;
}

// The unit's address of an installed channel as the registry keeps it.
std::optional<DWORD> StoredAddress(CTransceiverInstallation& installation, const std::string& description)
{
    CRegistrySupport reg;
    HKEY key = installation.OpenChannelsKey();
    DWORD address = 0;
    const bool found = key && reg.GetDword(key, description, "HXUIPAddress", address, FALSE);
    if (key)
        RegCloseKey(key);
    return found ? std::optional<DWORD>(address) : std::nullopt;
}

}  // namespace

// --- requests and answers ------------------------------------------------

TEST(DiscoveryRequests, BytesOfEveryRequest)
{
    EXPECT_EQ(CUnitDiscovery::HxuVersionRequest(), (Bytes{'V', 'R', 0, 0}));
    EXPECT_EQ(CUnitDiscovery::NvuVersionRequest(), (Bytes{12, 0, 0, 0, 'V', 'R', 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(CUnitDiscovery::DeckUnitStart(), (Bytes{'B', 'E', 'G', 'I', 'N', 0, 0, 0}));
    EXPECT_EQ(CUnitDiscovery::UnitReset(), (Bytes{12, 0, 0, 0, 'R', 'E', 'S', 0, 1, 0, 0, 0}));
    // The Ethernet address goes last digit pair first, the new address in
    // network order.
    EXPECT_EQ(CUnitDiscovery::HxuAddressChange("0010f3A1B2C3", 0xC0A80A21),
              (Bytes{'I', 'S', 0, 0, 0xC3, 0xB2, 0xA1, 0xF3, 0x10, 0x00, 0, 0, 192, 168, 10, 33}));
    for (const char* bad : {"0010F3A1B2C", "0010F3A1B2C3D", "0010F3A1B2CG", "00-10-F3-A1-B2-C3", ""})
        EXPECT_FALSE(CUnitDiscovery::HxuAddressChange(bad, 1)) << bad;

    const auto a = CUnitDiscovery::ParseEthernetAddress("02-00-00-00-1a-2B");
    ASSERT_TRUE(a);
    EXPECT_EQ(CUnitDiscovery::HardwareAddressText(*a), "02:00:00:00:1a:2b");
    EXPECT_TRUE(CUnitDiscovery::ParseEthernetAddress("0010F3A1B2C3"));
    EXPECT_TRUE(CUnitDiscovery::ParseEthernetAddress("00:10:f3:a1:b2:c3"));
    for (const char* bad : {"02-00-00-00-1A", "02-00-00-00-1A-2B-3C", "02-00-00-00-1A-2X", "????????????"})
        EXPECT_FALSE(CUnitDiscovery::ParseEthernetAddress(bad)) << bad;
}

// Answers are received one after another into one buffer: a field past the
// length of the answer at hand is empty, never what a longer answer before
// it left there.
TEST(DiscoveryAnswers, FieldsPastTheReceivedLengthAreEmpty)
{
    std::vector<BYTE> buffer(CUnitDiscovery::kReplyBufferSize, 0);
    auto receive = [&buffer](const std::vector<std::uint8_t>& answer, std::size_t length) {
        std::copy(answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(length), buffer.begin());
        return length;
    };

    const auto longHxu = CHxuSimulator::EncodeVersion("HXU-F 1 OLD", "OLDVER", true, "old fault");
    receive(longHxu, longHxu.size());
    const auto shortHxu = CHxuSimulator::EncodeVersion("HXU-H 1 0010F3A1B2C3", "NEWVER", false, "");
    std::size_t n = receive(shortHxu, 20);
    auto hxu = CUnitDiscovery::ReadHxuVersionAnswer(buffer.data(), n);
    ASSERT_TRUE(hxu);
    EXPECT_EQ(hxu->description, "HXU-H 1 ");
    EXPECT_EQ(hxu->information, "");
    EXPECT_EQ(hxu->errorFlag, 0u);
    EXPECT_EQ(hxu->errorText, "");
    n = receive(shortHxu, 272);
    hxu = CUnitDiscovery::ReadHxuVersionAnswer(buffer.data(), n);
    ASSERT_TRUE(hxu);
    EXPECT_EQ(hxu->description, "HXU-H 1 0010F3A1B2C3");
    EXPECT_EQ(hxu->information, "NEWV");
    EXPECT_EQ(hxu->errorFlag, 0u);
    hxu = CUnitDiscovery::ReadHxuVersionAnswer(longHxu.data(), longHxu.size());
    ASSERT_TRUE(hxu);
    EXPECT_EQ(hxu->errorFlag, 1u);
    EXPECT_EQ(hxu->errorText, "old fault");

    const auto longNvu = CNvuSimulator::MakeVersionAnswer(false, 7, "Serial no.7\r\nBoard 1: 38 kHz\r\n");
    receive(longNvu, longNvu.size());
    const auto shortNvu = CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, "Board 1: 200 kHz\r\n");
    n = receive(shortNvu, 30);
    auto nvu = CUnitDiscovery::ReadNvuVersionAnswer(buffer.data(), n);
    ASSERT_TRUE(nvu);
    EXPECT_EQ(nvu->serial, 0x1A2Bu);
    EXPECT_EQ(nvu->information, "");
    n = receive(shortNvu, 20);
    nvu = CUnitDiscovery::ReadNvuVersionAnswer(buffer.data(), n);
    ASSERT_TRUE(nvu);
    EXPECT_EQ(nvu->serial, 0u);

    // Not answers at all.
    const BYTE v[] = {'V', 0, 0};
    EXPECT_FALSE(CUnitDiscovery::ReadHxuVersionAnswer(v, sizeof v));
    const BYTE w[] = {'W', 0, 0, 0};
    EXPECT_FALSE(CUnitDiscovery::ReadHxuVersionAnswer(w, sizeof w));
    EXPECT_FALSE(CUnitDiscovery::ReadNvuVersionAnswer(shortNvu.data(), 7));
}

TEST(DiscoveryAnswers, UnitTexts)
{
    const auto nvu = CUnitDiscovery::ReadNvuUnitText("NVU SIM\r\nSerial no.6699\r\nEthernet: 02-00-00-00-1A-2B \r\n"
                                                     "PPC Embedded Software\r\nRev 1.4.2\r\n"
                                                     "PPC Download Software\r\nRev 2.0.1\r\n"
                                                     "Board 1: 38 kHz\r\nBoard 2: 0 kHz\r\nBoard 3 : 200 kHz\r\n"
                                                     "Board 4: -5 kHz\r\nBoard 5: none\r\nBoard 6 200 kHz\r\n");
    EXPECT_EQ(nvu.serial, 6699);
    EXPECT_EQ(nvu.ethernet, "02-00-00-00-1A-2B");
    EXPECT_EQ(nvu.embeddedRevision, "1.4.2");
    EXPECT_EQ(nvu.downloadRevision, "2.0.1");
    EXPECT_EQ(nvu.boardKHz, (std::vector<double>{38.0, 200.0}));
    const auto empty = CUnitDiscovery::ReadNvuUnitText("Serial no.\r\n");
    EXPECT_FALSE(empty.serial);
    EXPECT_TRUE(empty.boardKHz.empty());

    const auto deck = CUnitDiscovery::ReadDeckUnitText(CGeoSimulator::Settings().beginAnswer);
    EXPECT_EQ(deck.serial, 4711);
    EXPECT_EQ(deck.ethernet, "02-00-00-00-12-67");
    EXPECT_EQ(deck.version, "2.3");
    EXPECT_EQ(deck.frequencyKHz, 200.0);
    EXPECT_FALSE(CUnitDiscovery::ReadDeckUnitText("Frequency: nan kHz").frequencyKHz);
    EXPECT_FALSE(CUnitDiscovery::ReadDeckUnitText("GEOSIM READY").frequencyKHz);
}

// Which answers become candidates, by model, mark, error flag and board word.
TEST(DiscoveryAnswers, WhichAnswersGiveCandidates)
{
    const std::string nvuText = "Serial no.6699\r\nEthernet: 02-00-00-00-1A-2B\r\nBoard 1: 38 kHz\r\n";
    const struct
    {
        const char* legend;
        SounderModel model;
        std::vector<std::uint8_t> answer;
        std::size_t entries;
        const char* box;  // a box shown, or null for none
    } rows[] = {
        {"a hydrography HXU on QY310", SounderModel::QY310,
         CHxuSimulator::EncodeVersion("HXU-H 1 0010F3A1B2C3", "HXUSIM", false, ""), 2, nullptr},
        {"a fishery HXU on QY210 is not used", SounderModel::QY210,
         CHxuSimulator::EncodeVersion("HXU-F 1 0010F3A1B2C3", "HXUSIM", false, ""), 0, nullptr},
        {"a fishery HXU on TOTAL is used", SounderModel::TOTAL,
         CHxuSimulator::EncodeVersion("HXU-F 1 0010F3A1B2C3", "HXUSIM", false, ""), 2, nullptr},
        {"a fishery HXU on RM30 is used", SounderModel::RM30,
         CHxuSimulator::EncodeVersion("HXU-F 1 0010F3A1B2C3", "HXUSIM", false, ""), 2, nullptr},
        {"an HXU in its fatal state", SounderModel::QY310,
         CHxuSimulator::EncodeVersion("HXU-H 1 0010F3A1B2C3", "HXUSIM", true, "DSP halted"), 0,
         "\n\nA fatal error was received from the above transceiver:\n\nDSP halted"},
        {"an HXU the list does not describe", SounderModel::QY310,
         CHxuSimulator::EncodeVersion("HXU-H 9 0010F3A1B2C3", "HXUSIM", false, ""), 0, nullptr},
        {"an NVU board of the list", SounderModel::QYNVU, CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, nvuText), 1,
         nullptr},
        {"an NVU whose text holds the board word after its start", SounderModel::QYNVU,
         CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, nvuText + "KVL58 Master\r\n"), 0, nullptr},
        {"an NVU whose text begins with the board word", SounderModel::QYNVU,
         CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, "KVL58 " + nvuText), 1, nullptr},
        {"an NVU of no board", SounderModel::QYNVU,
         CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, "Serial no.6699\r\n"), 0, nullptr},
        {"an NVU board the list does not describe", SounderModel::QYNVU,
         CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, "Board 1: 12 kHz\r\n"), 0,
         "Sorry,transceiver description not found!"},
        {"an NVU answer whose length reads as an HXU answer's code", SounderModel::QYNVU,
         [&] {
             auto a = CNvuSimulator::MakeVersionAnswer(false, 0x1A2B, "Board 1: 38 kHz\r\n");
             a.resize(86, 0);
             a[0] = 86;
             return a;
         }(),
         1, nullptr},
        {"a datagram of another kind", SounderModel::QY310, {'W', 0, 0, 0, 'x', 0}, 0, nullptr},
    };
    for (const auto& row : rows) {
        CInstallationRig rig(row.model);
        rig.installation->Discovery().TakeAnswer(row.answer.data(), row.answer.size(), kHxuAddress, "127.0.0.1");
        EXPECT_EQ(rig.List().size(), row.entries) << row.legend;
        const auto boxes = CInstallationRig::Boxes();
        if (row.box)
            EXPECT_TRUE(Has(boxes, row.box)) << row.legend;
        else
            EXPECT_TRUE(boxes.empty()) << row.legend << ": " << (boxes.empty() ? "" : boxes[0]);
        if (std::string(row.legend) == "an HXU in its fatal state") {
            EXPECT_EQ(MessageBoxRecord().at(0).caption, "Error from HXU Transceiver");
            EXPECT_EQ(rig.beeps, (std::vector<std::pair<unsigned, unsigned>>{{1000, 2000}}));
        }
    }
}

// --- the network road ----------------------------------------------------

TEST(DiscoveryOnTheNetwork, FindsTheSimulatedUnitsWithTheirFields)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
            return 1;
        CScopedVariable adapters(CNetworkAdapters::kOverrideVariable, "127.0.0.1/8");
        CNvuSimulator::Settings ns;
        ns.address = kNvuAddress;
        ns.tftpPort = 0;
        ns.discoveryPort = CUnitDiscovery::kDiscoveryPort;
        ns.boardKHz = {38, 200};
        CNvuSimulator nvu(ns);
        CHxuSimulator::Settings hs;
        hs.address = kHxuAddress;
        hs.ethernet = kHxuEthernet;
        hs.broadcastPort = CUnitDiscovery::kUnitPort;
        CHxuSimulator hxu(hs);
        CGeoSimulator::Settings gs;
        gs.address = kDeckAddress;
        gs.triggerPort = 0;
        CGeoSimulator geo(gs);
        if (!check(nvu.Start() && hxu.Start() && geo.Start(), "units started"))
            return 1;

        CInstallationRig rig(SounderModel::QY310);
        CTransceiverInstallation& inst = *rig.installation;
        inst.SetDeckUnit(0, "127.0.0.4");
        inst.Discovery().QueryDeckUnit();
        check(geo.GetBegins() == 0 && rig.List().empty(), "no deck unit asked while it is not enabled");
        inst.SetDeckUnit(1, "127.0.0.4");
        inst.Discovery().QueryDeckUnit();
        const auto nvuRequest = CUnitDiscovery::NvuVersionRequest();
        inst.Discovery().Discover(CUnitDiscovery::kDiscoveryPort, nvuRequest.data(),
                                  static_cast<int>(nvuRequest.size()));
        const auto hxuRequest = CUnitDiscovery::HxuVersionRequest();
        inst.Discovery().Discover(CUnitDiscovery::kUnitPort, hxuRequest.data(), static_cast<int>(hxuRequest.size()));
        check(CInstallationRig::Boxes().empty(), "no box");

        std::map<TransceiverType, std::vector<const CTrList*>> byType;
        for (const auto& e : rig.List())
            byType[e->type].push_back(e.get());
        check(byType[TransceiverType::GEO].size() == 2, "two GEO entries of the block's one channel");
        check(byType[TransceiverType::NVU].size() == 2, "an NVU entry of each board");
        check(byType[TransceiverType::HXU].size() == 2, "two HXU entries");
        if (check.failures)
            return check.failures;

        for (int i = 0; i < 2; ++i) {
            const CTrList& g = *byType[TransceiverType::GEO][static_cast<std::size_t>(i)];
            check(g.channelNo == i + 1, "GEO channel numbers run on");
            check(g.transceiverId == std::to_string(kDeckAddress), "GEO id " + g.transceiverId);
            check(g.transducerSetting == "GEO 200.000 -H", "GEO block " + g.transducerSetting);
            check(g.unitAddress == kDeckAddress && g.localPcIp == "127.0.0.4", "GEO addresses");
            check(g.information == "Geo ver. 2.3", "GEO text " + g.information);
            check(g.ethernetAddress == "02-00-00-00-12-67", "GEO Ethernet " + g.ethernetAddress);
            check(g.frequency == 200000.0 && g.transducerName == "NONE" && !g.installed, "GEO channel values");
            check(g.description == "GEO 200 kHz 02-00-00-00-12-67 " + std::to_string(i + 1) + " NONE",
                  "GEO description " + g.description);
        }
        const CTrList& n1 = *byType[TransceiverType::NVU][0];
        const CTrList& n2 = *byType[TransceiverType::NVU][1];
        check(n1.transceiverId == "NVU 00001a2b" && n2.transceiverId == "NVU 00001a2b", "NVU label");
        check(n1.channelNo == 1 && n2.channelNo == 2, "NVU channels counted over the boards");
        check(n1.transducerSetting == "NVU 38 -H" && n2.transducerSetting == "NVU 200 -H", "NVU blocks");
        check(n1.frequency == 38000.0 && n2.frequency == 200000.0, "NVU frequencies");
        check(n1.fpaDec == 4.0 && n1.fpaFilterLength == 63 && n1.slave == "NO", "NVU channel values");
        check(n1.beamType == 1 && n1.marketSegment == 1, "NVU block values");
        check(n1.ethernetAddress == "02-00-00-00-1A-2B", "NVU Ethernet " + n1.ethernetAddress);
        check(n1.hwVersion == "1.4.2 / 2.0.1", "NVU versions " + n1.hwVersion);
        check(n1.unitAddress == kNvuAddress && n1.localPcIp == "127.0.0.1", "NVU addresses");
        check(n1.information.find("Board 2: 200 kHz") != std::string::npos, "NVU text kept whole");
        check(n1.transducerChoices == std::vector<std::string>{"NONE", "T38 38 kHz"}, "NVU choices");
        check(n1.description == "NVU  38 kHz 02-00-00-00-1A-2B 1 NONE", "NVU description " + n1.description);

        const CTrList& h1 = *byType[TransceiverType::HXU][0];
        check(h1.transceiverId == "HXU-H 1 0010F3A1B2C3", "HXU id " + h1.transceiverId);
        check(h1.ethernetAddress == kHxuEthernet && h1.hwVersion == "1", "HXU words of its description");
        check(h1.unitAddress == kHxuAddress && h1.localPcIp == "127.0.0.1", "HXU addresses");
        check(h1.information == "HXUSIM", "HXU text " + h1.information);
        check(h1.description == "HXU  38 kHz 0010F3A1B2C3 1 NONE", "HXU description " + h1.description);

        // Every adapter asks once, and hears the unit from its own address.
        rig.List().clear();
        CScopedVariable two(CNetworkAdapters::kOverrideVariable, "127.0.0.1/8;127.0.0.5/8");
        inst.Discovery().Discover(CUnitDiscovery::kDiscoveryPort, nvuRequest.data(),
                                  static_cast<int>(nvuRequest.size()));
        std::multiset<std::string> heardOn;
        for (const auto& e : rig.List())
            heardOn.insert(e->localPcIp);
        check(heardOn == std::multiset<std::string>{"127.0.0.1", "127.0.0.1", "127.0.0.5", "127.0.0.5"},
              "entries heard on both adapters");
        return check.failures;
    });
}

// --- the address changes --------------------------------------------------

TEST(HxuAddressChange, TheUnitMovesAndAnswersFromItsNewAddress)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
            return 1;
        CHxuSimulator::Settings hs;
        hs.address = kHxuAddress;
        hs.ethernet = kHxuEthernet;
        hs.broadcastPort = CUnitDiscovery::kUnitPort;
        CHxuSimulator hxu(hs);
        if (!check(hxu.Start(), "unit started"))
            return 1;
        CInstallationRig rig(SounderModel::QY310);
        CTransceiverInstallation& inst = *rig.installation;
        inst.Discovery().SetAnswerWait(3000);
        // Both channels of the unit installed, and a candidate of another
        // unit.
        rig.Install(HxuEntry(1, kHxuAddress, true));
        rig.Install(HxuEntry(2, kHxuAddress, true));
        for (int ch : {1, 2})
            rig.List().push_back(std::make_unique<CTrList>(HxuEntry(ch, kHxuAddress, true)));
        rig.List().push_back(std::make_unique<CTrList>(HxuEntry(1, 0x7F000008, false)));
        CTrList& first = *rig.List()[0];

        // The operator says no: nothing is sent.
        SetMessageBoxPresenter([](HWND, const std::string&, const std::string&, UINT flags) {
            return (flags & MB_TYPEMASK) == MB_OKCANCEL ? IDCANCEL : IDOK;
        });
        inst.ChangeUnitAddress(first, "127.0.0.9");
        SetMessageBoxPresenter(nullptr);
        check(first.unitAddress == kHxuAddress && hxu.GetAddressChanges() == 0, "cancelled");
        inst.ChangeUnitAddress(first, "127.0.0.256");
        check(CInstallationRig::Boxes().back() == "Invalid IP Address !", "an invalid address");

        ClearMessageBoxRecord();
        rig.beeps.clear();
        inst.ChangeUnitAddress(first, "127.0.0.9");
        const auto boxes = CInstallationRig::Boxes();
        check(boxes.size() == 2 && boxes[0] == "Change the HXU IP address?" &&
                  boxes[1] == "HXU was  reprogrammed correctly!",
              "asked and confirmed: " + (boxes.empty() ? std::string() : boxes.back()));
        check(rig.beeps == std::vector<std::pair<unsigned, unsigned>>{{1000, 100}}, "the short beep");
        check(hxu.Address() == 0x7F000009 && hxu.GetAddressChanges() == 1, "the unit moved");
        check(rig.List()[0]->unitAddress == 0x7F000009 && rig.List()[1]->unitAddress == 0x7F000009,
              "both channels of the unit moved");
        check(rig.List()[2]->unitAddress == 0x7F000008, "the other unit stays");
        for (int ch : {1, 2})
            check(StoredAddress(inst, rig.List()[static_cast<std::size_t>(ch - 1)]->description) == 0x7F000009u,
                  "installed channel written again");

        // The unit answers at its new address.
        CSocket probe;
        probe.Create(CSocket::Udp);
        const auto vr = CUnitDiscovery::HxuVersionRequest();
        probe.SendTo(vr.data(), vr.size(), SocketAddress(0x7F000009, CUnitDiscovery::kUnitPort));
        BYTE answer[2048];
        SocketAddress from;
        const int n = probe.ReceiveFrom(answer, sizeof answer, &from, 20000);
        check(n > 0 && from.ip == 0x7F000009 &&
                  CUnitDiscovery::ReadHxuVersionAnswer(answer, static_cast<std::size_t>(n)),
              "a version answer from the new address");

        // An address change for another Ethernet address: the unit keeps
        // still.
        ClearMessageBoxRecord();
        rig.beeps.clear();
        inst.Discovery().SetAnswerWait(300);
        CTrList stranger = HxuEntry(1, 0x7F000009, false);
        stranger.ethernetAddress = "0010F3000001";
        inst.ChangeUnitAddress(stranger, "127.0.0.10");
        check(CInstallationRig::Boxes().back() == "No response from HXU!", "no response");
        check(rig.beeps == std::vector<std::pair<unsigned, unsigned>>{{1000, 1000}}, "the long beep");
        check(stranger.unitAddress == 0x7F000009 && hxu.Address() == 0x7F000009, "nothing moved");
        // An Ethernet address that cannot be read sends nothing.
        stranger.ethernetAddress = "00-10-F3-00-00-01";
        inst.ChangeUnitAddress(stranger, "127.0.0.10");
        check(CInstallationRig::Boxes().back() == "Invalid HXU Ethernet address ????????????", "unreadable");
        return check.failures;
    });
}

// A unit that answers the address change otherwise than from its new
// address with a version answer.
TEST(HxuAddressChange, AnswersThatDoNotConfirm)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
            return 1;
        const struct
        {
            std::uint32_t from;
            std::vector<std::uint8_t> answer;
            const char* text;
        } rows[] = {
            {0x7F000006, CHxuSimulator::EncodeVersion("HXU-H 1 0010F3A1B2C3", "HXUSIM", false, ""),
             "HXU was NOT programmed correctly!"},
            {0x7F000009, CHxuSimulator::EncodeText('W', "busy"), "Unrecognized response from HXU!"},
        };
        CInstallationRig rig(SounderModel::QY310);
        rig.installation->Discovery().SetAnswerWait(3000);
        for (const auto& row : rows) {
            CSocket unit;
            unit.Create(CSocket::Udp);
            unit.SetReuseAddress(true);
            if (!check(unit.Bind(SocketAddress(SocketAddress::kBroadcast, CUnitDiscovery::kUnitPort)), "unit bound"))
                return 1;
            std::thread answering([&] {
                BYTE request[64];
                SocketAddress asker;
                if (unit.ReceiveFrom(request, sizeof request, &asker, 20000) != 16)
                    return;
                CSocket reply;
                reply.Create(CSocket::Udp);
                reply.Bind(SocketAddress(row.from, 0));
                reply.SendTo(row.answer.data(), row.answer.size(), asker);
            });
            ClearMessageBoxRecord();
            rig.beeps.clear();
            CTrList entry = HxuEntry(1, kHxuAddress, false);
            rig.installation->ChangeUnitAddress(entry, "127.0.0.9");
            answering.join();
            check(CInstallationRig::Boxes().back() == row.text, row.text);
            check(rig.beeps == std::vector<std::pair<unsigned, unsigned>>{{1000, 1000}}, "the long beep");
            check(entry.unitAddress == kHxuAddress, "the entry keeps its address");
        }
        return check.failures;
    });
}

TEST(UnitAddressChange, TheBootServerTakesTheAddressAndTheUnitIsReset)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        CNvuSimulator::Settings ns;
        ns.address = kNvuAddress;
        ns.tftpPort = 0;
        CNvuSimulator nvu(ns);
        if (!check(nvu.Start(), "unit started"))
            return 1;
        CInstallationRig rig(SounderModel::QYNVU);
        CTransceiverInstallation& inst = *rig.installation;
        std::vector<std::pair<std::string, std::string>> given;
        inst.SetBootAddressSetter([&given](const std::string& hardware, const std::string& ip) {
            given.emplace_back(hardware, ip);
            return true;
        });
        rig.Install(NvuEntry(1, kNvuAddress, true));
        rig.List().push_back(std::make_unique<CTrList>(NvuEntry(1, kNvuAddress, true)));
        rig.List().push_back(std::make_unique<CTrList>(NvuEntry(2, kNvuAddress, false)));
        inst.ChangeUnitAddress(*rig.List()[1], "127.0.0.7");

        check(CInstallationRig::Boxes() == std::vector<std::string>{"Change the unit IP address?"}, "asked once");
        check(given == std::vector<std::pair<std::string, std::string>>{{"02:00:00:00:1a:2b", "127.0.0.7"}},
              "the boot address given by the hardware address");
        check(rig.List()[0]->unitAddress == 0x7F000007 && rig.List()[1]->unitAddress == 0x7F000007,
              "every entry of the unit moved");
        check(StoredAddress(inst, rig.List()[0]->description) == 0x7F000007u, "the installed one written again");
        check(zv::test::WaitUntil([&] { return nvu.GetRestarts() == 1; }), "the unit reset at its old address");
        return check.failures;
    });
}

// The whole road of a wide-band unit's new address: the installation gives
// it to the program's own BOOTP server and resets the unit, which boots
// from that server and is then found at the new address.
TEST(UnitAddressChange, TheUnitBootsFromTheProgramsBootServerAndIsFoundAtItsNewAddress)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
            return 1;
        CScopedVariable adapters(CNetworkAdapters::kOverrideVariable, "127.0.0.1/8");
        std::string folder = (std::filesystem::temp_directory_path() / "zvboot.XXXXXX").string();
        if (!check(::mkdtemp(folder.data()) != nullptr, "boot folder"))
            return 1;
        std::ofstream(folder + "/" + CBootp::kBootFileName, std::ios::binary) << std::string(1500, 'b');
        CBootp::Settings bs;
        bs.tableFolder = folder + "/";
        bs.bootFolder = folder + "/";
        CBootp server(bs);
        check(server.GetStartFailures().empty(), "the boot servers on ports 67 and 69");
        CNvuSimulator::Settings ns;
        ns.address = kNvuAddress;
        ns.tftpPort = 0;
        ns.discoveryPort = CUnitDiscovery::kDiscoveryPort;
        ns.bootAfterReset = true;
        CNvuSimulator nvu(ns);
        if (!check(nvu.Start(), "unit started"))
            return 1;

        CInstallationRig rig(SounderModel::QYNVU);
        CTransceiverInstallation& inst = *rig.installation;
        inst.SetBootAddressSetter(
            [&server](const std::string& hardware, const std::string& ip) { return server.SetAddress(hardware, ip); });
        rig.List().push_back(std::make_unique<CTrList>(NvuEntry(1, kNvuAddress, false)));
        inst.ChangeUnitAddress(*rig.List()[0], "127.0.0.9");
        check(zv::test::WaitUntil([&] { return nvu.GetBoots() + nvu.GetFailedBoots() > 0; }), "the unit booted");
        check(nvu.GetBoots() == 1 && nvu.GetAddress() == 0x7F000009,
              "the unit at " + SocketAddress::IpText(nvu.GetAddress()));

        rig.List().clear();
        const Bytes request = CUnitDiscovery::NvuVersionRequest();
        inst.Discovery().Discover(CUnitDiscovery::kDiscoveryPort, request.data(), static_cast<int>(request.size()));
        check(!rig.List().empty(), "the unit found again");
        for (const auto& e : rig.List())
            check(e->unitAddress == 0x7F000009, "found at " + SocketAddress::IpText(e->unitAddress));
        std::filesystem::remove_all(folder);
        return check.failures;
    });
}

TEST(UnitAddressChange, RefusedWhereNoBootServerCanGiveTheAddress)
{
    CInstallationRig rig(SounderModel::QY310);
    CTransceiverInstallation& inst = *rig.installation;
    rig.Install(NvuEntry(1, kNvuAddress, true));
    CTrList entry = NvuEntry(1, kNvuAddress, true);
    inst.ChangeUnitAddress(entry, "127.0.0.7");
    const auto boxes = CInstallationRig::Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("BOOTP server"), std::string::npos) << boxes[0];
    EXPECT_EQ(entry.unitAddress, kNvuAddress);

    // A server that keeps no such unit, an invalid address, an Ethernet
    // address that cannot be read: refused too, nothing moves.
    int asked = 0;
    inst.SetBootAddressSetter([&asked](const std::string&, const std::string&) {
        ++asked;
        return false;
    });
    ClearMessageBoxRecord();
    inst.ChangeUnitAddress(entry, "127.0.0.7");
    EXPECT_EQ(asked, 1);
    EXPECT_NE(CInstallationRig::Boxes().back().find("did not take the new address"), std::string::npos);
    inst.ChangeUnitAddress(entry, "127.0.0");
    EXPECT_EQ(CInstallationRig::Boxes().back(), "Invalid IP Address !");
    entry.ethernetAddress = "02-00-00";
    inst.ChangeUnitAddress(entry, "127.0.0.7");
    EXPECT_NE(CInstallationRig::Boxes().back().find("Invalid Ethernet address"), std::string::npos);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(entry.unitAddress, kNvuAddress);
    EXPECT_EQ(StoredAddress(inst, entry.description), kNvuAddress);
}
