// The water temperature at the transducer, from one of two sources: the
// water temperature sentence on a serial line, or the thermistor on a
// transceiver's analog input. Each reading is converted to kelvin, Celsius
// and Fahrenheit, handed to the environment (computed velocity, absorption)
// and answered to the status bar, the outputs, the units' ping records and
// replay.
//
//     $YXMTW,12.5,C        field 1 the temperature in degrees C
//
// Threads: sentences arrive on the serial reader thread, thermistor
// readings on the units' receive threads, replayed temperatures on the
// ping-data thread, questions from any thread; settings and the dialog on
// the user-interface thread. The reading is one record under its own lock;
// the log is the monitor's, which announces each change to the dialog by a
// posted message.
#pragma once

#include "sensors/SerialSensor.h"
#include "sensors/ThermistorInput.h"
#include "sensors/WaterTemperature.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class CEnvironment;

class CTemperature final : public CSerialSensor, public IWaterTemperature, public IThermistorInput
{
public:
    static constexpr const char* kSettingId = "Temperature";
    static constexpr std::size_t kLogCutAbove = 3000;
    static constexpr std::size_t kLogKeep = 1000;
    static constexpr const char* kNoData = "Data not available";

    enum Source : DWORD { kOff = 0, kSerial = 1, kAnalog = 2 };

    struct SReading
    {
        double ohms = 0.0;
        double kelvin = 0.0;
        double celsius = 0.0;
        double fahrenheit = 0.0;
        bool valid = false;
    };

    // A thermistor of 10 kilohm at 298 K: its resistance in kelvin; 0.0 for
    // a resistance of 0 or below.
    static double ResistanceToKelvin(double ohms);
    // The temperature of a water temperature sentence; none when the text is
    // no such sentence or its field no finite number.
    static std::optional<double> ParseSentence(const std::string& text);

    CTemperature(CEnvironment& environment, const ISensorHost& host);
    ~CTemperature() override;

    // Keeps the key; reads Source (written when missing), the older Analog
    // (a nonzero one becomes source 2 and is written back as 0) and
    // TransceiverSource (written when missing). 1 when no transceiver is
    // chosen, else 0.
    int LoadSettings(HKEY key);
    // The component opened under "Temperature"; 0 on success.
    HRESULT OpenPort();
    void ClosePort();

    DWORD GetSource() const { return m_source.load(); }
    std::string GetTransceiverSource() const;
    // The dialog's OK takes these and writes them; false without a key.
    bool StoreSettings(DWORD source, const std::string& transceiverSource);
    // The names to choose from: the installed transceivers.
    void SetSourceList(const std::vector<std::string>& names);
    std::vector<std::string> GetSourceList() const;

    SReading GetReading() const;
    // 0 with the last Celsius value when it is valid; nonzero otherwise.
    int GetTemperature(double& celsius) const;

    // IWaterTemperature: the valid temperature, and a replayed one (0.0 is
    // none).
    std::optional<double> GetTemperature() const override;
    void SetReplayTemperature(double celsius) override;
    // IThermistorInput: taken from the chosen transceiver only, with the
    // analog source.
    void SetResistance(const std::string& transceiverName, double ohms) override;

    // The dialog: readings are logged once it has shown its data; "Data not
    // available" stands until the next reading; the analog switch empties
    // the log and marks the temperature not valid, either way.
    void ShowDialogData();
    void SetDataDisplay(bool on);
    bool GetDataDisplay() const { return m_dataDisplay.load(); }

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    void Take(const SReading& reading, const std::string& logLine);
    void ShowNoData();

    CEnvironment& m_environment;
    std::atomic<DWORD> m_source{kOff};
    mutable std::mutex m_lock;  // the reading, the names
    SReading m_reading;
    std::string m_transceiverSource;
    std::vector<std::string> m_sourceList;
    std::atomic<bool> m_dataDisplay{false};
    std::atomic<bool> m_exchanged{false};
    std::atomic<bool> m_noDataShown{false};
};
