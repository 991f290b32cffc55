// What the core of the serial library asks of a user interface: the port
// options dialog and the statistics windows. The dialog library installs
// these hooks (InstallSercorDialogs); without them Configure changes nothing
// and no statistics window can be shown.
#pragma once

#include "platform/WinTypes.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CSercor;
class CProtocol;

// A shown statistics window; destroying the object closes it.
class ISercorWindow
{
public:
    virtual ~ISercorWindow() = default;
};

// The fields of the port options dialog, filled and read by Configure.
struct CComOptions
{
    std::vector<std::string> ports;  // names offered, in order
    std::string port;                // chosen name
    std::string baud;                // decimal text
    std::string dataBits;            // decimal text
    int parity = -1;                 // list index
    int stopBits = -1;               // list index
    BOOL dtrDsr = FALSE;
    BOOL rtsCts = FALSE;
    BOOL xonXoff = FALSE;
    // The component's copy of the dialog has a Help button (57670) that asks
    // the running program for its help; empty: no Help button.
    std::function<void()> help;
};

struct SercorHooks
{
    // Runs the options dialog; true when closed with OK.
    std::function<bool(CComOptions& options)> runOptions;
    std::function<std::unique_ptr<ISercorWindow>(CSercor* port)> showPortStatistics;
    std::function<std::unique_ptr<ISercorWindow>(CProtocol* protocol, int type)> showProtocolStatistics;
};

void SetSercorHooks(SercorHooks hooks);
const SercorHooks& GetSercorHooks();
