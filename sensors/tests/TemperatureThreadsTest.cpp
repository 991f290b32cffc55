// The temperature's reading is written by the serial reader, the units'
// receive threads and replay at once, while pings, outputs and the status
// bar ask for it and the environment computes its velocity from it: every
// answer must be one whole reading, its kelvin, Celsius, Fahrenheit and
// resistance from the same source, never a mix of two.
#include "sensors/Temperature.h"

#include "base/RegistrySupport.h"
#include "platform/TempHives.h"
#include "sensors/Environment.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>
#include <vector>

namespace {

void Receive(CSerialDeviceLink& sensor, const std::string& bytes)
{
    CTarnMessage message(bytes, 16);
    sensor.OnCmdMsg(ID_SERIALCOM_RECEIVED, 0, &message, nullptr);
}

const char* const kUnit = "T38 38 kHz";
const double kOhms[] = {10000.0, 20000.0};
// The sentences' and replay's temperatures, in degrees C.
const double kSentenceCelsius[] = {12.5, 3.5};
const double kReplayCelsius = 8.25;

double Fahrenheit(double celsius)
{
    return celsius * 1.8 + 32.0;
}

// A reading as one source gives it whole: the thermistor's with its
// resistance, a sentence's or replay's without; or none yet.
bool IsWhole(const CTemperature::SReading& r)
{
    if (r.ohms != 0.0) {
        if (r.ohms != kOhms[0] && r.ohms != kOhms[1])
            return false;
        const double kelvin = CTemperature::ResistanceToKelvin(r.ohms);
        return r.kelvin == kelvin && r.celsius == kelvin - 273.0 && r.fahrenheit == Fahrenheit(kelvin - 273.0);
    }
    if (r.celsius == 0.0 && r.kelvin == 0.0 && r.fahrenheit == 0.0)
        return !r.valid;
    const bool known =
        r.celsius == kSentenceCelsius[0] || r.celsius == kSentenceCelsius[1] || r.celsius == kReplayCelsius;
    return known && r.kelvin == 273.0 + r.celsius && r.fahrenheit == Fahrenheit(r.celsius);
}

std::vector<double> KnownCelsius()
{
    return {CTemperature::ResistanceToKelvin(kOhms[0]) - 273.0, CTemperature::ResistanceToKelvin(kOhms[1]) - 273.0,
            kSentenceCelsius[0], kSentenceCelsius[1], kReplayCelsius};
}

bool IsKnown(double celsius)
{
    for (double t : KnownCelsius())
        if (celsius == t)
            return true;
    return false;
}

TEST(TemperatureThreads, ReadingsStayWholeWhileEveryRoadWritesThem)
{
    CTempHives hives;
    CRegistrySupport registry;
    ASSERT_TRUE(registry.OpenRootKeys("Zelvar\\EchoSounder\\QY210\\1.0\\"));
    CEnvironment environment;
    environment.LoadUserSettings();
    CLiveSensorHost host;
    CTemperature temperature(environment, host);
    temperature.ShowDialogData();  // the log is written as well

    // The velocity computed from the sensor's temperature, which has one
    // valid reading before the threads begin. The sensor has no settings
    // key: the choices are taken, nothing is written.
    temperature.StoreSettings(CTemperature::kSerial, kUnit);
    Receive(temperature, "$YXMTW,12.5,C");
    environment.SetDialogRunner([](SEnvironmentDialogValues& v) {
        v.svpType = CEnvironment::SvpTypeComputed;
        v.temperatureType = 1;
        return TRUE;
    });
    environment.OnEnvironment();
    const CEnvironment::Settings water = environment.GetSettings();
    ASSERT_EQ(water.temperatureType, 1u);
    const double salinity = water.waterType ? water.salinity : 0.0;
    std::vector<double> velocities;
    for (double t : KnownCelsius())
        velocities.push_back(CEnvironment::ComputeVelocity(t, salinity));
    const auto knownVelocity = [&](double c) {
        for (double v : velocities)
            if (std::fabs(c - v) < 1e-9)
                return true;
        return false;
    };
    ASSERT_TRUE(knownVelocity(environment.GetSoundVelocity()));

    constexpr int kRounds = 2000;
    std::atomic<int> writersDone{0};
    std::atomic<int> wrong{0};
    std::atomic<long> reads{0};
    std::vector<std::thread> threads;
    // The units' receive threads.
    for (int unit = 0; unit < 2; ++unit)
        threads.emplace_back([&, unit] {
            for (int i = 0; i < kRounds; ++i)
                temperature.SetResistance(kUnit, kOhms[(i + unit) % 2]);
            ++writersDone;
        });
    // The serial reader.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i)
            Receive(temperature, i % 2 ? "$YXMTW,3.5,C" : "$YXMTW,12.5,C");
        ++writersDone;
    });
    // Replay: a temperature, and 0.0 that marks none.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i)
            temperature.SetReplayTemperature(i % 3 ? kReplayCelsius : 0.0);
        ++writersDone;
    });
    // The operator switches between the line and the unit's input.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds / 10; ++i)
            temperature.StoreSettings(i % 2 ? CTemperature::kSerial : CTemperature::kAnalog, kUnit);
        ++writersDone;
    });
    constexpr int kWriters = 5;
    // Pings, outputs and the status bar.
    for (int reader = 0; reader < 3; ++reader)
        threads.emplace_back([&] {
            while (writersDone.load() < kWriters || reads.load() < 1000) {
                if (!IsWhole(temperature.GetReading()))
                    ++wrong;
                if (const auto t = temperature.GetTemperature(); t && !IsKnown(*t))
                    ++wrong;
                double celsius = 0.0;
                if (temperature.GetTemperature(celsius) == 0 && !IsKnown(celsius))
                    ++wrong;
                if (!knownVelocity(environment.GetSoundVelocity()))
                    ++wrong;
                ++reads;
            }
        });
    for (auto& t : threads)
        t.join();

    EXPECT_EQ(wrong.load(), 0) << "of " << reads.load() << " reads";
    EXPECT_TRUE(IsWhole(temperature.GetReading()));
    EXPECT_EQ(environment.GetSettings().temperatureType, 1u) << "every reading the environment got was valid";
    EXPECT_FALSE(temperature.Monitor().Text().empty());
    registry.CloseRootKeys();
}

}  // namespace
