// Replacing a file whole, and clearing away what interrupted writers left.
#include "platform/DurableFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Folder
{
    Folder()
    {
        std::string t = (fs::temp_directory_path() / "zvdurable.XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~Folder() { fs::remove_all(path); }
    std::string File(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A process id that no process has any more.
pid_t DeadPid()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

void Touch(const std::string& path)
{
    std::ofstream(path) << "partial";
}

}  // namespace

TEST(DurableFileTest, ReplaceWritesTheWholeFileAndKeepsItsPermissions)
{
    Folder dir;
    const std::string path = dir.File("ChannelBottom.sav");
    ASSERT_EQ(CDurableFile::Replace(path, "first"), 0);
    EXPECT_EQ(Read(path), "first");
    ::chmod(path.c_str(), 0600);
    ASSERT_EQ(CDurableFile::Replace(path, std::string(100000, 'x')), 0);
    EXPECT_EQ(Read(path), std::string(100000, 'x'));
    struct stat st
    {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(DurableFileTest, AFailedReplaceLeavesTheOldFileAndNoTemporary)
{
    Folder dir;
    EXPECT_EQ(CDurableFile::Replace(dir.File("missing/x.sav"), "data"), ENOENT);
    // A folder in the way of the rename.
    fs::create_directory(dir.path / "taken");
    EXPECT_NE(CDurableFile::Replace(dir.File("taken"), "data"), 0);
    EXPECT_TRUE(fs::is_directory(dir.path / "taken"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(DurableFileTest, OnlyTemporariesOfProcessesThatAreGoneAreRemoved)
{
    Folder dir;
    const std::string dead = std::to_string(DeadPid()), alive = std::to_string(::getppid());
    struct Row
    {
        const char* legend;
        std::string name;
        bool removedBySweep;
    };
    const Row rows[] = {
        {"left by a process that died", "a.ser." + dead + "-3.tmp", true},
        {"of another file, died too", "b.sav." + dead + "-0.tmp", true},
        {"of a process still running", "a.ser." + alive + "-1.tmp", false},
        {"of this process", "a.ser." + std::to_string(::getpid()) + "-9.tmp", false},
        {"a temporary of someone else's naming", "notes.tmp", false},
        {"no counter", "a.ser." + dead + "-.tmp", false},
        {"letters for a pid", "a.ser.12ab-1.tmp", false},
        {"the settings file itself", "a.ser", false},
    };
    for (const Row& r : rows)
        Touch(dir.File(r.name));

    // A writer of a.ser clears its own name's leftovers only.
    ASSERT_EQ(CDurableFile::Replace(dir.File("a.ser"), "new"), 0);
    EXPECT_FALSE(fs::exists(dir.File(rows[0].name)));
    EXPECT_TRUE(fs::exists(dir.File(rows[1].name)));

    EXPECT_EQ(CDurableFile::RemoveStaleTemporaries(dir.path.string()), 1);
    for (const Row& r : rows)
        EXPECT_EQ(fs::exists(dir.File(r.name)), !r.removedBySweep) << r.legend;
}
