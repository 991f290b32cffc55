#include "transceivers/TransceiverInstallation.h"

#include "base/EchosounderError.h"
#include "platform/MessageBox.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

namespace {

struct FatalReported
{
    std::string text;
};

class Installation : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        SetFatalErrorHandler([](const std::string& text) { throw FatalReported{text}; });
    }
    void TearDown() override
    {
        SetFatalErrorHandler(nullptr);
        reg.CloseRootKeys();
    }

    // Installs one channel the way the installation dialog writes it.
    void Install(CTransceiverInstallation& inst, const std::string& id, int channelNo, const std::string& power = "",
                 double txPower = 0.0, const std::string& gain = "", TransceiverType type = TransceiverType::HXU)
    {
        CTrList e;
        e.transceiverId = id;
        e.channelNo = channelNo;
        e.type = type;
        e.frequency = 38000.0 * channelNo;
        e.frequencyKHz = 38.9;
        e.minMedMaxTxPower = power;
        e.txPower = txPower;
        e.gain = gain;
        e.localPcIp = "127.0.0.1";
        e.hwVersion = "17 rev";
        e.fpaFilterLength = 7;
        const std::string description = id + " ch" + std::to_string(channelNo);
        e.FormatDescription(&description, type);
        HKEY key = inst.OpenChannelsKey();
        ASSERT_NE(key, nullptr);
        inst.WriteChannelEntry(e, key);
        reg.CloseKey(key);
    }

    CTempHives hives;
    CRegistrySupport reg;
};

}  // namespace

TEST_F(Installation, NothingInstalled)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    EXPECT_EQ(inst.GetTransceiverCount(), 0);
    EXPECT_FALSE(inst.GetTransceiverInfo(0));
    EXPECT_FALSE(inst.GetTransceiverChannel(0, 0));
    EXPECT_EQ(inst.GetDeckUnitIp(), "192.168.0.114");
}

TEST_F(Installation, SecondInitializeIsFatal)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    CTransceiverInstallation other;
    try {
        other.Initialize();
        FAIL() << "no fatal report";
    } catch (const FatalReported& f) {
        EXPECT_NE(f.text.find("Transceiver Installation initialized twice"), std::string::npos);
    }
}

TEST_F(Installation, ChannelsWithOneIdFormOneTransceiver)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    Install(inst, "UNIT-A", 2);
    Install(inst, "UNIT-A", 1);
    Install(inst, "UNIT-B", 1, "", 0.0, "", TransceiverType::DRU);
    ASSERT_EQ(inst.GetTransceiverCount(), 2);
    const auto a = inst.GetTransceiverInfo(0);
    const auto b = inst.GetTransceiverInfo(1);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->transceiverId, "UNIT-A");
    EXPECT_EQ(a->channelCount, 2);
    EXPECT_EQ(a->localPcIp, "127.0.0.1");
    EXPECT_EQ(b->transceiverId, "UNIT-B");
    EXPECT_EQ(b->channelCount, 1);
    EXPECT_EQ(b->cardValue, 17);
    // Slots are taken in channel-number order, whatever the key order.
    const auto first = inst.GetTransceiverChannel(0, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->channelNo, 1);
    EXPECT_EQ(first->description, "UNIT-A ch1");
    EXPECT_EQ(first->frequency, 38000.0);
    EXPECT_EQ(first->frequencyKHz, 38);
    EXPECT_EQ(first->fpaFilterLength, 7);
    EXPECT_FALSE(inst.GetTransceiverChannel(0, 2));
    EXPECT_FALSE(inst.GetTransceiverInfo(2));
    EXPECT_FALSE(inst.GetTransceiverInfo(-1));
}

TEST_F(Installation, StoredNumbersThatDoNotFitAnIntAreNotTaken)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    Install(inst, "UNIT-A", 1);
    HKEY key = inst.OpenChannelsKey();
    ASSERT_NE(key, nullptr);
    ASSERT_TRUE(reg.SetString(key, "UNIT-A ch1", "FrequencyKHz", "1e10"));
    ASSERT_TRUE(reg.SetString(key, "UNIT-A ch1", "FpaFlterLength", "inf"));
    reg.CloseKey(key);
    const auto record = inst.GetTransceiverChannel(0, 0);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->frequencyKHz, 0);
    EXPECT_EQ(record->fpaFilterLength, 0);
}

