#include "sensors/ExternalDepth.h"

#include <algorithm>

namespace {
bool ValidIndex(int n)
{
    return n >= 0 && n < CExternalDepth::kSources;
}
}  // namespace

CExternalDepth::CExternalDepth() = default;

std::string CExternalDepth::WithoutReplay(std::string name)
{
    if (name.find("Replay") == std::string::npos)
        return name;
    static const std::string prefix = "Replay ";
    for (std::size_t at; (at = name.find(prefix)) != std::string::npos;)
        name.erase(at, prefix.size());
    return name;
}

int CExternalDepth::Find(const std::string& name) const
{
    // Unnamed entries are free slots, not a source called "".
    if (name.empty())
        return -1;
    for (int i = 0; i < kSources; ++i)
        if (m_names[static_cast<std::size_t>(i)] == name)
            return i;
    return -1;
}

int CExternalDepth::SetSourceName(int n, const std::string& name)
{
    if (!ValidIndex(n))
        return 0;
    std::lock_guard lock(m_lock);
    m_names[static_cast<std::size_t>(n)] = WithoutReplay(name);
    return 1;
}

double CExternalDepth::GetSource(int n, std::string& name) const
{
    if (!ValidIndex(n))
        return 0.0;
    std::lock_guard lock(m_lock);
    name = m_names[static_cast<std::size_t>(n)];
    return m_nameDepths[static_cast<std::size_t>(n)];
}

double CExternalDepth::GetCurrentDepth() const
{
    std::lock_guard lock(m_lock);
    return m_currentDepth;
}

void CExternalDepth::SetSlantOffset(double value)
{
    std::lock_guard lock(m_lock);
    m_currentDepth = value;
}

int CExternalDepth::SetDepthByName(const std::string& name, double depth)
{
    const std::string key = WithoutReplay(name);
    std::lock_guard lock(m_lock);
    const int i = Find(key);
    if (i < 0)
        return 0;
    m_nameDepths[static_cast<std::size_t>(i)] = depth;
    return 1;
}

double CExternalDepth::GetSourceDepth(int n, std::string& name)
{
    if (!ValidIndex(n))
        return 0.0;
    bool isGeo;
    {
        std::lock_guard lock(m_lock);
        isGeo = m_names[static_cast<std::size_t>(n)] == kGeoSource;
    }
    double depth = 0.0;
    // The channel is asked outside the lock: it may take locks of its own.
    const bool fromChannel = !isGeo && channelDepth && channelDepth(n, depth);
    std::lock_guard lock(m_lock);
    if (fromChannel)
        m_nameDepths[static_cast<std::size_t>(n)] = depth;
    name = m_names[static_cast<std::size_t>(n)];
    return m_nameDepths[static_cast<std::size_t>(n)];
}

int CExternalDepth::SetSource(const std::string& name, double depth, std::int32_t first, std::int32_t valid,
                              std::int32_t second, std::int32_t third)
{
    std::lock_guard lock(m_lock);
    const int i = Find(name);
    if (i < 0)
        return 0;
    SourceEntry& e = m_entries[static_cast<std::size_t>(i)];
    e.depth = depth;
    e.first = first;
    e.valid = valid;
    e.second = second;
    e.third = third;
    return 1;
}

bool CExternalDepth::GetSource(const std::string& name, double& depth, std::int32_t& first, std::int32_t& valid,
                               std::int32_t& second, std::int32_t& third) const
{
    std::lock_guard lock(m_lock);
    const int i = Find(name);
    if (i < 0)
        return false;
    const SourceEntry& e = m_entries[static_cast<std::size_t>(i)];
    depth = e.depth;
    first = e.first;
    valid = e.valid;
    second = e.second;
    third = e.third;
    return e.valid != 0;
}

bool CExternalDepth::GetSourceDepth(const std::string& name, double& depth) const
{
    std::lock_guard lock(m_lock);
    const int i = Find(name);
    if (i < 0)
        return false;
    const SourceEntry& e = m_entries[static_cast<std::size_t>(i)];
    depth = e.depth;
    return e.valid != 0;
}

int CExternalDepth::SetSourceBlock(const std::string& name, const std::uint32_t* block)
{
    if (!block)
        return 0;
    std::lock_guard lock(m_lock);
    const int i = Find(name);
    if (i < 0)
        return 0;
    std::copy_n(block, kBlockWords, m_entries[static_cast<std::size_t>(i)].block.begin());
    return 1;
}

bool CExternalDepth::FindSource(const std::string& name, SourceEntry& entry) const
{
    std::lock_guard lock(m_lock);
    const int i = Find(name);
    if (i < 0)
        return false;
    entry = m_entries[static_cast<std::size_t>(i)];
    return true;
}
