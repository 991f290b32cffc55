// A test fixture that points the event log's file sink at a file of its own
// and reads back what reached it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

class EventLogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path_ =
            std::filesystem::temp_directory_path() / ("zv-eventlog-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove(path_);
        ::setenv("ZELVAR_EVENTLOG_FILE", path_.c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("ZELVAR_EVENTLOG_FILE");
        std::filesystem::remove(path_);
    }
    std::vector<std::string> Lines() const
    {
        std::ifstream in(path_);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);)
            lines.push_back(l);
        return lines;
    }
    std::filesystem::path path_;
};
