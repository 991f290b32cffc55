#include "transceivers/Transceiver.h"

#include "base/RegistrySupport.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "transceivers/tests/TestTransceiver.h"
#include "transceivers/tests/TestTransceiverServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <vector>

TEST(Transceiver, NearestTableEntry)
{
    const double table[] = {1.0, 2.0, 4.0};
    struct Case
    {
        const char* legend;
        double value;
        int expected;
    };
    const Case cases[] = {
        {"below the first", 0.1, 0},         {"exactly the first", 1.0, 0},
        {"nearer the lower", 1.4, 0},        {"halfway goes to the larger", 1.5, 1},
        {"halfway between 2 and 4", 3.0, 2}, {"nearer the upper", 3.9, 2},
        {"above the last", 9.0, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTransceiver::FindTableIndex(c.value, table, 3), c.expected) << c.legend;
    EXPECT_EQ(CTransceiver::FindTableIndex(5.0, table, 0), 0);
}

TEST(Transceiver, SettingsFileNamesAreSafe)
{
    EXPECT_EQ(CTransceiver::SettingsFileName("/s/Default/", "a/b:c"), "/s/Default/a_b_c_T.sav");
    EXPECT_EQ(CTransceiver::SettingsFileName("/s", "x\\*?\"<>|y"), "/s/x_______y_T.sav");
}

namespace {

class TransceiverSettings : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
        folder = std::filesystem::path(hives.Folder()) / "settings";
        std::filesystem::create_directories(folder);
        CTestTransceiver::Options o;
        o.name = "SET";
        unit = std::make_unique<CTestTransceiver>(o);
        transceiverKey = reg.OpenKey(CRegistrySupport::UserRootKey(), "Transceiver", TRUE);
        unit->SetRegistryKey(transceiverKey);
        unit->SetSettingsFolder(folder.string());
        record = unit->FindRecord(unit->GetChannelId(0));
        ASSERT_NE(record, nullptr);
        record->key = reg.OpenKey(transceiverKey, record->channelName, TRUE);
        const double table[5] = {0.000256, 0.000512, 0.001024, 0.001024, 0.001024};
        std::memcpy(record->pulseLengthTable, table, sizeof table);
        record->maxPower = 2000.0;
    }
    void TearDown() override
    {
        if (record)
            reg.CloseKey(record->key);
        unit.reset();
        reg.CloseKey(transceiverKey);
        reg.CloseRootKeys();
    }
    double RegDouble(const std::string& sub, const char* name)
    {
        double v = -12345.0;
        EXPECT_TRUE(reg.GetDouble(record->key, sub, name, v, FALSE)) << name;
        return v;
    }

    CTempHives hives;
    CRegistrySupport reg;
    std::filesystem::path folder;
    std::unique_ptr<CTestTransceiver> unit;
    HKEY transceiverKey = nullptr;
    CTransceiver::StructChannelParameters* record = nullptr;
};

}  // namespace

TEST_F(TransceiverSettings, MissingValuesTakeTheirDefaults)
{
    unit->ReadChannelSettings(*record);
    // Three distinct pulse lengths before the repeats: the middle one.
    EXPECT_DOUBLE_EQ(record->pulseLength, 0.000512);
    EXPECT_DOUBLE_EQ(record->txPower, 2000.0);
    EXPECT_DOUBLE_EQ(record->transducerRoll, -180.0);
    EXPECT_DOUBLE_EQ(record->cwResolutionLength, 1.0);
    EXPECT_EQ(record->transceiverMode, CTransceiver::kActive);
    // The defaults were written back.
    EXPECT_DOUBLE_EQ(RegDouble("", "PulseLength"), 0.000512);
    EXPECT_DOUBLE_EQ(RegDouble("", "TransducerRoll"), -180.0);

    reg.SetDouble(record->key, "", "TransducerZ", 3.5);
    reg.SetDouble(record->key, "", "TransducerDepth", 1.25);
    unit->ReadChannelSettings(*record);
    EXPECT_DOUBLE_EQ(record->transducerZMinusDepth, 2.25);
}

