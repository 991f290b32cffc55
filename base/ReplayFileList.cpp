#include "base/ReplayFileList.h"

#include "base/EchosounderError.h"

#include <sys/stat.h>

#include <cstdint>
#include <optional>

namespace {

// Linux keeps no settable creation time, and a birth time is renewed by
// every copy; the time of the last change of the contents is kept by copies
// that keep times, and recordings are never rewritten once closed.
std::optional<std::uint64_t> CreationTime(const std::string& name)
{
    struct stat st
    {};
    if (::stat(name.c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000ULL +
           static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
}

}  // namespace

bool CReplayFileList::AddFileByTime(const std::string& fileName)
{
    if (m_files.empty()) {
        m_files.push_back(fileName);
        return true;
    }
    const auto created = CreationTime(fileName);
    if (!created)
        return false;
    for (auto it = m_files.begin(); it != m_files.end(); ++it) {
        const auto other = CreationTime(*it);
        if (!other)
            return false;
        if (*other > *created) {
            m_files.insert(it, fileName);
            return true;
        }
    }
    m_files.push_back(fileName);
    return true;
}

const std::string& CReplayFileList::GetFileName(int index) const
{
    if (index < 0 || index >= GetCount())
        ECHOSOUNDER_FATAL_ERROR("Index out of bounds (%d,&d)", index);
    return m_files[static_cast<std::size_t>(index)];
}
