#include "transceivers/TrListFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

// A small transceiver list in the delivered form (CR LF lines). The HXU
// block "QY310 HXU V" is the prefix of the block "QY310 HXU V2" on purpose,
// as are the transducers RM120 and RM1200.
std::string Fixture()
{
    const char* lines[] = {
        "free comment, dropped",
        "ENDCOMMENTDATA",
        "DRUMAPPING",
        "017: DRU38 SINGLE  ",
        "ENDDRUMAPPING",
        "TRANSCEIVERDATA",
        "QY310 HXU V2",
        "BEAMTYPE=SINGLE",
        "CHANNEL1",
        "KHZ=200",
        "TRANSDUCER=WRONG ",
        "ENDCHANNEL",
        "ENDHXUTRANSCEIVER",
        "QY310 HXU V",
        "BEAMTYPE=SPLIT",
        "MARKETSEGMENT=HYDROGRAPHY",
        "CHANNEL1",
        "KHZ=38",
        "TRANSDUCER=RM38 ",
        "TRANSDUCER=RM38S ",
        "TRANSDUCER=RM38D ",
        "SAMPLEINTERVALDEFAULT=0.1 0.2 0.3 0.4 0.5",
        "BANDWIDTH=2425",
        "MINMEDMAXTXPOWER=100 500 1000",
        "MINMEDMAXTXPULSELENGTH=0.000256 0.000512 0.001024 0.002048 0.004096",
        "ENDCHANNEL",
        "CHANNEL3",
        "KHZ=120",
        "TRANSDUCER=RM120 ",
        "ENDCHANNEL",
        "ENDHXUTRANSCEIVER",
        "DRU38 SINGLE",
        "MARKETSEGMENT=FISHERY",
        "CHANNEL1",
        "KHZ=38",
        "DRUPOWERTRANSFILENAME=pt38.txt",
        "TRANSDUCER=RM38 ",
        "ENDCHANNEL",
        "ENDDRUTRANSCEIVER",
        "ENDTRANSCEIVERDATA",
        "TRANSDUCERDATA",
        "RM1200",
        "FREQUENCY=1200000",
        "ENDTRANSDUCER",
        "RM120",
        "FREQUENCY=120000",
        "BEAMTYPE=SPLIT",
        "EQUIVALENT2WAYBEAMANGLE=-20.7",
        "GAIN=25.5 26 26.5 27 27.5",
        "MAXTXPOWER=500",
        "THREEDBBEAMWIDTHALONGSHIP=7.1",
        "THREEDBBEAMWIDTHATHWARTSHIP=7.2",
        "ANGLESENSITIVITYALONGSHIP=21.9",
        "ANGLESENSITIVITYATHWARTSHIP=22.1",
        "OFFSETALONGSHIP=0.05",
        "OFFSETATHWARTSHIP=-0.04",
        "ENDTRANSDUCER",
        "RM38",
        "FREQUENCY=38000",
        "SACORRECTION=-0.6 -0.6 -0.6 -0.6 -0.6",
        "TRANDUCERIMPEDANCE=75",
        "ENDTRANSDUCER",
        "ENDTRANSDUCERDATA",
    };
    std::string text;
    for (const char* l : lines)
        text += std::string(l) + "\r\n";
    return text;
}

CTrListFile Loaded()
{
    CTrListFile f;
    f.SetText(Fixture());
    return f;
}

}  // namespace