TEST_F(Installation, NinthChannelIsRefused)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    for (int ch = 1; ch <= 4; ++ch) {
        Install(inst, "UNIT-A", ch);
        Install(inst, "UNIT-B", ch);
    }
    Install(inst, "UNIT-C", 1);
    ASSERT_EQ(inst.GetTransceiverCount(), 3);
    EXPECT_TRUE(inst.GetTransceiverChannel(1, 3));
    EXPECT_FALSE(inst.GetTransceiverChannel(2, 0));
    EXPECT_EQ(inst.GetTransceiverInfo(2)->channelCount, 1);
}

TEST_F(Installation, PowerListsAreScaledAndNumberListsRepeat)
{
    struct Case
    {
        const char* legend;
        double txPower;
        double min, med, max;
    };
    const Case cases[] = {
        {"half power scales all three", 500.0, 50.0, 250.0, 500.0},
        {"full power leaves them", 1000.0, 100.0, 500.0, 1000.0},
        {"more than the maximum leaves them", 2000.0, 100.0, 500.0, 1000.0},
    };
    for (const Case& c : cases) {
        CTempHives fresh;
        CRegistrySupport r;
        ASSERT_TRUE(r.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        CTransceiverInstallation inst;
        inst.Initialize();
        Install(inst, "UNIT", 1, "100 500 1000", c.txPower, "21.5");
        const auto rec = inst.GetTransceiverChannel(0, 0);
        ASSERT_TRUE(rec) << c.legend;
        EXPECT_DOUBLE_EQ(rec->txPowerMin, c.min) << c.legend;
        EXPECT_DOUBLE_EQ(rec->txPowerMed, c.med) << c.legend;
        EXPECT_DOUBLE_EQ(rec->txPowerMax, c.max) << c.legend;
        EXPECT_DOUBLE_EQ(rec->txPowerMaxNominal, 1000.0) << c.legend;
        for (double g : rec->gain)
            EXPECT_DOUBLE_EQ(g, 21.5) << c.legend;
        r.CloseRootKeys();
    }
    double v[5];
    CTransceiverInstallation::ParseNumberList("1 2.5 3", v, 5);
    EXPECT_EQ(std::vector<double>(v, v + 5), (std::vector<double>{1, 2.5, 3, 3, 3}));
    CTransceiverInstallation::ParseNumberList("", v, 2);
    EXPECT_EQ(std::vector<double>(v, v + 2), (std::vector<double>{0, 0}));
}

TEST_F(Installation, RecordsHandedOutAreCopies)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    Install(inst, "UNIT-A", 1);
    Install(inst, "UNIT-A", 2);
    const auto info = inst.GetTransceiverInfo(0);
    const auto one = inst.GetTransceiverChannel(0, 0);
    const auto two = inst.GetTransceiverChannel(0, 1);
    Install(inst, "UNIT-B", 1);
    inst.GetTransceiverInfo(1);
    ASSERT_TRUE(one && two && info);
    EXPECT_EQ(one->channelNo, 1);
    EXPECT_EQ(two->channelNo, 2);
    EXPECT_EQ(info->transceiverId, "UNIT-A");
}

