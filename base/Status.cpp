#include "base/Status.h"

#include "base/DiagRecord.h"
#include "base/EchosounderError.h"
#include "base/StringTable.h"
#include "platform/MessageDispatcher.h"

#include <algorithm>
#include <cstdio>

namespace app {

namespace {

// One-shot timers on the dispatcher's thread timers.
class DispatcherTimers final : public IStatusTimers
{
public:
    std::uintptr_t Start(unsigned ms, std::function<void()> fire) override
    {
        auto holder = std::make_shared<std::function<void()>>(std::move(fire));
        return ::SetTimer(0, 0, ms, [holder](HWND, UINT, UINT_PTR id, DWORD) {
            ::KillTimer(0, id);
            (*holder)();
        });
    }
    void Stop(std::uintptr_t id) override
    {
        if (id != 0)
            ::KillTimer(0, id);
    }
};

struct PaneRow
{
    unsigned id;
    const char* text;
    unsigned style;
    int width;
};

constexpr PaneRow kAllPanes[] = {
    {0, "", SBPS_STRETCH, 0},
    {ids::EVENT_COUNTER, "E0000", SBPS_NORMAL, 50},
    {ids::ACTIVITY, "I", SBPS_DISABLED_NOBORDERS, 0},
    {ids::PING_RATE, "Hz", SBPS_NORMAL, 60},
    {ids::WATER_TEMPERATURE, "Celsius", SBPS_NORMAL, 60},
    {ids::SOUND_VELOCITY, "m/s", SBPS_NORMAL, 75},
    {ids::LINE_COUNTER, "L0000", SBPS_NORMAL, 50},
    {ids::H_COUNTER, "H0000", SBPS_POPOUT, 50},
    {ids::ES_STATUS_TEXT_PANE, " ", SBPS_NORMAL, 225},
    {ids::CLOCK_PANE, " ", SBPS_NORMAL, 100},
};

std::vector<unsigned> PaneIdsFor(SounderModel model)
{
    switch (model) {
    case SounderModel::QY210:
    case SounderModel::QY310:
    case SounderModel::QYNVU:
        return {0,
                ids::EVENT_COUNTER,
                ids::ACTIVITY,
                ids::PING_RATE,
                ids::WATER_TEMPERATURE,
                ids::SOUND_VELOCITY,
                ids::LINE_COUNTER,
                ids::H_COUNTER,
                ids::ES_STATUS_TEXT_PANE,
                ids::CLOCK_PANE};
    case SounderModel::RM30:
    case SounderModel::TQ30:
        return {0,
                ids::EVENT_COUNTER,
                ids::ACTIVITY,
                ids::WATER_TEMPERATURE,
                ids::LINE_COUNTER,
                ids::ES_STATUS_TEXT_PANE,
                ids::CLOCK_PANE};
    default:
        return {0,
                ids::EVENT_COUNTER,
                ids::ACTIVITY,
                ids::SOUND_VELOCITY,
                ids::WATER_TEMPERATURE,
                ids::LINE_COUNTER,
                ids::ES_STATUS_TEXT_PANE,
                ids::CLOCK_PANE};
    }
}

// Panes that go to the second bar when the frame is narrow.
constexpr unsigned kMovingPanes[] = {ids::EVENT_COUNTER, ids::ACTIVITY,          ids::LINE_COUNTER,
                                     ids::H_COUNTER,     ids::WATER_TEMPERATURE, ids::ES_STATUS_TEXT_PANE};

bool IsMoving(unsigned id)
{
    return std::find(std::begin(kMovingPanes), std::end(kMovingPanes), id) != std::end(kMovingPanes);
}

}  // namespace

CStatus::CStatus(SounderModel model, IStatusTimers* timers) : m_timers(timers)
{
    if (!m_timers) {
        m_ownTimers = std::make_unique<DispatcherTimers>();
        m_timers = m_ownTimers.get();
    }
    for (unsigned id : PaneIdsFor(model)) {
        for (const auto& row : kAllPanes) {
            if (row.id == id)
                m_panes.push_back({row.id, row.text, row.style, row.width, false, false});
        }
    }
}

CStatus::~CStatus()
{
    m_timers->Stop(m_statusTimer);
    m_timers->Stop(m_alarmTimer);
}

void CStatus::PostStatusMessage(unsigned stringId)
{
    ::PostMessage(::GetMainWindow(), WM_ES_STATUSMESSAGE, stringId, MESSAGE_TYPE_STATUS);
}

BOOL CStatus::PostAlarm(unsigned stringId)
{
    return ::PostMessage(::GetMainWindow(), WM_ES_STATUSMESSAGE, stringId, MESSAGE_TYPE_ALARM);
}

std::string CStatus::CounterText(const char* letter, long number)
{
    char text[32];
    std::snprintf(text, sizeof text, "%s%04ld", letter, number);
    return text;
}

StatusPane* CStatus::Pane(unsigned id)
{
    for (auto& pane : m_panes)
        if (pane.id == id)
            return &pane;
    return nullptr;
}

const StatusPane* CStatus::FindPane(unsigned id) const
{
    return const_cast<CStatus*>(this)->Pane(id);
}

void CStatus::Changed()
{
    if (m_owner)
        m_owner->PanesChanged();
}

void CStatus::AddMessage(unsigned stringId, int type)
{
    auto& queue = type == MESSAGE_TYPE_STATUS ? m_statusQueue : m_alarmQueue;
    if (type != MESSAGE_TYPE_STATUS && type != MESSAGE_TYPE_ALARM)
        EchosounderFatalError("Status", 214, "Invalid MESSAGE_TYPE (%d)", type);
    if (std::find(queue.begin(), queue.end(), stringId) == queue.end())
        queue.push_back(stringId);
    if (type == MESSAGE_TYPE_STATUS)
        ShowNextStatus();
    else
        ShowNextAlarm();
}

void CStatus::ShowNextStatus()
{
    if (!m_owner || m_statusQueue.empty() || !m_statusReady)
        return;
    m_statusReady = false;
    m_statusText = Strings().Find(m_statusQueue.front()).value_or("Unknown Status Message");
    if (m_messagesEnabled)
        m_owner->ShowStatusText(m_statusText);
    if (forwardText)
        forwardText(m_statusText);
    if (m_beepStatus && beep)
        beep(1000, 100);
    m_statusTimer = m_timers->Start(kStatusShowMs, [this] { StatusShown(); });
}

void CStatus::StatusShown()
{
    m_statusTimer = 0;
    m_statusText.clear();
    if (m_owner)
        m_owner->ShowStatusText(std::string());
    m_statusTimer = m_timers->Start(kStatusGapMs, [this] { StatusGapOver(); });
}

void CStatus::StatusGapOver()
{
    m_statusTimer = 0;
    if (!m_statusQueue.empty())
        m_statusQueue.pop_front();
    m_statusReady = true;
    ShowNextStatus();
}

void CStatus::ShowNextAlarm()
{
    if (!m_owner || m_alarmQueue.empty() || !m_alarmReady)
        return;
    m_alarmReady = false;
    const unsigned id = m_alarmQueue.front();
    m_alarmText = Strings().Find(id).value_or("Unknown Alarm Message");
    CDiagRecord record(recordSource, recordComponent, recordVersion, "Status", 269);
    record.ReportText(id, m_alarmText);
    m_owner->ShowAlarmText(m_alarmText);
    if (forwardText)
        forwardText(m_alarmText);
    if (m_beepAlarm && beep)
        beep(500, 1000);
    m_alarmTimer = m_timers->Start(kAlarmShowMs, [this] { AlarmOver(); });
}

void CStatus::AlarmOver()
{
    m_alarmTimer = 0;
    if (!m_alarmQueue.empty())
        m_alarmQueue.pop_front();
    m_alarmText.clear();
    m_alarmReady = true;
    if (m_owner)
        m_owner->ShowAlarmText(std::string());
    ShowNextAlarm();
}

void CStatus::SetPaneString(unsigned paneId, const std::string* text)
{
    if (paneId == 0)
        return;
    StatusPane* pane = Pane(paneId);
    if (!pane)
        return;
    if (!text) {
        pane->text.clear();
    } else if (auto own = Strings().Find(paneId)) {
        pane->text = *own + *text;
    } else {
        pane->text = *text;
    }
    Changed();
}

void CStatus::SetPaneText(unsigned paneId, std::string text)
{
    StatusPane* pane = Pane(paneId);
    if (pane && pane->text != text) {
        pane->text = std::move(text);
        Changed();
    }
}

void CStatus::SetCounter(unsigned paneId, const char* letter, long number, bool active)
{
    StatusPane* pane = Pane(paneId);
    if (!pane)
        return;
    pane->text = CounterText(letter, number);
    pane->active = active;
    if (active)
        pane->style |= SBPS_OWNERDRAW;
    else
        pane->style &= ~SBPS_OWNERDRAW;
    Changed();
}

void CStatus::SetActivityIndicator(bool on)
{
    StatusPane* pane = Pane(ids::ACTIVITY);
    if (!pane)
        return;
    pane->style = on ? SBPS_OWNERDRAW : SBPS_DISABLED_NOBORDERS;
    pane->width = on ? 18 : 0;
    pane->active = on;
    Changed();
}

void CStatus::ResetCounters()
{
    for (unsigned id : {ids::EVENT_COUNTER, ids::LINE_COUNTER, ids::H_COUNTER}) {
        if (StatusPane* pane = Pane(id)) {
            pane->style = SBPS_POPOUT;
            pane->active = false;
        }
    }
    Changed();
}

void CStatus::OnBarWidth(int width)
{
    if (width < kSecondBarBelowWidth && !m_secondBar) {
        m_secondBar = true;
        for (auto& pane : m_panes)
            if (IsMoving(pane.id))
                pane.inSecondBar = true;
        Changed();
    } else if (width > kSecondBarBelowWidth && m_secondBar) {
        m_secondBar = false;
        for (auto& pane : m_panes)
            pane.inSecondBar = false;
        Changed();
    }
}

}  // namespace app
