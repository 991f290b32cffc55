// What the serial sensors share beyond their device link: the program they
// ask whether it replays, the monitor of their dialog, the settings key the
// application gives them, and the hand-over of a received line to the main
// frame's telegram decoder (message 0x478 with the text and its reception
// time, which the message owns: nothing is allocated before the post, so a
// line dropped on the way leaks nothing).
//
// Threads: made, keyed, opened, closed and set up on the user-interface
// thread; ParseTelegram (the link's) on the port's reader thread; the
// monitor and the settings under their own locks.
#pragma once

#include "platform/MessageDispatcher.h"
#include "platform/Registry.h"
#include "sensors/SensorHost.h"
#include "sensors/SensorMonitor.h"
#include "serialcom/device/SerialDeviceLink.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

class CSerialSensor : public CSerialDeviceLink
{
public:
    CSerialSensor(std::string settingId, const ISensorHost& host, std::size_t monitorCutAbove, std::size_t monitorKeep);
    ~CSerialSensor() override;

    CSensorMonitor& Monitor() { return m_monitor; }
    // Whether the program replays recorded data (its dialogs lock what the
    // recording fixed).
    bool IsReplaying() const { return m_host.IsReplaying(); }
    // Whether the application gave a settings key.
    bool HasKey() const { return m_key != nullptr; }

    // The text of a received message: its bytes up to the first NUL.
    static std::string TextOf(const CTarnMessage& message);
    // The reception time of a message, now when it carries none.
    static std::uint64_t TimeOf(const CTarnMessage& message);

protected:
    // Keeps a key of its own to the given one (the application closes its
    // handle after the call).
    void KeepKey(HKEY key);
    HKEY Key() const { return m_key; }
    // The line to the main frame's decoder.
    static void PostTelegram(const std::string& text, std::uint64_t received);
    // Opens the component as the heading and depth inputs do: receive
    // protocol "ASCII", receive time-outs 0 ms a character and 100 ms in
    // all, and after delayMs on this thread the transmit protocol "ASCII"
    // when `enabled` holds then (without holding this thread meanwhile).
    HRESULT OpenAsciiPort(unsigned delayMs, const std::atomic<bool>& enabled);
    // The same with a receive protocol of the caller's, and what follows the
    // delay its own (on this thread).
    HRESULT OpenPortThen(const std::string& rxProtocol, unsigned delayMs, std::function<void()> later);
    // Closes the component, and with it a transmit protocol still to come.
    void CloseAsciiPort();

    const ISensorHost& m_host;

private:
    static constexpr UINT_PTR kTransmitTimer = 1;
    CSensorMonitor m_monitor;
    HKEY m_key = nullptr;
};
