#include "sensors/Environment.h"

#include "base/RegistrySupport.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class EnvironmentTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearMessageBoxRecord();
        ASSERT_TRUE(registry.OpenRootKeys("Zelvar\\EchoSounder\\QY210\\1.0\\"));
        mainFrame = CreateMessageWindow([this](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            posted.push_back({msg, w, l});
            return 0;
        });
        SetMainWindow(mainFrame);
        char pattern[] = "/tmp/environmentXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        env.SetProfileSinks([this](const std::string& t, ULONGLONG) { sent.push_back(t); },
                            [this](const std::string& t, ULONGLONG) { recorded.push_back(t); });
        env.SetDialogRunner([this](SEnvironmentDialogValues& v) {
            shown.push_back(v);
            if (edit)
                edit(v);
            return dialogAnswer;
        });
    }
    void TearDown() override
    {
        SetMessageBoxPresenter({});
        SetMainWindow(0);
        DestroyWindow(mainFrame);
        registry.CloseRootKeys();
        fs::remove_all(dir);
    }

    struct Posted
    {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    // What reached the main frame so far.
    std::vector<Posted> Posts()
    {
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
        return posted;
    }

    std::string WriteProfile(const std::string& name, const std::string& rows)
    {
        std::ofstream(dir / name, std::ios::binary) << "( SoundVelocity 1.00  0 0 0 0 0 0 0 SSP PE 0 )\r\n" << rows;
        return name;
    }

    // Runs the environment command with the dialog answering OK after edit.
    void Configure(std::function<void(SEnvironmentDialogValues&)> change)
    {
        edit = std::move(change);
        dialogAnswer = TRUE;
        env.OnEnvironment();
        edit = nullptr;
    }

    void UseProfile(const std::string& name)
    {
        Configure([&](SEnvironmentDialogValues& v) {
            v.svpType = CEnvironment::SvpTypeProfile;
            v.folder = dir.string();
            v.fileName = name;
        });
    }

    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& b : MessageBoxRecord())
            texts.push_back(b.text);
        return texts;
    }

    CTempHives hives;
    CRegistrySupport registry;
    fs::path dir;
    HWND mainFrame = 0;
    std::vector<Posted> posted;
    CEnvironment env;
    std::vector<std::string> sent;
    std::vector<std::string> recorded;
    std::vector<SEnvironmentDialogValues> shown;
    std::function<void(SEnvironmentDialogValues&)> edit;
    BOOL dialogAnswer = FALSE;
};

}  // namespace

TEST(EnvironmentFormula, ComputedVelocity)
{
    EXPECT_NEAR(CEnvironment::ComputeVelocity(10.0, 35.0), 1489.77, 0.005);
    // Fresh water: the salinity term becomes -35 times its factor.
    EXPECT_NEAR(CEnvironment::ComputeVelocity(10.0, 0.0), 1489.77 - 35.0 * (1.333 - 10.0 * (0.0126 - 0.0009)), 0.005);
    EXPECT_NEAR(CEnvironment::ComputeVelocity(0.0, 35.0), 1449.05, 1e-9);
}

