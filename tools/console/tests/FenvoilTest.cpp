#include "tools/console/Fenvoil.h"

#include "platform/Device.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "platform/TempMachine.h"
#include "tools/console/FenvoilCommandLine.h"
#include "tools/console/tests/RunTool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* kParameters = "System\\CurrentControlSet\\Services\\DRUDriver\\Parameters";
constexpr const char* kService = "System\\CurrentControlSet\\Services\\DRUDriver";

const std::string kNotFound = "('\\\\.\\DruDev' not found)\n";
std::string Found(const char* status, const char* id, const char* health)
{
    return std::string("(Device '\\\\.\\DruDev' found with Status=0x") + status + " HW-ID=0x" + id + " HW-Status=0x" +
           health + ")\n";
}
const std::string kCard = Found("00000000", "0001", "03");
const std::string kNoCard = Found("00000000", "0fff", "00");

std::string Usage(const std::string& driversFolder)
{
    return "Install, configure and start DRU Echosounder NT Driver\n"
           "Usage:\n"
           " Fenvoil default | [io=<IO addr (hex)>] [dma=<DMA>] [irq=<IRQ>]\n"
           " Fenvoil remove\n"
           "Examples of installing the driver:\n"
           " Fenvoil default\n"
           "    keeps old settings if present. Otherwise performs like\n"
           " Fenvoil io=210 dma=6 irq=9\n"
           "    Assumes that 'DRUDriver.sys' and 'EPLD2.ttf' are present in the \n"
           "    " +
           driversFolder +
           " directory\n"
           "Deinstalling the driver:\n"
           " Fenvoil remove\n"
           "    ('DRUDriver.sys' and 'EPLD2.ttf' are NOT deleted.)\n";
}

// Runs the tool in this process, without its settling pauses.
ToolOutcome RunHere(std::vector<std::string> args)
{
    args.insert(args.begin(), "Fenvoil");
    std::vector<const char*> argv;
    for (const auto& a : args)
        argv.push_back(a.c_str());
    char* text = nullptr;
    std::size_t size = 0;
    FILE* out = open_memstream(&text, &size);
    ToolOutcome outcome;
    outcome.exitCode = CFenvoil(out, 0).Run(static_cast<int>(argv.size()), argv.data());
    std::fclose(out);
    outcome.output.assign(text, size);
    std::free(text);
    return outcome;
}

std::string DriversFolder()
{
    return CPaths::MapWindowsPath(CFenvoil::DriversFolder());
}

// The driver file is the card simulator, or a script that runs it with
// options; the logic-device file is there too.
void PutDriverFile(const std::string& options = "")
{
    std::filesystem::create_directories(DriversFolder());
    const std::string driver = DriversFolder() + "/DRUDriver.sys";
    std::filesystem::remove(driver);
    if (options.empty()) {
        std::filesystem::create_symlink(ZVDRUSIM_PATH, driver);
    } else {
        std::ofstream(driver) << "#!/bin/sh\nexec '" << ZVDRUSIM_PATH << "' " << options << " \"$@\"\n";
        ::chmod(driver.c_str(), 0755);
    }
    std::ofstream(DriversFolder() + "/EPLD2.ttf") << "logic device\n";
}

std::optional<DWORD> Dword(const char* key, const char* name)
{
    HKEY h = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0, type = 0, size = sizeof value;
    const LONG rc = RegQueryValueEx(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS || type != REG_DWORD)
        return std::nullopt;
    return value;
}

std::string Text(const char* key, const char* name)
{
    HKEY h = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return "(no key)";
    char text[256] = {};
    DWORD type = 0, size = sizeof text - 1;
    const LONG rc = RegQueryValueEx(h, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(h);
    return rc == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) ? std::string(text) : "(none)";
}

