// The installation command: the ISA card found through its driver, the
// registry's channels merged with the units that answer, and what the
// dialog is given.
#include "transceivers/TransceiverInstallation.h"

#include "platform/NetworkAdapters.h"
#include "platform/Paths.h"
#include "platform/TempMachine.h"
#include "sim/hxu/HxuSimulator.h"
#include "sim/nvu/NvuSimulator.h"
#include "testsupport/NetNamespace.h"
#include "tools/console/Fenvoil.h"
#include "transceivers/UnitDiscovery.h"
#include "transceivers/tests/DiscoveryFixture.h"
#include "transceivers/tests/DruDriverInstall.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

using discoverytest::CInstallationRig;
using discoverytest::CScopedVariable;

namespace {

CTrList Channel(TransceiverType type, const std::string& id, int channelNo, const std::string& description)
{
    CTrList e;
    e.type = type;
    e.transceiverId = id;
    e.transducerSetting = "HXU";
    e.channelNo = channelNo;
    e.transducerName = "T38 38 kHz";
    e.installed = 1;
    e.FormatDescription(&description, type);
    return e;
}

void ForgetInstalledChannels(CTransceiverInstallation& installation)
{
    CRegistrySupport reg;
    HKEY key = installation.OpenChannelsKey();
    std::string name;
    while (key && reg.EnumFirstSubKey(key, name) && reg.DeleteKey(key, name)) {
    }
    if (key)
        RegCloseKey(key);
}

// What the list holds: description, installed, found.
std::vector<std::tuple<std::string, int, int>> Listed(CTransceiverInstallation& installation)
{
    std::vector<std::tuple<std::string, int, int>> lines;
    for (const auto& e : installation.ChannelList())
        lines.emplace_back(e->description, e->installed, e->found);
    return lines;
}

}  // namespace

TEST(InstallationCommand, TheAddressShownIsTheFirstAdaptersMaskedByItsClass)
{
    const struct
    {
        std::uint32_t address;
        const char* masked;
    } rows[] = {
        {0x00000000, "0.xxx.xxx.xxx"},   {0x0A010203, "10.xxx.xxx.xxx"},  {0x7F000001, "127.xxx.xxx.xxx"},
        {0x80050607, "128.5.xxx.xxx"},   {0xBFFF0101, "191.255.xxx.xxx"}, {0xC0A80114, "192.168.1.xxx"},
        {0xFFFFFFFF, "255.255.255.xxx"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CTransceiverInstallation::MaskedAddressText(row.address), row.masked) << row.masked;

    // A model that searches no network and no deck unit: the dialog opens
    // on the address of the first listed adapter.
    CTempMachine machine;
    CInstallationRig rig(SounderModel::TOTAL, false);
    CTransceiverInstallation& inst = *rig.installation;
    std::vector<std::pair<std::string, bool>> shown;
    inst.SetInstallationDialog(
        [&shown](CTransceiverInstallation& i) { shown.emplace_back(i.GetMaskedPcAddress(), i.ChangesAllowed()); });
    bool sounder = false;
    inst.SetSounderExists([&sounder] { return sounder; });
    {
        CScopedVariable adapters(CNetworkAdapters::kOverrideVariable, "eth1=172.16.5.9/16;eth0=10.0.0.2/8");
        inst.RunInstallation(1);
        inst.RunInstallation(0);
        sounder = true;
        inst.RunInstallation(1);
    }
    CScopedVariable none(CNetworkAdapters::kOverrideVariable, "");
    sounder = false;
    inst.RunInstallation(1);
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, bool>>{
                         {"172.16.xxx.xxx", true}, {"172.16.xxx.xxx", false}, {"172.16.xxx.xxx", false}, {"", true}}));
    EXPECT_TRUE(CInstallationRig::Boxes().empty());
}