// A unit learns the model and pinger mode from the services it was made
// with: FM pulses are read only under the wide-band model, and pinger mode
// sets a channel to the pulse length of its first four nearest the pinger's.
// "Max. Power" of the lobe link: the largest entry of the channel's power
// table, wherever it stands and whatever the record's own maximum says; the
// record's maximum only for an empty table.
TEST_F(TransceiverSettings, MaxPowerIsTheLargestEntryOfThePowerTable)
{
    const struct
    {
        std::vector<double> table;
        double expected;
    } cases[] = {
        {{100, 200, 400, 800, 1500}, 1500.0},
        {{2500, 100, 200}, 2500.0},
        {{300, 3000.5, 300, 0, 0, 0, 0, 0, 0, 1200}, 3000.5},
        {{}, 2000.0},
    };
    for (const auto& c : cases) {
        std::fill(std::begin(record->powerSteps), std::end(record->powerSteps), 0.0);
        std::copy(c.table.begin(), c.table.end(), record->powerSteps);
        EXPECT_DOUBLE_EQ(unit->GetMaxPower(unit->GetChannelId(0)), c.expected) << c.table.size();
    }
    EXPECT_DOUBLE_EQ(record->maxPower, 2000.0);
    EXPECT_DOUBLE_EQ(unit->GetMaxPower(nullptr), 0.0);
}

TEST_F(TransceiverSettings, ModelAndPingerModeComeFromTheServices)
{
    struct Row
    {
        const char* legend;
        SounderModel model;
        std::optional<double> pingerPulse;  // ms
        int fmPulse;
        double pulseLength;
    };
    const Row rows[] = {
        {"FM pulses under the wide-band model", SounderModel::QYNVU, std::nullopt, 1, 0.001024},
        {"no FM pulse under another model", SounderModel::QY310, std::nullopt, 0, 0.001024},
        {"pinger mode's 0.6 ms: 0.3 ms, nearest to 0.256 ms", SounderModel::QY310, 0.6, 0, 0.000256},
        {"pinger mode's 1.5 ms: 0.75 ms, nearest to 0.512 ms", SounderModel::QY310, 1.5, 0, 0.000512},
    };
    for (const Row& r : rows) {
        reg.SetDword(record->key, "", "bFMpulse", 1);
        reg.SetDouble(record->key, "", "PulseLength", 0.001024);
        CTestTransceiverServices services;
        services.model = r.model;
        services.pingerPulseLength = r.pingerPulse;
        CTestTransceiver::Options o;
        o.services = &services;
        CTestTransceiver ofProgram(o);
        ofProgram.ReadChannelSettings(*record);
        EXPECT_EQ(record->fmPulse, r.fmPulse) << r.legend;
        EXPECT_DOUBLE_EQ(record->pulseLength, r.pulseLength) << r.legend;
    }
}

