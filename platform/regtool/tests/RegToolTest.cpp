#include "platform/regtool/RegTool.h"
#include "platform/regtool/RegText.h"

#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "platform/tests/HiveRows.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

struct Result
{
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Slurp(FILE* f)
{
    std::string s;
    std::rewind(f);
    char buffer[1024];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        s.append(buffer, n);
    std::fclose(f);
    return s;
}

Result Zvreg(const std::vector<std::string>& args)
{
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    Result r;
    r.exitCode = CRegTool(out, err).Run(args);
    r.out = Slurp(out);
    r.err = Slurp(err);
    return r;
}

struct Stored
{
    LONG rc = ERROR_SUCCESS;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

Stored Read(HKEY root, const char* path, const char* name)
{
    Stored s;
    HKEY key = nullptr;
    s.rc = RegOpenKeyEx(root, path, 0, KEY_READ, &key);
    if (s.rc != ERROR_SUCCESS)
        return s;
    DWORD size = 0;
    s.rc = RegQueryValueEx(key, name, nullptr, &s.type, nullptr, &size);
    s.data.resize(size);
    if (s.rc == ERROR_SUCCESS)
        s.rc = RegQueryValueEx(key, name, nullptr, &s.type, s.data.data(), &size);
    RegCloseKey(key);
    return s;
}

void Put(HKEY root, const char* path, const std::string& name, DWORD type, const std::vector<BYTE>& data)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyEx(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueEx(key, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST(RegTool, SetStoresTheTypeAskedForAndRefusesBadData)
{
    CTempHives hives;
    struct Case
    {
        const char* legend;
        std::vector<std::string> args;
        int exitCode;
        DWORD type;
        std::vector<BYTE> data;
    };
    const char* key = "HKCU\\Software\\Zelvar\\EchoSounder";
    const Case cases[] = {
        {"text", {"set", key, "SounderName", "REG_SZ", "QY310"}, 0, REG_SZ, {'Q', 'Y', '3', '1', '0', 0}},
        {"decimal", {"set", key, "Rate", "REG_DWORD", "4294967295"}, 0, REG_DWORD, {255, 255, 255, 255}},
        {"hexadecimal", {"set", key, "Mask", "REG_DWORD", "0x0A0b"}, 0, REG_DWORD, {0x0b, 0x0a, 0, 0}},
        {"bytes", {"set", key, "Blob", "REG_BINARY", "01,ff 7E"}, 0, REG_BINARY, {1, 0xff, 0x7e}},
        {"no bytes", {"set", key, "Empty", "REG_BINARY", ""}, 0, REG_BINARY, {}},
        {"number too large", {"set", key, "Big", "REG_DWORD", "4294967296"}, 1, REG_NONE, {}},
        {"number with garbage", {"set", key, "Junk", "REG_DWORD", "12x"}, 1, REG_NONE, {}},
        {"negative number", {"set", key, "Neg", "REG_DWORD", "-1"}, 1, REG_NONE, {}},
        {"odd hex digits", {"set", key, "Odd", "REG_BINARY", "0f0"}, 1, REG_NONE, {}},
        {"not hex", {"set", key, "Bad", "REG_BINARY", "0g"}, 1, REG_NONE, {}},
        {"unknown type", {"set", key, "T", "REG_QWORD", "1"}, 2, REG_NONE, {}},
        {"unknown root", {"set", "HKXX\\Software", "T", "REG_SZ", "1"}, 1, REG_NONE, {}},
    };
    for (const auto& c : cases) {
        const Result r = Zvreg(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.legend << ": " << r.err;
        const Stored s = Read(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder", c.args[2].c_str());
        if (c.exitCode == 0) {
            EXPECT_EQ(s.type, c.type) << c.legend;
            EXPECT_EQ(s.data, c.data) << c.legend;
        } else {
            EXPECT_NE(s.rc, ERROR_SUCCESS) << c.legend;
            EXPECT_FALSE(r.err.empty()) << c.legend;
        }
    }
    const Result q = Zvreg({"query", "hkey_current_user\\software\\zelvar\\echosounder", "mask"});
    EXPECT_EQ(q.exitCode, 0);
    EXPECT_EQ(q.out, "dword:00000a0b\n");
    EXPECT_EQ(Zvreg({"query", "HKCU\\Software\\Nothing"}).exitCode, 1);
}

TEST(RegTool, ExportAndImportGiveBackEveryByte)
{
    CTempHives hives;
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "", REG_SZ, {'d', 'e', 'f', 0});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "Quote\" and \\ back", REG_SZ,
        {'l', 'i', 'n', 'e', '\n', '"', '\\', 0xC3, 0x86, '\t', 0x01, 0});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "NoTerminator", REG_SZ, {'a', 'b'});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "InnerZero", REG_SZ, {'a', 0, 'b', 0});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "Empty", REG_SZ, {});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", "Rate", REG_DWORD, {1, 2, 3, 4});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", "Short", REG_DWORD, {1, 2});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", "Blob", REG_BINARY, {0, 0xff});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix", "Multi", REG_MULTI_SZ, {'a', 0, 0});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar\\Tovrelix\\Empty Key [1]", "x", REG_NONE, {});

    const std::string file = hives.Folder() + "/export.txt";
    ASSERT_EQ(Zvreg({"export", "HKCU\\Software\\Zelvar", file}).exitCode, 0);
    const Result before = Zvreg({"export", "HKCU\\Software\\Zelvar", "-"});
    ASSERT_EQ(before.exitCode, 0);
    EXPECT_NE(before.out.find("[HKEY_CURRENT_USER\\Software\\Zelvar\\EchoSounder\\QY310\\1.0]\n"
                              "\"Rate\"=dword:04030201\n"),
              std::string::npos)
        << before.out;

    ASSERT_EQ(Zvreg({"delete", "HKCU\\Software\\Zelvar"}).exitCode, 0);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "").rc, ERROR_FILE_NOT_FOUND);
    const Result imported = Zvreg({"import", file});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    const Result after = Zvreg({"export", "HKCU\\Software\\Zelvar", "-"});
    EXPECT_EQ(after.out, before.out);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "Quote\" and \\ back").data,
              (std::vector<BYTE>{'l', 'i', 'n', 'e', '\n', '"', '\\', 0xC3, 0x86, '\t', 0x01, 0}));
    EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "NoTerminator").data, (std::vector<BYTE>{'a', 'b'}));
}

