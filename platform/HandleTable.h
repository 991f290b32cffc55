// Handles of the Win32-shaped calls: each names one object of the table
// until it is removed, and a handle is never reused, so a stale or made-up
// one is found to be invalid instead of reaching freed memory.
#pragma once

#include <cstdint>
#include <mutex>
#include <unordered_map>

template <typename Handle, typename Object>
class CHandleTable
{
public:
    Handle Add(Object object)
    {
        std::lock_guard lock(m_mutex);
        m_next += 4;
        const Handle h = reinterpret_cast<Handle>(m_next);
        m_objects.emplace(h, std::move(object));
        return h;
    }

    // A copy of the object, so that it can be used outside the lock.
    bool Find(Handle h, Object& object)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(h);
        if (it == m_objects.end())
            return false;
        object = it->second;
        return true;
    }

    bool Remove(Handle h, Object& object)
    {
        std::lock_guard lock(m_mutex);
        auto it = m_objects.find(h);
        if (it == m_objects.end())
            return false;
        object = std::move(it->second);
        m_objects.erase(it);
        return true;
    }

private:
    std::mutex m_mutex;
    std::uintptr_t m_next = 0x10000;
    std::unordered_map<Handle, Object> m_objects;
};
