// What every transceiver unit of the program gets of it: the model, the
// channels' links, the search dialog while a unit is awaited, the status
// bar, the bell, the environment's water, the hardware status window and the
// sensors a unit feeds or reads. One object serves every unit of every
// sounder the program runs, and outlives them: operation control deletes the
// sounder before the program lets it go.
//
// The sensors and the window the program does not have yet are links at
// their named null objects, in the program's list of links.
#pragma once

#include "program/AbsentRoles.h"
#include "program/Link.h"
#include "transceivers/TransceiverServices.h"

#include <memory>

class CThreadCall;
class CUnitSearchWait;

namespace app {

class CProgram;

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
    void PostUnitStatus(unsigned stringId, bool alarm) override;
    std::string GetUnitSoftwareFolder() const override;
    std::string GetTransceiverListFolder() const override;
    bool AskFirmwareUpgrade(const std::string& unitFirmware, const std::string& newFile,
                            const std::function<bool()>& ended) override;
    std::optional<double> GetSoundVelocity() override;
    std::optional<double> GetAbsorption(double frequency) override;
    ITransceiverDialogs* Dialogs() override;
    double GetTide() const override;
    IHardwareStatusSink& HardwareStatus() override { return *m_hardwareStatus; }
    // The program's hardware status window while it exists.
    TLink<IHardwareStatusSink, CAbsentHardwareStatus>& HardwareStatusLink() { return m_hardwareStatus; }
    IMotionSensor& Motion() override;
    IAnalogMotionInput& AnalogMotion() override { return m_analogMotionCalls; }
    // The heave sensor while it exists: the units hand it their motion
    // voltages.
    TSharedLink<IAnalogMotionInput, CAbsentAnalogMotionInput>& AnalogMotionLink() { return m_analogMotion; }
    IThermistorInput& Thermistor() override { return m_thermistorCalls; }
    // The water temperature sensor while it exists: the units' receive
    // threads hand it their thermistor readings.
    TSharedLink<IThermistorInput, CAbsentThermistorInput>& ThermistorLink() { return m_thermistor; }
    ITrawlSource& Trawl() override { return m_trawlCalls; }
    // The trawl object while it exists: the units' threads ask it each ping.
    TSharedLink<ITrawlSource, CAbsentTrawlSource>& TrawlLink() { return m_trawl; }
    void TakeUnitTelegram(const std::string& text, std::uint64_t time) override;

private:
    CProgram& m_program;
    std::unique_ptr<CUnitSearchWait> m_unitSearch;
    // The units' questions to the operator, carried to the user-interface
    // thread.
    std::unique_ptr<CThreadCall> m_questions;
    TLink<IHardwareStatusSink, CAbsentHardwareStatus> m_hardwareStatus;
    TSharedLink<IAnalogMotionInput, CAbsentAnalogMotionInput> m_analogMotion;
    TSharedLink<IThermistorInput, CAbsentThermistorInput> m_thermistor;
    TSharedLink<ITrawlSource, CAbsentTrawlSource> m_trawl;
    // Each call holds a share of the trawl object for its length.
    class CTrawlCalls final : public ITrawlSource
    {
    public:
        explicit CTrawlCalls(const TSharedLink<ITrawlSource, CAbsentTrawlSource>& link) : m_link(link) {}
        bool GetTrawlData(TrawlRecord& record) const override { return m_link->GetTrawlData(record); }

    private:
        const TSharedLink<ITrawlSource, CAbsentTrawlSource>& m_link;
    } m_trawlCalls{m_trawl};
    // Each reading holds a share of the temperature sensor for its length.
    class CThermistorCalls final : public IThermistorInput
    {
    public:
        explicit CThermistorCalls(const TSharedLink<IThermistorInput, CAbsentThermistorInput>& link) : m_link(link) {}
        void SetResistance(const std::string& name, double ohms) override { m_link->SetResistance(name, ohms); }

    private:
        const TSharedLink<IThermistorInput, CAbsentThermistorInput>& m_link;
    } m_thermistorCalls{m_thermistor};
    class CAnalogMotionCalls final : public IAnalogMotionInput
    {
    public:
        explicit CAnalogMotionCalls(const TSharedLink<IAnalogMotionInput, CAbsentAnalogMotionInput>& link)
            : m_link(link)
        {}
        void AddAnalogSamples(const std::string& unit, const AnalogMotionSample* samples, int count) override
        {
            m_link->AddAnalogSamples(unit, samples, count);
        }

    private:
        const TSharedLink<IAnalogMotionInput, CAbsentAnalogMotionInput>& m_link;
    } m_analogMotionCalls{m_analogMotion};
};

}  // namespace app
