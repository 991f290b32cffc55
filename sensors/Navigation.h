// The vessel's position, speed and clock input: navigation sentences (NMEA
// position sentences, or lines of a configurable ASCII layout) on a serial
// line, shown in the monitor of its dialog and handed, every line, to the
// telegram decoder, which interprets them by this object's settings. It
// keeps the manual or measured speed and the clock and date the decoder
// took from a ZDA sentence, and can send each ping's depth back out on the
// same line as a depth telegram.
//
// Threads: the settings are one record under the object's lock; the line
// arrives on the reader thread, the decoder calls on the user-interface
// thread (and the replay's trigger thread), the depth telegram and the
// speed are asked on the ping-data thread, and the forced clock update ends
// there when the sounder set the clock.
#pragma once

#include "platform/FileTime.h"
#include "sensors/DepthUser.h"
#include "sensors/NavigationSteps.h"
#include "sensors/SerialSensor.h"
#include "sensors/SpeedSource.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class IDepthTelegramSources;

class CNavigation final : public CSerialSensor, public INavigationSteps, public ISpeedSource, public IDepthUser
{
public:
    static constexpr const char* kSettingId = "Navigation";
    static constexpr int kTemplateId = 202;
    static constexpr int kAdvancedTemplateId = 220;
    // The monitor keeps its last 1000 characters once it passes 3000.
    static constexpr std::size_t kMonitorCutAbove = 3000;
    static constexpr std::size_t kMonitorKeep = 1000;

    enum Protocol : DWORD { kProtocolNmea = 0, kProtocolAscii = 1 };
    enum Source : DWORD { kSourceOff = 0, kSourceSerial = 1, kSourceNetwork = 2 };
    enum SpeedType : DWORD { kSpeedSerial = 0, kSpeedNetwork = 1, kSpeedManual = 2 };

    // Every setting, with the value a missing one is read as.
    struct Settings
    {
        DWORD NavigationProtocol = kProtocolNmea;
        DWORD NavigationSentence = 0;  // 0 GLL .. 7 LLK, kSentences
        DWORD AsciiProtocol = 0;       // 0 CR and LF, 1 CR, 2 LF
        std::string StartSequence;
        std::string FieldSeparator;
        DWORD StartField = 1;
        DWORD NoOfFields = 1;
        DWORD DepthOutput = 0;
        DWORD DepthTelegram = 0;
        DWORD CheckSum = 0;
        std::string ChannelSource;
        DWORD SpeedType = kSpeedManual;
        double SpeedManual = 5.0;  // knots
        DWORD PositionSource = kSourceOff;
        DWORD ClockSource = kSourceOff;
        DWORD UseAutoZda = 0;
        double Latency = 0.0;  // ms
        DWORD CheckForPos = 0;
        DWORD GGA_QI = 0;
        DWORD GGA_NoOfSat = 0;
        double GGA_HorDil = 0.0;
        double AntennaHeight = 0.0;  // m

        bool operator==(const Settings&) const = default;
    };
    // The values the defaults action writes over the current ones.
    static Settings DefaultsAction(Settings current);

    // The position sentences of the advanced dialog: what each button sets.
    struct Sentence
    {
        const char* name;
        const char* startSequence;
        DWORD startField;
        DWORD fieldCount;
    };
    static constexpr Sentence kSentences[] = {
        {"GLL", "$??GLL", 2, 4}, {"GGA", "$??GGA", 3, 4},         {"GXA", "$??GXA", 3, 4},
        {"GGK", "$??GGK", 3, 4}, {"PTNL,GGK", "$PTNL,GGK", 5, 4}, {"PTNL,PJK", "$PTNL,PJK", 5, 4},
        {"LLQ", "$??LLQ", 3, 4}, {"LLK", "$??LLK", 3, 4},
    };
    // The settings a sentence button leaves (start sequence, separator ","
    // and field positions); an index outside the table changes nothing.
    static Settings ApplySentence(Settings settings, DWORD sentence);
    // The receive protocol of the settings: "ASCII" for sentences, else by
    // the terminator.
    static std::string RxProtocolName(const Settings& settings);

    CNavigation(const ISensorHost& host, const IDepthTelegramSources& sources);
    ~CNavigation() override;

    // The application's steps ---------------------------------------------
    // Opens the serial component ("Navigation"): 0, or E_NOINTERFACE when it
    // cannot be created; a port that does not open keeps it.
    HRESULT OpenPort() { return OpenSerial(); }
    void ClosePort() { CloseSerial(); }
    // Keeps the key, reads the settings under it (writing back the missing
    // ones) and applies the protocols; 1.
    int Load(HKEY key);
    // The channel names offered as depth sources.
    void SetSourceList(const std::vector<std::string>& names);
    std::vector<std::string> GetSourceList() const;
    // The defaults action of the reset of all settings.
    void SetDefaults();

    // Settings ------------------------------------------------------------
    Settings GetSettings() const;
    // Takes the settings, writes them when a key is known (false without
    // one) and applies the protocols.
    bool StoreSettings(const Settings& settings);
    // Called after every change of the settings, on the changing thread and
    // outside the object's locks; empty: nobody is told.
    void SetSettingsChanged(std::function<void()> changed);
    // The receive and transmit protocols of the settings on the component.
    void ApplyProtocols();
    // The depth output dialog's OK: the switch, checksum and channel hold at
    // once, and with the component there the transmit protocol is "ASCII"
    // while the output is on, else the component's default.
    void StoreDepthOutput(DWORD output, DWORD checksum, const std::string& channel);

    // Speed: the manual one, or the last measured (knots).
    double GetSpeed() const;
    double GetMeasuredSpeed() const { return m_measuredSpeed.load(); }
    bool GetSpeedKnots(double& knots) const override;

    // The clock: "Force Update" asks the next clock telegram to set the
    // PC's clock; it ends once the clock was set.
    void StartForceUpdate();
    bool IsClockRequest() override { return m_clockRequest.load(); }
    void EndForceUpdate() override;
    void SetClockTime(const SYSTEMTIME& time, const std::string& clockText, const std::string& dateText) override;
    void SetMeasuredSpeed(double knots) override;
    bool ExpectsPositions() override;
    bool GetNavigationSettings(SNavigationSettings& settings) override;
    // The clock and date texts of the last clock telegram; empty after
    // ClearClockTexts.
    void GetClockTexts(std::string& clock, std::string& date) const;
    void ClearClockTexts();
    SYSTEMTIME GetClockTime() const;

    // Depth output, per channel and ping on the ping-data thread: 1 only
    // when the depth (or the channel index) is unusable.
    int SendDepthTelegram(const std::string& channelName, int channelIndex, std::uint64_t pingTime, double depth,
                          double transducerDepth, double second, double heave);
    void TakeDepth(const DepthReport& report) override;

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    void ReadSettings(Settings& s);
    void WriteSettings(const Settings& s);
    void TellSettingsChanged();

    const IDepthTelegramSources& m_sources;
    mutable std::mutex m_settingsLock;
    Settings m_settings;
    std::function<void()> m_settingsChanged;
    std::vector<std::string> m_sourceList;
    std::atomic<double> m_measuredSpeed{0.0};
    std::atomic<bool> m_clockRequest{false};
    SYSTEMTIME m_clockTime{};
    std::string m_clockText;
    std::string m_dateText;
};
