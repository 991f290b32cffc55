#include "platform/SerialBackendFake.h"

#include <algorithm>
#include <map>

namespace {

std::mutex& RegistryMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::string, std::weak_ptr<CFakeSerialLine>>& Registry()
{
    static std::map<std::string, std::weak_ptr<CFakeSerialLine>> lines;
    return lines;
}

}  // namespace

class CFakeSerialBackend final : public ISerialBackend
{
public:
    explicit CFakeSerialBackend(std::shared_ptr<CFakeSerialLine> line) : m_Line(std::move(line)) {}
    ~CFakeSerialBackend() override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        m_Line->m_Open = false;
        m_Line->m_Changed.notify_all();
    }

    BOOL Configure(const SerialLineSettings& settings) override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        if (settings.baud == 0 || settings.dataBits < 5 || settings.dataBits > 8)
            return FALSE;
        m_Line->m_Settings = settings;
        return TRUE;
    }

    SerialWait Wait(DWORD timeoutMs) override
    {
        std::unique_lock lock(m_Line->m_Mutex);
        SerialWait result = SerialWait::Timeout;
        m_Line->m_Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            if (m_Cancelled)
                result = SerialWait::Cancelled;
            else if (m_Line->m_Events || m_Line->m_Errors)
                result = SerialWait::Event;
            else if (!m_Line->m_Incoming.empty())
                result = SerialWait::Readable;
            else if (m_Line->m_Hungup && !m_ReportedHangup)
                result = SerialWait::Failed;
            else if (m_Line->m_Silences) {
                --m_Line->m_Silences;
                result = SerialWait::Timeout;
            } else
                return false;
            return true;
        });
        if (result == SerialWait::Failed)
            m_ReportedHangup = true;
        return result;
    }

    long Read(BYTE* buffer, std::size_t max) override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        if (m_Line->m_Hungup && m_Line->m_Incoming.empty())
            return -1;
        const std::size_t n = std::min(max, m_Line->m_Incoming.size());
        std::copy_n(m_Line->m_Incoming.begin(), n, buffer);
        m_Line->m_Incoming.erase(m_Line->m_Incoming.begin(), m_Line->m_Incoming.begin() + static_cast<long>(n));
        return static_cast<long>(n);
    }

    long Write(const BYTE* bytes, std::size_t n, DWORD timeoutMs) override
    {
        std::unique_lock lock(m_Line->m_Mutex);
        ++m_Line->m_WriteCalls;
        // A line that takes no bytes: the write waits its time, then gives
        // up having written nothing.
        m_Line->m_Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return !m_Line->m_HoldWrites || m_Cancelled || m_Line->m_Hungup; });
        if (m_Line->m_HoldWrites && !m_Cancelled && !m_Line->m_Hungup)
            return 0;
        if (m_Line->m_FailWrites || m_Line->m_Hungup || m_Cancelled)
            return -1;
        m_Line->m_Written.insert(m_Line->m_Written.end(), bytes, bytes + n);
        m_Line->m_Changed.notify_all();
        return static_cast<long>(n);
    }

    DWORD TakeEvents() override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        DWORD events = m_Line->m_Events;
        if (m_Line->m_Errors)
            events |= EV_ERR;
        m_Line->m_Events = 0;
        return events;
    }

    DWORD ClearError() override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        const DWORD errors = m_Line->m_Errors;
        m_Line->m_Errors = 0;
        return errors;
    }

    DWORD GetModemStatus() override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        return m_Line->m_Modem;
    }

    BOOL Escape(DWORD function) override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        if (function == 0 || function > CLRBREAK)
            return FALSE;
        m_Line->m_Escape |= 1u << function;
        // The opposite function clears its partner's bit.
        const DWORD partner = (function % 2) ? function + 1 : function - 1;
        m_Line->m_Escape &= ~(1u << partner);
        return TRUE;
    }

    void Purge() override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        m_Line->m_Incoming.clear();
        ++m_Line->m_Purges;
    }

    void Cancel() override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        m_Cancelled = true;
        m_Line->m_Changed.notify_all();
    }

    void ResetCancel() override
    {
        std::lock_guard lock(m_Line->m_Mutex);
        m_Cancelled = false;
    }

