#include "recording/ReplayEnvironmentHost.h"

#include "platform/NumberText.h"
#include "sensors/Environment.h"
#include "sensors/SvpProfile.h"

#include <ctime>

namespace zv::recording {

namespace {
constexpr DWORD kRealTimeProfile = 3;
}

CReplayEnvironmentHost::CReplayEnvironmentHost(CEnvironment* environment, SHooks hooks)
    : m_environment(environment), m_hooks(std::move(hooks))
{
}

void CReplayEnvironmentHost::PingReady(FileTime t)
{
    if (m_hooks.pingReady) m_hooks.pingReady(t);
}
void CReplayEnvironmentHost::SetTide(double m)
{
    if (m_hooks.setTide) m_hooks.setTide(m);
}
void CReplayEnvironmentHost::SetReplayTemperature(double c)
{
    if (m_hooks.setReplayTemperature) m_hooks.setReplayTemperature(c);
}
bool CReplayEnvironmentHost::EnvironmentUpdateFlag()
{
    return m_environment && m_environment->GetUpdateFlag();
}
double CReplayEnvironmentHost::EnvironmentSoundVelocity()
{
    return m_environment ? m_environment->GetSoundVelocity() : 1500.0;
}
void CReplayEnvironmentHost::AfterPing()
{
    if (m_environment) m_environment->GetSoundVelocity();
}
void CReplayEnvironmentHost::SendProfileToOutputs(const std::string& text, FileTime time)
{
    if (m_hooks.sendProfileToOutputs) m_hooks.sendProfileToOutputs(text, time);
}

std::string CReplayEnvironmentHost::ProfileFileName(const std::string& text, FileTime time)
{
    CSvpProfile profile;
    if (profile.ParseProfileText(text, time) <= 0) return {};
    const std::time_t t = profile.GetTime();
    std::tm local{};
    if (!localtime_r(&t, &local)) return {};
    return CNumberText::Format("%04d%02d%02d_%02d%02d%02d.asvp", local.tm_year + 1900, local.tm_mon + 1,
                               local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

void CReplayEnvironmentHost::ApplyReplayProfile(const std::string& text, FileTime time, const std::string& folder)
{
    if (!m_environment) return;
    CSvpProfile profile;
    if (profile.ParseProfileText(text, time) <= 0) return;
    const std::string name = ProfileFileName(text, time);
    if (name.empty() || profile.WriteAsvp(folder + name) <= 0) return;
    m_environment->SetSvpType(kRealTimeProfile);
    m_environment->AnnounceNewProfile(TRUE, folder, name);
}

void CReplayEnvironmentHost::ParseNmea(const std::string& text, FileTime time)
{
    if (m_hooks.parseNmea) m_hooks.parseNmea(text, time);
}
void CReplayEnvironmentHost::AddAnnotation(const std::string& text, FileTime time)
{
    if (m_hooks.addAnnotation) m_hooks.addAnnotation(text, time);
}
void CReplayEnvironmentHost::RestartReplay(const CReplayFileList& list)
{
    if (m_hooks.restartReplay) m_hooks.restartReplay(list);
}
void CReplayEnvironmentHost::ResetGeographicHistory()
{
    if (m_hooks.resetGeographicHistory) m_hooks.resetGeographicHistory();
}
void CReplayEnvironmentHost::UpdateReplayButtons(FileTime s, FileTime e, const std::string& name)
{
    if (m_hooks.updateReplayButtons) m_hooks.updateReplayButtons(s, e, name);
}
void CReplayEnvironmentHost::CopyReplayTable(const FileTime* times)
{
    if (m_hooks.copyReplayTable) m_hooks.copyReplayTable(times);
}
void CReplayEnvironmentHost::RestartPrinting()
{
    if (m_hooks.restartPrinting) m_hooks.restartPrinting();
}
bool CReplayEnvironmentHost::RunInstallationDialog(SReplayInstallation& block, int& applyHeave, int& reprocess,
                                                   int& applyAll)
{
    return m_hooks.runInstallationDialog && m_hooks.runInstallationDialog(block, applyHeave, reprocess, applyAll);
}

}  // namespace zv::recording
