// The settings store: a tree of keys with typed values, one SQLite database
// per hive, reached through calls shaped like the Win32 registry functions
// (same arguments, same result codes), so that code written against those
// calls reads the same here.
//
// Hives and their files (an environment variable moves each; it is read when
// the hive is first used after start or after RegistryResetStore()):
//   HKEY_CURRENT_USER   $ZELVAR_USER_HIVE    default $XDG_CONFIG_HOME/zelvar/user.db
//   HKEY_LOCAL_MACHINE  $ZELVAR_MACHINE_HIVE default /etc/zelvar/machine.db
//   HKEY_CLASSES_ROOT   $ZELVAR_CLASSES_HIVE default $XDG_CONFIG_HOME/zelvar/classes.db
//
// Key and value names are case-insensitive (ASCII letters) and
// case-preserving; "\" separates the names of a key path; strings are UTF-8.
// A handle carries the access it was opened with: writing through a handle
// without write access gives ERROR_ACCESS_DENIED, and so does opening a key
// for writing in a hive whose file cannot be written.
//
// All calls are thread-safe and several processes may use one hive at once.
// Reads are served from an in-memory copy of the hive that is reloaded when
// another process has committed a change. Writes are committed one by one
// without waiting for the disk; RegFlushKey makes everything written so far
// durable.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <functional>
#include <string>

struct HKEY__;
using HKEY = HKEY__*;
using REGSAM = DWORD;
using LPDWORD = DWORD*;

// Predefined roots. They are always open, with all access the hive allows,
// and closing them does nothing.
inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000002u));

// Value types. Types other than these are kept as opaque bytes.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM REG_DELETE = 0x00010000;  // DELETE
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM WRITE_DAC = 0x00040000;
constexpr REGSAM WRITE_OWNER = 0x00080000;
constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

// Options and dispositions of RegCreateKeyEx. Volatile keys are kept like
// any other key.
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Longest key name (one path element) and value name, in bytes.
constexpr DWORD REG_MAX_KEY_NAME = 255;
constexpr DWORD REG_MAX_VALUE_NAME = 16383;
// Largest value data the store takes, in bytes; settings are far smaller.
constexpr DWORD REG_MAX_VALUE_DATA = 16u * 1024 * 1024;
// Deepest key, in names below its root: a deeper key is not created, and one
// in a file is not read, so that walking a tree never goes deeper.
constexpr DWORD REG_MAX_KEY_DEPTH = 512;

LONG RegOpenKeyEx(HKEY hKey, const char* lpSubKey, DWORD ulOptions, REGSAM samDesired, HKEY* phkResult);

// lpClass may be null; lpSecurityAttributes is ignored; lpdwDisposition may
// be null.
LONG RegCreateKeyEx(HKEY hKey, const char* lpSubKey, DWORD Reserved, const char* lpClass, DWORD dwOptions,
                    REGSAM samDesired, const void* lpSecurityAttributes, HKEY* phkResult, LPDWORD lpdwDisposition);

// A null or empty value name is the key's default value.
LONG RegSetValueEx(HKEY hKey, const char* lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData, DWORD cbData);

// *lpcbData is the size of lpData on entry and the size of the value on
// return; a small buffer gives ERROR_MORE_DATA, a null lpData only asks the
// size.
LONG RegQueryValueEx(HKEY hKey, const char* lpValueName, LPDWORD lpReserved, LPDWORD lpType, BYTE* lpData,
                     LPDWORD lpcbData);

// Sub keys by index in case-insensitive name order. *lpcchName is the buffer
// size in characters including the terminator; on success it becomes the
// name's length without the terminator. No last-write time is kept:
// lpftLastWriteTime, when given, is left alone.
LONG RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, LPDWORD lpcchName, LPDWORD lpReserved, char* lpClass,
                  LPDWORD lpcchClass, void* lpftLastWriteTime);

// Values by index in the order they were first written.
LONG RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                  LPDWORD lpType, BYTE* lpData, LPDWORD lpcbData);

// Deletes one key that has no sub keys (a key with sub keys gives
// ERROR_ACCESS_DENIED). The sub key name must not be empty.
LONG RegDeleteKey(HKEY hKey, const char* lpSubKey);
// Deletes the sub key with every key and value below it, deepest first; a
// failure part way leaves what was not reached yet.
LONG RegDeleteTree(HKEY hKey, const char* lpSubKey);
LONG RegDeleteValue(HKEY hKey, const char* lpValueName);
LONG RegCloseKey(HKEY hKey);

// Makes every change of the hive so far durable on disk.
LONG RegFlushKey(HKEY hKey);

// Counts and longest lengths (names in characters without terminator, data
// in bytes) of a key. Every out argument may be null; no security
// descriptor or last-write time is kept.
LONG RegQueryInfoKey(HKEY hKey, char* lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                     LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                     LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor, void* lpftLastWriteTime);

// Runs body with the changes that this thread's calls make to any hive held
// back until it returns: they are committed when it answers ERROR_SUCCESS
// and rolled back otherwise, so either all of them are kept or none. Other
// threads' calls wait until it ends. The hives are separate files: when one
// cannot commit, those after it are rolled back and ERROR_CANTWRITE is the
// answer, but one committed before it stays.
LONG RegistryTransaction(const std::function<LONG()>& body);

// Closes every hive and every open handle, so that the next use opens the
// hives afresh from the environment variables. For tests (see
// platform/TempHives.h); handles opened before are invalid afterwards.
void RegistryResetStore();

// Closes the hives' files, their write-ahead logs checkpointed into them
// and removed; the next use opens them again, and open handles stay good.
// A hive kept in memory stays as it is. Runs by itself when the process exits.
void RegistryCloseHives();

// The file the hive of a predefined root is kept in, from the environment
// as it is now; empty for any other handle.
std::string RegistryHivePath(HKEY hRoot);

// What became of a predefined root's hive when it was opened.
enum class EHiveState {
    Writable,     // on disk, read and written
    ReadOnly,     // a file that can be read but not written
    Unavailable,  // no file, and none can be made
    Damaged,      // a file that is not a hive of ours, or cannot be read
    InMemory,     // kept in memory for this run (RegistryKeepHiveInMemory)
};
struct SHiveStatus
{
    EHiveState state = EHiveState::Unavailable;
    std::string path;
    std::string reason;  // why it is not writable on disk: names the file or folder
};
SHiveStatus RegistryHiveStatus(HKEY hRoot);

// Renames the hive's file (with its log and index files) beside itself as
// "<file>.damaged-<local date>-<time>" and opens a new empty hive in its
// place. *movedTo gets the new name. ERROR_ACCESS_DENIED when the file
// could not be renamed (the hive's reason then says why).
LONG RegistrySetHiveAside(HKEY hRoot, std::string* movedTo);

// Makes the hive a copy in memory for the rest of the run (until
// RegistryResetStore): a readable file is copied, anything else starts
// empty. Every write succeeds and none reaches the disk.
LONG RegistryKeepHiveInMemory(HKEY hRoot);
