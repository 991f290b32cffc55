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
#include <string>

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
