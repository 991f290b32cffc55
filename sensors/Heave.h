// The motion sensor input: heave, roll and pitch from a motion sensor's
// telegrams on a serial line, or from the voltages a transceiver samples on
// its analog inputs, kept with their times in a ring of the last 2000
// samples. Each live ping asks it for the motion at its transmit and echo
// times (and the heave at its transducer); the recorder asks it for where the
// sensor sits. The same line can carry a depth telegram back out.
//
// Threads: telegrams arrive on the port's reader thread, analog samples on
// the units' threads, look-ups and depth telegrams come from the ping-data
// thread, and the dialog runs on the user-interface thread. The ring has a
// lock of its own; the settings another, and every thread reads them under
// it (strings as copies), so a change made in the dialog is never seen half.
#pragma once

#include "sensors/AnalogMotionInput.h"
#include "sensors/DepthUser.h"
#include "sensors/HeaveRingBuffer.h"
#include "sensors/MotionSensor.h"
#include "sensors/SerialSensor.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class IDepthTelegramSources;

class CHeave final : public CSerialSensor, public IMotionSensor, public IAnalogMotionInput, public IDepthUser
{
public:
    static constexpr const char* kSettingId = "Heave";
    static constexpr int kTemplateId = 203;
    static constexpr std::size_t kMonitorCutAbove = 3000;
    static constexpr std::size_t kMonitorKeep = 1000;
    // The telegrams shown in the dialog are at least this far apart.
    static constexpr std::uint64_t kDisplayInterval = 1'000'000;  // 100 ms
    // The receive set-up settles this long before the ring starts afresh.
    static constexpr unsigned kSettleMs = 1000;

    enum Mode : DWORD { kModeOff = 0, kModeAnalog = 1, kModeSerial = 2 };
    enum Protocol : DWORD { kProtocolAscii = 0, kProtocolVN1500 = 1, kProtocolZelvar = 2, kProtocolRaw = 3 };
    // The angle voltages: +1 V a degree, or 10 sin(angle) volts.
    enum AngleMode : DWORD { kVoltPerDegree = 0, kTenSine = 1 };

    struct Settings
    {
        std::string TransceiverSource;
        DWORD Mode = kModeOff;
        DWORD SerialProtocol = kProtocolZelvar;
        DWORD AnalogModeHeave = 0;
        DWORD AnalogModePitch = kVoltPerDegree;
        DWORD AnalogModeRoll = kVoltPerDegree;
        DWORD DepthOutput = 0;
        DWORD DepthTelegram = 0;
        DWORD CheckSum = 0;
        DWORD CalcRemoteHeave = 0;
        std::string ChannelSource;
        double SensorDepth = 0.0;    // m down
        double SensorAlong = 0.0;    // m forward
        double SensorAthwart = 0.0;  // m to starboard
        DWORD UseLatency = 0;
        DWORD Latency = 0;  // ms

        bool operator==(const Settings&) const = default;
    };

    CHeave(const ISensorHost& host, const IDepthTelegramSources& sources);
    ~CHeave() override;

    // The application's steps ---------------------------------------------
    // Keeps the key and reads the settings (writing back missing ones);
    // with depth output on and the component open, the transmit protocol.
    void Initialise(HKEY key);
    // Opens the component when none is open: receive protocol by the
    // settings, and a second later the ring starts afresh and, with depth
    // output on, the transmit protocol "ASCII". 0, or E_NOINTERFACE.
    HRESULT OpenPort();
    void ClosePort();
    // The receive protocol and time-outs of the chosen protocol.
    void ConfigurePort();
    void SetTransceiverList(const std::vector<std::string>& names);
    std::vector<std::string> GetTransceiverList() const;
    void SetSourceList(const std::vector<std::string>& names);
    std::vector<std::string> GetSourceList() const;
    // Factory settings of the source names, mode, protocol and depth
    // output, written at once.
    void SetDefaults();

    Settings GetSettings() const;
    // Takes the settings (the dialog's OK) and writes them; false without
    // a key.
    bool StoreSettings(const Settings& settings);
    // Reads the stored settings again (the dialog's Cancel) and puts the
    // component's protocols back to them.
    void ReloadSettings();
    // What the dialog's buttons change at once.
    void SetMode(DWORD mode);
    void SetProtocol(DWORD protocol);
    void SetSensorOffsets(double along, double athwart, double depth);
    void StoreDepthOutput(DWORD output, DWORD telegram, DWORD checksum, const std::string& channel);

    // Where the sensor sits (m): forward, starboard, down.
    bool GetSensorOffsets(double& along, double& athwart, double& depth) const override;
    // Empties the ring (after the computer's clock was set).
    void ResetRingBuffer() { m_ring.Clear(); }
    void ResetHistory() override { ResetRingBuffer(); }
    CHeaveRingBuffer::Sample GetNewestSample() const { return m_ring.Newest(); }

    // A received telegram (bytes as they came, the reception time).
    void ParseTelegram(const BYTE* bytes, std::size_t size, std::uint64_t stamp);
    void AddAnalogSamples(const std::string& transceiverName, const AnalogMotionSample* samples, int count) override;
    // Heave (m, up negative as the sensor counts it), roll and pitch
    // (degrees) and the heave at the transducer (m); false and zeros for a
    // time of 0.
    bool GetMotionAtTime(std::uint64_t time, const TransducerOffsets& transducer, double out[4]) override;

    // Depth output, per channel and ping: 1 when the depth rules it out.
    int SendDepthTelegram(const std::string& channelName, int channelIndex, std::uint64_t pingTime, double depth,
                          double transducerDepth, double second, double heave);
    void TakeDepth(const DepthReport& report) override;

    // The dialog's display: bytes in hex (as at start) or text; the busy
    // flag holds back refreshes while the component is set up.
    bool IsHexDisplay() const { return m_hexDisplay.load(); }
    bool IsBusy() const { return m_busy.load(); }

    // The heave at a transducer from the heave at the sensor, its roll and
    // pitch (degrees) and both positions (m).
    static double RemoteHeave(double heave, double roll, double pitch, const TransducerOffsets& transducer,
                              double sensorAlong, double sensorAthwart, double sensorDepth);
    // The receive protocol of a setting ("ASCII", ..., "RAW").
    static const char* ProtocolName(DWORD protocol);

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    void ReadSettings(Settings& s);
    void WriteSettings(const Settings& s);
    void Display(const BYTE* bytes, std::size_t size, std::uint64_t stamp);
    bool Decode(const BYTE* bytes, std::size_t size, DWORD protocol, CHeaveRingBuffer::Sample& sample) const;

    const IDepthTelegramSources& m_sources;
    mutable std::mutex m_settingsLock;
    Settings m_settings;
    std::vector<std::string> m_transceivers;
    std::vector<std::string> m_channels;
    CHeaveRingBuffer m_ring;
    std::atomic<bool> m_hexDisplay{true};
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_depthOutput{false};
    // The stamp of the last telegram that passed the display's interval.
    std::atomic<std::uint64_t> m_lastDisplayed{0};
};