TEST(EnvironmentFormula, ProfileMeanIsDepthWeighted)
{
    SAppliedProfile p{{0.0, 10.0, 20.0}, {1500.0, 1480.0, 1460.0}};
    struct Case
    {
        const char* legend;
        double depth;
        double mean;
    };
    const Case cases[] = {
        {"inside the first layer", 5.0, 1500.0},
        {"on the second point", 10.0, 1500.0},
        {"half way down the second layer", 15.0, (10 * 1500.0 + 5 * 1480.0) / 15.0},
        {"on the last point", 20.0, (10 * 1500.0 + 10 * 1480.0) / 20.0},
        {"below the last point the last velocity continues", 40.0, (10 * 1500.0 + 10 * 1480.0 + 20 * 1460.0) / 40.0},
        {"zero depth leaves the fallback", 0.0, 1234.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(CEnvironment::ProfileMean(p, c.depth, 1234.0), c.mean, 1e-9) << c.legend;
    EXPECT_EQ(CEnvironment::ProfileMean(SAppliedProfile{}, 10.0, 1234.0), 1234.0);
}

TEST_F(EnvironmentTest, AbsorptionMatchesTheReferenceValues)
{
    Configure([](SEnvironmentDialogValues& v) {
        v.svpType = CEnvironment::SvpTypeConstant;
        v.constantVelocity = 1490.0;
        v.temperatureType = 0;
        v.temperatureConstant = 10.0;
        v.waterType = 1;
        v.salinity = 35.0;
    });
    EXPECT_NEAR(env.GetAbsorption(38000.0), 0.00981, 0.000005);
    EXPECT_NEAR(env.GetAbsorption(200000.0), 0.0528, 0.00005);
}

TEST_F(EnvironmentTest, AbsorptionInFreshWaterHasNoBoricAcidTermAndNeverNaN)
{
    Configure([](SEnvironmentDialogValues& v) {
        v.waterType = 0;
        v.temperatureType = 0;
        v.temperatureConstant = 0.0;
    });
    for (double hz : {0.0, 38000.0, 200000.0}) {
        double a = env.GetAbsorption(hz);
        EXPECT_TRUE(std::isfinite(a)) << hz;
        EXPECT_GE(a, 0.0) << hz;
    }
    EXPECT_EQ(env.GetAbsorption(0.0), 0.0);
    // Only the pure-water term remains: A3 P3 f^2 at 0 degrees, 250 m.
    const double p3 = 1.0 - 3.83e-5 * 250.0 + 4.9e-10 * 250.0 * 250.0;
    EXPECT_NEAR(env.GetAbsorption(38000.0), 4.937e-4 * p3 * 38.0 * 38.0 / 1000.0 + 0.0, 2e-6);
}

TEST_F(EnvironmentTest, SoundVelocityByType)
{
    Configure([](SEnvironmentDialogValues& v) {
        v.svpType = CEnvironment::SvpTypeConstant;
        v.constantVelocity = 1477.0;
    });
    EXPECT_EQ(env.GetSoundVelocity(), 1477.0);

    env.SetProbeVelocity(1502.5);
    Configure([](SEnvironmentDialogValues& v) { v.svpType = CEnvironment::SvpTypeProbe; });
    EXPECT_EQ(env.GetSoundVelocity(), 1502.5);
    EXPECT_EQ(env.GetProbeVelocity(), 1502.5);

    Configure([](SEnvironmentDialogValues& v) {
        v.svpType = CEnvironment::SvpTypeComputed;
        v.temperatureType = 0;
        v.temperatureConstant = 10.0;
        v.salinity = 35.0;
    });
    EXPECT_NEAR(env.GetSoundVelocity(), 1489.77, 0.005);
    EXPECT_FALSE(env.IsRealSvp());
    EXPECT_EQ(recorded, (std::vector<std::string>(3, "Constant")));
}

TEST_F(EnvironmentTest, SensorVelocityMovesOnlyWhenTheTemperatureMovesMoreThanHalfADegree)
{
    env.SetSensorTemperature(10.0, TRUE);
    Configure([](SEnvironmentDialogValues& v) {
        v.svpType = CEnvironment::SvpTypeComputed;
        v.temperatureType = 1;
        v.salinity = 35.0;
    });
    const double at10 = env.GetSoundVelocity();
    EXPECT_NEAR(at10, CEnvironment::ComputeVelocity(10.0, 35.0), 1e-9);
    env.SetSensorTemperature(10.4, TRUE);
    EXPECT_EQ(env.GetSoundVelocity(), at10);
    env.SetSensorTemperature(10.8, TRUE);
    EXPECT_NEAR(env.GetSoundVelocity(), CEnvironment::ComputeVelocity(10.8, 35.0), 1e-9);
    // Readings outside -2..30 are not taken.
    env.SetSensorTemperature(31.0, TRUE);
    EXPECT_EQ(env.GetSettings().tempSensor, 10.8);
}

TEST_F(EnvironmentTest, FortyOneInvalidReadingsFallBackToTheConstantTemperatureOnce)
{
    env.SetSensorTemperature(12.0, TRUE);
    Configure([](SEnvironmentDialogValues& v) {
        v.svpType = CEnvironment::SvpTypeComputed;
        v.temperatureType = 1;
        v.temperatureConstant = 4.0;
    });
    env.SetSensorTemperature(12.0, FALSE);
    for (int i = 0; i < 40; ++i)
        env.GetSoundVelocity();
    // a valid reading in between starts the count again
    env.SetSensorTemperature(12.0, TRUE);
    env.GetSoundVelocity();
    env.SetSensorTemperature(12.0, FALSE);
    for (int i = 0; i < 40; ++i)
        env.GetSoundVelocity();
    EXPECT_EQ(env.GetSettings().temperatureType, 1u);
    EXPECT_TRUE(Posts().empty());

    env.GetSoundVelocity();  // the 41st in a row
    EXPECT_EQ(env.GetSettings().temperatureType, 0u);
    EXPECT_NEAR(env.GetSettings().svpComputed, CEnvironment::ComputeVelocity(4.0, 35.0), 1e-9);
    for (int i = 0; i < 50; ++i)
        env.GetSoundVelocity();
    auto posts = Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].message, 0x470u);
    EXPECT_EQ(posts[0].wParam, 57679u);
    EXPECT_EQ(posts[0].lParam, 0);
}

