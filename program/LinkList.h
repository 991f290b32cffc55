// The program's links to the objects it feeds or reads through a role, each
// with its name: a reader (and the wiring test) sees which of them hold
// their named null object, because the program has no object for them yet.
// Every link registers here when it is made (TLink does it by itself) and
// leaves when it goes; the list outlives them all.
//
// Made, changed and read on the user-interface thread.
#pragma once

#include "app/SensorObjects.h"

#include <functional>
#include <string>
#include <vector>

namespace app {

class CLinkList
{
public:
    CLinkList() = default;
    CLinkList(const CLinkList&) = delete;
    CLinkList& operator=(const CLinkList&) = delete;

    // A link of the models in the mask, known by its key; absent() tells
    // whether it holds its named null now.
    void Add(const void* key, std::string name, unsigned models, std::function<bool()> absent);
    void Remove(const void* key);

    // The names of the links of the model that hold their null, in the order
    // they were added.
    std::vector<std::string> Absent(SounderModel model) const;

private:
    struct Entry
    {
        const void* key;
        std::string name;
        unsigned models;
        std::function<bool()> absent;
    };
    std::vector<Entry> m_entries;
};

}  // namespace app
