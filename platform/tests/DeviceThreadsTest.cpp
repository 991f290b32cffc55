// The device calls against made-up drivers: each test's driver is a socket
// in the device folder that answers (or not) with the bytes the test gives.
#include "platform/Device.h"
#include "platform/DeviceFrame.h"
#include "platform/TempMachine.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// A driver serving one connection: it takes one request and sends answer,
// then waits for the caller to hang up, or hangs up itself.
class FakeDriver
{
public:
    enum Then { Wait, HangUp };

    FakeDriver(const std::string& folder, const std::string& name, std::vector<BYTE> answer, Then then = Wait)
    {
        std::filesystem::create_directories(folder);
        m_listen = Listen(folder + "/" + name);
        m_thread = std::thread([this, answer = std::move(answer), then] {
            const int fd = accept(m_listen, nullptr, nullptr);
            if (fd < 0)
                return;
            BYTE buffer[256];
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            {
                std::lock_guard lock(m_mutex);
                if (n > 0)
                    m_request.assign(buffer, buffer + n);
                m_arrived = true;
            }
            m_cv.notify_all();
            if (n > 0 && !answer.empty())
                send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
            while (then == Wait && (n = recv(fd, buffer, sizeof buffer, 0)) > 0) {
            }
            close(fd);
        });
    }
    ~FakeDriver()
    {
        if (m_thread.joinable())
            m_thread.join();
        close(m_listen);
    }

    // Returns once the request has arrived (or the caller hung up first).
    void WaitForRequest()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_arrived; });
    }

    // The request as it arrived, once the caller has hung up.
    std::vector<BYTE> Request()
    {
        m_thread.join();
        return m_request;
    }

    static int Listen(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << path;
        EXPECT_EQ(listen(fd, 4), 0);
        return fd;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_arrived = false;
    std::vector<BYTE> m_request;
    int m_listen = -1;
    std::thread m_thread;
};

