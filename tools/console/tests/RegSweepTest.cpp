#include "tools/console/RegSweep.h"

#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "platform/tests/HiveRows.h"
#include "tools/console/tests/RunTool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using Outcome = ToolOutcome;

void MakeKey(HKEY hive, const std::string& path)
{
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyEx(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr), ERROR_SUCCESS)
        << path;
    const DWORD v = 1;
    ASSERT_EQ(RegSetValueEx(h, "V", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4), ERROR_SUCCESS);
    RegCloseKey(h);
}

bool Exists(HKEY hive, const std::string& path)
{
    HKEY h = nullptr;
    if (RegOpenKeyEx(hive, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

const char* const kUsageU = "Delete an entry in Registry under HKEY_CURRENT_USER\\Software\\Zelvar\n"
                            "Usage:\n"
                            " Regsweepu <Key to delete>\n"
                            "Example:\n"
                            " Regsweepu EchoSounder\n";
const char* const kUsageM = "Delete an entry in Registry under HKEY_LOCAL_MACHINE\\Software\\Zelvar\n"
                            "Usage:\n"
                            " Regsweepm <Key to delete>\n"
                            "Example:\n"
                            " Regsweepm EchoSounder\n";

TEST(RegSweep, CommandLinesThatOnlyShowTheUsage)
{
    CTempHives hives;
    MakeKey(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310");
    MakeKey(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\QY310");
    struct Case
    {
        const char* legend;
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {"no argument", {}, 255},
        {"?", {"?"}, 0},
        {"/h", {"/h"}, 0},
        {"-h", {"-h"}, 0},
        {"/?", {"/?"}, 0},
        {"-?", {"-?"}, 0},
        {"empty name: the maker key itself", {""}, 255},
        {"rooted name", {"\\EchoSounder"}, 255},
        {"only a separator", {"\\"}, 255},
        {"two words", {"Echo", "Sounder"}, 255},
    };
    for (const auto& c : cases) {
        const Outcome u = RunTool(REGSWEEPU_PATH, c.args);
        EXPECT_EQ(u.exitCode, c.exitCode) << c.legend;
        EXPECT_EQ(u.output, kUsageU) << c.legend;
        const Outcome m = RunTool(REGSWEEPM_PATH, c.args);
        EXPECT_EQ(m.exitCode, c.exitCode) << c.legend;
        EXPECT_EQ(m.output, kUsageM) << c.legend;
    }
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\QY310"));
}

// The store refuses to delete a key that still has sub keys, so a tree gone
// entirely was deleted bottom-up.
TEST(RegSweep, DeletesATreeThreeLevelsDeepAndNothingBeside)
{
    CTempHives hives;
    const std::string longName(120, 'L');  // longer than any fixed name buffer of old
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        MakeKey(hive, "Software\\Zelvar\\EchoSounder\\QY310\\1.0\\Units");
        MakeKey(hive, "Software\\Zelvar\\EchoSounder\\QY310\\1.0\\Debug");
        MakeKey(hive, "Software\\Zelvar\\EchoSounder\\RM30\\" + longName);
        MakeKey(hive, "Software\\Zelvar\\Tovrelix\\Port1");
        MakeKey(hive, "Software\\Other\\EchoSounder");
    }
    const Outcome u = RunTool(REGSWEEPU_PATH, {"echosounder"});
    EXPECT_EQ(u.exitCode, 0);
    EXPECT_EQ(u.output, "");
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder"));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\Port1"));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Other\\EchoSounder"));
    // The machine-wide tree is the other tool's.
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\RM30\\" + longName));

    const Outcome m = RunTool(REGSWEEPM_PATH, {"EchoSounder\\QY310"});
    EXPECT_EQ(m.exitCode, 0);
    EXPECT_EQ(m.output, "");
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\QY310"));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\RM30\\" + longName));
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\Tovrelix\\Port1"));
}

