#include "platform/Registry.h"
#include "platform/TempHives.h"
#include "platform/tests/HiveRows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Opens or creates a key under the user hive and closes it at scope end.
struct Key
{
    HKEY h = nullptr;
    Key() = default;
    explicit Key(HKEY key) : h(key) {}
    ~Key()
    {
        if (h)
            RegCloseKey(h);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
};

HKEY Create(HKEY root, const char* path, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr)
{
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyEx(root, path, 0, nullptr, 0, access, nullptr, &h, disposition), ERROR_SUCCESS) << path;
    return h;
}

LONG SetDw(HKEY h, const char* name, DWORD v)
{
    return RegSetValueEx(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

LONG SetSz(HKEY h, const char* name, const std::string& v)
{
    return RegSetValueEx(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                         static_cast<DWORD>(v.size() + 1));
}

DWORD GetDw(HKEY h, const char* name)
{
    DWORD v = 0, type = 0, size = sizeof v;
    EXPECT_EQ(RegQueryValueEx(h, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &size), ERROR_SUCCESS) << name;
    EXPECT_EQ(type, REG_DWORD);
    return v;
}

std::vector<std::string> SubKeys(HKEY h)
{
    std::vector<std::string> names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof name;
        const LONG rc = RegEnumKeyEx(h, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        EXPECT_EQ(rc, ERROR_SUCCESS);
        if (rc != ERROR_SUCCESS)
            break;
        EXPECT_EQ(cch, std::strlen(name));
        names.emplace_back(name);
    }
    return names;
}

TEST(Registry, KeysAreCaseInsensitiveCasePreservingAndEnumeratedByName)
{
    CTempHives hives;
    DWORD disposition = 0;
    Key a(Create(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder\\QY310\\1.0", KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    Key b(Create(HKEY_CURRENT_USER, "SOFTWARE\\zelvar\\echosounder\\qy310\\1.0\\", KEY_ALL_ACCESS, &disposition));
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);

    Key parent(Create(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder"));
    Key rm(Create(parent.h, "rm30"));
    Key tq(Create(parent.h, "TQ30"));
    EXPECT_EQ(SubKeys(parent.h), (std::vector<std::string>{"QY310", "rm30", "TQ30"}));

    // A value written through one handle is read through another, under any case.
    ASSERT_EQ(SetDw(a.h, "PingRate", 7), ERROR_SUCCESS);
    EXPECT_EQ(GetDw(b.h, "PINGRATE"), 7u);
    ASSERT_EQ(SetDw(b.h, "pingrate", 8), ERROR_SUCCESS);
    char name[32];
    DWORD cch = sizeof name;
    ASSERT_EQ(RegEnumValue(a.h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_STREQ(name, "PingRate");  // first spelling kept
    EXPECT_EQ(GetDw(a.h, "PingRate"), 8u);
}

TEST(Registry, QueryValueReportsSizesAndShortBuffers)
{
    CTempHives hives;
    Key k(Create(HKEY_CURRENT_USER, "Software\\Q"));
    ASSERT_EQ(SetSz(k.h, "Name", "QY310"), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueEx(k.h, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 6u);

    char small[5] = {};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueEx(k.h, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);

    char exact[6] = {};
    size = sizeof exact;
    ASSERT_EQ(RegQueryValueEx(k.h, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), &size), ERROR_SUCCESS);
    EXPECT_STREQ(exact, "QY310");

    EXPECT_EQ(RegQueryValueEx(k.h, "Missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueEx(k.h, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(exact), nullptr),
              ERROR_INVALID_PARAMETER);

    // An empty value and the default (unnamed) value.
    ASSERT_EQ(RegSetValueEx(k.h, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
    size = 99;
    ASSERT_EQ(RegQueryValueEx(k.h, "Empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(type, REG_BINARY);
    ASSERT_EQ(SetDw(k.h, nullptr, 5), ERROR_SUCCESS);
    EXPECT_EQ(GetDw(k.h, ""), 5u);

    std::vector<BYTE> huge(REG_MAX_VALUE_DATA + 1);
    EXPECT_EQ(RegSetValueEx(k.h, "Huge", 0, REG_BINARY, huge.data(), static_cast<DWORD>(huge.size())),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueEx(k.h, "Null", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
}

TEST(Registry, EnumerationHonoursTheCallersBuffer)
{
    CTempHives hives;
    Key k(Create(HKEY_CURRENT_USER, "Software\\E"));
    const std::string longName(120, 'x');
    Key sub(Create(k.h, longName.c_str()));
    ASSERT_EQ(SetDw(k.h, "Value", 1), ERROR_SUCCESS);

    char name[256];
    DWORD cch = 80;
    EXPECT_EQ(RegEnumKeyEx(k.h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    cch = 121;
    ASSERT_EQ(RegEnumKeyEx(k.h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(cch, 120u);
    EXPECT_EQ(name, longName);
    cch = sizeof name;
    EXPECT_EQ(RegEnumKeyEx(k.h, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    cch = 5;  // "Value" needs 6 with its terminator
    EXPECT_EQ(RegEnumValue(k.h, 0, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    DWORD data = 0, size = 2, type = 0;
    cch = sizeof name;
    EXPECT_EQ(RegEnumValue(k.h, 0, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 4u);
    size = 4;
    cch = sizeof name;
    ASSERT_EQ(RegEnumValue(k.h, 0, name, &cch, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size), ERROR_SUCCESS);
    EXPECT_EQ(data, 1u);
    EXPECT_EQ(type, REG_DWORD);
    cch = sizeof name;
    EXPECT_EQ(RegEnumValue(k.h, 1, name, &cch, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);

    DWORD subKeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKey(k.h, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, &maxName, &maxData,
                              nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 1u);
    EXPECT_EQ(maxSub, 120u);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(maxName, 5u);
    EXPECT_EQ(maxData, 4u);
}

TEST(Registry, HandlesCarryTheirAccess)
{
    CTempHives hives;
    Key(Create(HKEY_CURRENT_USER, "Software\\A"));
    HKEY ro = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\A", 0, KEY_READ, &ro), ERROR_SUCCESS);
    Key keep(ro);
    EXPECT_EQ(SetDw(ro, "V", 1), ERROR_ACCESS_DENIED);
    HKEY sub = nullptr;
    EXPECT_EQ(RegCreateKeyEx(ro, "New", 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(sub, nullptr);

    HKEY wo = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\A", 0, KEY_SET_VALUE, &wo), ERROR_SUCCESS);
    Key keep2(wo);
    ASSERT_EQ(SetDw(wo, "V", 1), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(wo, "V", nullptr, nullptr, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValue(ro, "V"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetDw(ro, "V"), 1u);

    EXPECT_EQ(RegCloseKey(ro), ERROR_SUCCESS);
    keep.h = nullptr;
    EXPECT_EQ(RegQueryValueEx(ro, "V", nullptr, nullptr, nullptr, &size), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(ro), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST(Registry, MachineHiveThatCannotBeWrittenRefusesWriteAccess)
{
    CTempHives hives;
    ::setenv("ZELVAR_MACHINE_HIVE", "/dev/null/machine.db", 1);  // can never be created
    RegistryResetStore();
    HKEY h = nullptr;
    EXPECT_EQ(
        RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
        ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "", 0, KEY_READ | KEY_SET_VALUE, &h), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar", 0, KEY_READ, &h), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetDw(HKEY_LOCAL_MACHINE, "V", 1), ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &h), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(h), ERROR_SUCCESS);
    // The user hive is not affected.
    Key u(Create(HKEY_CURRENT_USER, "Software\\Zelvar"));
}

// Runs body in a child process that may not write the given file and
// folder (root drops to "nobody" for it, since permissions do not bind root)
// and returns the child's exit code.
int RunWithoutWriteAccess(const std::string& file, const std::string& folder, int (*body)())
{
    if (::geteuid() == 0) {
        ::chmod(folder.c_str(), 0755);
        ::chmod(file.c_str(), 0644);
    } else {
        ::chmod(file.c_str(), 0444);
        ::chmod(folder.c_str(), 0555);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(100);
        _exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(folder.c_str(), 0700);
    ::chmod(file.c_str(), 0644);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Registry, ReadOnlyHiveFileIsReadButNotWritten)
{
    CTempHives hives;
    {
        Key k(Create(HKEY_LOCAL_MACHINE, "Software\\Zelvar"));
        ASSERT_EQ(SetDw(k.h, "V", 3), ERROR_SUCCESS);
    }
    RegistryResetStore();  // closes the file, so the child is its only user
    const int rc = RunWithoutWriteAccess(hives.MachineHive(), hives.Folder(), [] {
        RegistryResetStore();
        HKEY h = nullptr;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar", 0, KEY_WRITE, &h) != ERROR_ACCESS_DENIED)
            return 1;
        if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar", 0, KEY_READ, &h) != ERROR_SUCCESS)
            return 2;
        DWORD v = 0, size = 4;
        if (RegQueryValueEx(h, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS || v != 3)
            return 3;
        if (SetDw(HKEY_LOCAL_MACHINE, "W", 1) != ERROR_ACCESS_DENIED)
            return 4;
        if (RegDeleteKey(HKEY_LOCAL_MACHINE, "Software\\Zelvar") != ERROR_ACCESS_DENIED)
            return 5;
        return 0;
    });
    EXPECT_EQ(rc, 0);
}

TEST(Registry, DeleteKeyRefusesKeysWithSubKeysAndInvalidatesHandles)
{
    CTempHives hives;
    Key leaf(Create(HKEY_CURRENT_USER, "Software\\D\\Mid\\Leaf"));
    Key parent(Create(HKEY_CURRENT_USER, "Software\\D"));
    EXPECT_EQ(RegDeleteKey(parent.h, "Mid"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKey(parent.h, "Mid\\Leaf"), ERROR_SUCCESS);
    EXPECT_EQ(SetDw(leaf.h, "V", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(RegDeleteKey(parent.h, "Mid\\Leaf"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKey(parent.h, ""), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegDeleteKey(parent.h, "MID"), ERROR_SUCCESS);
    EXPECT_TRUE(SubKeys(parent.h).empty());

    // A key created again under the same name is a new key.
    Key again(Create(HKEY_CURRENT_USER, "Software\\D\\Mid\\Leaf"));
    EXPECT_EQ(SetDw(leaf.h, "V", 1), ERROR_KEY_DELETED);
    EXPECT_EQ(SetDw(again.h, "V", 1), ERROR_SUCCESS);
}

TEST(Registry, DeleteTreeTakesEverythingBelowAndNothingBeside)
{
    CTempHives hives;
    Key parent(Create(HKEY_CURRENT_USER, "Software\\T"));
    for (const char* path : {"Software\\T\\Gone\\A\\B", "Software\\T\\Gone\\C", "Software\\T\\Kept"}) {
        Key k(Create(HKEY_CURRENT_USER, path));
        EXPECT_EQ(SetDw(k.h, "V", 1), ERROR_SUCCESS);
    }
    EXPECT_EQ(RegDeleteTree(parent.h, "gone"), ERROR_SUCCESS);
    EXPECT_EQ(SubKeys(parent.h), std::vector<std::string>{"Kept"});
    EXPECT_EQ(RegDeleteTree(parent.h, "Gone"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteTree(parent.h, ""), ERROR_INVALID_PARAMETER);
}

struct BadPath
{
    const char* legend;
    std::string path;
    LONG expected;
};

TEST(Registry, BadKeyPathsAreRefused)
{
    CTempHives hives;
    const BadPath cases[] = {
        {"leading separator", "\\Software", ERROR_BAD_PATHNAME},
        {"empty name inside", "Software\\\\Zelvar", ERROR_BAD_PATHNAME},
        {"only a separator", "\\", ERROR_BAD_PATHNAME},
        {"name of 256 bytes", "Software\\" + std::string(256, 'n'), ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        HKEY h = nullptr;
        EXPECT_EQ(
            RegCreateKeyEx(HKEY_CURRENT_USER, c.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
            c.expected)
            << c.legend;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, c.path.c_str(), 0, KEY_READ, &h), c.expected) << c.legend;
        EXPECT_EQ(h, nullptr) << c.legend;
    }
    EXPECT_TRUE(SubKeys(HKEY_CURRENT_USER).empty());
    Key ok(Create(HKEY_CURRENT_USER, ("Software\\" + std::string(255, 'n')).c_str()));
}

TEST(Registry, KeysDeeperThanTheBoundAreNotCreated)
{
    CTempHives hives;
    std::string path = "Software";
    for (DWORD depth = 1; depth < REG_MAX_KEY_DEPTH; ++depth)
        path += "\\k";
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    Key deepest(h);
    HKEY refused = nullptr;
    EXPECT_EQ(RegCreateKeyEx(deepest.h, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &refused, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, (path + "\\k").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &refused, nullptr),
              ERROR_INVALID_PARAMETER);
    std::string thirtyThousand = "a";
    for (int depth = 1; depth < 30000; ++depth)
        thirtyThousand += "\\a";
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, thirtyThousand.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             &refused, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(refused, nullptr);
    EXPECT_EQ(SubKeys(HKEY_CURRENT_USER), (std::vector<std::string>{"Software"}));
}

TEST(Registry, KeyRowsNoCallCouldWriteAreLeftOutOfTheTree)
{
    CTempHives hives;
    Key software(Create(HKEY_CURRENT_USER, "Software"));
    const std::string file = hives.UserHive();
    const std::int64_t zelvar = InsertKeyRow(file, kHiveRootRow, "Zelvar");
    // An empty name would open its parent again, a separator another key:
    // a walk over the tree through either would never end.
    InsertKeyPath(file, InsertKeyRow(file, zelvar, ""), "below-the-empty-one");
    InsertKeyRow(file, zelvar, "with\\separator");
    InsertKeyRow(file, zelvar, std::string(REG_MAX_KEY_NAME + 1, 'n'));
    InsertKeyRow(file, zelvar, "Kept");
    std::string chain = "c";
    for (DWORD depth = 2; depth < REG_MAX_KEY_DEPTH + 100; ++depth)
        chain += "\\c";
    InsertKeyPath(file, zelvar, chain);
    for (int reopened = 0; reopened < 2; ++reopened) {
        HKEY h = nullptr;
        ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Zelvar", 0, KEY_READ, &h), ERROR_SUCCESS);
        Key z(h);
        EXPECT_EQ(SubKeys(z.h), (std::vector<std::string>{"c", "Kept"}));
        // The chain is read down to the deepest key the store takes
        // ("Zelvar" is one name deep, its "c" two).
        HKEY at = nullptr;
        ASSERT_EQ(RegOpenKeyEx(z.h, "c", 0, KEY_READ, &at), ERROR_SUCCESS);
        DWORD depth = 2;
        for (HKEY next = nullptr; RegOpenKeyEx(at, "c", 0, KEY_READ, &next) == ERROR_SUCCESS; ++depth) {
            RegCloseKey(at);
            at = next;
        }
        RegCloseKey(at);
        EXPECT_EQ(depth, REG_MAX_KEY_DEPTH);
        RegistryResetStore();
    }
}

TEST(Registry, AKeyRowWhoseIdCameBeforeIsLeftOut)
{
    CTempHives hives;
    // A damaged file can give one row id twice, the second time as a child
    // of the first; the first row stands.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(hives.UserHive().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA application_id = 1515606599;"
                           "CREATE TABLE keys(id INTEGER, parent INTEGER, name TEXT, lname TEXT, class TEXT);"
                           "CREATE TABLE vals(id INTEGER, key INTEGER, name TEXT, lname TEXT, type INTEGER, data BLOB);"
                           "INSERT INTO keys VALUES(1, NULL, '', '', ''), (2, 1, 'Software', 'software', ''),"
                           "  (2, 2, 'Again', 'again', ''), (3, 2, 'Zelvar', 'zelvar', '');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(SubKeys(HKEY_CURRENT_USER), (std::vector<std::string>{"Software"}));
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &h), ERROR_SUCCESS);
    Key software(h);
    EXPECT_EQ(SubKeys(software.h), (std::vector<std::string>{"Zelvar"}));
}

TEST(Registry, ATransactionKeepsAllItsChangesOrNone)
{
    CTempHives hives;
    for (const LONG answer : {ERROR_INVALID_PARAMETER, ERROR_SUCCESS}) {
        const LONG rc = RegistryTransaction([&] {
            Key user(Create(HKEY_CURRENT_USER, "Software\\A\\B"));
            EXPECT_EQ(SetDw(user.h, "V", 1), ERROR_SUCCESS);
            Key machine(Create(HKEY_LOCAL_MACHINE, "Software\\M"));
            EXPECT_EQ(SetDw(machine.h, "W", 2), ERROR_SUCCESS);
            // Inside, the changes are seen as made.
            EXPECT_EQ(GetDw(user.h, "V"), 1u);
            return answer;
        });
        EXPECT_EQ(rc, answer);
        RegistryResetStore();  // what the files hold
        HKEY h = nullptr;
        const LONG expected = answer == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        EXPECT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\A\\B", 0, KEY_READ, &h), expected);
        if (h)
            RegCloseKey(h);
        EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\M", 0, KEY_READ, &h), expected);
        if (h)
            RegCloseKey(h);
    }
}

TEST(Registry, EverythingSurvivesReopeningTheHive)
{
    CTempHives hives;
    const BYTE blob[] = {0, 1, 2, 0xFF};
    const BYTE multi[] = {'a', 0, 'b', 0, 0};
    {
        Key k(Create(HKEY_CURRENT_USER, "Software\\Zelvar\\EchoSounder"));
        ASSERT_EQ(SetSz(k.h, "SounderName", "QY310 ÆØÅ"), ERROR_SUCCESS);
        ASSERT_EQ(SetDw(k.h, "Count", 0xDEADBEEF), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueEx(k.h, "Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueEx(k.h, "Multi", 0, REG_MULTI_SZ, multi, sizeof multi), ERROR_SUCCESS);
        Key c(Create(HKEY_CLASSES_ROOT, "ZelvarTovrelix.SerialCom.1"));
        ASSERT_EQ(SetSz(c.h, "", "SerialCom"), ERROR_SUCCESS);
    }
    RegistryResetStore();
    HKEY h = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "software\\zelvar\\echosounder", 0, KEY_READ, &h), ERROR_SUCCESS);
    Key k(h);
    char text[64] = {};
    DWORD size = sizeof text, type = 0;
    ASSERT_EQ(RegQueryValueEx(h, "SounderName", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "QY310 ÆØÅ");
    EXPECT_EQ(GetDw(h, "Count"), 0xDEADBEEFu);
    BYTE data[16];
    size = sizeof data;
    ASSERT_EQ(RegQueryValueEx(h, "Blob", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::vector<BYTE>(data, data + size), std::vector<BYTE>(blob, blob + sizeof blob));
    size = sizeof data;
    ASSERT_EQ(RegQueryValueEx(h, "Multi", nullptr, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_MULTI_SZ);
    EXPECT_EQ(std::vector<BYTE>(data, data + size), std::vector<BYTE>(multi, multi + sizeof multi));
    char name[64];
    std::vector<std::string> order;
    for (DWORD i = 0;; ++i) {
        DWORD cch = sizeof name;
        if (RegEnumValue(h, i, name, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        order.emplace_back(name);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"SounderName", "Count", "Blob", "Multi"}));
    HKEY c = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CLASSES_ROOT, "ZelvarTovrelix.SerialCom.1", 0, KEY_READ, &c), ERROR_SUCCESS);
    Key keepC(c);
    size = sizeof text;
    ASSERT_EQ(RegQueryValueEx(c, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, "SerialCom");
}

TEST(Registry, AFileThatIsNotAHiveIsLeftAlone)
{
    CTempHives hives;
    const std::string content = "not a database, and it must stay as it is\n";
    {
        std::ofstream(hives.UserHive()) << content;
    }
    HKEY h = nullptr;
    EXPECT_NE(RegCreateKeyEx(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    EXPECT_NE(SetDw(HKEY_CURRENT_USER, "V", 1), ERROR_SUCCESS);
    std::ifstream in(hives.UserHive());
    std::string back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(back, content);
}

TEST(Registry, AnEmptyHiveFileIsDamagedNotNew)
{
    CTempHives hives;
    std::ofstream(hives.UserHive()).flush();
    const SHiveStatus status = RegistryHiveStatus(HKEY_CURRENT_USER);
    EXPECT_EQ(status.state, EHiveState::Damaged);
    EXPECT_EQ(status.reason, hives.UserHive() + ": the file is empty");
    EXPECT_NE(SetDw(HKEY_CURRENT_USER, "V", 1), ERROR_SUCCESS);
    std::string movedTo;
    ASSERT_EQ(RegistrySetHiveAside(HKEY_CURRENT_USER, &movedTo), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(movedTo));
    EXPECT_EQ(RegistryHiveStatus(HKEY_CURRENT_USER).state, EHiveState::Writable);
}

TEST(Registry, ADamagedHiveIsSetAsideKeptAndReplacedByAnEmptyOne)
{
    CTempHives hives;
    const std::string content = "not a database, and it must stay as it is\n";
    std::ofstream(hives.UserHive()) << content;
    SHiveStatus status = RegistryHiveStatus(HKEY_CURRENT_USER);
    EXPECT_EQ(status.state, EHiveState::Damaged);
    EXPECT_EQ(status.path, hives.UserHive());
    EXPECT_EQ(status.reason.rfind(hives.UserHive() + ": ", 0), 0u) << status.reason;

    std::string movedTo;
    ASSERT_EQ(RegistrySetHiveAside(HKEY_CURRENT_USER, &movedTo), ERROR_SUCCESS);
    EXPECT_EQ(movedTo.rfind(hives.UserHive() + ".damaged-", 0), 0u) << movedTo;
    std::ifstream in(movedTo);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), content);
    EXPECT_EQ(RegistryHiveStatus(HKEY_CURRENT_USER).state, EHiveState::Writable);
    Key k(Create(HKEY_CURRENT_USER, "Software\\Zelvar"));
    EXPECT_EQ(SetDw(k.h, "V", 5), ERROR_SUCCESS);
    EXPECT_EQ(GetDw(k.h, "V"), 5u);

    // A second damaged file on the same second does not overwrite the first.
    RegistryResetStore();
    std::filesystem::remove(hives.UserHive());
    std::ofstream(hives.UserHive()) << "damaged again\n";
    std::string second;
    ASSERT_EQ(RegistrySetHiveAside(HKEY_CURRENT_USER, &second), ERROR_SUCCESS);
    EXPECT_NE(second, movedTo);
    EXPECT_TRUE(std::filesystem::exists(movedTo));
}

TEST(Registry, AHiveThatCannotBeMadeIsKeptInMemoryOnRequest)
{
    CTempHives hives;
    ::setenv("ZELVAR_USER_HIVE", "/dev/null/zelvar/user.db", 1);  // a folder that can never be made
    RegistryResetStore();
    const SHiveStatus status = RegistryHiveStatus(HKEY_CURRENT_USER);
    EXPECT_EQ(status.state, EHiveState::Unavailable);
    EXPECT_NE(status.reason.find("/dev/null"), std::string::npos) << status.reason;
    EXPECT_NE(status.reason.find("Not a directory"), std::string::npos) << status.reason;
    HKEY h = nullptr;
    EXPECT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr),
              ERROR_ACCESS_DENIED);

    ASSERT_EQ(RegistryKeepHiveInMemory(HKEY_CURRENT_USER), ERROR_SUCCESS);
    EXPECT_EQ(RegistryHiveStatus(HKEY_CURRENT_USER).state, EHiveState::InMemory);
    EXPECT_EQ(RegistryHiveStatus(HKEY_CURRENT_USER).reason, status.reason);
    Key k(Create(HKEY_CURRENT_USER, "Software\\Zelvar"));
    EXPECT_EQ(SetDw(k.h, "V", 9), ERROR_SUCCESS);
    EXPECT_EQ(GetDw(k.h, "V"), 9u);
    EXPECT_EQ(RegFlushKey(k.h), ERROR_SUCCESS);
}

TEST(Registry, AReadOnlyHiveKeptInMemoryStartsFromTheFileAndLeavesItAlone)
{
    CTempHives hives;
    {
        Key k(Create(HKEY_CURRENT_USER, "Software\\Zelvar"));
        ASSERT_EQ(SetDw(k.h, "V", 3), ERROR_SUCCESS);
    }
    RegistryResetStore();
    const int rc = RunWithoutWriteAccess(hives.UserHive(), hives.Folder(), [] {
        RegistryResetStore();
        const SHiveStatus status = RegistryHiveStatus(HKEY_CURRENT_USER);
        if (status.state != EHiveState::ReadOnly || status.reason.empty())
            return 1;
        if (RegistryKeepHiveInMemory(HKEY_CURRENT_USER) != ERROR_SUCCESS)
            return 2;
        HKEY h = nullptr;
        if (RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\Zelvar", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h,
                           nullptr) != ERROR_SUCCESS)
            return 3;
        DWORD v = 0, size = 4;
        if (RegQueryValueEx(h, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS || v != 3)
            return 4;
        if (SetDw(h, "V", 4) != ERROR_SUCCESS)
            return 5;
        return 0;
    });
    EXPECT_EQ(rc, 0);
    RegistryResetStore();
    Key k(Create(HKEY_CURRENT_USER, "Software\\Zelvar"));
    EXPECT_EQ(GetDw(k.h, "V"), 3u);
}

// Waits for a forked child and returns its exit code.
int Join(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One byte through a pipe: lets parent and child take turns.
struct Turn
{
    int fd[2] = {-1, -1};
    Turn() { EXPECT_EQ(::pipe(fd), 0); }
    ~Turn()
    {
        ::close(fd[0]);
        ::close(fd[1]);
    }
    void Give() { EXPECT_EQ(::write(fd[1], "x", 1), 1); }
    bool Take()
    {
        char c;
        return ::read(fd[0], &c, 1) == 1;
    }
};

// The children are forked before the parent opens a hive, so that no
// database connection crosses the fork.
TEST(Registry, AnotherProcessSeesAWriteWithoutReopening)
{
    CTempHives hives;
    Turn toChild, toParent;
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!toChild.Take())
            _exit(1);
        HKEY h = nullptr;
        if (RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Shared", 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS)
            _exit(2);
        if (SetDw(h, "V", 2) != ERROR_SUCCESS)
            _exit(3);
        HKEY sub = nullptr;
        if (RegCreateKeyEx(h, "FromChild", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) != ERROR_SUCCESS)
            _exit(4);
        _exit(0);
    }
    Key k(Create(HKEY_CURRENT_USER, "Software\\Shared"));
    ASSERT_EQ(SetDw(k.h, "V", 1), ERROR_SUCCESS);
    EXPECT_EQ(GetDw(k.h, "V"), 1u);  // the copy is warm now
    toChild.Give();
    ASSERT_EQ(Join(pid), 0);
    EXPECT_EQ(GetDw(k.h, "V"), 2u);
    EXPECT_EQ(SubKeys(k.h), std::vector<std::string>{"FromChild"});
}

// A child forked while the parent has the hive open keeps its handles and
// works on its own connection.
TEST(Registry, AForkedChildUsesInheritedHandles)
{
    CTempHives hives;
    Key k(Create(HKEY_CURRENT_USER, "Software\\Forked"));
    ASSERT_EQ(SetDw(k.h, "V", 1), ERROR_SUCCESS);
    const pid_t pid = ::fork();
    if (pid == 0) {
        DWORD v = 0, size = 4;
        if (RegQueryValueEx(k.h, "V", nullptr, nullptr, reinterpret_cast<BYTE*>(&v), &size) != ERROR_SUCCESS || v != 1)
            _exit(1);
        _exit(SetDw(k.h, "V", 2) == ERROR_SUCCESS ? 0 : 2);
    }
    ASSERT_EQ(Join(pid), 0);
    EXPECT_EQ(GetDw(k.h, "V"), 2u);
    ASSERT_EQ(SetDw(k.h, "V", 3), ERROR_SUCCESS);
    EXPECT_EQ(GetDw(k.h, "V"), 3u);
}

TEST(Registry, TwoProcessesWritingAtOnceLoseNothing)
{
    CTempHives hives;
    constexpr int kPerProcess = 200;
    Turn start;
    auto writer = [&](const char* prefix) {
        if (!start.Take())
            _exit(3);
        for (int i = 0; i < kPerProcess; ++i) {
            HKEY h = nullptr;
            // Both create the same sub keys and write distinct values in them.
            const std::string path = "Software\\Race\\K" + std::to_string(i % 10);
            if (RegCreateKeyEx(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &h, nullptr) !=
                ERROR_SUCCESS)
                _exit(1);
            if (SetDw(h, (std::string(prefix) + std::to_string(i)).c_str(), static_cast<DWORD>(i)) != ERROR_SUCCESS)
                _exit(2);
            RegCloseKey(h);
        }
        _exit(0);
    };
    const pid_t a = ::fork();
    if (a == 0)
        writer("a");
    const pid_t b = ::fork();
    if (b == 0)
        writer("b");
    start.Give();
    start.Give();
    ASSERT_EQ(Join(a), 0);
    ASSERT_EQ(Join(b), 0);

    HKEY race = nullptr;
    ASSERT_EQ(RegOpenKeyEx(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_READ, &race), ERROR_SUCCESS);
    Key keep(race);
    EXPECT_EQ(SubKeys(race).size(), 10u);
    for (int i = 0; i < kPerProcess; ++i) {
        HKEY h = nullptr;
        ASSERT_EQ(RegOpenKeyEx(race, ("K" + std::to_string(i % 10)).c_str(), 0, KEY_READ, &h), ERROR_SUCCESS);
        EXPECT_EQ(GetDw(h, ("a" + std::to_string(i)).c_str()), static_cast<DWORD>(i));
        EXPECT_EQ(GetDw(h, ("b" + std::to_string(i)).c_str()), static_cast<DWORD>(i));
        RegCloseKey(h);
    }
}

}  // namespace

TEST(Registry, TheWriteAheadLogGoesIntoTheHiveWhenItClosesAndAtExit)
{
    CTempHives hives;
    const std::string wal = hives.UserHive() + "-wal";
    auto walSize = [&] {
        struct stat st
        {};
        return ::stat(wal.c_str(), &st) == 0 ? st.st_size : off_t(0);
    };
    auto writeMany = [](const char* path) {
        Key k(Create(HKEY_CURRENT_USER, path));
        for (int i = 0; i < 300; ++i)
            if (SetSz(k.h, ("Value" + std::to_string(i)).c_str(), std::string(2000, 'v')) != ERROR_SUCCESS)
                return false;
        return true;
    };

    // Closed by the program: the log is gone, the values stay, and the
    // handle opened before still works.
    Key k(Create(HKEY_CURRENT_USER, "Software\\Wal"));
    ASSERT_TRUE(writeMany("Software\\Wal"));
    EXPECT_GT(walSize(), 100000);
    RegistryCloseHives();
    EXPECT_EQ(walSize(), 0);
    ASSERT_EQ(SetDw(k.h, "After", 7), ERROR_SUCCESS);
    EXPECT_EQ(GetDw(k.h, "After"), 7u);
    RegistryCloseHives();

    // A process that ends leaves no log behind either.
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::exit(writeMany("Software\\Child") ? 0 : 1);
    }
    ASSERT_EQ(Join(pid), 0);
    EXPECT_EQ(walSize(), 0);
    Key child(Create(HKEY_CURRENT_USER, "Software\\Child"));
    DWORD values = 0;
    ASSERT_EQ(RegQueryInfoKey(child.h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                              nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 300u);
}
