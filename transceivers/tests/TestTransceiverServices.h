// The services of a unit that runs without a program, for tests: the model
// and pinger mode as the test sets them, and each hook a plain function the
// test may set; what is left unset does nothing, and without a wait hook no
// operator is asked. What the unit feeds the sensors is kept for the test to
// read.
#pragma once

#include "sensors/AnalogMotionInput.h"
#include "sensors/MotionSensor.h"
#include "sensors/ThermistorInput.h"
#include "sensors/TrawlSource.h"
#include "transceivers/HardwareStatusSink.h"
#include "transceivers/TransceiverServices.h"

#include <mutex>
#include <string>
#include <vector>

class CTestTransceiverServices : public ITransceiverServices
{
public:
    SounderModel model = SounderModel::QY310;
    std::optional<double> pingerPulseLength;
    IChannelLinks* channelLinks = nullptr;
    std::function<std::optional<bool>(const std::string& text, const std::function<bool()>& done)> waitForUnit;
    std::function<void()> lostSamples;
    std::function<void(unsigned hz, unsigned ms)> beep;
    std::function<double()> soundVelocity;
    std::function<double(double frequency)> absorption;
    std::optional<TrawlRecord> trawl;
    ITransceiverDialogs* dialogs = nullptr;
    double tide = 0.0;
    std::string softwareFolder;
    std::string transceiverListFolder;
    // The operator's answer to a firmware upgrade; unset: "No".
    std::function<bool(const std::string& unitFirmware, const std::string& newFile)> askFirmwareUpgrade;
    // The motion sensor the unit asks; none when null.
    IMotionSensor* motion = nullptr;

    // What the unit fed the sensors and the status window, in order.
    struct Fed
    {
        std::vector<std::string> analogMotionUnits;
        std::vector<AnalogMotionSample> analogMotion;
        std::vector<std::string> thermistorUnits;
        std::vector<double> thermistorOhms;
        std::vector<std::string> telegrams;
        std::vector<unsigned> status;  // string ids, alarms among them
        int statusShown = 0;
        int statusFormatted = 0;
    };
    Fed GetFed() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_fed;
    }

    SounderModel GetModel() const override { return model; }
    std::optional<double> GetPingerPulseLength() const override { return pingerPulseLength; }
    IChannelLinks* ChannelLinks() override { return channelLinks; }
    std::optional<bool> WaitForUnit(const std::string& text, const std::function<bool()>& done) override
    {
        return waitForUnit ? waitForUnit(text, done) : std::nullopt;
    }
    void OnLostSamples() override
    {
        if (lostSamples)
            lostSamples();
    }
    void Beep(unsigned hz, unsigned ms) override
    {
        if (beep)
            beep(hz, ms);
    }
    void PostUnitStatus(unsigned id, bool) override
    {
        Note([&](Fed& f) { f.status.push_back(id); });
    }
    std::string GetUnitSoftwareFolder() const override { return softwareFolder; }
    std::string GetTransceiverListFolder() const override { return transceiverListFolder; }
    bool AskFirmwareUpgrade(const std::string& unitFirmware, const std::string& newFile,
                            const std::function<bool()>&) override
    {
        return askFirmwareUpgrade && askFirmwareUpgrade(unitFirmware, newFile);
    }
    std::optional<double> GetSoundVelocity() override
    {
        return soundVelocity ? std::optional<double>(soundVelocity()) : std::nullopt;
    }
    std::optional<double> GetAbsorption(double frequency) override
    {
        return absorption ? std::optional<double>(absorption(frequency)) : std::nullopt;
    }
    ITransceiverDialogs* Dialogs() override { return dialogs; }
    double GetTide() const override { return tide; }
    IHardwareStatusSink& HardwareStatus() override { return m_status; }
    IMotionSensor& Motion() override { return motion ? *motion : m_motion; }
    IAnalogMotionInput& AnalogMotion() override { return m_analogMotion; }
    IThermistorInput& Thermistor() override { return m_thermistor; }
    ITrawlSource& Trawl() override { return m_trawl; }
    void TakeUnitTelegram(const std::string& text, std::uint64_t) override
    {
        Note([&](Fed& f) { f.telegrams.push_back(text); });
    }

private:
    class CStatus final : public IHardwareStatusSink
    {
    public:
        explicit CStatus(CTestTransceiverServices& s) : m_s(s) {}
        void ShowStatus(const BYTE*, std::size_t) override
        {
            m_s.Note([](Fed& f) { ++f.statusShown; });
        }
        void FormatStatus(const BYTE*, std::size_t) override
        {
            m_s.Note([](Fed& f) { ++f.statusFormatted; });
        }

    private:
        CTestTransceiverServices& m_s;
    };
    class CNoMotion final : public IMotionSensor
    {
    public:
        bool GetMotionAtTime(std::uint64_t, const TransducerOffsets&, double[4]) override { return false; }
        bool GetSensorOffsets(double&, double&, double&) const override { return false; }
        void ResetHistory() override {}
    };
    class CAnalogMotion final : public IAnalogMotionInput
    {
    public:
        explicit CAnalogMotion(CTestTransceiverServices& s) : m_s(s) {}
        void AddAnalogSamples(const std::string& unit, const AnalogMotionSample* samples, int count) override
        {
            m_s.Note([&](Fed& f) {
                for (int i = 0; i < count; ++i) {
                    f.analogMotionUnits.push_back(unit);
                    f.analogMotion.push_back(samples[i]);
                }
            });
        }

    private:
        CTestTransceiverServices& m_s;
    };
    class CThermistor final : public IThermistorInput
    {
    public:
        explicit CThermistor(CTestTransceiverServices& s) : m_s(s) {}
        void SetResistance(const std::string& unit, double ohms) override
        {
            m_s.Note([&](Fed& f) {
                f.thermistorUnits.push_back(unit);
                f.thermistorOhms.push_back(ohms);
            });
        }

    private:
        CTestTransceiverServices& m_s;
    };
    class CTrawl final : public ITrawlSource
    {
    public:
        explicit CTrawl(CTestTransceiverServices& s) : m_s(s) {}
        bool GetTrawlData(TrawlRecord& record) const override
        {
            if (!m_s.trawl)
                return false;
            record = *m_s.trawl;
            return true;
        }

    private:
        CTestTransceiverServices& m_s;
    };

    template <class F>
    void Note(F&& f)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        f(m_fed);
    }

    mutable std::mutex m_lock;
    Fed m_fed;
    CStatus m_status{*this};
    CNoMotion m_motion;
    CAnalogMotion m_analogMotion{*this};
    CThermistor m_thermistor{*this};
    CTrawl m_trawl{*this};
};
