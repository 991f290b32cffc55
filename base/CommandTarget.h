// Menu commands travel along a chain of command targets; the first that
// handles a command ends the search. Before a menu shows, each of its items
// asks the same chain whether it is enabled, checked, or has another text.
#pragma once

#include <optional>
#include <string>

namespace app {

struct CCmdUI
{
    unsigned id = 0;
    bool enabled = true;
    bool checked = false;
    // The item has a check state (a toggle or one of a choice): only such an
    // item shows a check box.
    bool checkable = false;
    std::optional<std::string> text;  // set: the item's text changes

    void Enable(bool on) { enabled = on; }
    void SetCheck(bool on)
    {
        checked = on;
        checkable = true;
    }
    void SetText(std::string t) { text = std::move(t); }
};

class ICommandTarget
{
public:
    virtual ~ICommandTarget() = default;
    // True when the command was handled here.
    virtual bool OnCommand(unsigned id) = 0;
    // True when this target answers the item's state.
    virtual bool OnUpdateCommand(CCmdUI& ui) { return false; }
};

}  // namespace app