TEST_F(Installation, ProfilesAndTheOneChannelRestriction)
{
    CTransceiverInstallation inst;
    std::string profile = "Survey";
    inst.SetProfileSource([&] { return profile; });
    inst.Initialize();
    Install(inst, "UNIT-A", 1);
    Install(inst, "UNIT-A", 2);
    EXPECT_EQ(inst.GetTransceiverCount(), 1);
    profile.clear();
    EXPECT_EQ(inst.GetTransceiverCount(), 0);
    profile = "Survey";

    inst.SetChannelRestriction(true, "UNIT-A ch2");
    ASSERT_EQ(inst.GetTransceiverCount(), 1);
    EXPECT_EQ(inst.GetTransceiverInfo(0)->channelCount, 1);
    EXPECT_EQ(inst.GetTransceiverChannel(0, 0)->channelNo, 2);
    inst.SetChannelRestriction(true, "nothing of ours");
    EXPECT_EQ(inst.GetTransceiverCount(), 1) << "a transceiver emptied by the restriction still counts";
    EXPECT_EQ(inst.GetTransceiverInfo(0)->channelCount, 0);

    inst.SetChannelRestriction(false, "");
    inst.SetLocalPcIp(0, "10.0.0.7");
    EXPECT_EQ(inst.GetTransceiverInfo(0)->localPcIp, "10.0.0.7");
    EXPECT_EQ(inst.CheckNetworkCards(), "10.0.0.7");
}

namespace {

std::vector<std::unique_ptr<CTrList>> Candidates(int count, const char* transducer)
{
    std::vector<std::unique_ptr<CTrList>> list;
    for (int i = 0; i < count; ++i) {
        auto e = std::make_unique<CTrList>();
        e->transceiverId = "NEW-" + std::to_string(i / 4);
        e->channelNo = i % 4 + 1;
        e->transducerName = transducer;
        e->frequency = 200000.0;
        e->ethernetAddress = "00907200000" + std::to_string(i);
        e->FormatDescription(nullptr, TransceiverType::HXU);
        list.push_back(std::move(e));
    }
    return list;
}

}  // namespace

TEST_F(Installation, CommitReplacesTheInstalledChannels)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    Install(inst, "OLD", 1);
    auto list = Candidates(3, "RM200");
    list[1]->transducerName = "NONE";
    ClearMessageBoxRecord();
    ASSERT_EQ(inst.CommitChannels(list, 1, "10.0.0.9"), CTransceiverInstallation::kCommitted);
    EXPECT_EQ(list.size(), 2u) << "the channel without a transducer is not installed";
    ASSERT_EQ(inst.GetTransceiverCount(), 1);
    EXPECT_EQ(inst.GetTransceiverInfo(0)->transceiverId, "NEW-0");
    EXPECT_EQ(inst.GetTransceiverInfo(0)->channelCount, 2);
    EXPECT_EQ(inst.GetTransceiverChannel(0, 1)->channelNo, 3);
    EXPECT_EQ(inst.GetTransceiverChannel(0, 0)->transducerName, "RM200");
    EXPECT_EQ(inst.GetDeckUnitIp(), "10.0.0.9");
    ASSERT_FALSE(MessageBoxRecord().empty());
    EXPECT_EQ(MessageBoxRecord().back().text, "Do you really want to change the installation?");
}

TEST_F(Installation, CommitOfNineChannelsOrWithoutConsentWritesNothing)
{
    CTransceiverInstallation inst;
    inst.Initialize();
    Install(inst, "OLD", 1);
    auto nine = Candidates(9, "RM200");
    ClearMessageBoxRecord();
    EXPECT_EQ(inst.CommitChannels(nine, 0, "1.2.3.4"), CTransceiverInstallation::kTooManyChannels);
    ASSERT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_EQ(MessageBoxRecord()[0].text, "Max. number of transceiver channels = 8");
    auto eight = Candidates(9, "RM200");
    eight[8]->transducerName = "NONE";
    SetMessageBoxPresenter([](HWND, const std::string&, const std::string&, UINT) { return IDCANCEL; });
    EXPECT_EQ(inst.CommitChannels(eight, 0, "1.2.3.4"), CTransceiverInstallation::kCancelled);
    SetMessageBoxPresenter(nullptr);
    ASSERT_EQ(inst.GetTransceiverCount(), 1);
    EXPECT_EQ(inst.GetTransceiverInfo(0)->transceiverId, "OLD");
    EXPECT_EQ(inst.CommitChannels(eight, 0, "1.2.3.4"), CTransceiverInstallation::kCommitted);
    EXPECT_EQ(inst.GetTransceiverCount(), 2);
}
