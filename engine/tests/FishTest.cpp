// Fish length from target strength per species, and the "Fish" key.
#include "engine/Fish.h"

#include "base/RegistrySupport.h"
#include "engine/tests/TestDetectionDialogs.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

class FishTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(reg.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0")); }
    void TearDown() override { reg.CloseRootKeys(); }
    std::string Stored(const char* name)
    {
        std::string s = "missing";
        HKEY key = reg.OpenKey(CRegistrySupport::UserRootKey(), "Fish", FALSE);
        if (key == nullptr)
            return s;
        DWORD type = 0;
        char buffer[64] = {};
        DWORD size = sizeof buffer;
        if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS)
            s = type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(buffer)) : std::string(buffer);
        reg.CloseKey(key);
        return s;
    }

    CTempHives hives;
    CRegistrySupport reg;
    CTestDetectionDialogs dialogs;
};

TEST_F(FishTest, FreshRegistryGetsTheDefaults)
{
    CFish fish;
    EXPECT_EQ(Stored("Type"), "0");
    EXPECT_EQ(Stored("ConvertValue"), "-62.000000");
    for (const char* name : {"WhitefishOffset", "HerringOffset", "AnchovyOffset", "MackerelOffset"})
        EXPECT_EQ(Stored(name), "0.000000") << name;
    EXPECT_EQ(fish.GetConstant(), -62.0);
}

TEST_F(FishTest, LengthsFollowTheSpeciesConstants)
{
    struct Row
    {
        int type;
        double convert;
    };
    const Row rows[] = {{0, -62.0}, {1, -63.0}, {2, -71.0}, {3, -86.0}, {7, -62.0}, {-1, -62.0}};
    for (const Row& r : rows)
        EXPECT_EQ(CFish::ConvertValueOf(r.type), r.convert) << "type " << r.type;
    EXPECT_NEAR(CFish::LengthFromTs(-43.0, -63.0), 10.0, 1e-12) << "herring, -43 dB";
    EXPECT_NEAR(CFish::LengthFromTs(-43.0, -69.0), 19.9526, 1e-4);
}

TEST_F(FishTest, DialogChangesSpeciesAndOffsets)
{
    CFish fish(CRegistrySupport::UserRootKey(), &dialogs);
    dialogs.fish = [](CFish::DialogValues& v) {
        v.Type = CFish::Herring;
        v.Offsets[CFish::Herring] = 6.0;
        return true;
    };
    EXPECT_TRUE(fish.ShowDialog());
    EXPECT_EQ(fish.GetConstant(), -69.0);
    EXPECT_NEAR(fish.GetLength(-43.0), 19.95, 0.01);
    EXPECT_EQ(Stored("Type"), "1");
    EXPECT_EQ(Stored("HerringOffset"), "6.000000");

    dialogs.fish = [](CFish::DialogValues& v) {
        v.Type = CFish::Mackerel;
        v.Offsets[CFish::Mackerel] = -3.0;
        return true;
    };
    fish.ShowDialog();
    EXPECT_EQ(Stored("ConvertValue"), "-86.000000");
    EXPECT_EQ(fish.GetCurrentOffset(), -3.0);

    // Cancel changes nothing; the next start reads what was saved.
    dialogs.fish = [](CFish::DialogValues& v) {
        v.Type = CFish::Anchovy;
        return false;
    };
    fish.ShowDialog();
    CFish again;
    EXPECT_EQ(again.GetType(), CFish::Mackerel);
    EXPECT_EQ(again.GetConstant(), -86.0 + 3.0);

    CFish closed(nullptr);
    EXPECT_FALSE(closed.ShowDialog()) << "no key open";
}

TEST_F(FishTest, UnreadableNumbersKeepTheDefaults)
{
    reg.SetString(CRegistrySupport::UserRootKey(), "Fish", "ConvertValue", "nan");
    reg.SetDword(CRegistrySupport::UserRootKey(), "Fish", "Type", 9);
    CFish fish;
    EXPECT_EQ(fish.GetConvertValue(), -62.0);
    EXPECT_EQ(fish.GetCurrentOffset(), 0.0) << "type outside the table";
    EXPECT_TRUE(std::isfinite(fish.GetLength(-40.0)));
}

}  // namespace