private:
    std::shared_ptr<CFakeSerialLine> m_Line;
    bool m_Cancelled = false;  // under the line's mutex
    bool m_ReportedHangup = false;
};

std::shared_ptr<CFakeSerialLine> CFakeSerialLine::Create(const std::string& name)
{
    std::shared_ptr<CFakeSerialLine> line(new CFakeSerialLine(name));
    std::lock_guard lock(RegistryMutex());
    Registry()[name] = line;
    return line;
}

CFakeSerialLine::~CFakeSerialLine()
{
    std::lock_guard lock(RegistryMutex());
    auto it = Registry().find(m_Name);
    if (it != Registry().end() && it->second.expired())
        Registry().erase(it);
}

void CFakeSerialLine::InjectBytes(const std::vector<BYTE>& bytes)
{
    std::lock_guard lock(m_Mutex);
    m_Incoming.insert(m_Incoming.end(), bytes.begin(), bytes.end());
    m_Changed.notify_all();
}

void CFakeSerialLine::InjectBytes(const std::string& bytes)
{
    InjectBytes(std::vector<BYTE>(bytes.begin(), bytes.end()));
}

void CFakeSerialLine::InjectLineError(DWORD errors)
{
    std::lock_guard lock(m_Mutex);
    m_Errors |= errors;
    m_Changed.notify_all();
}

void CFakeSerialLine::InjectModemEvent(DWORD events, DWORD modemStatus)
{
    std::lock_guard lock(m_Mutex);
    m_Events |= events;
    m_Modem = modemStatus;
    m_Changed.notify_all();
}

void CFakeSerialLine::HoldWrites(bool hold)
{
    std::lock_guard lock(m_Mutex);
    m_HoldWrites = hold;
    m_Changed.notify_all();
}

void CFakeSerialLine::FailWrites(bool fail)
{
    std::lock_guard lock(m_Mutex);
    m_FailWrites = fail;
}

void CFakeSerialLine::Hangup()
{
    std::lock_guard lock(m_Mutex);
    m_Hungup = true;
    m_Changed.notify_all();
}

void CFakeSerialLine::InjectSilence(std::size_t waits)
{
    std::lock_guard lock(m_Mutex);
    m_Silences += waits;
    m_Changed.notify_all();
}

std::vector<BYTE> CFakeSerialLine::Written() const
{
    std::lock_guard lock(m_Mutex);
    return m_Written;
}

bool CFakeSerialLine::WaitWritten(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_Mutex);
    return m_Changed.wait_for(lock, timeout, [&] { return m_Written.size() >= count; });
}

std::size_t CFakeSerialLine::WriteCalls() const
{
    std::lock_guard lock(m_Mutex);
    return m_WriteCalls;
}

bool CFakeSerialLine::IsOpen() const
{
    std::lock_guard lock(m_Mutex);
    return m_Open;
}

SerialLineSettings CFakeSerialLine::Settings() const
{
    std::lock_guard lock(m_Mutex);
    return m_Settings;
}

DWORD CFakeSerialLine::EscapeState() const
{
    std::lock_guard lock(m_Mutex);
    return m_Escape;
}

std::size_t CFakeSerialLine::PurgeCount() const
{
    std::lock_guard lock(m_Mutex);
    return m_Purges;
}

std::unique_ptr<ISerialBackend> CFakeSerialLine::Open()
{
    std::lock_guard lock(m_Mutex);
    if (m_Open)
        return nullptr;
    m_Open = true;
    return std::make_unique<CFakeSerialBackend>(shared_from_this());
}

std::unique_ptr<ISerialBackend> OpenFakeSerialLine(const std::string& name, bool* known)
{
    std::shared_ptr<CFakeSerialLine> line;
    {
        std::lock_guard lock(RegistryMutex());
        auto it = Registry().find(name);
        if (it != Registry().end())
            line = it->second.lock();
    }
    if (known)
        *known = static_cast<bool>(line);
    return line ? line->Open() : nullptr;
}
