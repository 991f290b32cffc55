// A local server for the runtime's tests: it writes one line a call to the
// file named by --log ("slot 3: VT 5 2.5 | VT 8 'text' | VT 8197 [0] 1 2"),
// answers each call with the count of its arguments, and can misbehave:
// --exit-at N ends the process when call N arrives (counting from 1),
// --delay-ms N answers every call N ms late, --refuse answers the creation
// with E_ACCESSDENIED.
#include "platform/tests/LocalServerPeer.h"
#include "platform/LocalServer.h"

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

std::string g_log;
int g_exitAt = 0;
int g_delayMs = 0;
int g_calls = 0;

std::string Describe(const VARIANT& v)
{
    char text[64];
    std::string s = "VT " + std::to_string(v.vt);
    if (v.vt & VT_ARRAY) {
        LONG lower = 0;
        SafeArrayGetLBound(v.parray, 1, &lower);
        s += " [" + std::to_string(lower) + "]";
        void* data = nullptr;
        SafeArrayAccessData(v.parray, &data);
        for (ULONG i = 0; i < v.parray->rgsabound[0].cElements; ++i) {
            if ((v.vt & VT_TYPEMASK) == VT_R8)
                std::snprintf(text, sizeof text, " %.17g", static_cast<const double*>(data)[i]);
            else
                std::snprintf(text, sizeof text, " ?");
            s += text;
        }
        SafeArrayUnaccessData(v.parray);
        return s;
    }
    switch (v.vt) {
    case VT_R8:
        std::snprintf(text, sizeof text, " %.17g", v.dblVal);
        return s + text;
    case VT_UI2:
        return s + " " + std::to_string(v.uiVal);
    case VT_I4:
        return s + " " + std::to_string(v.lVal);
    case VT_BSTR:
        return v.bstrVal ? s + " '" + BstrToString(v.bstrVal) + "'" : s + " null";
    default:
        return s;
    }
}

class CPeer final : public ILocalServerObject
{
public:
    HRESULT Invoke(ULONG slot, VARIANT* args, ULONG count) override
    {
        if (++g_calls == g_exitAt)
            _exit(3);
        std::string line = "slot " + std::to_string(slot) + ":";
        for (ULONG i = 0; i < count; ++i)
            line += (i ? " | " : " ") + Describe(args[i]);
        if (FILE* f = std::fopen(g_log.c_str(), "a")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
        if (g_delayMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(g_delayMs));
        return static_cast<HRESULT>(count);
    }
};

}  // namespace

int main(int argc, char** argv)
{
    bool refuse = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--log") && i + 1 < argc)
            g_log = argv[++i];
        else if (!std::strcmp(argv[i], "--exit-at") && i + 1 < argc)
            g_exitAt = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--delay-ms") && i + 1 < argc)
            g_delayMs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--refuse"))
            refuse = true;
    }
    if (!IsLocalServerStart(argc, argv))
        return 2;
    if (FILE* f = std::fopen(g_log.c_str(), "a")) {
        std::fprintf(f, "started %d\n", static_cast<int>(getpid()));
        std::fclose(f);
    }
    SLocalServerClass peer;
    peer.clsid = CLSID_LocalServerPeer;
    peer.interfaces = {IID_ILocalServerPeer};
    peer.create = [refuse]() -> std::unique_ptr<ILocalServerObject> {
        if (refuse)
            return nullptr;
        return std::make_unique<CPeer>();
    };
    const int rc = RunLocalServer(peer);
    if (FILE* f = std::fopen(g_log.c_str(), "a")) {
        std::fprintf(f, "ended\n");
        std::fclose(f);
    }
    return rc;
}