TEST_F(EnvironmentTest, DialogWithoutAValidSensorOffersTheConstantTemperature)
{
    Configure([](SEnvironmentDialogValues& v) { v.temperatureType = 1; });
    env.OnEnvironment();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].temperatureType, 0u);
    EXPECT_FALSE(shown[1].sensorAvailable);

    env.SetSensorTemperature(8.0, TRUE);
    Configure([](SEnvironmentDialogValues& v) { v.temperatureType = 1; });
    env.OnEnvironment();
    EXPECT_EQ(shown.back().temperatureType, 1u);
    EXPECT_TRUE(shown.back().sensorAvailable);
}

TEST_F(EnvironmentTest, SetSvpTypeTakesOnlyConstantAndProfile)
{
    struct Case
    {
        DWORD type;
        BOOL answer;
        DWORD after;
    };
    const Case cases[] = {{3, TRUE, 3}, {0, TRUE, 0}, {2, FALSE, 0}, {1, FALSE, 0}, {7, FALSE, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(env.SetSvpType(c.type), c.answer) << c.type;
        EXPECT_EQ(env.GetSettings().svpType, c.after) << c.type;
    }
}

TEST_F(EnvironmentTest, AppliedProfileAnswersDepthsFromTravelTimes)
{
    UseProfile(WriteProfile("p.asvp", "15.0 1450.0\r\n0.0 1500.0\r\n30.0 1480.0\r\n"));
    ASSERT_TRUE(env.IsRealSvp());
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], "3,0.00,1500.00,15.00,1450.00,30.00,1480.00");

    struct Case
    {
        const char* legend;
        double t;
        double z0;
        double depth;
    };
    const Case cases[] = {
        {"inside the first layer", 0.005, 0.0, 7.5},
        {"exactly at the second point", 0.01, 0.0, 15.0},
        {"into the second layer", 0.02, 0.0, 15.0 + 0.01 * 1450.0},
        {"from a start inside the first layer", 0.01, 5.0, 15.0 + (0.01 - 10.0 / 1500.0) * 1450.0},
        {"from a start on a point", 0.001, 15.0, 15.0 + 1.45},
        {"below the last point", 1.0, 0.0, 30.0 + (1.0 - 0.01 - 15.0 / 1450.0) * 1480.0},
        {"start below the last point", 0.5, 40.0, 40.0 + 0.5 * 1480.0},
        {"no time", 0.0, 3.0, 3.0},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(env.GetDepthFromTravelTime(c.t, c.z0), c.depth, 1e-9) << c.legend;
}

