// The probe without a line: its lines (as the component delivers them), the
// thinned cast, the real-time hand-over to the environment, the silent-spell
// report of its worker, its settings, and the store that every profile road
// shares.
#include "sensors/SvpProbe.h"

#include "base/AppIds.h"
#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "sensors/Environment.h"
#include "sensors/SvpProfileStore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>
#include <vector>

namespace fs = std::filesystem;

namespace {

void Receive(CSerialDeviceLink& sensor, const std::string& bytes)
{
    CTarnMessage message(bytes, 16);
    sensor.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
}

struct SLineCase
{
    const char* legend;
    const char* line;
    bool taken;
    double depth;
    double velocity;
};

const SLineCase kLines[] = {
    {"pressure and velocity", "0001 10.08 x 1492.31", true, 10.0, 1492.31},
    {"runs of blanks and leading blanks", "   a    20.16\t\t b   1480.5\r\n", true, 20.0, 1480.5},
    {"one value: a velocity at the surface", "SV 1501.2", true, 0.0, 1501.2},
    {"velocity 1400.0 is outside the window", "a 5 b 1400.0", false, 0, 0},
    {"velocity 1700.0 is outside the window", "a 5 b 1700.0", false, 0, 0},
    {"one value 1700 as well", "a 1700", false, 0, 0},
    {"no number", "a b c d", false, 0, 0},
    {"nan velocity", "a 5 b nan", false, 0, 0},
    {"infinite pressure: read as none", "a inf b 1500", true, 0.0, 1500.0},
    {"empty", "", false, 0, 0},
};

TEST(SvpProbeLines, FieldsDepthAndWindow)
{
    for (const SLineCase& c : kLines) {
        SCOPED_TRACE(c.legend);
        const auto reading = CSvpProbe::ParseLine(c.line);
        ASSERT_EQ(reading.has_value(), c.taken);
        if (!reading)
            continue;
        EXPECT_NEAR(reading->depth, c.depth, 1e-9);
        EXPECT_DOUBLE_EQ(reading->velocity, c.velocity);
    }
}

class SvpProbeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registry.OpenRootKeys("Zelvar\\EchoSounder\\QY210\\1.0\\"));
        frame = CreateMessageWindow([this](HWND, UINT msg, WPARAM w, LPARAM) -> LRESULT {
            if (msg == app::WM_ES_STATUSMESSAGE)
                statuses.push_back(static_cast<unsigned>(w));
            if (msg == app::WM_ES_ENVIRONMENTCHANGED)
                ++announced;
            return 0;
        });
        SetMainWindow(frame);
        char pattern[] = "/tmp/svpprobeXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        dir += "/";
    }
    void TearDown() override
    {
        SetMainWindow(0);
        DestroyWindow(frame);
        registry.CloseRootKeys();
        fs::remove_all(dir);
    }
    void Pump()
    {
        PumpUntil([] { return false; }, std::chrono::milliseconds(20));
    }

    CTempHives hives;
    CRegistrySupport registry;
    CEnvironment environment;
    CLiveSensorHost host;
    std::string dir;
    std::string recorderFolder;
    CSvpProfileStore store{[this] { return recorderFolder; }, [] { return SounderModel::QY210; }};
    HWND frame = 0;
    std::vector<unsigned> statuses;
    int announced = 0;
};

// A recorded cast keeps a point only when it moved more than 0.2 m in depth
// and more than 0.5 m/s in velocity from the last one kept; surface and
// out-of-window lines are not recorded.
TEST_F(SvpProbeTest, CastIsThinnedAndStoredAsAsvp)
{
    CSvpProbe probe(environment, store, host);
    Receive(probe, "a 5.04 b 1490.0");  // before recording: not kept
    probe.StartRecording();
    const char* lines[] = {
        "a 1.008 b 1490.0",   // 1.0 m: kept
        "a 1.3104 b 1491.0",  // 1.3 m: 0.3 m deeper, 1.0 m/s: kept
        "a 1.512 b 1492.0",   // 1.5 m: only 0.2 m deeper: not kept
        "a 3.024 b 1491.6",   // 3.0 m, 0.6 m/s off 1.3 m's: kept
        "a 4.032 b 1491.2",   // 4.0 m, only 0.4 m/s: not kept
        "SV 1480.0",          // surface: not recorded
        "a 6.048 b 1700.0",   // outside the window
        "a 8.064 b 1489.0",   // 8.0 m: kept
    };
    for (const char* line : lines)
        Receive(probe, line);
    const CSvpProfile cast = probe.RecordedCast();
    ASSERT_EQ(cast.GetCount(), 4);
    const double expected[][2] = {{1.0, 1490.0}, {1.3, 1491.0}, {3.0, 1491.6}, {8.0, 1489.0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(cast.Points()[i].depth, expected[i][0], 1e-9);
        EXPECT_DOUBLE_EQ(cast.Points()[i].velocity, expected[i][1]);
    }

    // Stored in the recorder's folder while one records, and offered only on
    // the dialog's OK, as an ".asvp" file.
    recorderFolder = dir + "rec";
    ASSERT_TRUE(probe.StoreCast());
    Pump();
    EXPECT_EQ(announced, 0);
    probe.AnnounceStored();
    Pump();
    EXPECT_EQ(announced, 1);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(recorderFolder))
        files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].extension(), ".asvp");
    CSvpProfile read;
    EXPECT_EQ(read.ParseDatagram(files[0].string(), CSvpProfile::FormatAsvp), 4);
    probe.AnnounceStored();  // nothing stored since
    Pump();
    EXPECT_EQ(announced, 1);

    probe.StartRecording();  // an empty cast stores nothing
    EXPECT_FALSE(probe.StoreCast());
}

