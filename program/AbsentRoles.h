// The named null objects of the roles the program has no object for yet:
// each link of the program starts at one (TLink) and keeps it until a later
// object in the role is set. Each answers as if its object were not there:
// no value, nothing taken.
#pragma once

#include "engine/EchoTraceTelegrams.h"
#include "engine/EngineExtras.h"
#include "engine/PingerLink.h"
#include "outputs/LobeCommands.h"
#include "recording/StoreInterfaces.h"
#include "sensors/AnalogMotionInput.h"
#include "sensors/DepthUser.h"
#include "sensors/MotionSensor.h"
#include "sensors/NavigationSteps.h"
#include "sensors/NetSensors.h"
#include "sensors/SpeedSource.h"
#include "sensors/ThermistorInput.h"
#include "sensors/TrawlSource.h"
#include "sensors/WaterTemperature.h"
#include "serialcom/device/DepthTelegramHub.h"
#include "transceivers/HardwareStatusSink.h"

namespace app {

// A depth line of a sensor: its turn passes.
class CAbsentDepthUser final : public IDepthUser
{
public:
    void TakeDepth(const DepthReport&) override {}
};

// The heave sensor's motion: none, so the units' own motion words stay.
class CAbsentMotionSensor final : public IMotionSensor
{
public:
    bool GetMotionAtTime(std::uint64_t, const TransducerOffsets&, double[4]) override { return false; }
    bool GetSensorOffsets(double& along, double& athwart, double& depth) const override
    {
        along = athwart = depth = 0.0;
        return false;
    }
    void ResetHistory() override {}
};

// The heave sensor's analog input: the units' motion voltages go nowhere.
class CAbsentAnalogMotionInput final : public IAnalogMotionInput
{
public:
    void AddAnalogSamples(const std::string&, const AnalogMotionSample*, int) override {}
};

// The water temperature sensor's analog input: the units' thermistor
// readings go nowhere.
class CAbsentThermistorInput final : public IThermistorInput
{
public:
    void SetResistance(const std::string&, double) override {}
};

// The trawl sensor: no trawl data, so each ping's input header stays zero.
class CAbsentTrawlSource final : public ITrawlSource
{
public:
    bool GetTrawlData(TrawlRecord&) const override { return false; }
};

// The hardware status window: the units' status answers reach no one.
class CAbsentHardwareStatus final : public IHardwareStatusSink
{
public:
    void ShowStatus(const BYTE*, std::size_t) override {}
    void FormatStatus(const BYTE*, std::size_t) override {}
};

// The purse seine's net sensors: none has a reading, so no echogram marks one.
class CAbsentNetSensors final : public INetSensors
{
public:
    void StampSensor(int states[kSensors], double depths[kSensors]) const override
    {
        for (int i = 0; i < kSensors; ++i) {
            states[i] = kNone;
            depths[i] = 0.0;
        }
    }
};

class CAbsentSpeedSource final : public ISpeedSource
{
public:
    bool GetSpeedKnots(double&) const override { return false; }
};

// Pinger mode: never on, never synchronised; "Pinger Mode" stays greyed.
class CAbsentPingerLink final : public IPingerLink
{
public:
    void OnPingTime(std::uint64_t) override {}
    bool IsPingTimingOn() const override { return false; }
    double GetPingTimingRange() const override { return 0.0; }
    bool IsPingerActive() const override { return false; }
    double GetPingerRange() const override { return 0.0; }
    int ProcessPingerSamples(std::int16_t*, int count, double, std::uint64_t) override { return count; }
    bool Synchronise() override { return false; }
    void SetActive(bool) override {}
    bool GetPingInterval(double&) override { return false; }
    bool GetPingerScaledInterval(double&) override { return false; }
    bool GetPingerDepth(double&) const override { return false; }
    bool GetPulseLength(double&) const override { return false; }
};

// The navigation object: no forced clock update, no clock pane or measured
// speed to show, no positions expected.
class CAbsentNavigationSteps final : public INavigationSteps
{
public:
    bool IsClockRequest() override { return false; }
    void EndForceUpdate() override {}
    void SetClockTime(const SYSTEMTIME&, const std::string&, const std::string&) override {}
    void SetMeasuredSpeed(double) override {}
    bool ExpectsPositions() override { return false; }
    bool GetNavigationSettings(SNavigationSettings&) override { return false; }
};

// The engine's extras: their commands stay greyed.
class CAbsentEngineExtras final : public IEngineExtras
{
public:
    bool HasExtra(unsigned) override { return false; }
    void SetSecondLayer(bool) override {}
    void SetExpCalculation(bool) override {}
    void FrequencySweep() override {}
};

// The water temperature sensor: the temperature pane stays empty.
class CAbsentWaterTemperature final : public IWaterTemperature
{
public:
    std::optional<double> GetTemperature() const override { return std::nullopt; }
    void SetReplayTemperature(double) override {}
};

// The lobe interface: a lobe command goes nowhere.
class CAbsentLobeCommands final : public ILobeCommands
{
public:
    void HandleCommand(const std::string&, std::uint64_t) override {}
};

// The lobe link's echo-trace telegrams: a channel's single targets go
// nowhere.
class CAbsentEchoTraceTelegrams final : public IEchoTraceTelegrams
{
public:
    void SendTelegram(int, std::uint64_t, const SingleTargetRecord&) override {}
};

// The raw-data output: the recorder's stream goes nowhere.
class CAbsentRawDataSink final : public zv::recording::IRawDataSink
{
public:
    bool IsEnabled() const override { return false; }
    bool Send(std::span<const std::uint8_t>) override { return false; }
};

// The serial I/O hub: depths keep their heave.
class CAbsentDepthTelegramHub final : public IDepthTelegramHub
{
public:
    bool IsWithoutHeave() const override { return false; }
};

}  // namespace app
