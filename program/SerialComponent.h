// The serial component in the running program. It is registered in the
// program's own classes hive at start-up, once and again only when the
// registration no longer leads to a loadable plug-in, and its port dialogs
// are installed in the serial library that the plug-in loads. Both shared
// objects lie beside the program.
#pragma once

#include <string>

namespace app {

class CSerialComponent
{
public:
    static constexpr const char* kPluginName = "libtovrelix.so";
    static constexpr const char* kDialogLibraryName = "libsercor_ui.so";

    // True when the class can be created, registered here or before; else
    // false with the cause.
    static bool Register(const std::string& folder, std::string& error);
    // Loads the dialog library for the program's life and installs its
    // dialogs; false with the cause when it cannot.
    static bool InstallDialogs(const std::string& folder, std::string& error);
};

}  // namespace app
