// A small in-process component runtime: interfaces are pure-virtual structs
// with reference counting, classes are named by GUIDs and ProgIDs in the
// classes hive of the registry store (HKEY_CLASSES_ROOT), and a class lives
// in a plug-in shared object that exports DllGetClassObject, DllCanUnloadNow,
// DllRegisterServer and DllUnregisterServer.
//
// Registration layout (as the registrar of a plug-in writes it):
//   <ProgID>\(default)            description
//   <ProgID>\CLSID\(default)      {clsid}
//   <ProgID>\CurVer\(default)     versioned ProgID (version-independent one)
//   CLSID\{clsid}\(default)       description
//   CLSID\{clsid}\ProgID          versioned ProgID
//   CLSID\{clsid}\InprocServer32  path of the plug-in; ThreadingModel value
//
// Strings crossing an interface are BSTRs: UTF-8 bytes with a 32-bit length
// in front and a terminating zero, made and freed only through the Sys*
// functions below, so that either side may free what the other made.
#pragma once

#include "platform/WinTypes.h"

#include <atomic>
#include <cstdint>
#include <string>

using SCODE = HRESULT;
using LONG_PTR = std::intptr_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
constexpr HRESULT REGDB_E_WRITEREGDB = static_cast<HRESULT>(0x80040151u);
constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);
constexpr HRESULT CO_E_DLLNOTFOUND = static_cast<HRESULT>(0x8004015Fu);
constexpr HRESULT CO_E_ERRORINDLL = static_cast<HRESULT>(0x800401F9u);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT CO_E_SERVER_EXEC_FAILURE = static_cast<HRESULT>(0x80080005u);
constexpr HRESULT RPC_E_INVALID_DATAPACKET = static_cast<HRESULT>(0x80010009u);
constexpr HRESULT RPC_E_DISCONNECTED = static_cast<HRESULT>(0x80010108u);
constexpr HRESULT RPC_E_TIMEOUT = static_cast<HRESULT>(0x8001011Fu);

inline bool SUCCEEDED(HRESULT hr)
{
    return hr >= 0;
}
inline bool FAILED(HRESULT hr)
{
    return hr < 0;
}

constexpr DWORD CLSCTX_INPROC_SERVER = 1;
constexpr DWORD CLSCTX_LOCAL_SERVER = 4;

struct GUID
{
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};

    friend bool operator==(const GUID& a, const GUID& b);
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const GUID&;
using REFCLSID = const GUID&;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string GuidToString(const GUID& guid);
// Accepts the form above (braces optional, either case); false otherwise.
bool GuidFromString(const std::string& text, GUID* guid);

struct IUnknown
{
    virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

struct IClassFactory : IUnknown
{
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) = 0;
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// A marshalled interface on its way to another thread.
struct IStream : IUnknown
{
protected:
    ~IStream() = default;
};

extern const IID IID_IUnknown;
extern const IID IID_IClassFactory;
extern const IID IID_IStream;

// Strings ------------------------------------------------------------------

using BSTR = char*;

// Null for a null text (an empty BSTR is a valid null in this runtime too).
BSTR SysAllocString(const char* text);
BSTR SysAllocStringLen(const char* bytes, UINT length);
void SysFreeString(BSTR text);
// Byte count without the terminator; 0 for null.
UINT SysStringLen(BSTR text);
// The whole BSTR, embedded zeros included.
std::string BstrToString(BSTR text);

// Exports of a plug-in ---------------------------------------------------------

using PFN_DllGetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT (*)();
using PFN_DllRegisterServer = HRESULT (*)();
using PFN_DllUnregisterServer = HRESULT (*)();

// Client side ------------------------------------------------------------------

// REGDB_E_CLASSNOTREG (or CO_E_CLASSSTRING for a malformed entry) when the
// ProgID is not registered.
HRESULT CLSIDFromProgID(const char* progId, CLSID* clsid);
// Loads the class's plug-in (once per path) and asks it for the interface,
// normally IClassFactory. Only CLSCTX_INPROC_SERVER is served.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* serverInfo, REFIID riid, void** ppv);
// An in-process class through its plug-in; with CLSCTX_LOCAL_SERVER, a class
// without one through its server process (platform/LocalServer.h), which
// takes no aggregation.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);

// Marshalling between threads is a hand-over of the pointer: the stream
// keeps a reference of the interface, and the one unmarshalling takes it out
// once and releases the stream, also when the interface it asks for is not
// there (the stream is used up either way).
HRESULT CoMarshalInterThreadInterfaceInStream(REFIID riid, IUnknown* unknown, IStream** stream);
HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID riid, void** ppv);
// Unloads every plug-in whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();
// Number of plug-ins loaded now.
std::size_t CoLoadedLibraryCount();

// Registration helpers for plug-ins and the registration tool --------------

struct SComClassRegistration
{
    CLSID clsid;
    const char* description;
    const char* progId;  // versioned
    const char* versionIndependentProgId;
    const char* threadingModel;
    const char* modulePath;
};
HRESULT RegisterComClass(const SComClassRegistration& reg);
// Removes the keys of the class; S_OK when they are gone afterwards (also
// when they were never there), a failure when one could not be removed.
HRESULT UnregisterComClass(const SComClassRegistration& reg);
// The path of the shared object that holds the given address.
std::string ModulePathOf(const void* address);

// A module's object and lock count, on which its DllCanUnloadNow decides.
class CComModuleCount
{
public:
    void Lock() { m_nCount.fetch_add(1); }
    void Unlock() { m_nCount.fetch_sub(1); }
    long GetLockCount() const { return m_nCount.load(); }

private:
    std::atomic<long> m_nCount{0};
};
