// A file that lives in memory only, with a path through which the code
// under test opens it as it opens any file: fuzz inputs that are files
// reach their readers without touching the disk.
#pragma once

#include <string>
#include <string_view>

class CMemoryFile
{
public:
    explicit CMemoryFile(std::string_view contents);
    ~CMemoryFile();
    CMemoryFile(const CMemoryFile&) = delete;
    CMemoryFile& operator=(const CMemoryFile&) = delete;

    // "/proc/self/fd/<n>": each open of it starts at the beginning.
    const std::string& Path() const { return m_path; }
    // What the file holds now (after the code under test wrote to it).
    std::string Contents() const;

private:
    int m_fd = -1;
    std::string m_path;
};
