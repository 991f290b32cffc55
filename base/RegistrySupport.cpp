#include "base/RegistrySupport.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/NumberText.h"

#include <cstring>
#include <vector>

std::atomic<HKEY> CRegistrySupport::s_hUserRoot{nullptr};
std::atomic<HKEY> CRegistrySupport::s_hMachineRoot{nullptr};

namespace {

// Names are at most this long in the store; with the terminator every name
// fits, so enumeration never meets a name it cannot return.
constexpr DWORD kNameBufferSize = REG_MAX_KEY_NAME + 1;

}  // namespace

BOOL CRegistrySupport::OpenRootKeys(const std::string& productPath)
{
    m_RootPath = "Software\\" + productPath;
    HKEY user = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, m_RootPath.c_str(), 0, KEY_ALL_ACCESS, &user) == ERROR_SUCCESS) {
        s_hUserRoot = user;
        return TRUE;
    }
    if (!CreateUserKey(m_RootPath))
        return FALSE;

    BOOL result = TRUE;
    HKEY machine = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, m_RootPath.c_str(), 0, KEY_READ, &machine) == ERROR_SUCCESS) {
        if (HKEY old = s_hMachineRoot.exchange(machine))
            RegCloseKey(old);
        result = ForEachRoot() != 0 ? TRUE : FALSE;
        RegCloseKey(machine);
        // Cleared too, so that nobody reads through a closed handle.
        s_hMachineRoot = nullptr;
    }
    if (RegFlushKey(s_hUserRoot.load()) != ERROR_SUCCESS)
        return FALSE;
    return result;
}

BOOL CRegistrySupport::OpenMachineRootKey(const std::string& productPath)
{
    m_RootPath = "Software\\" + productPath;
    HKEY machine = nullptr;
    if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, m_RootPath.c_str(), 0, KEY_READ, &machine) != ERROR_SUCCESS)
        return FALSE;
    if (HKEY old = s_hMachineRoot.exchange(machine))
        RegCloseKey(old);
    return TRUE;
}

BOOL CRegistrySupport::CloseRootKeys()
{
    if (HKEY machine = s_hMachineRoot.exchange(nullptr))
        RegCloseKey(machine);
    if (HKEY user = s_hUserRoot.exchange(nullptr))
        RegCloseKey(user);
    return TRUE;
}

BOOL CRegistrySupport::CreateUserKey(const std::string& rootPath)
{
    HKEY user = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, rootPath.c_str(), 0, kUserRootClass, REG_OPTION_NON_VOLATILE, kKeyAccess,
                       nullptr, &user, &disposition) != ERROR_SUCCESS) {
        return FALSE;
    }
    s_hUserRoot = user;
    PrepareUserRoot(user);
    return TRUE;
}

BOOL CRegistrySupport::ForEachRoot()
{
    const BOOL machine = PrepareMachineRoot(s_hMachineRoot.load());
    if (machine != 1)
        return machine;
    return PrepareUserRoot(s_hUserRoot.load());
}

BOOL CRegistrySupport::PrepareMachineRoot(HKEY)
{
    return FALSE;
}
BOOL CRegistrySupport::PrepareUserRoot(HKEY)
{
    return FALSE;
}

HKEY CRegistrySupport::OpenKey(HKEY root, const std::string& subPath, BOOL create)
{
    if (subPath.empty())
        return root;
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, subPath.c_str(), 0, kKeyAccess, &key) == ERROR_SUCCESS)
        return key;
    if (create && RegCreateKeyEx(root, subPath.c_str(), 0, "", REG_OPTION_NON_VOLATILE, kKeyAccess, nullptr, &key,
                                 nullptr) == ERROR_SUCCESS) {
        return key;
    }
    return nullptr;
}

BOOL CRegistrySupport::CloseKey(HKEY key)
{
    if (!key)
        return FALSE;
    return RegCloseKey(key) == ERROR_SUCCESS ? TRUE : FALSE;
}

namespace {

// Opens the sub key for one value operation and closes it afterwards unless
// it is the caller's root.
class ScopedKey
{
public:
    ScopedKey(CRegistrySupport& reg, HKEY root, const std::string& subPath)
        : reg_(reg), root_(root), key_(reg.OpenKey(root, subPath, TRUE))
    {}
    ~ScopedKey()
    {
        if (key_ && key_ != root_)
            reg_.CloseKey(key_);
    }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    HKEY get() const { return key_; }

private:
    CRegistrySupport& reg_;
    HKEY root_;
    HKEY key_;
};

BOOL WriteString(HKEY key, const std::string& valueName, const std::string& text)
{
    if (!key)
        return FALSE;
    return RegSetValueEx(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS
               ? TRUE
               : FALSE;
}

// A double word is stored as its four bytes, little-endian.
BOOL WriteDword(HKEY key, const std::string& valueName, DWORD value)
{
    if (!key)
        return FALSE;
    BYTE data[4];
    CByteWriter(data, sizeof data).U32(0, value);
    return RegSetValueEx(key, valueName.c_str(), 0, REG_DWORD, data, sizeof data) == ERROR_SUCCESS ? TRUE : FALSE;
}

}  // namespace

BOOL CRegistrySupport::SetString(HKEY root, const std::string& subPath, const std::string& valueName,
                                 const std::string& value)
{
    ScopedKey key(*this, root, subPath);
    return WriteString(key.get(), valueName, value);
}

BOOL CRegistrySupport::SetDword(HKEY root, const std::string& subPath, const std::string& valueName, DWORD value)
{
    ScopedKey key(*this, root, subPath);
    return WriteDword(key.get(), valueName, value);
}

BOOL CRegistrySupport::SetDouble(HKEY root, const std::string& subPath, const std::string& valueName, double value)
{
    ScopedKey key(*this, root, subPath);
    return WriteString(key.get(), valueName, CNumberText::Fixed(value));
}

CRegistrySupport::ReadResult CRegistrySupport::ReadValue(HKEY key, const std::string& valueName, DWORD wantedType,
                                                         DWORD bufferSize, std::string& bytes)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    const LONG rc = RegQueryValueEx(key, valueName.c_str(), nullptr, &type, nullptr, &size);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ReadResult::Missing;
    if (rc != ERROR_SUCCESS || type != wantedType || size > bufferSize)
        return ReadResult::Unreadable;
    std::vector<BYTE> buffer(bufferSize);
    DWORD got = bufferSize;
    // The value may have changed since its size was asked: read again within
    // the same bound.
    if (RegQueryValueEx(key, valueName.c_str(), nullptr, &type, buffer.data(), &got) != ERROR_SUCCESS ||
        type != wantedType) {
        return ReadResult::Unreadable;
    }
    bytes.assign(reinterpret_cast<const char*>(buffer.data()), got);
    return ReadResult::Read;
}