TEST_F(TransceiverSettings, SaveAndLoadCarryModePowerAndUserValues)
{
    unit->ReadChannelSettings(*record);
    record->transceiverMode = CTransceiver::kPassive;
    record->pulseLength = 0.001024;
    record->txPower = 300.0;
    record->transducerRoll = 10.0;
    record->transducerPitch = -3.0;
    record->transducerAzimuth = 90.0;
    record->transducerLabel = "Hull 38";
    unit->SaveChannelSettings();

    const auto file = folder / "SET 1_T.sav";
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(bytes.size(), 20u);
    std::int32_t mode;
    double pulse, power;
    std::memcpy(&mode, &bytes[0], 4);
    std::memcpy(&pulse, &bytes[4], 8);
    std::memcpy(&power, &bytes[12], 8);
    EXPECT_EQ(mode, 1);
    EXPECT_DOUBLE_EQ(pulse, 0.001024);
    EXPECT_DOUBLE_EQ(power, 300.0);
    EXPECT_DOUBLE_EQ(RegDouble("User", "TransducerAzimuth"), 90.0);

    record->transceiverMode = CTransceiver::kActive;
    record->txPower = 1.0;
    record->transducerRoll = record->transducerPitch = record->transducerAzimuth = 0.0;
    record->transducerLabel.clear();
    EXPECT_EQ(unit->LoadChannelSettings(), 1);
    EXPECT_EQ(record->transceiverMode, CTransceiver::kPassive);
    EXPECT_DOUBLE_EQ(record->txPower, 300.0);
    EXPECT_DOUBLE_EQ(record->transducerRoll, 10.0);
    EXPECT_DOUBLE_EQ(record->transducerPitch, -3.0);
    EXPECT_DOUBLE_EQ(record->transducerAzimuth, 90.0);
    EXPECT_EQ(record->transducerLabel, "Hull 38");
    // Loading also makes the values the channel's own registry values.
    EXPECT_DOUBLE_EQ(RegDouble("", "TxPower"), 300.0);
    EXPECT_DOUBLE_EQ(RegDouble("", "TransducerPitch"), -3.0);
}

// A stored number that is not finite, or too large for the sample-count
// conversions, is taken as its default and named in the event log; finite
// offsets stay as typed, however large.
TEST_F(TransceiverSettings, UnusableStoredNumbersTakeTheirDefaults)
{
    const std::string log = (std::filesystem::path(hives.Folder()) / "events.log").string();
    setenv("ZELVAR_EVENTLOG_FILE", log.c_str(), 1);
    struct Row
    {
        const char* name;
        const char* stored;
        double CTransceiver::StructChannelParameters::*field;
        double expected;
        const char* logged;  // as the event log prints it; null: not logged
    };
    using R = CTransceiver::StructChannelParameters;
    const Row rows[] = {
        {"PulseLength", "1e10", &R::pulseLength, 0.000512, "1e+10"},
        {"PulseLength", "nan", &R::pulseLength, 0.000512, "nan"},
        {"PulseLength", "-inf", &R::pulseLength, 0.000512, "-inf"},
        {"TxPower", "1e300", &R::txPower, 2000.0, "1e+300"},
        {"FmPulseLength", "1e10", &R::fmPulseLength, 0.0, "1e+10"},
        {"TransducerX", "nan", &R::transducerX, 0.0, "nan"},
        {"TransducerRoll", "inf", &R::transducerRoll, -180.0, "inf"},
        {"TransducerX", "5000.5", &R::transducerX, 5000.5, nullptr},
        {"TrFixedDraft", "-1234.5", &R::fixedDraft, -1234.5, nullptr},
    };
    for (const Row& r : rows) {
        std::filesystem::remove(log);
        reg.SetString(record->key, "", r.name, r.stored);
        unit->ReadChannelSettings(*record);
        EXPECT_EQ(record->*(r.field), r.expected) << r.name << " " << r.stored;
        std::ifstream in(log);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (r.logged)
            EXPECT_NE(text.find(std::string(r.name) + " = " + r.logged + " is not usable"), std::string::npos)
                << r.name << " " << r.stored << ": " << text;
        else
            EXPECT_EQ(text, "") << r.name << " " << r.stored;
        RegDeleteValue(record->key, r.name);
    }

    // The channel settings file and the User subkey, as loading finds them.
    unit->ReadChannelSettings(*record);
    std::array<char, 20> bytes{};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double huge = 1e10;
    std::memcpy(&bytes[4], &huge, 8);
    std::memcpy(&bytes[12], &nan, 8);
    std::ofstream(folder / "SET 1_T.sav", std::ios::binary).write(bytes.data(), bytes.size());
    reg.SetString(record->key, "User", "TransducerPitch", "nan");
    reg.SetString(record->key, "User", "CWResolutionLength", "1e300");
    EXPECT_EQ(unit->LoadChannelSettings(), 1);
    EXPECT_DOUBLE_EQ(record->pulseLength, 0.000512);
    EXPECT_DOUBLE_EQ(record->txPower, 2000.0);
    EXPECT_DOUBLE_EQ(record->transducerPitch, 0.0);
    EXPECT_DOUBLE_EQ(record->cwResolutionLength, 1.0);
    // What the channel's own values became is usable again.
    EXPECT_DOUBLE_EQ(RegDouble("", "PulseLength"), 0.000512);
    unsetenv("ZELVAR_EVENTLOG_FILE");
}