TEST(RegTool, ABadImportFileChangesNothing)
{
    CTempHives hives;
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "Keep", REG_DWORD, {7, 0, 0, 0});
    struct Case
    {
        const char* legend;
        const char* text;
        const char* line;
    };
    const Case cases[] = {
        {"bad dword", "[HKCU\\Software\\Zelvar]\n\"Keep\"=dword:1\n\"X\"=dword:123456789\n", "line 3"},
        {"unterminated string", "[HKCU\\Software\\Zelvar]\n\"Keep\"=sz:\"abc\n", "line 2"},
        {"value before a key", "; header\n\"Keep\"=dword:1\n", "line 2"},
        {"unknown root", "[HKXX\\Software]\n", "line 1"},
        {"unclosed key", "[HKCU\\Software\\Zelvar\n", "line 1"},
        {"unknown escape", "[HKCU\\Software\\Zelvar]\n\"Keep\"=sz:\"a\\q\"\n", "line 2"},
        {"bad hex type", "[HKCU\\Software\\Zelvar]\n\"Keep\"=hex(zz):00\n", "line 2"},
        {"no equals sign", "[HKCU\\Software\\Zelvar]\n\"Keep\" dword:1\n", "line 2"},
    };
    for (const auto& c : cases) {
        const std::string file = hives.Folder() + "/bad.txt";
        std::ofstream(file) << c.text;
        const Result r = Zvreg({"import", file});
        EXPECT_EQ(r.exitCode, 1) << c.legend;
        EXPECT_NE(r.err.find(c.line), std::string::npos) << c.legend << ": " << r.err;
        EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "Keep").data, (std::vector<BYTE>{7, 0, 0, 0}))
            << c.legend;
    }
    EXPECT_EQ(Zvreg({"import", hives.Folder() + "/missing.txt"}).exitCode, 1);
}

