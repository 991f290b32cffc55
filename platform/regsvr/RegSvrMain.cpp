// Registers or unregisters a component plug-in by running its own
// DllRegisterServer or DllUnregisterServer.
// Exit codes: 0 done, 1 usage, 2 the plug-in cannot be loaded, 3 it lacks the
// entry point, 4 the entry point reported a failure.
#include "platform/Component.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    bool unregister = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0)
            unregister = true;
        else if (!path)
            path = argv[i];
        else
            path = nullptr, i = argc;
    }
    if (!path || argc > 3) {
        std::fprintf(stderr, "usage: zvregsvr [-u] <plugin.so>\n");
        return 1;
    }
    // A bare file name would make dlopen search the library path instead.
    std::string file = path;
    if (file.find('/') == std::string::npos)
        file = "./" + file;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "zvregsvr: cannot load %s: %s\n", path, ::dlerror());
        return 2;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<PFN_DllRegisterServer>(::dlsym(handle, entry));
    if (!fn) {
        std::fprintf(stderr, "zvregsvr: %s has no %s\n", path, entry);
        ::dlclose(handle);
        return 3;
    }
    const HRESULT hr = fn();
    ::dlclose(handle);
    if (FAILED(hr)) {
        std::fprintf(stderr, "zvregsvr: %s failed (0x%08X)\n", entry, static_cast<unsigned>(hr));
        return 4;
    }
    std::printf("%s succeeded in %s\n", entry, path);
    return 0;
}
