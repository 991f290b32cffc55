// The water temperature sensor without a line: the thermistor conversion,
// the sentence, replay, which source and transceiver it listens to, what
// the environment is handed, its settings and its log.
#include "sensors/Temperature.h"

#include "base/RegistrySupport.h"
#include "platform/MessageDispatcher.h"
#include "platform/TempHives.h"
#include "sensors/Environment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

void Receive(CSerialDeviceLink& sensor, const std::string& bytes)
{
    CTarnMessage message(bytes, 16);
    sensor.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
}

TEST(TemperatureConversion, ThermistorResistances)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        const char* legend;
        double ohms;
        double kelvin;
    } cases[] = {
        {"10 kilohm is the reference: 298 K", 10000.0, 298.0},
        {"0 ohm: no temperature", 0.0, 0.0},
        {"negative: no temperature", -5.0, 0.0},
        {"nan: no temperature", nan, 0.0},
        {"infinite: no temperature", inf, 0.0},
        {"a hundredth of an ohm passes absolute zero: no temperature", 0.01, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        EXPECT_NEAR(CTemperature::ResistanceToKelvin(c.ohms), c.kelvin, 1e-9);
    }
    // Colder water, higher resistance.
    EXPECT_LT(CTemperature::ResistanceToKelvin(20000.0), 290.0);
    EXPECT_GT(CTemperature::ResistanceToKelvin(5000.0), 305.0);
}

TEST(TemperatureConversion, Sentences)
{
    EXPECT_EQ(CTemperature::ParseSentence("$YXMTW,12.5,C*17"), 12.5);
    EXPECT_EQ(CTemperature::ParseSentence("$YXMTW,-1.5,C"), -1.5);
    EXPECT_FALSE(CTemperature::ParseSentence("$SDMTW,12.5,C"));
    EXPECT_FALSE(CTemperature::ParseSentence("$YXMTW,nan,C"));
    EXPECT_FALSE(CTemperature::ParseSentence("$YXMTW,,C"));
    EXPECT_FALSE(CTemperature::ParseSentence("$YXMTW"));
}

class TemperatureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(registry.OpenRootKeys("Zelvar\\EchoSounder\\QY210\\1.0\\"));
        ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Test\\Temperature", 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        environment.LoadUserSettings();
    }
    void TearDown() override
    {
        RegCloseKey(key);
        registry.CloseRootKeys();
    }
    // The operator's choice: the velocity computed with the sensor's
    // temperature.
    void UseSensorTemperature()
    {
        environment.SetDialogRunner([](SEnvironmentDialogValues& v) {
            v.svpType = CEnvironment::SvpTypeComputed;
            v.temperatureType = 1;
            return TRUE;
        });
        environment.OnEnvironment();
    }

    CTempHives hives;
    CRegistrySupport registry;
    CEnvironment environment;
    CLiveSensorHost host;
    HKEY key = nullptr;
};

