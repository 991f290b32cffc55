// The service manager with the DRU card simulator as its driver, and with
// scripts standing in for drivers that misbehave.
#include "platform/Device.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "platform/Socket.h"
#include "platform/TempMachine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kServices = "System\\CurrentControlSet\\Services";
constexpr const char* kImage = "C:\\WINDOWS\\system32\\drivers\\DRUDriver.sys";

std::string ImageFile()
{
    return CPaths::MapWindowsPath(kImage);
}

void PutImage(const std::string& content, mode_t mode)
{
    std::filesystem::create_directories(std::filesystem::path(ImageFile()).parent_path());
    std::filesystem::remove(ImageFile());
    std::ofstream(ImageFile()) << content;
    ::chmod(ImageFile().c_str(), mode);
}

void LinkSimulator()
{
    std::filesystem::create_directories(std::filesystem::path(ImageFile()).parent_path());
    std::filesystem::remove(ImageFile());
    std::filesystem::create_symlink(ZVDRUSIM_PATH, ImageFile());
}

// Closes the handle at scope end.
struct Sc
{
    SC_HANDLE h = nullptr;
    explicit Sc(SC_HANDLE handle) : h(handle) {}
    ~Sc()
    {
        if (h != nullptr)
            CloseServiceHandle(h);
    }
    Sc(const Sc&) = delete;
    Sc& operator=(const Sc&) = delete;
};

SC_HANDLE Manager(DWORD access = SC_MANAGER_ALL_ACCESS)
{
    return OpenSCManager(nullptr, nullptr, access);
}

SC_HANDLE Create(SC_HANDLE manager, const char* name, DWORD start = SERVICE_AUTO_START, const char* display = nullptr)
{
    return CreateService(manager, name, display, SERVICE_ALL_ACCESS, SERVICE_KERNEL_DRIVER, start, SERVICE_ERROR_NORMAL,
                         kImage, nullptr, nullptr, nullptr, nullptr, nullptr);
}

void SetIoBase(DWORD io)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\DRUDriver\\Parameters", 0,
                             nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueEx(key, "IoBaseAddress", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&io), sizeof io);
    RegCloseKey(key);
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The card id the device answers, or the reason it does not open.
std::string CardId()
{
    HANDLE h = CreateFile("\\\\.\\DruDev", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return "error " + std::to_string(GetLastError());
    WORD id = 0;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(h, 0x9C406404, nullptr, 0, &id, sizeof id, &returned, nullptr);
    CloseHandle(h);
    return ok && returned == 2 ? std::to_string(id) : "no answer";
}

// A socket left behind by a process that ended without removing it.
void LeaveStaleSocket(const std::string& path)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(fd);
}

