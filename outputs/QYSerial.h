// The serial I/O hub: the network output's twin on one serial line (setting
// id "SerialIO"). It sends every channel's depth in the formats survey and
// fishery equipment expect (NMEA, the short "DA"/"DB" texts, "$PSDF," and
// the fixed-width record), the same single telegrams as the network output,
// and takes sound velocity profiles, annotations and remote commands from
// the same line.
//
// It is the serial entry of the program's output list, and the serial I/O
// hub the depth telegram formatter asks about its heave rule.
//
// Threads: SendDepth and the per-ping telegrams on the ping-data thread, the
// single telegrams on their callers' threads, the settings and the profile
// timer on the user-interface thread, received lines on the port's reader
// thread. The settings sit under their own lock; the decimation and FZ state
// under the send lock (only the ping-data thread sends depths, so it never
// waits there); the profile being gathered under the link's parse lock.
#pragma once

#include "outputs/Output.h"
#include "sensors/SerialSensor.h"
#include "sensors/SvpProfile.h"
#include "serialcom/device/DepthTelegramHub.h"
#include "serialcom/device/DepthTelegramSources.h"

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class IQYNetPingSource;

class CQYSerial : public CSerialSensor, public IOutput, public IDepthTelegramHub
{
public:
    static constexpr const char* kSettingId = "SerialIO";
    // The profile timer: a profile without end mark is finished once a tick
    // passes with no line of it.
    static constexpr unsigned kProfileTimerMs = 5000;
    static constexpr UINT_PTR kProfileTimer = 2;
    static constexpr std::uint32_t kMaxDecimateHz = 40;

    struct Settings
    {
        std::uint32_t Termination = 0;
        std::uint32_t NMEADestination = 0;
        std::uint32_t DPTFormat = 0, DBTFormat = 0, DBSFormat = 0;
        std::array<std::uint32_t, 4> AtlasChannel{};
        std::array<std::uint32_t, 4> FZChannel{};
        std::array<std::uint32_t, 4> ZelvarChannel{};
        std::uint32_t SVP = 0, Status = 0, Annotation = 0, Navigation = 0, RelayNavigation = 0, MotionSensor = 0,
                      TemperatureSensor = 0, SVPInput = 0, AnnotationInput = 0, Decimate = 0, DecimateHz = 20,
                      RemoteIn = 0, AddFrequency = 0, Hymas = 0, ZelvarWithoutHeave = 0;

        // At most two Atlas and two FZ channels: beyond two, the third and
        // fourth are switched off (as the settings are loaded).
        void KeepAtMostTwo();
        static int CountOn(const std::array<std::uint32_t, 4>& channels);
    };

    // storeProfile: writes a received profile and announces it (the road
    // every profile takes); false when nothing was stored.
    CQYSerial(const ISensorHost& host, const IDepthTelegramSources& sources,
              std::function<bool(const CSvpProfile&)> storeProfile);
    ~CQYSerial() override;

    // The device link: 0 when the component is there (a port that did not
    // open keeps it, for its port dialog); then the protocols and the
    // profile timer.
    HRESULT OpenSerialComponent();
    void SetProtocols();
    void Close();

    // Keeps the key (the application's "SerialIO"), loads the settings
    // under it and sets the protocols again.
    void ApplySettings(HKEY key);
    void LoadSettings();
    void SaveSettings() const;
    // Clears every channel and format assignment, then saves.
    void ResetSettings();
    Settings GetSettings() const;
    // The dialog's OK: takes the settings, saves them and sets the
    // protocols again.
    void StoreSettings(const Settings& settings);

    // One channel's depth of a ping.
    void SendDepth(const DepthReport& report);
    void SendCS(const std::string& text, std::uint64_t time);
    void SendMS(IQYNetPingSource& ping);
    void SendTemperature(IQYNetPingSource& ping);
    void SendNavigation(const std::string& text, std::uint64_t time);
    void SendST(const std::string& text);
    void SendSV(const std::string& text);
    void SendPingTelegram(IQYNetPingSource& ping);

    // A received line (reader thread), and the profile timer's tick
    // (user-interface thread).
    void ParseSvpInput(const CTarnMessage& message);
    void ParseSvpLine(const std::string& line);
    void StoreSvpProfile();
    bool IsGathering();

    // IOutput: a ping's MS, MTW and "$," telegrams in that order, a
    // channel's depth, the single texts it has a switch for, a profile as
    // its SV telegram, the factory settings.
    void TakePing(const OutputPing& ping) override;
    void TakeDepth(const DepthReport& report) override { SendDepth(report); }
    void TakeText(const OutputText& text) override;
    void TakeProfile(const std::string& text, std::uint64_t time) override { SendSV(text); }
    void RestoreDefaults() override { ResetSettings(); }

    bool IsWithoutHeave() const override;

protected:
    // Every telegram leaves through here (tests look at them).
    virtual void Transmit(const std::string& text) { SendTelegram(text); }
    void ParseTelegram(const CTarnMessage& message) override { ParseSvpInput(message); }

private:
    // The depth text after its heave rule and the frequency fields.
    std::string ZelvarRecord(const DepthReport& r, const Settings& s) const;
    bool DecimationLets(std::uint64_t pingTime, const Settings& s);
    // Imports the gathered text in a format and stores it (under the parse
    // lock; the store takes its own).
    void ImportAndStore(int format, const std::string& text);
    void StartTimer();
    void StopTimer();

    const IDepthTelegramSources& m_sources;
    std::function<bool(const CSvpProfile&)> m_storeProfile;

    mutable std::mutex m_settingsLock;
    Settings m_settings;
    std::atomic<bool> m_withoutHeave{false};
    // The checksum and output-enabled flags.
    const std::uint32_t m_checksum = 1;
    const std::uint32_t m_outputEnabled = 1;

    // Depth sending state (ping-data thread).
    std::mutex m_sendLock;
    std::uint64_t m_lastSend = 0;
    bool m_sentOnce = false;
    // The first FZ channel's depth of a ping, waiting for the second's.
    bool m_fzKept = false;
    std::uint64_t m_fzTime = 0;
    double m_fzDepth = 0.0;
    double m_fzTransducerDepth = 0.0;

    // The profile being gathered (under m_ParseLock).
    CSvpProfile m_profile;
    std::string m_buffer;
    bool m_gathering = false;
    // A line of the profile came since the last tick.
    bool m_lineSinceTick = false;
    bool m_timerOn = false;
};
