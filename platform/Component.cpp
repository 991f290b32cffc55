#include "platform/Component.h"

#include "platform/LocalServer.h"
#include "platform/Registry.h"

#include <dlfcn.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IID_IStream = {0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

std::string GuidToString(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                  g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

namespace {

bool HexDigits(const std::string& s, std::size_t pos, std::size_t count, std::uint64_t* out)
{
    std::uint64_t v = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = s[pos + i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            return false;
        v = v * 16 + static_cast<std::uint64_t>(d);
    }
    *out = v;
    return true;
}

}  // namespace

bool GuidFromString(const std::string& input, GUID* guid)
{
    std::string s = input;
    if (s.size() == 38 && s.front() == '{' && s.back() == '}')
        s = s.substr(1, 36);
    if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-')
        return false;
    GUID g;
    std::uint64_t v;
    if (!HexDigits(s, 0, 8, &v))
        return false;
    g.Data1 = static_cast<std::uint32_t>(v);
    if (!HexDigits(s, 9, 4, &v))
        return false;
    g.Data2 = static_cast<std::uint16_t>(v);
    if (!HexDigits(s, 14, 4, &v))
        return false;
    g.Data3 = static_cast<std::uint16_t>(v);
    const std::size_t starts[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!HexDigits(s, starts[i], 2, &v))
            return false;
        g.Data4[i] = static_cast<std::uint8_t>(v);
    }
    if (guid)
        *guid = g;
    return true;
}

// BSTR: [u32 length][bytes][0]; the pointer handed out is at the bytes.
BSTR SysAllocStringLen(const char* bytes, UINT length)
{
    if (length > UINT32_MAX - 8)
        return nullptr;
    char* block = static_cast<char*>(std::malloc(std::size_t(length) + 5));
    if (!block)
        return nullptr;
    std::memcpy(block, &length, 4);
    if (bytes && length)
        std::memcpy(block + 4, bytes, length);
    else if (length)
        std::memset(block + 4, 0, length);
    block[4 + length] = 0;
    return block + 4;
}

BSTR SysAllocString(const char* text)
{
    if (!text)
        return nullptr;
    const std::size_t n = std::strlen(text);
    if (n > UINT32_MAX - 8)
        return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(n));
}

void SysFreeString(BSTR text)
{
    if (text)
        std::free(text - 4);
}

UINT SysStringLen(BSTR text)
{
    if (!text)
        return 0;
    UINT n;
    std::memcpy(&n, text - 4, 4);
    return n;
}

std::string BstrToString(BSTR text)
{
    return text ? std::string(text, SysStringLen(text)) : std::string();
}

// Registry helpers ---------------------------------------------------------------

