// An in-memory serial line for tests: the test plays the far end. It injects
// received bytes, line errors and modem events, and reads what the port
// wrote. A line registered under a name is opened by OpenSerialBackend with
// that name, exclusively, like a device.
#pragma once

#include "platform/SerialBackend.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CFakeSerialLine : public std::enable_shared_from_this<CFakeSerialLine>
{
public:
    static std::shared_ptr<CFakeSerialLine> Create(const std::string& name);
    ~CFakeSerialLine();

    const std::string& Name() const { return m_Name; }

    // The far end ------------------------------------------------------------
    void InjectBytes(const std::vector<BYTE>& bytes);
    void InjectBytes(const std::string& bytes);
    // Line errors (CE_*): raise EV_ERR.
    void InjectLineError(DWORD errors);
    // Comm events (EV_*) with the modem status they leave.
    void InjectModemEvent(DWORD events, DWORD modemStatus);
    // Makes every later write fail (true) or succeed again.
    void FailWrites(bool fail);
    // The line takes no bytes (flow control held, a peer not reading): each
    // write waits its time and writes nothing, until released.
    void HoldWrites(bool hold);
    // The line goes away: reads fail, writes fail.
    void Hangup();
    // The port's next waits end at once as if their time ran out.
    void InjectSilence(std::size_t waits);

    std::vector<BYTE> Written() const;
    // Waits until at least count bytes were written; false on time-out.
    bool WaitWritten(std::size_t count, std::chrono::milliseconds timeout) const;
    std::size_t WriteCalls() const;
    bool IsOpen() const;
    SerialLineSettings Settings() const;
    DWORD EscapeState() const;  // last SETDTR/CLRDTR ... per function bit
    std::size_t PurgeCount() const;

    // The backend a port opens.
    std::unique_ptr<ISerialBackend> Open();

private:
    explicit CFakeSerialLine(std::string name) : m_Name(std::move(name)) {}
    friend class CFakeSerialBackend;

    const std::string m_Name;
    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Changed;
    std::deque<BYTE> m_Incoming;
    std::vector<BYTE> m_Written;
    std::size_t m_WriteCalls = 0;
    std::size_t m_Purges = 0;
    std::size_t m_Silences = 0;
    DWORD m_Events = 0;
    DWORD m_Errors = 0;
    DWORD m_Modem = 0;
    DWORD m_Escape = 0;
    bool m_FailWrites = false;
    bool m_HoldWrites = false;
    bool m_Hungup = false;
    bool m_Open = false;
    SerialLineSettings m_Settings;
};

// Used by OpenSerialBackend: the registered fake of that name, or null.
std::unique_ptr<ISerialBackend> OpenFakeSerialLine(const std::string& name, bool* known);
