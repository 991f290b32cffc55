// The folder where objects keep settings files of their own, as the
// application sets it. A path is this text followed directly by a file name,
// so it normally ends with '/'. The application owns one and hands it to the
// objects that keep files there; read from any thread.
#pragma once

#include <mutex>
#include <string>

class CSettingsFolder
{
public:
    CSettingsFolder() = default;
    explicit CSettingsFolder(const std::string& folder) { Set(folder); }
    CSettingsFolder(const CSettingsFolder&) = delete;
    CSettingsFolder& operator=(const CSettingsFolder&) = delete;

    // Saves cut off by a crash or a kill leave their temporaries behind: a
    // folder set clears them away.
    void Set(const std::string& folder);
    std::string Get() const;

private:
    mutable std::mutex m_lock;
    std::string m_folder;
};
