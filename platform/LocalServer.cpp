#include "platform/LocalServer.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/Registry.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <map>
#include <thread>

extern char** environ;

namespace {

enum FrameKind : std::uint32_t { kCreate = 1, kCall = 2, kRelease = 3, kAnswer = 4 };
// Arguments a call may carry; more is not a call of these interfaces.
constexpr std::uint32_t kMaxArguments = 64;
constexpr std::uint32_t kNoText = 0xFFFFFFFFu;

using Clock = std::chrono::steady_clock;

// ---- Encoding --------------------------------------------------------------

class CFrame
{
public:
    explicit CFrame(std::uint32_t kind) { U32(kind); }
    void U16(std::uint16_t v) { Grow(2).U16(0, v); }
    void U32(std::uint32_t v) { Grow(4).U32(0, v); }
    void I32(std::int32_t v) { Grow(4).I32(0, v); }
    void Bytes(const void* data, std::size_t n)
    {
        const std::size_t at = m_body.size();
        m_body.resize(at + n);
        if (n)
            std::memcpy(m_body.data() + at, data, n);
    }
    void Guid(const GUID& g)
    {
        U32(g.Data1);
        U16(g.Data2);
        U16(g.Data3);
        Bytes(g.Data4, sizeof g.Data4);
    }
    const std::vector<std::uint8_t>& Body() const { return m_body; }

private:
    CByteWriter Grow(std::size_t n)
    {
        const std::size_t at = m_body.size();
        m_body.resize(at + n);
        return CByteWriter(m_body.data() + at, n);
    }
    std::vector<std::uint8_t> m_body;
};

// Numbers of a type as they lie in memory, little-endian on the wire.
void PutNumber(CFrame& f, const void* value, ULONG size)
{
    std::uint8_t bytes[8] = {};
    std::memcpy(bytes, value, size);
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(bytes, bytes + size);
    f.Bytes(bytes, size);
}

bool PutVariant(CFrame& f, const VARIANT& v)
{
    f.U16(v.vt);
    if (v.vt & VT_ARRAY) {
        const SAFEARRAY* a = v.parray;
        const VARTYPE element = static_cast<VARTYPE>(v.vt & VT_TYPEMASK);
        if (!a || a->vt != element || a->cDims != 1)
            return false;
        f.U32(a->rgsabound[0].cElements);
        f.I32(a->rgsabound[0].lLbound);
        const auto* data = static_cast<const std::uint8_t*>(a->pvData);
        for (ULONG i = 0; i < a->rgsabound[0].cElements; ++i)
            PutNumber(f, data + std::size_t(i) * a->cbElements, a->cbElements);
        return true;
    }
    switch (v.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return true;
    case VT_BSTR:
        if (!v.bstrVal) {
            f.U32(kNoText);
            return true;
        }
        f.U32(SysStringLen(v.bstrVal));
        f.Bytes(v.bstrVal, SysStringLen(v.bstrVal));
        return true;
    default:
        if (const ULONG size = SafeArrayElementSize(v.vt)) {
            PutNumber(f, &v.bVal, size);
            return true;
        }
        return false;
    }
}

// ---- Decoding --------------------------------------------------------------

class CFrameReader
{
public:
    explicit CFrameReader(const std::vector<std::uint8_t>& body) : m_reader(body.data(), body.size()) {}
    std::uint16_t U16() { return m_reader.U16(Advance(2)); }
    std::uint32_t U32() { return m_reader.U32(Advance(4)); }
    std::int32_t I32() { return m_reader.I32(Advance(4)); }
    std::span<const std::uint8_t> Bytes(std::size_t n)
    {
        const auto b = m_reader.Bytes(m_at, n);
        m_at += b.size();
        return b;
    }
    GUID Guid()
    {
        GUID g;
        g.Data1 = U32();
        g.Data2 = U16();
        g.Data3 = U16();
        const auto b = Bytes(sizeof g.Data4);
        if (b.size() == sizeof g.Data4)
            std::memcpy(g.Data4, b.data(), b.size());
        return g;
    }
    bool Failed() const { return m_reader.Failed(); }
    bool AtEnd() const { return m_at == m_reader.Size(); }
    std::size_t Left() const { return m_reader.Size() - std::min(m_at, m_reader.Size()); }

private:
    std::size_t Advance(std::size_t n)
    {
        const std::size_t at = m_at;
        m_at += n;
        return at;
    }
    CByteReader m_reader;
    std::size_t m_at = 0;
};

bool TakeNumber(CFrameReader& r, void* value, ULONG size)
{
    const auto b = r.Bytes(size);
    if (b.size() != size)
        return false;
    std::uint8_t bytes[8] = {};
    std::memcpy(bytes, b.data(), size);
    if constexpr (std::endian::native == std::endian::big)
        std::reverse(bytes, bytes + size);
    std::memcpy(value, bytes, size);
    return true;
}

// One argument; false (and nothing held) when the bytes are not one.
bool TakeVariant(CFrameReader& r, VARIANT& v)
{
    VariantInit(&v);
    const VARTYPE vt = r.U16();
    if (r.Failed())
        return false;
    if (vt & VT_ARRAY) {
        const VARTYPE element = static_cast<VARTYPE>(vt & VT_TYPEMASK);
        const ULONG size = SafeArrayElementSize(element);
        const std::uint32_t count = r.U32();
        const std::int32_t lower = r.I32();
        // The count is checked against the bytes there are before anything
        // is allocated for it.
        if (r.Failed() || size == 0 || (vt & ~(VT_ARRAY | VT_TYPEMASK)) != 0 || count > r.Left() / size)
            return false;
        SAFEARRAY* a = SafeArrayCreateVector(element, lower, count);
        if (!a)
            return false;
        auto* data = static_cast<std::uint8_t*>(a->pvData);
        for (std::uint32_t i = 0; i < count; ++i)
            TakeNumber(r, data + std::size_t(i) * size, size);
        v.vt = vt;
        v.parray = a;
        return true;
    }
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL:
        v.vt = vt;
        return true;
    case VT_BSTR: {
        const std::uint32_t n = r.U32();
        if (r.Failed())
            return false;
        if (n == kNoText) {
            v.vt = VT_BSTR;
            v.bstrVal = nullptr;
            return true;
        }
        if (n > r.Left())
            return false;
        const auto b = r.Bytes(n);
        BSTR text = SysAllocStringLen(reinterpret_cast<const char*>(b.data()), n);
        if (!text)
            return false;
        v.vt = VT_BSTR;
        v.bstrVal = text;
        return true;
    }
    default:
        if (const ULONG size = SafeArrayElementSize(vt)) {
            if (!TakeNumber(r, &v.bVal, size))
                return false;
            v.vt = vt;
            return true;
        }
        return false;
    }
}