HANDLE Open(const char* name, DWORD access = GENERIC_READ | GENERIC_WRITE)
{
    return CreateFile(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
}

TEST(Device, NamesThatAreNotOneDeviceAreRefused)
{
    CTempMachine machine;
    struct Case
    {
        const char* legend;
        const char* name;
        DWORD error;
    };
    const Case cases[] = {
        {"no name", nullptr, ERROR_INVALID_NAME},
        {"a file name", "DruDev", ERROR_INVALID_NAME},
        {"only the prefix", "\\\\.\\", ERROR_INVALID_NAME},
        {"the folder above", "\\\\.\\..", ERROR_INVALID_NAME},
        {"a path below", "\\\\.\\Driver\\drudriver", ERROR_INVALID_NAME},
        {"a path with slashes", "\\\\.\\../etc", ERROR_INVALID_NAME},
        {"no such device", "\\\\.\\DruDev", ERROR_FILE_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(Open(c.name), INVALID_HANDLE_VALUE) << c.legend;
        EXPECT_EQ(GetLastError(), c.error) << c.legend;
    }
    EXPECT_EQ(CreateFile("\\\\.\\DruDev", GENERIC_READ, 0, nullptr, 2 /* CREATE_ALWAYS */, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The socket of a driver that died is no device.
    std::filesystem::create_directories(machine.DeviceFolder());
    close(FakeDriver::Listen(machine.DeviceFolder() + "/DruDev"));
    EXPECT_EQ(Open("\\\\.\\DruDev"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Device, ControlCodeSendsItsFrameAndTakesTheAnswer)
{
    CTempMachine machine;
    FakeDriver driver(machine.DeviceFolder(), "Card", {0, 0, 0, 0, 2, 0, 0, 0, 0x34, 0x12});
    HANDLE h = Open("\\\\.\\Card");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    WORD id = 0;
    DWORD returned = 99;
    EXPECT_TRUE(DeviceIoControl(h, 0x9C406404, nullptr, 0, &id, sizeof id, &returned, nullptr));
    EXPECT_EQ(returned, 2u);
    EXPECT_EQ(id, 0x1234);
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_FALSE(CloseHandle(h));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(DeviceIoControl(h, 0x9C406404, nullptr, 0, &id, sizeof id, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    const std::vector<BYTE> sent = {1, 0, 0, 0, 0x04, 0x64, 0x40, 0x9C, 0, 0, 0, 0, 2, 0, 0, 0};
    EXPECT_EQ(driver.Request(), sent);
}

TEST(Device, AnswersThatBreakTheFramesSpendTheHandle)
{
    CTempMachine machine;
    struct Case
    {
        const char* legend;
        std::vector<BYTE> answer;
        FakeDriver::Then then;
    };
    const Case cases[] = {
        {"more bytes than the buffer holds", {0, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3}, FakeDriver::Wait},
        {"a failure that carries data", {1, 0, 0, 0, 2, 0, 0, 0, 1, 2}, FakeDriver::Wait},
        {"half a header, then gone", {0, 0, 0}, FakeDriver::HangUp},
        {"no answer, gone", {}, FakeDriver::HangUp},
    };
    for (const auto& c : cases) {
        FakeDriver driver(machine.DeviceFolder(), "Card", c.answer, c.then);
        HANDLE h = Open("\\\\.\\Card");
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << c.legend;
        WORD id = 0;
        DWORD returned = 99;
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_FALSE(DeviceIoControl(h, 0x9C406404, nullptr, 0, &id, sizeof id, &returned, nullptr)) << c.legend;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DEV_NOT_EXIST)) << c.legend;
            EXPECT_EQ(returned, 0u) << c.legend;
        }
        CloseHandle(h);
        driver.Request();
        std::filesystem::remove(machine.DeviceFolder() + "/Card");
    }
}

TEST(Device, AccessAndSizesAreCheckedBeforeTheDriverIsAsked)
{
    CTempMachine machine;
    FakeDriver driver(machine.DeviceFolder(), "Card", {});
    HANDLE readOnly = Open("\\\\.\\Card", GENERIC_READ);
    ASSERT_NE(readOnly, INVALID_HANDLE_VALUE);
    const BYTE command[7] = {5};
    DWORD count = 99;
    EXPECT_FALSE(WriteFile(readOnly, command, sizeof command, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    std::vector<BYTE> tooMuch(CDeviceFrame::kMaxTransfer + 1);
    EXPECT_FALSE(ReadFile(readOnly, tooMuch.data(), static_cast<DWORD>(tooMuch.size()), &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(DeviceIoControl(readOnly, 1, nullptr, 0, nullptr, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(count, 0u);
    CloseHandle(readOnly);
    EXPECT_TRUE(driver.Request().empty());  // nothing reached the driver
}

// A read waits as long as the driver has no data; cancelling it or closing
// the handle from another thread ends the wait, and the handle with it.
TEST(Device, AWaitingReadEndsWhenCancelledOrClosed)
{
    CTempMachine machine;
    for (const bool close : {false, true}) {
        FakeDriver driver(machine.DeviceFolder(), "Card", {});
        HANDLE h = Open("\\\\.\\Card");
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        std::thread other([&driver, h, close] {
            driver.WaitForRequest();
            close ? CloseHandle(h) : CancelIoEx(h, nullptr);
        });
        BYTE blocks[604];
        DWORD count = 99;
        EXPECT_FALSE(ReadFile(h, blocks, sizeof blocks, &count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
        EXPECT_EQ(count, 0u);
        other.join();
        EXPECT_FALSE(ReadFile(h, blocks, sizeof blocks, &count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(close ? ERROR_INVALID_HANDLE : ERROR_OPERATION_ABORTED));
        if (!close)
            CloseHandle(h);
        driver.Request();
        std::filesystem::remove(machine.DeviceFolder() + "/Card");
    }
}

}  // namespace
