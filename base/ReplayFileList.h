// The recorded files to replay, in creation-time order, with the options
// chosen for the replay.
#pragma once

#include <string>
#include <vector>

class CReplayFileList
{
public:
    CReplayFileList() = default;
    CReplayFileList(const CReplayFileList&) = default;
    CReplayFileList& operator=(const CReplayFileList&) = default;
    virtual ~CReplayFileList() = default;

    // Inserts before the first file created later; an unreadable creation
    // time ends the scan without adding (an empty list takes any name).
    bool AddFileByTime(const std::string& fileName);
    // The name at a position; any index outside the list is a program error.
    const std::string& GetFileName(int index) const;
    int GetCount() const { return static_cast<int>(m_files.size()); }
    bool IsEmpty() const { return m_files.empty(); }
    void AddTail(const std::string& fileName) { m_files.push_back(fileName); }
    const std::vector<std::string>& GetFiles() const { return m_files; }

    int m_currentIndex = 0;
    int m_loop = 1;
    int m_changeInstallation = 0;
    int m_fourth = 0;
    int m_saveData = 0;
    int m_integers[4] = {};
    double m_doubles[4] = {};
    int m_moreIntegers[3] = {};

private:
    std::vector<std::string> m_files;
};
