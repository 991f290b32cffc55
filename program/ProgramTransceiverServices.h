// What every transceiver unit of the program gets of it: the model, the
// channels' links, the search dialog while a unit is awaited, the status
// bar, the bell, the environment's water, the hardware status window and the
// sensors a unit feeds or reads. One object serves every unit of every
// sounder the program runs, and outlives them: operation control deletes the
// sounder before the program lets it go.
//
// Objects the program does not have yet are named null objects here, so a
// reader sees which link a later subsystem takes.
#pragma once

#include "sensors/AnalogMotionInput.h"
#include "sensors/ThermistorInput.h"
#include "sensors/TrawlSource.h"
#include "transceivers/HardwareStatusSink.h"
#include "transceivers/TransceiverServices.h"

#include <memory>

class CUnitSearchWait;

namespace app {

class CProgram;

// The hardware status window is not built yet: the units' status answers
// reach no one.
class CAbsentHardwareStatus final : public IHardwareStatusSink
{
public:
    explicit CAbsentHardwareStatus(const char* name) : m_name(name) {}
    void ShowStatus(const BYTE*, std::size_t) override {}
    void FormatStatus(const BYTE*, std::size_t) override {}
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

class CAbsentAnalogMotionInput final : public IAnalogMotionInput
{
public:
    explicit CAbsentAnalogMotionInput(const char* name) : m_name(name) {}
    void AddAnalogSamples(const std::string&, const AnalogMotionSample*, int) override {}
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

class CAbsentThermistorInput final : public IThermistorInput
{
public:
    explicit CAbsentThermistorInput(const char* name) : m_name(name) {}
    void SetResistance(const std::string&, double) override {}
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

class CAbsentTrawlSource final : public ITrawlSource
{
public:
    explicit CAbsentTrawlSource(const char* name) : m_name(name) {}
    bool GetTrawlData(TrawlRecord&) const override { return false; }
    const char* Name() const { return m_name; }

private:
    const char* m_name;
};

class CProgramTransceiverServices final : public ITransceiverServices
{
public:
    explicit CProgramTransceiverServices(CProgram& program);
    ~CProgramTransceiverServices() override;
    CProgramTransceiverServices(const CProgramTransceiverServices&) = delete;
    CProgramTransceiverServices& operator=(const CProgramTransceiverServices&) = delete;

    // Once the main frame exists, on the user-interface thread: the search
    // dialog runs on it, over the frame.
    void Init();

    SounderModel GetModel() const override;
    std::optional<double> GetPingerPulseLength() const override;
    IChannelLinks* ChannelLinks() override;
    std::optional<bool> WaitForUnit(const std::string& text, const std::function<bool()>& done) override;
    void OnLostSamples() override;
    void Beep(unsigned hz, unsigned ms) override;
    std::optional<double> GetSoundVelocity() override;
    std::optional<double> GetAbsorption(double frequency) override;
    IHardwareStatusSink& HardwareStatus() override { return m_hardwareStatus; }
    IMotionSensor& Motion() override;
    IAnalogMotionInput& AnalogMotion() override { return m_analogMotion; }
    IThermistorInput& Thermistor() override { return m_thermistor; }
    ITrawlSource& Trawl() override { return m_trawl; }

private:
    CProgram& m_program;
    std::unique_ptr<CUnitSearchWait> m_unitSearch;
    CAbsentHardwareStatus m_hardwareStatus{"hardware status window"};
    CAbsentAnalogMotionInput m_analogMotion{"heave sensor's analog input"};
    CAbsentThermistorInput m_thermistor{"water temperature sensor's analog input"};
    CAbsentTrawlSource m_trawl{"trawl sensor"};
};

}  // namespace app
