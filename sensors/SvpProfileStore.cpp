#include "sensors/SvpProfileStore.h"

#include "platform/FileTime.h"
#include "platform/NumberText.h"
#include "platform/Paths.h"
#include "sensors/Environment.h"

#include <filesystem>

CSvpProfileStore::CSvpProfileStore(std::function<std::string()> recorderFolder, std::function<SounderModel()> model)
    : m_recorderFolder(std::move(recorderFolder)), m_model(std::move(model)), m_now([] { return CFileTime::Now(); })
{}

std::optional<CSvpProfileStore::SStored> CSvpProfileStore::Write(const CSvpProfile& profile)
{
    if (profile.GetCount() <= 0)
        return std::nullopt;
    std::string folder = m_recorderFolder ? m_recorderFolder() : std::string();
    if (folder.empty())
        folder = CPaths::MapWindowsPath(CSvpProfile::GetFolder(m_model ? m_model() : SounderModel::QY210));
    folder = CPaths::WithTrailingSeparator(folder);
    SYSTEMTIME t{};
    if (!CPaths::CreateFolder(folder) || !CFileTime::ToLocalSystemTime(m_now(), t))
        return std::nullopt;
    const std::string stem =
        CNumberText::Format("%04d%02d%02d_%02d%02d%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    std::lock_guard lock(m_lock);
    for (int n = 1; n < 10000; ++n) {
        const std::string name = (n == 1 ? stem : stem + CNumberText::Format("_%d", n)) + ".asvp";
        std::error_code ec;
        const bool taken = std::filesystem::exists(folder + name, ec);
        if (ec)
            return std::nullopt;
        if (taken)
            continue;
        if (profile.WriteAsvp(folder + name) <= 0)
            return std::nullopt;
        return SStored{folder, name};
    }
    return std::nullopt;
}

bool CSvpProfileStore::StoreAndAnnounce(const CSvpProfile& profile, CEnvironment& environment)
{
    const auto stored = Write(profile);
    if (!stored)
        return false;
    environment.AnnounceNewProfile(FALSE, stored->folder, stored->fileName);
    return true;
}
