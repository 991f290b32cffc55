// Depth sentences (DPT, DBS, DBT) from an outside echo sounder or depth
// instrument on a serial line, shown in the monitor of its dialog and handed
// to the telegram decoder, which records and relays them. Any other line is
// dropped. The port is opened at start-up whatever the switch says; while it
// is off, nothing received is passed on.
#pragma once

#include "sensors/SerialSensor.h"

#include <atomic>

class CNmeaDepth final : public CSerialSensor
{
public:
    static constexpr const char* kSettingId = "NMEADepth";
    static constexpr std::size_t kMonitorCutAbove = 1000;
    static constexpr std::size_t kMonitorKeep = 333;
    // The transmit protocol follows the receive set-up by this much.
    static constexpr unsigned kTransmitDelayMs = 1000;

    explicit CNmeaDepth(const ISensorHost& host);
    ~CNmeaDepth() override;

    // Keeps the key and reads NMEADepthEnabled; with the component open,
    // puts the transmit protocol "ASCII".
    void LoadSettings(HKEY key);
    // Opens the component (nothing when it is open): receive protocol
    // "ASCII", receive time-outs 0 ms a character and 100 ms in all, and
    // the transmit protocol "ASCII" a second later when enabled. 0, or
    // E_NOINTERFACE.
    HRESULT OpenPort();
    void ClosePort();

    // "DPT / DBS / DBT": takes effect at once.
    void SetEnabled(bool on) { m_enabled = on; }
    bool IsEnabled() const { return m_enabled.load(); }
    // Writes the switch (the dialog's OK); false without a key.
    bool StoreSettings();

protected:
    void ParseTelegram(const CTarnMessage& message) override;

private:
    std::atomic<bool> m_enabled{false};
};
