// The real program, assembled as main assembles it, for tests: offscreen,
// without the single-instance socket, with the workers starting at once and
// the test's own timings of the network units.
#pragma once

#include "app/ui/MainFrame.h"
#include "program/Program.h"

#include <memory>
#include <string>
#include <vector>

namespace shelltest {

inline app::CProgram::Options TestProgramOptions(std::vector<std::string> arguments)
{
    app::CProgram::Options options;
    options.arguments = std::move(arguments);
    options.singleInstance = false;
    options.exitOnSignals = false;
    options.workerStartDelayMs = 0;
    // QYNVU's BOOTP and TFTP servers on ports of their own, answering only
    // on loopback.
    options.bootp.serverPort = 0;
    options.bootp.tftpPort = 0;
    options.bootp.replyDestination = SocketAddress::kLoopback;
#ifdef ZELVAR_PROGRAM_DIR
    // The serial component and the dialog library lie beside the program.
    options.componentFolder = ZELVAR_PROGRAM_DIR;
#endif
    return options;
}

// Builds the program; Start() runs its start-up.
inline std::unique_ptr<app::CProgram> MakeProgram(app::CProgram::Options options)
{
    return std::make_unique<app::CProgram>(std::move(options));
}

}  // namespace shelltest
