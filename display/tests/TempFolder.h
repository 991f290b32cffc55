// A private temporary folder, removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class TempFolder
{
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "zvdisplay-XXXXXX").string();
        if (mkdtemp(pattern.data()))
            m_path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove_all(m_path, ec);
    }
    std::string File(const std::string& name) const { return (m_path / name).string(); }
    bool Ok() const { return !m_path.empty(); }

private:
    std::filesystem::path m_path;
};
