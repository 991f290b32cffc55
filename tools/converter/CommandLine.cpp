#include "tools/converter/CommandLine.h"

#include "tools/converter/ConversionRun.h"

#include <array>
#include <ostream>
#include <string_view>

namespace zv::converter {

namespace {

struct SOptionRow
{
    std::string_view name;
    bool SConverterOptions::*box;
};
// One option per box of the dialog, in the dialog's order.
constexpr std::array<SOptionRow, 6> kOptions = {{
    {"gga", &SConverterOptions::gga},
    {"gll", &SConverterOptions::gll},
    {"ascii", &SConverterOptions::ascii},
    {"annotation", &SConverterOptions::annotation},
    {"event", &SConverterOptions::event},
    {"depth", &SConverterOptions::depth},
}};

// "--name", "--name=on" or "--name=off" for one of the boxes; what is wrong
// with it, or nothing.
const char* ApplyOption(std::string_view arg, SConverterOptions& options)
{
    arg.remove_prefix(2);
    const std::size_t eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    const std::string_view value = eq == std::string_view::npos ? "on" : arg.substr(eq + 1);
    for (const SOptionRow& row : kOptions) {
        if (row.name != name)
            continue;
        if (value != "on" && value != "off")
            return "takes on or off";
        options.*row.box = value == "on";
        return nullptr;
    }
    return "is not an option";
}

}  // namespace

const char* CCommandLine::Help()
{
    return "usage: Trovadel [options] FILE.out ...\n"
           "       Trovadel            (no arguments) opens the conversion dialog\n"
           "\n"
           "Converts recorded out files into record files for post-processing. Each\n"
           "FILE gives, in its own folder, a file named after it up to the first \".\"\n"
           "of its name, with the extension \"QY\" (survey.line1.out gives survey.QY).\n"
           "Files are converted in order of their names. An output never replaces\n"
           "an input of the run or an output the run made before: such a file is\n"
           "reported and left out.\n"
           "\n"
           "Options, one for each box of the dialog (a bare option means on):\n"
           "  --gga=on|off         GGA position: positions from GGA sentences (on)\n"
           "  --gll=on|off         GLL position: positions from GLL sentences (on)\n"
           "  --ascii=on|off       ASCII position: other sentences without hemisphere\n"
           "                       letters (off)\n"
           "  --annotation=on|off  Annotation: annotation records (off)\n"
           "  --event=on|off       Event (on; no record depends on it)\n"
           "  --depth=on|off       Depth: depth records (on)\n"
           "  --help               this text\n"
           "  --                   the arguments that follow are files\n"
           "\n"
           "Exit status: 0 when every file converted, 1 when a file failed, 2 for a\n"
           "usage error.\n";
}

int CCommandLine::Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    SConverterOptions options;
    std::vector<std::string> files;
    bool optionsEnd = false;
    for (const std::string& arg : args) {
        if (optionsEnd || arg.empty() || arg[0] != '-') {
            files.push_back(arg);
        } else if (arg == "--") {
            optionsEnd = true;
        } else if (arg == "--help" || arg == "-h") {
            out << Help();
            return kExitConverted;
        } else if (const char* wrong = arg.compare(0, 2, "--") == 0 ? ApplyOption(arg, options) : "is not an option") {
            err << "Trovadel: " << arg << " " << wrong << " (see Trovadel --help)\n";
            return kExitUsage;
        }
    }
    if (files.empty()) {
        err << "Trovadel: no out file given (see Trovadel --help)\n";
        return kExitUsage;
    }

    int status = kExitConverted;
    for (const SFileOutcome& o : CConversionRun(options).Run(files)) {
        if (!o.Converted()) {
            err << "Trovadel: " << o.input << ": " << o.cause << "\n";
            status = kExitFailed;
            continue;
        }
        out << o.input << " -> " << o.output << ": " << o.records << " records";
        if (o.skippedBytes != 0)
            out << ", " << o.skippedBytes << " damaged bytes skipped";
        if (o.damagedDatagrams != 0)
            out << ", " << o.damagedDatagrams << " damaged datagrams";
        out << "\n";
    }
    return status;
}

}  // namespace zv::converter
