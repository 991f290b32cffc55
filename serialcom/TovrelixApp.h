// The component module: its object and lock count, on which unloading
// depends, and the help request its dialogs send to the running program.
#pragma once

#include "platform/Component.h"

#include <string>

class CTovrelixApp
{
public:
    static CComModuleCount& Module();
    // Asks whichever program runs to show its help: posts the registered
    // message "HELP_REQUIRED_FROM_COM" to every window. False when the post
    // failed.
    static bool OnHelp();
    static constexpr const char* kHelpMessage = "HELP_REQUIRED_FROM_COM";
    static constexpr WPARAM kHelpContext = 0x200C9;
};