// IoBaseAddress, DMAChannel and InterruptLevel as they are kept.
using Parameters = std::vector<std::optional<DWORD>>;
Parameters Kept()
{
    return {Dword(kParameters, "IoBaseAddress"), Dword(kParameters, "DMAChannel"),
            Dword(kParameters, "InterruptLevel")};
}

bool KeyExists(const char* key)
{
    HKEY h = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

bool DeviceOpens()
{
    HANDLE h = CreateFile("\\\\.\\DruDev", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

TEST(FenvoilCommandLine, WordsAndValues)
{
    using A = CFenvoilCommandLine::Action;
    struct Case
    {
        const char* legend;
        std::vector<const char*> args;
        A action;
        std::optional<DWORD> io, dma, irq;
    };
    const std::optional<DWORD> none;
    const Case cases[] = {
        {"help", {"help"}, A::Help, none, none, none},
        {"-?", {"-?"}, A::Help, none, none, none},
        {"/h", {"/h"}, A::Help, none, none, none},
        {"default", {"default"}, A::Default, none, none, none},
        {"remove", {"remove"}, A::Remove, none, none, none},
        {"io alone", {"io=300"}, A::Install, 0x300, none, none},
        {"all three, any order", {"irq=5", "io=2A0", "dma=3"}, A::Install, 0x2A0, 3, 5},
        {"hex with 0x and upper case", {"io=0X2a0"}, A::Install, 0x2A0, none, none},
        {"largest values", {"io=FFFFFFFF", "dma=4294967295"}, A::Install, 0xFFFFFFFF, 0xFFFFFFFF, none},
        {"no argument", {}, A::Refused, none, none, none},
        {"four arguments", {"io=1", "dma=1", "irq=1", "default"}, A::Refused, none, none, none},
        {"help with more", {"help", "me"}, A::Refused, none, none, none},
        {"remove with more", {"remove", "now"}, A::Refused, none, none, none},
        {"default with a value", {"default", "io=300"}, A::Refused, none, none, none},
        {"unknown word", {"install"}, A::Refused, none, none, none},
        {"empty word", {""}, A::Refused, none, none, none},
        {"name in capitals", {"IO=300"}, A::Refused, none, none, none},
        {"no value", {"io="}, A::Refused, none, none, none},
        {"0x alone", {"io=0x"}, A::Refused, none, none, none},
        {"not wholly hex", {"io=21g"}, A::Refused, none, none, none},
        {"sign", {"io=-1"}, A::Refused, none, none, none},
        {"leading blank", {"dma= 6"}, A::Refused, none, none, none},
        {"hex where decimal", {"dma=0x6"}, A::Refused, none, none, none},
        {"trailing letters", {"irq=9a"}, A::Refused, none, none, none},
        {"beyond 32 bits, hex", {"io=100000000"}, A::Refused, none, none, none},
        {"beyond 32 bits, decimal", {"irq=4294967296"}, A::Refused, none, none, none},
        {"far beyond 32 bits", {"dma=99999999999999999999999"}, A::Refused, none, none, none},
        {"given twice", {"io=210", "io=300"}, A::Refused, none, none, none},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"Fenvoil"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto line = CFenvoilCommandLine::Parse(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(line.action, c.action) << c.legend;
        EXPECT_EQ(line.io, c.io) << c.legend;
        EXPECT_EQ(line.dma, c.dma) << c.legend;
        EXPECT_EQ(line.irq, c.irq) << c.legend;
    }
}

TEST(Fenvoil, CommandLinesThatOnlyShowTheUsage)
{
    CTempMachine machine;
    PutDriverFile();
    struct Case
    {
        const char* legend;
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {"help", {"help"}, 0},
        {"?", {"?"}, 0},
        {"no argument", {}, -1},
        {"a value that overflows", {"io=100000000"}, -1},
        {"a value with a stray letter", {"dma=6", "irq=9x"}, -1},
        {"remove with more", {"remove", "all"}, -1},
    };
    for (const auto& c : cases) {
        const ToolOutcome out = RunHere(c.args);
        EXPECT_EQ(out.exitCode, c.exitCode) << c.legend;
        EXPECT_EQ(out.output, Usage("C:\\WINDOWS\\system32\\drivers") + kNotFound) << c.legend;
    }
    EXPECT_FALSE(KeyExists("System\\CurrentControlSet\\Services"));
    EXPECT_FALSE(DeviceOpens());
}

TEST(Fenvoil, DriversFolderFollowsSystemrootInAnyCase)
{
    CTempMachine machine;
    ::unsetenv("SystemRoot");
    EXPECT_EQ(CFenvoil::DriversFolder(), "C:\\WINDOWS\\system32\\drivers");
    ::setenv("SystemRoot", "D:\\WINNT", 1);
    EXPECT_EQ(CFenvoil::DriversFolder(), "D:\\WINNT\\system32\\drivers");
    EXPECT_EQ(DriversFolder(), machine.DataRoot() + "/D/WINNT/system32/drivers");
    PutDriverFile();
    EXPECT_EQ(RunHere({"help"}).output, Usage("D:\\WINNT\\system32\\drivers") + kNotFound);
    const ToolOutcome out = RunHere({"io=210"});
    ::unsetenv("SystemRoot");
    EXPECT_EQ(out.exitCode, 0) << out.output;
    EXPECT_EQ(Text(kService, "ImagePath"), "D:\\WINNT\\system32\\drivers\\DRUDriver.sys");
}

TEST(Fenvoil, InstallStartsTheDriverAndRemoveTakesItAwayLeavingTheFiles)
{
    CTempMachine machine;
    PutDriverFile();

    ToolOutcome out = RunHere({"irq=9", "dma=6", "io=210"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output, kNotFound +
                              "(No need to stop service: service does not exist)\n"
                              "DRUDriver successfully started with io=210 dma=6 irq=9\n" +
                              kCard);
    EXPECT_EQ(Kept(), (Parameters{0x210, 6, 9}));
    EXPECT_EQ(Text(kParameters, "EpldFileName"), "EPLD2.ttf");
    EXPECT_EQ(Dword(kService, "Type"), DWORD{SERVICE_KERNEL_DRIVER});
    EXPECT_EQ(Dword(kService, "Start"), DWORD{SERVICE_AUTO_START});
    EXPECT_EQ(Dword(kService, "ErrorControl"), DWORD{SERVICE_ERROR_NORMAL});
    EXPECT_TRUE(DeviceOpens());

    // Installed again over the running driver, with other values: the
    // driver restarts with them, and finds no card at the new address.
    out = RunHere({"io=300", "irq=5"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output, kCard +
                              "(The specified service already exists in this database)\n"
                              "DRUDriver successfully started with io=300 dma=6 irq=5\n" +
                              kNoCard);
    EXPECT_EQ(Kept(), (Parameters{0x300, 6, 5}));

    out = RunHere({"remove"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output, kNoCard + "DRUDriver successfully removed\n");
    EXPECT_FALSE(KeyExists(kService));
    EXPECT_FALSE(DeviceOpens());
    EXPECT_TRUE(std::filesystem::exists(DriversFolder() + "/DRUDriver.sys"));
    EXPECT_TRUE(std::filesystem::exists(DriversFolder() + "/EPLD2.ttf"));

    out = RunHere({"remove"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output, kNotFound + "(No need to stop service: service does not exist)\n"
                                      "(No need to remove service: service does not exist)\n"
                                      "DRUDriver successfully removed\n");
}

TEST(Fenvoil, DefaultKeepsTheParametersInForceAndReportsThem)
{
    CTempMachine machine;
    PutDriverFile();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kParameters, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD io = 0x210;
    RegSetValueEx(key, "IoBaseAddress", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&io), sizeof io);
    RegSetValueEx(key, "DMAChannel", 0, REG_SZ, reinterpret_cast<const BYTE*>("7"), 2);  // not a DWORD
    const DWORD irq = 11;
    RegSetValueEx(key, "InterruptLevel", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&irq), sizeof irq);
    RegCloseKey(key);

    const ToolOutcome out = RunHere({"default"});
    EXPECT_EQ(out.exitCode, 0);
    EXPECT_EQ(out.output, kNotFound +
                              "(No need to stop service: service does not exist)\n"
                              "DRUDriver successfully started with io=210 dma=6 irq=11\n" +
                              kCard);
    EXPECT_EQ(Kept(), (Parameters{0x210, 6, 11}));
    EXPECT_EQ(Text(kParameters, "EpldFileName"), "EPLD2.ttf");
}

TEST(Fenvoil, MissingDriverFileIsReported)
{
    CTempMachine machine;
    const ToolOutcome out = RunHere({"io=210"});
    EXPECT_EQ(out.exitCode, -1);
    EXPECT_EQ(out.output, kNotFound + "(No need to stop service: service does not exist)\n"
                                      "Error starting service: The service binary file could not be found\n");
    EXPECT_FALSE(DeviceOpens());
}

// The driver as installed before, with the sounder holding the card.
void InstallInUse()
{
    PutDriverFile("--in-use");
    SC_HANDLE manager = OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE service =
        CreateService(manager, "DRUDriver", "DRUDriver", SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, SERVICE_AUTO_START,
                      SERVICE_ERROR_NORMAL, "C:\\WINDOWS\\system32\\drivers\\DRUDriver.sys", nullptr, nullptr, nullptr,
                      nullptr, nullptr);
    ASSERT_NE(service, nullptr);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, kParameters, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD io = 0x210;
    RegSetValueEx(key, "IoBaseAddress", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&io), sizeof io);
    RegCloseKey(key);
    EXPECT_TRUE(StartService(service, 0, nullptr)) << GetLastError();
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

TEST(Fenvoil, ADeviceInUseRefusesAndNothingChanges)
{
    CTempMachine machine;
    InstallInUse();
    const std::string inUse = Found("10000000", "0001", "03") + "Error: '\\\\.\\DruDev' is in use by the Echosounder\n";
    for (const char* args : {"io=300", "remove", "help"}) {
        const ToolOutcome out = RunTool(FENVOIL_PATH, {args});
        EXPECT_EQ(out.exitCode, 255) << args;
        EXPECT_EQ(out.output, std::string(args) == "help" ? Usage("C:\\WINDOWS\\system32\\drivers") + inUse : inUse)
            << args;
    }
    EXPECT_EQ(Kept(), (Parameters{0x210, std::nullopt, std::nullopt}));
    EXPECT_TRUE(KeyExists(kService));
    EXPECT_TRUE(DeviceOpens());
}

// Someone without an installer's rights: the tool may look at the device,
// but not change the service database.
TEST(Fenvoil, AnUnprivilegedUserGetsTheReason)
{
    CTempMachine machine;
    PutDriverFile();
    ASSERT_EQ(RunHere({"io=210"}).exitCode, 0);
    std::vector<std::string> prefix;
    if (::geteuid() == 0) {
        ::chmod(machine.Folder().c_str(), 0755);
        prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    } else {
        ::chmod(machine.Hives().MachineHive().c_str(), 0444);
        ::chmod(machine.Folder().c_str(), 0555);
    }
    const ToolOutcome out = RunTool(FENVOIL_PATH, {"io=300"}, prefix);
    ::chmod(machine.Folder().c_str(), 0700);
    ::chmod(machine.Hives().MachineHive().c_str(), 0644);
    EXPECT_EQ(out.exitCode, 255);
    EXPECT_EQ(out.output, kCard + "Error accessing service control manager: The requested access was denied\n");
    EXPECT_EQ(Kept(), (Parameters{0x210, 6, 9}));
    EXPECT_TRUE(DeviceOpens());
}

}  // namespace
