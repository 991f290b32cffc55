// The link to a trawl system on a serial line: the trawl's depth and opening
// as NMEA-style sentences, kept with their times for each ping's input
// header, and optionally the bottom depth of a chosen channel sent back as a
// depth telegram. Its dialog shows what the line brings, as text or bytes.
//
// Threads: the line arrives on the reader thread, the units ask for the
// trawl data and the channels send their depths on the ping-data thread,
// the dialog runs on the user-interface thread. The readings with their
// times are one record under its own lock, so a reader never sees half a
// value, and the settings another.
#pragma once

#include "base/ModelCodes.h"
#include "sensors/DepthUser.h"
#include "sensors/SerialSensor.h"
#include "sensors/TrawlSource.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class IDepthTelegramSources;

class CTrawl final : public CSerialSensor, public ITrawlSource, public IDepthUser
{
public:
    static constexpr const char* kSettingId = "Trawl";
    static constexpr int kTemplateId = 168;
    static constexpr std::size_t kMonitorCutAbove = 3000;
    static constexpr std::size_t kMonitorKeep = 1000;
    static constexpr double kMaxOpening = 300.0;  // m

    struct Settings
    {
        DWORD Manual = 0;
        double ManualOpening = 0.0;  // m
        DWORD DepthOutput = 0;
        DWORD DepthTelegram = 0;
        DWORD CheckSum = 0;
        std::string ChannelSource;

        bool operator==(const Settings&) const = default;
    };

    // The latest readings and when they came (file times, 0: never).
    struct Readings
    {
        double depth = 0.0;
        double opening = 0.0;
        std::uint64_t depthTime = 0;
        std::uint64_t openingTime = 0;
    };

    CTrawl(SounderModel model, const IDepthTelegramSources& sources);
    ~CTrawl() override;

    // The application's steps ---------------------------------------------
    HRESULT OpenSerialPort() { return OpenSerial(); }
    void ClosePort() { CloseSerial(); }
    // Keeps the key, reads the settings (writing back missing ones) and,
    // with depth output on and the device open, puts the transmit protocol.
    void SetSettingsKey(HKEY key);
    void SetChannelList(const std::vector<std::string>& names);
    std::vector<std::string> GetChannelList() const;
    // The reset of all settings: manual opening on for the models without a
    // trawl system's line of their own, every other setting cleared.
    void ResetData();

    Settings GetSettings() const;
    // Takes the settings (the dialog's OK) and writes them; false without a
    // key. With the device open, the transmit protocol follows the depth
    // output switch.
    bool StoreSettings(const Settings& settings);
    // The depth output dialog's OK: the switch, checksum and channel hold at
    // once (the telegram type waits for the main dialog's OK).
    void StoreDepthOutput(DWORD output, DWORD checksum, const std::string& channel);

    // A received sentence with its reception time (0: now).
    void ParseTelegram(const std::string& text, std::uint64_t received);
    Readings GetReadings() const;
    // The age past which a reading is too old: 10 s on the QY models, 30 s
    // on the others.
    std::uint64_t AgeLimit() const;
    bool GetTrawlData(TrawlRecord& record) const override;
    // The same at a given time (tests).
    bool GetTrawlDataAt(TrawlRecord& record, std::uint64_t now) const;

    // Depth output, per channel and ping: 1 when the depth, the channel
    // index or the device rules it out.
    int SendDepthTelegram(const std::string& channelName, int channelIndex, std::uint64_t pingTime, double depth,
                          double transducerDepth, double second, double heave);
    void TakeDepth(const DepthReport& report) override;

    // The monitor: text (false) or each byte in hex.
    void SetHexMonitor(bool on) { m_hexMonitor = on; }
    bool IsHexMonitor() const { return m_hexMonitor.load(); }

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    void ApplyTransmitProtocol();

    const SounderModel m_model;
    const IDepthTelegramSources& m_sources;
    mutable std::mutex m_settingsLock;
    Settings m_settings;
    std::vector<std::string> m_channels;
    mutable std::mutex m_readingsLock;
    Readings m_readings;
    std::atomic<bool> m_hexMonitor{false};
};
