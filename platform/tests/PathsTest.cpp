#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old, m_had = true;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};

std::filesystem::path TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "paths-XXXXXX").string();
    return mkdtemp(pattern.data());
}

TEST(Paths, DataRootFollowsOverrideThenXdgThenHome)
{
    {
        ScopedEnv root("ZELVAR_DATA_ROOT", "/srv/zv");
        EXPECT_EQ(CPaths::DataRoot(), "/srv/zv/");
    }
    ScopedEnv root("ZELVAR_DATA_ROOT", nullptr);
    ScopedEnv home("HOME", "/home/op");
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/data/xdg/");
        EXPECT_EQ(CPaths::DataRoot(), "/data/xdg/zelvar/");
    }
    {
        // A relative XDG_DATA_HOME is invalid and falls back to the default.
        ScopedEnv xdg("XDG_DATA_HOME", "relative");
        EXPECT_EQ(CPaths::DataRoot(), "/home/op/.local/share/zelvar/");
    }
    ScopedEnv xdg("XDG_DATA_HOME", nullptr);
    EXPECT_EQ(CPaths::DataRoot(), "/home/op/.local/share/zelvar/");
}

TEST(Paths, FilesOfTheProgramsOwnLieWithinTheDataRoot)
{
    ScopedEnv root("ZELVAR_DATA_ROOT", "/r");
    EXPECT_EQ(CPaths::InDataRoot("DEBUG_TimeOut.txt"), "/r/DEBUG_TimeOut.txt");
    EXPECT_EQ(CPaths::InDataRoot("Diag/x.txt"), "/r/Diag/x.txt");
    EXPECT_EQ(CPaths::InDataRoot("/tmp/x.txt"), "/tmp/x.txt");
    EXPECT_EQ(CPaths::InDataRoot(""), "");
}

TEST(Paths, WindowsPathsMapOntoDataRoot)
{
    ScopedEnv root("ZELVAR_DATA_ROOT", "/r");
    const struct
    {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\QY310\\history", "/r/QY310/history"},
        {"c:\\QY310\\history\\", "/r/QY310/history/"},
        {"C:\\", "/r/"},
        {"C:", "/r/"},
        {"C:/mixed\\seps//twice", "/r/mixed/seps/twice"},
        {"D:\\data\\x.raw", "/r/D/data/x.raw"},
        {"Settings\\A\\B\\", "Settings/A/B/"},
        {"/already/unix", "/already/unix"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CPaths::MapWindowsPath(c.in), c.out) << c.in;
}

TEST(Paths, JoinPutsExactlyOneSeparator)
{
    EXPECT_EQ(CPaths::Join("/a", "b"), "/a/b");
    EXPECT_EQ(CPaths::Join("/a/", "/b"), "/a/b");
    EXPECT_EQ(CPaths::Join("/", "b"), "/b");
    EXPECT_EQ(CPaths::Join("", "b"), "b");
    EXPECT_EQ(CPaths::Join("/a", ""), "/a");
    EXPECT_EQ(CPaths::WithTrailingSeparator("/a"), "/a/");
    EXPECT_EQ(CPaths::WithTrailingSeparator("/a/"), "/a/");
}

TEST(Paths, CreateFolderMakesParentsAndRefusesAFileInTheWay)
{
    const auto dir = TempDir();
    const std::string deep = (dir / "Settings" / "A" / "B").string() + "/";
    EXPECT_TRUE(CPaths::CreateFolder(deep));
    EXPECT_TRUE(CPaths::FolderExists(deep));
    EXPECT_TRUE(CPaths::CreateFolder(deep)) << "an existing folder is success";

    // A name with characters a shell would interpret is created literally.
    const std::string odd = (dir / "a b;$(x)\"q").string();
    EXPECT_TRUE(CPaths::CreateFolder(odd));
    EXPECT_TRUE(CPaths::FolderExists(odd));

    std::ofstream((dir / "file").string()) << "x";
    std::string why;
    EXPECT_FALSE(CPaths::CreateFolder((dir / "file" / "sub").string(), &why));
    EXPECT_NE(why.find("file"), std::string::npos);
    EXPECT_FALSE(CPaths::CreateFolder((dir / "file").string()));
    EXPECT_FALSE(CPaths::CreateFolder(""));
    std::filesystem::remove_all(dir);
}

TEST(Paths, ProgramFolderHoldsTheRunningExecutable)
{
    const std::string folder = CPaths::ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(CPaths::ModulePath().rfind(folder, 0), 0u);
    EXPECT_TRUE(CPaths::FileExists(CPaths::ModulePath()));
}

}  // namespace
