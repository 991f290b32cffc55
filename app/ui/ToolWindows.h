// The main frame's modeless tool windows: the channel status dialog, the
// replay buttons and the pinger dialogs. The frame hands them its private
// messages 0x47C-0x484 and 0x486 and greys the View items of those it does
// not have.
#pragma once

#include "platform/WinTypes.h"

namespace app {

class IToolWindows
{
public:
    virtual ~IToolWindows() = default;
    // "Status Window" and "Replay Control" are greyed without these.
    virtual bool HasChannelStatus() const = 0;
    virtual bool HasReplayButtons() const = 0;
    // A message for the tool windows. For the two show messages wParam is
    // the frame's flag: the window is made, and shown only while it is set.
    virtual void OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // An operation command is about to run: the channel status dialog goes.
    virtual void DeleteChannelStatus() = 0;
};

// A program without tool windows: nothing is shown, every message dropped.
class CNoToolWindows final : public IToolWindows
{
public:
    bool HasChannelStatus() const override { return false; }
    bool HasReplayButtons() const override { return false; }
    void OnMessage(UINT, WPARAM, LPARAM) override {}
    void DeleteChannelStatus() override {}
};

}  // namespace app