// ---- Frames on a transport -------------------------------------------------

bool ReadExactly(ILocalServerTransport& t, std::uint8_t* data, std::size_t size, Clock::time_point deadline,
                 HRESULT& failure)
{
    std::size_t got = 0;
    while (got < size) {
        const long n = t.Receive(data + got, size - got, deadline);
        if (n < 0) {
            failure = RPC_E_TIMEOUT;
            return false;
        }
        if (n == 0) {
            failure = RPC_E_DISCONNECTED;
            return false;
        }
        got += std::size_t(n);
    }
    return true;
}

// A whole frame's body; S_OK, or why there is none.
HRESULT ReadFrame(ILocalServerTransport& t, Clock::time_point deadline, std::vector<std::uint8_t>& body)
{
    HRESULT failure = S_OK;
    std::uint8_t head[4];
    if (!ReadExactly(t, head, sizeof head, deadline, failure))
        return failure;
    const std::uint32_t length = CByteReader(head, sizeof head).U32(0);
    if (length < 4 || length > CLocalServerConnection::kMaxFrame)
        return RPC_E_INVALID_DATAPACKET;
    body.resize(length);
    if (!ReadExactly(t, body.data(), length, deadline, failure))
        return failure;
    return S_OK;
}

bool WriteFrame(ILocalServerTransport& t, const std::vector<std::uint8_t>& body)
{
    std::vector<std::uint8_t> bytes(4 + body.size());
    CByteWriter(bytes.data(), 4).U32(0, static_cast<std::uint32_t>(body.size()));
    if (!body.empty())
        std::memcpy(bytes.data() + 4, body.data(), body.size());
    return t.Send(bytes.data(), bytes.size());
}

