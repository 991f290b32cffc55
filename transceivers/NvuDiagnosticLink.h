// The hold the wide-band unit's diagnostic window has on its unit. The unit
// and the window each keep a share of it. The window reads the unit's texts
// and sends its test commands only through it; the unit detaches before
// anything of it is freed, and from then on the window reads nothing and
// closes by itself. So a window never outlives what it reads.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// What the diagnostic window shows of its unit.
struct NvuStatusTexts
{
    bool processing = false;
    std::array<std::string, 10> pingLines;  // one per ring record
    std::string bufferLine;
    std::string headerLine;
    std::array<std::string, 4> decimationLines;  // one per unit channel
    std::string log;                             // the unit's information messages
};

class CNvuDiagnosticLink
{
public:
    using Reader = std::function<void(NvuStatusTexts& texts)>;
    using Command = std::function<void(int selection)>;

    CNvuDiagnosticLink(Reader read, Command command) : m_read(std::move(read)), m_command(std::move(command)) {}

    // The unit's texts; false once the unit has detached.
    bool Read(NvuStatusTexts& texts)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_attached)
            return false;
        m_read(texts);
        return true;
    }
    // The window's test selection; false once the unit has detached.
    bool SendTestCommand(int selection)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (!m_attached)
            return false;
        m_command(selection);
        return true;
    }
    // The unit goes: waits for a read in progress, then none comes any more.
    void Detach()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_attached = false;
    }
    bool IsAttached() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_attached;
    }
    // The window's own state: set while it is on the screen.
    void SetWindowOpen(bool open) { m_open = open; }
    bool IsWindowOpen() const { return m_open.load(); }

private:
    mutable std::mutex m_lock;
    bool m_attached = true;
    std::atomic<bool> m_open{false};
    Reader m_read;
    Command m_command;
};

// The unit's handle on its open diagnostic window (user-interface thread).
class INvuDiagnosticWindow
{
public:
    virtual ~INvuDiagnosticWindow() = default;
    // Brings the window to the front.
    virtual void Raise() = 0;
};
