// The navigation settings as the telegram decoder reads them, for every
// sentence on several threads at once: one copy, read from the navigation
// object the first time it is asked for and again only after the object
// said its settings changed (or another object took its place). Asking the
// object for each sentence cost a share of it, its lock and a copy of all
// its settings.
#pragma once

#include "sensors/NmeaDecoderHost.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class CNavigationSettingsCache
{
public:
    // The settings changed, or the object went or came: the next Get reads
    // them again. Any thread; never blocks.
    void Invalidate() { m_revision.fetch_add(1, std::memory_order_release); }

    // The settings into `out`; false (and `out` untouched) while the source
    // had none. `read(SNavigationSettings&) -> bool` asks the source; it
    // runs under the cache's lock, so it must not call back into the cache.
    template <class Read>
    bool Get(SNavigationSettings& out, Read&& read)
    {
        // Read before the source: a change that comes while the source is
        // read leaves the copy tagged older, and the next call reads again.
        const std::uint64_t revision = m_revision.load(std::memory_order_acquire);
        std::lock_guard lock(m_lock);
        if (!m_read || m_readRevision != revision) {
            SNavigationSettings fresh;
            m_valid = read(fresh);
            if (m_valid)
                m_settings = std::move(fresh);
            m_readRevision = revision;
            m_read = true;
        }
        if (m_valid)
            out = m_settings;
        return m_valid;
    }

private:
    std::atomic<std::uint64_t> m_revision{0};
    std::mutex m_lock;
    bool m_read = false;
    bool m_valid = false;
    std::uint64_t m_readRevision = 0;
    SNavigationSettings m_settings;
};
