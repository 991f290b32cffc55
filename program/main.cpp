// The program: one executable for every model, named after the model it
// runs as (links QY210, QY310, RM30, TQ30, QYNVU and PELMARIS beside it).
#include "program/Program.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv)
{
    // A file-size limit then fails the write (EFBIG), which the recorder
    // reports as a full disk, instead of killing the program mid-datagram.
    std::signal(SIGXFSZ, SIG_IGN);
    QApplication qapp(argc, argv);
    const std::vector<std::string> arguments(argv, argv + argc);
    if (app::CProgram::HandOverToRunning(arguments))
        return 0;
    int exitCode = 1;
    std::optional<std::string> powerOff;
    {
        app::CProgram::Options options;
        options.arguments = arguments;
        app::CProgram program(std::move(options));
        if (program.Start()) {
            exitCode = program.Run();
            powerOff = program.PowerOffAtExit();
        }
    }
    // Everything is saved and closed: only now may the PC go off.
    if (powerOff)
        app::CPelmaris::PowerOffAtExit(*powerOff);
    return exitCode;
}
