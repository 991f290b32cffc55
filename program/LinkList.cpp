#include "program/LinkList.h"

#include <algorithm>

namespace app {

void CLinkList::Add(const void* key, std::string name, unsigned models, std::function<bool()> absent)
{
    m_entries.push_back({key, std::move(name), models, std::move(absent)});
}

void CLinkList::Remove(const void* key)
{
    std::erase_if(m_entries, [key](const Entry& e) { return e.key == key; });
}

std::vector<std::string> CLinkList::Absent(SounderModel model) const
{
    std::vector<std::string> names;
    for (const Entry& e : m_entries)
        if ((e.models & ModelBit(model)) && e.absent())
            names.push_back(e.name);
    return names;
}

}  // namespace app
