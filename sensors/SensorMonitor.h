// The monitor of a serial sensor's settings dialog: the text received on its
// line, appended on the reader thread while the dialog shows it, and cut to
// a tail of its own length when it grows too long. Each change is announced
// by message 0x475 (WM_ES_NEWDATA) to the monitor's own window, on the
// thread that made the monitor (the user-interface thread); a flood of lines
// posts one message until it has been handled. The handler cuts the text and
// tells the dialog that shows it, which then reads the sensor's state.
#pragma once

#include "base/AppIds.h"
#include "platform/WinTypes.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

// The dialog that shows a sensor: told on the user-interface thread that
// the monitor or the sensor's state changed.
class ISensorView
{
public:
    virtual ~ISensorView() = default;
    virtual void OnSensorChanged() = 0;
    // The sensor's latest values changed (message 0x476).
    virtual void OnSensorValues() {}
};

class CSensorMonitor
{
public:
    // A text longer than cutAbove characters keeps its last `keep`.
    CSensorMonitor(std::size_t cutAbove, std::size_t keep);
    ~CSensorMonitor();
    CSensorMonitor(const CSensorMonitor&) = delete;
    CSensorMonitor& operator=(const CSensorMonitor&) = delete;

    // While the dialog shows its data (any thread reads it).
    void SetVisible(bool on) { m_visible = on; }
    bool IsVisible() const { return m_visible.load(); }
    // The dialog told of changes (user-interface thread); null: none.
    void SetView(ISensorView* view) { m_view = view; }

    // A received line as text: appended, and "\r\n" after it when it has
    // more than one character and the monitor does not end with a line
    // feed. Any thread.
    void AppendText(const std::string& text);
    // Received bytes, each as " %02X", and "\r\n" after two or more.
    void AppendHex(const BYTE* bytes, std::size_t count);
    void Clear();
    std::string Text() const;

    // Something the dialog shows changed: one 0x475 until it is handled.
    void Notify();
    // The latest values changed: one 0x476 until it is handled; the view
    // reads them from the sensor.
    void NotifyValues();
    // 0x476, which the main frame takes for its background colour.
    static constexpr unsigned kValuesMessage = app::WM_ES_BACKGROUNDCOLOR;

    // What the 0x475 handler does, on the user-interface thread: cuts the
    // text and tells the view.
    void Refresh();

    HWND Window() const { return m_window; }
    std::size_t CutAbove() const { return m_cutAbove; }
    std::size_t Keep() const { return m_keep; }

private:
    const std::size_t m_cutAbove;
    const std::size_t m_keep;
    std::atomic<bool> m_visible{false};
    std::atomic<bool> m_pending{false};
    std::atomic<bool> m_valuesPending{false};
    ISensorView* m_view = nullptr;
    mutable std::mutex m_lock;
    std::string m_text;
    HWND m_window = 0;
};
