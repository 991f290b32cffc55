// Components in a process of their own. A class whose entry in the classes
// hive names a command line under LocalServer32 is made by starting that
// program directly (no shell), with "-Embedding" after its own arguments and
// the connection as descriptor 3, one end of a Unix stream socket; the client
// gets a proxy of the interface it asked for. Each call of the proxy is one
// frame to the server and one answer back, and waits at most a time-out: a
// server that does not answer in time, answers what is not an answer, or has
// gone leaves the proxy disconnected, and every later call fails at once
// with RPC_E_DISCONNECTED. Nothing of the client ever waits for a server
// longer than that.
//
// Frames are a u32 body length and the body, little-endian:
//   create   u32 1, 16-byte class id, 16-byte interface id
//   call     u32 2, u32 slot (the method's place in its interface, the three
//            of IUnknown first), u32 argument count, the arguments
//   release  u32 3
//   answer   u32 4, i32 result (to each of the three)
// An argument is a u16 type and its value: a number in 1, 2, 4 or 8 bytes;
// a text as a u32 length (0xFFFFFFFF for none) and its bytes; an array
// (VT_ARRAY with a number type) as a u32 element count, an i32 lower bound
// and the elements. The methods that cross this way take their arguments by
// value and answer a result only.
//
// A server process serves one object: it ends when its client releases the
// object or goes.
#pragma once

#include "platform/Component.h"
#include "platform/Variant.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The descriptor a server is started with.
constexpr int kLocalServerFd = 3;
// The argument the runtime adds to a server's command line.
constexpr const char* kEmbeddingArgument = "-Embedding";

// What a connection talks through: the socket to a server process, or bytes
// in memory for tests and fuzzing.
class ILocalServerTransport
{
public:
    virtual ~ILocalServerTransport() = default;
    // False when the bytes could not all be written.
    virtual bool Send(const std::uint8_t* data, std::size_t size) = 0;
    // Up to size bytes before the deadline: their count, 0 at the end of
    // the stream or on an error, -1 when the deadline passed first.
    virtual long Receive(std::uint8_t* data, std::size_t size, std::chrono::steady_clock::time_point deadline) = 0;
    // The other side is given up on (it broke the exchange): it gets no
    // time to end on its own.
    virtual void Abandon() {}
};

// The client's end of one server object. Calls from several threads are
// carried one at a time.
class CLocalServerConnection
{
public:
    static constexpr int kCreateTimeoutMs = 5000;
    static constexpr int kCallTimeoutMs = 2000;
    // The largest frame either side takes.
    static constexpr std::uint32_t kMaxFrame = 16u << 20;

    explicit CLocalServerConnection(std::unique_ptr<ILocalServerTransport> transport,
                                    int callTimeoutMs = kCallTimeoutMs);
    // Tells the server its object goes (waiting a little for its answer).
    ~CLocalServerConnection();
    CLocalServerConnection(const CLocalServerConnection&) = delete;
    CLocalServerConnection& operator=(const CLocalServerConnection&) = delete;

    // Asks the server for its object; the server's result.
    HRESULT Create(REFCLSID clsid, REFIID iid, int timeoutMs = kCreateTimeoutMs);
    // One method call with its arguments; the method's result, or
    // RPC_E_TIMEOUT, RPC_E_DISCONNECTED or RPC_E_INVALID_DATAPACKET when
    // the server gave none (the connection is then gone for good).
    HRESULT Call(ULONG slot, const VARIANT* args, ULONG count);
    bool IsConnected() const { return m_connected.load(); }

private:
    HRESULT Exchange(const std::vector<std::uint8_t>& body, int timeoutMs);

    std::mutex m_lock;
    std::unique_ptr<ILocalServerTransport> m_transport;
    const int m_callTimeoutMs;
    std::atomic<bool> m_connected{true};
};

// The typed proxy of an interface over a connection; an interface that
// crosses to a local server registers its proxy's maker once, before it is
// created (CoCreateInstance answers E_NOINTERFACE for an interface without).
using PFN_CreateInterfaceProxy = IUnknown* (*)(std::shared_ptr<CLocalServerConnection> connection);
void CoRegisterInterfaceProxy(REFIID iid, PFN_CreateInterfaceProxy create);

// What a typed proxy derives from: reference counting and the interface's
// own identity, and calls carried by slot.
template <class Interface>
class TLocalServerProxy : public Interface
{
public:
    TLocalServerProxy(std::shared_ptr<CLocalServerConnection> connection, const IID& iid)
        : m_connection(std::move(connection)), m_iid(iid)
    {}
    virtual ~TLocalServerProxy() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown) && !(riid == m_iid))
            return E_NOINTERFACE;
        AddRef();
        *ppv = static_cast<Interface*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++m_references; }
    ULONG Release() override
    {
        const ULONG left = --m_references;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    CLocalServerConnection& Connection() { return *m_connection; }
    HRESULT Call(ULONG slot, std::initializer_list<const VARIANT*> args)
    {
        std::vector<VARIANT> values;
        values.reserve(args.size());
        for (const VARIANT* v : args)
            values.push_back(*v);  // shallow: the caller keeps what they hold
        return m_connection->Call(slot, values.data(), static_cast<ULONG>(values.size()));
    }

private:
    std::shared_ptr<CLocalServerConnection> m_connection;
    const IID m_iid;
    std::atomic<ULONG> m_references{1};
};

// Starts the class's server (LocalServer32 of its entry) and gives a proxy
// of the interface: REGDB_E_CLASSNOTREG without an entry,
// CO_E_SERVER_EXEC_FAILURE when its program cannot be started or does not
// answer, E_NOINTERFACE for an interface without a registered proxy (no
// process is started then), or the server's own refusal.
HRESULT CoCreateLocalServerInstance(REFCLSID clsid, REFIID iid, void** ppv);

// The entry of a local server class: its description and the command line
// that starts it.
HRESULT RegisterLocalServer(REFCLSID clsid, const std::string& description, const std::string& commandLine);
// A command line's words: separated by blanks, a double-quoted stretch
// kept whole (without its quotes).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
// A word quoted when it holds a blank.
std::string QuoteCommandLineWord(const std::string& word);

// The server side -------------------------------------------------------------

// The object a server serves: each call of the client's proxy arrives with
// its slot and its arguments, which the server frees after the call.
class ILocalServerObject
{
public:
    virtual ~ILocalServerObject() = default;
    virtual HRESULT Invoke(ULONG slot, VARIANT* args, ULONG count) = 0;
};

struct SLocalServerClass
{
    CLSID clsid;
    // The interfaces the object answers to, IUnknown aside.
    std::vector<IID> interfaces;
    std::function<std::unique_ptr<ILocalServerObject>()> create;
};

// True when the runtime started this program as a server.
bool IsLocalServerStart(int argc, char** argv);
// Serves the connection until the client releases the object or goes;
// the process's exit code.
int RunLocalServer(const SLocalServerClass& serverClass, int fd = kLocalServerFd);