// The card of the simulated driver (code word 001, hydrography) against the
// registry's card channels; the list maps 001 to "DRU T38 CARD".
TEST(InstallationCommand, CardChannelsFromTheDriverAndTheList)
{
    CTempMachine machine;
    ASSERT_EQ(InstallDriver({"io=210", "dma=6", "irq=9"}), CFenvoil::kExitDone);
    // No adapter: the search of the QY models sends nothing.
    CScopedVariable adapters(CNetworkAdapters::kOverrideVariable, "");
    const std::string ch1 = "DRU  38 kHz A210-D6-I9 1 NONE", ch2 = "DRU 120 kHz A210-D6-I9 2 NONE";
    const struct
    {
        const char* legend;
        SounderModel model;
        std::vector<CTrList> installed;
        bool cardPresent;
        std::vector<std::tuple<std::string, int, int>> listed;
    } rows[] = {
        {"a first run: another card's channel goes, the card's come from the list",
         SounderModel::TOTAL,
         {Channel(TransceiverType::DRU, "DRU OLD CARD", 1, "old card 1"),
          Channel(TransceiverType::HXU, "HXU-H 1 0010F3000009", 1, "unit 1")},
         true,
         {{"unit 1", 1, 0}, {ch1, 0, 1}, {ch2, 0, 1}}},
        {"one channel of the card installed: it is found, the other is a candidate",
         SounderModel::QY310,
         {Channel(TransceiverType::DRU, "DRU T38 CARD", 1, "card 1")},
         true,
         {{"card 1", 1, 1}, {ch2, 0, 1}}},
        {"both installed: no candidate",
         SounderModel::TOTAL,
         {Channel(TransceiverType::DRU, "DRU T38 CARD", 1, "card 1"),
          Channel(TransceiverType::DRU, "DRU T38 CARD", 2, "card 2")},
         true,
         {{"card 1", 1, 0}, {"card 2", 1, 0}}},
        {"a card of another market segment counts as absent",
         SounderModel::RM30,
         {Channel(TransceiverType::DRU, "DRU OLD CARD", 1, "old card 1")},
         false,
         {{"old card 1", 1, 0}}},
    };
    for (const auto& row : rows) {
        CInstallationRig rig(row.model, false);
        CTransceiverInstallation& inst = *rig.installation;
        ForgetInstalledChannels(inst);
        for (const CTrList& e : row.installed)
            rig.Install(e);
        inst.RunInstallation(1);
        EXPECT_EQ(inst.IsCardPresent(), row.cardPresent) << row.legend;
        EXPECT_EQ(Listed(inst), row.listed) << row.legend;
        EXPECT_TRUE(CInstallationRig::Boxes().empty()) << row.legend;
        if (row.cardPresent && !inst.ChannelList().empty()) {
            const CTrList& last = *inst.ChannelList().back();
            if (!last.installed) {
                EXPECT_EQ(last.transceiverId, "DRU T38 CARD") << row.legend;
                EXPECT_EQ(last.ioAddress, 0x210) << row.legend;
                EXPECT_EQ(last.dmaChannel, 6) << row.legend;
                EXPECT_EQ(last.irq, 9) << row.legend;
            }
        }
    }
}

// Installed channels of a unit that answers are found and take what the
// answer says; those of a unit that does not stay not found; a candidate of
// an installed channel goes.
TEST(InstallationCommand, MergesTheRegistrysChannelsWithTheUnitsThatAnswer)
{
    nettest::RunNamespaceTest([] {
        nettest::Checks check;
        if (!check(nettest::RouteBroadcastToLoopback(), "broadcast route"))
            return 1;
        CScopedVariable adapters(CNetworkAdapters::kOverrideVariable, "127.0.0.1/8");
        CHxuSimulator::Settings hs;
        hs.address = 0x7F000003;
        hs.ethernet = "0010F3A1B2C3";
        hs.broadcastPort = CUnitDiscovery::kUnitPort;
        CHxuSimulator hxu(hs);
        CNvuSimulator::Settings ns;
        ns.address = 0x7F000002;
        ns.tftpPort = 0;
        ns.discoveryPort = CUnitDiscovery::kDiscoveryPort;
        CNvuSimulator nvu(ns);
        if (!check(hxu.Start() && nvu.Start(), "units started"))
            return 1;

        CInstallationRig rig(SounderModel::QY310);
        CTransceiverInstallation& inst = *rig.installation;
        CTrList answering = Channel(TransceiverType::HXU, "HXU-H 1 0010F3A1B2C3", 1, "answering 1");
        answering.localPcIp = "10.0.0.1";
        answering.information = "old text";
        rig.Install(answering);
        rig.Install(Channel(TransceiverType::HXU, "HXU-H 1 0010F3000009", 1, "silent 1"));
        int dialogs = 0;
        inst.SetInstallationDialog([&](CTransceiverInstallation& i) {
            ++dialogs;
            check(i.GetMaskedPcAddress() == "127.xxx.xxx.xxx", "masked " + i.GetMaskedPcAddress());
            // The sounder being inspected asks whenever it starts; the
            // entries the dialog shows stay.
            const CTrList* shown = i.ChannelList().empty() ? nullptr : i.ChannelList().front().get();
            check(i.GetTransceiverCount() == 2, "two installed while the dialog is open");
            check(!i.ChannelList().empty() && i.ChannelList().front().get() == shown &&
                      shown->description == "answering 1",
                  "a query leaves the dialog's list as it is");
        });
        inst.RunInstallation(1);
        check(dialogs == 1, "the dialog opened");
        const auto listed = Listed(inst);
        check(listed == std::vector<std::tuple<std::string, int, int>>{{"answering 1", 1, 1},
                                                                       {"silent 1", 1, 0},
                                                                       {"HXU 200 kHz 0010F3A1B2C3 2 NONE", 0, 1}},
              "each channel listed once, found as its unit answered");
        if (listed.size() == 3) {
            const CTrList& found = *inst.ChannelList()[0];
            check(found.localPcIp == "127.0.0.1" && found.information == "HXUSIM", "found: the answer's values");
            check(inst.ChannelList()[1]->localPcIp.empty(), "not found: its own values");
        }

        // The wide-band model asks the wide-band units only.
        inst.SetModel(SounderModel::QYNVU);
        inst.RunInstallation(1);
        std::vector<TransceiverType> candidates;
        for (const auto& e : inst.ChannelList())
            if (!e->installed)
                candidates.push_back(e->type);
        check(candidates == std::vector<TransceiverType>{TransceiverType::NVU}, "one NVU candidate only");
        check(CInstallationRig::Boxes().empty(), "no box");
        return check.failures;
    });
}