// ---- The socket to a server process ----------------------------------------

class CSocketTransport final : public ILocalServerTransport
{
public:
    CSocketTransport(int fd, pid_t child) : m_fd(fd), m_child(child) {}
    ~CSocketTransport() override
    {
        ::close(m_fd);
        if (m_child > 0)
            Reap();
    }

    bool Send(const std::uint8_t* data, std::size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= std::size_t(n);
        }
        return true;
    }

    long Receive(std::uint8_t* data, std::size_t size, Clock::time_point deadline) override
    {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left < 0)
                return -1;
            pollfd p{m_fd, POLLIN, 0};
            const int ready = ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
            if (ready < 0 && errno != EINTR)
                return 0;
            if (ready <= 0)
                continue;
            const ssize_t n = ::recv(m_fd, data, size, 0);
            if (n < 0 && errno == EINTR)
                continue;
            return n < 0 ? 0 : long(n);
        }
    }

    void Abandon() override { m_abandoned = true; }

private:
    // A server that was released has its time to end after the socket
    // closed; one that does not, or was given up on, is ended, so that
    // nothing of it outlives its client.
    void Reap()
    {
        const auto deadline = Clock::now() + std::chrono::milliseconds(m_abandoned ? 0 : 1000);
        while (Clock::now() < deadline) {
            const pid_t r = ::waitpid(m_child, nullptr, WNOHANG);
            if (r == m_child || (r < 0 && errno != EINTR))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::kill(m_child, SIGKILL);
        while (::waitpid(m_child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }

    const int m_fd;
    const pid_t m_child;
    bool m_abandoned = false;
};

// ---- Proxies ---------------------------------------------------------------

std::mutex& ProxyLock()
{
    static std::mutex lock;
    return lock;
}

std::map<std::string, PFN_CreateInterfaceProxy>& Proxies()
{
    static std::map<std::string, PFN_CreateInterfaceProxy> proxies;
    return proxies;
}

PFN_CreateInterfaceProxy FindProxy(REFIID iid)
{
    std::lock_guard lock(ProxyLock());
    const auto it = Proxies().find(GuidToString(iid));
    return it == Proxies().end() ? nullptr : it->second;
}

bool ReadDefault(const std::string& path, std::string& value)
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    std::vector<char> buffer(4096);
    DWORD size = static_cast<DWORD>(buffer.size() - 1);
    DWORD type = 0;
    const LONG rc = RegQueryValueEx(key, "", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ)
        return false;
    buffer[std::min<std::size_t>(size, buffer.size() - 1)] = 0;
    value = buffer.data();
    return true;
}

bool WriteDefault(const std::string& path, const std::string& value)
{
    HKEY key = nullptr;
    if (RegCreateKeyEx(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const LONG rc = RegSetValueEx(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                  static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// Starts the server with its end of a new socket as descriptor 3; the
// client's end, or -1.
int StartServer(const std::vector<std::string>& words, pid_t& child)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return -1;
    // dup2 onto itself would keep close-on-exec: the server's end must not
    // already be descriptor 3.
    int serverEnd = ends[1];
    if (serverEnd == kLocalServerFd) {
        serverEnd = ::fcntl(ends[1], F_DUPFD_CLOEXEC, kLocalServerFd + 1);
        ::close(ends[1]);
        if (serverEnd < 0) {
            ::close(ends[0]);
            return -1;
        }
    }
    std::vector<std::string> args = words;
    args.push_back(kEmbeddingArgument);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, serverEnd, kLocalServerFd);
    const int rc = ::posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(serverEnd);
    if (rc != 0) {
        ::close(ends[0]);
        return -1;
    }
    return ends[0];
}

}  // namespace

// ---- Connection ------------------------------------------------------------

CLocalServerConnection::CLocalServerConnection(std::unique_ptr<ILocalServerTransport> transport, int callTimeoutMs)
    : m_transport(std::move(transport)), m_callTimeoutMs(callTimeoutMs)
{}

CLocalServerConnection::~CLocalServerConnection()
{
    if (m_connected.load())
        Exchange(CFrame(kRelease).Body(), 500);
}

HRESULT CLocalServerConnection::Create(REFCLSID clsid, REFIID iid, int timeoutMs)
{
    CFrame f(kCreate);
    f.Guid(clsid);
    f.Guid(iid);
    return Exchange(f.Body(), timeoutMs);
}

HRESULT CLocalServerConnection::Call(ULONG slot, const VARIANT* args, ULONG count)
{
    if (count > kMaxArguments || (count && !args))
        return E_INVALIDARG;
    CFrame f(kCall);
    f.U32(slot);
    f.U32(count);
    for (ULONG i = 0; i < count; ++i)
        if (!PutVariant(f, args[i]))
            return DISP_E_BADVARTYPE;
    if (f.Body().size() > kMaxFrame)
        return E_INVALIDARG;
    return Exchange(f.Body(), m_callTimeoutMs);
}

HRESULT CLocalServerConnection::Exchange(const std::vector<std::uint8_t>& body, int timeoutMs)
{
    std::lock_guard lock(m_lock);
    if (!m_connected.load())
        return RPC_E_DISCONNECTED;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    HRESULT result = RPC_E_DISCONNECTED;
    std::vector<std::uint8_t> answer;
    if (WriteFrame(*m_transport, body))
        result = ReadFrame(*m_transport, deadline, answer);
    if (SUCCEEDED(result)) {
        CFrameReader r(answer);
        const std::uint32_t kind = r.U32();
        const std::int32_t hr = r.I32();
        result = (r.Failed() || !r.AtEnd() || kind != kAnswer) ? RPC_E_INVALID_DATAPACKET : hr;
        if (result != RPC_E_INVALID_DATAPACKET)
            return result;
    }
    // Whatever comes after a late, broken or missing answer cannot be told
    // apart from the answer to the next call: the connection is over.
    m_connected = false;
    m_transport->Abandon();
    return result;
}

void CoRegisterInterfaceProxy(REFIID iid, PFN_CreateInterfaceProxy create)
{
    std::lock_guard lock(ProxyLock());
    Proxies()[GuidToString(iid)] = create;
}

HRESULT CoCreateLocalServerInstance(REFCLSID clsid, REFIID iid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    std::string commandLine;
    if (!ReadDefault("CLSID\\" + GuidToString(clsid) + "\\LocalServer32", commandLine))
        return REGDB_E_CLASSNOTREG;
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty())
        return REGDB_E_CLASSNOTREG;
    const PFN_CreateInterfaceProxy create = FindProxy(iid);
    if (!create)
        return E_NOINTERFACE;
    pid_t child = 0;
    const int fd = StartServer(words, child);
    if (fd < 0)
        return CO_E_SERVER_EXEC_FAILURE;
    auto connection = std::make_shared<CLocalServerConnection>(std::make_unique<CSocketTransport>(fd, child));
    const HRESULT hr = connection->Create(clsid, iid);
    if (hr == RPC_E_TIMEOUT || hr == RPC_E_DISCONNECTED || hr == RPC_E_INVALID_DATAPACKET)
        return CO_E_SERVER_EXEC_FAILURE;
    if (FAILED(hr))
        return hr;
    IUnknown* proxy = create(connection);
    if (!proxy)
        return E_OUTOFMEMORY;
    const HRESULT q = proxy->QueryInterface(iid, ppv);
    proxy->Release();
    return q;
}

HRESULT RegisterLocalServer(REFCLSID clsid, const std::string& description, const std::string& commandLine)
{
    const std::string key = "CLSID\\" + GuidToString(clsid);
    if (!WriteDefault(key, description) || !WriteDefault(key + "\\LocalServer32", commandLine))
        return SELFREG_E_CLASS;
    return RegFlushKey(HKEY_CLASSES_ROOT) == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (const char c : commandLine) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

std::string QuoteCommandLineWord(const std::string& word)
{
    if (!word.empty() && word.find_first_of(" \t") == std::string::npos)
        return word;
    return "\"" + word + "\"";
}

// ---- Server ----------------------------------------------------------------

namespace {

class CFdTransport final : public ILocalServerTransport
{
public:
    explicit CFdTransport(int fd) : m_fd(fd) {}
    bool Send(const std::uint8_t* data, std::size_t size) override
    {
        while (size > 0) {
            const ssize_t n = ::send(m_fd, data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= std::size_t(n);
        }
        return true;
    }
    long Receive(std::uint8_t* data, std::size_t size, Clock::time_point) override
    {
        for (;;) {
            const ssize_t n = ::recv(m_fd, data, size, 0);
            if (n < 0 && errno == EINTR)
                continue;
            return n < 0 ? 0 : long(n);
        }
    }

private:
    const int m_fd;
};

bool Answer(ILocalServerTransport& t, HRESULT hr)
{
    CFrame f(kAnswer);
    f.I32(hr);
    return WriteFrame(t, f.Body());
}

}  // namespace

bool IsLocalServerStart(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], kEmbeddingArgument) == 0)
            return true;
    return false;
}