TEST(RegTool, ALineTheStoreRefusesUndoesTheLinesBeforeIt)
{
    CTempHives hives;
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "Keep", REG_DWORD, {7, 0, 0, 0});
    std::string deep = "Software";
    for (DWORD i = 1; i < REG_MAX_KEY_DEPTH; ++i)
        deep += "\\k";
    const std::string head =
        "[HKCU\\Software\\Zelvar]\n\"Keep\"=dword:1\n\"New\"=dword:2\n[HKCU\\Software\\Zelvar\\Sub]\n";
    const struct
    {
        const char* legend;
        std::string text;
    } cases[] = {
        {"a key name longer than the store takes", head + "[HKCU\\Software\\" + std::string(300, 'n') + "]\n"},
        {"a key deeper than the store takes", head + "[HKCU\\" + deep + "\\one-too-many]\n"},
    };
    for (const auto& c : cases) {
        const std::string file = hives.Folder() + "/refused.txt";
        std::ofstream(file) << c.text;
        const Result r = Zvreg({"import", file});
        EXPECT_EQ(r.exitCode, 1) << c.legend;
        EXPECT_NE(r.err.find("cannot create"), std::string::npos) << c.legend << ": " << r.err;
        EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "Keep").data, (std::vector<BYTE>{7, 0, 0, 0}))
            << c.legend;
        EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "New").rc, ERROR_FILE_NOT_FOUND) << c.legend;
        HKEY sub = nullptr;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\Sub", 0, KEY_READ, &sub), ERROR_FILE_NOT_FOUND)
            << c.legend;
    }
    // The same import without the refused line is kept whole.
    const std::string file = hives.Folder() + "/good.txt";
    std::ofstream(file) << head;
    EXPECT_EQ(Zvreg({"import", file}).exitCode, 0);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "New").data, (std::vector<BYTE>{2, 0, 0, 0}));
}

TEST(RegTool, ExportAndDeleteOfADamagedHiveEnd)
{
    CTempHives hives;
    Put(HKEY_CURRENT_USER, "Software\\Zelvar\\A", "V", REG_DWORD, {1, 0, 0, 0});
    // Rows of the file itself: an empty name below "A", and a chain far
    // deeper than the store takes.
    const std::int64_t other = InsertKeyRow(hives.UserHive(), kHiveRootRow, "Other");
    std::string chain = "d";
    for (int i = 1; i < 2000; ++i)
        chain += "\\d";
    InsertKeyPath(hives.UserHive(), other, chain);
    InsertKeyRow(hives.UserHive(), KeyRowNamed(hives.UserHive(), "A"), "");
    const Result exported = Zvreg({"export", "HKCU", "-"});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_NE(exported.out.find("[HKEY_CURRENT_USER\\Software\\Zelvar\\A]\n\"V\"=dword:00000001\n"), std::string::npos);
    EXPECT_EQ(exported.out.find("[HKEY_CURRENT_USER\\Software\\Zelvar\\A\\]"), std::string::npos);
    EXPECT_EQ(Zvreg({"delete", "HKCU\\Software"}).exitCode, 0);
    EXPECT_EQ(Zvreg({"delete", "HKCU\\Other"}).exitCode, 0);
    EXPECT_EQ(Zvreg({"export", "HKCU", "-"}).out, "; zvreg export\n[HKEY_CURRENT_USER]\n");
}

TEST(RegTool, DeleteRemovesValuesAndTreesButNeverARoot)
{
    CTempHives hives;
    Put(HKEY_CURRENT_USER, "Software\\Zelvar\\A\\B", "V", REG_DWORD, {1, 0, 0, 0});
    Put(HKEY_CURRENT_USER, "Software\\Zelvar", "W", REG_DWORD, {1, 0, 0, 0});
    EXPECT_EQ(Zvreg({"delete", "HKCU\\Software\\Zelvar\\A\\B", "V"}).exitCode, 0);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar\\A\\B", "V").rc, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Zvreg({"delete", "HKCU\\Software\\Zelvar\\A\\B", "V"}).exitCode, 1);
    EXPECT_EQ(Zvreg({"delete", "HKCU"}).exitCode, 1);
    EXPECT_EQ(Zvreg({"delete", "HKCU\\"}).exitCode, 1);
    EXPECT_EQ(Zvreg({"delete", "HKCU\\Software\\Zelvar\\A"}).exitCode, 0);
    HKEY h = nullptr;
    EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar\\A", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar", "W").rc, ERROR_SUCCESS);
    EXPECT_EQ(Zvreg({"delete", "HKCU\\Software\\Zelvar\\A"}).exitCode, 1);
    EXPECT_EQ(Zvreg({}).exitCode, 2);
    EXPECT_EQ(Zvreg({"frobnicate"}).exitCode, 2);
}

// The program itself, as a user runs it.
TEST(RegTool, TheProgramSetsWhatTheStoreReads)
{
    CTempHives hives;
    const std::string command =
        std::string("'") + ZVREG_PATH + "' set 'HKCU\\Software\\Zelvar\\EchoSounder' SounderName REG_SZ QY310";
    RegistryResetStore();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder", "SounderName").data,
              (std::vector<BYTE>{'Q', 'Y', '3', '1', '0', 0}));
}

}  // namespace
