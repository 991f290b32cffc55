#include "base/ReplayFileList.h"

#include "base/EchosounderError.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace {

struct FatalReported
{
    std::string text;
};

}  // namespace

TEST(ReplayFileList, KeepsCreationOrderAndSkipsUnreadableFiles)
{
    const auto dir = std::filesystem::temp_directory_path() / ("replaylist-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::vector<std::string> names;
    const auto base = std::filesystem::file_time_type::clock::now();
    int minute = 0;
    for (const char* n : {"first.raw", "second.raw", "third.raw"}) {
        names.push_back((dir / n).string());
        std::ofstream(names.back()) << n;
        std::filesystem::last_write_time(names.back(), base + std::chrono::minutes(++minute));
    }
    CReplayFileList list;
    EXPECT_TRUE(list.AddFileByTime(names[2]));
    EXPECT_TRUE(list.AddFileByTime(names[0]));
    EXPECT_TRUE(list.AddFileByTime(names[1]));
    EXPECT_EQ(list.GetFiles(), names);
    EXPECT_FALSE(list.AddFileByTime((dir / "missing.raw").string()));
    EXPECT_EQ(list.GetCount(), 3);

    CReplayFileList empty;
    EXPECT_TRUE(empty.AddFileByTime((dir / "missing.raw").string()));
    EXPECT_EQ(empty.GetCount(), 1);
    std::filesystem::remove_all(dir);
}

TEST(ReplayFileList, CopyCarriesOptionsAndIndexOutsideIsFatal)
{
    CReplayFileList list;
    list.AddTail("a.raw");
    list.m_saveData = 1;
    list.m_loop = 0;
    list.m_doubles[3] = 2.5;
    const CReplayFileList copy(list);
    EXPECT_EQ(copy.GetFileName(0), "a.raw");
    EXPECT_EQ(copy.m_saveData, 1);
    EXPECT_EQ(copy.m_loop, 0);
    EXPECT_EQ(copy.m_doubles[3], 2.5);

    SetFatalErrorHandler([](const std::string& text) { throw FatalReported{text}; });
    for (int bad : {-1, 1}) {
        try {
            (void)copy.GetFileName(bad);
            ADD_FAILURE() << "no fatal report for " << bad;
        } catch (const FatalReported& f) {
            EXPECT_NE(f.text.find("Index out of bounds (" + std::to_string(bad)), std::string::npos) << f.text;
        }
    }
    SetFatalErrorHandler(nullptr);
}