int RunLocalServer(const SLocalServerClass& serverClass, int fd)
{
    CFdTransport transport(fd);
    std::unique_ptr<ILocalServerObject> object;
    std::vector<std::uint8_t> body;
    for (;;) {
        // The server waits for its client as long as the client lives.
        if (FAILED(ReadFrame(transport, Clock::time_point::max(), body)))
            return object ? 1 : 0;
        CFrameReader r(body);
        HRESULT hr = S_OK;
        switch (r.U32()) {
        case kCreate: {
            const CLSID clsid = r.Guid();
            const IID iid = r.Guid();
            bool known = iid == IID_IUnknown;
            for (const IID& i : serverClass.interfaces)
                known = known || i == iid;
            if (r.Failed() || !r.AtEnd())
                hr = RPC_E_INVALID_DATAPACKET;
            else if (object)
                hr = E_UNEXPECTED;
            else if (!(clsid == serverClass.clsid))
                hr = CLASS_E_CLASSNOTAVAILABLE;
            else if (!known)
                hr = E_NOINTERFACE;
            else if (!(object = serverClass.create ? serverClass.create() : nullptr))
                hr = E_OUTOFMEMORY;
            break;
        }
        case kCall: {
            const std::uint32_t slot = r.U32();
            const std::uint32_t count = r.U32();
            std::vector<VARIANT> args;
            bool whole = !r.Failed() && count <= kMaxArguments;
            for (std::uint32_t i = 0; whole && i < count; ++i) {
                VARIANT v;
                whole = TakeVariant(r, v);
                if (whole)
                    args.push_back(v);
            }
            whole = whole && r.AtEnd();
            if (!object)
                hr = E_UNEXPECTED;
            else if (!whole)
                hr = RPC_E_INVALID_DATAPACKET;
            else
                hr = object->Invoke(slot, args.data(), static_cast<ULONG>(args.size()));
            for (VARIANT& v : args)
                VariantClear(&v);
            break;
        }
        case kRelease:
            object.reset();
            Answer(transport, S_OK);
            return 0;
        default:
            hr = RPC_E_INVALID_DATAPACKET;
            break;
        }
        if (!Answer(transport, hr))
            return 1;
    }
}