// The sentence counts with the serial source only; the thermistor with the
// analog source and the chosen transceiver only; each reading reaches the
// environment.
TEST_F(TemperatureTest, EachSourceTakesItsOwnReadings)
{
    CTemperature temperature(environment, host);
    EXPECT_EQ(temperature.LoadSettings(key), 1) << "no transceiver chosen";
    EXPECT_FALSE(temperature.GetTemperature().has_value());

    Receive(temperature, "$YXMTW,12.5,C");
    EXPECT_FALSE(temperature.GetTemperature().has_value()) << "source off";
    ASSERT_TRUE(temperature.StoreSettings(CTemperature::kSerial, "T38 38 kHz"));
    Receive(temperature, "$YXMTW,12.5,C");
    CTemperature::SReading r = temperature.GetReading();
    EXPECT_TRUE(r.valid);
    EXPECT_DOUBLE_EQ(r.celsius, 12.5);
    EXPECT_DOUBLE_EQ(r.fahrenheit, 54.5);
    EXPECT_DOUBLE_EQ(r.kelvin, 285.5);
    temperature.SetResistance("T38 38 kHz", 10000.0);
    EXPECT_DOUBLE_EQ(temperature.GetReading().celsius, 12.5) << "serial source: the thermistor is not read";

    ASSERT_TRUE(temperature.StoreSettings(CTemperature::kAnalog, "T38 38 kHz"));
    Receive(temperature, "$YXMTW,3.5,C");
    temperature.SetResistance("T120 120 kHz", 20000.0);
    EXPECT_DOUBLE_EQ(temperature.GetReading().celsius, 12.5) << "neither the sentence nor another unit";
    temperature.SetResistance("T38 38 kHz", 10000.0);
    r = temperature.GetReading();
    EXPECT_TRUE(r.valid);
    EXPECT_NEAR(r.celsius, 25.0, 1e-9);
    EXPECT_NEAR(r.fahrenheit, 77.0, 1e-9);
    double celsius = 0.0;
    EXPECT_EQ(temperature.GetTemperature(celsius), 0);
    EXPECT_NEAR(celsius, 25.0, 1e-9);

    // A dead thermistor (0 ohm) is a reading that is not valid; a nan is
    // none at all.
    temperature.SetResistance("T38 38 kHz", 0.0);
    EXPECT_FALSE(temperature.GetTemperature().has_value());
    EXPECT_NE(temperature.GetTemperature(celsius), 0);
    temperature.SetResistance("T38 38 kHz", 10000.0);
    temperature.SetResistance("T38 38 kHz", std::numeric_limits<double>::quiet_NaN());
    EXPECT_TRUE(temperature.GetTemperature().has_value());
}

// The environment takes the sensor's reading for its computed velocity; a
// reading it cannot use leaves the temperature it has.
TEST_F(TemperatureTest, ReadingsMoveTheComputedVelocity)
{
    CTemperature temperature(environment, host);
    temperature.LoadSettings(key);
    ASSERT_TRUE(temperature.StoreSettings(CTemperature::kSerial, ""));
    UseSensorTemperature();
    Receive(temperature, "$YXMTW,20.0,C");
    EXPECT_NEAR(environment.GetSoundVelocity(), CEnvironment::ComputeVelocity(20.0, 35.0), 1e-9);
    Receive(temperature, "$YXMTW,35.0,C");  // outside the environment's range
    EXPECT_NEAR(environment.GetSoundVelocity(), CEnvironment::ComputeVelocity(20.0, 35.0), 1e-9);
    Receive(temperature, "$YXMTW,garbage,C");
    EXPECT_DOUBLE_EQ(temperature.GetReading().celsius, 35.0) << "no reading from garbage";
}

// A dead thermistor (0 ohm) on every ping: the environment keeps the
// computed velocity with the sensor's temperature for 40 pings, falls back
// to the constant temperature at the 41st and says so once.
TEST_F(TemperatureTest, FortyOneDeadThermistorReadingsFallBackOnce)
{
    std::vector<unsigned> statuses;
    HWND frame = CreateMessageWindow([&](HWND, UINT msg, WPARAM w, LPARAM) -> LRESULT {
        if (msg == 0x470)
            statuses.push_back(static_cast<unsigned>(w));
        return 0;
    });
    SetMainWindow(frame);
    const auto posted = [&] {
        MSG msg;
        while (PeekMessage(&msg))
            DispatchMessage(&msg);
        return std::count(statuses.begin(), statuses.end(), CEnvironment::IdsNoTemperatureSensor);
    };

    CTemperature temperature(environment, host);
    temperature.LoadSettings(key);
    ASSERT_TRUE(temperature.StoreSettings(CTemperature::kAnalog, "T38 38 kHz"));
    temperature.SetResistance("T38 38 kHz", 10000.0);
    UseSensorTemperature();
    ASSERT_EQ(environment.GetSettings().temperatureType, 1u);
    const double constant = environment.GetSettings().tempConstant;
    // A ping: the unit's reading, then the velocity it pings with.
    const auto ping = [&] {
        temperature.SetResistance("T38 38 kHz", 0.0);
        return environment.GetSoundVelocity();
    };
    for (int i = 0; i < 40; ++i)
        ping();
    EXPECT_EQ(environment.GetSettings().temperatureType, 1u) << "40 dead readings are borne";
    EXPECT_EQ(posted(), 0);
    // One good reading in between starts the count again.
    temperature.SetResistance("T38 38 kHz", 10000.0);
    environment.GetSoundVelocity();
    for (int i = 0; i < 40; ++i)
        ping();
    EXPECT_EQ(environment.GetSettings().temperatureType, 1u);
    EXPECT_EQ(posted(), 0);

    ping();  // the 41st in a row
    EXPECT_EQ(environment.GetSettings().temperatureType, 0u);
    EXPECT_NEAR(environment.GetSettings().svpComputed,
                CEnvironment::ComputeVelocity(
                    constant, environment.GetSettings().waterType ? environment.GetSettings().salinity : 0.0),
                1e-9);
    for (int i = 0; i < 50; ++i)
        ping();
    EXPECT_EQ(posted(), 1);
    SetMainWindow(0);
    DestroyWindow(frame);
}

