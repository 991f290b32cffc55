// zvdrusim: the simulated DRU card and its driver, as the service manager
// runs a driver (platform/ServiceControl.h):
//
//   zvdrusim [--no-card] [--in-use] <service key> <control socket>
//
// It reads its parameters under the service key of the machine hive, serves
// the device in the folder ZELVAR_DEVICE_DIR names, writes "READY" on
// standard output, and runs until it is unloaded through its control socket
// (or interrupted, when run by hand). To stand in for the card's driver
// file, link it (or a script that runs it with options) as the service's
// image file.
#include "platform/DriverProcess.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "sim/dru/DruSimulator.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

CDruSimulator* g_simulator = nullptr;

void OnSignal(int)
{
    if (g_simulator != nullptr)
        g_simulator->Stop();
}

// The driver's I/O base address parameter; none when it cannot be read, so
// that the card is not found.
DWORD ReadIoBase(const std::string& serviceKey)
{
    DWORD value = 0xFFFFFFFF;
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, (serviceKey + "\\Parameters").c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return value;
    DWORD type = 0;
    DWORD read = 0;
    DWORD size = sizeof read;
    if (RegQueryValueEx(key, "IoBaseAddress", nullptr, &type, reinterpret_cast<BYTE*>(&read), &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof read)
        value = read;
    RegCloseKey(key);
    return value;
}

int Usage()
{
    std::fprintf(stderr, "usage: zvdrusim [--no-card] [--in-use] <service key> <control socket>\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    CDruSimulator::Settings settings;
    std::vector<std::string> positional;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-card")
            settings.noCard = true;
        else if (a == "--in-use")
            settings.inUse = true;
        else if (a.rfind("--", 0) == 0)
            return Usage();
        else
            positional.push_back(a);
    }
    if (positional.size() != 2 || positional[0].empty() || positional[1].empty())
        return Usage();
    settings.deviceFolder = CPaths::DeviceFolder();
    settings.controlPath = positional[1];
    settings.ioBase = ReadIoBase(positional[0]);
    RegistryResetStore();  // the hive stays closed while the driver runs

    std::signal(SIGPIPE, SIG_IGN);
    CDruSimulator simulator(settings);
    std::string error;
    if (!simulator.Open(error)) {
        std::fprintf(stderr, "zvdrusim: %s\n", error.c_str());
        return 1;
    }
    g_simulator = &simulator;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    // Ready; whoever waited for it need not hear more.
    const std::string ready = std::string(CDriverProcess::kReadyLine) + "\n";
    if (write(STDOUT_FILENO, ready.data(), ready.size()) != static_cast<ssize_t>(ready.size()))
        return 1;
    const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (devNull >= 0) {
        dup2(devNull, STDOUT_FILENO);
        close(devNull);
    }
    simulator.Run();
    g_simulator = nullptr;
    return 0;
}
