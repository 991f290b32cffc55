#include "recording/ReplayEnvironmentHost.h"

#include "platform/NumberText.h"
#include "sensors/Environment.h"
#include "sensors/SvpProfile.h"

#include <ctime>

namespace zv::recording {

namespace {
constexpr DWORD kRealTimeProfile = 3;
}

CReplayEnvironmentHost::CReplayEnvironmentHost(CEnvironment* environment) : m_environment(environment) {}

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
    if (m_environment)
        m_environment->GetSoundVelocity();
}

std::string CReplayEnvironmentHost::ProfileFileName(const std::string& text, FileTime time)
{
    CSvpProfile profile;
    if (profile.ParseProfileText(text, time) <= 0)
        return {};
    const std::time_t t = profile.GetTime();
    std::tm local{};
    if (!localtime_r(&t, &local))
        return {};
    return CNumberText::Format("%04d%02d%02d_%02d%02d%02d.asvp", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                               local.tm_hour, local.tm_min, local.tm_sec);
}

void CReplayEnvironmentHost::ApplyReplayProfile(const std::string& text, FileTime time, const std::string& folder)
{
    if (!m_environment)
        return;
    CSvpProfile profile;
    if (profile.ParseProfileText(text, time) <= 0)
        return;
    const std::string name = ProfileFileName(text, time);
    if (name.empty() || profile.WriteAsvp(folder + name) <= 0)
        return;
    m_environment->SetSvpType(kRealTimeProfile);
    m_environment->AnnounceNewProfile(TRUE, folder, name);
}

}  // namespace zv::recording
