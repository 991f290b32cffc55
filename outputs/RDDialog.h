// The remote display: the bottom depth of one chosen channel on a serial
// line to a depth display, at most five times a second, as a bare number
// line or as a depth telegram of type 1:
//   "  12.3\r\n"                 (RD 1 format, "%6.1f" and CR LF)
//   "$SDDBT,...*hh"               (NMEA format, as the depth formatter gives it)
// It owns the serial device "RemoteDisplay" and keeps three settings in the
// key the program hands it: OutputEnabled, RemoteFormat, RemoteChannel.
//
// Threads: pings come on the ping-data thread; the settings are changed on
// the user-interface thread (dialog, factory defaults) and read by the
// ping-data thread under the object's lock.
#pragma once

#include "outputs/Output.h"
#include "outputs/QYNet.h"
#include "serialcom/device/SerialDeviceLink.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

class CRDDialog : public CSerialDeviceLink, public IOutput
{
public:
    static constexpr const char* kSettingId = "RemoteDisplay";
    // Pings closer than this (100 ns units) to the last output are not sent.
    static constexpr std::uint64_t kMinimumSpacing = 2'000'000;

    enum EFormat : DWORD { kRD1 = 0, kNMEA = 1 };

    struct Settings
    {
        DWORD OutputEnabled = 0;
        DWORD RemoteFormat = kRD1;
        DWORD RemoteChannel = 0;
        bool operator==(const Settings&) const = default;
    };

    // isReplaying: whether the program replays; outlives the object.
    explicit CRDDialog(std::function<bool()> isReplaying);
    ~CRDDialog() override;

    // Opens the serial device: 0, or E_NOINTERFACE without the component.
    long OpenPort();
    void ClosePort();
    // Keeps (a handle of its own to) the key, reads the settings and sets
    // the transmit protocol.
    BOOL SetSettingsKey(HKEY key);
    void ReadSettings(HKEY key);
    void WriteSettings(HKEY key);
    HKEY GetSettingsKey() const { return m_key; }

    Settings GetSettings() const;
    // The dialog's OK: new settings, written when a key is known, and the
    // transmit protocol switched at once.
    void ApplySettings(const Settings& settings);
    // The factory settings: all three 0, written.
    void Reset();

    // The protocol the settings call for: "ASCII" while output is enabled.
    static std::string TransmitProtocol(const Settings& settings);
    // The text of one depth; empty for a format it does not know.
    static std::string DepthText(DWORD format, int channel, std::uint64_t pingTime, double depth,
                                 double transducerDepth, double second, double heave);

    // One ping of the running sounder.
    void SendDepth(IQYNetPingSource& ping);
    // The last replayed ping time (0 in normal operation).
    std::uint64_t GetReplayPingTime() const;

    void TakePing(const OutputPing& ping) override;
    void RestoreDefaults() override { Reset(); }

protected:
    // A non-empty text to the line.
    virtual void SendText(const std::string& text);
    void ParseTelegram(const CTarnMessage&) override {}

private:
    void SetTransmitProtocol();

    const std::function<bool()> m_isReplaying;
    mutable std::mutex m_lock;
    Settings m_settings;
    HKEY m_key = nullptr;
    std::uint64_t m_replayPingTime = 0;
    // The ping time of the last output; 0 before the first.
    std::uint64_t m_lastOutput = 0;
};
