#include "base/SettingsFolder.h"

#include "platform/DurableFile.h"

void CSettingsFolder::Set(const std::string& folder)
{
    {
        std::lock_guard lock(m_lock);
        m_folder = folder;
    }
    if (!folder.empty())
        CDurableFile::RemoveStaleTemporaries(folder);
}

std::string CSettingsFolder::Get() const
{
    std::lock_guard lock(m_lock);
    return m_folder;
}