// A recording line that starts records what is in force: the applied
// profile (to the outputs, which record it too), or "Constant" for every
// other type.
TEST_F(EnvironmentTest, AStartingLineRecordsTheProfileInForce)
{
    UseProfile(WriteProfile("line.asvp", "0.0 1450.0\r\n20.0 1470.0\r\n"));
    sent.clear();
    recorded.clear();
    env.RecordCurrentProfile();
    EXPECT_EQ(sent, (std::vector<std::string>{"2,0.00,1450.00,20.00,1470.00"}));
    EXPECT_TRUE(recorded.empty());

    Configure([](SEnvironmentDialogValues& v) { v.svpType = CEnvironment::SvpTypeProbe; });
    sent.clear();
    recorded.clear();
    env.RecordCurrentProfile();
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(recorded, (std::vector<std::string>{"Constant"}));
}

TEST_F(EnvironmentTest, PointsAboveTheSurfaceGiveNoLayer)
{
    // Points above the surface drop out: the surface keeps its own velocity,
    // and no layer has a zero or negative thickness.
    double deepest = 20.0;
    env.SetChannelDepthSource([&deepest] { return deepest; });
    UseProfile(WriteProfile("above.asvp", "-10.0 1500.0\r\n-5.0 1490.0\r\n0.0 1480.0\r\n10.0 1470.0\r\n"));
    auto p = env.GetAppliedProfile();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->depth, (std::vector<double>{0.0, 10.0}));
    EXPECT_EQ(p->velocity, (std::vector<double>{1480.0, 1470.0}));
    EXPECT_NEAR(env.GetSoundVelocity(), (10 * 1480.0 + 10 * 1470.0) / 20.0, 1e-9);
    EXPECT_NEAR(env.GetDepthFromTravelTime(10.0 / 1480.0, 0.0), 10.0, 1e-9);

    // A file of nothing but such points applies no profile at all.
    ClearMessageBoxRecord();
    UseProfile(WriteProfile("all-above.asvp", "-10.0 1500.0\r\n-5.0 1490.0\r\n"));
    EXPECT_EQ(env.GetAppliedProfile(), p) << "the profile in force stays";
    EXPECT_EQ(MessageBoxRecord().size(), 1u);
}

TEST_F(EnvironmentTest, DepthFromTravelTimeWithoutProfileIsZero)
{
    EXPECT_EQ(env.GetDepthFromTravelTime(0.1, 2.0), 0.0);
}

TEST_F(EnvironmentTest, ProfileVelocityFollowsTheDeepestChannel)
{
    double deepest = 0.0;
    env.SetChannelDepthSource([&deepest] { return deepest; });
    UseProfile(WriteProfile("p.asvp", "10.0 1500.0\r\n20.0 1480.0\r\n"));
    // No channel depth yet: the stored mean stands.
    EXPECT_EQ(env.GetSoundVelocity(), 1500.0);
    deepest = 5.0;  // above the first point, which became a surface layer
    EXPECT_EQ(env.GetSoundVelocity(), 1500.0);
    deepest = 40.0;
    EXPECT_NEAR(env.GetSoundVelocity(), (20 * 1500.0 + 20 * 1480.0) / 40.0, 1e-9);
    EXPECT_NEAR(env.GetMeanSoundVelocity(15.0, 25.0), (5 * 1500.0 + 5 * 1480.0) / 10.0, 1e-9);
    EXPECT_NEAR(env.GetMeanSoundVelocity(25.0, 15.0), (5 * 1500.0 + 5 * 1480.0) / 10.0, 1e-9);
    EXPECT_EQ(env.GetMeanSoundVelocity(30.0, 30.0), 1480.0);
}