TEST(TrListFile, LoadsFromFolderPathAndDropsComment)
{
    const auto dir = std::filesystem::temp_directory_path() / ("trlist-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "TrList.ini", std::ios::binary) << Fixture();
    CTrListFile f;
    ASSERT_TRUE(f.LoadTrListText(dir.string() + "/"));
    EXPECT_EQ(f.GetText().rfind("ENDCOMMENTDATA", 0), 0u);
    EXPECT_FALSE(f.LoadTrListText((dir / "missing").string() + "/"));
    EXPECT_FALSE(f.IsLoaded());
    std::filesystem::remove_all(dir);

    CTrListFile noMarker;
    noMarker.SetText("DRUMAPPING\r\n017: X  \r\nENDDRUMAPPING\r\n");
    EXPECT_FALSE(noMarker.IsLoaded());
    std::string code = "017";
    EXPECT_FALSE(noMarker.ReadMapping(code));
}

TEST(TrListFile, MapsCardCodes)
{
    const CTrListFile f = Loaded();
    std::string code = "017";
    ASSERT_TRUE(f.ReadMapping(code));
    EXPECT_EQ(code, "DRU38 SINGLE");
    for (const char* bad : {"018", "17", "0170", ""}) {
        std::string c = bad;
        EXPECT_FALSE(f.ReadMapping(c)) << bad;
        EXPECT_EQ(c, bad);
    }
}

TEST(TrListFile, HeaderThatPrefixesAnotherFindsItsOwnBlock)
{
    const CTrListFile f = Loaded();
    std::vector<std::string> names;
    ASSERT_TRUE(f.ReadTransceiverData("QY310 HXU V", 0, names, TransceiverType::HXU));
    EXPECT_EQ(names, (std::vector<std::string>{"RM38", "RM38S", "RM38D"}));
    names.clear();
    ASSERT_TRUE(f.ReadTransceiverData("QY310 HXU V2", 0, names, TransceiverType::HXU));
    EXPECT_EQ(names, std::vector<std::string>{"WRONG"});

    CTrList rm120;
    ASSERT_TRUE(f.ReadTransducerData("RM120", rm120));
    EXPECT_EQ(rm120.frequency, 120000.0);
}

TEST(TrListFile, ChannelsAreCountedByTheWordsPresent)
{
    const CTrListFile f = Loaded();
    EXPECT_EQ(f.ChannelCount("QY310 HXU V", TransceiverType::HXU), 2);
    std::vector<std::string> names;
    // Index 1 asks for CHANNEL2, which this block does not have.
    EXPECT_FALSE(f.ReadTransceiverData("QY310 HXU V", 1, names, TransceiverType::HXU));
    // For HXU and DRU the count bounds the index; CHANNEL3 is the third word.
    EXPECT_FALSE(f.ReadTransceiverData("QY310 HXU V", 2, names, TransceiverType::HXU));
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(f.ReadTransceiverData("NO SUCH BLOCK", 0, names, TransceiverType::HXU));
}

TEST(TrListFile, ReadsTransducerConstants)
{
    const CTrListFile f = Loaded();
    CTrList e;
    std::string sa;
    ASSERT_TRUE(f.ReadTransducerData("RM120", e, &sa));
    EXPECT_EQ(e.beamType, 1);
    EXPECT_DOUBLE_EQ(e.twoWayBeamAngle, -20.7);
    EXPECT_EQ(e.gain, "25.5 26 26.5 27 27.5");
    EXPECT_EQ(sa, "0.0 0.0 0.0 0.0 0.0");
    EXPECT_DOUBLE_EQ(e.txPower, 500.0);
    EXPECT_DOUBLE_EQ(e.beamWidthAthwartship, 7.2);
    EXPECT_DOUBLE_EQ(e.angleSensitivityAlongship, 21.9);
    EXPECT_DOUBLE_EQ(e.offsetAthwartship, -0.04);
    EXPECT_DOUBLE_EQ(e.transducerImpedance, 0.0);

    CTrList rm38;
    ASSERT_TRUE(f.ReadTransducerData("RM38", rm38, &sa));
    EXPECT_EQ(sa, "-0.6 -0.6 -0.6 -0.6 -0.6");
    EXPECT_DOUBLE_EQ(rm38.transducerImpedance, 75.0);
    EXPECT_FALSE(f.ReadTransducerData("RM12", rm38));
}

TEST(TrListFile, BuildsOneCandidatePerChannelOfAnHxu)
{
    const CTrListFile f = Loaded();
    std::vector<std::unique_ptr<CTrList>> entries;
    ASSERT_EQ(f.BuildFromTrList("QY310 HXU V1.02 009072001234", 0x7F000002u, "rev 1.02", "127.0.0.1", {}, entries),
              CTrListFile::kBuilt);
    ASSERT_EQ(entries.size(), 2u);
    const CTrList& a = *entries[0];
    EXPECT_EQ(a.channelNo, 1);
    EXPECT_EQ(a.frequency, 38000.0);
    EXPECT_EQ(a.beamType, 1);
    EXPECT_EQ(a.marketSegment, 1);
    EXPECT_EQ(a.transducerChoices, (std::vector<std::string>{"NONE", "RM38", "RM38S", "RM38D"}));
    EXPECT_EQ(a.transducerName, "NONE");
    EXPECT_EQ(a.ethernetAddress, "009072001234");
    EXPECT_EQ(a.hwVersion, "V1.02");
    EXPECT_EQ(a.transceiverId, "QY310 HXU V1.02 009072001234");
    EXPECT_EQ(a.minMedMaxTxPower, "100 500 1000");
    EXPECT_EQ(a.sampleInterval, "0.1 0.2 0.3 0.4 0.5");
    EXPECT_EQ(a.bandwidth, 2425.0);
    EXPECT_EQ(a.localPcIp, "127.0.0.1");
    EXPECT_EQ(a.information, "rev 1.02");
    EXPECT_EQ(a.installed, 0);
    EXPECT_EQ(a.description, "HXU  38 kHz 009072001234 1 NONE");
    EXPECT_EQ(entries[1]->channelNo, 3);
    EXPECT_EQ(entries[1]->frequency, 120000.0);

    entries.clear();
    EXPECT_EQ(f.BuildFromTrList("QY999 HXU V1 0090", 0, "", "", {}, entries), CTrListFile::kUndocumentedHxu);
    EXPECT_EQ(f.BuildFromTrList("NVU 1234", 0, "", "", {}, entries), CTrListFile::kNotFound);
    EXPECT_TRUE(entries.empty());
}

TEST(TrListFile, BuildsDruFromItsMappedCode)
{
    const CTrListFile f = Loaded();
    std::vector<std::unique_ptr<CTrList>> entries;
    ASSERT_EQ(f.BuildFromTrList("017", 0, "", "", {0x300, 5, 10}, entries), CTrListFile::kBuilt);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0]->transceiverId, "DRU38 SINGLE");
    EXPECT_EQ(entries[0]->powerTranslationFile, "pt38.txt");
    EXPECT_EQ(entries[0]->description, "DRU  38 kHz A300-D5-I10 1 NONE");
    EXPECT_EQ(f.BuildFromTrList("099", 0, "", "", {}, entries), CTrListFile::kNotFound);
}