TEST(ServiceControl, ManagerOpensOnlyTheLocalDatabaseWithTheRightsOfTheHive)
{
    CTempMachine machine;
    {
        Sc full(Manager());
        EXPECT_NE(full.h, nullptr);
        EXPECT_TRUE(KeyExists(kServices));
        Sc named(OpenSCManager("", "servicesactive", SC_MANAGER_ALL_ACCESS));
        EXPECT_NE(named.h, nullptr);
    }
    EXPECT_EQ(OpenSCManager("\\\\other", nullptr, SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(OpenSCManager(nullptr, "ServicesFailed", SC_MANAGER_CONNECT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DATABASE_DOES_NOT_EXIST));

    // A machine hive that cannot be written: looking only.
    ::setenv("ZELVAR_MACHINE_HIVE", "/dev/null/machine.db", 1);
    RegistryResetStore();
    EXPECT_EQ(OpenSCManager(nullptr, nullptr, SC_MANAGER_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    Sc look(Manager(SC_MANAGER_CONNECT));
    EXPECT_NE(look.h, nullptr);
    EXPECT_EQ(Create(look.h, "DRUDriver"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // A machine hive that is no hive at all.
    const std::string garbage = machine.Folder() + "/garbage.db";
    std::ofstream(garbage) << "this is not a settings database, and it stays as it is\n";
    ::setenv("ZELVAR_MACHINE_HIVE", garbage.c_str(), 1);
    RegistryResetStore();
    for (DWORD access : {DWORD{SC_MANAGER_CONNECT}, DWORD{SC_MANAGER_ALL_ACCESS}}) {
        EXPECT_EQ(OpenSCManager(nullptr, nullptr, access), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DATABASE_DOES_NOT_EXIST));
    }
    ::setenv("ZELVAR_MACHINE_HIVE", machine.Hives().MachineHive().c_str(), 1);
    RegistryResetStore();
}

TEST(ServiceControl, CreateWritesTheServiceAndRefusesDuplicatesAndBadArguments)
{
    CTempMachine machine;
    Sc manager(Manager());
    {
        Sc created(Create(manager.h, "DRUDriver"));
        ASSERT_NE(created.h, nullptr);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Services\\DRUDriver", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    struct DwordValue
    {
        const char* name;
        DWORD value;
    };
    for (const DwordValue& v : {DwordValue{"Type", 1}, DwordValue{"Start", 2}, DwordValue{"ErrorControl", 1}}) {
        DWORD data = 0, type = 0, size = sizeof data;
        EXPECT_EQ(RegQueryValueEx(key, v.name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_SUCCESS);
        EXPECT_EQ(type, REG_DWORD) << v.name;
        EXPECT_EQ(data, v.value) << v.name;
    }
    char text[128] = {};
    DWORD type = 0, size = sizeof text;
    EXPECT_EQ(RegQueryValueEx(key, "ImagePath", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_EXPAND_SZ);
    EXPECT_STREQ(text, kImage);
    size = sizeof text;
    EXPECT_EQ(RegQueryValueEx(key, "DisplayName", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "DRUDriver");
    RegCloseKey(key);

    struct Case
    {
        const char* legend;
        const char* name;
        const char* display;
        DWORD type;
        DWORD start;
        const char* image;
        const char* dependencies;
        DWORD error;
    };
    const Case cases[] = {
        {"same name, other case", "drudriver", nullptr, SERVICE_KERNEL_DRIVER, 2, kImage, nullptr,
         ERROR_SERVICE_EXISTS},
        {"display name of another", "Other", "DRUDriver", SERVICE_KERNEL_DRIVER, 2, kImage, nullptr,
         ERROR_DUPLICATE_SERVICE_NAME},
        {"name with a separator", "DRU\\Driver", nullptr, SERVICE_KERNEL_DRIVER, 2, kImage, nullptr,
         ERROR_INVALID_NAME},
        {"empty name", "", nullptr, SERVICE_KERNEL_DRIVER, 2, kImage, nullptr, ERROR_INVALID_NAME},
        {"not a kernel driver", "Other", nullptr, 0x10, 2, kImage, nullptr, ERROR_INVALID_PARAMETER},
        {"start type beyond disabled", "Other", nullptr, SERVICE_KERNEL_DRIVER, 5, kImage, nullptr,
         ERROR_INVALID_PARAMETER},
        {"no image", "Other", nullptr, SERVICE_KERNEL_DRIVER, 2, "", nullptr, ERROR_INVALID_PARAMETER},
        {"dependencies", "Other", nullptr, SERVICE_KERNEL_DRIVER, 2, kImage, "Tcpip", ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CreateService(manager.h, c.name, c.display, SERVICE_ALL_ACCESS, c.type, c.start, SERVICE_ERROR_NORMAL,
                                c.image, nullptr, nullptr, c.dependencies, nullptr, nullptr),
                  nullptr)
            << c.legend;
        EXPECT_EQ(GetLastError(), c.error) << c.legend;
    }
    EXPECT_FALSE(KeyExists("System\\CurrentControlSet\\Services\\Other"));

    EXPECT_EQ(OpenService(manager.h, "Missing", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(OpenService(reinterpret_cast<SC_HANDLE>(0x1234), "DRUDriver", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    // Deleting a stopped service takes its key with everything below.
    SetIoBase(0x210);
    Sc service(OpenService(manager.h, "DRUDriver", SERVICE_ALL_ACCESS));
    ASSERT_NE(service.h, nullptr);
    EXPECT_TRUE(DeleteService(service.h));
    EXPECT_FALSE(KeyExists("System\\CurrentControlSet\\Services\\DRUDriver"));
    EXPECT_FALSE(DeleteService(service.h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

// The card simulator installed as the driver of the service DRUDriver, not
// started yet.
class ServiceOfTheCard : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LinkSimulator();
        service.h = Create(manager.h, "DRUDriver");
        ASSERT_NE(service.h, nullptr);
        SetIoBase(0x210);
    }

    CTempMachine machine;
    Sc manager{Manager()};
    Sc service{nullptr};
};

TEST_F(ServiceOfTheCard, StartRunsTheDriverAndStopEndsIt)
{
    EXPECT_EQ(CardId(), "error 2");

    ASSERT_TRUE(StartService(service.h, 0, nullptr)) << GetLastError();
    EXPECT_EQ(CardId(), "1");
    EXPECT_FALSE(StartService(service.h, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));

    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(service.h, 4 /* interrogate */, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    {
        // Looking at a service does not give the right to run it.
        Sc look(OpenService(manager.h, "DRUDriver", SERVICE_QUERY_STATUS));
        ASSERT_NE(look.h, nullptr);
        EXPECT_FALSE(ControlService(look.h, SERVICE_CONTROL_STOP, &status));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }

    ASSERT_TRUE(ControlService(service.h, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    EXPECT_EQ(status.dwCurrentState, SERVICE_STOPPED);
    EXPECT_EQ(CardId(), "error 2");
    EXPECT_FALSE(std::filesystem::exists(machine.DeviceFolder() + "/Driver/drudriver"));
    EXPECT_FALSE(ControlService(service.h, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));

    // Started again, a driver whose parameters name another I/O address
    // finds no card; the sockets a dead driver left are taken over.
    SetIoBase(0x300);
    LeaveStaleSocket(machine.DeviceFolder() + "/Driver/drudriver");
    LeaveStaleSocket(machine.DeviceFolder() + "/DruDev");
    ASSERT_TRUE(StartService(service.h, 0, nullptr)) << GetLastError();
    EXPECT_EQ(CardId(), "4095");
    EXPECT_TRUE(ControlService(service.h, SERVICE_CONTROL_STOP, &status));
}

TEST(ServiceControl, DriversThatCannotRunOrDoNotLoad)
{
    CTempMachine machine;
    struct Case
    {
        const char* legend;
        const char* script;  // image content; null: the simulator
        mode_t mode;
        DWORD start;
        bool deviceTaken;
        DWORD error;
    };
    const Case cases[] = {
        {"no image file", nullptr, 0, SERVICE_AUTO_START, false, ERROR_PATH_NOT_FOUND},
        {"image that is a folder", "", 0, SERVICE_AUTO_START, false, ERROR_BAD_EXE_FORMAT},
        {"image that may not be run", "#!/bin/sh\necho READY\n", 0644, SERVICE_AUTO_START, false, ERROR_ACCESS_DENIED},
        {"image that is no program", "garbage\n", 0755, SERVICE_AUTO_START, false, ERROR_BAD_EXE_FORMAT},
        {"driver that ends before it is ready", "#!/bin/sh\nexit 3\n", 0755, SERVICE_AUTO_START, false,
         ERROR_GEN_FAILURE},
        {"driver that says something else", "#!/bin/sh\necho READ\necho READYY\necho ' READY'\n", 0755,
         SERVICE_AUTO_START, false, ERROR_GEN_FAILURE},
        {"device name taken by a file", nullptr, 0, SERVICE_AUTO_START, true, ERROR_GEN_FAILURE},
        {"disabled", nullptr, 0, SERVICE_DISABLED, false, ERROR_SERVICE_DISABLED},
    };
    Sc manager(Manager());
    for (const auto& c : cases) {
        std::filesystem::remove_all(std::filesystem::path(ImageFile()).parent_path());
        std::filesystem::remove_all(machine.DeviceFolder());
        const bool missing = c.script == nullptr && c.start != SERVICE_DISABLED && !c.deviceTaken;
        if (c.script != nullptr && *c.script == '\0')
            std::filesystem::create_directories(ImageFile());
        else if (c.script != nullptr)
            PutImage(c.script, c.mode);
        else if (!missing)
            LinkSimulator();
        if (c.deviceTaken) {
            std::filesystem::create_directories(machine.DeviceFolder());
            std::ofstream(machine.DeviceFolder() + "/DruDev") << "a file\n";
        }
        Sc service(Create(manager.h, "DRUDriver", c.start));
        ASSERT_NE(service.h, nullptr) << c.legend;
        SetIoBase(0x210);
        EXPECT_FALSE(StartService(service.h, 0, nullptr)) << c.legend;
        EXPECT_EQ(GetLastError(), c.error) << c.legend;
        EXPECT_EQ(CardId(), "error 2") << c.legend;
        EXPECT_TRUE(DeleteService(service.h)) << c.legend;
    }
}

// A driver that never says it is ready is given up on at the end of the
// start wait, or as soon as the stop event is set; seeing its output closed,
// it ends itself.
TEST(ServiceControl, WaitForADriverEndsAtItsLimitOrWhenCancelled)
{
    CTempMachine machine;
    PutImage("#!/bin/sh\nwhile printf .; do sleep 0.05; done\n", 0755);
    Sc manager(Manager());
    Sc service(Create(manager.h, "DRUDriver"));
    ASSERT_NE(service.h, nullptr);

    SetServiceControlWaits(200, 20000);
    EXPECT_FALSE(StartService(service.h, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_REQUEST_TIMEOUT));

    SetServiceControlWaits(600000, 20000);
    auto stop = std::make_shared<CStopEvent>();
    SetServiceControlStopEvent(stop);
    std::thread canceller([stop] { stop->Set(); });
    EXPECT_FALSE(StartService(service.h, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
    canceller.join();
    SetServiceControlStopEvent(nullptr);
    SetServiceControlWaits(30000, 20000);
}

TEST_F(ServiceOfTheCard, ARunningServiceDeletedGoesWhenItStops)
{
    ASSERT_TRUE(StartService(service.h, 0, nullptr)) << GetLastError();

    EXPECT_TRUE(DeleteService(service.h));
    EXPECT_TRUE(KeyExists("System\\CurrentControlSet\\Services\\DRUDriver\\Parameters"));
    EXPECT_EQ(CardId(), "1");
    EXPECT_FALSE(DeleteService(service.h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));
    EXPECT_EQ(Create(manager.h, "DRUDriver"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_MARKED_FOR_DELETE));

    SERVICE_STATUS status{};
    EXPECT_TRUE(ControlService(service.h, SERVICE_CONTROL_STOP, &status));
    EXPECT_FALSE(KeyExists("System\\CurrentControlSet\\Services\\DRUDriver"));
    EXPECT_EQ(OpenService(manager.h, "DRUDriver", SERVICE_ALL_ACCESS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

}  // namespace