TEST_F(EnvironmentTest, UnreadableProfileFallsBackToConstant)
{
    UseProfile("missing.asvp");
    EXPECT_EQ(env.GetSettings().svpType, CEnvironment::SvpTypeConstant);
    EXPECT_EQ(BoxTexts(),
              (std::vector<std::string>{"Could not read Svp file\nNo file applied\nFall back to constant SVP"}));
    EXPECT_EQ(MessageBoxRecord()[0].flags, MB_ICONEXCLAMATION);
    EXPECT_EQ(env.GetDepthFromTravelTime(0.1, 0.0), 0.0);
    EXPECT_TRUE(sent.empty());
}

TEST_F(EnvironmentTest, MalformedNewProfileLeavesTheCurrentOneInForce)
{
    UseProfile(WriteProfile("good.asvp", "0.0 1500.0\r\n"));
    auto before = env.GetAppliedProfile();
    ASSERT_TRUE(before);

    std::ofstream(dir / "bad.asvp", std::ios::binary) << "( SoundVelocity 1.00 )\r\nnot a row\r\n1.0 9999.0\r\n";
    env.SetPendingProfile(TRUE, dir.string(), "bad.asvp");
    env.ApplyNewProfile();

    EXPECT_EQ(env.GetAppliedProfile(), before);
    EXPECT_EQ(env.GetSettings().svpType, CEnvironment::SvpTypeProfile);
    EXPECT_EQ(env.GetSettings().svpFileName, "good.asvp");
    EXPECT_NEAR(env.GetDepthFromTravelTime(0.01, 0.0), 15.0, 1e-9);
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0], "Could not read Svp file\nNo file applied\nThe current profile stays in use");
}

TEST_F(EnvironmentTest, AutomaticNewProfileIsAppliedAtOnce)
{
    UseProfile(WriteProfile("old.asvp", "0.0 1500.0\r\n"));
    // The previous file was a CALC file: the delivered .asvp is still read.
    Configure([](SEnvironmentDialogValues& v) { v.extension = "cal"; });
    WriteProfile("new.asvp", "0.0 1450.0\r\n");
    env.SetPendingProfile(TRUE, dir.string() + "\\", "new.asvp");
    env.ApplyNewProfile();
    EXPECT_TRUE(MessageBoxRecord().empty());
    EXPECT_EQ(env.GetSettings().svpFileName, "new.asvp");
    EXPECT_EQ(env.GetSettings().svpFormat, static_cast<DWORD>(CSvpProfile::FormatAsvp));
    EXPECT_NEAR(env.GetDepthFromTravelTime(0.01, 0.0), 14.5, 1e-9);
    EXPECT_EQ(sent.back(), "1,0.00,1450.00");
}

TEST_F(EnvironmentTest, AnnouncedProfileReachesTheMainFrame)
{
    WriteProfile("new.asvp", "0.0 1450.0\r\n");
    std::thread deliverer([this] { EXPECT_TRUE(env.AnnounceNewProfile(TRUE, dir.string(), "new.asvp")); });
    deliverer.join();
    auto posts = Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].message, app::WM_ES_ENVIRONMENTCHANGED);
    env.ApplyNewProfile();  // what the main frame does with it
    EXPECT_NEAR(env.GetDepthFromTravelTime(0.01, 0.0), 14.5, 1e-9);

    SetMainWindow(0);
    EXPECT_FALSE(env.AnnounceNewProfile(TRUE, dir.string(), "new.asvp"));
}