namespace {

// A stored string ends at its first zero byte; one stored without a
// terminator ends with its data.
std::string TextOf(const std::string& bytes)
{
    return bytes.substr(0, std::strlen(bytes.c_str()));
}

}  // namespace

BOOL CRegistrySupport::GetString(HKEY root, const std::string& subPath, const std::string& valueName,
                                 std::string& value, BOOL writeDefault)
{
    ScopedKey key(*this, root, subPath);
    if (!key.get())
        return FALSE;
    std::string bytes;
    switch (ReadValue(key.get(), valueName, REG_SZ, kStringBufferSize, bytes)) {
    case ReadResult::Read:
        value = TextOf(bytes);
        return TRUE;
    case ReadResult::Missing:
        return writeDefault ? WriteString(key.get(), valueName, value) : FALSE;
    case ReadResult::Unreadable:
        break;
    }
    return FALSE;
}

BOOL CRegistrySupport::GetDword(HKEY root, const std::string& subPath, const std::string& valueName, DWORD& value,
                                BOOL writeDefault)
{
    ScopedKey key(*this, root, subPath);
    if (!key.get())
        return FALSE;
    std::string bytes;
    switch (ReadValue(key.get(), valueName, REG_DWORD, 4, bytes)) {
    case ReadResult::Read:
        if (bytes.size() != 4)
            return FALSE;
        value = CByteReader(bytes.data(), bytes.size()).U32(0);
        return TRUE;
    case ReadResult::Missing:
        return writeDefault ? WriteDword(key.get(), valueName, value) : FALSE;
    case ReadResult::Unreadable:
        break;
    }
    return FALSE;
}

BOOL CRegistrySupport::GetDouble(HKEY root, const std::string& subPath, const std::string& valueName, double& value,
                                 BOOL writeDefault)
{
    ScopedKey key(*this, root, subPath);
    if (!key.get())
        return FALSE;
    std::string bytes;
    switch (ReadValue(key.get(), valueName, REG_SZ, kDoubleBufferSize, bytes)) {
    case ReadResult::Read:
        value = CNumberText::ParseDouble(TextOf(bytes).c_str());
        return TRUE;
    case ReadResult::Missing:
        return writeDefault ? WriteString(key.get(), valueName, CNumberText::Fixed(value)) : FALSE;
    case ReadResult::Unreadable:
        break;
    }
    return FALSE;
}

BOOL CRegistrySupport::EnumAt(HKEY key, DWORD index, std::string& name)
{
    if (!key)
        return FALSE;
    char buffer[kNameBufferSize];
    DWORD cch = sizeof buffer;
    if (RegEnumKeyEx(key, index, buffer, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return FALSE;
    name.assign(buffer, cch);
    return TRUE;
}

BOOL CRegistrySupport::EnumFirstSubKey(HKEY key, std::string& name)
{
    m_EnumIndex = 0;
    return EnumAt(key, m_EnumIndex, name);
}

BOOL CRegistrySupport::EnumSubKey(HKEY key, std::string& name)
{
    if (!key)
        return FALSE;
    ++m_EnumIndex;
    return EnumAt(key, m_EnumIndex, name);
}

BOOL CRegistrySupport::DeleteKey(HKEY root, const std::string& subPath)
{
    if (!root || subPath.empty())
        return FALSE;
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyEx(root, subPath.c_str(), 0, kKeyAccess, &key);
    if (rc == ERROR_FILE_NOT_FOUND)
        return TRUE;
    if (rc != ERROR_SUCCESS)
        return FALSE;
    // Always the first remaining sub key, since the one before is gone; a
    // sub key that could not be deleted ends the walk instead of being met
    // again and again.
    BOOL ok = TRUE;
    char buffer[kNameBufferSize];
    while (true) {
        DWORD cch = sizeof buffer;
        const LONG erc = RegEnumKeyEx(key, 0, buffer, &cch, nullptr, nullptr, nullptr, nullptr);
        if (erc == ERROR_NO_MORE_ITEMS)
            break;
        if (erc != ERROR_SUCCESS || !DeleteKey(key, std::string(buffer, cch))) {
            ok = FALSE;
            break;
        }
    }
    RegCloseKey(key);
    if (!ok)
        return FALSE;
    return RegDeleteKey(root, subPath.c_str()) == ERROR_SUCCESS ? TRUE : FALSE;
}