namespace {

bool ReadDefaultString(HKEY root, const std::string& path, const char* valueName, std::string* out)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buffer[1024];
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    const LONG rc = RegQueryValueEx(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return false;
    buffer[size < sizeof buffer ? size : sizeof buffer - 1] = 0;
    *out = buffer;
    return true;
}

bool WriteString(HKEY root, const std::string& path, const char* valueName, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueEx(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Deletes a key with everything below it; true when it is gone afterwards.
bool DeleteTree(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return !KeyExists(root, path);
    for (;;) {
        char name[REG_MAX_KEY_NAME + 1];
        DWORD size = sizeof name;
        if (RegEnumKeyEx(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!DeleteTree(root, path + "\\" + name)) {
            RegCloseKey(key);
            return false;
        }
    }
    RegCloseKey(key);
    RegDeleteKey(root, path.c_str());
    return !KeyExists(root, path);
}

struct SLoaded
{
    void* handle = nullptr;
    PFN_DllGetClassObject getClassObject = nullptr;
    PFN_DllCanUnloadNow canUnloadNow = nullptr;
};

std::mutex& LibraryLock()
{
    static std::mutex lock;
    return lock;
}

std::map<std::string, SLoaded>& Libraries()
{
    static std::map<std::string, SLoaded> libraries;
    return libraries;
}

}  // namespace

HRESULT CLSIDFromProgID(const char* progId, CLSID* clsid)
{
    if (!progId || !clsid)
        return E_INVALIDARG;
    std::string text;
    if (!*progId || !ReadDefaultString(HKEY_CLASSES_ROOT, std::string(progId) + "\\CLSID", "", &text))
        return REGDB_E_CLASSNOTREG;
    return GuidFromString(text, clsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, void* /*serverInfo*/, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(context & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    std::string path;
    if (!ReadDefaultString(HKEY_CLASSES_ROOT, "CLSID\\" + GuidToString(clsid) + "\\InprocServer32", "", &path) ||
        path.empty())
        return REGDB_E_CLASSNOTREG;
    PFN_DllGetClassObject get = nullptr;
    {
        std::lock_guard lock(LibraryLock());
        auto& libs = Libraries();
        auto it = libs.find(path);
        if (it == libs.end()) {
            void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (!handle)
                return CO_E_DLLNOTFOUND;
            SLoaded loaded;
            loaded.handle = handle;
            loaded.getClassObject = reinterpret_cast<PFN_DllGetClassObject>(::dlsym(handle, "DllGetClassObject"));
            loaded.canUnloadNow = reinterpret_cast<PFN_DllCanUnloadNow>(::dlsym(handle, "DllCanUnloadNow"));
            if (!loaded.getClassObject) {
                ::dlclose(handle);
                return CO_E_ERRORINDLL;
            }
            it = libs.emplace(path, loaded).first;
        }
        get = it->second.getClassObject;
    }
    return get(clsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    IClassFactory* factory = nullptr;
    HRESULT hr = CoGetClassObject(clsid, context, nullptr, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (hr == REGDB_E_CLASSNOTREG && (context & CLSCTX_LOCAL_SERVER))
        return outer ? CLASS_E_NOAGGREGATION : CoCreateLocalServerInstance(clsid, riid, ppv);
    if (FAILED(hr))
        return hr;
    if (!factory)
        return E_UNEXPECTED;
    hr = factory->CreateInstance(outer, riid, ppv);
    factory->Release();
    return hr;
}

void CoFreeUnusedLibraries()
{
    std::lock_guard lock(LibraryLock());
    auto& libs = Libraries();
    for (auto it = libs.begin(); it != libs.end();) {
        if (it->second.canUnloadNow && it->second.canUnloadNow() == S_OK) {
            ::dlclose(it->second.handle);
            it = libs.erase(it);
        } else {
            ++it;
        }
    }
}

std::size_t CoLoadedLibraryCount()
{
    std::lock_guard lock(LibraryLock());
    return Libraries().size();
}

HRESULT RegisterComClass(const SComClassRegistration& reg)
{
    if (!reg.progId || !reg.modulePath || !*reg.modulePath)
        return E_INVALIDARG;
    const std::string clsid = GuidToString(reg.clsid);
    const std::string description = reg.description ? reg.description : "";
    const std::string classKey = "CLSID\\" + clsid;
    bool ok = WriteString(HKEY_CLASSES_ROOT, reg.progId, "", description) &&
              WriteString(HKEY_CLASSES_ROOT, std::string(reg.progId) + "\\CLSID", "", clsid) &&
              WriteString(HKEY_CLASSES_ROOT, classKey, "", description) &&
              WriteString(HKEY_CLASSES_ROOT, classKey + "\\ProgID", "", reg.progId) &&
              WriteString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "", reg.modulePath) &&
              WriteString(HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel",
                          reg.threadingModel ? reg.threadingModel : "Apartment");
    if (ok && reg.versionIndependentProgId && *reg.versionIndependentProgId) {
        const std::string vi = reg.versionIndependentProgId;
        ok = WriteString(HKEY_CLASSES_ROOT, vi, "", description) &&
             WriteString(HKEY_CLASSES_ROOT, vi + "\\CLSID", "", clsid) &&
             WriteString(HKEY_CLASSES_ROOT, vi + "\\CurVer", "", reg.progId) &&
             WriteString(HKEY_CLASSES_ROOT, classKey + "\\VersionIndependentProgID", "", vi);
    }
    if (ok)
        ok = RegFlushKey(HKEY_CLASSES_ROOT) == ERROR_SUCCESS;
    return ok ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterComClass(const SComClassRegistration& reg)
{
    bool ok = true;
    if (reg.progId)
        ok = DeleteTree(HKEY_CLASSES_ROOT, reg.progId) && ok;
    if (reg.versionIndependentProgId && *reg.versionIndependentProgId)
        ok = DeleteTree(HKEY_CLASSES_ROOT, reg.versionIndependentProgId) && ok;
    ok = DeleteTree(HKEY_CLASSES_ROOT, "CLSID\\" + GuidToString(reg.clsid)) && ok;
    RegFlushKey(HKEY_CLASSES_ROOT);
    return ok ? S_OK : SELFREG_E_CLASS;
}

std::string ModulePathOf(const void* address)
{
    Dl_info info{};
    if (!::dladdr(address, &info) || !info.dli_fname)
        return {};
    char resolved[4096];
    if (::realpath(info.dli_fname, resolved))
        return resolved;
    return info.dli_fname;
}

// Streams ------------------------------------------------------------------------

namespace {

class CInterfaceStream final : public IStream
{
public:
    CInterfaceStream(IUnknown* held) : m_held(held) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown) && !(riid == IID_IStream))
            return E_NOINTERFACE;
        AddRef();
        *ppv = static_cast<IStream*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override
    {
        const ULONG left = --m_references;
        if (left == 0) {
            if (IUnknown* held = m_held.exchange(nullptr))
                held->Release();
            delete this;
        }
        return left;
    }
    // The held reference, once.
    IUnknown* Take() { return m_held.exchange(nullptr); }

private:
    ~CInterfaceStream() = default;
    std::atomic<IUnknown*> m_held;
    std::atomic<ULONG> m_references{1};
};

}  // namespace

HRESULT CoMarshalInterThreadInterfaceInStream(REFIID riid, IUnknown* unknown, IStream** stream)
{
    if (!stream)
        return E_POINTER;
    *stream = nullptr;
    if (!unknown)
        return E_INVALIDARG;
    IUnknown* held = nullptr;
    const HRESULT hr = unknown->QueryInterface(riid, reinterpret_cast<void**>(&held));
    if (FAILED(hr))
        return hr;
    *stream = new CInterfaceStream(held);
    return S_OK;
}

HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!stream)
        return E_INVALIDARG;
    IUnknown* held = static_cast<CInterfaceStream*>(stream)->Take();
    HRESULT hr = E_UNEXPECTED;  // handed over before
    if (held) {
        hr = held->QueryInterface(riid, ppv);
        held->Release();
    }
    stream->Release();
    return hr;
}
