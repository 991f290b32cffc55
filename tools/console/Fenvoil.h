// Fenvoil: installs, configures, starts and removes the driver service of
// the DRU ISA card, and reports the card's state. Every message goes to the
// output it is given; Run returns the exit code.
#pragma once

#include "platform/ServiceControl.h"
#include "platform/WinTypes.h"
#include "tools/console/FenvoilCommandLine.h"

#include <cstdio>
#include <string>

class CFenvoil
{
public:
    static constexpr int kExitDone = 0;
    static constexpr int kExitFailure = -1;

    static constexpr const char* kServiceName = "DRUDriver";
    static constexpr const char* kDriverFile = "DRUDriver.sys";
    static constexpr const char* kEpldFile = "EPLD2.ttf";
    static constexpr const char* kDeviceName = "\\\\.\\DruDev";
    static constexpr const char* kParametersKey = "System\\CurrentControlSet\\Services\\DRUDriver\\Parameters";

    static constexpr DWORD kDefaultIoBase = 0x210;
    static constexpr DWORD kDefaultDma = 6;
    static constexpr DWORD kDefaultIrq = 9;

    // The card driver's control codes and the in-use bit of its status.
    static constexpr DWORD kIoctlStatus8 = 0x9C406400;
    static constexpr DWORD kIoctlHardwareId = 0x9C406404;
    static constexpr DWORD kIoctlStatus32 = 0x9C406408;
    static constexpr DWORD kStatusInUse = 0x10000000;

    // pauseMs: the settling pause before each device check and service
    // step (500 ms; tests need none, since the stand-ins answer at once).
    explicit CFenvoil(std::FILE* out, int pauseMs = 500);

    int Run(int argc, const char* const* argv);

    // The drivers folder as the system names it: the environment's
    // "systemroot" (any case; C:\WINDOWS when unset) and "\system32\drivers".
    static std::string DriversFolder();

private:
    enum class DeviceState { Opened, InUse, Missing };

    void PrintUsage();
    DeviceState CheckDevice();
    void Pause();
    // "<failure>: <reason>", or "<failure> (<code>)" for a code without one.
    void PrintFailure(const char* failure, DWORD error);
    // The service, after the pause before opening it; null when it could
    // not be opened, with the reason in error.
    SC_HANDLE OpenDriverService(SC_HANDLE manager, DWORD& error);

    bool Stop(SC_HANDLE manager);
    bool Create(SC_HANDLE manager);
    bool WriteParameters(bool keepPresent);
    bool Start(SC_HANDLE manager);
    bool Remove(SC_HANDLE manager);

    std::FILE* m_Out;
    int m_PauseMs;
    std::string m_DriversFolder;
    DWORD m_IoBase = kDefaultIoBase;
    DWORD m_Dma = kDefaultDma;
    DWORD m_Irq = kDefaultIrq;
};