TEST_F(EnvironmentTest, ProfilesArrivingWhileTheQuestionIsOpenWaitAsTheNewestAndNeverNestIt)
{
    for (const char* name : {"a.asvp", "b.asvp", "c.asvp"})
        WriteProfile(name, "0.0 1450.0\r\n");
    env.SetPendingProfile(FALSE, dir.string(), "a.asvp");
    int questions = 0;
    int depth = 0;
    SetMessageBoxPresenter([&](HWND, const std::string&, const std::string&, UINT) {
        ++questions;
        ++depth;
        // The box's loop handles the next profiles' messages.
        for (const char* name : {"b.asvp", "c.asvp"}) {
            env.SetPendingProfile(FALSE, dir.string(), name);
            env.ApplyNewProfile();
        }
        --depth;
        return depth == 0 ? IDYES : IDNO;
    });
    dialogAnswer = TRUE;
    env.ApplyNewProfile();
    EXPECT_EQ(questions, 1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].fileName, "c.asvp");
    // Nothing is announced again: the newest was the one answered.
    EXPECT_TRUE(Posts().empty());

    // One that comes while the dialog is open is asked about after it.
    env.SetDialogRunner([this](SEnvironmentDialogValues&) {
        env.SetPendingProfile(FALSE, dir.string(), "a.asvp");
        env.ApplyNewProfile();
        return FALSE;
    });
    env.ApplyNewProfile();
    EXPECT_EQ(questions, 2);
    auto posts = Posts();
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].message, app::WM_ES_ENVIRONMENTCHANGED);
}

TEST_F(EnvironmentTest, ManualNewProfileAsksAndOpensTheDialogPreset)
{
    WriteProfile("new.asvp", "0.0 1450.0\r\n");
    env.SetPendingProfile(FALSE, dir.string(), "new.asvp");

    SetMessageBoxPresenter([](HWND, const std::string&, const std::string&, UINT) { return IDNO; });
    env.ApplyNewProfile();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"A new Sound Velocity Profile was loaded.  \nApply it now ?\n"}));
    EXPECT_EQ(MessageBoxRecord()[0].flags, MB_YESNO | MB_ICONQUESTION);

    SetMessageBoxPresenter({});  // headless: the default button, Yes
    dialogAnswer = TRUE;
    env.ApplyNewProfile();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].svpType, CEnvironment::SvpTypeProfile);
    EXPECT_EQ(shown[0].fileName, "new.asvp");
    EXPECT_EQ(shown[0].folder, dir.string());
    EXPECT_TRUE(env.IsRealSvp());
    EXPECT_NEAR(env.GetDepthFromTravelTime(0.01, 0.0), 14.5, 1e-9);
}

TEST_F(EnvironmentTest, EnvironmentCommandDuringReplayNeedsTheChangeFlag)
{
    EXPECT_TRUE(env.IsEnvironmentCommandEnabled(FALSE));
    EXPECT_FALSE(env.IsEnvironmentCommandEnabled(TRUE));
    env.SetUpdateFlag(TRUE);  // opens the dialog at once
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_TRUE(env.IsEnvironmentCommandEnabled(TRUE));
}

TEST_F(EnvironmentTest, DefaultsKeepTheAbsorptionDepth)
{
    Configure([](SEnvironmentDialogValues& v) {
        v.svpType = CEnvironment::SvpTypeComputed;
        v.salinity = 12.0;
        v.constantVelocity = 1400.0;
    });
    env.SetDefaults();
    CEnvironment::Settings s = env.GetSettings();
    EXPECT_EQ(s.svpType, 0u);
    EXPECT_EQ(s.salinity, 35.0);
    EXPECT_EQ(s.svpConstant, 1500.0);
    EXPECT_EQ(s.svpFileName, "1500.asvp");
    EXPECT_EQ(s.svpFilePath, "C:\\QY210\\svp\\");
    EXPECT_EQ(s.depth, 250.0);
}

namespace {

HKEY Root()
{
    return CRegistrySupport::UserRootKey();
}

std::string StoredText(const char* name)
{
    std::string value = "<missing>";
    CRegistrySupport().GetString(Root(), "Environment", name, value, FALSE);
    return value;
}

DWORD StoredDword(const char* name)
{
    DWORD value = 0xDEAD;
    CRegistrySupport().GetDword(Root(), "Environment", name, value, FALSE);
    return value;
}

}  // namespace

