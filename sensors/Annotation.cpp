#include "sensors/Annotation.h"

#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "platform/NumberText.h"

#include <algorithm>

CAnnotation::CAnnotation(Links links) : m_links(std::move(links)) {}

CAnnotation::~CAnnotation()
{
    m_timer.Stop();
}

std::uint32_t CAnnotation::NextEventNumber(std::uint32_t number, bool increase)
{
    if (increase)
        return number >= kMaxEvent ? 0 : number + 1;
    return number == 0 || number > kMaxEvent ? kMaxEvent : number - 1;
}

std::string CAnnotation::TimeText(std::uint64_t time) const
{
    if (m_links.formatTimeLocal)
        return m_links.formatTimeLocal(time);
    SYSTEMTIME st;
    if (!CFileTime::ToLocalSystemTime(time, st))
        return {};
    return CNumberText::Format("%02u:%02u:%02u", st.wHour, st.wMinute, st.wSecond);
}

void CAnnotation::Publish()
{
    m_navigation = m_settings.Navigation;
    m_navigationInterval = m_settings.NavigationInterval;
}

void CAnnotation::LoadSettings()
{
    if (!m_key)
        return;
    CRegistrySupport reg;
    auto read = [&](const char* name, std::uint32_t& v) {
        DWORD d = v;
        reg.GetDword(m_key, kSection, name, d, TRUE);
        v = d;
    };
    read("EventNumber", m_settings.EventNumber);
    read("EventIncrease", m_settings.EventIncrease);
    read("EventAddPosition", m_settings.EventAddPosition);
    read("EventAddTime", m_settings.EventAddTime);
    read("Timer", m_settings.Timer);
    read("TimerInterval", m_settings.TimerInterval);
    read("Navigation", m_settings.Navigation);
    read("NavigationInterval", m_settings.NavigationInterval);
    // Out-of-range stored values would make the counter or the timer
    // misbehave; they are taken at their nearest limit.
    m_settings.EventNumber = std::min(m_settings.EventNumber, kMaxEvent);
    m_settings.TimerInterval = std::clamp<std::uint32_t>(m_settings.TimerInterval, 1, 3600);
    m_settings.NavigationInterval = std::clamp<std::uint32_t>(m_settings.NavigationInterval, 1, 3600);
    Publish();
}

void CAnnotation::SaveSettings() const
{
    if (!m_key)
        return;
    CRegistrySupport reg;
    reg.SetDword(m_key, kSection, "EventNumber", m_settings.EventNumber);
    reg.SetDword(m_key, kSection, "EventIncrease", m_settings.EventIncrease);
    reg.SetDword(m_key, kSection, "EventAddPosition", m_settings.EventAddPosition);
    reg.SetDword(m_key, kSection, "EventAddTime", m_settings.EventAddTime);
    reg.SetDword(m_key, kSection, "Timer", m_settings.Timer);
    reg.SetDword(m_key, kSection, "TimerInterval", m_settings.TimerInterval);
    reg.SetDword(m_key, kSection, "Navigation", m_settings.Navigation);
    reg.SetDword(m_key, kSection, "NavigationInterval", m_settings.NavigationInterval);
}

void CAnnotation::SetUserKey(HKEY key)
{
    m_key = key;
    LoadSettings();
    RestartTimer();
    if (m_links.postEventNumber)
        m_links.postEventNumber(m_settings.EventNumber);
}

void CAnnotation::RestartTimer()
{
    m_timer.Stop();
    if (m_settings.Timer)
        m_timer.Start(m_settings.TimerInterval * 1000u);
}

void CAnnotation::OnEvent()
{
    if (m_links.isReplaying && m_links.isReplaying())
        return;
    m_settings.EventNumber = NextEventNumber(m_settings.EventNumber, m_settings.EventIncrease != 0);
    const std::uint64_t now = CFileTime::Now();
    std::string text = CNumberText::Format("%04u", m_settings.EventNumber);
    if (m_settings.EventAddTime)
        text += " " + TimeText(now);
    if (m_settings.EventAddPosition)
        text += " " + (m_links.positionText ? m_links.positionText() : std::string());
    if (m_links.addAnnotation)
        m_links.addAnnotation(text, now);
    SaveSettings();
    if (m_links.postEventNumber)
        m_links.postEventNumber(m_settings.EventNumber);
}

void CAnnotation::Apply(const DialogResult& result)
{
    const Settings old = m_settings;
    Settings s = result.settings;
    s.EventNumber = std::min(s.EventNumber, kMaxEvent);
    s.TimerInterval = std::clamp<std::uint32_t>(s.TimerInterval, 1, 3600);
    s.NavigationInterval = std::clamp<std::uint32_t>(s.NavigationInterval, 1, 3600);
    m_settings = s;
    Publish();
    if (!result.text.empty() && m_links.addAnnotation)
        m_links.addAnnotation(result.text.substr(0, 80), CFileTime::Now());
    if (s.EventNumber != old.EventNumber && m_links.postEventNumber)
        m_links.postEventNumber(s.EventNumber);
    if (s.Timer != old.Timer || s.TimerInterval != old.TimerInterval)
        RestartTimer();
    SaveSettings();
}

void CAnnotation::OnTimer()
{
    const std::uint64_t now = CFileTime::Now();
    if (m_links.addAnnotation)
        m_links.addAnnotation(TimeText(now), now);
}
