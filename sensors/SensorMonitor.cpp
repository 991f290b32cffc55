#include "sensors/SensorMonitor.h"

#include "base/AppIds.h"
#include "platform/MessageDispatcher.h"

#include <cstdio>

CSensorMonitor::CSensorMonitor(std::size_t cutAbove, std::size_t keep) : m_cutAbove(cutAbove), m_keep(keep)
{
    m_window = CreateMessageWindow([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == app::WM_ES_NEWDATA) {
            Refresh();
        } else if (message == kValuesMessage) {
            m_valuesPending = false;
            if (m_view)
                m_view->OnSensorValues();
        }
        return 0;
    });
}

CSensorMonitor::~CSensorMonitor()
{
    if (m_window)
        DestroyWindow(m_window);
}

void CSensorMonitor::AppendText(const std::string& text)
{
    {
        std::lock_guard lock(m_lock);
        m_text += text;
        if (text.size() > 1 && (m_text.empty() || m_text.back() != '\n'))
            m_text += "\r\n";
    }
    Notify();
}

void CSensorMonitor::AppendHex(const BYTE* bytes, std::size_t count)
{
    {
        std::lock_guard lock(m_lock);
        char hex[4];
        for (std::size_t i = 0; i < count; ++i) {
            std::snprintf(hex, sizeof hex, " %02X", bytes[i]);
            m_text += hex;
        }
        if (count >= 2)
            m_text += "\r\n";
    }
    Notify();
}

void CSensorMonitor::Clear()
{
    {
        std::lock_guard lock(m_lock);
        m_text.clear();
    }
    Notify();
}

std::string CSensorMonitor::Text() const
{
    std::lock_guard lock(m_lock);
    return m_text;
}

void CSensorMonitor::Notify()
{
    // A line flood would queue a refresh per line; one is enough, since it
    // reads whatever has arrived by then.
    if (m_pending.exchange(true))
        return;
    if (!m_window || !PostMessage(m_window, app::WM_ES_NEWDATA, 0, 0))
        m_pending = false;
}

void CSensorMonitor::NotifyValues()
{
    if (m_valuesPending.exchange(true))
        return;
    if (!m_window || !PostMessage(m_window, kValuesMessage, 0, 0))
        m_valuesPending = false;
}

void CSensorMonitor::Refresh()
{
    // Cleared first: a line that arrives while the view reads posts again.
    m_pending = false;
    {
        std::lock_guard lock(m_lock);
        if (m_text.size() > m_cutAbove)
            m_text.erase(0, m_text.size() - m_keep);
    }
    if (m_view)
        m_view->OnSensorChanged();
}