// With real time on, a reading more than 1 m/s from the environment's
// velocity is handed over; the log shows every taken reading.
TEST_F(SvpProbeTest, RealTimeVelocityReachesTheEnvironment)
{
    CSvpProbe probe(environment, store, host);
    Receive(probe, "SV 1520.0");
    EXPECT_DOUBLE_EQ(environment.GetProbeVelocity(), 1500.0) << "real time off";
    probe.SetRealTime(true);
    Receive(probe, "SV 1520.0");
    EXPECT_DOUBLE_EQ(environment.GetProbeVelocity(), 1520.0);
    ASSERT_TRUE(environment.SetSvpType(CEnvironment::SvpTypeConstant));
    Receive(probe, "a 10.08 b 1500.9");  // within 1 m/s of the constant 1500
    EXPECT_DOUBLE_EQ(environment.GetProbeVelocity(), 1520.0);
    Receive(probe, "junk");
    EXPECT_EQ(probe.Monitor().Text(),
              "D= 0.00;    S= 1520.00\r\nD= 0.00;    S= 1520.00\r\nD= 10.00;    S= 1500.90\r\n");
}

// 60 empty cycles are allowed; the 61st posts the missing velocity, once
// for the whole silent spell; a reading ends the spell.
TEST_F(SvpProbeTest, SilenceIsReportedOncePerSpell)
{
    CSvpProbe probe(environment, store, host, 1);
    probe.SetRealTime(true);
    EXPECT_EQ(probe.StartReader(), 1);  // no component registered: the worker runs on
    const auto missing = [&] { return std::count(statuses.begin(), statuses.end(), CSvpProbe::IdsRealSvpMissing); };
    ASSERT_TRUE(PumpUntil([&] { return missing() == 1; }, std::chrono::seconds(10)));
    ASSERT_TRUE(
        PumpUntil([&] { return probe.EmptyCycles() > 3 * CSvpProbe::kMaxEmptyCycles; }, std::chrono::seconds(10)));
    Pump();
    EXPECT_EQ(missing(), 1);
    Receive(probe, "SV 1510");  // ends the spell: the next one is reported again
    ASSERT_TRUE(PumpUntil([&] { return missing() == 2; }, std::chrono::seconds(10)));
    probe.StopReader();
    probe.StopReader();  // twice is harmless
}

TEST_F(SvpProbeTest, SettingsMissingAreWrittenAsOff)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\SvpProbe", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &key, nullptr),
              ERROR_SUCCESS);
    {
        CSvpProbe probe(environment, store, host);
        probe.LoadEnabled(key);
        EXPECT_FALSE(probe.IsRealTime());
        DWORD v = 7;
        EXPECT_TRUE(CRegistrySupport().GetDword(key, "", "RealSvpEnabled", v, FALSE));
        EXPECT_EQ(v, 0u);
        probe.SetRealTime(true);
        EXPECT_TRUE(probe.SaveEnabled());
    }
    CSvpProbe again(environment, store, host);
    again.LoadEnabled(key);
    EXPECT_TRUE(again.IsRealTime());
    RegCloseKey(key);
}

// Two profiles in one second get two files; without a running recorder
// they go to the model's profile folder.
TEST_F(SvpProbeTest, StoreGivesEachProfileItsOwnFile)
{
    recorderFolder = dir;
    const std::uint64_t t = CFileTime::Now();
    store.SetClock([t] { return t; });
    CSvpProfile a, b;
    a.AddPoint(0, 1490);
    b.AddPoint(0, 1510);
    const auto first = store.Write(a);
    const auto second = store.Write(b);
    ASSERT_TRUE(first && second);
    EXPECT_NE(first->fileName, second->fileName);
    EXPECT_EQ(second->fileName, first->fileName.substr(0, 15) + "_2.asvp");
    CSvpProfile readA, readB;
    ASSERT_EQ(readA.ParseDatagram(dir + first->fileName, CSvpProfile::FormatAsvp), 1);
    ASSERT_EQ(readB.ParseDatagram(dir + second->fileName, CSvpProfile::FormatAsvp), 1);
    EXPECT_DOUBLE_EQ(readA.Points()[0].velocity, 1490.0);
    EXPECT_DOUBLE_EQ(readB.Points()[0].velocity, 1510.0);

    EXPECT_FALSE(store.Write(CSvpProfile())) << "an empty profile stores nothing";
    recorderFolder.clear();
    const auto model = store.Write(a);
    ASSERT_TRUE(model);
    EXPECT_NE(model->folder.find("QY210/svp/"), std::string::npos) << model->folder;
    EXPECT_TRUE(store.StoreAndAnnounce(a, environment));
    Pump();
    EXPECT_EQ(announced, 1);
}

}  // namespace
