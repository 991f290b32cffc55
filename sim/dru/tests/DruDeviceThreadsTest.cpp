// The program's device calls against the simulated card, serving on a
// thread of the test.
#include "platform/Device.h"
#include "platform/TempMachine.h"
#include "sim/dru/DruCodec.h"
#include "sim/dru/DruSimulator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace {

class RunningCard
{
public:
    explicit RunningCard(CDruSimulator::Settings settings) : m_simulator(std::move(settings))
    {
        std::string error;
        EXPECT_TRUE(m_simulator.Open(error)) << error;
        m_thread = std::thread([this] { m_simulator.Run(); });
    }
    ~RunningCard()
    {
        m_simulator.Stop();
        m_thread.join();
    }

private:
    CDruSimulator m_simulator;
    std::thread m_thread;
};

HANDLE OpenCard()
{
    return CreateFile("\\\\.\\DruDev", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, 0, nullptr);
}

TEST(DruDevice, TheProgramReadsTheCardAndWritesItsCommands)
{
    CTempMachine machine;
    std::filesystem::create_directories(machine.DeviceFolder());
    CDruSimulator::Settings settings;
    settings.deviceFolder = machine.DeviceFolder();
    settings.cardId = 0x0031;
    settings.inUse = true;
    {
        RunningCard card(settings);
        // Two handles at once, as the transceiver keeps one for commands and
        // one for reading.
        HANDLE commands = OpenCard();
        HANDLE reading = OpenCard();
        ASSERT_NE(commands, INVALID_HANDLE_VALUE);
        ASSERT_NE(reading, INVALID_HANDLE_VALUE);

        DWORD status = 0;
        WORD id = 0;
        BYTE health = 0;
        DWORD returned = 0;
        EXPECT_TRUE(DeviceIoControl(reading, CDruCodec::kReadStatus32, nullptr, 0, &status, 4, &returned, nullptr));
        EXPECT_EQ(status, CDruCodec::kStatus32InUse);
        EXPECT_TRUE(DeviceIoControl(reading, CDruCodec::kReadCardId, nullptr, 0, &id, 2, &returned, nullptr));
        EXPECT_EQ(id, 0x0031);
        EXPECT_TRUE(DeviceIoControl(reading, CDruCodec::kReadStatus8, nullptr, 0, &health, 1, &returned, nullptr));
        EXPECT_EQ(health, CDruCodec::kStatus8Good);
        EXPECT_EQ(returned, 1u);
        EXPECT_FALSE(DeviceIoControl(reading, CDruCodec::kReadStatus32, nullptr, 0, &id, 2, &returned, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

        const BYTE start[7] = {5, 0, 0, 0, 0, 0, 0};
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(commands, start, sizeof start, &written, nullptr));
        EXPECT_EQ(written, 7u);
        EXPECT_FALSE(WriteFile(commands, start, 6, &written, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        BYTE blocks[2 * 604];
        DWORD read = 0;
        EXPECT_FALSE(ReadFile(reading, blocks, sizeof blocks, &read, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_READY));

        // A refusal keeps the handle good.
        EXPECT_TRUE(DeviceIoControl(reading, CDruCodec::kReadCardId, nullptr, 0, &id, 2, &returned, nullptr));
        CloseHandle(commands);
        CloseHandle(reading);
    }
    // The card gone, so is its device.
    EXPECT_EQ(OpenCard(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(std::filesystem::exists(machine.DeviceFolder() + "/DruDev"));
}

TEST(DruDevice, ASecondCardSimulatorCannotTakeARunningDevice)
{
    CTempMachine machine;
    std::filesystem::create_directories(machine.DeviceFolder());
    CDruSimulator::Settings settings;
    settings.deviceFolder = machine.DeviceFolder();
    RunningCard card(settings);
    CDruSimulator second(settings);
    std::string error;
    EXPECT_FALSE(second.Open(error));
    EXPECT_NE(error.find("already served"), std::string::npos) << error;
    HANDLE h = OpenCard();
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
}

}  // namespace
