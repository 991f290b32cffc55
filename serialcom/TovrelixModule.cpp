// The plug-in's exports: its class factory, whether it may be unloaded, and
// its registration in the classes hive.
#include "serialcom/SerialCom.h"
#include "serialcom/TovrelixApp.h"

#include "platform/MessageDispatcher.h"

CComModuleCount& CTovrelixApp::Module()
{
    static CComModuleCount count;
    return count;
}

bool CTovrelixApp::OnHelp()
{
    const UINT message = RegisterWindowMessage(kHelpMessage);
    return message && PostMessage(HWND_BROADCAST, message, kHelpContext, 0);
}

namespace {

class CSerialComFactory final : public IClassFactory
{
public:
    CSerialComFactory() { CTovrelixApp::Module().Lock(); }

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_nRef; }
    ULONG Release() override
    {
        const ULONG left = --m_nRef;
        if (left == 0)
            delete this;
        return left;
    }

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        ISerialCom* object = new (std::nothrow) CSerialCom();
        if (!object)
            return E_OUTOFMEMORY;
        object->AddRef();
        const HRESULT hr = object->QueryInterface(riid, ppv);
        object->Release();
        return hr;
    }

    HRESULT LockServer(BOOL lock) override
    {
        if (lock)
            CTovrelixApp::Module().Lock();
        else
            CTovrelixApp::Module().Unlock();
        return S_OK;
    }

private:
    ~CSerialComFactory() { CTovrelixApp::Module().Unlock(); }
    std::atomic<ULONG> m_nRef{0};
};

SComClassRegistration Registration(const std::string& path)
{
    static std::string modulePath;
    modulePath = path;
    return SComClassRegistration{CLSID_SerialCom,  "SerialCom Class",
                                 kSerialComProgId, kSerialComVersionIndependentProgId,
                                 "Apartment",      modulePath.c_str()};
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(clsid == CLSID_SerialCom))
        return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* factory = new (std::nothrow) CSerialComFactory();
    if (!factory)
        return E_OUTOFMEMORY;
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow()
{
    return CTovrelixApp::Module().GetLockCount() == 0 ? S_OK : S_FALSE;
}

__attribute__((visibility("default"))) HRESULT DllRegisterServer()
{
    const std::string path = ModulePathOf(reinterpret_cast<const void*>(&DllCanUnloadNow));
    if (path.empty())
        return SELFREG_E_CLASS;
    return RegisterComClass(Registration(path));
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer()
{
    return UnregisterComClass(Registration(std::string()));
}

}  // extern "C"