TEST_F(EnvironmentTest, FirstLoadWritesEveryDefault)
{
    env.LoadUserSettings();
    EXPECT_EQ(StoredDword("dwSvpType"), 0u);
    EXPECT_EQ(StoredText("SvpConstant"), "1500.000000");
    EXPECT_EQ(StoredText("SvpComputed"), "1500.000000");
    EXPECT_EQ(StoredText("SvpConstFromFile"), "1500.000000");
    EXPECT_EQ(StoredText("SvpReal"), "1500.000000");
    EXPECT_EQ(StoredDword("dwWaterType"), 1u);
    EXPECT_EQ(StoredText("Salinity"), "35.000000");
    EXPECT_EQ(StoredDword("TemperatureType"), 0u);
    EXPECT_EQ(StoredText("TempConstant"), "10.000000");
    EXPECT_EQ(StoredText("TempSensor"), "10.000000");
    EXPECT_EQ(StoredText("Ph"), "8.000000");
    EXPECT_EQ(StoredText("Depth"), "250.000000");
    EXPECT_EQ(StoredText("SvpFileName"), "1500.asvp");
    EXPECT_EQ(StoredDword("SvpFormat"), 4u);
    EXPECT_EQ(StoredText("SvpFileExt"), "asvp");
    EXPECT_EQ(StoredText("SvpFilePath"), "C:\\QY210\\svp\\");
    HKEY user = registry.OpenKey(Root(), "Environment\\User", FALSE);
    EXPECT_NE(user, nullptr);
    registry.CloseKey(user);
    EXPECT_EQ(recorded, (std::vector<std::string>{"Constant"}));
}

TEST_F(EnvironmentTest, LoadAppliesTheStoredProfile)
{
    WriteProfile("stored.asvp", "0.0 1450.0\r\n");
    registry.SetDword(Root(), "Environment", "dwSvpType", 3);
    registry.SetString(Root(), "Environment", "SvpFilePath", dir.string());
    registry.SetString(Root(), "Environment", "SvpFileName", "stored.asvp");
    env.LoadUserSettings();
    EXPECT_TRUE(env.IsRealSvp());
    EXPECT_NEAR(env.GetDepthFromTravelTime(0.01, 0.0), 14.5, 1e-9);
    EXPECT_EQ(sent, (std::vector<std::string>{"1,0.00,1450.00"}));
    EXPECT_TRUE(recorded.empty());
}

TEST_F(EnvironmentTest, UnreadableStoredProfileIsStoredAsConstant)
{
    registry.SetDword(Root(), "Environment", "dwSvpType", 3);
    registry.SetString(Root(), "Environment", "SvpFilePath", dir.string());
    env.LoadUserSettings();  // 1500.asvp is not there
    EXPECT_EQ(StoredDword("dwSvpType"), 0u);
    EXPECT_EQ(MessageBoxRecord().size(), 1u);
    EXPECT_EQ(env.GetSoundVelocity(), 1500.0);
}

TEST_F(EnvironmentTest, StoredValuesThatMakeNoSenseAreNotTaken)
{
    registry.SetString(Root(), "Environment", "TempSensor", "45.000000");
    registry.SetString(Root(), "Environment", "SvpConstant", "nan");
    registry.SetString(Root(), "Environment", "Salinity", "inf");
    env.LoadUserSettings();
    CEnvironment::Settings s = env.GetSettings();
    EXPECT_EQ(s.tempSensor, 10.0);
    EXPECT_EQ(s.svpConstant, 1500.0);
    EXPECT_EQ(s.salinity, 35.0);
    EXPECT_EQ(env.GetSoundVelocity(), 1500.0);
}

TEST_F(EnvironmentTest, DialogChangesAndShutdownAreStored)
{
    {
        CEnvironment local;
        local.SetDialogRunner([](SEnvironmentDialogValues& v) {
            v.constantVelocity = 1488.5;
            v.salinity = 7.0;
            return TRUE;
        });
        local.LoadUserSettings();
        local.OnEnvironment();
        EXPECT_EQ(StoredText("SvpConstant"), "1488.500000");
        EXPECT_EQ(StoredText("Salinity"), "7.000000");
        local.SetProbeVelocity(1511.0);
    }
    EXPECT_EQ(StoredText("SvpReal"), "1511.000000");
}