TEST(RegSweep, ADamagedTreeIsDeletedAsFarAsTheStoreReadsIt)
{
    CTempHives hives;
    MakeKey(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310");
    MakeKey(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix");
    // Rows of the file itself: a key with an empty name, which would name its
    // parent again, and a chain far deeper than the store takes.
    const std::int64_t unit = KeyRowNamed(hives.UserHive(), "QY310");
    ASSERT_GT(unit, 0);
    InsertKeyRow(hives.UserHive(), unit, "");
    std::string chain = "d";
    for (int i = 1; i < 2000; ++i)
        chain += "\\d";
    InsertKeyPath(hives.UserHive(), unit, chain);

    const Outcome u = RunTool(REGSWEEPU_PATH, {"EchoSounder"});
    EXPECT_EQ(u.exitCode, 0) << u.output;
    EXPECT_FALSE(Exists(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder"));
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix"));
}

TEST(RegSweep, MissingKeyAndMissingMakerKey)
{
    CTempHives hives;
    // No maker key at all: the tool cannot start.
    Outcome u = RunTool(REGSWEEPU_PATH, {"EchoSounder"});
    EXPECT_EQ(u.exitCode, 255);
    EXPECT_EQ(u.output, "Cannot open Zelvar entry\n");

    // A maker key without the named key: nothing to do.
    MakeKey(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix");
    u = RunTool(REGSWEEPU_PATH, {"EchoSounder"});
    EXPECT_EQ(u.exitCode, 0);
    EXPECT_EQ(u.output, "");
    EXPECT_TRUE(Exists(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix"));

    // A name the store cannot take is an error, not a deletion.
    u = RunTool(REGSWEEPU_PATH, {"Echo\\\\Sounder"});
    EXPECT_EQ(u.exitCode, CRegSweep::kExitPartly);
    EXPECT_NE(u.output.find("Cannot open registry key Echo\\\\Sounder"), std::string::npos) << u.output;
}

TEST(RegSweep, MachineHiveThatCannotBeWritten)
{
    CTempHives hives;
    ::setenv("ZELVAR_MACHINE_HIVE", "/dev/null/machine.db", 1);
    const Outcome m = RunTool(REGSWEEPM_PATH, {"EchoSounder"});
    EXPECT_EQ(m.exitCode, 255);
    EXPECT_EQ(m.output, "Cannot open Zelvar entry\n");
}

// A key that the tool may not open for deleting must not be reported as
// deleted. The child drops to "nobody" where the test runs as root, since
// file permissions do not bind root.
TEST(RegSweep, KeyThatCannotBeOpenedIsNotReportedDeleted)
{
    CTempHives hives;
    MakeKey(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\QY310");
    RegistryResetStore();
    if (::geteuid() == 0) {
        ::chmod(hives.Folder().c_str(), 0755);
    } else {
        ::chmod(hives.MachineHive().c_str(), 0444);
        ::chmod(hives.Folder().c_str(), 0555);
    }
    int pipeFd[2];
    ASSERT_EQ(::pipe(pipeFd), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFd[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(100);
        FILE* out = ::fdopen(pipeFd[1], "w");
        CRegSweep tool = CRegSweep::MachineWide(out);
        HKEY maker = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar", 0, KEY_READ, &maker) != ERROR_SUCCESS)
            _exit(101);
        const BOOL deleted = tool.DeleteKeyTree(maker, "EchoSounder");
        std::fclose(out);
        _exit(deleted ? 1 : 0);
    }
    ::close(pipeFd[1]);
    std::string output;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(pipeFd[0], buffer, sizeof buffer)) > 0)
        output.append(buffer, static_cast<std::size_t>(n));
    ::close(pipeFd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(hives.Folder().c_str(), 0700);
    ::chmod(hives.MachineHive().c_str(), 0644);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(output, "Cannot open registry key EchoSounder, error 5\n");
    EXPECT_TRUE(Exists(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\QY310"));
}

}  // namespace
