// The main frame's status bar, as far as it is not drawing: its panes, the
// two message queues (status messages and alarms) with their display times,
// the counters, and the move of panes to a second bar when the frame is
// narrow. The Qt status bar (app/ui) draws what this holds and is told of
// every change through IStatusOwner.
#pragma once

#include "base/AppIds.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace app {

// Pane styles of the class library.
inline constexpr unsigned SBPS_NORMAL = 0x0000;
inline constexpr unsigned SBPS_POPOUT = 0x0200;
inline constexpr unsigned SBPS_OWNERDRAW = 0x1000;
inline constexpr unsigned SBPS_DISABLED_NOBORDERS = 0x04000100;
inline constexpr unsigned SBPS_STRETCH = 0x08000000;

inline constexpr int MESSAGE_TYPE_STATUS = 0;
inline constexpr int MESSAGE_TYPE_ALARM = 1;

inline constexpr unsigned kStatusShowMs = 5000;
inline constexpr unsigned kStatusGapMs = 500;
inline constexpr unsigned kAlarmShowMs = 10000;
inline constexpr int kSecondBarBelowWidth = 720;

struct StatusPane
{
    unsigned id = 0;
    std::string text;
    unsigned style = SBPS_NORMAL;
    int width = 0;
    bool inSecondBar = false;  // the pane shows in the second bar
    bool active = false;       // counters: drawn in red
};

// Told of everything the bar shows.
class IStatusOwner
{
public:
    virtual ~IStatusOwner() = default;
    virtual void ShowStatusText(const std::string& text) = 0;  // empty: clear
    virtual void ShowAlarmText(const std::string& text) = 0;   // empty: clear
    virtual void PanesChanged() = 0;
};

// One-shot timers the queues run on; the default runs them on the
// dispatcher's thread timers of the calling (user-interface) thread.
class IStatusTimers
{
public:
    virtual ~IStatusTimers() = default;
    virtual std::uintptr_t Start(unsigned ms, std::function<void()> fire) = 0;
    virtual void Stop(std::uintptr_t id) = 0;
};

class CStatus
{
public:
    explicit CStatus(SounderModel model, IStatusTimers* timers = nullptr);
    ~CStatus();
    CStatus(const CStatus&) = delete;
    CStatus& operator=(const CStatus&) = delete;

    // From any thread: message 0x470 to the main window.
    static void PostStatusMessage(unsigned stringId);
    static BOOL PostAlarm(unsigned stringId);
    static BOOL RaiseAlarm(unsigned stringId) { return PostAlarm(stringId); }

    void SetOwner(IStatusOwner* owner) { m_owner = owner; }

    // User-interface thread.
    void AddMessage(unsigned stringId, int type);
    void SetPaneString(unsigned paneId, const std::string* text);
    // Sets a pane's text as it stands (the clock, ping rate and others).
    void SetPaneText(unsigned paneId, std::string text);
    void SetLineCounter(long number, bool active) { SetCounter(ids::LINE_COUNTER, "L", number, active); }
    void SetEventCounter(long number, bool active) { SetCounter(ids::EVENT_COUNTER, "E", number, active); }
    void SetHCounter(long number, bool active) { SetCounter(ids::H_COUNTER, "H", number, active); }
    void SetActivityIndicator(bool on);
    void ResetCounters();
    void OnBarWidth(int width);

    bool MessagePaneEnabled() const { return m_messagesEnabled; }
    void EnableMessagePane(bool on) { m_messagesEnabled = on; }
    bool AlarmDialogsEnabled() const { return m_alarmDialogs; }
    // Whether paper printing runs: the bar marks it.
    void SetPrintingIndicator(bool on)
    {
        if (on == m_printing)
            return;
        m_printing = on;
        Changed();
    }
    bool PrintingIndicator() const { return m_printing; }
    void EnableAlarmDialogs(bool on) { m_alarmDialogs = on; }
    void SetBeepFlags(bool onStatus, bool onAlarm)
    {
        m_beepStatus = onStatus;
        m_beepAlarm = onAlarm;
    }

    const std::vector<StatusPane>& Panes() const { return m_panes; }
    const StatusPane* FindPane(unsigned id) const;
    bool SecondBarInUse() const { return m_secondBar; }
    const std::deque<unsigned>& StatusQueue() const { return m_statusQueue; }
    const std::deque<unsigned>& AlarmQueue() const { return m_alarmQueue; }
    const std::string& CurrentStatusText() const { return m_statusText; }
    const std::string& CurrentAlarmText() const { return m_alarmText; }

    // Where each status and alarm text goes beside the bar (the network and
    // serial outputs), and how a beep is made; both set by the application.
    std::function<void(const std::string&)> forwardText;
    std::function<void(unsigned hz, unsigned ms)> beep;
    // Names that the alarm's diagnostic record carries.
    std::string recordSource = "Ostrival";
    std::string recordComponent = "Ostrival";
    std::string recordVersion;

    // Counter text: "<letter>%04d".
    static std::string CounterText(const char* letter, long number);

private:
    StatusPane* Pane(unsigned id);
    void SetCounter(unsigned paneId, const char* letter, long number, bool active);
    void ShowNextStatus();
    void ShowNextAlarm();
    void StatusShown();
    void StatusGapOver();
    void AlarmOver();
    void Changed();

    std::vector<StatusPane> m_panes;
    IStatusOwner* m_owner = nullptr;
    IStatusTimers* m_timers;
    std::unique_ptr<IStatusTimers> m_ownTimers;
    std::deque<unsigned> m_statusQueue;
    std::deque<unsigned> m_alarmQueue;
    bool m_statusReady = true;
    bool m_alarmReady = true;
    std::uintptr_t m_statusTimer = 0;
    std::uintptr_t m_alarmTimer = 0;
    std::string m_statusText;
    std::string m_alarmText;
    bool m_messagesEnabled = true;
    bool m_alarmDialogs = false;
    bool m_printing = false;
    bool m_beepStatus = false;
    bool m_beepAlarm = false;
    bool m_secondBar = false;
};

}  // namespace app
