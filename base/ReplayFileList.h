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

    // The options of the replay file dialog, and words a copy carries over
    // unchanged for the replay transceiver, which reads them through
    // CTransceiver::GetRecordedInteger1..10 and GetRecordedDouble1..4.
    int m_currentIndex = 0;        // the index of the file replayed
    int m_loop = 1;                // "Loop": start again from the first file after the last
    int m_changeInstallation = 0;  // "Change Installation": reprocess with another installation
    int m_fourth = 0;              // 0 as built
    int m_saveData = 0;            // "Save Data": the recorder stores the replayed pings
    int m_integers[4] = {};        // spare words
    double m_doubles[4] = {};      // spare doubles
    int m_moreIntegers[3] = {};    // further words

private:
    std::vector<std::string> m_files;
};
