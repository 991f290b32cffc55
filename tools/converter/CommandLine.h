// Trovadel run from a script: the files named on the command line are
// converted without a window, with one option for each box of the dialog.
//
//   Trovadel [--gga=on|off] [--gll=...] [--ascii=...] [--annotation=...]
//            [--event=...] [--depth=...] [--] FILE.out ...
//
// Exit status: 0 when every file converted, 1 when a file failed, 2 for a
// usage error. Each failure is one line on the error stream naming the file
// and the cause; each converted file one line on the output stream.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace zv::converter {

class CCommandLine
{
public:
    static constexpr int kExitConverted = 0;
    static constexpr int kExitFailed = 1;
    static constexpr int kExitUsage = 2;

    // args without the program name.
    static int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
    static const char* Help();
};

}  // namespace zv::converter
