// Reads and writes one setting at a time under the program's registry root:
// strings, 32-bit numbers and doubles (kept as "%f" text), each read with a
// default that is written back when the setting is missing.
//
// The two root keys are shared by the whole process: the application opens
// them once at start-up (OpenRootKeys, OpenMachineRootKey) and closes them at
// exit; every object that keeps settings takes UserRootKey() when it is built
// and passes it, with a sub path of its own, to each call.
#pragma once

#include "platform/Registry.h"
#include "platform/WinTypes.h"

#include <atomic>
#include <string>

class CRegistrySupport
{
public:
    CRegistrySupport() = default;
    virtual ~CRegistrySupport() = default;

    static constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;  // 0x2001F
    static constexpr const char* kUserRootClass = "Per User Data";

    // Root keys of the process.
    BOOL OpenRootKeys(const std::string& productPath);
    BOOL OpenMachineRootKey(const std::string& productPath);
    BOOL CloseRootKeys();
    BOOL CreateUserKey(const std::string& rootPath);
    BOOL ForEachRoot();
    static HKEY UserRootKey() { return s_hUserRoot.load(); }
    static HKEY MachineRootKey() { return s_hMachineRoot.load(); }
    const std::string& RootPath() const { return m_RootPath; }

    HKEY OpenKey(HKEY root, const std::string& subPath, BOOL create);
    BOOL CloseKey(HKEY key);

    BOOL SetString(HKEY root, const std::string& subPath, const std::string& valueName, const std::string& value);
    BOOL SetDword(HKEY root, const std::string& subPath, const std::string& valueName, DWORD value);
    BOOL SetDouble(HKEY root, const std::string& subPath, const std::string& valueName, double value);

    // value carries the default in and the stored setting out. A missing
    // setting is written from value when writeDefault is set (the result is
    // that write's), else the result is FALSE; a setting that is there but
    // cannot be read as asked (another type, too long) gives FALSE and is
    // left as it is. value changes only when the setting was read.
    BOOL GetString(HKEY root, const std::string& subPath, const std::string& valueName, std::string& value,
                   BOOL writeDefault);
    BOOL GetDword(HKEY root, const std::string& subPath, const std::string& valueName, DWORD& value, BOOL writeDefault);
    BOOL GetDouble(HKEY root, const std::string& subPath, const std::string& valueName, double& value,
                   BOOL writeDefault);

    BOOL EnumFirstSubKey(HKEY key, std::string& name);
    BOOL EnumSubKey(HKEY key, std::string& name);

    // Deletes the sub key with everything below it, deepest first. A
    // missing key counts as deleted. An empty sub path is refused, so that
    // the caller's root can never be deleted through it.
    BOOL DeleteKey(HKEY root, const std::string& subPath);

    // Hooks through which a user root that had to be created could be filled
    // from the machine-wide settings; nothing fills it yet.
    virtual BOOL PrepareMachineRoot(HKEY key);
    virtual BOOL PrepareUserRoot(HKEY key);

    // Longest string a getter reads, terminator included.
    static constexpr DWORD kStringBufferSize = 256;
    // Longest double text a getter reads: "%f" of the largest double needs
    // 317 bytes with its terminator, so every value SetDouble wrote fits.
    static constexpr DWORD kDoubleBufferSize = 330;

protected:
    std::string m_RootPath;
    DWORD m_EnumIndex = 0;

private:
    enum class ReadResult { Read, Missing, Unreadable };
    ReadResult ReadValue(HKEY key, const std::string& valueName, DWORD wantedType, DWORD bufferSize,
                         std::string& bytes);
    BOOL EnumAt(HKEY key, DWORD index, std::string& name);

    static std::atomic<HKEY> s_hUserRoot;
    static std::atomic<HKEY> s_hMachineRoot;
};