TEST(TrListFile, NumbersThatAreNoneOrDoNotFitLeaveTheirDefaults)
{
    const struct
    {
        const char* legend;
        const char* khz;
        const char* filterLength;
        double frequency;
        int expectedFilterLength;
    } rows[] = {
        {"filter length beyond an int", "38", "1e10", 38000.0, 0},
        {"infinite filter length and frequency", "inf", "inf", 0.0, 0},
        {"filter length not a number", "nan", "-nan", 0.0, 0},
        {"plain values", "38", "63", 38000.0, 63},
    };
    for (const auto& row : rows) {
        CTrListFile f;
        f.SetText(std::string("ENDCOMMENTDATA\r\nTRANSCEIVERDATA\r\nUNIT QY42\r\nCHANNEL1\r\nKHZ=") + row.khz +
                  "\r\nFPAFILTERLENGTH=" + row.filterLength +
                  "\r\nENDCHANNEL\r\nENDNVUTRANSCEIVER\r\nENDTRANSCEIVERDATA\r\n");
        std::vector<std::unique_ptr<CTrList>> entries;
        ASSERT_EQ(f.BuildFromTrList("UNIT QY42", 0, "", "", {}, entries), CTrListFile::kBuilt) << row.legend;
        ASSERT_EQ(entries.size(), 1u) << row.legend;
        EXPECT_EQ(entries[0]->frequency, row.frequency) << row.legend;
        EXPECT_EQ(entries[0]->fpaFilterLength, row.expectedFilterLength) << row.legend;
    }
}

TEST(TrList, DescriptionsAndChoiceLists)
{
    CTrList e;
    e.frequency = 120000;
    e.ethernetAddress = "009072001234";
    e.channelNo = 1;
    e.transducerName = "RM120";
    e.FormatDescription(nullptr, TransceiverType::HXU);
    EXPECT_EQ(e.description, "HXU 120 kHz 009072001234 1 RM120");
    e.FormatDescription(nullptr, static_cast<TransceiverType>(9));
    EXPECT_EQ(e.description, "HXU 120 kHz 009072001234 1 RM120");
    const std::string given = "given";
    e.FormatDescription(&given, TransceiverType::GEO);
    EXPECT_EQ(e.description, "given");

    const std::vector<std::string> two{"NONE", "A"}, none;
    e.SetStringList(&two);
    e.SetStringList(nullptr);
    EXPECT_EQ(e.transducerChoices, two);
    e.SetStringList(&none);
    EXPECT_TRUE(e.transducerChoices.empty());
    e.SetInformation(nullptr);
    EXPECT_EQ(e.information, "");
}
