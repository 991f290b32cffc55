#include "base/RegistrySupport.h"
#include "platform/Registry.h"
#include "platform/TempHives.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

constexpr const char* kProduct = "Zelvar\\EchoSounder\\QY210\\1.0\\";

// A fresh pair of hives with the user root open, as after start-up.
class RegistrySupportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(reg.OpenRootKeys(kProduct));
        root = CRegistrySupport::UserRootKey();
    }
    void TearDown() override { reg.CloseRootKeys(); }

    struct Stored
    {
        LONG rc = ERROR_SUCCESS;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    // What the store holds, read around the helper.
    Stored Raw(const char* subPath, const char* name)
    {
        Stored s;
        HKEY key = nullptr;
        s.rc = RegOpenKeyEx(root, subPath, 0, KEY_READ, &key);
        if (s.rc != ERROR_SUCCESS)
            return s;
        DWORD size = 0;
        s.rc = RegQueryValueEx(key, name, nullptr, &s.type, nullptr, &size);
        if (s.rc == ERROR_SUCCESS) {
            s.data.resize(size);
            s.rc = RegQueryValueEx(key, name, nullptr, &s.type, s.data.data(), &size);
        }
        RegCloseKey(key);
        return s;
    }
    void Put(const char* subPath, const char* name, DWORD type, const std::vector<BYTE>& data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyEx(root, subPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueEx(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    static std::vector<BYTE> Bytes(const std::string& s, bool terminator = true)
    {
        std::vector<BYTE> v(s.begin(), s.end());
        if (terminator)
            v.push_back(0);
        return v;
    }
    bool KeyExists(const char* subPath)
    {
        HKEY key = nullptr;
        if (RegOpenKeyEx(root, subPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }

    CTempHives hives;
    CRegistrySupport reg;
    HKEY root = nullptr;
};

TEST_F(RegistrySupportTest, MissingSettingIsWrittenBackOnlyWhenAsked)
{
    DWORD rate = 42;
    EXPECT_TRUE(reg.GetDword(root, "Units", "PingRate", rate, TRUE));
    EXPECT_EQ(rate, 42u);
    const Stored s = Raw("Units", "PingRate");
    ASSERT_EQ(s.rc, ERROR_SUCCESS);
    EXPECT_EQ(s.type, REG_DWORD);
    EXPECT_EQ(s.data, (std::vector<BYTE>{42, 0, 0, 0}));

    DWORD debug = 7;
    EXPECT_FALSE(reg.GetDword(root, "Debug\\Switches", "Trace", debug, FALSE));
    EXPECT_EQ(debug, 7u);
    EXPECT_EQ(Raw("Debug\\Switches", "Trace").rc, ERROR_FILE_NOT_FOUND);  // the key exists, the value not

    std::string name = "Default";
    EXPECT_TRUE(reg.GetString(root, "Settings", "McuModus", name, TRUE));
    EXPECT_EQ(Raw("Settings", "McuModus").data, Bytes("Default"));
    double gain = 1.5;
    EXPECT_TRUE(reg.GetDouble(root, "Settings", "Gain", gain, TRUE));
    EXPECT_EQ(Raw("Settings", "Gain").data, Bytes("1.500000"));

    // What was stored is read back in place of the default.
    rate = 1;
    name = "x";
    gain = 0;
    EXPECT_TRUE(reg.GetDword(root, "Units", "PingRate", rate, FALSE));
    EXPECT_TRUE(reg.GetString(root, "Settings", "McuModus", name, FALSE));
    EXPECT_TRUE(reg.GetDouble(root, "Settings", "Gain", gain, FALSE));
    EXPECT_EQ(rate, 42u);
    EXPECT_EQ(name, "Default");
    EXPECT_EQ(gain, 1.5);
}

TEST_F(RegistrySupportTest, DoublesAreFixedTextInBothDirections)
{
    struct Case
    {
        const char* legend;
        double value;
        const char* text;
        double readBack;
    };
    const Case cases[] = {
        {"below the sixth decimal", 0.0000004, "0.000000", 0.0},
        {"large, no exponent", 1e20, "100000000000000000000.000000", 1e20},
        {"negative", -12.25, "-12.250000", -12.25},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(reg.SetDouble(root, "D", "V", c.value)) << c.legend;
        EXPECT_EQ(Raw("D", "V").data, Bytes(c.text)) << c.legend;
        double back = -1;
        EXPECT_TRUE(reg.GetDouble(root, "D", "V", back, FALSE)) << c.legend;
        EXPECT_EQ(back, c.readBack) << c.legend;
    }
    // The largest double's text is longer than the string buffer and still reads back.
    ASSERT_TRUE(reg.SetDouble(root, "D", "Huge", -1.7e308));
    double huge = 0;
    EXPECT_TRUE(reg.GetDouble(root, "D", "Huge", huge, FALSE));
    EXPECT_EQ(huge, -1.7e308);

    struct Text
    {
        const char* legend;
        const char* text;
        double expected;
    };
    const Text texts[] = {
        {"number then garbage", "3.25abc", 3.25},
        {"number then unit", "12.5 m", 12.5},
        {"no number", "abc", 0.0},
        {"empty", "", 0.0},
    };
    for (const auto& t : texts) {
        Put("D", "T", REG_SZ, Bytes(t.text));
        double v = -1;
        EXPECT_TRUE(reg.GetDouble(root, "D", "T", v, TRUE)) << t.legend;
        EXPECT_EQ(v, t.expected) << t.legend;
        EXPECT_EQ(Raw("D", "T").data, Bytes(t.text)) << t.legend;
    }
}

TEST_F(RegistrySupportTest, UnreadableSettingsAreNeitherReadNorOverwritten)
{
    struct Case
    {
        const char* legend;
        DWORD type;
        std::vector<BYTE> data;
        char getter;  // 'd' dword, 's' string, 'f' double
    };
    const Case cases[] = {
        {"text read as number", REG_SZ, Bytes("12"), 'd'},
        {"binary of 8 bytes read as number", REG_BINARY, std::vector<BYTE>(8, 1), 'd'},
        {"binary of 4 bytes read as number", REG_BINARY, std::vector<BYTE>(4, 1), 'd'},
        {"short dword", REG_DWORD, std::vector<BYTE>(2, 1), 'd'},
        {"number read as text", REG_DWORD, std::vector<BYTE>(4, 1), 's'},
        {"text of 256 characters", REG_SZ, Bytes(std::string(256, 'a')), 's'},
        {"number read as double", REG_DWORD, std::vector<BYTE>(4, 1), 'f'},
        {"double text of 400 characters", REG_SZ, Bytes(std::string(400, '1')), 'f'},
    };
    for (const auto& c : cases) {
        Put("U", "V", c.type, c.data);
        DWORD d = 5;
        std::string s = "default";
        double f = 2.5;
        BOOL result = TRUE;
        switch (c.getter) {
        case 'd':
            result = reg.GetDword(root, "U", "V", d, TRUE);
            break;
        case 's':
            result = reg.GetString(root, "U", "V", s, TRUE);
            break;
        default:
            result = reg.GetDouble(root, "U", "V", f, TRUE);
            break;
        }
        EXPECT_FALSE(result) << c.legend;
        EXPECT_EQ(d, 5u) << c.legend;
        EXPECT_EQ(s, "default") << c.legend;
        EXPECT_EQ(f, 2.5) << c.legend;
        const Stored stored = Raw("U", "V");
        EXPECT_EQ(stored.type, c.type) << c.legend;
        EXPECT_EQ(stored.data, c.data) << c.legend;
    }
}

TEST_F(RegistrySupportTest, StringsEndAtTheirTerminatorOrTheirData)
{
    Put("S", "NoZero", REG_SZ, Bytes("QY310", false));
    Put("S", "Inner", REG_SZ, Bytes(std::string("ab\0cd", 5)));
    Put("S", "Longest", REG_SZ, Bytes(std::string(255, 'z')));
    std::string v;
    EXPECT_TRUE(reg.GetString(root, "S", "NoZero", v, FALSE));
    EXPECT_EQ(v, "QY310");
    EXPECT_TRUE(reg.GetString(root, "S", "Inner", v, FALSE));
    EXPECT_EQ(v, "ab");
    EXPECT_TRUE(reg.GetString(root, "S", "Longest", v, FALSE));
    EXPECT_EQ(v, std::string(255, 'z'));
}

TEST_F(RegistrySupportTest, EmptySubPathWorksOnTheRootAndKeepsItOpen)
{
    EXPECT_TRUE(reg.SetString(root, "", "SerializePath", "/data/Settings"));
    std::string path;
    EXPECT_TRUE(reg.GetString(root, "", "SerializePath", path, FALSE));
    EXPECT_EQ(path, "/data/Settings");
    EXPECT_EQ(reg.OpenKey(root, "", TRUE), root);
    // Still open: another value goes in through the same handle.
    EXPECT_TRUE(reg.SetDword(root, "", "Language", 9));
    EXPECT_EQ(Raw("", "Language").data, (std::vector<BYTE>{9, 0, 0, 0}));
    EXPECT_EQ(CRegistrySupport::UserRootKey(), root);
}

TEST_F(RegistrySupportTest, DeleteKeyRemovesWholeTreesAndNothingElse)
{
    const std::string longName(100, 'L');
    ASSERT_TRUE(reg.SetDword(root, "Tree\\A\\A1\\A11", "V", 1));
    ASSERT_TRUE(reg.SetDword(root, "Tree\\A\\A2", "V", 1));
    ASSERT_TRUE(reg.SetDword(root, "Tree\\B", "V", 1));
    ASSERT_TRUE(reg.SetDword(root, "Tree\\" + longName + "\\" + longName, "V", 1));
    ASSERT_TRUE(reg.SetDword(root, "Keep", "V", 1));
    EXPECT_TRUE(reg.DeleteKey(root, "Tree"));
    EXPECT_FALSE(KeyExists("Tree"));
    EXPECT_TRUE(KeyExists("Keep"));

    // A missing key counts as deleted and leaves no trace behind.
    EXPECT_TRUE(reg.DeleteKey(root, "Gone\\Deeper"));
    EXPECT_FALSE(KeyExists("Gone"));

    // The root itself is never deleted through an empty sub path.
    EXPECT_FALSE(reg.DeleteKey(root, ""));
    EXPECT_TRUE(KeyExists("Keep"));
    EXPECT_FALSE(reg.DeleteKey(nullptr, "Keep"));
}

TEST(RegistrySupportReadOnly, DeleteKeyInAHiveThatCannotBeWrittenFails)
{
    CTempHives hives;
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\QY210", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    RegistryResetStore();  // the child below is the file's only user
    // Permissions do not bind root: the child drops to "nobody" then.
    if (::geteuid() == 0) {
        ::chmod(hives.Folder().c_str(), 0755);
    } else {
        ::chmod(hives.MachineHive().c_str(), 0444);
        ::chmod(hives.Folder().c_str(), 0555);
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            _exit(100);
        RegistryResetStore();
        CRegistrySupport reg;
        if (!reg.OpenMachineRootKey("Zelvar\\"))
            _exit(1);
        // A key that cannot be opened for deletion is not reported deleted.
        _exit(reg.DeleteKey(CRegistrySupport::MachineRootKey(), "EchoSounder") ? 2 : 0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::chmod(hives.Folder().c_str(), 0700);
    ::chmod(hives.MachineHive().c_str(), 0644);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    RegistryResetStore();
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder\\QY210", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
}

TEST_F(RegistrySupportTest, EnumerationWalksSubKeysAndStartsOver)
{
    const std::string longName(120, 'n');
    for (const std::string& name : {std::string("Alpha"), longName, std::string("beta")}) {
        ASSERT_TRUE(reg.SetDword(root, "E\\" + name, "V", 1));
    }
    HKEY key = reg.OpenKey(root, "E", FALSE);
    ASSERT_NE(key, nullptr);
    std::vector<std::string> names;
    std::string name;
    for (BOOL ok = reg.EnumFirstSubKey(key, name); ok; ok = reg.EnumSubKey(key, name))
        names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "beta", longName}));
    EXPECT_FALSE(reg.EnumSubKey(key, name));
    EXPECT_TRUE(reg.EnumFirstSubKey(key, name));
    EXPECT_EQ(name, "Alpha");
    EXPECT_TRUE(reg.CloseKey(key));
    EXPECT_FALSE(reg.EnumFirstSubKey(nullptr, name));
    EXPECT_FALSE(reg.EnumSubKey(nullptr, name));
    EXPECT_FALSE(reg.CloseKey(nullptr));
}

TEST(RegistrySupportRoots, FirstStartCreatesTheUserRoot)
{
    CTempHives hives;
    CRegistrySupport reg;
    // No machine-wide root: the user root is created and the result is TRUE.
    ASSERT_TRUE(reg.OpenRootKeys(kProduct));
    EXPECT_EQ(reg.RootPath(), std::string("Software\\") + kProduct);
    HKEY user = CRegistrySupport::UserRootKey();
    ASSERT_NE(user, nullptr);
    char cls[32];
    DWORD cch = sizeof cls;
    ASSERT_EQ(RegQueryInfoKey(user, cls, &cch, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                              nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(cls, "Per User Data");
    EXPECT_TRUE(reg.CloseRootKeys());
    EXPECT_EQ(CRegistrySupport::UserRootKey(), nullptr);

    // A later start opens it with all access.
    ASSERT_TRUE(reg.OpenRootKeys(kProduct));
    EXPECT_TRUE(reg.SetDword(CRegistrySupport::UserRootKey(), "", "V", 1));
    reg.CloseRootKeys();
}

TEST(RegistrySupportRoots, MachineRootIsReadOnly)
{
    CTempHives hives;
    CRegistrySupport reg;
    EXPECT_FALSE(reg.OpenMachineRootKey("Zelvar\\EchoSounder\\"));
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "Software\\Zelvar\\EchoSounder", 0, nullptr, 0, KEY_ALL_ACCESS,
                             nullptr, &k, nullptr),
              ERROR_SUCCESS);
    const char name[] = "TQ30";
    ASSERT_EQ(RegSetValueEx(k, "SounderName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof name),
              ERROR_SUCCESS);
    RegCloseKey(k);

    ASSERT_TRUE(reg.OpenMachineRootKey("Zelvar\\EchoSounder\\"));
    HKEY machine = CRegistrySupport::MachineRootKey();
    std::string model = "QY310";
    EXPECT_TRUE(reg.GetString(machine, "", "SounderName", model, FALSE));
    EXPECT_EQ(model, "TQ30");
    EXPECT_FALSE(reg.SetString(machine, "", "SounderName", "QY210"));
    model = "QY310";
    EXPECT_TRUE(reg.GetString(machine, "", "SounderName", model, FALSE));
    EXPECT_EQ(model, "TQ30");

    ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, (std::string("Software\\") + kProduct).c_str(), 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
    // With a machine-wide root present, a user's first start reports FALSE
    // (nothing copies the machine settings), yet the user root is open.
    EXPECT_FALSE(reg.OpenRootKeys(kProduct));
    EXPECT_NE(CRegistrySupport::UserRootKey(), nullptr);
    EXPECT_EQ(CRegistrySupport::MachineRootKey(), nullptr);
    EXPECT_TRUE(reg.SetDword(CRegistrySupport::UserRootKey(), "", "V", 1));
    reg.CloseRootKeys();
}

}  // namespace
