#include "program/SerialComponent.h"

#include "platform/Component.h"
#include "serialcom/ISerialCom.h"

#include <dlfcn.h>

#include <cstdio>

namespace app {

namespace {

std::string Hex(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

std::string InFolder(const std::string& folder, const char* name)
{
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::string LoadError(const std::string& path)
{
    const char* reason = ::dlerror();
    return "Cannot load " + path + ": " + (reason ? reason : "unknown error");
}

// The class is registered and its plug-in loads.
bool CanCreate()
{
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(kSerialComProgId, &clsid)))
        return false;
    IClassFactory* factory = nullptr;
    if (FAILED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory))) ||
        !factory)
        return false;
    factory->Release();
    return true;
}

}  // namespace

bool CSerialComponent::Register(const std::string& folder, std::string& error)
{
    if (CanCreate())
        return true;
    const std::string path = InFolder(folder, kPluginName);
    void* plugin = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!plugin) {
        error = LoadError(path);
        return false;
    }
    auto registerServer = reinterpret_cast<PFN_DllRegisterServer>(::dlsym(plugin, "DllRegisterServer"));
    const HRESULT hr = registerServer ? registerServer() : CO_E_ERRORINDLL;
    ::dlclose(plugin);
    if (FAILED(hr)) {
        error = "Registration of " + path + " failed (" + Hex(hr) + ")";
        return false;
    }
    if (!CanCreate()) {
        error = "Registered " + path + ", but " + kSerialComProgId + " cannot be created";
        return false;
    }
    return true;
}

bool CSerialComponent::InstallDialogs(const std::string& folder, std::string& error)
{
    const std::string path = InFolder(folder, kDialogLibraryName);
    // Never unloaded: the serial library keeps the dialogs as its hooks.
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        error = LoadError(path);
        return false;
    }
    auto install = reinterpret_cast<void (*)()>(::dlsym(library, "InstallSercorDialogsEntry"));
    if (!install) {
        error = path + " has no InstallSercorDialogsEntry";
        return false;
    }
    install();
    return true;
}

}  // namespace app
