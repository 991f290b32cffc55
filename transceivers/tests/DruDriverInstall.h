// For tests: the card simulator installed as the ISA card's driver by the
// driver tool, as an operator installs the card's driver.
#pragma once

#include "platform/Paths.h"
#include "tools/console/Fenvoil.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

// Runs the tool with its arguments (without its settling pauses); the
// driver file is the simulator, or a script that runs it with options.
inline int InstallDriver(std::vector<const char*> args, const std::string& options = "")
{
    const std::string drivers = CPaths::MapWindowsPath(CFenvoil::DriversFolder());
    std::filesystem::create_directories(drivers);
    const std::string driver = drivers + "/DRUDriver.sys";
    std::filesystem::remove(driver);
    if (options.empty()) {
        std::filesystem::create_symlink(ZVDRUSIM_PATH, driver);
    } else {
        std::ofstream(driver) << "#!/bin/sh\nexec '" << ZVDRUSIM_PATH << "' " << options << " \"$@\"\n";
        ::chmod(driver.c_str(), 0755);
    }
    std::ofstream(drivers + "/EPLD2.ttf") << "logic device\n";
    args.insert(args.begin(), "Fenvoil");
    std::FILE* out = std::tmpfile();
    const int rc = CFenvoil(out, 0).Run(static_cast<int>(args.size()), args.data());
    std::fclose(out);
    return rc;
}
