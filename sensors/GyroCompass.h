// Heading sentences (HDT, HDR, HDG) from a gyro compass or other heading
// sensor on a serial line, shown in the monitor of its dialog and handed to
// the telegram decoder, which feeds the heading history and relays them.
// Any other line is dropped; the chosen sentence does not filter, any of the
// three is passed on. The port is opened at start-up whatever the switch
// says; while it is off, nothing received is passed on.
#pragma once

#include "sensors/SerialSensor.h"

#include <atomic>
#include <mutex>
#include <string>

class CGyroCompass final : public CSerialSensor
{
public:
    static constexpr const char* kSettingId = "GyroCompass";
    static constexpr std::size_t kMonitorCutAbove = 1000;
    static constexpr std::size_t kMonitorKeep = 333;
    static constexpr unsigned kTransmitDelayMs = 1000;

    enum HeadingSentence : DWORD { kHDT = 0, kHDR = 1, kHDG = 2 };
    static constexpr const char* kSentenceNames[] = {"HDT", "HDR", "HDG"};

    struct Settings
    {
        DWORD HDTEnabled = 0;
        DWORD HeadingSentence = kHDT;
        std::string HeadingStartSequence;
    };

    explicit CGyroCompass(const ISensorHost& host);
    ~CGyroCompass() override;

    // Keeps the key and reads the three settings; with the component open,
    // puts the transmit protocol "ASCII".
    void LoadSettings(HKEY key);
    // As the NMEA depth input: receive protocol "ASCII", time-outs 0 and
    // 100 ms, the transmit protocol a second later when enabled.
    HRESULT OpenPort();
    void ClosePort();

    Settings GetSettings() const;
    // "Enable heading": takes effect at once.
    void SetEnabled(bool on);
    // A sentence radio button: the choice and its start sequence.
    void SelectSentence(DWORD sentence);
    // Writes the three settings (the dialog's OK); false without a key.
    bool StoreSettings();

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    mutable std::mutex m_settingsLock;
    Settings m_settings;
    std::atomic<bool> m_enabled{false};
};
