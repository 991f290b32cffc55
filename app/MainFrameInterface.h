// What the application object needs of its main frame. The Qt main frame
// (app/ui/MainFrame.h) implements it; tests use a small fake.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <string>

namespace app {

class CStatus;

class IMainFrame
{
public:
    virtual ~IMainFrame() = default;

    // The frame's window of the message dispatcher.
    virtual HWND GetSafeHwnd() const = 0;
    virtual CStatus* GetStatus() = 0;

    virtual void SetGreyScaleFlags(int grey, int greyOnSidescan, int copperOnSidescan) = 0;
    // Shows the frame: maximised without caption, or in a normal window.
    virtual void ShowMainWindow(bool maximisedWithoutCaption) = 0;
    // The first layout after the window is shown (colours, palette 2).
    virtual void FirstLayout() = 0;
    virtual void ReloadMenu() = 0;
    // A file came in by the open command: restore or show, and raise.
    virtual void ShowForOpen(int showMode) = 0;
    virtual void StopPingTimer() = 0;
    virtual void EnableMessagePane(bool on) = 0;
    virtual void ApplyColourScheme(int scheme) = 0;
    virtual int GetColourScheme() const = 0;

    // Modal dialogs the application's commands open.
    virtual bool RunDebugTraceDialog(std::array<int, 7>& switches) = 0;
    virtual bool RunLanguageDialog(unsigned& languageId) = 0;
    virtual void RunAboutBox() = 0;
};

}  // namespace app