TEST_F(TransceiverSettings, ASettingsFileThatCannotBeWrittenIsReported)
{
    const std::string log = (std::filesystem::path(hives.Folder()) / "events.log").string();
    setenv("ZELVAR_EVENTLOG_FILE", log.c_str(), 1);
    unit->ReadChannelSettings(*record);
    std::ofstream(folder / "not a folder").flush();
    unit->SetSettingsFolder((folder / "not a folder").string());
    unit->SaveChannelSettings();
    std::ifstream in(log);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(
        text.find("Settings not saved: " + (folder / "not a folder" / "SET 1_T.sav").string() + ": Not a directory"),
        std::string::npos)
        << text;
    unsetenv("ZELVAR_EVENTLOG_FILE");
}

TEST_F(TransceiverSettings, ShortFileChangesNothing)
{
    unit->ReadChannelSettings(*record);
    std::ofstream(folder / "SET 1_T.sav", std::ios::binary).write("\x01\x00\x00\x00\x00\x00", 6);
    record->txPower = 777.0;
    EXPECT_EQ(unit->LoadChannelSettings(), 1);
    EXPECT_DOUBLE_EQ(record->txPower, 777.0);
    EXPECT_EQ(record->transceiverMode, CTransceiver::kActive);
}

TEST_F(TransceiverSettings, WithoutKeyNothingIsSavedOrLoaded)
{
    unit->SetRegistryKey(nullptr);
    unit->SaveChannelSettings();
    EXPECT_TRUE(std::filesystem::is_empty(folder));
    EXPECT_EQ(unit->LoadChannelSettings(), 0);
}

TEST(Transceiver, LookUpsOfChannels)
{
    CTestTransceiver::Options o;
    o.name = "LK";
    o.channels = 2;
    CTestTransceiver unit(o);
    CChannel* second = unit.GetChannelId(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(unit.GetChannelId(2), nullptr);
    EXPECT_EQ(unit.GetChannelId(-1), nullptr);
    unit.FindRecord(second)->transducerLabel = "label";
    EXPECT_EQ(unit.GetChannelName(second), "label");
    EXPECT_EQ(unit.GetChannelName(nullptr), "");
    std::string d, n;
    double v[12];
    int beam = -1;
    EXPECT_EQ(unit.GetChannelParameters(nullptr, d, n, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], beam,
                                        v[10], v[11]),
              0);
    EXPECT_EQ(beam, -1);
    EXPECT_EQ(unit.GetChannelParameters(second, d, n, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9], beam,
                                        v[10], v[11]),
              1);
    EXPECT_EQ(n, "LK 2");
    EXPECT_EQ(v[0], 76000.0);
    EXPECT_EQ(v[11], 0.0) << "no temperature source";
    unit.SetChannelPassive(5);
    unit.SetChannelPassive(1);
    EXPECT_EQ(unit.FindRecord(second)->transceiverMode, CTransceiver::kPassive);
    EXPECT_EQ(unit.FindRecord(unit.GetChannelId(0))->transceiverMode, CTransceiver::kActive);
    EXPECT_EQ(unit.GetMaxChannelValue(), 0.0);

    // A ping taken, the next one asked for: the unit may be triggered again.
    unit.ClearPingConsumed();
    EXPECT_EQ(unit.GetBufferedPings(), 2);
    unit.RequestNextPing();
    EXPECT_EQ(unit.GetBufferedPings(), 0);
}
