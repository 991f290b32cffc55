// A local server's answers into the client's proxy. Input: the whole byte
// stream the server sends back to a creation, four calls of the calibration
// hand-over's shape (a named number, the targets of a ping) and the release.
// Whatever the stream holds, each call ends at once with a result (the end
// of the stream is the server going), and a broken connection stays broken.
#include "platform/LocalServer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

class CInput final : public ILocalServerTransport
{
public:
    CInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Send(const std::uint8_t*, std::size_t) override { return true; }
    long Receive(std::uint8_t* data, std::size_t size, std::chrono::steady_clock::time_point) override
    {
        const std::size_t n = std::min(size, m_size - m_at);
        if (n)
            std::memcpy(data, m_data + m_at, n);
        m_at += n;
        return long(n);
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

const GUID kClass = {0x52CBDAD9, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};
const GUID kInterface = {0x52CBDAD8, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CLocalServerConnection connection(std::make_unique<CInput>(data, size), 10);
    connection.Create(kClass, kInterface, 10);

    VARIANT args[4];
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString("Frequency");
    args[1].vt = VT_R8;
    args[1].dblVal = 38000.0;
    args[2].vt = VT_UI2;
    args[2].uiVal = 2;
    args[3].vt = VT_ARRAY | VT_R8;
    args[3].parray = SafeArrayCreateVector(VT_R8, 0, 12);
    for (int call = 0; call < 4; ++call) {
        const bool before = connection.IsConnected();
        const HRESULT hr = connection.Call(call % 2 ? 8 : 7, args, call % 2 ? 4 : 2);
        if (!before && hr != RPC_E_DISCONNECTED)
            __builtin_trap();
        if (!connection.IsConnected() && hr != RPC_E_DISCONNECTED && hr != RPC_E_TIMEOUT &&
            hr != RPC_E_INVALID_DATAPACKET)
            __builtin_trap();
    }
    for (VARIANT& v : args)
        VariantClear(&v);
    return 0;
}
