// One link of the program to an object in a role: it starts at the role's
// named null object, and holds the object while the program has one. The
// program's objects call through it from any thread (the ping-data and
// reader threads too), so the pointer is atomic; the object set must outlive
// every call through the link, so it is set before the threads that call it
// can reach it and set back before it goes.
//
// A later object in the role is one line where the program makes it:
// link.Set(&object), and link.Set(nullptr) before it goes.
#pragma once

#include "program/LinkList.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace app {

template <class Role, class Null>
class TLink
{
public:
    // Registers with the list under its name, for the models in the mask.
    TLink(CLinkList& list, std::string name, unsigned models = kAllModels) : m_list(list)
    {
        m_list.Add(this, std::move(name), models, [this] { return IsAbsent(); });
    }
    ~TLink() { m_list.Remove(this); }
    TLink(const TLink&) = delete;
    TLink& operator=(const TLink&) = delete;

    Role& operator*() const { return *m_role.load(std::memory_order_acquire); }
    Role* operator->() const { return m_role.load(std::memory_order_acquire); }

    // The object from now on; null: the named null again.
    void Set(Role* role) { m_role.store(role ? role : &m_null, std::memory_order_release); }
    bool IsAbsent() const { return m_role.load(std::memory_order_acquire) == &m_null; }

private:
    CLinkList& m_list;
    Null m_null;
    std::atomic<Role*> m_role{&m_null};
};

}  // namespace app

namespace app {

// A link to an object the program may close while other threads call it
// (a sensor the ping-data, reader and decoding threads reach): each call
// holds a share of the object for its length, so the object outlives every
// call begun before Set(nullptr) returned. A call after that reaches the
// named null. A call's share may be the last: an object that must end on
// the user-interface thread is made through COwnerThreadRelease.
template <class Role, class Null>
class TSharedLink
{
public:
    TSharedLink(CLinkList& list, std::string name, unsigned models = kAllModels) : m_list(list)
    {
        m_list.Add(this, std::move(name), models, [this] { return IsAbsent(); });
    }
    ~TSharedLink() { m_list.Remove(this); }
    TSharedLink(const TSharedLink&) = delete;
    TSharedLink& operator=(const TSharedLink&) = delete;

    // The object with a share held until the end of the expression:
    // link->Call() keeps it for the call.
    std::shared_ptr<Role> operator->() const { return Get(); }
    std::shared_ptr<Role> Get() const
    {
        std::lock_guard lock(m_lock);
        if (m_role)
            return m_role;
        // The null is the link's own: a share that owns nothing.
        return std::shared_ptr<Role>(std::shared_ptr<Role>(), &m_null);
    }

    void Set(std::shared_ptr<Role> role)
    {
        std::shared_ptr<Role> old;
        {
            std::lock_guard lock(m_lock);
            old = std::exchange(m_role, std::move(role));
        }
        // The last share of an object going may be this one: it goes
        // outside the lock.
    }
    bool IsAbsent() const
    {
        std::lock_guard lock(m_lock);
        return !m_role;
    }

private:
    CLinkList& m_list;
    mutable Null m_null;
    mutable std::mutex m_lock;
    std::shared_ptr<Role> m_role;
};

}  // namespace app
