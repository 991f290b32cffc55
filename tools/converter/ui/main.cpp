// Trovadel: without arguments the conversion dialog; with arguments the
// files named are converted without a window (see Trovadel --help).
#include "tools/converter/CommandLine.h"
#include "tools/converter/ui/ReplayDialog.h"

#include <QApplication>

#include <csignal>
#include <cstdlib>
#include <iostream>

int main(int argc, char** argv)
{
    using zv::converter::CCommandLine;
    // A file-size limit must end a write with an error that names the file,
    // not kill the run and leave its part-written output behind.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc > 1)
        return CCommandLine::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
    const auto set = [](const char* name) { return std::getenv(name) && *std::getenv(name); };
    if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
        std::cerr << "Trovadel: no display for the dialog; name the out files to convert on the command line\n"
                  << CCommandLine::Help();
        return CCommandLine::kExitUsage;
    }
    QApplication app(argc, argv);
    zv::converter::CReplayDialog dialog;
    dialog.exec();
    return 0;
}
