#include "platform/Registry.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Writers create keys and values while readers enumerate and query the same
// keys; every value written must be there afterwards and no reader may see
// a torn value.
TEST(RegistryThreads, WritersAndReadersShareTheStore)
{
    CTempHives hives;
    constexpr int kWriters = 4;
    constexpr int kPerWriter = 100;
    std::atomic<bool> stop{false};
    std::atomic<int> badReads{0};

    std::vector<std::thread> readers;
    for (int r = 0; r < 2; ++r) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                HKEY h = nullptr;
                if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\T", 0, KEY_READ, &h) != ERROR_SUCCESS)
                    continue;
                char name[64];
                for (DWORD i = 0;; ++i) {
                    DWORD cch = sizeof name, value = 0, size = sizeof value, type = 0;
                    const LONG rc =
                        RegEnumValue(h, i, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
                    if (rc != ERROR_SUCCESS)
                        break;
                    // Every value is written as its own index in the name.
                    if (type != REG_DWORD || size != 4 || std::to_string(value) != std::string(name).substr(3))
                        ++badReads;
                }
                RegCloseKey(h);
            }
        });
    }
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([w] {
            for (int i = 0; i < kPerWriter; ++i) {
                HKEY h = nullptr;
                ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\T", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                                         nullptr),
                          ERROR_SUCCESS);
                const DWORD value = static_cast<DWORD>(w * kPerWriter + i);
                const std::string name = "w" + std::to_string(w) + "_" + std::to_string(value);
                ASSERT_EQ(RegSetValueEx(h, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4),
                          ERROR_SUCCESS);
                RegCloseKey(h);
            }
        });
    }
    for (auto& t : writers)
        t.join();
    stop = true;
    for (auto& t : readers)
        t.join();
    EXPECT_EQ(badReads.load(), 0);

    RegistryResetStore();  // count from the file, not from the copy
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\T", 0, KEY_READ, &h), ERROR_SUCCESS);
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKey(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                              nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, static_cast<DWORD>(kWriters * kPerWriter));
    RegCloseKey(h);
}

}  // namespace
