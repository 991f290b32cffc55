// zvcalibsim: a calibration component of our own, served as a local server.
//
//   zvcalibsim --register [--log FILE] [--fail-frequency N] [--delay-ms N] [--exit-after N]
//   zvcalibsim --unregister
//
// --register enters the component in the classes hive with this program and
// the options given, so that the program's "Calibration..." starts it; the
// runtime then runs it with "-Embedding". Each call is a line of the log
// (standard error without --log). --fail-frequency N refuses "Frequency"
// the first N times, --delay-ms N answers every call N ms late, and
// --exit-after N ends the process on call N, unanswered.
#include "sim/calib/CalibrationSimulator.h"

#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr const char* kUsage =
    "usage: zvcalibsim --register [--log FILE] [--fail-frequency N] [--delay-ms N] [--exit-after N]\n"
    "       zvcalibsim --unregister\n"
    "A calibration component served as a local server: --register enters it in the\n"
    "classes hive with the options given; the component runtime starts it with\n"
    "-Embedding. Every call is written as a line to FILE (standard error without it).\n";

std::string SelfPath()
{
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    path[n] = 0;
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace zv::calib;
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::printf("%s", kUsage);
            return 0;
        }
    SOptions options;
    bool registering = false, unregistering = false;
    std::string error;
    if (!ParseOptions(argc, argv, options, registering, unregistering, &error)) {
        std::fprintf(stderr, "zvcalibsim: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (unregistering) {
        SComClassRegistration reg{kCalibrationClass, nullptr, nullptr, nullptr, nullptr, nullptr};
        return SUCCEEDED(UnregisterComClass(reg)) ? 0 : 1;
    }
    if (registering) {
        std::string line = QuoteCommandLineWord(SelfPath());
        for (int i = 1; i < argc; ++i)
            if (std::strcmp(argv[i], "--register") != 0)
                line += " " + QuoteCommandLineWord(argv[i]);
        if (FAILED(RegisterLocalServer(kCalibrationClass, "Calibration component (simulated)", line))) {
            std::fprintf(stderr, "zvcalibsim: cannot write the classes hive\n");
            return 1;
        }
        return 0;
    }
    if (!IsLocalServerStart(argc, argv)) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    SLocalServerClass component;
    component.clsid = kCalibrationClass;
    component.interfaces = {kCalibrationInterface};
    component.create = [options] { return std::make_unique<CCalibrationSimulator>(options); };
    return RunLocalServer(component);
}
