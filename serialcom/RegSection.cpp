#include "serialcom/RegSection.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

#include <vector>

namespace {

constexpr REGSAM kSubkeyAccess = KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
constexpr DWORD kMaxString = 256;

HKEY OpenSubkey(HKEY base, const char* subkey)
{
    if (!subkey || !*subkey)
        return base;
    HKEY key = nullptr;
    if (RegCreateKeyEx(base, subkey, 0, "", 0, kSubkeyAccess, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

void CloseSubkey(HKEY base, HKEY key)
{
    if (key && key != base)
        RegCloseKey(key);
}

}  // namespace

int CRegSection::Open(const std::string& section)
{
    Close();
    m_strKeyPath = "Software\\" + section;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, m_strKeyPath.c_str(), 0, KEY_ALL_ACCESS, &m_hUser) == ERROR_SUCCESS)
        return 1;
    m_hUser = nullptr;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, m_strKeyPath.c_str(), 0, "Per User Data", 0, kSubkeyAccess, nullptr, &m_hUser,
                       nullptr) != ERROR_SUCCESS) {
        m_hUser = nullptr;
        return 0;
    }
    WriteDefaults(m_hUser);
    int result = 1;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, m_strKeyPath.c_str(), 0, KEY_READ, &m_hMachine) == ERROR_SUCCESS) {
        result = CopyFromMachine(m_hMachine);
        RegCloseKey(m_hMachine);
    }
    m_hMachine = nullptr;
    RegFlushKey(m_hUser);
    return result;
}

int CRegSection::Close()
{
    if (m_hUser)
        RegCloseKey(m_hUser);
    if (m_hMachine)
        RegCloseKey(m_hMachine);
    m_hUser = m_hMachine = nullptr;
    return 1;
}

int CRegSection::CopyFromMachine(HKEY machine)
{
    bool ok = true;
    for (DWORD index = 0;; ++index) {
        char name[REG_MAX_KEY_NAME + 1];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = 0;
        LONG rc = RegEnumValue(machine, index, name, &nameSize, nullptr, &type, nullptr, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) {
            ok = false;
            break;
        }
        std::vector<BYTE> data(dataSize ? dataSize : 1);
        if (RegQueryValueEx(machine, name, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS ||
            RegSetValueEx(m_hUser, name, 0, type, data.data(), dataSize) != ERROR_SUCCESS)
            ok = false;
    }
    return ok ? 1 : 0;
}

int CRegSection::WriteDefaults(HKEY)
{
    return 0;
}

int CRegSection::WriteString(HKEY base, const char* subkey, const char* name, const std::string& value)
{
    HKEY key = OpenSubkey(base, subkey);
    if (!key)
        return 0;
    const LONG rc = RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1));
    CloseSubkey(base, key);
    return rc == ERROR_SUCCESS ? 1 : 0;
}

int CRegSection::WriteNumber(HKEY base, const char* subkey, const char* name, DWORD value)
{
    HKEY key = OpenSubkey(base, subkey);
    if (!key)
        return 0;
    BYTE bytes[4];
    CByteWriter(bytes, sizeof bytes).U32(0, value);
    const LONG rc = RegSetValueEx(key, name, 0, REG_DWORD, bytes, 4);
    CloseSubkey(base, key);
    return rc == ERROR_SUCCESS ? 1 : 0;
}

int CRegSection::ReadString(HKEY base, const char* subkey, const char* name, std::string& value, BOOL writeDefault)
{
    HKEY key = OpenSubkey(base, subkey);
    if (!key)
        return 0;
    char buffer[kMaxString + 1];
    DWORD size = kMaxString;
    DWORD type = 0;
    const LONG rc = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    int result;
    if (rc == ERROR_SUCCESS && type == REG_SZ) {
        // The stored text may or may not carry its terminator.
        buffer[size <= kMaxString ? size : kMaxString] = 0;
        value = buffer;
        result = 1;
    } else {
        result = writeDefault ? WriteString(key, "", name, value) : 0;
    }
    CloseSubkey(base, key);
    return result;
}

int CRegSection::ReadNumber(HKEY base, const char* subkey, const char* name, DWORD& value, BOOL writeDefault)
{
    HKEY key = OpenSubkey(base, subkey);
    if (!key)
        return 0;
    BYTE bytes[4] = {};
    DWORD size = sizeof bytes;
    DWORD type = 0;
    const LONG rc = RegQueryValueEx(key, name, nullptr, &type, bytes, &size);
    int result;
    if (rc == ERROR_SUCCESS && type == REG_DWORD && size == 4) {
        value = CByteReader(bytes, sizeof bytes).U32(0);
        result = 1;
    } else {
        result = writeDefault ? WriteNumber(key, "", name, value) : 0;
    }
    CloseSubkey(base, key);
    return result;
}