// Replay: a temperature is a valid reading, 0.0 marks none.
TEST_F(TemperatureTest, ReplayedTemperatures)
{
    CTemperature temperature(environment, host);
    temperature.SetReplayTemperature(8.25);
    EXPECT_EQ(temperature.GetTemperature(), 8.25);
    temperature.SetReplayTemperature(0.0);
    EXPECT_FALSE(temperature.GetTemperature().has_value());
}

// Settings: Source and TransceiverSource are written when missing; an older
// Analog switch becomes the analog source and is written back as off.
TEST_F(TemperatureTest, SettingsAndTheOlderAnalogSwitch)
{
    const DWORD analog = 1;
    ASSERT_EQ(RegSetValueEx(key, "Analog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&analog), sizeof analog),
              ERROR_SUCCESS);
    const std::string unit = "T38 38 kHz";
    ASSERT_EQ(RegSetValueEx(key, "TransceiverSource", 0, REG_SZ, reinterpret_cast<const BYTE*>(unit.c_str()),
                            static_cast<DWORD>(unit.size() + 1)),
              ERROR_SUCCESS);
    CTemperature temperature(environment, host);
    EXPECT_EQ(temperature.LoadSettings(key), 0);
    EXPECT_EQ(temperature.GetSource(), CTemperature::kAnalog);
    EXPECT_EQ(temperature.GetTransceiverSource(), unit);
    DWORD v = 7;
    CRegistrySupport reg;
    EXPECT_TRUE(reg.GetDword(key, "", "Analog", v, FALSE));
    EXPECT_EQ(v, 0u);
    EXPECT_TRUE(reg.GetDword(key, "", "Source", v, FALSE));
    EXPECT_EQ(v, 2u);
}

// The log: nothing until the dialog has shown its data; then "Data not
// available" until the first reading replaces it.
TEST_F(TemperatureTest, LogOnceTheDialogShowsIt)
{
    CTemperature temperature(environment, host);
    temperature.StoreSettings(CTemperature::kAnalog, "T38 38 kHz");
    temperature.SetResistance("T38 38 kHz", 10000.0);
    EXPECT_EQ(temperature.Monitor().Text(), "");
    temperature.ShowDialogData();
    EXPECT_EQ(temperature.Monitor().Text(), "Data not available\r\n");
    temperature.SetResistance("T38 38 kHz", 10000.0);
    EXPECT_EQ(temperature.Monitor().Text(), "10000 ohm   25.0\u00B0C  77.0\u00B0F\r\n");
    temperature.SetDataDisplay(true);
    EXPECT_EQ(temperature.Monitor().Text(), "Data not available\r\n");
    EXPECT_FALSE(temperature.GetTemperature().has_value()) << "switching marks it not valid";
}

}  // namespace
