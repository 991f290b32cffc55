#include "base/DepthUnit.h"
#include "base/RegistrySupport.h"
#include "base/TemperatureUnit.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

namespace {

// Every test leaves the process-wide selection as it found it.
class Units : public ::testing::Test
{
protected:
    void TearDown() override
    {
        CDepthUnit::SetUnit(CDepthUnit::kMeter);
        CTemperatureUnit::SetUnit(CTemperatureUnit::kCelsius);
    }
};

TEST_F(Units, SelectionAndConversion)
{
    EXPECT_EQ(CDepthUnit::GetUnit(), CDepthUnit::kMeter);
    EXPECT_EQ(CDepthUnit::SetUnit(1), 1);
    EXPECT_DOUBLE_EQ(CDepthUnit::FromMeters(100), 328.0839895013123);
    EXPECT_DOUBLE_EQ(CDepthUnit::ToMeters(CDepthUnit::FromMeters(100)), 100.0);
    EXPECT_EQ(CDepthUnit::GetUnitSymbol(), " ft");

    EXPECT_EQ(CDepthUnit::SetUnit(4), 4);
    EXPECT_EQ(CDepthUnit::SetUnit(-1), -1);
    EXPECT_EQ(CDepthUnit::GetUnit(), 1) << "out-of-range selections are ignored";

    CDepthUnit::SetUnit(3);
    EXPECT_DOUBLE_EQ(CDepthUnit::FromMeters(1.65), 1.0);
    EXPECT_EQ(CDepthUnit::GetUnitSymbol(), " pb");
    CDepthUnit::SetUnit(2);
    EXPECT_DOUBLE_EQ(CDepthUnit::ToMeters(1.0), 1.8288);
    EXPECT_EQ(CDepthUnit::GetNumberFormat(), "%03.0f");

    EXPECT_EQ(CDepthUnit::GetUnitName(0), "Meter");
    EXPECT_EQ(CDepthUnit::GetUnitName(3), "Passi Braccia");
    EXPECT_EQ(CDepthUnit::GetUnitName(4), "");
}

TEST_F(Units, UnitObjectsDoNotDisturbTheSelectionOrTheTables)
{
    CDepthUnit::SetUnit(2);
    {
        CDepthUnit temporary;
        CTemperatureUnit other;
        (void)temporary;
        (void)other;
    }
    EXPECT_EQ(CDepthUnit::GetUnit(), 2);
    EXPECT_EQ(CDepthUnit::GetRange(0, 0), 2.0);
    EXPECT_EQ(CDepthUnit::GetRangeCount(0), 20);
}

TEST_F(Units, PresetTablesClampAndCount)
{
    EXPECT_EQ(CDepthUnit::GetRange(-3, 0), 1.0);
    EXPECT_EQ(CDepthUnit::GetRange(99, 0), 15000.0);
    EXPECT_EQ(CDepthUnit::GetRangeCount(0), 24);
    EXPECT_EQ(CDepthUnit::GetRangeStartCount(0), 19);
    EXPECT_EQ(CDepthUnit::GetRangeCount(1), 18);
    EXPECT_EQ(CDepthUnit::GetRangeStart(0, 1), -50.0);
    EXPECT_EQ(CDepthUnit::GetRangeStart(99, 1), 50.0);
    EXPECT_EQ(CDepthUnit::GetFineStepCount(), 17);
    EXPECT_EQ(CDepthUnit::GetFineStep(17), 20.0);
    EXPECT_EQ(CDepthUnit::GetRange(5, 7), 10.0) << "any other mode is the surface mode";

    CDepthUnit::SetUnit(1);
    EXPECT_EQ(CDepthUnit::GetRange(20, 0), 75000.0);
    EXPECT_EQ(CDepthUnit::GetRangeStart(18, 1), 100.0);
    EXPECT_EQ(CDepthUnit::GetFineStep(15), 30.0);

    // Mode 2 has no tables at all.
    for (int unit = 0; unit < CDepthUnit::kUnitCount; ++unit) {
        CDepthUnit::SetUnit(unit);
        EXPECT_EQ(CDepthUnit::GetRange(3, 2), 0.0);
        EXPECT_EQ(CDepthUnit::GetRangeStart(3, 2), 0.0);
        EXPECT_EQ(CDepthUnit::GetRangeCount(2), 0);
        EXPECT_EQ(CDepthUnit::GetRangeStartCount(2), 0);
        EXPECT_EQ(CDepthUnit::FindRange(100, 2), 0);
        EXPECT_EQ(CDepthUnit::FindRangeStart(100, 2), 0);
    }
}

TEST_F(Units, NearestPresetGoesUpWhenHalfWay)
{
    const struct
    {
        double value;
        int index;
    } cases[] = {
        {12.5, 6}, {12, 5}, {0.5, 0}, {20000, 24}, {15000, 24}, {1, 0}, {1.5, 1}, {-5, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CDepthUnit::FindRange(c.value, 0), c.index) << c.value;
    EXPECT_EQ(CDepthUnit::FindRangeStart(-8.6, 1), 3) << "-10 is nearer than -7";
    EXPECT_EQ(CDepthUnit::FindRangeStart(-8.5, 1), 4);
    EXPECT_EQ(CDepthUnit::FindFineStep(0.05), 1);
    EXPECT_EQ(CDepthUnit::FindFineStep(1000), 17);
}

TEST_F(Units, TemperatureTextsAndSelection)
{
    EXPECT_EQ(CTemperatureUnit::FormatTemperature(10), "10.0 \xC2\xB0"
                                                       "C");
    EXPECT_EQ(CTemperatureUnit::FormatTemperature(-1.25), "-1.2 \xC2\xB0"
                                                          "C");
    EXPECT_EQ(CTemperatureUnit::SetUnit(1), 1);
    EXPECT_EQ(CTemperatureUnit::FormatTemperature(10), "50.0 \xC2\xB0"
                                                       "F");
    EXPECT_EQ(CTemperatureUnit::SetUnit(2), 2);
    EXPECT_EQ(CTemperatureUnit::GetUnit(), 1);
    EXPECT_EQ(CTemperatureUnit::GetUnitName(1), "Fahrenheit");
    EXPECT_EQ(CTemperatureUnit::GetUnitName(0), "Celsius");
    EXPECT_EQ(CTemperatureUnit::GetUnitName(7), "Celsius");
}

TEST_F(Units, SelectionsLiveUnderTheUnitsKey)
{
    CTempHives hives;
    CRegistrySupport registry;
    ASSERT_TRUE(registry.OpenRootKeys("Zelvar\\EchoSounder\\QY310\\1.0\\"));
    const HKEY root = CRegistrySupport::UserRootKey();

    // Nothing stored: the defaults are selected and written back.
    CDepthUnit::SetUnit(2);
    EXPECT_TRUE(CDepthUnit::ReadSetting(registry, root));
    EXPECT_TRUE(CTemperatureUnit::ReadSetting(registry, root));
    EXPECT_EQ(CDepthUnit::GetUnit(), 0);
    DWORD stored = 99;
    EXPECT_TRUE(registry.GetDword(root, "Units", "Depth", stored, FALSE));
    EXPECT_EQ(stored, 0u);
    EXPECT_TRUE(registry.GetDword(root, "Units", "Temperature", stored, FALSE));
    EXPECT_EQ(stored, 0u);

    CDepthUnit::SetUnit(3);
    CTemperatureUnit::SetUnit(1);
    EXPECT_TRUE(CDepthUnit::WriteSetting(registry, root));
    EXPECT_TRUE(CTemperatureUnit::WriteSetting(registry, root));
    CDepthUnit::SetUnit(0);
    CTemperatureUnit::SetUnit(0);
    CDepthUnit::ReadSetting(registry, root);
    CTemperatureUnit::ReadSetting(registry, root);
    EXPECT_EQ(CDepthUnit::GetUnit(), 3);
    EXPECT_EQ(CTemperatureUnit::GetUnit(), 1);

    // A value out of range (edited by hand) selects nothing.
    ASSERT_TRUE(registry.SetDword(root, "Units", "Depth", 9));
    CDepthUnit::ReadSetting(registry, root);
    EXPECT_EQ(CDepthUnit::GetUnit(), 3);
    registry.CloseRootKeys();
}

}  // namespace
